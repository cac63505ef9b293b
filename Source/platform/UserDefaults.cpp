#include "UserDefaults.h"

#include "NumberValues.h"
#include "PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>
#include <limits>

UserDefaults::UserDefaults(QString path, Follow follow)
    : m_path(std::move(path)) {
    if (follow == Follow::Watch)
        m_watch = std::make_unique<FileWatch>(m_path);
}

QString UserDefaults::preferencesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString UserDefaults::standardPath() {
    return preferencesFolder() + QStringLiteral("/Tindral.plist");
}

UserDefaults &UserDefaults::standardUserDefaults() {
    static UserDefaults defaults(standardPath(), Follow::Watch);
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
    // The count is taken before the file is looked at: a change after this moves it again.
    if (m_watch)
        m_watchCount = m_watch->changeCount();
    const FileStamp stamp = FileStamp::of(m_path);
    if (m_stamp && *m_stamp == stamp)
        return;
    m_stamp = stamp;
    ++m_generation;
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

uint64_t UserDefaults::generation() {
    if (!m_watch || !m_stamp || !m_watch->watching() || m_watch->changeCount() != m_watchCount)
        reloadIfChanged();
    return m_generation;
}

bool UserDefaults::fileChangeSeen() const {
    return m_watch && m_watch->changeCount() != m_watchCount;
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
    // A number beyond 64 bits holds at the end it passed; a value that is not a number reads as 0.
    return NumberValues::read(value, NumberValues::Reals | NumberValues::Booleans | NumberValues::LeadingText)
        .valueOrLimit(0);
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
        ++m_generation;
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
    ++m_generation;
}

void UserDefaults::removeVolatileValue(const QString &key) {
    m_volatile.remove(key);
    ++m_generation;
}
