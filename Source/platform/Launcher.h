#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Starts other programs detached: the program runs on its own, in the background, and lives on when the
// caller ends. Whether an already running copy comes forward instead is the started program's own affair.
class Launcher {
public:
    // The statuses, which the alerts about a failed start show the user. The numbers are those the POSIX
    // shell gives a command that it cannot find (127) and one that it found but could not run (126).
    enum Status : int {
        Success = 0,
        CouldNotStart = 126,
        NotFound = 127,
    };

    // Whether path names an existing file or folder (a dangling symbolic link does not): Success or NotFound.
    static int checkPath(const QString &path);
    // The program an application folder starts: NAME.app/NAME, or NAME/NAME for a folder without the suffix.
    // A file stands for itself. Whether the program is there is not looked at.
    static QString executableOf(const QString &applicationPath);
    // Starts the application at path, a folder or a program file, without arguments: NotFound when nothing is
    // at path, CouldNotStart when the folder holds no program that can be run or the start fails, else
    // Success.
    static int openApplication(const QString &applicationPath);
    // Starts program with arguments: Success or CouldNotStart.
    static int startDetached(const QString &program, const QStringList &arguments = {});

    // What starts a program; by default QProcess::startDetached. A test puts its own in, to see what would be
    // started without starting it, and reset() puts the default back.
    using StartFunction = std::function<bool(const QString &program, const QStringList &arguments)>;
    static void setStartFunction(StartFunction start);
    static void reset();
};
