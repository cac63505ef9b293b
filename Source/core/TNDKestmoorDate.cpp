#include "TNDKestmoorDate.h"

#include "CalendarFormat.h"
#include "Clock.h"
#include "ClockSwitches.h"
#include "DistributedNotificationCenter.h"
#include "InternationalSettings.h"
#include "NumberValues.h"
#include "TNDContract.h"
#include "UserDefaults.h"

#include <QTextBoundaryFinder>
#include <QtDebug>

#include <cmath>
#include <limits>

namespace {

const char *const kWeekdayNames[] = {"Hoven", "Ilsar", "Jorvac", "Kemba", "Ostra", "Pellin", "Quarn"};
const char *const kSeasonNames[] = {"Winter", "Spring", "Summer", "Autumn"};
const char *const kZodiacNames[] = {"0fake",
                                    "Varnold the Heronwing",
                                    "Tiberan the Rooster",
                                    "Sela D' Vorn the Warrior",
                                    "Bramwell the Pig",
                                    "Merovine the Centaur",
                                    "Ke'Varra the Mystic",
                                    "Harrow the Skelkin",
                                    "Tobin and Wessa the Shredders",
                                    "Cordelan the Ancient",
                                    "Mott the Rat",
                                    "Quillon The Cat",
                                    "Irwen the Healer"};

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

QString twoDigits(int value) {
    return value <= 9 ? QStringLiteral("0%1").arg(value) : QString::number(value);
}

QString twelveHourPlain(int hour) {
    if (hour == 0)
        return QStringLiteral("12");
    return QString::number(hour <= 12 ? hour : hour - 12);
}

QString twelveHourTwoDigits(int hour) {
    if (hour == 0 || hour == 12)
        return QStringLiteral("12");
    return twoDigits(hour < 12 ? hour : hour - 12);
}

// Removes the token at `index` together with the one whole character before it (a surrogate pair or a
// character with its combining marks counts as one). A token at the very start goes alone.
void removeWithCharacterBefore(QString &text, qsizetype index, qsizetype tokenLength) {
    qsizetype from = index;
    if (index > 0) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        finder.setPosition(index);
        const qsizetype previous = finder.toPreviousBoundary();
        from = previous >= 0 ? previous : index - 1;
    }
    text.remove(from, index + tokenLength - from);
}

void replaceFirst(QString &text, const QString &token, const QString &replacement) {
    const qsizetype at = text.indexOf(token);
    if (at >= 0)
        text.replace(at, token.size(), replacement);
}

} // namespace

TNDKestmoorDate *TNDKestmoorDate::sharedDate() {
    static TNDKestmoorDate *const shared = new TNDKestmoorDate(Clock::now());
    return shared;
}

TNDKestmoorDate::TNDKestmoorDate(double timeFrom1970, QObject *parent)
    : QObject(parent) {
    // The calendar fields of a new clock reflect neither correction: both are still 0 here.
    refreshWithTimeFrom1970(timeFrom1970);
    m_daylightSavings = 0.0;
    refreshExtraPreferences();
    m_icSecondsOffset =
        truncate32(double(UserDefaults::standardUserDefaults().integerForKey(TND::kICSecondsOffsetKey)));
    // The preferences of the main application post the new offset; every running clock follows it.
    m_offsetObserver = DistributedNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(TND::kUpdateICSecondsOffsetNote),
        [this](const Notification &notification) { updateICSecondsOffset(notification.userInfo); }, this);
}

TNDKestmoorDate::~TNDKestmoorDate() {
    DistributedNotificationCenter::defaultCenter().removeObserver(m_offsetObserver);
}

QString TNDKestmoorDate::weekdayName(int index) {
    return index >= 0 && index < 7 ? QString::fromLatin1(kWeekdayNames[index]) : QString();
}

QString TNDKestmoorDate::seasonName(int index) {
    return index >= 0 && index < 4 ? QString::fromLatin1(kSeasonNames[index]) : QString();
}

QString TNDKestmoorDate::zodiacName(int index) {
    return index >= 0 && index <= 12 ? QString::fromLatin1(kZodiacNames[index]) : QString();
}

