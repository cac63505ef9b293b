#pragma once

// The command-line clock run from a test, as a script would run it.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ClockRun {
    int status = -1; // the exit status; -1 when it crashed or did not finish
    QString out;
    QString err;
};

// Runs tindral-clock with `arguments`; with `withoutDisplay`, as in a session that has none.
inline ClockRun runClock(const QStringList &arguments, bool withoutDisplay = false) {
    QProcess process;
    if (withoutDisplay) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
    }
    process.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), arguments);
    ClockRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
