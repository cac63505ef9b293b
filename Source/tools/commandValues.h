#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Values on tindral-clock's command line and in its output.
//
// A plain VALUE is typed by its look: an integer ("120", "-5"), a real ("0.7", "1e3", "2."), true or false,
// and anything else a string. JSON gives every kind exactly: integers (no fraction or exponent) stay
// integers, other numbers are reals, and data is written {"$base64": "..."}. Output is JSON on one line with
// the keys in order; data appears as a base64 string and reals always carry a fraction or an exponent, so
// that 2.0 does not read back as the integer 2.
//
// Not QJsonDocument: it keeps every number as a double, so 2^53 + 1 changes and 2.0 reads back as 2.
namespace CommandValues {

QVariant scalarValue(const QString &text);

// Strict JSON (RFC 8259), one value with blanks around it allowed. null has no counterpart and is refused.
std::optional<QVariant> jsonValue(const QString &text, QString *problem);

QByteArray json(const QVariant &value);

// A value as a message quotes it: its first line, at most 60 characters, "…" where more was left out.
QString quoted(const QString &text);

} // namespace CommandValues
