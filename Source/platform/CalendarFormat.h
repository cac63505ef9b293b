#pragma once

#include <QString>

// Writes a moment by the %-tokens of a calendar format, in the computer's local time zone (TZ is honoured).
//
// Tokens: %% %a %A %b %B %c %d %e %F (milliseconds, 000-999) %H %I %j %m %M %p %S %w %x %X %y %Y %Z %z and
// the unpadded %1H %1I %1d %1m. Names are the English ones. Any other sequence is copied as it stands.
namespace CalendarFormat {

QString expand(const QString &format, double secondsSince1970);

} // namespace CalendarFormat
