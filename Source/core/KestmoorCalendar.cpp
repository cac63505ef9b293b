#include "KestmoorCalendar.h"

#include <cmath>
#include <limits>

namespace KestmoorCalendar {

namespace {

// Drops the fraction toward zero into 32 bits; values beyond the range stick at its ends.
int32_t truncate32(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

int64_t floor64(double value) {
    if (std::isnan(value))
        return 0;
    const double floored = std::floor(value);
    if (floored >= 9.2e18)
        return std::numeric_limits<int64_t>::max();
    if (floored <= -9.2e18)
        return std::numeric_limits<int64_t>::min();
    return int64_t(floored);
}

// Remainder in [0, divisor), so that counts run on backwards below IC time 0.
int64_t floorMod(int64_t value, int64_t divisor) {
    const int64_t r = value % divisor;
    return r < 0 ? r + divisor : r;
}

int64_t floorDiv(int64_t value, int64_t divisor) {
    int64_t q = value / divisor;
    if ((value % divisor != 0) && ((value < 0) != (divisor < 0)))
        --q;
    return q;
}

constexpr int32_t kColiseumDay = 5;        // weekday "Pellin"
constexpr int32_t kColiseumHour = 19;      // it opens at 19:00 IC and stays open to midnight
constexpr int32_t kColiseumSecond = 68400; // 19:00 IC as seconds since midnight
constexpr int32_t kHalfYear = 180;         // the sun turns after day 180: days [1, 180] and [181, 360]

} // namespace

double icTime(double oocTime, Corrections c) {
    // Evaluated left to right: 45 IC seconds for every 11 OOC seconds.
    return (oocTime - c.daylightSavings) * 45.0 / 11.0 + kBase + double(c.icSecondsOffset);
}

double oocTime(double icTime, Corrections c) {
    return oocTimeForDistance(icTime, 0.0, c);
}

double oocTimeForDistance(double icTime, double icDistance, Corrections c) {
    return ((icTime - kBase - double(c.icSecondsOffset)) + icDistance) * 11.0 / 45.0 + c.daylightSavings;
}

Date dateAt(double t) {
    Date date;
    date.icTime = t;

    // The floor equals the truncation for every IC time from 0 on; below 0 it keeps every field in range.
    const double year = std::floor(t / kYearSeconds + kBaseYear); // the year whose period holds t
    date.year = truncate32(year);
    date.dayCount = floor64(t / kDaySeconds);

    const double sincePeriodStart = t - (year - kBaseYear) * kYearSeconds; // [0, 31104000)
    const int32_t d = truncate32(sincePeriodStart / kDaySeconds);          // [0, 359]
    date.yearDay = d;
    // Four seasons of 90 days.
    date.monthDay = ((d - 1) % 90) + 1; // [1, 90]; 0 on day 0, mended below
    date.season = (d - 1) / 90;         // [0, 3]; 0 on day 0, mended below

    const double sinceMidnight = sincePeriodStart - double(d) * kDaySeconds; // [0, 86400)
    date.hour = truncate32(sinceMidnight / 3600.0);                      // [0, 23]
    const double sinceHour = sinceMidnight - double(date.hour) * 3600.0; // [0, 3600)
    date.minute = truncate32(sinceHour / 60.0);                          // [0, 59]
    date.second = truncate32(sinceHour - double(date.minute) * 60.0);    // [0, 59]

    date.weekday = int32_t(floorMod(date.dayCount, 7));

    // Day 0 of each 360-day period is the last day, 360, of the year before; the clock time and the weekday
    // stay as they are.
    if (d == 0) {
        date.yearDay = 360;
        date.monthDay = 90;
        date.year = truncate32(year - 1);
        date.season = 3;
    }
    return date;
}

bool yearFits(double t) {
    const double year = std::floor(t / kYearSeconds + kBaseYear);
    return year - 1 >= double(std::numeric_limits<int32_t>::min()) &&
           year <= double(std::numeric_limits<int32_t>::max());
}

SunMinutes sunriseMinutes(int32_t d) {
    // 08:58 on day 1, 2 minutes earlier each day to 03:00 on day 180; then 2 minutes later each day from
    // 03:02 on day 181 to 09:00 on day 360.
    if (d <= kHalfYear)
        return {540 - 2 * d, 538 - 2 * d};
    return {2 * d - 180, 2 * d - 178};
}

SunMinutes sunsetMinutes(int32_t d) {
    // 15:02 on day 1, 2 minutes later each day to 21:00 on day 180; then 2 minutes earlier each day from
    // 20:58 on day 181 to 15:00 on day 360.
    if (d <= kHalfYear)
        return {900 + 2 * d, 902 + 2 * d};
    return {1620 - 2 * d, 1618 - 2 * d};
}

double sunDistance(int32_t minute, int32_t days, int32_t secondsSinceMidnight) {
    // [-75599, 75600] today, [10681, 162120] tomorrow
    return double(minute * 60 - secondsSinceMidnight + days * 86400);
}

double coliseumDistance(int32_t weekday, int32_t hour, int32_t secondsSinceMidnight) {
    int32_t days = 0; // [0, 7]: from today to the day of the next opening
    if (weekday == kColiseumDay && hour < kColiseumHour)
        days = 0;
    else if (weekday < kColiseumDay)
        days = kColiseumDay - weekday;
    else if (weekday == 6)
        days = 6;
    else
        days = 7; // the day of an opening, from 19:00 on
    return double(days * 86400 + kColiseumSecond - secondsSinceMidnight);
}

int32_t lunarDay(int64_t dayCount) {
    // A 28-day cycle in which IC day 0 was lunar day 9: [0, 27], with 0 read as day 28.
    const int64_t day = floorMod(dayCount + 9, 28);
    return day == 0 ? 28 : int32_t(day);
}

double fullMoonDistance(int32_t lunar, int32_t s) {
    // [-86399, 2332800]: from today's midnight to 27 IC days ahead
    if (lunar == 15) // full moon today: its midnight has passed
        return double(-s);
    if (lunar <= 14) // lunar day 15 of this cycle
        return double(14 - lunar) * 86400.0 + (86400 - s);
    // lunar day 15 of the next cycle: the next lunar day 1, then 14 IC days (1209600 IC seconds) more
    return double(28 - lunar) * 86400.0 + 1209600.0 + (86400 - s);
}

Zodiac zodiacAt(int64_t dayCount) {
    Zodiac zodiac;
    // A 29-day count in which IC day 0 was zodiac day 3, so a new sign begins on zodiac day 3: [0, 28], with
    // 0 read as day 29.
    const int64_t day = floorMod(dayCount + 3, 29);
    zodiac.day = day == 0 ? 29 : int32_t(day);
    // Twelve signs of 29 days each (a 348-day round), counted on the day count itself without the 3 the day
    // adds: [0, 11], with 0 read as sign 12.
    const int64_t sign = floorMod(floorDiv(dayCount, 29), 12);
    zodiac.symbol = sign == 0 ? 12 : int32_t(sign);
    zodiac.daysUntilNext = 29 - zodiac.day;
    zodiac.nextSymbol = zodiac.symbol + 1 > 12 ? 1 : zodiac.symbol + 1;
    return zodiac;
}

Events eventsAt(const Date &date, Corrections c) {
    Events events;
    const int32_t s = date.secondsSinceMidnight();
    const auto at = [&](double distance) { return oocTimeForDistance(date.icTime, distance, c); };
    events.sunrise = sunriseMinutes(date.yearDay);
    events.sunset = sunsetMinutes(date.yearDay);
    events.sunriseTime = at(sunDistance(events.sunrise.today, 0, s));
    events.tomorrowSunriseTime = at(sunDistance(events.sunrise.tomorrow, 1, s));
    events.sunsetTime = at(sunDistance(events.sunset.today, 0, s));
    events.tomorrowSunsetTime = at(sunDistance(events.sunset.tomorrow, 1, s));
    events.coliseumTime = at(coliseumDistance(date.weekday, date.hour, s));
    events.lunarDay = lunarDay(date.dayCount);
    const double g = fullMoonDistance(events.lunarDay, s);
    events.fullMoonStart = at(g);
    events.fullMoonNoon = at(g + kFullMoonNoon);
    events.fullMoonEnd = at(g + kFullMoonLength);
    events.nextFullMoonStart = at(g + kLunarCycle);
    events.nextFullMoonNoon = at(g + kLunarCycle + kFullMoonNoon);
    events.nextFullMoonEnd = at(g + kFullMoonLength + kLunarCycle);
    events.zodiac = zodiacAt(date.dayCount);
    return events;
}

} // namespace KestmoorCalendar
