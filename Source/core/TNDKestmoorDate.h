#pragma once

#include "KestmoorCalendar.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <optional>

// The clock of the game world. It turns a real (OOC) time, seconds since 1970, into Kestmoor's in-character
// (IC) time, which runs 45/11 times as fast, splits that into calendar fields, derives the sun, Coliseum,
// lunar and zodiac events, and writes clock and event texts in the user's formats.
//
// The arithmetic is KestmoorCalendar's; this object holds its results for the accessors and does the wiring:
// the user's offset from the settings file and its notification, and the desktop clock's switches.
//
// Nothing here reads the wall clock except sharedDate()'s first call: owners pass the moment in.
class TNDKestmoorDate : public QObject {
    Q_OBJECT

public:
    // The application's one clock, created at the first call from the current time.
    static TNDKestmoorDate *sharedDate();

    // initWithTimeFrom1970: the calendar fields of `timeFrom1970` with both corrections 0, the menu bar clock
    // switches and the user's offset read.
    explicit TNDKestmoorDate(double timeFrom1970, QObject *parent = nullptr);
    ~TNDKestmoorDate() override;

    void refreshWithTimeFrom1970(double timeFrom1970);
    void refreshAllOthers();
    void refreshExtraPreferences();
    // The handler of TNDUpdateICSecondsOffset: the new offset shows at the next refresh.
    void updateICSecondsOffset(const QVariantMap &userInfo);

    // Part of the sun and Coliseum schedule; run by refreshAllOthers in this order.
    void refreshSunrise();
    void refreshSunset();
    void refreshColiseum();
    // Lunar and zodiac cycles; refreshFullMoon reads the lunar day refreshLundarDay has just written.
    void refreshLundarDay();
    void refreshFullMoon();
    void refreshZodiacDay();

    double daylightSavings() const { return m_daylightSavings; }
    void setDaylightSavings(double seconds) { m_daylightSavings = seconds; }
    int32_t icSecondsOffset() const { return m_icSecondsOffset; }
    void setIcSecondsOffset(int32_t offset) { m_icSecondsOffset = offset; }

    // The menu bar clock's switches as last read; nothing when no source has them.
    const std::optional<QVariantMap> &extraPreferences() const { return m_extraPreferences; }
    void setExtraPreferences(std::optional<QVariantMap> switches);

    double kestmoorTime() const { return m_kestmoorTime; }
    QString kestmoorWeekday() const { return m_kestmoorWeekday; }
    QString kestmoorSeason() const { return m_kestmoorSeason; }
    int32_t kestmoorYear() const { return m_kestmoorYear; }
    int32_t kestmoorYearDay() const { return m_kestmoorYearDay; }
    int32_t kestmoorHour() const { return m_kestmoorHour; }
    int32_t kestmoorMinute() const { return m_kestmoorMinute; }
    int32_t kestmoorSecond() const { return m_kestmoorSecond; }
    int32_t kestmoorMonthDay() const { return m_kestmoorMonthDay; }
    int32_t kestmoorWeekdayInt() const { return m_kestmoorWeekdayInt; }
    int32_t kestmoorSeasonInt() const { return m_kestmoorSeasonInt; }
    // Whole IC days since IC time 0, counted down to the floor below 0.
    int64_t icDayCount() const { return m_icDayCount; }

    int32_t sunriseHour() const { return m_sunriseHour; }
    int32_t sunriseMinute() const { return m_sunriseMinute; }
    int32_t sunriseSecond() const { return m_sunriseSecond; }
    int32_t sunsetHour() const { return m_sunsetHour; }
    int32_t sunsetMinute() const { return m_sunsetMinute; }
    int32_t sunsetSecond() const { return m_sunsetSecond; }
    int32_t tomorrowSunriseHour() const { return m_tomorrowSunriseHour; }
    int32_t tomorrowSunriseMinute() const { return m_tomorrowSunriseMinute; }
    int32_t tomorrowSunriseSecond() const { return m_tomorrowSunriseSecond; }
    int32_t tomorrowSunsetHour() const { return m_tomorrowSunsetHour; }
    int32_t tomorrowSunsetMinute() const { return m_tomorrowSunsetMinute; }
    int32_t tomorrowSunsetSecond() const { return m_tomorrowSunsetSecond; }

    double sunrise() const { return m_sunrise; }
    double tomorrowSunrise() const { return m_tomorrowSunrise; }
    double sunset() const { return m_sunset; }
    double tomorrowSunset() const { return m_tomorrowSunset; }
    double coliseum() const { return m_coliseum; }
    double fullMoonStart() const { return m_fullMoonStart; }
    double fullMoonNoon() const { return m_fullMoonNoon; }
    double fullMoonEnd() const { return m_fullMoonEnd; }
    double nextFullMoonStart() const { return m_nextFullMoonStart; }
    double nextFullMoonNoon() const { return m_nextFullMoonNoon; }
    double nextFullMoonEnd() const { return m_nextFullMoonEnd; }

