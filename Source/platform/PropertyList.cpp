#include "PropertyList.h"

#include "AtomicFileReplace.h"
#include "PropertyListCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOfNode(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

QString notAFile(mode_t mode, bool throughLink) {
    const QString kind = kindOfNode(mode);
    if (throughLink)
        return QStringLiteral("it is a symbolic link to %1, not to a regular file").arg(kind);
    return QStringLiteral("it is %1, not a regular file").arg(kind);
}

QString loopOfLinks() {
    return QStringLiteral("it is a loop of symbolic links");
}

// What is at a path, looked at before anything opens it: nothing (or a link to nothing), a regular file
// (perhaps through links), or something else, which no read opens and no write replaces.
PropertyList::Status inspect(const QString &path, QString *problem) {
    const QByteArray name = QFile::encodeName(path);
    struct stat own {};
    if (::lstat(name.constData(), &own) != 0)
        return PropertyList::Status::Missing;
    if (!S_ISLNK(own.st_mode)) {
        if (S_ISREG(own.st_mode))
            return PropertyList::Status::Ok;
        *problem = notAFile(own.st_mode, false);
        return PropertyList::Status::NotAFile;
    }
    struct stat target {};
    if (::stat(name.constData(), &target) != 0) {
        if (errno != ELOOP)
            return PropertyList::Status::Missing; // a link to nothing: a write creates what it names
        *problem = loopOfLinks();
        return PropertyList::Status::NotAFile;
    }
    if (S_ISREG(target.st_mode))
        return PropertyList::Status::Ok;
    *problem = notAFile(target.st_mode, true);
    return PropertyList::Status::NotAFile;
}

// The bytes of a regular file of at most kMaxFileBytes. Opened without blocking, so that a named pipe put
// there between the look and the open cannot stop the program, and checked again once open.
PropertyList::Status readBytes(const QString &path, QByteArray *bytes, QString *problem) {
    const PropertyList::Status kind = inspect(path, problem);
    if (kind != PropertyList::Status::Ok)
        return kind;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return PropertyList::Status::Missing;
        *problem = error == ELOOP ? loopOfLinks() : QString::fromLocal8Bit(std::strerror(error));
        return error == ELOOP ? PropertyList::Status::NotAFile : PropertyList::Status::Damaged;
    }
    const auto done = [fd](PropertyList::Status status) {
        ::close(fd);
        return status;
    };
    const auto tooLarge = [&] {
        *problem =
            QStringLiteral("it is larger than %1 MiB").arg(PropertyList::kMaxFileBytes / (1024 * 1024));
        return done(PropertyList::Status::Damaged);
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        return done(PropertyList::Status::Damaged);
    }
    if (!S_ISREG(info.st_mode)) {
        *problem = notAFile(info.st_mode, false);
        return done(PropertyList::Status::NotAFile);
    }
    if (info.st_size > PropertyList::kMaxFileBytes)
        return tooLarge();
    // One byte more than the limit, to notice a file that grew since fstat().
    bytes->resize(qsizetype(std::min<qint64>(info.st_size, PropertyList::kMaxFileBytes) + 1));
    qsizetype filled = 0;
    for (;;) {
        const ssize_t got = ::read(fd, bytes->data() + filled, size_t(bytes->size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            *problem = QString::fromLocal8Bit(std::strerror(errno));
            return done(PropertyList::Status::Damaged);
        }
        if (got == 0)
            break;
        filled += got;
        if (filled == bytes->size()) {
            if (filled > PropertyList::kMaxFileBytes)
                return tooLarge();
            bytes->resize(std::min<qsizetype>(filled * 2, PropertyList::kMaxFileBytes + 1));
        }
    }
    bytes->truncate(filled);
    return done(PropertyList::Status::Ok);
}

// Where writes really go: a data file reached through a symbolic link is written beside its target, so the
// link stays a link.
QString resolvedPath(const QString &path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical; // the end of a chain of links
    const QString target = info.symLinkTarget();
    return target.isEmpty() ? path : target;
}

// XML where it can hold the tree, binary otherwise: XML cannot carry some control characters in strings.
QByteArray serialised(const QVariant &value) {
    QByteArray bytes = PropertyListCodec::toXml(value);
    if (!PropertyListCodec::fromData(bytes).isValid())
        bytes = PropertyListCodec::toBinary(value);
    return bytes;
}

constexpr char kDamagedKeptMessage[] =
    "The settings file %s could not be read (%s). It was kept as %s, and a new "
    "file was started.";

} // namespace

QVariant PropertyList::fromData(const QByteArray &data) {
    return PropertyListCodec::fromData(data);
}

QByteArray PropertyList::toXml(const QVariant &value) {
    return PropertyListCodec::toXml(value);
}

PropertyList::ReadResult PropertyList::readFile(const QString &path) {
    ReadResult result;
    QByteArray data;
    result.status = readBytes(path, &data, &result.problem);
    if (result.status != Status::Ok)
        return result;
    PropertyListCodec::Decoded decoded = PropertyListCodec::decode(data);
    if (!decoded.value.isValid()) {
        result.status = Status::Damaged;
        result.problem = decoded.problem;
        return result;
    }
    result.value = std::move(decoded.value);
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
    return AtomicFileReplace::lockPath(resolvedPath(path));
}

bool PropertyList::writeFile(const QString &path, const QVariant &value, QString *problem) {
    QString ignored;
    QString &why = problem ? *problem : ignored;
    if (inspect(path, &why) == Status::NotAFile) {
        why += QStringLiteral(", so it was left as it is");
        return false;
    }
    const QString target = resolvedPath(path);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        why = QStringLiteral("cannot create the folder %1").arg(QFileInfo(target).absolutePath());
        return false;
    }
    AtomicFileReplace replace(target);
    if (!replace.locked()) {
        why = replace.problem();
        return false;
    }
    return replace.replace(serialised(value), &why);
}

PropertyList::UpdateResult PropertyList::updateDictionary(const QString &path,
                                                          const std::function<void(QVariantMap &)> &change,
                                                          WriteMode mode) {
    UpdateResult result;
    // Whatever is not a regular file stays where and what it is: a write neither replaces it nor moves it.
    QString notAFileProblem;
    if (inspect(path, &notAFileProblem) == Status::NotAFile) {
        if (mode == WriteMode::OnlyIfFileExists)
            result.outcome = WriteOutcome::Skipped;
        else
            result.problem = notAFileProblem + QStringLiteral(", so it was left as it is");
        return result;
    }
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

    AtomicFileReplace replace(target);
    if (!replace.locked()) {
        result.problem = replace.problem();
        return result;
    }

    DictionaryResult current = readDictionaryFile(target);
    if (current.status != Status::Ok && mode == WriteMode::OnlyIfFileExists) {
        result.outcome = WriteOutcome::Skipped;
        return result;
    }
    if (current.status == Status::NotAFile) {
        result.problem = current.problem + QStringLiteral(", so it was left as it is");
        return result;
    }
    if (current.status == Status::Damaged) {
        QString problem;
        const QString kept = replace.moveAside(&problem);
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
    if (!replace.replace(serialised(dictionary), &result.problem))
        return result;
    result.outcome = WriteOutcome::Written;
    result.dictionary = std::move(dictionary);
    result.stamp = FileStamp::of(target);
    return result;
}
