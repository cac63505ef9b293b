#include "BusValues.h"

#include "NumberValues.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace {

QString quoted(const QString &key) {
    return QStringLiteral("\"%1\"").arg(key);
}

QString joinPath(const QString &path, const QString &step) {
    return path.isEmpty() ? step : path + u'.' + step;
}

QString where(const QString &path) {
    return path.isEmpty() ? QString() : QStringLiteral(" under ") + path;
}

// An integer of any width as qint64. A refusal can only be an unsigned number above qint64's range: the bus
// would carry it, but no reader of a notification could take it.
std::optional<QVariant> integer(const QVariant &value, const QString &path, QString *problem) {
    const NumberValues::Reading reading = NumberValues::read(value);
    if (!reading.isRead()) {
        *problem = QStringLiteral("the integer%1 is too large").arg(where(path));
        return std::nullopt;
    }
    return QVariant(qint64(*reading.value));
}

std::optional<QVariant> sendable(const QVariant &value, const QString &path, QString *problem) {
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QByteArray:
        return value;
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return integer(value, path, problem);
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QVariantList list;
        const QVariantList items = value.toList();
        for (qsizetype i = 0; i < items.size(); ++i) {
            auto item = sendable(items[i], joinPath(path, QStringLiteral("[%1]").arg(i)), problem);
            if (!item)
                return std::nullopt;
            list.append(*item);
        }
        return list;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantMap items = value.toMap();
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            auto item = sendable(it.value(), joinPath(path, quoted(it.key())), problem);
            if (!item)
                return std::nullopt;
            map.insert(it.key(), *item);
        }
        return map;
    }
    case QMetaType::UnknownType:
        *problem = QStringLiteral("there is no value%1").arg(where(path));
        return std::nullopt;
    default:
        *problem = QStringLiteral("the value%1 is a %2, which has no form on the bus")
                       .arg(where(path), QString::fromLatin1(value.typeName()));
        return std::nullopt;
    }
}

std::optional<QVariant> received(const QVariant &value, const QString &path, QString *problem);

std::optional<QVariant> receivedArgument(const QDBusArgument &argument, const QString &path,
                                        QString *problem) {
    switch (argument.currentType()) {
    case QDBusArgument::BasicType:
    case QDBusArgument::VariantType:
        return received(argument.asVariant(), path, problem);
    // Every begin is matched by its end, also after a problem: the argument's reader leaks what it opened
    // and never closed.
    case QDBusArgument::ArrayType: {
        QVariantList list;
        bool readable = true;
        argument.beginArray();
        while (!argument.atEnd()) {
            const QVariant element = argument.asVariant();
            if (!readable)
                continue;
            auto item = received(element, joinPath(path, QStringLiteral("[%1]").arg(list.size())), problem);
            if (item)
                list.append(*item);
            else
                readable = false;
        }
        argument.endArray();
        return readable ? std::optional<QVariant>(list) : std::nullopt;
    }
    case QDBusArgument::MapType: {
        QVariantMap map;
        bool readable = true;
        argument.beginMap();
        while (!argument.atEnd()) {
            argument.beginMapEntry();
            const QVariant key = argument.asVariant();
            const QVariant element = argument.asVariant();
            argument.endMapEntry();
            if (!readable)
                continue;
            if (key.typeId() != QMetaType::QString) {
                *problem = QStringLiteral("the dictionary%1 has keys that are not strings").arg(where(path));
                readable = false;
                continue;
            }
            auto item = received(element, joinPath(path, quoted(key.toString())), problem);
            if (item)
                map.insert(key.toString(), *item);
            else
                readable = false;
        }
        argument.endMap();
        return readable ? std::optional<QVariant>(map) : std::nullopt;
    }
    case QDBusArgument::StructureType:
        *problem = QStringLiteral("the value%1 is a structure").arg(where(path));
        return std::nullopt;
    default:
        *problem = QStringLiteral("the value%1 cannot be read").arg(where(path));
        return std::nullopt;
    }
}

std::optional<QVariant> received(const QVariant &value, const QString &path, QString *problem) {
    const int type = value.typeId();
    if (type == qMetaTypeId<QDBusArgument>())
        return receivedArgument(value.value<QDBusArgument>(), path, problem);
    if (type == qMetaTypeId<QDBusVariant>())
        return received(value.value<QDBusVariant>().variant(), path, problem);
    if (type == qMetaTypeId<QDBusObjectPath>())
        return QVariant(value.value<QDBusObjectPath>().path());
    if (type == qMetaTypeId<QDBusSignature>())
        return QVariant(value.value<QDBusSignature>().signature());
    switch (type) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QByteArray:
    case QMetaType::LongLong:
        return value;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULongLong:
        return integer(value, path, problem);
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &item : value.toStringList())
            list.append(item);
        return list;
    }
    default:
        *problem =
            QStringLiteral("the value%1 is a %2").arg(where(path), QString::fromLatin1(value.typeName()));
        return std::nullopt;
    }
}

} // namespace

namespace BusValues {

std::optional<QVariant> toBus(const QVariant &value, QString *problem) {
    return sendable(value, QString(), problem);
}

std::optional<QVariant> fromBus(const QVariant &value, QString *problem) {
    return received(value, QString(), problem);
}

} // namespace BusValues
