// The real Tindral on a real session bus and X server, read through AT-SPI as a screen reader meets it: its
// toolbar and menus, each pane chosen from the toolbar, a second start that brings the running window
// forward, and the companion started by the setting and left running when Tindral quits. Pictures of the
// screen with each pane are kept in the build tree.
#include "DistributedNotificationCenter.h"
#include "UserDefaults.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

const QString kTindral = QStringLiteral(TINDRAL_BUNDLE_DIR "/Tindral");
const QString kReader = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/atspiWindow.py");
const QString kScreenshots = QStringLiteral(TINDRAL_BUILD_DIR "/tests/app/screenshots");
const QString kTindralName = QStringLiteral("org.tindral.Tindral");
const QString kCompanionName = QStringLiteral("org.tindral.TindralMenu");

// The program's accessible objects, one "depth|role|name|states" line each; pressing the push button
// `press` first when it is given.
QStringList readWindow(qint64 pid, const QString &press = {}) {
    QProcess reader;
    QStringList arguments{kReader, QString::number(pid)};
    if (!press.isEmpty())
        arguments << QStringLiteral("press") << press;
    reader.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!reader.waitForFinished(60000) || reader.exitCode() != 0) {
        qWarning("AT-SPI reader: %s", reader.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The lines with this role and name, without their depth.
QStringList objects(const QStringList &lines, const QString &role, const QString &name) {
    QStringList found;
    for (const QString &line : lines) {
        const QStringList parts = line.split(QLatin1Char('|'));
        if (parts.size() == 4 && parts[1] == role && parts[2] == name)
            found << parts[3];
    }
    return found;
}

// Top-level windows of class Tindral on the X server.
int tindralWindows() {
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    if (!info.waitForFinished(20000))
        return -1;
    return QString::fromUtf8(info.readAllStandardOutput()).count(QStringLiteral("(\"Tindral\" \"Tindral\")"));
}

void screenshot(const QString &name) {
    QDir().mkpath(kScreenshots);
    const QString file = kScreenshots + QStringLiteral("/screen-") + name + QStringLiteral(".png");
    QProcess shot;
    shot.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file});
    QVERIFY(shot.waitForFinished(30000));
    QCOMPARE(shot.exitCode(), 0);
}

// The pane's date line for this moment as the command-line clock sees the day: the weekday, any IC clock
// text, then the day of the season and of the year.
QRegularExpression expectedDateLine() {
    QProcess clock;
    clock.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), {QStringLiteral("--json")});
    if (!clock.waitForFinished(30000))
        return QRegularExpression(QStringLiteral("^(?!)"));
    const QJsonObject fields = QJsonDocument::fromJson(clock.readAllStandardOutput()).object();
    return QRegularExpression(
        QStringLiteral("^%1 [0-9:]+.*, day %2 of %3, day %4 of the year %5$")
            .arg(QRegularExpression::escape(fields.value(QStringLiteral("kestmoorWeekday")).toString()))
            .arg(fields.value(QStringLiteral("kestmoorMonthDay")).toInt())
            .arg(QRegularExpression::escape(fields.value(QStringLiteral("kestmoorSeason")).toString()))
            .arg(fields.value(QStringLiteral("kestmoorYearDay")).toInt())
            .arg(fields.value(QStringLiteral("kestmoorYear")).toInt()));
}

bool onTheBus(const QString &name) {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

} // namespace

class TestTindralEndToEnd : public QObject {
    Q_OBJECT

private:
    QProcess m_tindral;
    std::unique_ptr<DistributedNotificationCenter> m_listener;
    QStringList m_heard;

