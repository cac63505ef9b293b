#include "TNDClockTexts.h"
#include "UserDefaults.h"

#include "../testSupport.h"

#include <QtTest>

namespace {

const QString kT = QStringLiteral("%H:%M:%S");
const QString kO = QStringLiteral("%m/%d/%y %H:%M:%S");

std::unique_ptr<TNDKestmoorDate> clockAt(double ooc) {
    auto clock = std::make_unique<TNDKestmoorDate>(0.0);
    clock->setDaylightSavings(3600.0);
    clock->setExtraPreferences(QVariantMap{{QStringLiteral("DisplaySeconds"), true}});
    clock->refreshWithTimeFrom1970(ooc);
    clock->refreshAllOthers();
    return clock;
}

} // namespace

class TestTNDClockTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void lunarPhaseName_data() {
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("name");
        QTest::newRow("1") << 1 << "New Moon";
        QTest::newRow("2") << 2 << "Waxing Crescent";
        QTest::newRow("7") << 7 << "Waxing Crescent";
        QTest::newRow("8") << 8 << "First Quarter";
        QTest::newRow("9") << 9 << "Waxing Gibbous";
        QTest::newRow("14") << 14 << "Waxing Gibbous";
        QTest::newRow("15") << 15 << "Full Moon";
        QTest::newRow("16") << 16 << "Waning Gibbous";
        QTest::newRow("21") << 21 << "Waning Gibbous";
        QTest::newRow("22") << 22 << "Last Quarter";
        QTest::newRow("23") << 23 << "Waning Crescent";
        QTest::newRow("28") << 28 << "Waning Crescent";
        QTest::newRow("a never refreshed clock's 0") << 0 << "Waning Crescent";
    }

    void lunarPhaseName() {
        QFETCH(int, day);
        QTEST(TNDClockTexts::lunarPhaseName(day), "name");
    }

    void sunStates_data() {
        QTest::addColumn<QString>("time"); // on day 181: sunrise 03:02, sunset 20:58
        QTest::addColumn<QStringList>("menu");
        QTest::addColumn<QStringList>("pane");
        const QStringList beforeMenu{"The Sun will rise at", "The Sun will fall at",
                                     "Next Sunrise will be at", "Next Sunset will be at"};
        const QStringList beforePane{"The Sun will rise at", "The Sun will set at", "Next Sunrise will be at",
                                     "Next Sunset will be at"};
        const QStringList dayMenu{"The Sun rose at", "The Sun will fall at", "Next Sunrise will be at",
                                  "Next Sunset will be at"};
        const QStringList dayPane{"The Sun rose at", "The Sun will set at", "The Sun will rise at",
                                  "Next Sunset will be at"};
        const QStringList afterMenu{"The Sun rose at", "The Sun fell at", "The Sun will rise at",
                                    "The Sun will set at"};
        const QStringList afterPane{"The Sun rose at", "The Sun set at", "The Sun will rise at",
                                    "The Sun will set at"};
        QTest::newRow("a minute before sunrise") << "03:01:59" << beforeMenu << beforePane;
        QTest::newRow("at the sunrise minute") << "03:02:00" << dayMenu << dayPane;
        QTest::newRow("late in the sunrise minute, seconds ignored") << "03:02:59" << dayMenu << dayPane;
        QTest::newRow("a minute before sunset") << "20:57:59" << dayMenu << dayPane;
        QTest::newRow("at the sunset minute") << "20:58:00" << afterMenu << afterPane;
        QTest::newRow("before midnight") << "23:59:59" << afterMenu << afterPane;
        QTest::newRow("after midnight") << "00:00:00" << beforeMenu << beforePane;
    }

    void sunStates() {
        QFETCH(QString, time);
        QFETCH(QStringList, menu);
        QFETCH(QStringList, pane);
        const QStringList hms = time.split(u':');
        auto clock =
            clockAt(oocAtIC(icTimeOfYearDay(630, 181, hms[0].toInt(), hms[1].toInt(), hms[2].toInt())));
        const TNDClockTexts texts(*clock, kT, kO);
        auto check = [](const TNDClockTexts::SunLines &lines, const QStringList &starts) {
            const QStringList actual{lines.sunrise, lines.sunset, lines.tomorrowSunrise,
                                     lines.tomorrowSunset};
            for (int i = 0; i < 4; ++i)
                QVERIFY2(actual[i].startsWith(starts[i] + u' '), qPrintable(actual[i]));
        };
        check(texts.sunLines(TNDClockTexts::Wording::Menu), menu);
        check(texts.sunLines(TNDClockTexts::Wording::Pane), pane);
        const TNDClockTexts::SunLines lines = texts.sunLines();
        // Today's sunrise of day 181 of year 630, 03:02 IC, is OOC 1662972278.68 (2022-09-12 08:44:38 UTC).
        QVERIFY2(lines.sunrise.endsWith(QStringLiteral(" at 03:02:00 (09/12/22 08:44:38)")),
                 qPrintable(lines.sunrise));
        QVERIFY(lines.tomorrowSunset.contains(QStringLiteral(" at 20:56:00 (")));
    }

    void fullMoonLines_data() {
        QTest::addColumn<long long>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<QStringList>("starts");
        QTest::addColumn<QString>("start");   // the whole start line
        QTest::addColumn<QString>("nextEnd"); // the whole end line of the full moon after
        const QStringList today{"Today's Full Moon:", "Started at: ", "Noon is at: ", "Will end at: ",
                                "Next Full Moon:",    "Starts at: ",  "Noon is at: ", "Ends at: "};
        QStringList todayAfterNoon = today;
        todayAfterNoon[2] = QStringLiteral("Noon was at: ");
        const QStringList other{"Next Full Moon:",       "Starts at: ", "Noon is at: ", "Ends at: ",
                                "Full Moon After Next:", "Starts at: ", "Noon is at: ", "Ends at: "};
        // Lunar day 15 is day count 80786; its midnight is OOC 1700246409.34 (2023-11-17 18:40:09 UTC), the
        // end of the full moon after it 28 + 1 IC days later, OOC 1700858889.34.
        QTest::newRow("lunar day 15 at 11:59")
            << 80786LL << 11 << today << "Started at: 11/17/23 18:40:09" << "Ends at: 11/24/23 20:48:09";
        QTest::newRow("lunar day 15 at 12:00")
            << 80786LL << 12 << todayAfterNoon << "Started at: 11/17/23 18:40:09" << "Ends at: 11/24/23 20:48:09";
        QTest::newRow("lunar day 14")
            << 80785LL << 12 << other << "Starts at: 11/17/23 18:40:09" << "Ends at: 11/24/23 20:48:09";
        // On lunar day 16 the next full moon is the next cycle's: 28 IC days (591360 OOC s) later.
        QTest::newRow("lunar day 16")
            << 80787LL << 12 << other << "Starts at: 11/24/23 14:56:09" << "Ends at: 12/01/23 17:04:09";
    }

    void fullMoonLines() {
        QFETCH(long long, day);
        QFETCH(int, hour);
        QFETCH(QStringList, starts);
        auto clock = clockAt(oocAtIC(icTimeOf(day, hour, hour == 11 ? 59 : 0, 0)));
        const TNDClockTexts texts(*clock, kT, kO);
        const TNDClockTexts::FullMoonLines m = texts.fullMoonLines();
        const QStringList lines{m.heading,     m.start,     m.noon,     m.end,
                                m.nextHeading, m.nextStart, m.nextNoon, m.nextEnd};
        for (int i = 0; i < 8; ++i)
            QVERIFY2(lines[i].startsWith(starts[i]), qPrintable(lines[i]));
        QCOMPARE(m.heading, starts[0]);
        QCOMPARE(m.nextHeading, starts[4]);
        QTEST(m.start, "start");
        QTEST(m.nextEnd, "nextEnd");
    }

    void coliseumLine_data() {
        QTest::addColumn<long long>("day"); // day count 80785 is weekday 5
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("line");
        // 19:00 IC of day count 80785 is OOC 1700242009.34 (2023-11-17 17:26:49 UTC); the opening a week
        // later, 147840 OOC seconds on, is 2023-11-19 10:30:49 UTC.
        QTest::newRow("weekday 5 at 18:59")
            << 80785LL << "18:59:59" << "Coliseum opens at 11/17/23 17:26:49";
        QTest::newRow("weekday 5 at 19:00")
            << 80785LL << "19:00:00" << "Coliseum is open now! and next on 11/19/23 10:30:49";
        QTest::newRow("weekday 5 at 23:59")
            << 80785LL << "23:59:59" << "Coliseum is open now! and next on 11/19/23 10:30:49";
        QTest::newRow("weekday 6 at 00:00")
            << 80786LL << "00:00:00" << "Coliseum opens at 11/19/23 10:30:49";
    }

    void coliseumLine() {
        QFETCH(long long, day);
        QFETCH(QString, time);
        QFETCH(QString, line);
        const QStringList hms = time.split(u':');
        auto clock = clockAt(oocAtIC(icTimeOf(day, hms[0].toInt(), hms[1].toInt(), hms[2].toInt())));
        const TNDClockTexts texts(*clock, kT, kO);
        QCOMPARE(texts.coliseumLine(), line);
        // The report is the line alone.
        QCOMPARE(texts.coliseumReport(), line);
    }

    void formatsInArgumentsAreNotExpandedAgain() {
        // A time format holding "%1" must come through the sentence as typed.
        auto clock = clockAt(1700000000.0);
        const TNDClockTexts texts(*clock, QStringLiteral("%H:%M %1x %2"), QStringLiteral("%2 %1"));
        QCOMPARE(texts.dawnDuskLine(), QStringLiteral("Dawn/Dusk (04:32 %1x %2/19:28 %1x %2)"));
        QCOMPARE(texts.coliseumLine(), QStringLiteral("Coliseum opens at %2 %1"));
    }

    void menuLinesAt1700000000() {
        auto clock = clockAt(1700000000.0);
        const TNDClockTexts texts(*clock, kT, kO);
        QCOMPARE(texts.longTimeLine(), QStringLiteral("Ilsar, day 44 of Spring, 635"));
        QCOMPARE(texts.dawnDuskLine(), QStringLiteral("Dawn/Dusk (04:32:00/19:28:00)"));
        QCOMPARE(texts.zodiacDayLine(), QStringLiteral("Day 12 of Varnold the Heronwing"));
        QCOMPARE(texts.zodiacNextLine(), QStringLiteral("Tiberan the Rooster rises in 17 days"));
        QCOMPARE(texts.lunarMenuDayLine(), QStringLiteral(" Waxing Crescent. Day 3"));
        QCOMPARE(texts.dateLine(),
                 QStringLiteral("Ilsar 07:59:22, day 44 of Spring, day 134 of the year 635"));
    }

    void paneDateLineAtABillionSeconds() {
        auto clock = clockAt(1000000000.0);
        // "ShowDay" never adds the weekday to the date line: it already leads it.
        clock->setExtraPreferences(
            QVariantMap{{QStringLiteral("DisplaySeconds"), true}, {QStringLiteral("ShowDay"), true}});
        const TNDClockTexts texts(*clock, kT, kO);
        QCOMPARE(texts.dateLine(),
                 QStringLiteral("Jorvac 09:26:38, day 20 of Spring, day 110 of the year 543"));
        QCOMPARE(texts.sunState(), TNDClockTexts::SunState::Day);
        QCOMPARE(texts.fullMoonLines().heading, QStringLiteral("Next Full Moon:"));
        QCOMPARE(texts.fullMoonLines().nextHeading, QStringLiteral("Full Moon After Next:"));
    }

    void reportsAt1700000000() {
        auto clock = clockAt(1700000000.0);
        const TNDClockTexts texts(*clock, kT, kO);
        const QString sun = QStringLiteral("Today:\n"
                                           "The Sun rose at 04:32:00 (11/14/23 21:22:38)\n"
                                           "The Sun will fall at 19:28:00 (11/15/23 01:01:39)\n"
                                           "\n"
                                           "Tomorrow:\n"
                                           "Next Sunrise will be at 04:30:00 (11/15/23 03:14:09)\n"
                                           "Next Sunset will be at 19:30:00 (11/15/23 06:54:09)");
        const QString zodiac = QStringLiteral("Day 12 of Varnold the Heronwing\n"
                                              "Tiberan the Rooster rises in 17 days");
        const QString lunar = QStringLiteral("Waxing Crescent, Day 3 in the lunar cycle\n"
                                             "\n"
                                             "Next Full Moon:\n"
                                             "Starts at: 11/17/23 18:40:09\n"
                                             "Noon is at: 11/17/23 21:36:09\n"
                                             "Ends at: 11/18/23 00:32:09\n"
                                             "\n"
                                             "Full Moon After Next:\n"
                                             "Starts at: 11/24/23 14:56:09\n"
                                             "Noon is at: 11/24/23 17:52:09\n"
                                             "Ends at: 11/24/23 20:48:09");
        const QString coliseum = QStringLiteral("Coliseum opens at 11/16/23 00:22:49");
        QCOMPARE(texts.sunReport(), sun);
        QCOMPARE(texts.zodiacReport(), zodiac);
        QCOMPARE(texts.lunarReport(), lunar);
        QCOMPARE(texts.coliseumReport(), coliseum);
        QCOMPARE(texts.fullReport(),
                 QStringLiteral("Ilsar 07:59:22, day 44 of Spring, day 134 of the year 635\n\n") + sun +
                     QStringLiteral("\n\n") + zodiac + QStringLiteral("\n\n") + lunar +
                     QStringLiteral("\n\n") + coliseum);
    }

    void lunarReportOnAFullMoonAfterNoon() {
        auto clock = clockAt(oocAtIC(icTimeOf(80786, 13, 0, 0)));
        const TNDClockTexts texts(*clock, kT, kO);
        // Day count 80786 is lunar day 15; its midnight is OOC 1700246409.34, 2023-11-17 18:40:09 UTC.
        const QString lunar = QStringLiteral("Full Moon, Day 15 in the lunar cycle\n"
                                             "\n"
                                             "Today's Full Moon:\n"
                                             "Started at: 11/17/23 18:40:09\n"
                                             "Noon was at: 11/17/23 21:36:09\n"
                                             "Will end at: 11/18/23 00:32:09\n"
                                             "\n"
                                             "Next Full Moon:\n"
                                             "Starts at: 11/24/23 14:56:09\n"
                                             "Noon is at: 11/24/23 17:52:09\n"
                                             "Ends at: 11/24/23 20:48:09");
        QCOMPARE(texts.lunarReport(), lunar);
        QVERIFY(texts.fullReport().contains(lunar + QStringLiteral("\n\nColiseum ")));
    }
};

QTEST_GUILESS_MAIN(TestTNDClockTexts)
#include "tst_TNDClockTexts.moc"
