#include "TNDKestmoorDate.h"

#include "CalendarFormat.h"
#include "Clock.h"
#include "ClockSwitches.h"
#include "DistributedNotificationCenter.h"
#include "InternationalSettings.h"
#include "NumberValues.h"
#include "KestmoorCalendar.h"
#include "TNDContract.h"
#include "UserDefaults.h"

#include <QTextBoundaryFinder>
#include <QtDebug>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Built once: the clock hands out the same strings at every refresh.
const QString kWeekdayNames[] = {QStringLiteral("Hoven"), QStringLiteral("Ilsar"), QStringLiteral("Jorvac"),
                                 QStringLiteral("Kemba"), QStringLiteral("Ostra"), QStringLiteral("Pellin"),
                                 QStringLiteral("Quarn")};
const QString kSeasonNames[] = {QStringLiteral("Winter"), QStringLiteral("Spring"), QStringLiteral("Summer"),
                                QStringLiteral("Autumn")};
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

// A number written on the stack, so that filling a token allocates nothing.
class NumberText {
public:
    QStringView view() const { return {m_chars, m_size}; }

    // In decimal, as QString::number writes it.
    static NumberText plain(int value) {
        NumberText text;
        text.add(value);
        return text;
    }
    // "0" and the number for 9 or less ("0%d"), the number alone from 10 on.
    static NumberText twoDigits(int value) {
        NumberText text;
        if (value <= 9)
            text.m_chars[text.m_size++] = u'0';
        text.add(value);
        return text;
    }
    // 12 for hour 0, then 1 to 12, and 1 to 11 again from hour 13.
    static NumberText twelveHourPlain(int hour) {
        return plain(hour == 0 ? 12 : (hour <= 12 ? hour : hour - 12));
    }
    // "12" for hours 0 and 12, otherwise the 12-hour clock's hour in two digits.
    static NumberText twelveHourTwoDigits(int hour) {
        if (hour == 0 || hour == 12)
            return plain(12);
        return twoDigits(hour < 12 ? hour : hour - 12);
    }

private:
    void add(int value) {
        char digits[16];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
        (void)error; // an int always fits in 16 characters
        for (const char *c = digits; c != end; ++c)
            m_chars[m_size++] = char16_t(*c);
    }

    char16_t m_chars[24] = {};
    qsizetype m_size = 0;
};

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

