#include "Clock.h"
#include "ColorArchive.h"
#include "DistributedNotificationCenter.h"
#include "TNDTimerList.h"
#include "TNDTimerRecord.h"
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

    void storedTimersStartInOrder() {
        TNDTimerList list(companion());
        QVariantMap done = recordMap(QStringLiteral("Done"), 60, 3);
        done.insert(QStringLiteral("done"), QString(QChar(0x221A)));
        const QVariantList stored{recordMap(QStringLiteral("Tea"), 60, 0), QStringLiteral("junk"),
                                  without(recordMap(QStringLiteral("Eggs"), 60, 2), QStringLiteral("title")),
                                  recordMap(QStringLiteral("Bread"), 60, 3), done};
        QTest::ignoreMessage(
            QtWarningMsg, "The settings file's \"timerArray\" entry 1 is left out: it is a string, not a "
                          "timer record; the positions after it no longer match the main application's list");
        QTest::ignoreMessage(
            QtWarningMsg, "The settings file's \"timerArray\" entry 2 is left out: the timer record has no "
                          "\"title\"; the positions after it no longer match the main application's list");
        list.loadTimers(stored);
        QCOMPARE(list.count(), qsizetype(3));
        QCOMPARE(titleAt(list, 0), QStringLiteral("Tea"));
        QCOMPARE(titleAt(list, 1), QStringLiteral("Bread"));
        QVERIFY(list.timerAt(1)->isCounting());
        QCOMPARE(titleAt(list, 2), QStringLiteral("Done"));
        QVERIFY(!list.timerAt(2)->isCounting());
        QVERIFY(!list.timerAt(2)->theWindow()->isVisible());
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
