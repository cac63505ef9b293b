#include "../processSupport.h"

#include <QtTest>

namespace {

QJsonObject clockJson(const QStringList &arguments) {
    const ClockRun run = runClock(QStringList{QStringLiteral("--json")} + arguments);
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

} // namespace

class TestClockCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void title() {
        const ClockRun run = runClock({"--at", "1000000000", "--time-format", "%1I:%M:%S %p", "--am-pm",
                                       "AM,PM", "--show", "seconds,ampm,weekday", "--title"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("Jorvac 9:26:38 AM\n"));
        QCOMPARE(run.err, QString());
    }

    void titleFollowsTheSwitches_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("title");
        const QStringList base{"--at=1000000000", "--time-format=%1I:%M:%S %p", "--am-pm=AM,PM", "--title"};
        QTest::newRow("all off") << (base + QStringList{"--show="}) << "9:26\n";
        QTest::newRow("seconds") << (base + QStringList{"--show=seconds"}) << "9:26:38\n";
        QTest::newRow("one designator means none")
            << (base + QStringList{"--show=ampm", "--am-pm=AM"}) << "9:26 %p\n";
        QTest::newRow("an offset of a day")
            << (base + QStringList{"--show=weekday", "--offset", "86400"}) << "Kemba 9:26\n";
        QTest::newRow("the machine's own switches: none here") << base << "9:26\n";
    }

    void titleFollowsTheSwitches() {
        QFETCH(QStringList, arguments);
        const ClockRun run = runClock(arguments);
        QCOMPARE(run.status, 0);
        QTEST(run.out, "title");
    }

    void json() {
        const QJsonObject o = clockJson({"--at", "1700000000"});
        QCOMPARE(o.value("kestmoorYearDay").toInt(), 134);
        QCOMPARE(o.value("kestmoorYear").toInt(), 635);
        QCOMPARE(o.value("kestmoorWeekday").toString(), QStringLiteral("Ilsar"));
        QCOMPARE(o.value("lunarDay").toInt(), 3);
        QCOMPARE(o.value("lunarPhase").toString(), QStringLiteral("Waxing Crescent"));
        QCOMPARE(o.value("zodiacDay").toInt(), 12);
        QCOMPARE(o.value("zodiacSymbolString").toString(), QStringLiteral("Varnold the Heronwing"));
        QCOMPARE(o.value("nextZodiacSymbolString").toString(), QStringLiteral("Tiberan the Rooster"));
        QCOMPARE(o.value("sunriseHour").toInt(), 4);
        QCOMPARE(o.value("sunriseMinute").toInt(), 32);
        QCOMPARE(o.value("tomorrowSunsetMinute").toInt(), 30);
        QCOMPARE(o.value("daylightSavings").toDouble(), 3600.0);
        const struct {
            const char *name;
            double value;
        } events[] = {{"sunrise", 1699996958.622},
                      {"tomorrowSunrise", 1700018049.289},
                      {"sunset", 1700010099.956},
                      {"tomorrowSunset", 1700031249.289},
                      {"coliseum", 1700094169.289},
                      {"fullMoonStart", 1700246409.289},
                      {"fullMoonNoon", 1700256969.289},
                      {"fullMoonEnd", 1700267529.289},
                      {"nextFullMoonStart", 1700837769.289},
                      {"nextFullMoonNoon", 1700848329.289},
                      {"nextFullMoonEnd", 1700858889.289}};
        for (const auto &event : events)
            QVERIFY2(std::abs(o.value(QLatin1String(event.name)).toDouble() - event.value) < 0.001,
                     event.name);
        QCOMPARE(o.value("title").toString(), QStringLiteral("07:59"));
    }

    void jsonDoublesReadBackExactly() {
        const ClockRun run = runClock({"--json", "--at", "1234567890.123"});
        const QRegularExpression number(QStringLiteral("\"kestmoorTime\": ([-0-9.e+]+)"));
        const QRegularExpressionMatch match = number.match(run.out);
        QVERIFY(match.hasMatch());
        // (1234567890.123 - 3600) * 45 / 11 + 24371635, in double, as the clock computes it.
        const double expected = (1234567890.123 - 3600.0) * 45.0 / 11.0 + 24371635.0;
        QCOMPARE(match.captured(1).toDouble(), expected);
        QVERIFY(match.captured(1).remove(u'.').remove(u'-').size() >= 16);
    }