void replaceFirst(QString &text, QLatin1StringView token, const NumberText &replacement) {
    const qsizetype at = text.indexOf(token);
    if (at >= 0)
        text.replace(at, token.size(), replacement.view().data(), replacement.view().size());
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
    // A stored offset beyond 32 bits holds at the end it passed.
    m_icSecondsOffset = int32_t(std::clamp<int64_t>(
        UserDefaults::standardUserDefaults().integerForKey(TND::kICSecondsOffsetKey),
        std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    // The preferences of the main application post the new offset; every running clock follows it.
    m_offsetObserver = DistributedNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(TND::kUpdateICSecondsOffsetNote),
        [this](const Notification &notification) { updateICSecondsOffset(notification.userInfo); }, this);
}

TNDKestmoorDate::~TNDKestmoorDate() {
    DistributedNotificationCenter::defaultCenter().removeObserver(m_offsetObserver);
}

QString TNDKestmoorDate::weekdayName(int index) {
    return index >= 0 && index < 7 ? kWeekdayNames[index] : QString();
}

QString TNDKestmoorDate::seasonName(int index) {
    return index >= 0 && index < 4 ? kSeasonNames[index] : QString();
}

QString TNDKestmoorDate::zodiacName(int index) {
    return index >= 0 && index <= 12 ? QString::fromLatin1(kZodiacNames[index]) : QString();
}

void TNDKestmoorDate::refreshWithTimeFrom1970(double timeFrom1970) {
    const KestmoorCalendar::Date date =
        KestmoorCalendar::dateAt(KestmoorCalendar::icTime(timeFrom1970, corrections()));
    m_kestmoorTime = date.icTime;
    m_kestmoorYear = date.year;
    m_kestmoorYearDay = date.yearDay;
    m_kestmoorMonthDay = date.monthDay;
    m_kestmoorSeasonInt = date.season;
    m_kestmoorWeekdayInt = date.weekday;
    m_kestmoorHour = date.hour;
    m_kestmoorMinute = date.minute;
    m_kestmoorSecond = date.second;
    m_icDayCount = date.dayCount;
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
    setExtraPreferences(ClockSwitches::read());
}

void TNDKestmoorDate::setExtraPreferences(std::optional<QVariantMap> switches) {
    m_extraPreferences = std::move(switches);
    const auto on = [this](const char *key) {
        return m_extraPreferences && m_extraPreferences->value(QString::fromLatin1(key)).toBool();
    };
    m_switches = {on(TND::kDisplaySecondsSwitch), on(TND::kAppendAMPMSwitch), on(TND::kShowDaySwitch)};
}

void TNDKestmoorDate::updateICSecondsOffset(const QVariantMap &userInfo) {
    const QVariant value = userInfo.value(QString::fromLatin1(TND::kICSecondsOffsetInfoKey));
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
    return KestmoorCalendar::oocTimeForDistance(m_kestmoorTime, x, corrections());
}

void TNDKestmoorDate::refreshSunrise() {
    const int32_t s = secondsSinceMidnight();
    const KestmoorCalendar::SunMinutes minutes = KestmoorCalendar::sunriseMinutes(m_kestmoorYearDay);
    m_sunriseHour = minutes.today / 60;
    m_sunriseMinute = minutes.today % 60;
    m_sunriseSecond = 0;
    m_tomorrowSunriseHour = minutes.tomorrow / 60;
    m_tomorrowSunriseMinute = minutes.tomorrow % 60;
    m_tomorrowSunriseSecond = 0;
    m_sunrise = oocTimeForDistance(KestmoorCalendar::sunDistance(minutes.today, 0, s));
    m_tomorrowSunrise = oocTimeForDistance(KestmoorCalendar::sunDistance(minutes.tomorrow, 1, s));
}

void TNDKestmoorDate::refreshSunset() {
    const int32_t s = secondsSinceMidnight();
    const KestmoorCalendar::SunMinutes minutes = KestmoorCalendar::sunsetMinutes(m_kestmoorYearDay);
    m_sunsetHour = minutes.today / 60;
    m_sunsetMinute = minutes.today % 60;
    m_sunsetSecond = 0;
    m_tomorrowSunsetHour = minutes.tomorrow / 60;
    m_tomorrowSunsetMinute = minutes.tomorrow % 60;
    m_tomorrowSunsetSecond = 0;
    m_sunset = oocTimeForDistance(KestmoorCalendar::sunDistance(minutes.today, 0, s));
    m_tomorrowSunset = oocTimeForDistance(KestmoorCalendar::sunDistance(minutes.tomorrow, 1, s));
}

void TNDKestmoorDate::refreshColiseum() {
    m_coliseum = oocTimeForDistance(
        KestmoorCalendar::coliseumDistance(m_kestmoorWeekdayInt, m_kestmoorHour, secondsSinceMidnight()));
}

void TNDKestmoorDate::refreshLundarDay() {
    m_lundarDay = KestmoorCalendar::lunarDay(m_icDayCount);
}

void TNDKestmoorDate::refreshFullMoon() {
    const double g = KestmoorCalendar::fullMoonDistance(m_lundarDay, secondsSinceMidnight());
    using KestmoorCalendar::kFullMoonLength, KestmoorCalendar::kFullMoonNoon, KestmoorCalendar::kLunarCycle;
    m_fullMoonStart = oocTimeForDistance(g);
    m_fullMoonNoon = oocTimeForDistance(g + kFullMoonNoon);
    m_fullMoonEnd = oocTimeForDistance(g + kFullMoonLength);
    m_nextFullMoonStart = oocTimeForDistance(g + kLunarCycle);
    m_nextFullMoonNoon = oocTimeForDistance(g + kLunarCycle + kFullMoonNoon);
    m_nextFullMoonEnd = oocTimeForDistance(g + kFullMoonLength + kLunarCycle);
}

void TNDKestmoorDate::refreshZodiacDay() {
    const KestmoorCalendar::Zodiac zodiac = KestmoorCalendar::zodiacAt(m_icDayCount);
    m_zodiacDay = zodiac.day;
    m_zodiacSymbol = zodiac.symbol;
    m_daysUntilNextZodiac = zodiac.daysUntilNext;
    m_nextZodiacSymbol = zodiac.nextSymbol;
}

QString TNDKestmoorDate::zodiacSymbolString() const {
    return zodiacName(m_zodiacSymbol);
}

QString TNDKestmoorDate::nextZodiacSymbolString() const {
    return zodiacName(m_nextZodiacSymbol);
}

bool TNDKestmoorDate::switchIsOn(const char *key) const {
    if (std::strcmp(key, TND::kDisplaySecondsSwitch) == 0)
        return m_switches.displaySeconds;
    if (std::strcmp(key, TND::kAppendAMPMSwitch) == 0)
        return m_switches.appendAMPM;
    if (std::strcmp(key, TND::kShowDaySwitch) == 0)
        return m_switches.showDay;
    return m_extraPreferences && m_extraPreferences->value(QString::fromLatin1(key)).toBool();
}

std::optional<QString> TNDKestmoorDate::AMPMModifier() const {
    const std::optional<QStringList> designators = InternationalSettings::amPmDesignation();
    if (!designators)
        return std::nullopt;
    return designators->at(m_kestmoorHour > 11 ? 1 : 0);
}

QString TNDKestmoorDate::icTextWithFormat(const QString &format, int hour, int minute, int second,
                                          Designator designator, qsizetype room) const {
    // One allocation for the whole text: every token below is filled in place.
    QString text;
    text.reserve(format.size() + room + 32);
    text.append(format);
    replaceFirst(text, QLatin1StringView("%1H"), NumberText::plain(hour));
    replaceFirst(text, QLatin1StringView("%H"), NumberText::twoDigits(hour));
    replaceFirst(text, QLatin1StringView("%1I"), NumberText::twelveHourPlain(hour));
    replaceFirst(text, QLatin1StringView("%I"), NumberText::twelveHourTwoDigits(hour));
    replaceFirst(text, QLatin1StringView("%M"), NumberText::twoDigits(minute));

    const QLatin1StringView secondsToken("%S");
    const qsizetype secondsAt = text.indexOf(secondsToken);
    if (secondsAt >= 0) {
        if (m_switches.displaySeconds)
            replaceFirst(text, secondsToken, NumberText::twoDigits(second));
        else
            removeWithCharacterBefore(text, secondsAt, secondsToken.size());
    }

    const bool appendAMPM = m_switches.appendAMPM;
    std::optional<QString> mark;
    if (appendAMPM) {
        if (designator == Designator::ByHour) {
            mark = AMPMModifier();
        } else if (const auto designators = InternationalSettings::amPmDesignation()) {
            mark = designators->at(designator == Designator::Morning ? 0 : 1);
        }
    }
    const QLatin1StringView markToken("%p");
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
    if (!m_switches.showDay)
        return timeWithFormatNoAdd(format);
    QString text = icTextWithFormat(format, m_kestmoorHour, m_kestmoorMinute, m_kestmoorSecond,
                                    Designator::ByHour, m_kestmoorWeekday.size() + 1);
    text.insert(0, u' ');
    text.insert(0, m_kestmoorWeekday);
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
    if (secondsAt >= 0 && !m_switches.displaySeconds)
        removeWithCharacterBefore(text, secondsAt, secondsToken.size());

    // A "%p" of the format is left to the calendar expansion, whatever AppendAMPM says.
    if (!text.contains(QStringLiteral("%p")) && m_switches.appendAMPM) {
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
