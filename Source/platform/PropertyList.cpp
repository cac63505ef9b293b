#include "PropertyList.h"

#include "Clock.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimeZone>
#include <QtDebug>

#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr qint64 kPlistEpochFrom1970 = 978307200;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

QString takeString(char *text) {
    QString result = QString::fromUtf8(text ? text : "");
    std::free(text);
    return result;
}

QVariant toVariant(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // libplist keeps signed integers in the same node as their two's complement.
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        char *value = nullptr;
        plist_get_string_val(node, &value);
        return takeString(value);
    }
    case PLIST_DATA: {
        char *value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        QByteArray bytes(value, qsizetype(length));
        std::free(value);
        return bytes;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromMSecsSinceEpoch((kPlistEpochFrom1970 + sec) * 1000 + usec / 1000,
                                              QTimeZone::utc());
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i)
            list.append(toVariant(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            map.insert(takeString(key), toVariant(value));
        }
        std::free(iter);
        return map;
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return qint64(value);
    }
    case PLIST_KEY: {
        char *value = nullptr;
        plist_get_key_val(node, &value);
        return takeString(value);
    }
    default:
        return {};
    }
}

plist_t toNode(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toNode(it.value()));
        return dict;
    }
    case QMetaType::QVariantHash: {
        plist_t dict = plist_new_dict();
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toNode(it.value()));
        return dict;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, toNode(item));
        return array;
    }
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kPlistEpochFrom1970 * 1000;
        const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        return plist_new_date(int32_t(sec), int32_t((ms - sec * 1000) * 1000));
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

QByteArray toBinary(const QVariant &value) {
    PlistPtr root(toNode(value));
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return result;
}

QString systemError(const char *what, int error) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(error)));
}

// Holds the advisory lock of one data file for its lifetime. flock() locks belong to the open file, so two
// writers in the same process exclude each other as well as two programs do.
class FileLock {
public:
    // A writer that holds the lock works for milliseconds; one that holds it for this long is stuck (stopped
    // in a debugger, say), and waiting on would freeze the program that wants to write.
    static constexpr int kPatienceMs = 10000;

    explicit FileLock(const QString &lockPath) {
        m_fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            m_problem = systemError("cannot open the lock file", errno);
            return;
        }
        // Polling, not a blocking flock(), so that the wait has an end.
        QDeadlineTimer deadline(kPatienceMs);
        unsigned long pauseMs = 1;
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_locked = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                m_problem = systemError("cannot lock the file", errno);
                return;
            }
            if (deadline.hasExpired()) {
                m_problem = QStringLiteral("another program has held the file's lock for over %1 seconds")
                                .arg(kPatienceMs / 1000);
                return;
            }
            QThread::msleep(pauseMs);
            pauseMs = std::min<unsigned long>(pauseMs * 2, 16);
        }
    }
    ~FileLock() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return m_locked; }
    QString problem() const { return m_problem; }

private:
    int m_fd = -1;
    bool m_locked = false;
    QString m_problem;
};

// Where writes really go: a data file reached through a symbolic link is written beside its target, so the
// link stays a link.
QString resolvedPath(const QString &path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString target = info.symLinkTarget();
    return target.isEmpty() ? path : target;
}

QString temporaryPrefix(const QString &path) {
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".tmp-");
}

// Temporary files that a writer killed halfway left behind. Only called while holding the lock, when no
// other writer can be using one.
void removeStaleTemporaries(const QString &path) {
    const QFileInfo info(path);
    QDir folder(info.absolutePath());
    const QString pattern = QStringLiteral(".") + info.fileName() + QStringLiteral(".tmp-*");
    for (const QString &name : folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);
}

bool writeAll(int fd, const QByteArray &bytes) {
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

// The bytes are complete on the disk under a temporary name before the rename puts them in place.
bool replaceFileContents(const QString &path, const QByteArray &bytes, QString *problem) {
    const QFileInfo info(path);
    QByteArray name = QFile::encodeName(temporaryPrefix(path)) + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *problem = systemError("cannot create a temporary file", errno);
        return false;
    }
    struct stat old {};
    if (::stat(QFile::encodeName(path).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);

    const auto fail = [&](const char *what) {
        const int error = errno;
        ::close(fd);
        ::unlink(name.constData());
        *problem = systemError(what, error);
        return false;
    };
    if (!writeAll(fd, bytes))
        return fail("cannot write the temporary file");
    if (::fsync(fd) != 0)
        return fail("cannot flush the temporary file to the disk");
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        *problem = systemError("cannot close the temporary file", error);
        return false;
    }
    if (::rename(name.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        *problem = systemError("cannot rename the temporary file over the old one", error);
        return false;
    }
    // The rename itself lives in the folder; without this a crash of the machine could bring the old file
    // back.
    const int folder =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

// XML where it can hold the tree, binary otherwise: XML cannot carry some control characters in strings.
QByteArray serialised(const QVariant &value) {
    QByteArray bytes = PropertyList::toXml(value);
    if (!PropertyList::fromData(bytes).isValid())
        bytes = toBinary(value);
    return bytes;
}

// Keeps a damaged file under a name of its own: NAME.damaged-<local time>, with -2, -3... when that is taken.
QString moveAside(const QString &path, QString *problem) {
    const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(Clock::now() * 1000.0))
                              .toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QStringLiteral(".damaged-") + stamp;
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral("-%1").arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        *problem = systemError("cannot move the damaged file aside", errno);
        return {};
    }
    return target;
}

