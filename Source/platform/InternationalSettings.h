#pragma once

#include "TNDContract.h"

#include <QString>
#include <QStringList>

#include <optional>

// The user's international settings: NSTimeFormatString, NSShortDateFormatString, NSDateFormatString and
// NSAMPMDesignation. Each is read from the shared settings file when the file holds it, otherwise derived
// from the locale's LC_TIME conventions, with POSIX composites rewritten into calendar-format tokens.
namespace InternationalSettings {

using TND::kAMPMDesignationKey;
using TND::kDateFormatKey;
using TND::kShortDateFormatKey;
using TND::kTimeFormatKey;

QString timeFormat();
QString shortDateFormat();
QString dateFormat();
// The two designators, morning first. Nothing when the settings file holds a value under the key that is not
// a list of at least two strings.
std::optional<QStringList> amPmDesignation();

// Rewrites a POSIX strftime format (%T %r %R %D %F %k %l %-H ...) into the tokens CalendarFormat knows.
QString fromPosix(const QString &posixFormat);

} // namespace InternationalSettings
