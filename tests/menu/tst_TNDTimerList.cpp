#include "Clock.h"
#include "ColorArchive.h"
#include "DesktopNotifications.h"
#include "DistributedNotificationCenter.h"
#include "FakeNotificationServer.h"
#include "PropertyList.h"
#include "TNDTimerList.h"
#include "TNDTimerRecord.h"
#include "UserDefaults.h"
#include "timerObject.h"

#include <QDBusConnection>
#include <QLabel>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

constexpr double kStart = 5000.0; // the fake monotonic clock when the timers start

QVariantMap recordMap(const QString &title, uint32_t totalSeconds, int64_t rowIndex, bool ic = false) {
    return TNDTimerRecord::fromParts(title, totalSeconds, ic, ColorArchive::archivedData(QColor(Qt::white)),
                                     0.7, rowIndex)
        .toMap();
}

QVariantMap without(QVariantMap map, const QString &key) {
    map.remove(key);
    return map;
}

QVariantMap with(QVariantMap map, const QString &key, const QVariant &value) {
    map.insert(key, value);
    return map;
}

QVariantMap settings() {
    return PropertyList::readDictionary(UserDefaults::standardPath()).value_or(QVariantMap());
}

QVariantList storedEnds() {
    return settings().value(QStringLiteral("timerEnds")).toList();
}

void writeSettings(const QVariantMap &values) {
    QDir().mkpath(UserDefaults::preferencesFolder());
    QVERIFY(PropertyList::writeFile(UserDefaults::standardPath(), values));
}

QString titleAt(const TNDTimerList &list, qsizetype index) {
    return list.timerAt(index)->timerInfo().title();
}

} // namespace

class TestTNDTimerList : public QObject {
    Q_OBJECT

    double m_now = kStart;
    // The main application's side of the bus: it posts the timer notifications and hears "TNDDoneTimer".
    std::unique_ptr<DistributedNotificationCenter> m_mainApplication;
    QList<QVariant> m_doneRows;

