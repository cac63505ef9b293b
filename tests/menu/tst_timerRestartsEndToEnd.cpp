// Timers across restarts, from the outside: the real companion on a real session bus and X server, its timer
// windows read through AT-SPI, the real timer editor in this test's own process, timers also given by the
// command line, and a desktop notification server of the test's own.
#include "ColorArchive.h"
#include "DistributedNotificationCenter.h"
#include "FakeNotificationServer.h"
#include "PropertyList.h"
#include "TNDTimerRecord.h"
#include "UserDefaults.h"
#include "timerController.h"
#include "timerField.h"
#include "../app/timerPaneSupport.h"

#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

const QString kCompanion = QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app/TindralMenu");
const QString kDone = QString(QChar(0x221A)); // √
constexpr int kScreenWidth = 1280;            // xvfb-run's screen for the tests
constexpr int kRounds = 200;

QVariantMap settings() {
    return PropertyList::readDictionary(UserDefaults::standardPath()).value_or(QVariantMap());
}

// A timer window as a screen reader meets it.
struct TimerWindow {
    QString title;
    QRect rect;
    QString text;
};

// The window's place for a position: the first one's right edge 3 points from the screen's, each further one
// 73 points to the left, their tops 24 points below the screen's.
QPoint placeOf(int position) {
    return QPoint(kScreenWidth - 73 * (position + 1), 24);
}

// HH:MM:SS as seconds; -1 for anything else.
int secondsOf(const QString &shown) {
    const QStringList parts = shown.split(u':');
    if (parts.size() != 3)
        return -1;
    return parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt();
}

// Waits for a helper that reads this test's own windows over AT-SPI too: the test answers it meanwhile.
bool finishes(QProcess &process) {
    return process.waitForStarted(30000) &&
           QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 30000);
}

int runClock(const QStringList &arguments) {
    QProcess clock;
    clock.setProcessChannelMode(QProcess::ForwardedChannels);
    clock.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), arguments);
    if (!clock.waitForFinished(30000))
        return -1;
    return clock.exitStatus() == QProcess::NormalExit ? clock.exitCode() : -1;
}

// A record as the editor stores it.
QVariantMap record(const QString &title, uint32_t seconds, int64_t rowIndex) {
    const QByteArray color = ColorArchive::archivedData(QColor(0x20, 0x80, 0xC0));
    return TNDTimerRecord::fromParts(title, seconds, false, color, 1.0, rowIndex).toMap();
}

// The real companion, with what it says on standard error kept for the test.
class Companion {
public:
    ~Companion() { stop(); }

    bool start() {
        m_err.clear();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        QObject::connect(m_process.get(), &QProcess::readyReadStandardError, m_process.get(),
                         [this] { m_err += m_process->readAllStandardError(); });
        m_process->start(kCompanion);
        return m_process->waitForStarted(30000);
    }
    // As a crash or a power cut would end it: no chance to write anything.
    void killHard() {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process->processId()), SIGKILL);
        m_process->waitForFinished(30000);
    }
    void stop() {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return;
        m_process->terminate();
        if (!m_process->waitForFinished(10000))
            m_process->kill();
        m_process->waitForFinished(10000);
    }
    bool running() const { return m_process && m_process->state() == QProcess::Running; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    QString err() const { return QString::fromUtf8(m_err); }

    // The windows on the screen, ordered from the right.
    QList<TimerWindow> windows() const {
        QProcess reader;
        const QString helper = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/timerWindowsAtspi.py");
        reader.start(QStringLiteral("/usr/bin/python3"), {helper, QString::number(pid())});
        QList<TimerWindow> found;
        if (!finishes(reader) || reader.exitCode() != 0)
            return found;
        for (const QByteArray &line : reader.readAllStandardOutput().split('\n')) {
            const QJsonObject window = QJsonDocument::fromJson(line).object();
            if (window.isEmpty())
                continue;
            found.append({window["title"].toString(),
                          QRect(window["x"].toInt(), window["y"].toInt(), window["width"].toInt(),
                                window["height"].toInt()),
                          window["text"].toString()});
        }
        std::sort(found.begin(), found.end(),
                  [](const TimerWindow &a, const TimerWindow &b) { return a.rect.x() > b.rect.x(); });
        return found;
    }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_err;
};

// The timer editor as a person uses it, in this process: the same pane Tindral shows.
using Editor = Pane;

} // namespace

class TestTimerRestartsEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<DistributedNotificationCenter> m_listener; // the bus as any other program hears it
    int m_turnedOn = 0;
    QList<qint64> m_doneRows;
    bool m_marked = false;

    bool startCompanion(Companion &companion) {
        const int before = m_turnedOn;
        if (!companion.start())
            return false;
        return QTest::qWaitFor([&] { return m_turnedOn > before; }, 30000);
    }
    // Everything posted before now has reached the listener.
    bool heardAllUntilNow() {
        m_marked = false;
        DistributedNotificationCenter::defaultCenter().post(QStringLiteral("TNDTestMarker"));
        return QTest::qWaitFor([&] { return m_marked; }, 30000);
    }

private Q_SLOTS:
    void initTestCase() {
        m_listener = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        m_listener->addObserver(QStringLiteral("TNDTurnedOn"),
                                [this](const Notification &) { ++m_turnedOn; });
        m_listener->addObserver(QStringLiteral("TNDDoneTimer"), [this](const Notification &note) {
            m_doneRows.append(note.userInfo.value(QStringLiteral("rowIndex")).toLongLong());
        });
        m_listener->addObserver(QStringLiteral("TNDTestMarker"),
                                [this](const Notification &) { m_marked = true; });
        QVERIFY(m_listener->waitForBus());
        QVERIFY(DistributedNotificationCenter::defaultCenter().waitForBus());
    }

    void init() {
        QFile::remove(UserDefaults::standardPath());
        m_doneRows.clear();
    }

    // Three timers; the companion is killed 2 s later and started again: the windows come back at their
    // places with the time left, give or take a second.
    void threeTimersOutliveAKill() {
        Companion companion;
        QVERIFY(startCompanion(companion));
        Editor editor;
        QVERIFY(editor.start());
        QElapsedTimer sinceAdded;
        sinceAdded.start();
        editor.addTimer(QStringLiteral("Tea"), 60);
        editor.addTimer(QStringLiteral("Soup"), 120);
        editor.addTimer(QStringLiteral("Stew"), 600, true);
        QTRY_COMPARE_WITH_TIMEOUT(companion.windows().size(), 3, 30000);

        QTest::qWait(int(std::max<qint64>(0, 2000 - sinceAdded.elapsed())));
        companion.killHard();
        QVERIFY(startCompanion(companion));
        const double before = sinceAdded.elapsed() / 1000.0;
        QList<TimerWindow> windows;
        QTRY_COMPARE_WITH_TIMEOUT((windows = companion.windows()).size(), 3, 30000);
        const double after = sinceAdded.elapsed() / 1000.0;

        const QStringList titles{"Tea", "Soup", "Stew"};
        // Real seconds to count from the adds, and IC seconds per real second.
        const double durations[] = {60.0, 120.0, 600.0 * 11.0 / 45.0};
        const double rates[] = {1.0, 1.0, 45.0 / 11.0};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(windows[i].title, titles[i]);
            QCOMPARE(windows[i].rect, QRect(placeOf(i), QSize(70, 29)));
            // A countdown shows the whole seconds still to come; read between `before` and `after`.
            const double shown = secondsOf(windows[i].text) / rates[i];
            const double highest = durations[i] - before + 1.0 + 1.0 / rates[i];
            const double lowest = durations[i] - after - 1.0 - 1.0 / rates[i];
            QVERIFY2(shown >= lowest && shown <= highest,
                     qPrintable(QStringLiteral("%1 shows %2, %3 real seconds; expected %4 to %5")
                                    .arg(titles[i], windows[i].text)
                                    .arg(shown)
                                    .arg(lowest)
                                    .arg(highest)));
        }
        // The companion started from the editor's own list: the editor has nothing to reload.
        QVERIFY(heardAllUntilNow());
        QCOMPARE(editor.controller.statusText(), QString());
    }

    // A timer whose end passes while the companion is down ends at once when it starts again, is told once,
    // and the editor marks it; an editor started again lists the same timers with their marks.
    void anEndThatPassesWhileTheCompanionIsDown() {
        Companion companion;
        QVERIFY(startCompanion(companion));
        auto editor = std::make_unique<Editor>();
        QVERIFY(editor->start());
        QElapsedTimer sinceAdded;
        sinceAdded.start();
        editor->addTimer(QStringLiteral("Egg"), 3);
        editor->addTimer(QStringLiteral("Ham"), 600);
        QTRY_COMPARE_WITH_TIMEOUT(companion.windows().size(), 2, 30000);
        companion.killHard();
        // Time passes beyond the egg's end while no companion runs.
        QTest::qWait(int(std::max<qint64>(0, 4000 - sinceAdded.elapsed())));
        QVERIFY(m_doneRows.isEmpty());

        QVERIFY(startCompanion(companion));
        QTRY_COMPARE_WITH_TIMEOUT(m_doneRows, QList<qint64>{0}, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(editor->column(2), (QStringList{kDone, ""}), 30000);
        QList<TimerWindow> windows;
        QTRY_COMPARE_WITH_TIMEOUT((windows = companion.windows()).size(), 2, 30000);
        QCOMPARE(windows[0].title, QStringLiteral("Egg"));
        QCOMPARE(windows[0].text, QStringLiteral("00:00:00"));
        QCOMPARE(windows[0].rect.topLeft(), placeOf(0));
        QVERIFY(secondsOf(windows[1].text) > 590);
        QVERIFY(heardAllUntilNow());
        QCOMPARE(m_doneRows, QList<qint64>{0});

        // The editor quits and starts again.
        editor.reset();
        Editor again;
        QVERIFY(again.start());
        QCOMPARE(again.column(0), (QStringList{"Egg", "Ham"}));
        QCOMPARE(again.column(2), (QStringList{kDone, ""}));
        // And so does the companion: the egg is done for good, and is not told again.
        companion.killHard();
        QVERIFY(startCompanion(companion));
        QTRY_COMPARE_WITH_TIMEOUT(companion.windows().size(), 1, 30000);
        QCOMPARE(companion.windows().first().title, QStringLiteral("Ham"));
        QCOMPARE(companion.windows().first().rect.topLeft(), placeOf(1));
        QVERIFY(heardAllUntilNow());
        QCOMPARE(m_doneRows, QList<qint64>{0});
    }

    // The second of three stored records cannot be read: the third is still addressed by position 2.
    void anUnreadableSecondRecordOfThree() {
        QDir().mkpath(UserDefaults::preferencesFolder());
        QVERIFY(PropertyList::writeFile(
            UserDefaults::standardPath(),
            QVariantMap{{"timerArray", QVariantList{record("A", 600, 0), QStringLiteral("not a timer"),
                                                    record("C", 600, 2)}}}));
        Companion companion;
        QVERIFY(startCompanion(companion));
        QList<TimerWindow> windows;
        QTRY_COMPARE_WITH_TIMEOUT((windows = companion.windows()).size(), 2, 30000);
        QCOMPARE(windows[0].title, QStringLiteral("A"));
        QCOMPARE(windows[1].title, QStringLiteral("C"));
        QCOMPARE(windows[1].rect.topLeft(), placeOf(2));
        QVERIFY2(companion.err().contains(QStringLiteral("\"timerArray\" entry 1 cannot be read")),
                 qPrintable(companion.err()));

        QCOMPARE(runClock({"timer", "change", "--row", "2", "--title", "C2", "--duration", "00:00:30"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(companion.windows().value(1).title, QStringLiteral("C2"), 30000);
        QCOMPARE(companion.windows().value(0).title, QStringLiteral("A"));
        QCOMPARE(runClock({"timer", "remove", "--row", "2"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(companion.windows().size(), 1, 30000);
        QCOMPARE(companion.windows().first().title, QStringLiteral("A"));
    }

    // The editor changes its timers 200 times while the companion records their ends and another program
    // sets a setting of its own 200 times, all in the same file at the same moment: no key is lost.
    void manyChangesAtOnceLoseNoKey() {
        QDir().mkpath(UserDefaults::preferencesFolder());
        QVERIFY(PropertyList::writeFile(UserDefaults::standardPath(), QVariantMap{{"icSecondsOffset", -30}}));
        Companion companion;
        QVERIFY(startCompanion(companion));
        Editor editor;
        QVERIFY(editor.start());
        QProcess writer;
        writer.start(QStringLiteral(SETTINGS_WRITER),
                     {QStringLiteral("count"), UserDefaults::standardPath(), QStringLiteral("otherCount"),
                      QStringLiteral("timerArray"), QString::number(kRounds)});
        QVERIFY(writer.waitForReadyRead(30000));
        QCOMPARE(writer.readLine().trimmed(), QByteArray("ready"));
        writer.write("go\n");
        for (int round = 0; round < kRounds; ++round) {
            // Adds until five, then changes and deletes in turn.
            editor.title->setText(QStringLiteral("T%1").arg(round));
            if (editor.table->rowCount() < 5) {
                editor.field->setTotalSeconds(600 + round);
                editor.add->click();
            } else if (round % 2 == 0) {
                editor.controller.findChild<QPushButton *>("oChange")->click();
            } else {
                editor.controller.findChild<QPushButton *>("oDelete")->click();
            }
            // The companion's side runs meanwhile.
            QCoreApplication::processEvents();
        }
        QVERIFY(writer.state() == QProcess::NotRunning || writer.waitForFinished(60000));
        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QVERIFY2(writer.exitCode() == 0, writer.readAllStandardError().constData());
        // Once the companion has dealt with every change, its ends stand for the editor's list.
        QVERIFY(heardAllUntilNow());
        const int rows = editor.table->rowCount();
        QTRY_COMPARE_WITH_TIMEOUT(companion.windows().size(), rows, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(settings().value("timerEnds").toList().size(), rows, 30000);
        const QVariantMap file = settings();
        QCOMPARE(file.value("otherCount"), QVariant(qint64(kRounds)));
        QCOMPARE(file.value("icSecondsOffset"), QVariant(qint64(-30)));
        QCOMPARE(file.value("timerArray"), QVariant(editor.controller.storedTimerArray()));
        for (const QVariant &end : file.value("timerEnds").toList())
            QCOMPARE(end.typeId(), int(QMetaType::Double));
    }

    // A timer's end gives exactly one desktop notification, titled with the timer's name; with no
    // notification server the same run passes quietly.
    void theEndIsToldOnTheDesktop() {
        // The accessibility bus first, so that the Tindral a click starts finds it at its start.
        QProcess a11y;
        a11y.start(QStringLiteral("dbus-send"), {"--session", "--print-reply", "--dest=org.a11y.Bus",
                                                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
        QVERIFY(a11y.waitForFinished(30000));
        QCOMPARE(a11y.exitCode(), 0);
        FakeNotificationServer server;
        QVERIFY(server.start());
        Companion companion;
        QVERIFY(startCompanion(companion));
        QCOMPARE(runClock({"timer", "add", "--row", "0", "--title", "Kettle", "--duration", "00:00:02"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_doneRows, QList<qint64>{0}, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(server.notices().size(), 1, 30000);
        QCOMPARE(runClock({"timer", "add", "--row", "1", "--title", "Pot", "--duration", "00:00:02"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_doneRows, (QList<qint64>{0, 1}), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(server.notices().size(), 2, 30000);
        QCOMPARE(server.notices()[0].summary, QStringLiteral("Kettle"));
        QCOMPARE(server.notices()[1].summary, QStringLiteral("Pot"));
        QCOMPARE(server.notices()[0].hints.value("sound-name").toString(), QStringLiteral("complete"));

        // A click on the notice opens Tindral on its Timers/Alerts pane.
        server.invokeAction(server.notices()[0].id, QStringLiteral("default"));
        const auto timerPaneShown = [] {
            QProcess driver;
            driver.start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/../app/timerPaneAtspi.py"),
                          QStringLiteral("controls"), QStringLiteral("Tindral")});
            return finishes(driver) && driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(timerPaneShown(), 30000);
        // The companion started it; the test ends it by its process id, known from its name on the bus.
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        const QDBusReply<uint> tindral = bus->servicePid(QStringLiteral("org.tindral.Tindral"));
        QVERIFY(tindral.isValid());
        ::kill(pid_t(tindral.value()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!bus->isServiceRegistered(QStringLiteral("org.tindral.Tindral")).value(),
                                 30000);

        server.stop();
        QCOMPARE(runClock({"timer", "add", "--row", "2", "--title", "Pan", "--duration", "00:00:02"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_doneRows, (QList<qint64>{0, 1, 2}), 30000);
        QVERIFY(heardAllUntilNow());
        QVERIFY(companion.running());
        QCOMPARE(server.notices().size(), 2);
        // Nothing said but the one line about the missing status area this test's desktop has.
        QStringList said = companion.err().split(u'\n', Qt::SkipEmptyParts);
        said.removeIf([](const QString &line) { return line.startsWith(QStringLiteral("StatusItem: ")); });
        QCOMPARE(said, QStringList());
    }
};

QTEST_MAIN(TestTimerRestartsEndToEnd)
#include "tst_timerRestartsEndToEnd.moc"