void TNDKestmoorDate::refreshWithTimeFrom1970(double timeFrom1970) {
    const double t = (timeFrom1970 - m_daylightSavings) * 45.0 / 11.0 + kBase + double(m_icSecondsOffset);
    m_kestmoorTime = t;

    // The floor equals the truncation for every IC time from 0 on; below 0 it keeps every field in range.
    const double year = std::floor(t / kYearSeconds + kBaseYear);
    m_kestmoorYear = truncate32(year);
    m_icDayCount = floor64(t / kDaySeconds);

    const double sincePeriodStart = t - (year - kBaseYear) * kYearSeconds; // [0, 31104000)
    const int32_t d = truncate32(sincePeriodStart / kDaySeconds);          // [0, 359]
    m_kestmoorYearDay = d;
    m_kestmoorMonthDay = ((d - 1) % 90) + 1;
    m_kestmoorSeasonInt = (d - 1) / 90;

    const double sinceMidnight = sincePeriodStart - double(d) * kDaySeconds;
    m_kestmoorHour = truncate32(sinceMidnight / 3600.0);
    const double sinceHour = sinceMidnight - double(m_kestmoorHour) * 3600.0;
    m_kestmoorMinute = truncate32(sinceHour / 60.0);
    m_kestmoorSecond = truncate32(sinceHour - double(m_kestmoorMinute) * 60.0);

    m_kestmoorWeekdayInt = int32_t(floorMod(m_icDayCount, 7));

    // Day 0 of each 360-day period belongs to the year before.
    if (d == 0) {
        m_kestmoorYearDay = 360;
        m_kestmoorMonthDay = 90;
        m_kestmoorYear = truncate32(year - 1);
        m_kestmoorSeasonInt = 3;
    }

    m_kestmoorWeekday = weekdayName(m_kestmoorWeekdayInt);
    m_kestmoorSeason = seasonName(m_kestmoorSeasonInt);
}

void TNDKestmoorDate::refreshAllOthers() {
    refreshSunrise();
    refreshSunset();
    refreshColiseum();
    refreshLundarDay();
    refreshFullMoon();
    refreshZodiacDay();
}

void TNDKestmoorDate::refreshExtraPreferences() {
    m_extraPreferences = ClockSwitches::read();
}

