#include "Clock.h"
#include "ColorArchive.h"
#include "NotificationCenter.h"
#include "TNDTimerRecord.h"
#include "timerObject.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>
#include <QtTest>

#include <limits>
#include <memory>
#include <vector>

namespace {

const QString kDone = QString(QChar(0x221A)); // √
constexpr double kStart = 5000.0;             // the fake monotonic clock when a timer starts

TNDTimerRecord record(uint32_t totalSeconds, bool ic, const QString &title = QStringLiteral("Tea"),
                      int64_t rowIndex = 0, double transparency = 0.7) {
    return TNDTimerRecord::fromParts(title, totalSeconds, ic, ColorArchive::archivedData(QColor(Qt::white)),
                                     transparency, rowIndex);
}

} // namespace

class TestTimerObject : public QObject {
    Q_OBJECT

    double m_now = kStart;
    std::vector<QObject *> m_finished; // the objects of every "doneTimer" posted

    // Sets the fake clock to `seconds` after kStart and lets the timer take its tick.
    void tickAt(timerObject &timer, double seconds) {
        m_now = kStart + seconds;
        timer.performInterval();
    }

    QString shown(const timerObject &timer) const { return timer.displayField()->text(); }

private Q_SLOTS:
    void initTestCase() {
        NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("doneTimer"),
            [this](const Notification &note) { m_finished.push_back(note.object); }, this);
    }

    void init() {
        // The offscreen platform tells that it cannot raise windows or set their opacity; nothing else may
        // warn.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )")));
        m_now = kStart;
        m_finished.clear();
        Clock::setMonotonicFunction([this] { return m_now; });
    }

    void cleanup() { Clock::reset(); }

    // Ticks are never exact: whether a tick comes a little early or late, the countdown steps once per tick.
    void realTimeTimerCountsDownOncePerTick_data() {
        QTest::addColumn<double>("jitter");
        QTest::newRow("ticks on time") << 0.0;
        QTest::newRow("ticks 4 ms early") << -0.004;
        QTest::newRow("ticks 4 ms late") << 0.004;
        QTest::newRow("ticks 300 ms late") << 0.3;
        QTest::newRow("ticks 600 ms late") << 0.6;
    }

    // A tick held up by a busy main thread counts only the seconds that have passed.
    void aLateTickNeverEndsATimerEarly() {
        auto timer = timerObject::timerWithDict(record(3, false), QColor(Qt::white));
        tickAt(*timer, 1.0);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:02"));
        tickAt(*timer, 2.5);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:01"));
        QVERIFY(timer->isCounting());
        QVERIFY(m_finished.empty());
        tickAt(*timer, 3.0);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:00"));
        QCOMPARE(m_finished.size(), size_t(1));
    }

    void realTimeTimerCountsDownOncePerTick() {
        QFETCH(double, jitter);
        auto timer = timerObject::timerWithDict(record(10, false), QColor(Qt::white));
        QCOMPARE(shown(*timer), QStringLiteral("00:00:10"));
        QVERIFY(timer->isCounting());
        QCOMPARE(timer->decrementInterval(), 1.0f);

        for (int tick = 1; tick <= 9; ++tick) {
            tickAt(*timer, tick + jitter);
            QCOMPARE(shown(*timer), QStringLiteral("00:00:0%1").arg(10 - tick));
            QCOMPARE(timer->timerInfo().totalSeconds(), QStringLiteral("%1.000000").arg(10 - tick));
            QCOMPARE(timer->timerInfo().done(), QString());
        }
        QVERIFY(m_finished.empty());

        tickAt(*timer, 10 + jitter);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:00"));
        QCOMPARE(timer->timerInfo().totalSeconds(), QStringLiteral("0"));
        QCOMPARE(timer->timerInfo().done(), kDone);
        QVERIFY(!timer->isCounting());
        QVERIFY(!timer->theTimer().isActive());
        QVERIFY(timer->theWindow()->isVisible());
        QCOMPARE(m_finished, std::vector<QObject *>{timer.get()});

        tickAt(*timer, 11);
        QCOMPARE(m_finished.size(), size_t(1));
        QCOMPARE(shown(*timer), QStringLiteral("00:00:00"));
    }

    // 45/11 IC seconds per tick, in single precision: 60 - 14 * 4.0909090 is about 2.7, the fifteenth tick
    // goes below 1.
    void icTimerEndsAtTheFifteenthTick_data() {
        QTest::addColumn<double>("jitter");
        QTest::newRow("ticks on time") << 0.0;
        QTest::newRow("ticks 6 ms early") << -0.006;
        QTest::newRow("ticks 6 ms late") << 0.006;
    }

    void icTimerEndsAtTheFifteenthTick() {
        QFETCH(double, jitter);
        auto timer = timerObject::timerWithDict(record(60, true), QColor(Qt::white));
        QCOMPARE(timer->decrementInterval(), 4.0909090042114258f);
        const QStringList secondsShown{"55", "51", "47", "43", "39", "35", "31",
                                       "27", "23", "19", "15", "10", "06", "02"};
        for (int tick = 1; tick <= 14; ++tick) {
            tickAt(*timer, tick + jitter);
            QCOMPARE(shown(*timer), QStringLiteral("00:00:") + secondsShown[tick - 1]);
            QVERIFY(m_finished.empty());
        }
        // The single-precision steps as they have always been written.
        QCOMPARE(timer->timerInfo().totalSeconds(), QStringLiteral("2.727283"));
        tickAt(*timer, 15 + jitter);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:00"));
        QCOMPARE(timer->timerInfo().done(), kDone);
        QCOMPARE(m_finished.size(), size_t(1));
    }

    void icStepsKeepTheirSinglePrecisionResults() {
        auto timer = timerObject::timerWithDict(record(60, true), QColor(Qt::white));
        const QStringList written{"55.909092", "51.818184", "47.727276", "43.636368", "39.545460",
                                  "35.454552", "31.363644", "27.272736", "23.181828", "19.090919",
                                  "15.000010", "10.909101", "6.818192",  "2.727283"};
        for (int tick = 1; tick <= 14; ++tick) {
            tickAt(*timer, tick);
            QCOMPARE(timer->timerInfo().totalSeconds(), written[tick - 1]);
        }
    }

    void firstStepShowsHoursMinutesSeconds_data() {
        QTest::addColumn<uint>("totalSeconds");
        QTest::addColumn<bool>("ic");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("afterFirstStep");
        QTest::newRow("3725 s") << 3725u << false << "01:02:05"
                                << "01:02:04";
        QTest::newRow("more than 99 hours: three digits") << 360001u << false << "100:00:01"
                                                          << "100:00:00";
        QTest::newRow("an IC hour") << 3600u << true << "01:00:00"
                                    << "00:59:55";
        QTest::newRow("ten hours") << 36001u << false << "10:00:01"
                                   << "10:00:00";
    }

    void firstStepShowsHoursMinutesSeconds() {
        QFETCH(uint, totalSeconds);
        QFETCH(bool, ic);
        auto timer = timerObject::timerWithDict(record(totalSeconds, ic), QColor(Qt::white));
        QTEST(shown(*timer), "time");
        tickAt(*timer, 1);
        QTEST(shown(*timer), "afterFirstStep");
    }

    // A machine that slept or stalled between two ticks: the countdown shows the time that is really left.
    void aLateTickCatchesUp_data() {
        QTest::addColumn<uint>("totalSeconds");
        QTest::addColumn<bool>("ic");
        QTest::addColumn<QString>("afterTheJump");
        QTest::addColumn<QString>("oneTickLater");
        // Two ticks on time, then ten minutes pass before the next.
        QTest::newRow("an hour in real seconds") << 3600u << false << "00:50:00"
                                                 << "00:49:59";
        QTest::newRow("an hour in IC seconds") << 3600u << true << "00:19:05"
                                               << "00:19:01";
    }

    void aLateTickCatchesUp() {
        QFETCH(uint, totalSeconds);
        QFETCH(bool, ic);
        auto timer = timerObject::timerWithDict(record(totalSeconds, ic), QColor(Qt::white));
        tickAt(*timer, 1);
        tickAt(*timer, 2);
        tickAt(*timer, 600.4);
        QTEST(shown(*timer), "afterTheJump");
        QVERIFY(timer->isCounting());
        // The next tick keeps to the whole seconds since the start, not to the late one.
        QCOMPARE(timer->theTimer().interval(), 600);
        tickAt(*timer, 601);
        QTEST(shown(*timer), "oneTickLater");
        QVERIFY(m_finished.empty());
    }

    void aTimerWhoseTimeRanOutDuringASleepEndsAtOnce() {
        auto timer = timerObject::timerWithDict(record(60, false), QColor(Qt::white));
        tickAt(*timer, 1);
        tickAt(*timer, 601);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:00"));
        QCOMPARE(timer->timerInfo().totalSeconds(), QStringLiteral("0"));
        QCOMPARE(timer->timerInfo().done(), kDone);
        QCOMPARE(m_finished, std::vector<QObject *>{timer.get()});
        QVERIFY(!timer->isCounting());
    }

    void theTimersOwnTickStepsTheCountdown() {
        auto timer = timerObject::timerWithDict(record(10, false), QColor(Qt::white));
        QVERIFY(timer->theTimer().isActive());
        QCOMPARE(timer->theTimer().timerType(), Qt::PreciseTimer);
        QCOMPARE(timer->theTimer().interval(), timerObject::kTickInterval);
        m_now = kStart + 1;
        QTRY_COMPARE(shown(*timer), QStringLiteral("00:00:09"));
    }

    void aDoneRecordMakesADormantTimerThatAChangeStarts() {
        TNDTimerRecord done = record(10, false);
        done.setDone(kDone);
        auto timer = timerObject::timerWithDict(done, QColor(Qt::white));
        QVERIFY(!timer->theWindow()->isVisible());
        QVERIFY(!timer->isCounting());
        QVERIFY(!timer->theTimer().isActive());
        tickAt(*timer, 1);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:10"));
        QCOMPARE(timer->timerInfo().totalSeconds(), QStringLiteral("10"));

        timer->mergeWithDict(record(5, false), QColor(Qt::white));
        QVERIFY(timer->theWindow()->isVisible());
        QVERIFY(timer->isCounting());
        QCOMPARE(shown(*timer), QStringLiteral("00:00:05"));
        // Counting starts again from the change, one second after the start.
        tickAt(*timer, 2);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:04"));
    }

    void aChangeRestartsAFinishedTimerWithTheNewRecord() {
        auto timer = timerObject::timerWithDict(record(2, false), QColor(Qt::white));
        tickAt(*timer, 1);
        tickAt(*timer, 2);
        QCOMPARE(timer->timerInfo().done(), kDone);
        const QPoint place = timer->theWindow()->pos();

        const TNDTimerRecord changed = record(60, true, QStringLiteral("Bread"), 4, 0.5);
        timer->mergeWithDict(changed, QColor(Qt::red));
        QCOMPARE(timer->timerInfo(), changed);
        QCOMPARE(shown(*timer), QStringLiteral("00:01:00"));
        QCOMPARE(timer->theWindow()->toolTip(), QStringLiteral("Bread"));
        QCOMPARE(timer->theWindow()->palette().color(QPalette::Window), QColor(Qt::red));
        QVERIFY(qAbs(timer->theWindow()->windowOpacity() - 0.5) < 1.0 / 255);
        QCOMPARE(timer->decrementInterval(), timerObject::kICDecrementInterval);
        // A change never moves the window, whatever its "rowIndex".
        QCOMPARE(timer->theWindow()->pos(), place);
        tickAt(*timer, 3);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:55"));
        QCOMPARE(m_finished.size(), size_t(1));
    }

    void stopAndHide() {
        auto timer = timerObject::timerWithDict(record(10, false), QColor(Qt::white));
        timer->stopCountdown();
        timer->hideWindow();
        QVERIFY(!timer->theWindow()->isVisible());
        QVERIFY(!timer->theTimer().isActive());
        tickAt(*timer, 1);
        QCOMPARE(shown(*timer), QStringLiteral("00:00:10"));
        QCOMPARE(timer->timerInfo().done(), QString());
    }

    void windowsStandInARowFromTheTopRightCorner_data() {
        QTest::addColumn<int>("row");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
        QTest::newRow("third") << 2;
    }

    void windowsStandInARowFromTheTopRightCorner() {
        QFETCH(int, row);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(screen.width() > 300);
        auto timer =
            timerObject::timerWithDict(record(10, false, QStringLiteral("Tea"), row), QColor(Qt::white));
        const QRect frame = timer->theWindow()->geometry();
        QCOMPARE(frame.size(), QSize(70, 29));
        QCOMPARE(frame.top(), screen.top() + 24);
        // Right edges at 3, 76 and 149 points from the screen's right edge.
        QCOMPARE(screen.x() + screen.width() - (frame.x() + frame.width()), 3 + 73 * row);
        QCOMPARE(timer->displayField()->geometry(), QRect(6, 6, 58, 17));
    }

    void aFarRowStandsOffTheScreenWithoutOverflowing() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        auto timer = timerObject::timerWithDict(
            record(10, false, QStringLiteral("Tea"), std::numeric_limits<int64_t>::max()), QColor(Qt::white));
        const QRect frame = timer->theWindow()->geometry();
        QVERIFY(frame.right() < screen.left());
        QCOMPARE(frame.top(), screen.top() + 24);
    }

    void windowFloatsWithoutTakingTheFocus() {
        auto timer = timerObject::timerWithDict(record(10, false), QColor(Qt::white));
        QWidget *window = timer->theWindow();
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
        QCOMPARE(window->windowType(), Qt::Tool);
        QVERIFY(window->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(window->isVisible());
        QVERIFY(!window->isActiveWindow());
        QCOMPARE(window->toolTip(), QStringLiteral("Tea"));
    }

    void windowTakesTheRecordsColourAndOpacity_data() {
        QTest::addColumn<QString>("transparency");
        QTest::addColumn<double>("opacity");
        QTest::newRow("0.7") << "0.7" << 0.7;
        QTest::newRow("not a number: opaque, never invisible") << "seventy" << 1.0;
        QTest::newRow("empty: opaque") << "" << 1.0;
        QTest::newRow("above 1: opaque") << "2" << 1.0;
    }

    void windowTakesTheRecordsColourAndOpacity() {
        QFETCH(QString, transparency);
        QFETCH(double, opacity);
        QVariantMap map = record(10, false).toMap();
        map.insert(QStringLiteral("transparency"), transparency);
        const TNDTimerRecord::Reading reading = TNDTimerRecord::fromMap(map);
        QVERIFY(reading.record);
        const QColor colour(0x20, 0x80, 0xc0);
        auto timer = timerObject::timerWithDict(*reading.record, colour);
        QVERIFY(qAbs(timer->theWindow()->windowOpacity() - opacity) < 1.0 / 255);
        QCOMPARE(timer->theWindow()->palette().color(QPalette::Window), colour);
        QVERIFY(timer->theWindow()->autoFillBackground());
    }

    void draggingTheBackgroundMovesTheWindow() {
        auto timer = timerObject::timerWithDict(record(10, false), QColor(Qt::white));
        QWidget *window = timer->theWindow();
        const QPoint start = window->pos();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(window, QPoint(30, 20));
        QCOMPARE(window->pos(), start + QPoint(20, 10));
        // On the text as on the background.
        QTest::mouseMove(window, QPoint(25, 12));
        QCOMPARE(window->pos(), start + QPoint(35, 12));
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(25, 12));
        QCOMPARE(window->pos(), start + QPoint(35, 12));
        QCOMPARE(window->childAt(25, 12), nullptr);
    }
};

QTEST_MAIN(TestTimerObject)
#include "tst_timerObject.moc"
