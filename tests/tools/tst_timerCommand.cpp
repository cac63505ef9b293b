#include "DistributedNotificationCenter.h"
#include "timerCommand.h"

#include "../processSupport.h"

#include <QProcess>
#include <QtTest>

namespace {

// Archived colours: model 1 (RGB), then opacity, red, green and blue as 16-bit numbers and two bytes of 0.
const QByteArray kWhite = QByteArray::fromHex("01ffffffffffffffff0000");
const QByteArray kBlueish = QByteArray::fromHex("01ffff20208080c0c00000");

QVariantMap record(const QString &title, const QString &time, const QByteArray &color,
                   const QString &transparency, const QString &totalSeconds, bool ic, qint64 rowIndex) {
    return {{"title", title},
            {"time", time},
            {"done", QString()},
            {"windowColor", color},
            {"transparency", transparency},
            {"totalSeconds", totalSeconds},
            {"ic", ic},
            {"rowIndex", rowIndex}};
}

} // namespace

class TestTimerCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // The records the timer editor would send for the same controls.
    void commandsBuildTheEditorsNotifications_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariantMap>("userInfo");

        QTest::newRow("add with every option")
            << QStringList{"add",  "--row",   "0",       "--title",        "Tea", "--duration", "00:00:03",
                           "--ic", "--color", "#2080C0", "--transparency", "0.5"}
            << "TNDAddTimer" << record("Tea", "00:00:03", kBlueish, "0.5", "3", true, 0);
        QTest::newRow("add: the editor's reset controls, in real seconds")
            << QStringList{"add", "--row=2"} << "TNDAddTimer"
            << record("Untitled Timer", "00:00:00", kWhite, "0.7", "0", false, 2);
        QTest::newRow("add: hours beyond 99")
            << QStringList{"add", "--row", "1", "--duration=100:00:01"} << "TNDAddTimer"
            << record("Untitled Timer", "100:00:01", kWhite, "0.7", "360001", false, 1);
        QTest::newRow("add: single digits")
            << QStringList{"add", "--row", "0", "--duration", "1:2:3"} << "TNDAddTimer"
            << record("Untitled Timer", "01:02:03", kWhite, "0.7", "3723", false, 0);
        QTest::newRow("add: the longest duration")
            << QStringList{"add", "--row", "0", "--duration", "1193046:28:15"} << "TNDAddTimer"
            << record("Untitled Timer", "1193046:28:15", kWhite, "0.7", "4294967295", false, 0);
        QTest::newRow("add: an empty title")
            << QStringList{"add", "--row", "0", "--title", ""} << "TNDAddTimer"
            << record("", "00:00:00", kWhite, "0.7", "0", false, 0);
        QTest::newRow("change: the record and its row")
            << QStringList{"change", "--row", "3", "--title", "Bread", "--duration", "01:00:00"}
            << "TNDChangeTimer"
            << QVariantMap{{"timerInfo", record("Bread", "01:00:00", kWhite, "0.7", "3600", false, 3)},
                           {"rowIndex", qint64(3)}};
        QTest::newRow("remove: the row only") << QStringList{"remove", "--row", "4"} << "TNDRemoveTimer"
                                              << QVariantMap{{"rowIndex", qint64(4)}};
    }

    void commandsBuildTheEditorsNotifications() {
        QFETCH(QStringList, arguments);
        QString problem;
        const std::optional<TimerCommandNotification> notification =
            timerCommandNotification(arguments, &problem);
        QVERIFY2(notification, qPrintable(problem));
        QTEST(notification->name, "name");
        QTEST(notification->userInfo, "userInfo");
    }

    void badArgumentsAreNamed_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no command") << QStringList{}
                                    << "timer: name a command: add, change or remove (see --help)";
        QTest::newRow("unknown command")
            << QStringList{"start", "--row", "0"}
            << "timer: unknown command 'start': add, change or remove (see --help)";
        QTest::newRow("no row") << QStringList{"add", "--title", "Tea"} << "timer add: --row is needed";
        QTest::newRow("a row below 0") << QStringList{"remove", "--row", "-1"}
                                       << "--row: '-1' is not a position in the timer list (0, 1, 2 ...)";
        QTest::newRow("a row that is no number")
            << QStringList{"change", "--row", "first"}
            << "--row: 'first' is not a position in the timer list (0, 1, 2 ...)";
        QTest::newRow("a row without its value") << QStringList{"add", "--row"} << "--row needs a value";
        QTest::newRow("a row twice") << QStringList{"add", "--row", "0", "--row=1"} << "--row is given twice";
        QTest::newRow("a duration of minutes only") << QStringList{"add", "--row", "0", "--duration", "10:00"}
                                                    << "--duration: '10:00' is not of the form H:MM:SS";
        QTest::newRow("60 minutes") << QStringList{"add", "--row", "0", "--duration", "00:60:00"}
                                    << "--duration: '00:60:00' has minutes or seconds above 59";
        QTest::newRow("a duration beyond 32 bits")
            << QStringList{"add", "--row", "0", "--duration", "1193046:28:16"}
            << "--duration: '1193046:28:16' is longer than 1193046:28:15";
        QTest::newRow("a duration far beyond 32 bits")
            << QStringList{"add", "--row", "0", "--duration", "99999999999999999999:00:00"}
            << "--duration: '99999999999999999999:00:00' is longer than 1193046:28:15";
        QTest::newRow("a colour name") << QStringList{"add", "--row", "0", "--color", "red"}
                                       << "--color: 'red' is not a colour of the form #RRGGBB";
        QTest::newRow("a colour with a bad digit")
            << QStringList{"add", "--row", "0", "--color", "#12345g"}
            << "--color: '#12345g' is not a colour of the form #RRGGBB";
        QTest::newRow("a transparency that is no number")
            << QStringList{"add", "--row", "0", "--transparency", "half"}
            << "--transparency: 'half' is not a number";
        QTest::newRow("a transparency above 1") << QStringList{"add", "--row", "0", "--transparency", "1.5"}
                                                << "--transparency: 1.5 is outside 0 to 1";
        QTest::newRow("a value for --ic")
            << QStringList{"add", "--row", "0", "--ic=yes"} << "--ic takes no value";
        QTest::newRow("a title for a removal") << QStringList{"remove", "--row", "0", "--title", "Tea"}
                                               << "timer remove: --title does not apply, only --row";
        QTest::newRow("an unknown option") << QStringList{"add", "--row", "0", "--colour", "#ffffff"}
                                           << "timer add: unknown option '--colour' (see --help)";
        QTest::newRow("a stray argument")
            << QStringList{"add", "--row", "0", "Tea"} << "timer add: unexpected argument 'Tea' (see --help)";
    }

    void badArgumentsAreNamed() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, problem);
        QString told;
        QVERIFY(!timerCommandNotification(arguments, &told));
        QCOMPARE(told, problem);

        const ClockRun run = runClock(QStringList{"timer"} + arguments, true);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, QStringLiteral("tindral-clock: ") + problem + QLatin1Char('\n'));
        QCOMPARE(run.out, QString());
    }

    void helpNamesTheCommands() {
        const ClockRun run = runClock({"timer", "--help"}, true);
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage: tindral-clock timer add --row N")));
        QCOMPARE(run.err, QString());
    }

    // What a companion on the bus hears from the command, with no display anywhere.
    void theCommandPostsOnTheSessionBus() {
        DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
        QList<Notification> heard;
        const int token =
            center.addObserver(QString(), [&](const Notification &note) { heard.append(note); });
        QVERIFY(center.waitForBus());

        const ClockRun run =
            runClock({"timer", "add", "--row", "0", "--title", "Tea", "--duration", "00:00:03"}, true);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QTRY_COMPARE(heard.size(), 1);
        QCOMPARE(heard[0].name, QStringLiteral("TNDAddTimer"));
        QCOMPARE(heard[0].userInfo, record("Tea", "00:00:03", kWhite, "0.7", "3", false, 0));

        QCOMPARE(runClock({"timer", "remove", "--row", "0"}, true).status, 0);
        QTRY_COMPARE(heard.size(), 2);
        QCOMPARE(heard[1].name, QStringLiteral("TNDRemoveTimer"));
        QCOMPARE(heard[1].userInfo, (QVariantMap{{"rowIndex", qint64(0)}}));
        center.removeObserver(token);
    }
};

QTEST_GUILESS_MAIN(TestTimerCommand)
#include "tst_timerCommand.moc"
