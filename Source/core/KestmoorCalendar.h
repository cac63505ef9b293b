#pragma once

#include <cstdint>

// The arithmetic of Kestmoor's clock: real (OOC) time to in-character (IC) time and back, the calendar
// fields of an IC time, and the sun, Coliseum, lunar and zodiac events that follow from them. Plain values
// and functions: nothing here reads a setting, a clock, a file or the bus, so every result depends only on
// the arguments.
//
// IC time runs 45 IC seconds for every 11 OOC seconds. An IC day has 86400 IC seconds, an IC year 360 days.
// The period of IC year Y begins at IC time (Y - 411) * 31104000, but its first day (day 0 of the period)
// still counts as day 360 of the year before.
namespace KestmoorCalendar {

inline constexpr double kBase = 24371635.0;        // IC time at OOC time `daylightSavings` with no offset
inline constexpr double kYearSeconds = 31104000.0; // 360 IC days: the length of a year's period
inline constexpr double kDaySeconds = 86400.0;     // 24 IC hours
inline constexpr int kBaseYear = 411;              // the year whose period begins at IC time 0

// The two corrections of the conversion.
struct Corrections {
    double daylightSavings = 0; // OOC seconds taken off the OOC time first; every owner sets 3600
    int32_t icSecondsOffset = 0; // IC seconds added to every IC time; the user's setting
};

// OOC seconds since 1970 to IC seconds, and back. oocTime(icTime(A, c), c) gives A again to within the last
// bits of a double.
double icTime(double oocTime, Corrections corrections);
double oocTime(double icTime, Corrections corrections);
// The OOC time of a moment `icDistance` IC seconds after `icTime` (before it when negative).
double oocTimeForDistance(double icTime, double icDistance, Corrections corrections);

// The calendar fields of one IC time.
struct Date {
    double icTime = 0;
    int32_t year = 0;     // 32 bits; held at its ends beyond them
    int32_t yearDay = 0;  // [1, 360]
    int32_t monthDay = 0; // [1, 90], the day of the season
    int32_t season = 0;   // [0, 3]: Winter, Spring, Summer, Autumn
    int32_t weekday = 0;  // [0, 6]: Hoven ... Quarn, counted on dayCount
    int32_t hour = 0;     // [0, 23]
    int32_t minute = 0;   // [0, 59]
    int32_t second = 0;   // [0, 59]
    int64_t dayCount = 0; // whole IC days since IC time 0, the floor below 0

    int32_t secondsSinceMidnight() const { return hour * 3600 + minute * 60 + second; } // [0, 86399]
};

// Below IC time 0 every count runs on backwards (floor division), so every field stays in its range.
Date dateAt(double icTime);
// Whether the IC year of `icTime`, and the year before it, fit in 32 bits.
bool yearFits(double icTime);

// A sun event as a minute of the IC day, today and tomorrow. Tomorrow's moves by 2 minutes in the direction
// of today's half of the year, so day 360 does not look ahead to day 1.
struct SunMinutes {
    int32_t today = 0;    // [180, 540] for sunrise, [900, 1260] for sunset
    int32_t tomorrow = 0; // [178, 542] for sunrise, [898, 1262] for sunset
};
SunMinutes sunriseMinutes(int32_t yearDay);
SunMinutes sunsetMinutes(int32_t yearDay);
// IC seconds from the current time to the sun event of `minute` today (`days` 0) or tomorrow (`days` 1).
double sunDistance(int32_t minute, int32_t days, int32_t secondsSinceMidnight);

// IC seconds from now to the next Coliseum opening that has not begun: 19:00 on weekday 5 ("Pellin").
// [1, 604800]
double coliseumDistance(int32_t weekday, int32_t hour, int32_t secondsSinceMidnight);

// [1, 28]; day 15 is the full moon.
int32_t lunarDay(int64_t dayCount);
// IC seconds from now to the midnight that begins the current full moon (lunar day 15 today, a negative
// distance) or else the next one.
double fullMoonDistance(int32_t lunarDay, int32_t secondsSinceMidnight);
inline constexpr double kFullMoonNoon = 43200.0;   // 12:00 IC, from the full moon's midnight
inline constexpr double kFullMoonLength = 86400.0; // one IC day
inline constexpr double kLunarCycle = 2419200.0;   // 28 IC days, from one full moon to the next

struct Zodiac {
    int32_t day = 0;           // [1, 29]
    int32_t symbol = 0;        // [1, 12]
    int32_t daysUntilNext = 0; // [0, 28]
    int32_t nextSymbol = 0;    // [1, 12]
};
Zodiac zodiacAt(int64_t dayCount);

// Every event of the date, with the OOC times by `corrections`.
struct Events {
    SunMinutes sunrise;
    SunMinutes sunset;
    double sunriseTime = 0; // OOC times
    double tomorrowSunriseTime = 0;
    double sunsetTime = 0;
    double tomorrowSunsetTime = 0;
    double coliseumTime = 0;
    int32_t lunarDay = 0;
    double fullMoonStart = 0;
    double fullMoonNoon = 0;
    double fullMoonEnd = 0;
    double nextFullMoonStart = 0;
    double nextFullMoonNoon = 0;
    double nextFullMoonEnd = 0;
    Zodiac zodiac;
};
Events eventsAt(const Date &date, Corrections corrections);

} // namespace KestmoorCalendar
