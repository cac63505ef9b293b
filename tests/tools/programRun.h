#pragma once

// One run of tindral-clock to its end, for the tests of its commands.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
    int status = -1; // -1: did not end by itself
    QString out;
    QString err;
};

inline ProgramRun
runTindralClock(const QStringList &arguments,
                const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
