#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// Property-list files, XML or binary, read whole into a QVariant tree: QVariantMap (dictionary), QVariantList
// (array), QString, qint64 (integer), double (real), bool, QByteArray (data), QDateTime in UTC (date).
class PropertyList {
public:
    enum class Status { Ok, Missing, Damaged };

    struct ReadResult {
        Status status = Status::Missing;
        QVariant value;
        QString problem; // why a file counts as damaged
    };

    // Reads and parses a whole file. A file that exists but cannot be read or parsed is Damaged.
    static ReadResult readFile(const QString &path);
    // The file's top-level dictionary, or nothing when the file is missing, damaged or not a dictionary.
    static std::optional<QVariantMap> readDictionary(const QString &path);

    // Parses XML or binary property-list bytes; an invalid QVariant when they do not parse.
    static QVariant fromData(const QByteArray &data);
    // The XML form of a tree. Values of other types are written as their string form.
    static QByteArray toXml(const QVariant &value);
};