constexpr char kDamagedKeptMessage[] =
    "The settings file %s could not be read (%s). It was kept as %s, and a new "
    "file was started.";

} // namespace

QVariant PropertyList::fromData(const QByteArray &data) {
    if (data.isEmpty() || data.size() > qsizetype(std::numeric_limits<uint32_t>::max()))
        return {};
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return {};
    PlistPtr owner(root);
    return toVariant(root);
}

QByteArray PropertyList::toXml(const QVariant &value) {
    PlistPtr root(toNode(value));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    QByteArray result(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return result;
}

PropertyList::ReadResult PropertyList::readFile(const QString &path) {
    ReadResult result;
    QFileInfo info(path);
    if (!info.exists()) {
        result.status = Status::Missing;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Status::Damaged;
        result.problem = file.errorString();
        return result;
    }
    const QByteArray data = file.readAll();
    result.value = fromData(data);
    if (!result.value.isValid()) {
        result.status = Status::Damaged;
        result.problem = data.isEmpty() ? QStringLiteral("the file is empty")
                                        : QStringLiteral("the file is not a property list");
        return result;
    }
    result.status = Status::Ok;
    return result;
}

std::optional<QVariantMap> PropertyList::readDictionary(const QString &path) {
    DictionaryResult result = readDictionaryFile(path);
    if (result.status != Status::Ok)
        return std::nullopt;
    return std::move(result.dictionary);
}

PropertyList::DictionaryResult PropertyList::readDictionaryFile(const QString &path) {
    ReadResult read = readFile(path);
    DictionaryResult result;
    result.status = read.status;
    result.problem = read.problem;
    if (read.status != Status::Ok)
        return result;
    if (read.value.typeId() != QMetaType::QVariantMap) {
        result.status = Status::Damaged;
        result.problem = QStringLiteral("its top level is %1, not a dictionary").arg(kindOf(read.value));
        return result;
    }
    result.dictionary = read.value.toMap();
    return result;
}

QString PropertyList::kindOf(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return QStringLiteral("a dictionary");
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return QStringLiteral("a list");
    case QMetaType::QString:
        return QStringLiteral("a string");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QStringLiteral("an integer");
    case QMetaType::Double:
    case QMetaType::Float:
        return QStringLiteral("a real number");
    case QMetaType::Bool:
        return QStringLiteral("a boolean");
    case QMetaType::QByteArray:
        return QStringLiteral("data");
    case QMetaType::QDateTime:
        return QStringLiteral("a date");
    case QMetaType::UnknownType:
        return QStringLiteral("nothing");
    default:
        return QStringLiteral("a value of an unknown kind");
    }
}

QString PropertyList::lockPath(const QString &path) {
    return resolvedPath(path) + QStringLiteral(".lock");
}

bool PropertyList::writeFile(const QString &path, const QVariant &value, QString *problem) {
    QString ignored;
    QString &why = problem ? *problem : ignored;
    const QString target = resolvedPath(path);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        why = QStringLiteral("cannot create the folder %1").arg(QFileInfo(target).absolutePath());
        return false;
    }
    FileLock lock(lockPath(path));
    if (!lock.locked()) {
        why = lock.problem();
        return false;
    }
    removeStaleTemporaries(target);
    return replaceFileContents(target, serialised(value), &why);
}

PropertyList::UpdateResult PropertyList::updateDictionary(const QString &path,
                                                          const std::function<void(QVariantMap &)> &change,
                                                          WriteMode mode) {
    UpdateResult result;
    const QString target = resolvedPath(path);
    const QString folder = QFileInfo(target).absolutePath();
    if (mode == WriteMode::OnlyIfFileExists) {
        // Checked before taking the lock too, so that a skipped write leaves no lock file behind.
        if (!QFileInfo::exists(target)) {
            result.outcome = WriteOutcome::Skipped;
            return result;
        }
    } else if (!QDir().mkpath(folder)) {
        result.problem = QStringLiteral("cannot create the folder %1").arg(folder);
        return result;
    }

    FileLock lock(lockPath(path));
    if (!lock.locked()) {
        result.problem = lock.problem();
        return result;
    }
    removeStaleTemporaries(target);

    DictionaryResult current = readDictionaryFile(target);
    if (current.status != Status::Ok && mode == WriteMode::OnlyIfFileExists) {
        result.outcome = WriteOutcome::Skipped;
        return result;
    }
    if (current.status == Status::Damaged) {
        QString problem;
        const QString kept = moveAside(target, &problem);
        if (kept.isEmpty()) {
            result.problem = problem;
            return result;
        }
        qWarning(kDamagedKeptMessage, qPrintable(QDir::toNativeSeparators(target)),
                 qPrintable(current.problem), qPrintable(QDir::toNativeSeparators(kept)));
        current.dictionary.clear();
    }

    QVariantMap dictionary = std::move(current.dictionary);
    change(dictionary);
    if (!replaceFileContents(target, serialised(dictionary), &result.problem))
        return result;
    result.outcome = WriteOutcome::Written;
    result.dictionary = std::move(dictionary);
    result.stamp = FileStamp::of(target);
    return result;
}
