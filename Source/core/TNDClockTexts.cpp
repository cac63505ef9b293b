#include "TNDClockTexts.h"

#include "InternationalSettings.h"

namespace {

// The menu's sun sentences, by state; each takes the IC time and then the OOC date and time.
const char kWillRise[] = "The Sun will rise at %1 (%2)";
const char kRose[] = "The Sun rose at %1 (%2)";
const char kWillFall[] = "The Sun will fall at %1 (%2)";
const char kFell[] = "The Sun fell at %1 (%2)";
const char kWillSet[] = "The Sun will set at %1 (%2)";
const char kSet[] = "The Sun set at %1 (%2)";
const char kNextSunrise[] = "Next Sunrise will be at %1 (%2)";
const char kNextSunset[] = "Next Sunset will be at %1 (%2)";

const char kLongTime[] = "%1, day %2 of %3, %4";
const char kDateLine[] = "%1 %2, day %3 of %4, day %5 of the year %6";
const char kDawnDusk[] = "Dawn/Dusk (%1/%2)";
const char kZodiacDay[] = "Day %1 of %2";
const char kZodiacNext[] = "%1 rises in %2 days";
const char kLunarMenuDay[] = " %1. Day %2";
const char kLunarCycle[] = "%1, Day %2 in the lunar cycle";
const char kLunarDay[] = "Day %1";

const char kTodaysFullMoon[] = "Today's Full Moon:";
const char kNextFullMoon[] = "Next Full Moon:";
const char kFullMoonAfterNext[] = "Full Moon After Next:";
const char kStartedAt[] = "Started at: %1";
const char kStartsAt[] = "Starts at: %1";
const char kNoonWasAt[] = "Noon was at: %1";
const char kNoonIsAt[] = "Noon is at: %1";
const char kWillEndAt[] = "Will end at: %1";
const char kEndsAt[] = "Ends at: %1";

const char kColiseumOpen[] = "Coliseum is open now! and next on %1";
const char kColiseumOpens[] = "Coliseum opens at %1";

// QString::arg would expand a "%1" inside an argument; these fill the placeholders in one pass.
QString fill(const char *format, const QString &a) {
    return QString::fromUtf8(format).arg(a);
}
QString fill(const char *format, const QString &a, const QString &b) {
    return QString::fromUtf8(format).arg(a, b);
}

} // namespace

TNDClockTexts::TNDClockTexts(const TNDKestmoorDate &clock, QString timeFormat, QString oocFormat)
    : m_clock(clock)
    , m_timeFormat(std::move(timeFormat))
    , m_oocFormat(std::move(oocFormat)) {}

QString TNDClockTexts::userOOCFormat() {
    return QStringLiteral("%1 %2").arg(InternationalSettings::shortDateFormat(),
                                       InternationalSettings::timeFormat());
}

TNDClockTexts TNDClockTexts::withUserFormats(const TNDKestmoorDate &clock) {
    return TNDClockTexts(clock, InternationalSettings::timeFormat(), userOOCFormat());
}

QString TNDClockTexts::lunarPhaseName(int lunarDay) {
    if (lunarDay == 1)
        return QStringLiteral("New Moon");
    if (lunarDay >= 2 && lunarDay <= 7)
        return QStringLiteral("Waxing Crescent");
    if (lunarDay == 8)
        return QStringLiteral("First Quarter");
    if (lunarDay >= 9 && lunarDay <= 14)
        return QStringLiteral("Waxing Gibbous");
    if (lunarDay == 15)
        return QStringLiteral("Full Moon");
    if (lunarDay >= 16 && lunarDay <= 21)
        return QStringLiteral("Waning Gibbous");
    if (lunarDay == 22)
        return QStringLiteral("Last Quarter");
    return QStringLiteral("Waning Crescent");
}

TNDClockTexts::SunState TNDClockTexts::sunState() const {
    // Whole minutes of the IC day; at the very minute of an event it counts as passed.
    const int now = m_clock.kestmoorHour() * 60 + m_clock.kestmoorMinute();
    const int rise = m_clock.sunriseHour() * 60 + m_clock.sunriseMinute();
    const int set = m_clock.sunsetHour() * 60 + m_clock.sunsetMinute();
    if (now < rise)
        return SunState::BeforeSunrise;
    if (now < set)
        return SunState::Day;
    return SunState::AfterSunset;
}

TNDClockTexts::SunLines TNDClockTexts::sunLines(Wording wording) const {
    const char *rise = nullptr;
    const char *set = nullptr;
    const char *tomorrowRise = nullptr;
    const char *tomorrowSet = nullptr;
    const bool pane = wording == Wording::Pane;
    switch (sunState()) {
    case SunState::BeforeSunrise:
        rise = kWillRise;
        set = pane ? kWillSet : kWillFall;
        tomorrowRise = kNextSunrise;
        tomorrowSet = kNextSunset;
        break;
    case SunState::Day:
        rise = kRose;
        set = pane ? kWillSet : kWillFall;
        tomorrowRise = pane ? kWillRise : kNextSunrise;
        tomorrowSet = kNextSunset;
        break;
    case SunState::AfterSunset:
        rise = kRose;
        set = pane ? kSet : kFell;
        tomorrowRise = kWillRise;
        tomorrowSet = kWillSet;
        break;
    }
    SunLines lines;
    lines.sunrise =
        fill(rise, m_clock.sunriseWithFormat(m_timeFormat), m_clock.sunriseOOCWithFormat(m_oocFormat));
    lines.sunset =
        fill(set, m_clock.sunsetWithFormat(m_timeFormat), m_clock.sunsetOOCWithFormat(m_oocFormat));
    lines.tomorrowSunrise = fill(tomorrowRise, m_clock.tomorrowSunriseWithFormat(m_timeFormat),
                                 m_clock.tomorrowSunriseOOCWithFormat(m_oocFormat));
    lines.tomorrowSunset = fill(tomorrowSet, m_clock.tomorrowSunsetWithFormat(m_timeFormat),
                                m_clock.tomorrowSunsetOOCWithFormat(m_oocFormat));
    return lines;
}

