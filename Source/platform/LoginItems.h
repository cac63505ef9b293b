#pragma once

#include <QString>
#include <QStringList>

// The companion's place among the programs the desktop session starts at login: XDG autostart entries,
// desktop entry files in $XDG_CONFIG_HOME/autostart (~/.config/autostart when that variable is unset or not
// an absolute path).
//
// The program counts as listed when an entry there runs exactly its path, without arguments; an entry for a
// copy elsewhere is somebody else's. It writes its own entry as tindral-menu.desktop, or as
// tindral-menu-2.desktop (-3, ...) when a file of someone else holds that name, and on quitting removes every
// entry, of whatever name, that runs exactly its own path. No other file is ever written or removed, and a
// file that cannot be read or is not a well-formed desktop entry is left as it is.
class LoginItems {
public:
    enum class Result { Added, AlreadyListed, Removed, NotListed, Failed };

    // programPath: the program file the session is to start (QCoreApplication::applicationFilePath()).
    explicit LoginItems(QString programPath, QString folder = autostartFolder());

    static QString autostartFolder();

    QString programPath() const { return m_programPath; }
    QString folder() const { return m_folder; }
    // The icon the session's settings show beside the entry; none when empty.
    void setIconPath(const QString &path) { m_iconPath = path; }

    // The entry files, of any name, that run the program.
    QStringList listingEntries() const;

    // Adds the program's entry unless it is listed already: Added, AlreadyListed or Failed (with a warning).
    // The file appears whole or not at all and never replaces another.
    Result add();
    // Removes every entry that runs the program: Removed, NotListed or Failed (with a warning).
    Result remove();

private:
    bool runsProgram(const QString &entryPath) const;
    QString entryText() const;
    // Writes the entry under the first free name; empty when it cannot.
    QString writeEntry();

    QString m_programPath;
    QString m_folder;
    QString m_iconPath;
};
