// The clock's registration for "TNDUpdateICSecondsOffset", on a session bus of the test's own.
#include "DistributedNotificationCenter.h"
#include "TNDKestmoorDate.h"
#include "UserDefaults.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

constexpr double kMoment = 1700000000.0;
// (1700000000 - 3600) × 45 ÷ 11 + 24371635: the IC time of kMoment with no offset.
constexpr double kICTimeWithoutOffset = 6978902362.272727;

int postFromAnotherProgram(const QStringList &userInfo) {
    QProcess poster;
    poster.setProcessChannelMode(QProcess::ForwardedChannels);
    poster.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"),
                 QStringList{QStringLiteral("post"), QStringLiteral("TNDUpdateICSecondsOffset")} + userInfo);
    if (!poster.waitForFinished(60000) || poster.exitStatus() != QProcess::NormalExit)
        return -1;
    return poster.exitCode();
}

std::unique_ptr<TNDKestmoorDate> listeningClock() {
    auto clock = std::make_unique<TNDKestmoorDate>(kMoment);
    clock->setDaylightSavings(3600.0);
    clock->refreshWithTimeFrom1970(kMoment);
    // From here on the clock hears every post.
    DistributedNotificationCenter::defaultCenter().waitForBus();
    return clock;
}

} // namespace

class TestTNDKestmoorDateNotifications : public QObject {
    Q_OBJECT

public:
    // Made by main() before the application object, as a program may make its shared clock.
    static inline TNDKestmoorDate *s_earlyClock = nullptr;

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QFile::remove(UserDefaults::standardPath());
        s_earlyClock->setIcSecondsOffset(0);
    }

    // First, before anything else uses the notification centre and so connects it.
    void clockMadeBeforeTheApplicationObjectHearsToo() {
        // A call on the centre's own connection: once answered, the bus has every subscription made before.
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.DBus")));
        QCOMPARE(postFromAnotherProgram({QStringLiteral("icSecondsOffset=42")}), 0);
        QTRY_COMPARE(s_earlyClock->icSecondsOffset(), 42);
    }

    void clockFollowsAnotherProgramsPostFromItsNextRefresh_data() {
        QTest::addColumn<QStringList>("userInfo");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<QString>("weekday");
        QTest::addColumn<QString>("clockTime");
        QTest::newRow("two IC minutes") << QStringList{"icSecondsOffset=120"} << 120 << 134 << "Ilsar"
                                        << "08:01:22";
        QTest::newRow("a whole IC day") << QStringList{"icSecondsOffset=86400"} << 86400 << 135 << "Jorvac"
                                        << "07:59:22";
        QTest::newRow("a day back") << QStringList{"icSecondsOffset=-86400"} << -86400 << 133 << "Hoven"
                                    << "07:59:22";
        QTest::newRow("no entry puts it back to 0") << QStringList{} << 0 << 134 << "Ilsar"
                                                    << "07:59:22";
    }
    void clockFollowsAnotherProgramsPostFromItsNextRefresh() {
        QFETCH(QStringList, userInfo);
        QFETCH(int, offset);
        QFETCH(int, yearDay);
        QFETCH(QString, weekday);
        QFETCH(QString, clockTime);
        auto clock = listeningClock();
        clock->setIcSecondsOffset(7);
        clock->refreshWithTimeFrom1970(kMoment);
        QCOMPARE(postFromAnotherProgram(userInfo), 0);
        QTRY_COMPARE(clock->icSecondsOffset(), offset);
        // Nothing is recomputed until the owner refreshes.
        QCOMPARE(clock->kestmoorTime(), kICTimeWithoutOffset + 7);
        clock->refreshWithTimeFrom1970(kMoment);
        QCOMPARE(clock->kestmoorTime(), kICTimeWithoutOffset + offset);
        QCOMPARE(clock->kestmoorYearDay(), yearDay);
        QCOMPARE(clock->kestmoorWeekday(), weekday);
        QCOMPARE(QStringLiteral("%1:%2:%3")
                     .arg(clock->kestmoorHour(), 2, 10, QLatin1Char('0'))
                     .arg(clock->kestmoorMinute(), 2, 10, QLatin1Char('0'))
                     .arg(clock->kestmoorSecond(), 2, 10, QLatin1Char('0')),
                 clockTime);
    }

    void clockFollowsItsOwnProgramsPost() {
        auto clock = listeningClock();
        QVERIFY(DistributedNotificationCenter::defaultCenter().post(
            QStringLiteral("TNDUpdateICSecondsOffset"), {{QStringLiteral("icSecondsOffset"), 120}}));
        QCOMPARE(clock->icSecondsOffset(), 0); // delivered from the event loop, not during the post
        QTRY_COMPARE(clock->icSecondsOffset(), 120);
        clock->refreshWithTimeFrom1970(kMoment);
        QCOMPARE(clock->kestmoorTime(), kICTimeWithoutOffset + 120);
    }

    void everyClockOfTheProgramFollows() {
        auto first = listeningClock();
        auto second = listeningClock();
        QCOMPARE(postFromAnotherProgram({QStringLiteral("icSecondsOffset=300")}), 0);
        QTRY_COMPARE(first->icSecondsOffset(), 300);
        QTRY_COMPARE(second->icSecondsOffset(), 300);
    }

    void unusableOffsetIsRefusedAndTheClockGoesOn() {
        auto clock = listeningClock();
        // Told by this clock and by the one main() made.
        for (int clock = 0; clock < 2; ++clock)
            QTest::ignoreMessage(QtWarningMsg,
                                 "TNDUpdateICSecondsOffset refused: \"icSecondsOffset\" is a "
                                 "QVariantList, not a whole number of seconds; the offset stays 0");
        QCOMPARE(postFromAnotherProgram({QStringLiteral("icSecondsOffset:=[120]")}), 0);
        QCOMPARE(postFromAnotherProgram({QStringLiteral("icSecondsOffset=60")}), 0);
        QTRY_COMPARE(clock->icSecondsOffset(), 60);
    }

    void destroyedClockNoLongerListens() {
        auto clock = listeningClock();
        clock.reset();
        bool delivered = false;
        const int observer = DistributedNotificationCenter::defaultCenter().addObserver(
            QStringLiteral("TNDUpdateICSecondsOffset"), [&](const Notification &) { delivered = true; });
        QCOMPARE(postFromAnotherProgram({QStringLiteral("icSecondsOffset=60")}), 0);
        QTRY_VERIFY(delivered); // and the destroyed clock's handler was not called: no use after free
        DistributedNotificationCenter::defaultCenter().removeObserver(observer);
    }

    void newClockStartsFromTheSavedOffset() {
        QCOMPARE(
            UserDefaults::standardUserDefaults().setIntegerForKey(-300, QStringLiteral("icSecondsOffset")),
            UserDefaults::WriteOutcome::Written);
        const TNDKestmoorDate clock(kMoment);
        QCOMPARE(clock.icSecondsOffset(), -300);
    }
};

int main(int argc, char *argv[]) {
    TestTNDKestmoorDateNotifications::s_earlyClock = new TNDKestmoorDate(kMoment);
    QCoreApplication application(argc, argv);
    TestTNDKestmoorDateNotifications test;
    const int status = QTest::qExec(&test, argc, argv);
    delete TestTNDKestmoorDateNotifications::s_earlyClock;
    return status;
}
#include "tst_TNDKestmoorDateNotifications.moc"
