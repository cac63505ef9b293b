#pragma once

// Programs run from a test, as a script or a person would run them.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

struct ProgramRun {
    int status = -1; // the exit status; -1 when it crashed or did not finish
    QString out;
    QString err;
};
using ClockRun = ProgramRun;

// Runs `program` with `arguments` to its end, a minute at the most; one that runs longer is killed.
inline ProgramRun runProgram(const QString &program, const QStringList &arguments,
                           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Runs tindral-clock with `arguments`; with `withoutDisplay`, as in a session that has none.
inline ProgramRun runClock(const QStringList &arguments, bool withoutDisplay = false) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (withoutDisplay) {
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    }
    return runProgram(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), arguments, environment);
}

// A program the test starts and leaves running; it is ended, kindly first, when the test ends.
struct Program {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    ~Program() {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(10000);
        }
    }
};
