#include "CalendarFormat.h"

#include <cmath>
#include <ctime>

namespace {

const char *const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char *const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

QString twoDigits(int value) {
    return QString::number(value).rightJustified(2, u'0');
}

int twelveHour(int hour) {
    const int h = hour % 12;
    return h == 0 ? 12 : h;
}

QString zoneOffset(long seconds) {
    const QChar sign = seconds < 0 ? u'-' : u'+';
    const long magnitude = std::labs(seconds) / 60; // minutes
    return sign + twoDigits(int(magnitude / 60)) + twoDigits(int(magnitude % 60));
}

} // namespace

namespace CalendarFormat {

QString expand(const QString &format, double secondsSince1970) {
    if (!std::isfinite(secondsSince1970))
        return format;
    const double whole = std::floor(secondsSince1970);
    int milliseconds = int((secondsSince1970 - whole) * 1000.0);
    if (milliseconds > 999)
        milliseconds = 999;
    const std::time_t moment = std::time_t(whole);
    std::tm tm{};
    tzset();
    if (!localtime_r(&moment, &tm))
        return format;

    const int year = tm.tm_year + 1900;
    QString out;
    out.reserve(format.size() + 16);
    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= n) {
            out += c;
            continue;
        }
        const QChar t = format[i + 1];
        if (t == u'1' && i + 2 < n) {
            const QChar u = format[i + 2];
            QString unpadded;
            if (u == u'H')
                unpadded = QString::number(tm.tm_hour);
            else if (u == u'I')
                unpadded = QString::number(twelveHour(tm.tm_hour));
            else if (u == u'd')
                unpadded = QString::number(tm.tm_mday);
            else if (u == u'm')
                unpadded = QString::number(tm.tm_mon + 1);
            if (!unpadded.isNull()) {
                out += unpadded;
                i += 2;
                continue;
            }
        }
        QString piece;
        switch (t.unicode()) {
        case '%':
            piece = QStringLiteral("%");
            break;
        case 'a':
            piece = QString::fromLatin1(kWeekdays[tm.tm_wday], 3);
            break;
        case 'A':
            piece = QString::fromLatin1(kWeekdays[tm.tm_wday]);
            break;
        case 'b':
            piece = QString::fromLatin1(kMonths[tm.tm_mon], 3);
            break;
        case 'B':
            piece = QString::fromLatin1(kMonths[tm.tm_mon]);
            break;
        case 'c':
            piece = expand(QStringLiteral("%a %b %e %H:%M:%S %Z %Y"), secondsSince1970);
            break;
        case 'd':
            piece = twoDigits(tm.tm_mday);
            break;
        case 'e':
            piece = QString::number(tm.tm_mday).rightJustified(2, u' ');
            break;
        case 'F':
            piece = QString::number(milliseconds).rightJustified(3, u'0');
            break;
        case 'H':
            piece = twoDigits(tm.tm_hour);
            break;
        case 'I':
            piece = twoDigits(twelveHour(tm.tm_hour));
            break;
        case 'j':
            piece = QString::number(tm.tm_yday + 1).rightJustified(3, u'0');
            break;
        case 'm':
            piece = twoDigits(tm.tm_mon + 1);
            break;
        case 'M':
            piece = twoDigits(tm.tm_min);
            break;
        case 'p':
            piece = tm.tm_hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            break;
        case 'S':
            piece = twoDigits(tm.tm_sec);
            break;
        case 'w':
            piece = QString::number(tm.tm_wday);
            break;
        case 'x':
            piece = expand(QStringLiteral("%m/%d/%y"), secondsSince1970);
            break;
        case 'X':
            piece = expand(QStringLiteral("%H:%M:%S"), secondsSince1970);
            break;
        case 'y':
            piece = twoDigits(((year % 100) + 100) % 100);
            break;
        case 'Y':
            piece = QString::number(year);
            break;
        case 'Z':
            piece = QString::fromLocal8Bit(tm.tm_zone ? tm.tm_zone : "");
            break;
        case 'z':
            piece = zoneOffset(tm.tm_gmtoff);
            break;
        default:
            // Unknown: copy the percent sign and let the next character be copied on its own.
            out += c;
            continue;
        }
        out += piece;
        ++i;
    }
    return out;
}

} // namespace CalendarFormat
