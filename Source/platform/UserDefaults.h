#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// A key store backed by one property-list file whose top level is a dictionary. Reads follow the file: when
// another program has replaced it since the last read, the next read sees the new contents. A missing key
// reads as 0 or nothing.
//
// Values set with setVolatileValue() sit in front of the file for this process only (the command line's
// domain): they are read first and never written.
class UserDefaults {
public:
    explicit UserDefaults(QString path);

    // Tindral.plist in the preferences folder: the settings file both programs share.
    static UserDefaults &standardUserDefaults();
    // QStandardPaths' generic configuration folder ($XDG_CONFIG_HOME, else ~/.config).
    static QString preferencesFolder();
    static QString standardPath();

    QString path() const { return m_path; }

    QVariant objectForKey(const QString &key);
    // Numbers as integers (a real loses its fraction), booleans as 0 or 1, strings by their leading number.
    qint64 integerForKey(const QString &key);
    // Strings as they are, numbers in decimal; nothing for anything else.
    QString stringForKey(const QString &key);

    // The file's dictionary as last read, or nothing when the file is missing or is not a dictionary.
    std::optional<QVariantMap> dictionary();

    void setVolatileValue(const QString &key, const QVariant &value);
    void removeVolatileValue(const QString &key);

    // The integer reading used by integerForKey, for values taken from elsewhere.
    static qint64 integerValue(const QVariant &value);

private:
    void reloadIfChanged();

    QString m_path;
    QVariantMap m_volatile;
    std::optional<QVariantMap> m_contents;
    struct Stamp {
        bool exists = false;
        qint64 inode = 0;
        qint64 size = 0;
        qint64 mtimeNs = 0;
        bool operator==(const Stamp &) const = default;
    };
    std::optional<Stamp> m_stamp;
    static Stamp stampOf(const QString &path);
};