void TNDKestmoorDate::updateICSecondsOffset(const QVariantMap &userInfo) {
    const QVariant value = userInfo.value(QString::fromLatin1(TND::kICSecondsOffsetKey));
    const NumberValues::Reading offset =
        NumberValues::within(NumberValues::read(value, NumberValues::Reals | NumberValues::Texts),
                             std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    switch (offset.refusal) {
    case NumberValues::Refusal::None:
        m_icSecondsOffset = int32_t(*offset.value);
        break;
    case NumberValues::Refusal::Missing: // the offset goes back to 0
        m_icSecondsOffset = 0;
        break;
    case NumberValues::Refusal::NotANumber:
        qWarning("%s refused: \"%s\" is %s, not a whole number of seconds; the offset stays %d",
                 TND::kUpdateICSecondsOffsetNote, TND::kICSecondsOffsetKey,
                 qPrintable(value.typeId() == QMetaType::QString
                                ? QStringLiteral("\"%1\"").arg(value.toString())
                                : QStringLiteral("a ") + QString::fromLatin1(value.typeName())),
                 m_icSecondsOffset);
        break;
    case NumberValues::Refusal::BelowRange:
    case NumberValues::Refusal::AboveRange:
        qWarning("%s: %.0f IC seconds does not fit in 32 bits; the offset is held at its limit",
                 TND::kUpdateICSecondsOffsetNote,
                 std::trunc(value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble()
                                                                 : value.toDouble()));
        m_icSecondsOffset = int32_t(offset.limit);
        break;
    }
}

double TNDKestmoorDate::oocTimeForDistance(double x) const {
    return ((m_kestmoorTime - kBase - double(m_icSecondsOffset)) + x) * 11.0 / 45.0 + m_daylightSavings;
}

void TNDKestmoorDate::refreshSunrise() {
    const int d = m_kestmoorYearDay;
    const int s = secondsSinceMidnight();
    const int today = d <= 180 ? 540 - 2 * d : 2 * d - 180;
    const int tomorrow = d <= 180 ? 538 - 2 * d : 2 * d - 178;
    m_sunriseHour = today / 60;
    m_sunriseMinute = today % 60;
    m_sunriseSecond = 0;
    m_tomorrowSunriseHour = tomorrow / 60;
    m_tomorrowSunriseMinute = tomorrow % 60;
    m_tomorrowSunriseSecond = 0;
    m_sunrise = oocTimeForDistance(double(today * 60 - s));
    m_tomorrowSunrise = oocTimeForDistance(double(tomorrow * 60 - s + 86400));
}

void TNDKestmoorDate::refreshSunset() {
    const int d = m_kestmoorYearDay;
    const int s = secondsSinceMidnight();
    const int today = d <= 180 ? 900 + 2 * d : 1620 - 2 * d;
    const int tomorrow = d <= 180 ? 902 + 2 * d : 1618 - 2 * d;
    m_sunsetHour = today / 60;
    m_sunsetMinute = today % 60;
    m_sunsetSecond = 0;
    m_tomorrowSunsetHour = tomorrow / 60;
    m_tomorrowSunsetMinute = tomorrow % 60;
    m_tomorrowSunsetSecond = 0;
    m_sunset = oocTimeForDistance(double(today * 60 - s));
    m_tomorrowSunset = oocTimeForDistance(double(tomorrow * 60 - s + 86400));
}

void TNDKestmoorDate::refreshColiseum() {
    const int w = m_kestmoorWeekdayInt;
    int k = 0;
    if (w == 5 && m_kestmoorHour <= 18)
        k = 0;
    else if (w <= 4)
        k = 5 - w;
    else if (w == 6)
        k = 6;
    else
        k = 7;
    m_coliseum = oocTimeForDistance(double(k * 86400 + 68400 - secondsSinceMidnight()));
}

void TNDKestmoorDate::refreshLundarDay() {
    const int64_t day = floorMod(m_icDayCount + 9, 28);
    m_lundarDay = day == 0 ? 28 : int32_t(day);
}

void TNDKestmoorDate::refreshFullMoon() {
    const int s = secondsSinceMidnight();
    double g = 0;
    if (m_lundarDay == 15)
        g = -s;
    else if (m_lundarDay <= 14)
        g = double(14 - m_lundarDay) * 86400.0 + (86400 - s);
    else
        g = double(28 - m_lundarDay) * 86400.0 + 1209600.0 + (86400 - s);
    m_fullMoonStart = oocTimeForDistance(g);
    m_fullMoonNoon = oocTimeForDistance(g + 43200.0);
    m_fullMoonEnd = oocTimeForDistance(g + 86400.0);
    m_nextFullMoonStart = oocTimeForDistance(g + 2419200.0);
    m_nextFullMoonNoon = oocTimeForDistance(g + 2419200.0 + 43200.0);
    m_nextFullMoonEnd = oocTimeForDistance(g + 86400.0 + 2419200.0);
}

void TNDKestmoorDate::refreshZodiacDay() {
    const int64_t day = floorMod(m_icDayCount + 3, 29);
    m_zodiacDay = day == 0 ? 29 : int32_t(day);
    // The sign is counted on the day count itself, without the 3 the day count adds.
    const int64_t sign = floorMod(floorDiv(m_icDayCount, 29), 12);
    m_zodiacSymbol = sign == 0 ? 12 : int32_t(sign);
    m_daysUntilNextZodiac = 29 - m_zodiacDay;
    m_nextZodiacSymbol = m_zodiacSymbol + 1 > 12 ? 1 : m_zodiacSymbol + 1;
}

QString TNDKestmoorDate::zodiacSymbolString() const {
    return zodiacName(m_zodiacSymbol);
}

QString TNDKestmoorDate::nextZodiacSymbolString() const {
    return zodiacName(m_nextZodiacSymbol);
}

bool TNDKestmoorDate::switchIsOn(const char *key) const {
    return m_extraPreferences && m_extraPreferences->value(QString::fromLatin1(key)).toBool();
}

std::optional<QString> TNDKestmoorDate::AMPMModifier() const {
    const std::optional<QStringList> designators = InternationalSettings::amPmDesignation();
    if (!designators)
        return std::nullopt;
    return designators->at(m_kestmoorHour > 11 ? 1 : 0);
}

QString TNDKestmoorDate::icTextWithFormat(const QString &format, int hour, int minute, int second,
                                          Designator designator) const {
    QString text = format;
    replaceFirst(text, QStringLiteral("%1H"), QString::number(hour));
    replaceFirst(text, QStringLiteral("%H"), twoDigits(hour));
    replaceFirst(text, QStringLiteral("%1I"), twelveHourPlain(hour));
    replaceFirst(text, QStringLiteral("%I"), twelveHourTwoDigits(hour));
    replaceFirst(text, QStringLiteral("%M"), twoDigits(minute));

    const QString secondsToken = QStringLiteral("%S");
    const qsizetype secondsAt = text.indexOf(secondsToken);
    if (secondsAt >= 0) {
        if (switchIsOn(TND::kDisplaySecondsSwitch))
            text.replace(secondsAt, secondsToken.size(), twoDigits(second));
        else
            removeWithCharacterBefore(text, secondsAt, secondsToken.size());
    }

    const bool appendAMPM = switchIsOn(TND::kAppendAMPMSwitch);
    std::optional<QString> mark;
    if (appendAMPM) {
        if (designator == Designator::ByHour) {
            mark = AMPMModifier();
        } else if (const auto designators = InternationalSettings::amPmDesignation()) {
            mark = designators->at(designator == Designator::Morning ? 0 : 1);
        }
    }
    const QString markToken = QStringLiteral("%p");
    const qsizetype markAt = text.indexOf(markToken);
    if (markAt >= 0) {
        if (!appendAMPM)
            removeWithCharacterBefore(text, markAt, markToken.size());
        else if (mark)
            text.replace(markAt, markToken.size(), *mark);
    } else if (mark) {
        text.append(*mark);
    }
    return text;
}

QString TNDKestmoorDate::timeWithFormat(const QString &format) const {
    QString text = timeWithFormatNoAdd(format);
    if (switchIsOn(TND::kShowDaySwitch))
        text.prepend(m_kestmoorWeekday + u' ');
    return text;
}

QString TNDKestmoorDate::timeWithFormatNoAdd(const QString &format) const {
    return icTextWithFormat(format, m_kestmoorHour, m_kestmoorMinute, m_kestmoorSecond, Designator::ByHour);
}

QString TNDKestmoorDate::sunriseWithFormat(const QString &format) const {
    return icTextWithFormat(format, m_sunriseHour, m_sunriseMinute, m_sunriseSecond, Designator::Morning);
}

QString TNDKestmoorDate::tomorrowSunriseWithFormat(const QString &format) const {
    return icTextWithFormat(format, m_tomorrowSunriseHour, m_tomorrowSunriseMinute, m_tomorrowSunriseSecond,
                            Designator::Morning);
}

QString TNDKestmoorDate::sunsetWithFormat(const QString &format) const {
    return icTextWithFormat(format, m_sunsetHour, m_sunsetMinute, m_sunsetSecond, Designator::Afternoon);
}

QString TNDKestmoorDate::tomorrowSunsetWithFormat(const QString &format) const {
    return icTextWithFormat(format, m_tomorrowSunsetHour, m_tomorrowSunsetMinute, m_tomorrowSunsetSecond,
                            Designator::Afternoon);
}

QString TNDKestmoorDate::oocTextWithFormat(const QString &format, double oocTime) const {
    QString text = format;
    const QString secondsToken = QStringLiteral("%S");
    const qsizetype secondsAt = text.indexOf(secondsToken);
    if (secondsAt >= 0 && !switchIsOn(TND::kDisplaySecondsSwitch))
        removeWithCharacterBefore(text, secondsAt, secondsToken.size());

    // A "%p" of the format is left to the calendar expansion, whatever "AppendAMPM" says.
    if (!text.contains(QStringLiteral("%p")) && switchIsOn(TND::kAppendAMPMSwitch)) {
        if (const auto designators = InternationalSettings::amPmDesignation()) {
            const int localHour = CalendarFormat::expand(QStringLiteral("%H"), oocTime).toInt();
            text.append(designators->at(localHour > 11 ? 1 : 0));
        }
    }
    return CalendarFormat::expand(text, oocTime);
}

QString TNDKestmoorDate::sunriseOOCWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_sunrise);
}
QString TNDKestmoorDate::tomorrowSunriseOOCWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_tomorrowSunrise);
}
QString TNDKestmoorDate::sunsetOOCWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_sunset);
}
QString TNDKestmoorDate::tomorrowSunsetOOCWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_tomorrowSunset);
}
QString TNDKestmoorDate::coliseumWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_coliseum);
}
QString TNDKestmoorDate::fullMoonStartWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_fullMoonStart);
}
QString TNDKestmoorDate::fullMoonNoonWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_fullMoonNoon);
}
QString TNDKestmoorDate::fullMoonEndWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_fullMoonEnd);
}
QString TNDKestmoorDate::nextFullMoonStartWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_nextFullMoonStart);
}
QString TNDKestmoorDate::nextFullMoonNoonWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_nextFullMoonNoon);
}
QString TNDKestmoorDate::nextFullMoonEndWithFormat(const QString &f) const {
    return oocTextWithFormat(f, m_nextFullMoonEnd);
}
