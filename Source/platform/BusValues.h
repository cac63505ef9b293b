#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// The user info of a notification between the programs, to and from its form on the D-Bus session bus (a
// dictionary of variants, a{sv}). Strings, integers, reals, booleans, data, lists and dictionaries travel,
// nested as deep as the bus allows. Integers of every width arrive as qint64 and string lists as lists; an
// unsigned integer above qint64's range is refused rather than wrapped. A problem names the value's place in
// the user info ("the integer under \"n\" is too large").
namespace BusValues {

// The form a value is sent in, or nothing (with the reason) when it has no form on the bus.
std::optional<QVariant> toBus(const QVariant &value, QString *problem);
// The plain form of a value as it came off the bus, or nothing (with the reason) when it has none.
std::optional<QVariant> fromBus(const QVariant &value, QString *problem);

} // namespace BusValues
