#pragma once

#include "TNDKestmoorDate.h"

#include <QString>

// Every sentence the displays build from a refreshed clock: the companion's menu lines, its clipboard reports
// and the date/time pane's lines. T is the user's time format (for IC times), O the short date format and the
// time format joined by one space (for OOC dates and times).
//
// The texts read the clock as it stands; callers refresh it first.
class TNDClockTexts {
public:
    enum class SunState { BeforeSunrise, Day, AfterSunset };
    // The menu says the Sun "will fall"/"fell"; the pane says "will set"/"set" and words tomorrow
    // differently.
    enum class Wording { Menu, Pane };

    struct SunLines {
        QString sunrise;
        QString sunset;
        QString tomorrowSunrise;
        QString tomorrowSunset;
    };

    // The two full moons listed: the current or next one, then the one after it, each under its heading.
    struct FullMoonLines {
        QString heading;
        QString start;
        QString noon;
        QString end;
        QString nextHeading;
        QString nextStart;
        QString nextNoon;
        QString nextEnd;
    };

    TNDClockTexts(const TNDKestmoorDate &clock, QString timeFormat, QString oocFormat);
    // With the user's own formats, read afresh.
    static TNDClockTexts withUserFormats(const TNDKestmoorDate &clock);
    static QString userOOCFormat();

    static QString lunarPhaseName(int lunarDay);

    const QString &timeFormat() const { return m_timeFormat; }
    const QString &oocFormat() const { return m_oocFormat; }

    SunState sunState() const;
    SunLines sunLines(Wording wording = Wording::Menu) const;
    bool coliseumIsOpen() const;

    QString longTimeLine() const; // the menu's first line: the IC date
    QString dawnDuskLine() const; // "Dawn/Dusk (rise/set)"
    QString zodiacDayLine() const;
    QString zodiacNextLine() const;
    QString lunarMenuDayLine() const; // " Phase. Day n", with its leading space
    QString lunarCycleLine() const;   // "Phase, Day n in the lunar cycle"
    QString lunarDayLine() const;     // "Day n", the pane's lunar day
    FullMoonLines fullMoonLines() const;
    QString coliseumLine() const;
    QString dateLine() const; // weekday, IC clock text, day of the season and of the year

    QString sunReport() const;
    QString lunarReport() const;
    QString zodiacReport() const;
    QString coliseumReport() const;
    QString fullReport() const;

private:
    QString fullMoonBlock(bool endWithBlankLine) const;

    const TNDKestmoorDate &m_clock;
    QString m_timeFormat;
    QString m_oocFormat;
};
