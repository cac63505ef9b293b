#include "UserDefaults.h"

#include "PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>
#include <limits>

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

namespace {

constexpr char kDamagedReadMessage[] =
    "The settings file %s is damaged (%s): its settings read as missing. The "
    "next change of a setting keeps it aside and starts a new file.";
constexpr char kNotAFileMessage[] =
    "The settings file %s cannot be read (%s): its settings read as missing, and "
    "settings cannot be changed until a file takes its place.";
constexpr char kWriteFailedMessage[] = "The settings file %s was not changed: %s.";

} // namespace

void UserDefaults::reloadIfChanged() {
    const FileStamp stamp = FileStamp::of(m_path);
    if (m_stamp && *m_stamp == stamp)
        return;
    m_stamp = stamp;
    m_contents.reset();
    // A link to nothing reads as missing without a word; a loop of links is read, to be told.
    if (!stamp.exists() && !QFileInfo(m_path).isSymLink())
        return;
    PropertyList::DictionaryResult read = PropertyList::readDictionaryFile(m_path);
    if (read.status == PropertyList::Status::Ok)
        m_contents = std::move(read.dictionary);
    else if (read.status == PropertyList::Status::Damaged)
        qWarning(kDamagedReadMessage, qPrintable(QDir::toNativeSeparators(m_path)), qPrintable(read.problem));
    else if (read.status == PropertyList::Status::NotAFile)
        qWarning(kNotAFileMessage, qPrintable(QDir::toNativeSeparators(m_path)), qPrintable(read.problem));
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
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
        // A whole number above the qint64 range (a file can hold one) saturates rather than turn negative.
        const qulonglong number = value.toULongLong();
        return number > qulonglong(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max()
                                                                       : qint64(number);
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Long:
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
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return {};
    }
}

UserDefaults::WriteOutcome UserDefaults::writeBack(const std::function<void(QVariantMap &)> &change,
                                                   WriteMode mode) {
    PropertyList::UpdateResult result = PropertyList::updateDictionary(m_path, change, mode);
    switch (result.outcome) {
    case WriteOutcome::Written:
        // What this write left is known; the next read need not parse it again.
        m_contents = std::move(result.dictionary);
        m_stamp = result.stamp;
        break;
    case WriteOutcome::Failed:
        qWarning(kWriteFailedMessage, qPrintable(QDir::toNativeSeparators(m_path)),
                 qPrintable(result.problem));
        break;
    case WriteOutcome::Skipped:
        break;
    }
    return result.outcome;
}

UserDefaults::WriteOutcome UserDefaults::setObjectForKey(const QVariant &value, const QString &key,
                                                         WriteMode mode) {
    return writeBack(
        [&](QVariantMap &dictionary) {
            if (value.isValid())
                dictionary.insert(key, value);
            else
                dictionary.remove(key);
        },
        mode);
}

UserDefaults::WriteOutcome UserDefaults::setIntegerForKey(qint64 value, const QString &key, WriteMode mode) {
    return setObjectForKey(QVariant(value), key, mode);
}

UserDefaults::WriteOutcome UserDefaults::removeObjectForKey(const QString &key) {
    return setObjectForKey(QVariant(), key, WriteMode::OnlyIfFileExists);
}

void UserDefaults::setVolatileValue(const QString &key, const QVariant &value) {
    m_volatile.insert(key, value);
}

void UserDefaults::removeVolatileValue(const QString &key) {
    m_volatile.remove(key);
}
