#pragma once

#include "TNDContract.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The user's international settings: NSTimeFormatString, NSShortDateFormatString, NSDateFormatString and
// NSAMPMDesignation. Each is read from the shared settings file when the file holds it, otherwise derived
// from the locale's LC_TIME conventions, with POSIX composites rewritten into calendar-format tokens.
namespace InternationalSettings {

using TND::kAMPMDesignationKey;
using TND::kDateFormatKey;
using TND::kShortDateFormatKey;
using TND::kTimeFormatKey;

// Without a time format in the settings file, a desktop whose clock shows 12 hours (AppendAMPM on) gets the
// locale's 12-hour format, and the locale's usual one otherwise.
QString timeFormat();
// The rule of timeFormat(): `setting` wins when it is a string; else the locale's 12-hour POSIX format
// (T_FMT_AMPM; "%I:%M:%S %p" when the locale has none) for a 12-hour desktop, its usual one (T_FMT) if not.
QString timeFormatFrom(const QVariant &setting, bool twelveHour, const QString &posixFormat,
                       const QString &posixTwelveHourFormat);
QString shortDateFormat();
QString dateFormat();
// The two designators, morning first. Nothing when the settings file holds a value under the key that is not
// a list of at least two strings. Derived again only when the settings or the locale have changed, so it is
// cheap enough for every tick of the clock.
std::optional<QStringList> amPmDesignation();

// Rewrites a POSIX strftime format (%T %r %R %D %F %k %l %-H ...) into the tokens CalendarFormat knows.
QString fromPosix(const QString &posixFormat);

} // namespace InternationalSettings
