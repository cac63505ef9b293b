// tindral-clock: Kestmoor's clock on the command line, and commands for scripts and support.
#include "clockCommand.h"
#include "notificationCommands.h"
#include "settingsCommand.h"
#include "timerCommand.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tindral-clock"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString command = arguments.value(0);
    if (command == QLatin1String("post"))
        return runPostCommand(arguments.mid(1));
    if (command == QLatin1String("listen"))
        return runListenCommand(arguments.mid(1));
    if (command == QLatin1String("settings"))
        return runSettingsCommand(arguments.mid(1));
    if (command == QLatin1String("timer"))
        return runTimerCommand(arguments.mid(1));
    return runClockCommand(arguments, out, err);
}
