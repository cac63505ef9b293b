#include "PropertyList.h"

#include "AtomicFileReplace.h"
#include "PropertyListCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

namespace {

// Where writes really go: a data file reached through a symbolic link is written beside its target, so the
// link stays a link.
QString resolvedPath(const QString &path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
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
    return AtomicFileReplace::lockPath(resolvedPath(path));
}

bool PropertyList::writeFile(const QString &path, const QVariant &value, QString *problem) {
    QString ignored;
    QString &why = problem ? *problem : ignored;
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
