#pragma once

#include <QByteArray>
#include <QVariant>

// Property-list bytes, XML or binary, to and from a QVariant tree: QVariantMap (dictionary), QVariantList
// (array), QString, qint64 (integer), double (real), bool, QByteArray (data), QDateTime in UTC (date).
class PropertyListCodec {
public:
    // Parses XML or binary property-list bytes; an invalid QVariant when they do not parse.
    static QVariant fromData(const QByteArray &data);
    // The XML form of a tree. Values of other types are written as their string form.
    static QByteArray toXml(const QVariant &value);
    // The binary form of a tree, for trees whose strings XML cannot carry.
    static QByteArray toBinary(const QVariant &value);
};
