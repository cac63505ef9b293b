#include "UserDefaults.h"

#include "PropertyList.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cmath>
#include <limits>

#include <sys/stat.h>

UserDefaults::UserDefaults(QString path)
    : m_path(std::move(path)) {}

QString UserDefaults::preferencesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString UserDefaults::standardPath() {
    return preferencesFolder() + QStringLiteral("/Tindral.plist");
}

UserDefaults &UserDefaults::standardUserDefaults() {
    static UserDefaults defaults(standardPath());
    return defaults;
}

UserDefaults::Stamp UserDefaults::stampOf(const QString &path) {
    Stamp stamp;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.inode = qint64(info.st_ino);
    stamp.size = qint64(info.st_size);
#if defined(__APPLE__)
    stamp.mtimeNs = qint64(info.st_mtimespec.tv_sec) * 1000000000 + info.st_mtimespec.tv_nsec;
#else
    stamp.mtimeNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#endif
    return stamp;
}

void UserDefaults::reloadIfChanged() {
    const Stamp stamp = stampOf(m_path);
    if (m_stamp && *m_stamp == stamp)
        return;
    m_stamp = stamp;
    m_contents = stamp.exists ? PropertyList::readDictionary(m_path) : std::nullopt;
}

std::optional<QVariantMap> UserDefaults::dictionary() {
    reloadIfChanged();
    return m_contents;
}

QVariant UserDefaults::objectForKey(const QString &key) {
    const auto found = m_volatile.constFind(key);
    if (found != m_volatile.cend())
        return *found;
    reloadIfChanged();
    if (!m_contents)
        return {};
    return m_contents->value(key);
}

qint64 UserDefaults::integerValue(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        if (!std::isfinite(real))
            return 0;
        if (real >= 9.2e18 || real <= -9.2e18)
            return real > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
        return qint64(real);
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return value.toLongLong();
    case QMetaType::QString: {
        // Like intValue: skip leading blanks, read an optional sign and the digits that follow.
        const QString text = value.toString().trimmed();
        qsizetype end = 0;
        if (end < text.size() && (text[end] == u'-' || text[end] == u'+'))
            ++end;
        while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128)
            ++end;
        bool ok = false;
        const qint64 number = text.left(end).toLongLong(&ok);
        return ok ? number : 0;
    }
    default:
        return 0;
    }
}

qint64 UserDefaults::integerForKey(const QString &key) {
    return integerValue(objectForKey(key));
}

QString UserDefaults::stringForKey(const QString &key) {
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return {};
    }
}

void UserDefaults::setVolatileValue(const QString &key, const QVariant &value) {
    m_volatile.insert(key, value);
}

void UserDefaults::removeVolatileValue(const QString &key) {
    m_volatile.remove(key);
}
