#include "Launcher.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

const QString kFolderSuffix = QStringLiteral(".app");

bool startWithQProcess(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    qWarning().noquote() << QStringLiteral("Cannot start %1: %2").arg(program, process.errorString());
    return false;
}

Launcher::StartFunction &startFunction() {
    static Launcher::StartFunction start = startWithQProcess;
    return start;
}

} // namespace

int Launcher::checkPath(const QString &path) {
    return !path.isEmpty() && QFileInfo::exists(path) ? Success : NotFound;
}

QString Launcher::executableOf(const QString &applicationPath) {
    const QFileInfo info(QDir::cleanPath(applicationPath));
    if (!info.isDir())
        return applicationPath;
    QString name = info.fileName();
    if (name.endsWith(kFolderSuffix))
        name.chop(kFolderSuffix.size());
    return info.absoluteFilePath() + QLatin1Char('/') + name;
}

int Launcher::openApplication(const QString &applicationPath) {
    if (checkPath(applicationPath) != Success)
        return NotFound;
    const QString program = executableOf(applicationPath);
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        qWarning().noquote() << QStringLiteral("Cannot start %1: %2 is not a program that can be run")
                                    .arg(applicationPath, program);
        return CouldNotStart;
    }
    return startDetached(program);
}

int Launcher::startDetached(const QString &program, const QStringList &arguments) {
    return startFunction()(program, arguments) ? Success : CouldNotStart;
}

void Launcher::setStartFunction(StartFunction start) {
    startFunction() = start ? std::move(start) : StartFunction(startWithQProcess);
}

void Launcher::reset() {
    startFunction() = startWithQProcess;
}
