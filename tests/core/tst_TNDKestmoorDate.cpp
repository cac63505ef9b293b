#include "InternationalSettings.h"
#include "PropertyList.h"
#include "TNDKestmoorDate.h"
#include "UserDefaults.h"

#include "../testSupport.h"

#include <QtTest>

#include <cmath>

namespace {

QVariantMap switches(bool seconds, bool ampm, bool weekday) {
    return {{QStringLiteral("DisplaySeconds"), seconds},
            {QStringLiteral("AppendAMPM"), ampm},
            {QStringLiteral("ShowDay"), weekday}};
}

void setDesignators(const QVariant &list) {
    UserDefaults::standardUserDefaults().setVolatileValue(QStringLiteral("NSAMPMDesignation"), list);
}

} // namespace

class TestKestmoorDate : public QObject {
    Q_OBJECT

private:
    // A clock as every owner holds it: daylight-saving correction 3600, offset 0, refreshed at `ooc`.
    static std::unique_ptr<TNDKestmoorDate> clockAt(double ooc, int32_t offset = 0) {
        auto clock = std::make_unique<TNDKestmoorDate>(0.0);
        clock->setDaylightSavings(3600.0);
        clock->setIcSecondsOffset(offset);
        clock->refreshWithTimeFrom1970(ooc);
        clock->refreshAllOthers();
        return clock;
    }

private Q_SLOTS:
    void initTestCase() { setDesignators(QStringList{QStringLiteral("AM"), QStringLiteral("PM")}); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void forwardConversion_data() {
        QTest::addColumn<double>("ooc");
        QTest::addColumn<double>("icTime");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<int>("season");
        QTest::addColumn<QString>("seasonName");
        QTest::addColumn<int>("monthDay");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("weekday");
        QTest::addColumn<QString>("weekdayName");

        QTest::newRow("the epoch") << 0.0 << 24356907.727272727 << 411 << 281 << 3 << "Autumn" << 11
                                   << "21:48:27" << 1 << "Ilsar";
        QTest::newRow("a billion seconds") << 1000000000.0 << 4115265998.6363635 << 543 << 110 << 1
                                           << "Spring" << 20 << "09:26:38" << 2 << "Jorvac";
        QTest::newRow("1.7 billion seconds") << 1700000000.0 << 6978902362.2727270 << 635 << 134 << 1
                                             << "Spring" << 44 << "07:59:22" << 1 << "Ilsar";
        QTest::newRow("day 0 of a period belongs to the year before")
            << 1514696649.0 << 6220843199.0909090 << 610 << 360 << 3 << "Autumn" << 90 << "11:59:59" << 5
            << "Pellin";
    }

    void forwardConversion() {
        QFETCH(double, ooc);
        QFETCH(double, icTime);
        auto clock = clockAt(ooc);
        QVERIFY2(std::abs(clock->kestmoorTime() - icTime) < 1e-5,
                 qPrintable(QString::number(clock->kestmoorTime(), 'f', 6)));
        QTEST(int(clock->kestmoorYear()), "year");
        QTEST(int(clock->kestmoorYearDay()), "yearDay");
        QTEST(int(clock->kestmoorSeasonInt()), "season");
        QTEST(clock->kestmoorSeason(), "seasonName");
        QTEST(int(clock->kestmoorMonthDay()), "monthDay");
        const QString time = QStringLiteral("%1:%2:%3")
                                 .arg(clock->kestmoorHour(), 2, 10, QLatin1Char('0'))
                                 .arg(clock->kestmoorMinute(), 2, 10, QLatin1Char('0'))
                                 .arg(clock->kestmoorSecond(), 2, 10, QLatin1Char('0'));
        QTEST(time, "time");
        QTEST(int(clock->kestmoorWeekdayInt()), "weekday");
        QTEST(clock->kestmoorWeekday(), "weekdayName");
    }

    void seasonBoundaries_data() {
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<int>("monthDay");
        QTest::addColumn<QString>("season");
        QTest::newRow("day 1 opens Winter") << 1 << 1 << "Winter";
        QTest::newRow("day 90 closes Winter") << 90 << 90 << "Winter";
        QTest::newRow("day 91 opens Spring") << 91 << 1 << "Spring";
        QTest::newRow("day 180 closes Spring") << 180 << 90 << "Spring";
        QTest::newRow("day 270 closes Summer") << 270 << 90 << "Summer";
        QTest::newRow("day 271 opens Autumn") << 271 << 1 << "Autumn";
        QTest::newRow("day 359 is late Autumn") << 359 << 89 << "Autumn";
    }

    void seasonBoundaries() {
        QFETCH(int, yearDay);
        auto clock = clockAt(oocAtIC(icTimeOfYearDay(620, yearDay, 12, 0, 0)));
        QCOMPARE(int(clock->kestmoorYearDay()), yearDay);
        QCOMPARE(int(clock->kestmoorYear()), 620);
        QTEST(int(clock->kestmoorMonthDay()), "monthDay");
        QTEST(clock->kestmoorSeason(), "season");
    }

    void offsetMovesEveryFieldByWholeDays() {
        auto clock = clockAt(1700000000.0, 86400);
        QCOMPARE(int(clock->kestmoorYearDay()), 135);
        QCOMPARE(int(clock->kestmoorMonthDay()), 45);
        QCOMPARE(clock->kestmoorSeason(), QStringLiteral("Spring"));
        QCOMPARE(clock->kestmoorWeekday(), QStringLiteral("Jorvac"));
        QCOMPARE(clock->timeWithFormatNoAdd(QStringLiteral("%H:%M")), QStringLiteral("07:59"));

        // After day 360 comes day 1 of the next year.
        auto lastDay = clockAt(oocAtIC(icTimeOfYearDay(620, 360, 12, 0, 0)), 0);
        auto next = clockAt(oocAtIC(icTimeOfYearDay(620, 360, 12, 0, 0)), 86400);
        QCOMPARE(int(lastDay->kestmoorYear()), 620);
        QCOMPARE(int(next->kestmoorYear()), 621);
        QCOMPARE(int(next->kestmoorYearDay()), 1);
        QCOMPARE((lastDay->kestmoorWeekdayInt() + 1) % 7, next->kestmoorWeekdayInt());
    }

    void daylightSavingsCorrection() {
        TNDKestmoorDate clock(0.0);
        clock.setDaylightSavings(0.0);
        clock.refreshWithTimeFrom1970(1700000000.0);
        const double without = clock.kestmoorTime();
        clock.setDaylightSavings(3600.0);
        clock.refreshWithTimeFrom1970(1700000000.0);
        QVERIFY(std::abs((without - clock.kestmoorTime()) - 3600.0 * 45.0 / 11.0) < 1e-5);
    }

    void newClockReflectsNeitherCorrection() {
        UserDefaults::standardUserDefaults().setVolatileValue(QStringLiteral("icSecondsOffset"), 500);
        TNDKestmoorDate clock(1700000000.0);
        UserDefaults::standardUserDefaults().removeVolatileValue(QStringLiteral("icSecondsOffset"));
        QCOMPARE(clock.icSecondsOffset(), 500);
        QCOMPARE(clock.daylightSavings(), 0.0);
        QVERIFY(std::abs(clock.kestmoorTime() - (1700000000.0 * 45.0 / 11.0 + 24371635.0)) < 1e-5);
        QCOMPARE(clock.sunrise(), 0.0);
        QCOMPARE(clock.coliseum(), 0.0);
        QCOMPARE(int(clock.lundarDay()), 0);
    }

    void offsetNotificationShowsAtNextRefresh_data() {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<int>("offset");
        QTest::newRow("a number") << QVariantMap{{QStringLiteral("icSecondsOffset"), 120}} << 120;
        QTest::newRow("a negative number") << QVariantMap{{QStringLiteral("icSecondsOffset"), -45}} << -45;
        QTest::newRow("a missing entry resets to 0") << QVariantMap{} << 0;
        QTest::newRow("a string is read by its number")
            << QVariantMap{{QStringLiteral("icSecondsOffset"), QStringLiteral("30")}} << 30;
    }

    void offsetNotificationShowsAtNextRefresh() {
        QFETCH(QVariantMap, userInfo);
        QFETCH(int, offset);
        auto clock = clockAt(1700000000.0, 7);
        const double before = clock->kestmoorTime();
        clock->updateICSecondsOffset(userInfo);
        QCOMPARE(clock->icSecondsOffset(), offset);
        QCOMPARE(clock->kestmoorTime(), before);
        clock->refreshWithTimeFrom1970(1700000000.0);
        QVERIFY(std::abs(clock->kestmoorTime() - (before - 7 + offset)) < 1e-5);
    }

    void offsetNotificationOfTheWrongTypeIsRefused_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("a list") << QVariant(QVariantList{1, 2});
        QTest::newRow("a text that is no number") << QVariant(QStringLiteral("abc"));
        QTest::newRow("an empty text") << QVariant(QString());
        QTest::newRow("a number followed by text") << QVariant(QStringLiteral("120abc"));
        QTest::newRow("a boolean") << QVariant(true);
        QTest::newRow("not a finite number") << QVariant(qQNaN());
    }