    int32_t lundarDay() const { return m_lundarDay; }
    int32_t zodiacDay() const { return m_zodiacDay; }
    int32_t zodiacSymbol() const { return m_zodiacSymbol; }
    int32_t daysUntilNextZodiac() const { return m_daysUntilNextZodiac; }
    int32_t nextZodiacSymbol() const { return m_nextZodiacSymbol; }
    QString zodiacSymbolString() const;
    QString nextZodiacSymbolString() const;

    static QString weekdayName(int index);
    static QString seasonName(int index);
    static QString zodiacName(int index);

    // The OOC time of an event X IC seconds from the current IC time.
    double oocTimeForDistance(double icSecondsFromNow) const;

    // The IC clock text; timeWithFormat puts the weekday in front when ShowDay is on.
    QString timeWithFormat(const QString &format) const;
    QString timeWithFormatNoAdd(const QString &format) const;
    // The designator for the current IC hour, or nothing without a designator list.
    std::optional<QString> AMPMModifier() const;

    QString sunriseWithFormat(const QString &format) const;
    QString tomorrowSunriseWithFormat(const QString &format) const;
    QString sunsetWithFormat(const QString &format) const;
    QString tomorrowSunsetWithFormat(const QString &format) const;

    QString sunriseOOCWithFormat(const QString &format) const;
    QString tomorrowSunriseOOCWithFormat(const QString &format) const;
    QString sunsetOOCWithFormat(const QString &format) const;
    QString tomorrowSunsetOOCWithFormat(const QString &format) const;
    QString coliseumWithFormat(const QString &format) const;
    QString fullMoonStartWithFormat(const QString &format) const;
    QString fullMoonNoonWithFormat(const QString &format) const;
    QString fullMoonEndWithFormat(const QString &format) const;
    QString nextFullMoonStartWithFormat(const QString &format) const;
    QString nextFullMoonNoonWithFormat(const QString &format) const;
    QString nextFullMoonEndWithFormat(const QString &format) const;

    bool switchIsOn(const char *key) const;

private:
    enum class Designator { ByHour, Morning, Afternoon };
    // `room`: characters the caller will add to the text, reserved with it.
    QString icTextWithFormat(const QString &format, int hour, int minute, int second, Designator designator,
                             qsizetype room = 0) const;
    QString oocTextWithFormat(const QString &format, double oocTime) const;
    int32_t secondsSinceMidnight() const {
        return m_kestmoorHour * 3600 + m_kestmoorMinute * 60 + m_kestmoorSecond;
    }
    KestmoorCalendar::Corrections corrections() const { return {m_daylightSavings, m_icSecondsOffset}; }

    // The three switches of m_extraPreferences, read out whenever it is set: the texts ask at every tick.
    struct Switches {
        bool displaySeconds = false;
        bool appendAMPM = false;
        bool showDay = false;
    };

    std::optional<QVariantMap> m_extraPreferences;
    Switches m_switches;
    double m_kestmoorTime = 0;
    double m_coliseum = 0;
    double m_fullMoonStart = 0;
    double m_fullMoonNoon = 0;
    double m_fullMoonEnd = 0;
    double m_nextFullMoonStart = 0;
    double m_nextFullMoonNoon = 0;
    double m_nextFullMoonEnd = 0;
    double m_sunrise = 0;
    double m_tomorrowSunrise = 0;
    double m_sunset = 0;
    double m_tomorrowSunset = 0;
    QString m_kestmoorWeekday;
    QString m_kestmoorSeason;
    int32_t m_kestmoorYear = 0;
    int32_t m_kestmoorYearDay = 0;
    int32_t m_kestmoorHour = 0;
    int32_t m_kestmoorMinute = 0;
    int32_t m_kestmoorSecond = 0;
    int32_t m_kestmoorMonthDay = 0;
    int32_t m_kestmoorWeekdayInt = 0;
    int32_t m_kestmoorSeasonInt = 0;
    int64_t m_icDayCount = 0;
    int32_t m_sunsetHour = 0, m_sunsetMinute = 0, m_sunsetSecond = 0;
    int32_t m_sunriseHour = 0, m_sunriseMinute = 0, m_sunriseSecond = 0;
    int32_t m_tomorrowSunsetHour = 0, m_tomorrowSunsetMinute = 0, m_tomorrowSunsetSecond = 0;
    int32_t m_tomorrowSunriseHour = 0, m_tomorrowSunriseMinute = 0, m_tomorrowSunriseSecond = 0;
    int32_t m_lundarDay = 0;
    int32_t m_zodiacDay = 0;
    int32_t m_zodiacSymbol = 0;
    int32_t m_daysUntilNextZodiac = 0;
    int32_t m_nextZodiacSymbol = 0;
    int32_t m_icSecondsOffset = 0;
    double m_daylightSavings = 0;
    int m_offsetObserver = 0; // the registration for TNDUpdateICSecondsOffset
};