bool TNDClockTexts::coliseumIsOpen() const {
    return m_clock.kestmoorWeekdayInt() == 5 && m_clock.kestmoorHour() > 18;
}

QString TNDClockTexts::longTimeLine() const {
    return QString::fromUtf8(kLongTime).arg(
        m_clock.kestmoorWeekday(), QString::number(m_clock.kestmoorMonthDay()), m_clock.kestmoorSeason(),
        QString::number(m_clock.kestmoorYear()));
}

QString TNDClockTexts::dateLine() const {
    return QString::fromUtf8(kDateLine).arg(
        m_clock.kestmoorWeekday(), m_clock.timeWithFormatNoAdd(m_timeFormat),
        QString::number(m_clock.kestmoorMonthDay()), m_clock.kestmoorSeason(),
        QString::number(m_clock.kestmoorYearDay()), QString::number(m_clock.kestmoorYear()));
}

QString TNDClockTexts::dawnDuskLine() const {
    return fill(kDawnDusk, m_clock.sunriseWithFormat(m_timeFormat), m_clock.sunsetWithFormat(m_timeFormat));
}

QString TNDClockTexts::zodiacDayLine() const {
    return fill(kZodiacDay, QString::number(m_clock.zodiacDay()), m_clock.zodiacSymbolString());
}

QString TNDClockTexts::zodiacNextLine() const {
    return fill(kZodiacNext, m_clock.nextZodiacSymbolString(),
                QString::number(m_clock.daysUntilNextZodiac()));
}

QString TNDClockTexts::lunarMenuDayLine() const {
    return fill(kLunarMenuDay, lunarPhaseName(m_clock.lundarDay()), QString::number(m_clock.lundarDay()));
}

QString TNDClockTexts::lunarCycleLine() const {
    return fill(kLunarCycle, lunarPhaseName(m_clock.lundarDay()), QString::number(m_clock.lundarDay()));
}

QString TNDClockTexts::lunarDayLine() const {
    return fill(kLunarDay, QString::number(m_clock.lundarDay()));
}

TNDClockTexts::FullMoonLines TNDClockTexts::fullMoonLines() const {
    FullMoonLines lines;
    const bool today = m_clock.lundarDay() == 15;
    lines.heading = QString::fromUtf8(today ? kTodaysFullMoon : kNextFullMoon);
    lines.nextHeading = QString::fromUtf8(today ? kNextFullMoon : kFullMoonAfterNext);
    lines.start = fill(today ? kStartedAt : kStartsAt, m_clock.fullMoonStartWithFormat(m_oocFormat));
    const bool noonPassed = today && m_clock.kestmoorHour() > 11;
    lines.noon = fill(noonPassed ? kNoonWasAt : kNoonIsAt, m_clock.fullMoonNoonWithFormat(m_oocFormat));
    lines.end = fill(today ? kWillEndAt : kEndsAt, m_clock.fullMoonEndWithFormat(m_oocFormat));
    lines.nextStart = fill(kStartsAt, m_clock.nextFullMoonStartWithFormat(m_oocFormat));
    lines.nextNoon = fill(kNoonIsAt, m_clock.nextFullMoonNoonWithFormat(m_oocFormat));
    lines.nextEnd = fill(kEndsAt, m_clock.nextFullMoonEndWithFormat(m_oocFormat));
    return lines;
}

QString TNDClockTexts::coliseumLine() const {
    return fill(coliseumIsOpen() ? kColiseumOpen : kColiseumOpens, m_clock.coliseumWithFormat(m_oocFormat));
}

QString TNDClockTexts::sunReport() const {
    const SunLines sun = sunLines();
    return QStringLiteral("Today:\n") + sun.sunrise + u'\n' + sun.sunset + QStringLiteral("\n\nTomorrow:\n") +
           sun.tomorrowSunrise + u'\n' + sun.tomorrowSunset;
}

QString TNDClockTexts::fullMoonBlock(bool endWithBlankLine) const {
    const FullMoonLines moon = fullMoonLines();
    // Both forms list the heading, three lines, a blank line, the second heading and its three lines.
    QString block = moon.heading + u'\n' + moon.start + u'\n' + moon.noon + u'\n' + moon.end +
                    QStringLiteral("\n\n") + moon.nextHeading + u'\n' + moon.nextStart + u'\n' +
                    moon.nextNoon + u'\n' + moon.nextEnd;
    if (endWithBlankLine)
        block += QStringLiteral("\n\n");
    return block;
}

QString TNDClockTexts::lunarReport() const {
    return lunarCycleLine() + QStringLiteral("\n\n") + fullMoonBlock(false);
}

QString TNDClockTexts::zodiacReport() const {
    return zodiacDayLine() + u'\n' + zodiacNextLine();
}

QString TNDClockTexts::coliseumReport() const {
    return coliseumLine();
}

QString TNDClockTexts::fullReport() const {
    return dateLine() + QStringLiteral("\n\n") + sunReport() + QStringLiteral("\n\n") + zodiacReport() +
           QStringLiteral("\n\n") + lunarCycleLine() + QStringLiteral("\n\n") + fullMoonBlock(true) +
           coliseumLine();
}