    void reportIsTheFullReport() {
        const ClockRun run = runClock({"--at", "1700000000", "--time-format", "%H:%M:%S", "--date-format",
                                       "%Y-%m-%d", "--show", "seconds"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(
            QStringLiteral("Ilsar 07:59:22, day 44 of Spring, day 134 of the year 635\n\nToday:\n"
                           "The Sun rose at 04:32:00 (2023-11-14 21:22:38)\n")));
        QVERIFY(run.out.endsWith(QStringLiteral("\n\nColiseum opens at 2023-11-16 00:22:49\n")));
    }

    void theUsersOwnSettings() {
        QVERIFY(QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME")));
        const QString path = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Tindral.plist");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                   "<key>icSecondsOffset</key><integer>86400</integer>"
                   "<key>NSTimeFormatString</key><string>%1H.%M</string>"
                   "</dict></plist>");
        file.close();
        const ClockRun run = runClock({"--at", "1000000000", "--title", "--show", "weekday"});
        QCOMPARE(run.out, QStringLiteral("Kemba 9.26\n"));
        QVERIFY(file.remove());
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "unknown option '--frobnicate'";
        QTest::newRow("stray argument") << QStringList{"soon"} << "unexpected argument 'soon'";
        QTest::newRow("moment not a number") << QStringList{"--at", "noon"} << "--at: 'noon' is not a number";
        QTest::newRow("NaN") << QStringList{"--at", "nan"} << "not a finite number";
        QTest::newRow("infinity") << QStringList{"--at=inf"} << "not a finite number";
        QTest::newRow("year beyond 32 bits") << QStringList{"--at", "2e17"} << "does not fit in 32 bits";
        QTest::newRow("year far back") << QStringList{"--at", "-2e17"} << "does not fit in 32 bits";
        QTest::newRow("offset not a whole number") << QStringList{"--offset", "1.5"} << "--offset: '1.5'";
        QTest::newRow("offset too large")
            << QStringList{"--offset", "4294967296"} << "does not fit in 32 bits";
        QTest::newRow("offset of twenty digits")
            << QStringList{"--offset", "99999999999999999999"} << "does not fit in 32 bits";
        QTest::newRow("offset beyond 64 bits") << QStringList{"--offset", "9223372036854775808"}
                                               << "--offset: 9223372036854775808 does not fit in 32 bits";
        QTest::newRow("offset of two lines")
            << QStringList{"--offset", "12\nrm -rf"} << "--offset: '12…' is not a whole number";
        QTest::newRow("moment of 100,000 characters")
            << QStringList{"--at", QString(100000, u'7') + u'x'}
            << "--at: '777777777777777777777777777777777777777777777777777777777777…' is not a number";
        QTest::newRow("unknown switch") << QStringList{"--show", "seconds,moon"} << "unknown switch 'moon'";
        QTest::newRow("missing value") << QStringList{"--time-format"} << "--time-format needs a value";
        QTest::newRow("two outputs") << QStringList{"--title", "--json"} << "only one of --title and --json";
        QTest::newRow("value on a flag") << QStringList{"--json=yes"} << "--json takes no value";
    }

    void badArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, problem);
        const ClockRun run = runClock(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("tindral-clock: ")), qPrintable(run.err));
        QVERIFY2(run.err.contains(problem), qPrintable(run.err));
        QCOMPARE(run.err.count(u'\n'), 1);
    }

    void help() {
        const ClockRun run = runClock({"--help"});
        QCOMPARE(run.status, 0);
        for (const char *option : {"--title", "--json", "--at", "--offset", "--time-format", "--date-format",
                                   "tindral-clock post", "tindral-clock listen", "tindral-clock settings",
                                   "tindral-clock timer", "--am-pm", "--show", "--help"})
            QVERIFY2(run.out.contains(QLatin1String(option)), option);
    }
};

QTEST_GUILESS_MAIN(TestClockCommand)
#include "tst_clockCommand.moc"
