#pragma once

#include "FileStamp.h"
#include "FileWatch.h"
#include "PropertyList.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// A key store backed by one property-list file whose top level is a dictionary. Reads follow the file: when
// another program has replaced it since the last read, the next read sees the new contents. A missing key
// reads as 0 or nothing. Every read of a key looks at the file (one stat).
//
// What is derived from the settings at every tick of the clock (the designators, the time format) is kept
// until generation() moves. With Follow::Watch a FileWatch tells when the file changed, and generation()
// between two changes costs no system call; with Follow::EveryRead it looks at the file each time.
//
// Every write is a read-modify-write of the whole file under its lock (PropertyList::updateDictionary), so
// two programs that set different keys at the same moment both keep theirs, a damaged file is kept aside
// rather than overwritten, and what is not a regular file (a FIFO, a folder, a link to one, a loop of links) is
// left where and what it is: its settings read as missing, and writes fail. CreateFile (the main
// application's writes) starts the file when there is none; OnlyIfFileExists (the companion's write-back of
// showTindralMenu) leaves a missing or damaged file alone.
//
// Values set with setVolatileValue() sit in front of the file for this process only (the command line's
// domain): they are read first and never written.
class UserDefaults {
public:
    using WriteMode = PropertyList::WriteMode;
    using WriteOutcome = PropertyList::WriteOutcome;

    enum class Follow { EveryRead, Watch };

    explicit UserDefaults(QString path, Follow follow = Follow::EveryRead);

    // Tindral.plist in the preferences folder, watched: the settings file both programs share.
    static UserDefaults &standardUserDefaults();
    // QStandardPaths' generic configuration folder ($XDG_CONFIG_HOME, else ~/.config).
    static QString preferencesFolder();
    static QString standardPath();

    QString path() const { return m_path; }

    QVariant objectForKey(const QString &key);
    // Numbers as integers (a real loses its fraction), booleans as 0 or 1, strings by their leading number
    // (NumberValues::leadingText); a number beyond 64 bits holds at the end it passed, anything else is 0.
    qint64 integerForKey(const QString &key);
    // Strings as they are, numbers in decimal; nothing for anything else.
    QString stringForKey(const QString &key);

    // The file's dictionary as last read, or nothing when the file is missing or is not a dictionary.
    std::optional<QVariantMap> dictionary();

    // setInteger:forKey: and setObject:forKey:. An invalid value removes the key. Failures are told on
    // standard error and leave the file as it was.
    WriteOutcome setIntegerForKey(qint64 value, const QString &key, WriteMode mode = WriteMode::CreateFile);
    WriteOutcome setObjectForKey(const QVariant &value, const QString &key,
                                 WriteMode mode = WriteMode::CreateFile);
    // Never creates a file just to leave a key out of it.
    WriteOutcome removeObjectForKey(const QString &key);
    // Writes the dictionary back after `change` has edited the file's current contents; the companion's whole
    // write-back, done as one locked step so that it never drops a key another program set meanwhile.
    WriteOutcome writeBack(const std::function<void(QVariantMap &)> &change, WriteMode mode);

    void setVolatileValue(const QString &key, const QVariant &value);
    void removeVolatileValue(const QString &key);

    // Moves whenever what the reads give may have changed: the file read anew, a write, a volatile value. A
    // reader that derives something from the settings keeps it until the generation moves.
    uint64_t generation();
    // Whether the watch has seen the file change since this object last looked at it.
    bool fileChangeSeen() const;

    // The integer reading used by integerForKey, for values taken from elsewhere.
    static qint64 integerValue(const QVariant &value);

private:
    void reloadIfChanged();

    QString m_path;
    QVariantMap m_volatile;
    std::optional<QVariantMap> m_contents;
    std::optional<FileStamp> m_stamp;
    std::unique_ptr<FileWatch> m_watch;
    uint64_t m_watchCount = 0; // the watch's count when the file was last looked at
    uint64_t m_generation = 0;
};
