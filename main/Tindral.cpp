// Tindral: the main window with the toolbar of panes. One copy runs at a time; a second start brings the
// running window to the front and leaves.
#include "ApplicationDeligate.h"
#include "SingleInstance.h"
#include "TNDContract.h"
#include "TerminationSignals.h"
#include "UserDefaults.h"

#include <QApplication>

namespace {
const char kServiceName[] = "org.tindral.Tindral";
const char kDesktopFileName[] = "org.tindral.Tindral";
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tindral"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tindral"));
    QApplication::setApplicationVersion(QStringLiteral(TINDRAL_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    TerminationSignals::quitOnTermination();

    SingleInstance instance(QString::fromLatin1(kServiceName));
    if (instance.claim() == SingleInstance::Claim::AlreadyRunning)
        return 0;

    ApplicationDeligate delegate(UserDefaults::standardUserDefaults());
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate,
                     &ApplicationDeligate::bringToFront);
    delegate.awakeFromNib();
    delegate.applicationWillFinishLaunching();
    // Started for a click on a timer's end notification.
    if (QCoreApplication::arguments().contains(QString::fromLatin1(TND::kShowTimersArgument)))
        delegate.showTimers();
    return QApplication::exec();
}