    void offsetNotificationOfTheWrongTypeIsRefused() {
        QFETCH(QVariant, value);
        auto clock = clockAt(1700000000.0, 7);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("icSecondsOffset.*not a whole number")));
        clock->updateICSecondsOffset({{QStringLiteral("icSecondsOffset"), value}});
        QCOMPARE(clock->icSecondsOffset(), 7);
    }

    void inverseConversionGivesBackTheMoment_data() {
        QTest::addColumn<double>("ooc");
        QTest::addColumn<int>("offset");
        QTest::newRow("1.7 billion") << 1700000000.0 << 0;
        QTest::newRow("with a fraction and an offset") << 1234567890.123 << 86399;
        QTest::newRow("with a negative offset") << 1514696649.0 << -3600;
    }

    void inverseConversionGivesBackTheMoment() {
        QFETCH(double, ooc);
        QFETCH(int, offset);
        auto clock = clockAt(ooc, offset);
        QVERIFY(std::abs(clock->oocTimeForDistance(0.0) - ooc) < 1e-5);
        // An event X IC seconds ahead happens X * 11/45 OOC seconds later, whatever the offset.
        QVERIFY(std::abs(clock->oocTimeForDistance(4500.0) - (ooc + 1100.0)) < 1e-5);
    }

    void sunTimes_data() {
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<QString>("sunrise");
        QTest::addColumn<QString>("sunset");
        QTest::addColumn<QString>("tomorrowSunrise");
        QTest::addColumn<QString>("tomorrowSunset");
        QTest::newRow("day 1") << 1 << "08:58"
                               << "15:02"
                               << "08:56"
                               << "15:04";
        QTest::newRow("day 90") << 90 << "06:00"
                                << "18:00"
                                << "05:58"
                                << "18:02";
        QTest::newRow("day 180 turns the year") << 180 << "03:00"
                                                << "21:00"
                                                << "02:58"
                                                << "21:02";
        QTest::newRow("day 181") << 181 << "03:02"
                                 << "20:58"
                                 << "03:04"
                                 << "20:56";
        QTest::newRow("day 270") << 270 << "06:00"
                                 << "18:00"
                                 << "06:02"
                                 << "17:58";
        QTest::newRow("day 360 keeps its own half for tomorrow") << 360 << "09:00"
                                                                 << "15:00"
                                                                 << "09:02"
                                                                 << "14:58";
    }

    void sunTimes() {
        QFETCH(int, yearDay);
        auto clock = clockAt(oocAtIC(icTimeOfYearDay(630, yearDay % 360, 12, 0, 0)));
        QCOMPARE(int(clock->kestmoorYearDay()), yearDay);
        auto hm = [](int h, int m) {
            return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
        };
        QTEST(hm(clock->sunriseHour(), clock->sunriseMinute()), "sunrise");
        QTEST(hm(clock->sunsetHour(), clock->sunsetMinute()), "sunset");
        QTEST(hm(clock->tomorrowSunriseHour(), clock->tomorrowSunriseMinute()), "tomorrowSunrise");
        QTEST(hm(clock->tomorrowSunsetHour(), clock->tomorrowSunsetMinute()), "tomorrowSunset");
        QCOMPARE(clock->sunriseSecond() + clock->sunsetSecond() + clock->tomorrowSunriseSecond() +
                     clock->tomorrowSunsetSecond(),
                 0);
    }

    void eventTimesAt1700000000() {
        auto clock = clockAt(1700000000.0);
        const struct {
            const char *name;
            double actual;
            double expected;
        } events[] = {
            {"sunrise", clock->sunrise(), 1699996958.622},
            {"tomorrowSunrise", clock->tomorrowSunrise(), 1700018049.289},
            {"sunset", clock->sunset(), 1700010099.956},
            {"tomorrowSunset", clock->tomorrowSunset(), 1700031249.289},
            {"coliseum", clock->coliseum(), 1700094169.289},
            {"fullMoonStart", clock->fullMoonStart(), 1700246409.289},
            {"fullMoonNoon", clock->fullMoonNoon(), 1700256969.289},
            {"fullMoonEnd", clock->fullMoonEnd(), 1700267529.289},
            {"nextFullMoonStart", clock->nextFullMoonStart(), 1700837769.289},
            {"nextFullMoonNoon", clock->nextFullMoonNoon(), 1700848329.289},
            {"nextFullMoonEnd", clock->nextFullMoonEnd(), 1700858889.289},
        };
        for (const auto &event : events)
            QVERIFY2(
                std::abs(event.actual - event.expected) < 0.001,
                qPrintable(
                    QStringLiteral("%1 = %2").arg(QLatin1String(event.name)).arg(event.actual, 0, 'f', 4)));
        QCOMPARE(int(clock->lundarDay()), 3);
        QCOMPARE(int(clock->zodiacDay()), 12);
        QCOMPARE(int(clock->zodiacSymbol()), 1);
        QCOMPARE(clock->zodiacSymbolString(), QStringLiteral("Varnold the Heronwing"));
        QCOMPARE(int(clock->daysUntilNextZodiac()), 17);
        QCOMPARE(int(clock->nextZodiacSymbol()), 2);
        QCOMPARE(clock->nextZodiacSymbolString(), QStringLiteral("Tiberan the Rooster"));
    }

    void coliseum_data() {
        QTest::addColumn<long long>("day"); // IC day count; its weekday is day % 7
        QTest::addColumn<QString>("time");
        QTest::addColumn<double>("icSecondsAhead");
        // Day count 80780 is weekday 0.
        QTest::newRow("weekday 5 at 18:59:59 opens in one second") << 80785LL << "18:59:59" << 1.0;
        QTest::newRow("weekday 5 at 19:00:00 opens a week later") << 80785LL << "19:00:00" << 604800.0;
        QTest::newRow("weekday 5 at 23:00 opens at 19:00 next week")
            << 80785LL << "23:00:00" << 6 * 86400.0 + 72000.0;
        QTest::newRow("weekday 6 opens six days after midnight")
            << 80786LL << "00:00:00" << 6 * 86400.0 + 68400.0;
        QTest::newRow("weekday 0 at noon opens five days ahead")
            << 80780LL << "12:00:00" << 5 * 86400.0 + 25200.0;
        QTest::newRow("weekday 4 at noon opens tomorrow") << 80784LL << "12:00:00" << 86400.0 + 25200.0;
    }

    void coliseum() {
        QFETCH(long long, day);
        QFETCH(QString, time);
        QFETCH(double, icSecondsAhead);
        const QStringList hms = time.split(u':');
        const double ic = icTimeOf(day, hms[0].toInt(), hms[1].toInt(), hms[2].toInt());
        auto clock = clockAt(oocAtIC(ic));
        QCOMPARE(qint64(clock->icDayCount()), qint64(day));
        // The opening keeps the fraction of the current IC second, as every event does.
        const double expected = oocAtIC(ic + icSecondsAhead);
        QVERIFY2(std::abs(clock->coliseum() - expected) < 1e-4,
                 qPrintable(QString::number(clock->coliseum() - expected)));
    }

    void coliseumOnDay0OfAPeriod() {
        auto clock = clockAt(1514696649.0);
        QVERIFY(std::abs(clock->coliseum() - 1514702809.244) < 0.001);
    }

    void lunarAndZodiacCounts_data() {
        QTest::addColumn<long long>("day");
        QTest::addColumn<int>("lunarDay");
        QTest::addColumn<int>("zodiacDay");
        QTest::addColumn<int>("sign");
        QTest::addColumn<int>("daysUntilNext");
        QTest::addColumn<int>("nextSign");
        QTest::newRow("day count 80774") << 80774LL << 3 << 12 << 1 << 17 << 2;
        QTest::newRow("lunar day 15") << 80786LL << 15 << 24 << 1 << 5 << 2;
        QTest::newRow("zodiacDay 29 three days before a new sign") << 80791LL << 20 << 29 << 1 << 0 << 2;
        QTest::newRow("zodiacDay 2 still the old sign") << 80793LL << 22 << 2 << 1 << 27 << 2;
        QTest::newRow("a multiple of 29 begins the sign") << 80794LL << 23 << 3 << 2 << 26 << 3;
        QTest::newRow("lunar day 28") << 80799LL << 28 << 8 << 2 << 21 << 3;
        QTest::newRow("lunar day 1 follows 28") << 80800LL << 1 << 9 << 2 << 20 << 3;
        QTest::newRow("sign 11") << 29LL * 11 << 20 << 3 << 11 << 26 << 12;
        QTest::newRow("sign 12 is followed by sign 1") << 29LL * 12 << 21 << 3 << 12 << 26 << 1;
    }

    void lunarAndZodiacCounts() {
        QFETCH(long long, day);
        auto clock = clockAt(oocAtIC(icTimeOf(day, 10, 0, 1)));
        QCOMPARE(qint64(clock->icDayCount()), qint64(day));
        QTEST(int(clock->lundarDay()), "lunarDay");
        QTEST(int(clock->zodiacDay()), "zodiacDay");
        QTEST(int(clock->zodiacSymbol()), "sign");
        QTEST(int(clock->daysUntilNextZodiac()), "daysUntilNext");
        QTEST(int(clock->nextZodiacSymbol()), "nextSign");
    }

    void fullMoonTimes_data() {
        QTest::addColumn<long long>("day");
        QTest::addColumn<double>("startDays"); // IC days from today's midnight to the full moon's start
        QTest::newRow("lunar day 15: today's midnight, already past") << 80786LL << 0.0;
        QTest::newRow("lunar day 14: tomorrow") << 80785LL << 1.0;
        QTest::newRow("lunar day 3: twelve days on") << 80774LL << 12.0;
        QTest::newRow("lunar day 16: the next cycle") << 80787LL << 27.0;
        QTest::newRow("lunar day 20: 23 days on") << 80791LL << 23.0;
    }

    void fullMoonTimes() {
        QFETCH(long long, day);
        QFETCH(double, startDays);
        const double midnight = icTimeOf(day, 0, 0, 0);
        auto clock = clockAt(oocAtIC(midnight + 36001.0));
        const double perIC = 11.0 / 45.0;
        const double start = oocAtIC(midnight + startDays * 86400.0);
        QVERIFY2(std::abs(clock->fullMoonStart() - start) < 1e-4,
                 qPrintable(QString::number(clock->fullMoonStart(), 'f', 4)));
        QVERIFY(std::abs(clock->fullMoonNoon() - (start + 43200.0 * perIC)) < 1e-4);
        QVERIFY(std::abs(clock->fullMoonEnd() - (start + 86400.0 * perIC)) < 1e-4);
        QVERIFY(std::abs(clock->nextFullMoonStart() - (start + 2419200.0 * perIC)) < 1e-4);
        QVERIFY(std::abs(clock->nextFullMoonNoon() - (start + 2462400.0 * perIC)) < 1e-4);
        QVERIFY(std::abs(clock->nextFullMoonEnd() - (start + 2505600.0 * perIC)) < 1e-4);
    }

    void negativeICTimesKeepEveryFieldInRange_data() {
        QTest::addColumn<double>("ooc");
        QTest::newRow("just before IC time 0") << -5953910.9;
        QTest::newRow("a day before IC time 0") << -5953910.78 - 21120.0 * 1.5;
        QTest::newRow("a thousand years back") << -3e10;
        QTest::newRow("far back") << -4e15;
    }

    void negativeICTimesKeepEveryFieldInRange() {
        QFETCH(double, ooc);
        auto clock = clockAt(ooc);
        QVERIFY(clock->kestmoorTime() < 0);
        QVERIFY(clock->kestmoorYearDay() >= 1 && clock->kestmoorYearDay() <= 360);
        QVERIFY(clock->kestmoorMonthDay() >= 1 && clock->kestmoorMonthDay() <= 90);
        QVERIFY(clock->kestmoorSeasonInt() >= 0 && clock->kestmoorSeasonInt() <= 3);
        QVERIFY(clock->kestmoorWeekdayInt() >= 0 && clock->kestmoorWeekdayInt() <= 6);
        QVERIFY(clock->kestmoorHour() >= 0 && clock->kestmoorHour() <= 23);
        QVERIFY(clock->kestmoorMinute() >= 0 && clock->kestmoorMinute() <= 59);
        QVERIFY(clock->kestmoorSecond() >= 0 && clock->kestmoorSecond() <= 59);
        QVERIFY(clock->lundarDay() >= 1 && clock->lundarDay() <= 28);
        QVERIFY(clock->zodiacDay() >= 1 && clock->zodiacDay() <= 29);
        QVERIFY(clock->zodiacSymbol() >= 1 && clock->zodiacSymbol() <= 12);
        QVERIFY(!clock->kestmoorWeekday().isEmpty());
        QVERIFY(!clock->kestmoorSeason().isEmpty());
        QVERIFY(!clock->zodiacSymbolString().isEmpty());
    }

    void calendarRunsOnBackwardsThroughIcTimeZero() {
        // The last IC second before 0 is day count -1: the weekday, lunar and zodiac days before day count 0.
        auto before = clockAt(oocAtIC(-1.0));
        auto after = clockAt(oocAtIC(0.0));
        QCOMPARE(qint64(before->icDayCount()), qint64(-1));
        QCOMPARE(int(before->kestmoorWeekdayInt()), 6);
        QCOMPARE(int(after->kestmoorWeekdayInt()), 0);
        QCOMPARE(int(before->lundarDay()), 8);
        QCOMPARE(int(after->lundarDay()), 9);
        QCOMPARE(int(before->zodiacDay()), 2);
        QCOMPARE(int(after->zodiacDay()), 3);
        QCOMPARE(int(before->zodiacSymbol()), 11);
        QCOMPARE(int(after->zodiacSymbol()), 12);
        QCOMPARE(before->timeWithFormatNoAdd(QStringLiteral("%H:%M")), QStringLiteral("23:59"));
        QCOMPARE(int(before->kestmoorYear()), 410);
        QCOMPARE(int(before->kestmoorYearDay()), 359);
    }

    void timeWithFormat_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("icTime");
        QTest::addColumn<QVariantMap>("switches");
        QTest::addColumn<QString>("expected");

        const QVariantMap none = switches(false, false, false);
        const QVariantMap seconds = switches(true, false, false);
        const QVariantMap ampm = switches(false, true, false);
        const QVariantMap all = switches(true, true, true);

        QTest::newRow("seconds on") << "%H:%M:%S"
                                    << "07:05:09" << seconds << "07:05:09";
        QTest::newRow("seconds off take their colon along") << "%H:%M:%S"
                                                            << "07:05:09" << none << "07:05";
        QTest::newRow("plain hour") << "%1H:%M"
                                    << "07:05:00" << none << "7:05";
        QTest::newRow("plain hour at midnight") << "%1H:%M"
                                                << "00:05:00" << none << "0:05";
        QTest::newRow("%1I at 0") << "%1I"
                                  << "00:00:00" << none << "12";
        QTest::newRow("%1I at 1") << "%1I"
                                  << "01:00:00" << none << "1";
        QTest::newRow("%1I at 11") << "%1I"
                                   << "11:00:00" << none << "11";
        QTest::newRow("%1I at 12") << "%1I"
                                   << "12:00:00" << none << "12";
        QTest::newRow("%1I at 13") << "%1I"
                                   << "13:00:00" << none << "1";
        QTest::newRow("%1I at 23") << "%1I"
                                   << "23:00:00" << none << "11";
        QTest::newRow("%I at 0") << "%I"
                                 << "00:00:00" << none << "12";
        QTest::newRow("%I at 9") << "%I"
                                 << "09:00:00" << none << "09";
        QTest::newRow("%I at 10") << "%I"
                                  << "10:00:00" << none << "10";
        QTest::newRow("%I at 12") << "%I"
                                  << "12:00:00" << none << "12";
        QTest::newRow("%I at 13") << "%I"
                                  << "13:00:00" << none << "01";
        QTest::newRow("%I at 22") << "%I"
                                  << "22:00:00" << none << "10";
        QTest::newRow("designator for 11 is the morning's") << "%p"
                                                            << "11:59:00" << ampm << "AM";
        QTest::newRow("designator for 12 is the afternoon's") << "%p"
                                                              << "12:00:00" << ampm << "PM";
        QTest::newRow("designator off takes its space along") << "%I:%M %p"
                                                              << "13:05:00" << none << "01:05";
        QTest::newRow("designator appended without a space") << "%H:%M"
                                                             << "13:05:00" << ampm << "13:05PM";
        QTest::newRow("only the first occurrence") << "%M %M"
                                                   << "13:05:00" << none << "05 %M";
        QTest::newRow("other sequences are copied") << "%H.%M %Z%%"
                                                    << "13:05:00" << none << "13.05 %Z%%";
        QTest::newRow("no switches: no seconds, designator or weekday")
            << "%1I:%M:%S %p"
            << "09:26:38" << QVariantMap{} << "9:26";
        QTest::newRow("everything on") << "%1I:%M:%S %p"
                                       << "09:26:38" << all << "Ilsar 9:26:38 AM";
        QTest::newRow("empty format") << ""
                                      << "09:26:38" << none << "";
        QTest::newRow("empty format with the designator") << ""
                                                          << "09:26:38" << ampm << "AM";
        QTest::newRow("empty format with the weekday")
            << ""
            << "09:26:38" << switches(false, false, true) << "Ilsar ";
        QTest::newRow("a removed token at the start goes alone") << "%p %H:%M"
                                                                 << "09:26:38" << none << " 09:26";
        QTest::newRow("seconds at the very start") << "%S"
                                                   << "09:26:38" << none << "";
        QTest::newRow("a whole surrogate pair goes before the token")
            << QString::fromUtf8("%H:%M\U0001F319%S") << "09:26:38" << none << "09:26";
        QTest::newRow("a multi-byte character goes whole")
            << QString::fromUtf8("%H時%M分%S") << "09:26:38" << none << QString::fromUtf8("09時26");
        QTest::newRow("a character with its combining mark goes whole")
            << QString::fromUtf8("%H:%Me\u0301%S") << "09:26:38" << none << "09:26";
    }

    void timeWithFormat() {
        QFETCH(QString, format);
        QFETCH(QString, icTime);
        QFETCH(QVariantMap, switches);
        const QStringList hms = icTime.split(u':');
        // Day count 80774 is weekday 1, "Ilsar".
        auto clock = clockAt(oocAtIC(icTimeOf(80774, hms[0].toInt(), hms[1].toInt(), hms[2].toInt())));
        clock->setExtraPreferences(switches.isEmpty() ? std::nullopt : std::optional<QVariantMap>(switches));
        QTEST(clock->timeWithFormat(format), "expected");
        if (!switches.value(QStringLiteral("ShowDay")).toBool())
            QTEST(clock->timeWithFormatNoAdd(format), "expected");
    }

    void titleAtABillionSeconds() {
        auto clock = clockAt(1000000000.0);
        clock->setExtraPreferences(switches(true, true, true));
        QCOMPARE(clock->timeWithFormat(QStringLiteral("%1I:%M:%S %p")), QStringLiteral("Jorvac 9:26:38 AM"));
        QCOMPARE(clock->timeWithFormatNoAdd(QStringLiteral("%1I:%M:%S %p")), QStringLiteral("9:26:38 AM"));
        clock->setExtraPreferences(switches(false, false, false));
        QCOMPARE(clock->timeWithFormat(QStringLiteral("%1I:%M:%S %p")), QStringLiteral("9:26"));
    }

    void designatorList_data() {
        QTest::addColumn<QVariant>("list");
        QTest::addColumn<QString>("withToken");
        QTest::addColumn<QString>("withoutToken");
        QTest::newRow("two strings") << QVariant(QStringList{"am", "pm"}) << "13:05 pm"
                                     << "13:05pm";
        QTest::newRow("more than two strings") << QVariant(QStringList{"a", "p", "x"}) << "13:05 p"
                                               << "13:05p";
        QTest::newRow("one string counts as no list") << QVariant(QStringList{"am"}) << "13:05 %p"
                                                      << "13:05";
        QTest::newRow("an empty list counts as no list") << QVariant(QStringList{}) << "13:05 %p"
                                                         << "13:05";
        QTest::newRow("not a list") << QVariant(QStringLiteral("AM PM")) << "13:05 %p"
                                    << "13:05";
        QTest::newRow("a list holding a number")
            << QVariant(QVariantList{QStringLiteral("AM"), 5}) << "13:05 %p"
            << "13:05";
    }

    void designatorList() {
        QFETCH(QVariant, list);
        setDesignators(list);
        auto clock = clockAt(oocAtIC(icTimeOf(80774, 13, 5, 0)));
        clock->setExtraPreferences(switches(false, true, false));
        QTEST(clock->timeWithFormat(QStringLiteral("%H:%M %p")), "withToken");
        QTEST(clock->timeWithFormat(QStringLiteral("%H:%M")), "withoutToken");
        setDesignators(QStringList{QStringLiteral("AM"), QStringLiteral("PM")});
    }

    void icEventFamily_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantMap>("switches");
        QTest::addColumn<QString>("sunrise");
        QTest::addColumn<QString>("sunset");
        // Day 181: sunrise 03:02, sunset 20:58; tomorrow 03:04 and 20:56.
        QTest::newRow("designators by event, not by hour")
            << "%I:%M %p" << switches(false, true, false) << "03:02 AM"
            << "08:58 PM";
        QTest::newRow("designator appended") << "%H:%M" << switches(false, true, false) << "03:02AM"
                                             << "20:58PM";
        QTest::newRow("seconds of whole minutes") << "%H:%M:%S" << switches(true, false, false) << "03:02:00"
                                                  << "20:58:00";
        QTest::newRow("seconds removed") << "%H:%M:%S" << switches(false, false, false) << "03:02"
                                         << "20:58";
        QTest::newRow("designator removed") << "%1I:%M %p" << switches(false, false, false) << "3:02"
                                            << "8:58";
        QTest::newRow("no weekday ever") << "%H:%M" << switches(false, false, true) << "03:02"
                                         << "20:58";
        QTest::newRow("plain text") << "dawn" << switches(false, true, false) << "dawnAM"
                                    << "dawnPM";
    }

    void icEventFamily() {
        QFETCH(QString, format);
        QFETCH(QVariantMap, switches);
        auto clock = clockAt(oocAtIC(icTimeOfYearDay(630, 181, 12, 0, 0)));
        clock->setExtraPreferences(switches);
        QTEST(clock->sunriseWithFormat(format), "sunrise");
        QTEST(clock->sunsetWithFormat(format), "sunset");
        clock->setExtraPreferences(std::nullopt);
        QCOMPARE(clock->tomorrowSunriseWithFormat(QStringLiteral("%H:%M")), QStringLiteral("03:04"));
        QCOMPARE(clock->tomorrowSunsetWithFormat(QStringLiteral("%H:%M")), QStringLiteral("20:56"));
    }

    void oocEventFamily_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariantMap>("switches");
        QTest::addColumn<QString>(
            "coliseum");                     // the next opening after OOC 1700000000: 2023-11-16 00:22:49 UTC
        QTest::addColumn<QString>("sunset"); // 2023-11-15 01:01:39.956 UTC
        QTest::newRow("seconds removed with their colon")
            << "%m/%d/%y %H:%M:%S" << switches(false, false, false) << "11/16/23 00:22"
            << "11/15/23 01:01";
        QTest::newRow("seconds kept")
            << "%m/%d/%y %H:%M:%S" << switches(true, false, false) << "11/16/23 00:22:49"
            << "11/15/23 01:01:39";
        QTest::newRow("a %p is expanded whatever the switch says")
            << "%I:%M %p" << switches(false, false, false) << "12:22 AM"
            << "01:01 AM";
        QTest::newRow("designator by the local hour, appended")
            << "%H:%M" << switches(false, true, false) << "00:22AM"
            << "01:01AM";
        QTest::newRow("plain text stays") << "soon" << switches(false, false, false) << "soon"
                                          << "soon";
    }

    void oocEventFamily() {
        QFETCH(QString, format);
        QFETCH(QVariantMap, switches);
        auto clock = clockAt(1700000000.0);
        clock->setExtraPreferences(switches);
        QTEST(clock->coliseumWithFormat(format), "coliseum");
        QTEST(clock->sunsetOOCWithFormat(format), "sunset");
    }

    // The companion's title tick: refresh, then the text in the user's format. Another program rewrites the
    // settings file; once the watch has word of it, the very next tick shows the new format.
    void titleTickFollowsTheSettingsFile() {
        auto clock = clockAt(1000000000.0); // IC 09:26:38 on "Jorvac"
        clock->setExtraPreferences(switches(true, true, false));
        const auto tick = [&clock] {
            clock->refreshWithTimeFrom1970(1000000000.0);
            return clock->timeWithFormat(InternationalSettings::timeFormat());
        };
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        const QString path = UserDefaults::standardPath();
        QVERIFY(QDir().mkpath(UserDefaults::preferencesFolder()));

        QVERIFY(PropertyList::writeFile(path, QVariantMap{{"NSTimeFormatString", "%H.%M.%S"}}));
        QTRY_VERIFY(defaults.fileChangeSeen());
        QCOMPARE(tick(), QStringLiteral("09.26.38AM"));
        QCOMPARE(tick(), QStringLiteral("09.26.38AM"));

        QVERIFY(PropertyList::writeFile(path, QVariantMap{{"NSTimeFormatString", "%1I:%M %p"}}));
        QTRY_VERIFY(defaults.fileChangeSeen());
        QCOMPARE(tick(), QStringLiteral("9:26 AM"));

        QVERIFY(QFile::remove(path));
    }

    void oocDesignatorFollowsTheLocalHour() {
        auto clock = clockAt(1700000000.0);
        clock->setExtraPreferences(switches(false, true, false));
        // The next full moon starts 2023-11-17 18:40:09 UTC: an afternoon hour in UTC, a morning one in
        // Tokyo.
        QCOMPARE(clock->fullMoonStartWithFormat(QStringLiteral("%H:%M")), QStringLiteral("18:40PM"));
        qputenv("TZ", "Asia/Tokyo");
        QCOMPARE(clock->fullMoonStartWithFormat(QStringLiteral("%H:%M")), QStringLiteral("03:40AM"));
        qputenv("TZ", "UTC");
    }
};

QTEST_GUILESS_MAIN(TestKestmoorDate)
#include "tst_TNDKestmoorDate.moc"