    DistributedNotificationCenter &companion() { return DistributedNotificationCenter::defaultCenter(); }

private Q_SLOTS:
    void initTestCase() {
        m_mainApplication = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("mainApplication")));
        m_mainApplication->addObserver(
            QStringLiteral("TNDDoneTimer"),
            [this](const Notification &note) {
                m_doneRows.append(note.userInfo.value(QStringLiteral("rowIndex")));
            },
            this);
        QVERIFY(m_mainApplication->waitForBus());
        QVERIFY(companion().waitForBus());
    }

    void cleanupTestCase() { m_mainApplication.reset(); }

    void init() {
        // The offscreen platform tells that it cannot raise windows or set their opacity; nothing else may
        // warn.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )")));
        m_now = kStart;
        m_doneRows.clear();
        QFile::remove(UserDefaults::standardPath());
        Clock::setMonotonicFunction([this] { return m_now; });
    }

    void cleanup() { Clock::reset(); }


    void theMainApplicationsNotificationsDriveTheList() {
        TNDTimerList list(companion());
        list.observe();
        QVERIFY(companion().waitForBus());

        // One at a time: two connections of one process, as here, do not always hear each other's signals in
        // the order they were sent (between processes the bus keeps the order).
        m_mainApplication->post(QStringLiteral("TNDAddTimer"), recordMap(QStringLiteral("Tea"), 60, 0));
        QTRY_COMPARE(list.count(), qsizetype(1));
        m_mainApplication->post(QStringLiteral("TNDAddTimer"), recordMap(QStringLiteral("Eggs"), 300, 1));
        QTRY_COMPARE(list.count(), qsizetype(2));
        QCOMPARE(titleAt(list, 0), QStringLiteral("Tea"));
        QCOMPARE(titleAt(list, 1), QStringLiteral("Eggs"));
        QCOMPARE(list.timerAt(1)->displayField()->text(), QStringLiteral("00:05:00"));

        m_mainApplication->post(QStringLiteral("TNDChangeTimer"),
                                {{QStringLiteral("timerInfo"), recordMap(QStringLiteral("Bread"), 2, 1)},
                                 {QStringLiteral("rowIndex"), 1}});
        QTRY_COMPARE(titleAt(list, 1), QStringLiteral("Bread"));

        m_mainApplication->post(QStringLiteral("TNDRemoveTimer"), {{QStringLiteral("rowIndex"), 0}});
        QTRY_COMPARE(list.count(), qsizetype(1));
        QCOMPARE(titleAt(list, 0), QStringLiteral("Bread"));

        // The change started "Bread" at kStart; two seconds on it ends and the main application hears of it.
        m_now = kStart + 2;
        list.timerAt(0)->performInterval();
        QTRY_COMPARE(m_doneRows, QList<QVariant>{QVariant(qint64(0))});
    }

    void removingTheFirstOfThreeLeavesTheOthersInPlace() {
        TNDTimerList list(companion());
        for (int row = 0; row < 3; ++row)
            QVERIFY(list.addTimer(recordMap(QStringLiteral("Timer %1").arg(row), 600, row)));
        const QRect second = list.timerAt(1)->theWindow()->geometry();
        const QRect third = list.timerAt(2)->theWindow()->geometry();
        QVERIFY(second != third);
        QPointer<QWidget> firstWindow = list.timerAt(0)->theWindow();

        QVERIFY(list.removeTimer({{QStringLiteral("rowIndex"), qint64(0)}}));
        QCOMPARE(list.count(), qsizetype(2));
        QVERIFY(firstWindow.isNull());
        QCOMPARE(titleAt(list, 0), QStringLiteral("Timer 1"));
        QCOMPARE(list.timerAt(0)->theWindow()->geometry(), second);
        QCOMPARE(list.timerAt(1)->theWindow()->geometry(), third);

        // The editor's next record is row 2 again: its window lands on the former third's.
        QVERIFY(list.addTimer(recordMap(QStringLiteral("Timer 3"), 600, 2)));
        QCOMPARE(list.timerAt(2)->theWindow()->geometry(), third);
    }

    void equalRecordsAreDistinctTimers() {
        TNDTimerList list(companion());
        list.observe();
        const QVariantMap same = recordMap(QStringLiteral("Tea"), 10, 0);
        QVERIFY(list.addTimer(same));
        QVERIFY(list.addTimer(same));
        QVERIFY(list.timerAt(0) != list.timerAt(1));

        m_now = kStart + 10;
        list.timerAt(1)->performInterval();
        // The clock stands still again for the first timer, so its own tick cannot end it meanwhile.
        m_now = kStart;
        QTRY_COMPARE(m_doneRows, QList<QVariant>{QVariant(qint64(1))});
        QCOMPARE(list.timerAt(0)->timerInfo().done(), QString());
        QVERIFY(companion().waitForBus());
        QVERIFY(m_mainApplication->waitForBus());
        QCoreApplication::processEvents();
        QCOMPARE(m_doneRows.size(), 1);
    }

    void aTimerOfAnotherListIsNotReported() {
        TNDTimerList list(companion());
        QVERIFY(list.addTimer(recordMap(QStringLiteral("Tea"), 10, 0)));
        QObject stranger;
        QVERIFY(!list.doneTimer(&stranger));
        QCOMPARE(list.indexOf(&stranger), qsizetype(-1));
        QCOMPARE(list.indexOf(list.timerAt(0)), qsizetype(0));
    }

    void aChangeNamesItsTimerByTheNotificationsRowIndex() {
        TNDTimerList list(companion());
        QVERIFY(list.addTimer(recordMap(QStringLiteral("Tea"), 60, 0)));
        QVERIFY(list.addTimer(recordMap(QStringLiteral("Eggs"), 60, 1)));
        QVERIFY(list.changeTimer({{QStringLiteral("timerInfo"), recordMap(QStringLiteral("Bread"), 30, 1)},
                                  {QStringLiteral("rowIndex"), qint64(0)}}));
        QCOMPARE(titleAt(list, 0), QStringLiteral("Bread"));
        QCOMPARE(titleAt(list, 1), QStringLiteral("Eggs"));
    }

    void unusableNotificationsChangeNothing_data() {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<QString>("message");
        const QVariantMap good = recordMap(QStringLiteral("Bread"), 30, 0);
        const auto change = [](const QVariant &timerInfo, const QVariant &rowIndex) {
            QVariantMap userInfo;
            if (timerInfo.isValid())
                userInfo.insert(QStringLiteral("timerInfo"), timerInfo);
            if (rowIndex.isValid())
                userInfo.insert(QStringLiteral("rowIndex"), rowIndex);
            return userInfo;
        };

        QTest::newRow("add: a record without a title")
            << "TNDAddTimer" << without(good, QStringLiteral("title"))
            << "TNDAddTimer refused: the timer record has no \"title\"; nothing changed";
        QTest::newRow("add: ic as a string")
            << "TNDAddTimer" << with(good, QStringLiteral("ic"), QStringLiteral("YES"))
            << "TNDAddTimer refused: the timer record's \"ic\" is a string, not a boolean; nothing changed";
        QTest::newRow("add: a garbled colour")
            << "TNDAddTimer" << with(good, QStringLiteral("windowColor"), QByteArray("xyz"))
            << "TNDAddTimer refused: the timer record's \"windowColor\" is unreadable: the colour data is 3 "
               "bytes long, not 11; nothing changed";
        QTest::newRow("change: no rowIndex")
            << "TNDChangeTimer" << change(good, {})
            << "TNDChangeTimer refused: it has no \"rowIndex\"; nothing changed";
        QTest::newRow("change: rowIndex as a string")
            << "TNDChangeTimer" << change(good, QStringLiteral("1"))
            << "TNDChangeTimer refused: its \"rowIndex\" is a string, not an integer; nothing changed";
        QTest::newRow("change: rowIndex past the end") << "TNDChangeTimer" << change(good, qint64(5))
                                                       << "TNDChangeTimer refused: \"rowIndex\" 5 names no "
                                                          "timer: the list holds 2, from 0 to 1; nothing "
                                                          "changed";
        QTest::newRow("change: rowIndex below 0") << "TNDChangeTimer" << change(good, qint64(-1))
                                                  << "TNDChangeTimer refused: \"rowIndex\" -1 names no "
                                                     "timer: the list holds 2, from 0 to 1; nothing "
                                                     "changed";
        QTest::newRow("change: no timerInfo")
            << "TNDChangeTimer" << change({}, qint64(0))
            << "TNDChangeTimer refused: it has no \"timerInfo\"; nothing changed";
        QTest::newRow("change: timerInfo as a list")
            << "TNDChangeTimer" << change(QVariantList{good}, qint64(0))
            << "TNDChangeTimer refused: its \"timerInfo\" is a list, not a timer record; nothing changed";
        QTest::newRow("change: a record without totalSeconds")
            << "TNDChangeTimer" << change(without(good, QStringLiteral("totalSeconds")), qint64(0))
            << "TNDChangeTimer refused: the timer record has no \"totalSeconds\"; nothing changed";
        QTest::newRow("remove: no rowIndex")
            << "TNDRemoveTimer" << QVariantMap()
            << "TNDRemoveTimer refused: it has no \"rowIndex\"; nothing changed";
        QTest::newRow("remove: rowIndex as a real number")
            << "TNDRemoveTimer" << QVariantMap{{QStringLiteral("rowIndex"), 1.0}}
            << "TNDRemoveTimer refused: its \"rowIndex\" is a real number, not an integer; nothing changed";
        QTest::newRow("remove: rowIndex past the end")
            << "TNDRemoveTimer" << QVariantMap{{QStringLiteral("rowIndex"), qint64(2)}}
            << "TNDRemoveTimer refused: \"rowIndex\" 2 names no timer: the list holds 2, from 0 to 1; "
               "nothing "
               "changed";
    }

    void unusableNotificationsChangeNothing() {
        QFETCH(QString, note);
        QFETCH(QVariantMap, userInfo);
        QFETCH(QString, message);
        TNDTimerList list(companion());
        QVERIFY(list.addTimer(recordMap(QStringLiteral("Tea"), 60, 0)));
        QVERIFY(list.addTimer(recordMap(QStringLiteral("Eggs"), 60, 1)));
        const TNDTimerRecord tea = list.timerAt(0)->timerInfo();
        const TNDTimerRecord eggs = list.timerAt(1)->timerInfo();

        QTest::ignoreMessage(QtWarningMsg, qPrintable(message));
        bool changed = true;
        if (note == QStringLiteral("TNDAddTimer"))
            changed = list.addTimer(userInfo);
        else if (note == QStringLiteral("TNDChangeTimer"))
            changed = list.changeTimer(userInfo);
        else
            changed = list.removeTimer(userInfo);
        QVERIFY(!changed);
        QCOMPARE(list.count(), qsizetype(2));
        QCOMPARE(list.timerAt(0)->timerInfo(), tea);
        QCOMPARE(list.timerAt(1)->timerInfo(), eggs);
        QVERIFY(list.timerAt(0)->isCounting());
        QVERIFY(list.timerAt(1)->theWindow()->isVisible());
    }

    void anUnusableTransparencyGivesAnOpaqueWindow() {
        TNDTimerList list(companion());
        QTest::ignoreMessage(QtWarningMsg, "TNDAddTimer: the timer record's \"transparency\" is \"seventy\", "
                                           "not a number; its window is opaque");
        QVERIFY(list.addTimer(with(recordMap(QStringLiteral("Tea"), 60, 0), QStringLiteral("transparency"),
                                   QStringLiteral("seventy"))));
        QCOMPARE(list.timerAt(0)->theWindow()->windowOpacity(), 1.0);
    }

    // Entries that cannot be read keep their places, so the positions after them still name the same timers.
    void storedTimersStartInOrder() {
        TNDTimerList list(companion());
        QVariantMap done = recordMap(QStringLiteral("Done"), 60, 4);
        done.insert(QStringLiteral("done"), QString(QChar(0x221A)));
        const QVariantList stored{recordMap(QStringLiteral("Tea"), 60, 0), QStringLiteral("junk"),
                                  without(recordMap(QStringLiteral("Eggs"), 60, 2), QStringLiteral("title")),
                                  recordMap(QStringLiteral("Bread"), 60, 3), done};
        QTest::ignoreMessage(QtWarningMsg, "The settings file's \"timerArray\" entry 1 cannot be read: it is "
                                           "a string, not a timer record; its place is kept, with no timer");
        QTest::ignoreMessage(QtWarningMsg, "The settings file's \"timerArray\" entry 2 cannot be read: the "
                                           "timer record has no \"title\"; its place is kept, with no timer");
        list.loadTimers(stored);
        QCOMPARE(list.count(), qsizetype(5));
        QCOMPARE(titleAt(list, 0), QStringLiteral("Tea"));
        QCOMPARE(list.timerAt(1), nullptr);
        QCOMPARE(list.timerAt(2), nullptr);
        QCOMPARE(titleAt(list, 3), QStringLiteral("Bread"));
        QVERIFY(list.timerAt(3)->isCounting());
        QCOMPARE(titleAt(list, 4), QStringLiteral("Done"));
        QVERIFY(!list.timerAt(4)->isCounting());
        QVERIFY(!list.timerAt(4)->theWindow()->isVisible());
    }

    // An unreadable second record of three: the third is still position 2, for a change and for a removal,
    // and the place of the second takes a timer when the main application changes it.
    void theThirdOfThreeIsStillPositionTwo() {
        TNDTimerList list(companion());
        QTest::ignoreMessage(QtWarningMsg, "The settings file's \"timerArray\" entry 1 cannot be read: it is "
                                           "an integer, not a timer record; its place is kept, with no "
                                           "timer");
        list.loadTimers(
            QVariantList{recordMap(QStringLiteral("A"), 60, 0), 7, recordMap(QStringLiteral("C"), 60, 2)});
        QVERIFY(list.changeTimer({{QStringLiteral("rowIndex"), qint64(2)},
                                  {QStringLiteral("timerInfo"), recordMap(QStringLiteral("C2"), 90, 2)}}));
        QCOMPARE(titleAt(list, 2), QStringLiteral("C2"));
        QCOMPARE(titleAt(list, 0), QStringLiteral("A"));
        QVERIFY(list.changeTimer({{QStringLiteral("rowIndex"), qint64(1)},
                                  {QStringLiteral("timerInfo"), recordMap(QStringLiteral("B"), 30, 1)}}));
        QCOMPARE(titleAt(list, 1), QStringLiteral("B"));
        QVERIFY(list.timerAt(1)->isCounting());
        QVERIFY(list.removeTimer({{QStringLiteral("rowIndex"), qint64(2)}}));
        QCOMPARE(list.count(), qsizetype(2));
        QCOMPARE(titleAt(list, 1), QStringLiteral("B"));
    }

    // Each stored timer resumes from its end moment, against the wall clock.
    void storedTimersResumeFromTheirEnds_data() {
        QTest::addColumn<QVariantMap>("record");
        QTest::addColumn<QVariant>("end");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("counting");
        QTest::addColumn<QString>("shown");      // the window's text at once
        QTest::addColumn<QString>("afterTick");  // after the next tick, when counting
        QTest::addColumn<QVariant>("endMoment"); // as recorded, or nothing
        const double now = 1'700'000'000.0;
        QVariantMap done = recordMap(QStringLiteral("Tea"), 60, 0);
        done.insert(QStringLiteral("done"), QString(QChar(0x221A)));
        QTest::newRow("done: dormant, whatever its end says")
            << done << QVariant(now + 30) << QString() << false << "00:01:00" << "00:01:00" << QVariant();
        QTest::newRow("7.3 s to come: shows 8, a tick 0.3 s later 7")
            << recordMap(QStringLiteral("Tea"), 60, 0) << QVariant(now + 7.3) << QString() << true
            << "00:00:08" << "00:00:07" << QVariant(now + 7.3);
        QTest::newRow("an IC timer with 11 s to come: 45 IC seconds")
            << recordMap(QStringLiteral("Tea"), 600, 0, true) << QVariant(now + 11.0) << QString() << true
            << "00:00:45" << "00:00:40" << QVariant(now + 11.0);
        QTest::newRow("two hours to come")
            << recordMap(QStringLiteral("Tea"), 36000, 0) << QVariant(now + 7200.0) << QString() << true
            << "02:00:00" << "01:59:59" << QVariant(now + 7200.0);
        QTest::newRow("no end: the whole duration")
            << recordMap(QStringLiteral("Tea"), 60, 0) << QVariant(QString()) << QString() << true
            << "00:01:00" << "00:00:59" << QVariant(now + 60.0);
        QTest::newRow("no end: an IC timer of 60 IC seconds ends at its fifteenth tick")
            << recordMap(QStringLiteral("Tea"), 60, 0, true) << QVariant(QString()) << QString() << true
            << "00:01:00" << "00:00:55" << QVariant(now + 15.0);
        QTest::newRow("an end that is not a moment: the whole duration, with a warning")
            << recordMap(QStringLiteral("Tea"), 60, 0) << QVariant(QStringLiteral("soon"))
            << "The settings file's \"timerEnds\" entry 0 is a string, not a moment; the timer starts from "
               "its whole duration"
            << true << "00:01:00" << "00:00:59" << QVariant(now + 60.0);
    }
    void storedTimersResumeFromTheirEnds() {
        QFETCH(QVariantMap, record);
        QFETCH(QVariant, end);
        QFETCH(QString, warning);
        QFETCH(bool, counting);
        QFETCH(QVariant, endMoment);
        const double now = 1'700'000'000.0;
        Clock::setNowFunction([this, now] { return now + (m_now - kStart); });
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        TNDTimerList list(companion());
        list.loadTimers(QVariantList{record}, QVariantList{end});
        timerObject *timer = list.timerAt(0);
        QCOMPARE(timer->isCounting(), counting);
        QCOMPARE(timer->theWindow()->isVisible(), counting);
        QTEST(timer->displayField()->text(), "shown");
        QCOMPARE(timer->endMoment().has_value(), endMoment.isValid());
        if (endMoment.isValid())
            QCOMPARE(*timer->endMoment(), endMoment.toDouble());
        if (!counting)
            return;
        // The next tick is due when the time left reaches a whole second.
        const int wait = timer->theTimer().remainingTime();
        m_now += wait / 1000.0;
        timer->performInterval();
        QTEST(timer->displayField()->text(), "afterTick");
        QVERIFY(m_doneRows.isEmpty());
    }

    // An end that passed while the companion was away: the timer ends at once, shows 00:00:00 and is told
    // once.
    void anEndThatPassedEndsAtOnce() {
        const double now = 1'700'000'000.0;
        Clock::setNowFunction([now] { return now; });
        TNDTimerList list(companion());
        list.observe();
        list.loadTimers(
            QVariantList{recordMap(QStringLiteral("A"), 60, 0), recordMap(QStringLiteral("B"), 60, 1)},
            QVariantList{now + 50.0, now - 5.0});
        QVERIFY(list.timerAt(1)->theWindow()->isVisible());
        QTRY_VERIFY(list.timerAt(1)->timerInfo().isDone());
        QCOMPARE(list.timerAt(1)->displayField()->text(), QStringLiteral("00:00:00"));
        QCOMPARE(*list.timerAt(1)->endMoment(), now - 5.0);
        QTRY_COMPARE(m_doneRows, QList<QVariant>{qint64(1)});
        QVERIFY(list.timerAt(0)->isCounting());
        // Told once only: nothing more before a marker the companion posts after it.
        bool marked = false;
        m_mainApplication->addObserver(
            QStringLiteral("marker"), [&marked](const Notification &) { marked = true; }, &list);
        companion().post(QStringLiteral("marker"));
        QTRY_VERIFY(marked);
        QCOMPARE(m_doneRows.size(), 1);
    }

    // The ends go to the settings file by position, once per change; a done timer's end stays until the main
    // application's list marks it done.
    void endsAreRecordedByPosition() {
        const double now = 1'700'000'000.0;
        Clock::setNowFunction([now] { return now; });
        QVariantMap done = recordMap(QStringLiteral("C"), 60, 2);
        done.insert(QStringLiteral("done"), QString(QChar(0x221A)));
        QVariantList records{recordMap(QStringLiteral("A"), 60, 0), QStringLiteral("junk"), done,
                             recordMap(QStringLiteral("D"), 60, 3)};
        writeSettings({{QStringLiteral("timerArray"), records}, {QStringLiteral("updateTimerInterval"), 3}});
        QTest::ignoreMessage(QtWarningMsg, "The settings file's \"timerArray\" entry 1 cannot be read: it is "
                                           "a string, not a timer record; its place is kept, with no timer");
        TNDTimerList list(companion());
        list.observe();
        list.loadTimers(records, QVariantList{QString(), QString(), now - 100.0, now - 5.0});
        const QVariant nothing = QString();
        QCOMPARE(storedEnds(), (QVariantList{now + 60.0, nothing, nothing, now - 5.0}));
        QTRY_COMPARE(m_doneRows, QList<QVariant>{qint64(3)});
        QCOMPARE(storedEnds(), (QVariantList{now + 60.0, nothing, nothing, now - 5.0}));

        QVERIFY(list.addTimer(recordMap(QStringLiteral("E"), 30, 4)));
        QCOMPARE(storedEnds(), (QVariantList{now + 60.0, nothing, nothing, now - 5.0, now + 30.0}));
        // The main application marks D done and deletes A, as its list says; at the companion's removal of A,
        // D's end goes.
        records[3] = with(records[3].toMap(), QStringLiteral("done"), QString(QChar(0x221A)));
        records.removeFirst();
        writeSettings({{QStringLiteral("timerArray"), records}, {QStringLiteral("timerEnds"), storedEnds()},
                       {QStringLiteral("updateTimerInterval"), 3}});
        QVERIFY(list.removeTimer({{QStringLiteral("rowIndex"), qint64(0)}}));
        QCOMPARE(storedEnds(), (QVariantList{nothing, nothing, nothing, now + 30.0}));
        QCOMPARE(settings().value(QStringLiteral("updateTimerInterval")), QVariant(qint64(3)));
    }

    // A timer's end is told on the desktop once, titled with the timer's name, unless the setting says no; a
    // click on it asks for the main application's timer pane.
    void theEndIsAnnouncedOnTheDesktop_data() {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("notices");
        QTest::newRow("no setting: told") << QVariant() << 1;
        QTest::newRow("1: told") << QVariant(qint64(1)) << 1;
        QTest::newRow("0: not told") << QVariant(qint64(0)) << 0;
    }
    void theEndIsAnnouncedOnTheDesktop() {
        QFETCH(QVariant, setting);
        QFETCH(int, notices);
        const double now = 1'700'000'000.0;
        Clock::setNowFunction([now] { return now; });
        QVariantMap settings{{QStringLiteral("updateTimerInterval"), 1}};
        if (setting.isValid())
            settings.insert(QStringLiteral("timerEndNotifications"), setting);
        writeSettings(settings);
        FakeNotificationServer server;
        QVERIFY(server.start());
        TNDTimerList list(companion());
        list.observe();
        QSignalSpy paneRequested(&list, &TNDTimerList::timersPaneRequested);
        QSignalSpy answered(&DesktopNotifications::shared(), &DesktopNotifications::shown);
        list.loadTimers(QVariantList{recordMap(QStringLiteral("Tea"), 60, 0),
                                     recordMap(QStringLiteral("Soup"), 60, 1, true)},
                        QVariantList{now + 50.0, now - 1.0});
        QTRY_COMPARE(m_doneRows, QList<QVariant>{qint64(1)});
        if (notices == 0) {
            QCOMPARE(answered.size(), 0);
            QCOMPARE(server.notices().size(), 0);
            return;
        }
        QTRY_COMPARE(answered.size(), 1);
        QCOMPARE(server.notices().size(), 1);
        const FakeNotificationServer::Notice &notice = server.notices().first();
        QCOMPARE(notice.summary, QStringLiteral("Soup"));
        QVERIFY2(notice.body.startsWith(QStringLiteral("The 00:01:00 IC timer ended at ")),
                 qPrintable(notice.body));
        QVERIFY2(notice.body.endsWith(QStringLiteral(" IC.")), qPrintable(notice.body));
        QCOMPARE(notice.appName, QStringLiteral("Tindral"));
        QCOMPARE(notice.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("org.tindral.Tindral"));
        QCOMPARE(notice.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("complete"));
        QVERIFY(!notice.appIcon.isEmpty());
        QCOMPARE(notice.actions.value(0), QStringLiteral("default"));

        server.invokeAction(notice.id, QStringLiteral("default"));
        QVERIFY(paneRequested.wait());
    }

    void aHundredTimersAtMost() {
        TNDTimerList list(companion());
        for (int row = 0; row < 100; ++row)
            QVERIFY(list.addTimer(recordMap(QStringLiteral("Timer %1").arg(row), 600, row)));
        QTest::ignoreMessage(QtWarningMsg,
                             "TNDAddTimer refused: 100 timers are running, the most the companion "
                             "runs at once; nothing changed");
        QVERIFY(!list.addTimer(recordMap(QStringLiteral("One too many"), 600, 100)));
        QCOMPARE(list.count(), qsizetype(100));
        QVERIFY(list.removeTimer({{QStringLiteral("rowIndex"), qint64(0)}}));
        QVERIFY(list.addTimer(recordMap(QStringLiteral("In its place"), 600, 99)));
    }

    void aStoredListOfMoreThanAHundredStartsTheFirstHundred() {
        TNDTimerList list(companion());
        QVariantList stored;
        for (int row = 0; row < 102; ++row)
            stored.append(recordMap(QStringLiteral("Timer %1").arg(row), 600, row));
        QTest::ignoreMessage(QtWarningMsg,
                             "The settings file's \"timerArray\" holds more timers than the 100 the "
                             "companion runs at once; the last 2 are left out");
        list.loadTimers(stored);
        QCOMPARE(list.count(), qsizetype(100));
        QCOMPARE(titleAt(list, 99), QStringLiteral("Timer 99"));
    }

    void aStoredTimerArrayThatIsNoListStartsNothing() {
        TNDTimerList list(companion());
        list.loadTimers(QVariant());
        QCOMPARE(list.count(), qsizetype(0));
        QTest::ignoreMessage(QtWarningMsg,
                             "The settings file's \"timerArray\" is a dictionary, not a list of "
                             "timer records; no timers are started");
        list.loadTimers(recordMap(QStringLiteral("Tea"), 60, 0));
        QCOMPARE(list.count(), qsizetype(0));
    }
};

QTEST_MAIN(TestTNDTimerList)
#include "tst_TNDTimerList.moc"
