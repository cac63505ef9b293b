// The clock's arithmetic on its own: no application object, no bus, no settings file. Expected values are
// the worked examples of the clock's documentation or worked by hand in the comments beside them.
#include "KestmoorCalendar.h"

#include <QtTest>

#include <cmath>

using namespace KestmoorCalendar;

namespace {

constexpr Corrections kOwners{3600.0, 0}; // what every owner sets: daylight-saving correction 3600, no offset

QString clockText(const Date &date) {
    return QStringLiteral("%1:%2:%3")
        .arg(date.hour, 2, 10, QLatin1Char('0'))
        .arg(date.minute, 2, 10, QLatin1Char('0'))
        .arg(date.second, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestKestmoorCalendar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void forwardConversion_data() {
        QTest::addColumn<double>("ooc");
        QTest::addColumn<double>("daylightSavings");
        QTest::addColumn<int>("offset");
        QTest::addColumn<double>("icTime");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<int>("season");
        QTest::addColumn<int>("monthDay");
        QTest::addColumn<QString>("time");
        QTest::addColumn<qlonglong>("dayCount");
        QTest::addColumn<int>("weekday");

        QTest::newRow("the epoch") << 0.0 << 3600.0 << 0 << 24356907.727272727 << 411 << 281 << 3 << 11
                                   << "21:48:27" << 281LL << 1;
        QTest::newRow("a billion seconds") << 1000000000.0 << 3600.0 << 0 << 4115265998.6363635 << 543 << 110
                                           << 1 << 20 << "09:26:38" << 47630LL << 2;
        QTest::newRow("1.7 billion seconds") << 1700000000.0 << 3600.0 << 0 << 6978902362.2727270 << 635 << 134
                                             << 1 << 44 << "07:59:22" << 80774LL << 1;
        QTest::newRow("day 0 of a period is day 360 of the year before")
            << 1514696649.0 << 3600.0 << 0 << 6220843199.0909090 << 610 << 360 << 3 << 90 << "11:59:59"
            << 72000LL << 5;
        // One IC day later on the calendar, the same clock time.
        QTest::newRow("an offset of one IC day") << 1700000000.0 << 3600.0 << 86400 << 6978988762.2727270
                                                 << 635 << 135 << 1 << 45 << "07:59:22" << 80775LL << 2;
        // 3600 * 45 / 11 = 14727.27 IC seconds later: 07:59:22 + 4:05:27.27 = 12:04:49.
        QTest::newRow("no daylight-saving correction") << 1700000000.0 << 0.0 << 0 << 6978917089.5454545
                                                       << 635 << 134 << 1 << 44 << "12:04:49" << 80774LL << 1;
    }

    void forwardConversion() {
        QFETCH(double, ooc);
        QFETCH(double, daylightSavings);
        QFETCH(int, offset);
        QFETCH(double, icTime);
        const Date date = dateAt(KestmoorCalendar::icTime(ooc, {daylightSavings, offset}));
        QVERIFY2(std::abs(date.icTime - icTime) < 1e-5, qPrintable(QString::number(date.icTime, 'f', 6)));
        QTEST(int(date.year), "year");
        QTEST(int(date.yearDay), "yearDay");
        QTEST(int(date.season), "season");
        QTEST(int(date.monthDay), "monthDay");
        QTEST(clockText(date), "time");
        QTEST(qlonglong(date.dayCount), "dayCount");
        QTEST(int(date.weekday), "weekday");
    }

    // IC times worked by hand: a year's period is 31104000 IC seconds and begins at (year - 411) * 31104000.
    void dateOfICTime_data() {
        QTest::addColumn<double>("icTime");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<int>("season");
        QTest::addColumn<int>("monthDay");
        QTest::addColumn<QString>("time");
        QTest::addColumn<qlonglong>("dayCount");
        QTest::addColumn<int>("weekday");

        QTest::newRow("IC time 0: day 0 of year 411's period") << 0.0 << 410 << 360 << 3 << 90 << "00:00:00"
                                                                << 0LL << 0;
        QTest::newRow("the last second of year 411's period")
            << 31103999.0 << 411 << 359 << 3 << 89 << "23:59:59" << 359LL << 2;
        QTest::newRow("year 412's period begins: still year 411, day 360")
            << 31104000.0 << 411 << 360 << 3 << 90 << "00:00:00" << 360LL << 3;
        QTest::newRow("noon of that day 0") << 31147200.0 << 411 << 360 << 3 << 90 << "12:00:00" << 360LL << 3;
        QTest::newRow("year 412 begins with day 1 of Winter")
            << 31190400.0 << 412 << 1 << 0 << 1 << "00:00:00" << 361LL << 4;
        QTest::newRow("day 90 is the last of Winter") << 7779600.0 << 411 << 90 << 0 << 90 << "01:00:00" << 90LL
                                                      << 6;
        QTest::newRow("day 91 is the first of Spring") << 7866000.0 << 411 << 91 << 1 << 1 << "01:00:00" << 91LL
                                                       << 0;
        QTest::newRow("day 180 is the last of Spring") << 15555600.0 << 411 << 180 << 1 << 90 << "01:00:00"
                                                       << 180LL << 5;
        QTest::newRow("day 270 is the last of Summer") << 23331600.0 << 411 << 270 << 2 << 90 << "01:00:00"
                                                       << 270LL << 4;
        QTest::newRow("day 271 is the first of Autumn") << 23418000.0 << 411 << 271 << 3 << 1 << "01:00:00"
                                                        << 271LL << 5;
        // Below IC time 0 the counts run on backwards: one second before 0 is 23:59:59 of day 359 of year 410,
        // day count -1, the weekday before weekday 0.
        QTest::newRow("one second below IC time 0") << -1.0 << 410 << 359 << 3 << 89 << "23:59:59" << -1LL << 6;
        QTest::newRow("half a second into day count -2")
            << -86400.5 << 410 << 358 << 3 << 88 << "23:59:59" << -2LL << 5;
        // -31104000 begins year 410's period, whose day 0 is day 360 of year 409.
        QTest::newRow("a whole period below IC time 0") << -31104000.0 << 409 << 360 << 3 << 90 << "00:00:00"
                                                        << -360LL << 4;
    }

    void dateOfICTime() {
        QFETCH(double, icTime);
        const Date date = dateAt(icTime);
        QCOMPARE(date.icTime, icTime);
        QTEST(int(date.year), "year");
        QTEST(int(date.yearDay), "yearDay");
        QTEST(int(date.season), "season");
        QTEST(int(date.monthDay), "monthDay");
        QTEST(clockText(date), "time");
        QTEST(qlonglong(date.dayCount), "dayCount");
        QTEST(int(date.weekday), "weekday");
    }

    void inverseConversionGivesTheMomentBack_data() {
        QTest::addColumn<double>("ooc");
        QTest::addColumn<double>("daylightSavings");
        QTest::addColumn<int>("offset");
        QTest::newRow("owners' corrections") << 1700000000.0 << 3600.0 << 0;
        QTest::newRow("with an offset") << 1700000000.25 << 3600.0 << -123456;
        QTest::newRow("no corrections, at the epoch") << 0.0 << 0.0 << 0;
        QTest::newRow("before IC time 0") << -7000000.0 << 3600.0 << 0;
    }

    void inverseConversionGivesTheMomentBack() {
        QFETCH(double, ooc);
        QFETCH(double, daylightSavings);
        QFETCH(int, offset);
        const Corrections corrections{daylightSavings, offset};
        QVERIFY(std::abs(oocTime(icTime(ooc, corrections), corrections) - ooc) < 1e-6);
        // 45 IC seconds ahead is 11 OOC seconds ahead, whatever the corrections.
        QVERIFY(std::abs(oocTimeForDistance(icTime(ooc, corrections), 45.0, corrections) - (ooc + 11.0)) <
                1e-6);
    }

    void yearFitsIn32Bits_data() {
        QTest::addColumn<double>("icTime");
        QTest::addColumn<bool>("fits");
        QTest::newRow("now") << 6978902362.0 << true;
        // (2147483647 - 411) * 31104000: the period of the largest year.
        QTest::newRow("the largest year") << 66795318572544000.0 << true;
        QTest::newRow("one period more") << 66795318603648000.0 << false;
        // (-2147483647 - 411) * 31104000: its day 0 is the smallest year, -2147483648.
        QTest::newRow("the smallest year before it") << -66795344140032000.0 << true;
        QTest::newRow("one period less") << -66795344171136000.0 << false;
    }

    void yearFitsIn32Bits() {
        QFETCH(double, icTime);
        QTEST(yearFits(icTime), "fits");
    }

    void sunMinutes_data() {
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<int>("sunrise");
        QTest::addColumn<int>("tomorrowSunrise");
        QTest::addColumn<int>("sunset");
        QTest::addColumn<int>("tomorrowSunset");
        QTest::newRow("day 1: 08:58 and 15:02") << 1 << 538 << 536 << 902 << 904;
        QTest::newRow("day 90: 06:00 and 18:00") << 90 << 360 << 358 << 1080 << 1082;
        QTest::newRow("day 134: 04:32 and 19:28") << 134 << 272 << 270 << 1168 << 1170;
        QTest::newRow("day 180: 03:00 and 21:00, tomorrow still moving on") << 180 << 180 << 178 << 1260
                                                                            << 1262;
        QTest::newRow("day 181: 03:02 and 20:58") << 181 << 182 << 184 << 1258 << 1256;
        QTest::newRow("day 270: 06:00 and 18:00") << 270 << 360 << 362 << 1080 << 1078;
        QTest::newRow("day 360: 09:00 and 15:00, tomorrow not day 1's") << 360 << 540 << 542 << 900 << 898;
    }

    void sunMinutes() {
        QFETCH(int, yearDay);
        QTEST(int(sunriseMinutes(yearDay).today), "sunrise");
        QTEST(int(sunriseMinutes(yearDay).tomorrow), "tomorrowSunrise");
        QTEST(int(sunsetMinutes(yearDay).today), "sunset");
        QTEST(int(sunsetMinutes(yearDay).tomorrow), "tomorrowSunset");
    }

    void coliseumDistance_data() {
        QTest::addColumn<int>("weekday");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("secondsSinceMidnight");
        QTest::addColumn<double>("distance");
        QTest::newRow("Pellin 18:59:59: one second ahead") << 5 << 18 << 68399 << 1.0;
        QTest::newRow("Pellin 19:00:00: seven days ahead") << 5 << 19 << 68400 << 604800.0;
        QTest::newRow("Pellin 23:59:59") << 5 << 23 << 86399 << 586801.0;
        QTest::newRow("Quarn noon: six days from midnight") << 6 << 12 << 43200 << 543600.0;
        QTest::newRow("Hoven noon: five days") << 0 << 12 << 43200 << 457200.0;
        QTest::newRow("Ostra noon: tomorrow") << 4 << 12 << 43200 << 111600.0;
        QTest::newRow("Ilsar 07:59:22: four days") << 1 << 7 << 28762 << 385238.0;
    }

    void coliseumDistance() {
        QFETCH(int, weekday);
        QFETCH(int, hour);
        QFETCH(int, secondsSinceMidnight);
        QTEST(KestmoorCalendar::coliseumDistance(weekday, hour, secondsSinceMidnight), "distance");
    }

    void lunarAndZodiacDays_data() {
        QTest::addColumn<qlonglong>("dayCount");
        QTest::addColumn<int>("lunarDay");
        QTest::addColumn<int>("zodiacDay");
        QTest::addColumn<int>("sign");
        QTest::addColumn<int>("daysUntilNext");
        QTest::addColumn<int>("nextSign");
        QTest::newRow("day count 80774") << 80774LL << 3 << 12 << 1 << 17 << 2;
        QTest::newRow("lunar day 15") << 80786LL << 15 << 24 << 1 << 5 << 2;
        QTest::newRow("zodiac day 29, lunar day 20") << 80791LL << 20 << 29 << 1 << 0 << 2;
        QTest::newRow("zodiac day 2, still sign 1") << 80793LL << 22 << 2 << 1 << 27 << 2;
        QTest::newRow("a multiple of 29: sign 2 begins on day 3") << 80794LL << 23 << 3 << 2 << 26 << 3;
        QTest::newRow("lunar day 28") << 80799LL << 28 << 8 << 2 << 21 << 3;
        QTest::newRow("lunar day 1 follows") << 80800LL << 1 << 9 << 2 << 20 << 3;
        QTest::newRow("day count 0: sign 12, then sign 1") << 0LL << 9 << 3 << 12 << 26 << 1;
        // Below 0 the cycles run on backwards: the day before day count 0.
        QTest::newRow("day count -1") << -1LL << 8 << 2 << 11 << 27 << 12;
        QTest::newRow("day count -10: lunar day 27") << -10LL << 27 << 22 << 11 << 7 << 12;
    }

    void lunarAndZodiacDays() {
        QFETCH(qlonglong, dayCount);
        QTEST(int(lunarDay(dayCount)), "lunarDay");
        const Zodiac zodiac = zodiacAt(dayCount);
        QTEST(int(zodiac.day), "zodiacDay");
        QTEST(int(zodiac.symbol), "sign");
        QTEST(int(zodiac.daysUntilNext), "daysUntilNext");
        QTEST(int(zodiac.nextSymbol), "nextSign");
    }

    void eventsOfAMoment_data() {
        QTest::addColumn<double>("ooc");
        QTest::addColumn<QList<double>>("sun"); // sunrise, tomorrow's sunrise, sunset, tomorrow's sunset
        QTest::addColumn<double>("coliseum");
        QTest::addColumn<QList<double>>("fullMoons"); // start, noon, end; the next one's start, noon, end

        QTest::newRow("1.7 billion seconds")
            << 1700000000.0 << QList<double>{1699996958.622, 1700018049.289, 1700010099.956, 1700031249.289}
            << 1700094169.289
            << QList<double>{1700246409.289, 1700256969.289, 1700267529.289,
                             1700837769.289, 1700848329.289, 1700858889.289};
    }

    void eventsOfAMoment() {
        QFETCH(double, ooc);
        QFETCH(QList<double>, sun);
        QFETCH(double, coliseum);
        QFETCH(QList<double>, fullMoons);
        const Events events = eventsAt(dateAt(icTime(ooc, kOwners)), kOwners);
        const auto near = [](double actual, double expected) {
            return std::abs(actual - expected) < 1e-3 ? QString() : QString::number(actual, 'f', 3);
        };
        QCOMPARE(near(events.sunriseTime, sun[0]), QString());
        QCOMPARE(near(events.tomorrowSunriseTime, sun[1]), QString());
        QCOMPARE(near(events.sunsetTime, sun[2]), QString());
        QCOMPARE(near(events.tomorrowSunsetTime, sun[3]), QString());
        QCOMPARE(near(events.coliseumTime, coliseum), QString());
        QCOMPARE(near(events.fullMoonStart, fullMoons[0]), QString());
        QCOMPARE(near(events.fullMoonNoon, fullMoons[1]), QString());
        QCOMPARE(near(events.fullMoonEnd, fullMoons[2]), QString());
        QCOMPARE(near(events.nextFullMoonStart, fullMoons[3]), QString());
        QCOMPARE(near(events.nextFullMoonNoon, fullMoons[4]), QString());
        QCOMPARE(near(events.nextFullMoonEnd, fullMoons[5]), QString());
    }

    void fullMoonStart_data() {
        QTest::addColumn<double>("ooc");
        QTest::addColumn<int>("lunarDay");
        QTest::addColumn<double>("fullMoonStart");
        QTest::newRow("lunar day 15: today's midnight, past") << 1700255209.5 << 15 << 1700246409.256;
        QTest::newRow("lunar day 20: the next cycle's") << 1700360809.5 << 20 << 1700837769.256;
    }

    void fullMoonStart() {
        QFETCH(double, ooc);
        QFETCH(double, fullMoonStart);
        const Events events = eventsAt(dateAt(icTime(ooc, kOwners)), kOwners);
        QTEST(int(events.lunarDay), "lunarDay");
        QVERIFY2(std::abs(events.fullMoonStart - fullMoonStart) < 1e-3,
                 qPrintable(QString::number(events.fullMoonStart, 'f', 3)));
    }

    void coliseumToday() {
        // Day 360, 11:59:59 on weekday 5: the Coliseum opens today at 19:00 IC.
        const Events events = eventsAt(dateAt(icTime(1514696649.0, kOwners)), kOwners);
        QVERIFY2(std::abs(events.coliseumTime - 1514702809.244) < 1e-3,
                 qPrintable(QString::number(events.coliseumTime, 'f', 3)));
    }
};

QTEST_APPLESS_MAIN(TestKestmoorCalendar)
#include "tst_KestmoorCalendar.moc"
