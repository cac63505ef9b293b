#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Property-list bytes, XML or binary, to and from a QVariant tree: QVariantMap (dictionary), QVariantList
// (array), QString, qint64 (integer; quint64 for a whole number above the qint64 range, which XML and the
// binary form can hold), double (real), bool, QByteArray (data), QDateTime in UTC (date).
//
// Reading cannot be driven into unbounded work by the bytes it is given:
// - no tree deeper than kMaxDepth containers is read;
// - no tree of more than kMaxValues values is read, shared references of the binary form counted once per
//   place they appear (a few hundred bytes can otherwise name 2^30 values);
// - a string or key holding a NUL character is refused: XML cannot carry one, and the writer could not keep
//   it with its length, so reading it would cut it short on the next write;
// - lists are read in linear time.
// The binary form (bplist00) is decoded here, with every offset checked against the data; XML goes through
// libplist after a scan of its nesting depth.
class PropertyListCodec {
public:
    static constexpr int kMaxDepth = 256;
    static constexpr qsizetype kMaxValues = 1000000;

    struct Decoded {
        QVariant value; // invalid when the bytes were refused
        QString problem; // why, in one line naming what and where: "a string holds a NUL character (at “k”)"
    };

    static Decoded decode(const QByteArray &data);
    // decode(data).value.
    static QVariant fromData(const QByteArray &data);
    // The XML form of a tree. Values of other types are written as their string form.
    static QByteArray toXml(const QVariant &value);
    // The binary form of a tree, for trees whose strings XML cannot carry.
    static QByteArray toBinary(const QVariant &value);
};