    void startTindral() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        m_tindral.setProcessEnvironment(environment);
        m_tindral.setProcessChannelMode(QProcess::ForwardedChannels);
        m_tindral.start(kTindral);
        QVERIFY(m_tindral.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(onTheBus(kTindralName), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(tindralWindows(), 1, 20000);
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void initTestCase() {
        m_listener = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        m_listener->addObserver({}, [this](const Notification &note) { m_heard.append(note.name); });
        QVERIFY(m_listener->waitForBus());
        startTindral();
    }

    void theWindowReadsAsAPersonMeetsIt() {
        const QStringList lines = readWindow(m_tindral.processId());
        QCOMPARE(objects(lines, "frame", "Tindral").size(), 1);
        for (const char *item : {"Date/Time", "Calendar", "Timers/Alerts", "Conversion"}) {
            const QStringList buttons = objects(lines, "push button", item);
            QCOMPARE(buttons.size(), 1);
            QVERIFY(buttons[0].contains("enabled") && buttons[0].contains("showing"));
        }
        for (const char *entry :
             {"About Tindral", "Preferences\u2026", "Quit Tindral", "Customize Toolbar\u2026"})
            QCOMPARE(objects(lines, "menu item", QString::fromUtf8(entry)).size(), 1);
        // The Date/Time pane shows this moment's date: the same day the command-line clock names.
        QStringList dateLines;
        for (const QString &line : lines)
            if (line.contains(QLatin1String("|label|")) && line.contains(QLatin1String(" of the year ")))
                dateLines << line.section(QLatin1Char('|'), 2, 2);
        QCOMPARE(dateLines.size(), 1);
        QVERIFY2(expectedDateLine().match(dateLines[0]).hasMatch(), qPrintable(dateLines[0]));
        // No companion was asked for: the settings file says nothing.
        QVERIFY(!onTheBus(kCompanionName));
        screenshot(QStringLiteral("dateTime"));
    }

    void eachPaneFromTheToolbar_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("shown"); // an object of the pane
        QTest::newRow("Calendar")
            << "Calendar"
            << "label"
            << "This pane will hold Kestmoor's calendar: the seasons, the weeks and the days "
               "of the year, with the full moons and the Coliseum's openings marked.";
        QTest::newRow("Timers/Alerts") << "Timers/Alerts"
                                       << "table"
                                       << "Timers";
        QTest::newRow("Conversion")
            << "Conversion"
            << "label"
            << "This pane will hold conversions between in-character and out-of-character "
               "time: a moment or a length of time given in one, shown in the other.";
        QTest::newRow("Date/Time") << "Date/Time"
                                   << "label"
                                   << "Tomorrow";
    }
    void eachPaneFromTheToolbar() {
        QFETCH(QString, item);
        QFETCH(QString, role);
        QFETCH(QString, shown);
        QStringList lines = readWindow(m_tindral.processId(), item);
        QVERIFY(!lines.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(objects(readWindow(m_tindral.processId()), role, shown).size(), 1, 20000);
        screenshot(QString(item).replace(QLatin1Char('/'), QLatin1Char('-')));
    }

    void aSecondStartBringsTheRunningWindowForward() {
        // With no window manager on this X server nothing has made the window active so far.
        QVERIFY(!objects(readWindow(m_tindral.processId()), "frame", "Tindral").value(0).contains("active"));
        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(kTindral);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(m_tindral.state(), QProcess::Running);
        QCOMPARE(tindralWindows(), 1);
        // The running window was asked forward: it is the active window now.
        QTRY_VERIFY_WITH_TIMEOUT(
            objects(readWindow(m_tindral.processId()), "frame", "Tindral").value(0).contains("active"),
            20000);
    }

    void theCompanionStartsWithTheSettingAndOutlivesTindral() {
        m_tindral.terminate();
        QVERIFY(m_tindral.waitForFinished(20000));
        QCOMPARE(m_tindral.exitCode(), 0);
        UserDefaults::standardUserDefaults().setIntegerForKey(1, QStringLiteral("showTindralMenu"));
        startTindral();
        QTRY_VERIFY_WITH_TIMEOUT(m_heard.contains(QStringLiteral("TNDTurnedOn")), 20000);
        QVERIFY(onTheBus(kCompanionName));
        // Tindral quits; the companion stays.
        m_tindral.terminate();
        QVERIFY(m_tindral.waitForFinished(20000));
        QCOMPARE(m_tindral.exitCode(), 0);
        QVERIFY(!m_heard.contains(QStringLiteral("TNDWentAway")));
        QVERIFY(onTheBus(kCompanionName));
    }

    void cleanupTestCase() {
        if (m_tindral.state() != QProcess::NotRunning) {
            m_tindral.terminate();
            m_tindral.waitForFinished(10000);
        }
        // The companion this test had started.
        const QDBusReply<uint> companion =
            QDBusConnection::sessionBus().interface()->servicePid(kCompanionName);
        if (companion.isValid() && companion.value() > 0)
            ::kill(pid_t(companion.value()), SIGTERM);
    }
};

QTEST_GUILESS_MAIN(TestTindralEndToEnd)
#include "tst_TindralEndToEnd.moc"
