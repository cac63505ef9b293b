// A timer from end to end, the way a player makes one (an IC timer, the editor's default): the real Tindral and the real companion on a real
// session bus and X server; the Timers/Alerts pane is chosen from the toolbar and filled in through AT-SPI;
// the companion's window appears in the first row, and when it ends the editor's row shows the check mark.
// A picture of the screen with the finished row is kept in the build tree.
#include "DistributedNotificationCenter.h"
#include "../processSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QTest>

#include <memory>

namespace {

const QString kTindral = QStringLiteral(TINDRAL_BUNDLE_DIR "/Tindral");
const QString kCompanion = QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app/TindralMenu");
const QString kWindowReader = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/atspiWindow.py");
const QString kPaneDriver = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/timerPaneAtspi.py");
const QString kScreenshots = QStringLiteral(TINDRAL_BUILD_DIR "/tests/app/screenshots");

// The X server's windows with their places, as "WxH+X+Y" among other words.
QString windowTree() {
    return runProgram(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}).out;
}

} // namespace

class TestTimerEditorEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aTimerMadeInTheEditorRunsInTheCompanionAndComesBackDone() {
        // The accessibility bus first, so that Tindral finds it at its start.
        QCOMPARE(runProgram(QStringLiteral("dbus-send"),
                     {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                      QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                      QStringLiteral("org.a11y.Bus.GetAddress")})
                     .status,
                 0);

        DistributedNotificationCenter listener(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        QList<Notification> heard;
        QElapsedTimer clock;
        clock.start();
        QHash<QString, qint64> heardAt; // the last time each name was heard, in ms
        listener.addObserver({}, [&](const Notification &note) {
            heard.append(note);
            heardAt[note.name] = clock.elapsed();
        });
        QVERIFY(listener.waitForBus());
        const auto count = [&heard](const char *name) {
            return std::count_if(heard.cbegin(), heard.cend(),
                                 [name](const Notification &note) { return note.name == QLatin1String(name); });
        };

        Program companion;
        companion.process->setProcessChannelMode(QProcess::ForwardedChannels);
        companion.process->start(kCompanion);
        QVERIFY(companion.process->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(count("TNDTurnedOn"), 1, 30000);

        Program tindral;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        tindral.process->setProcessEnvironment(environment);
        tindral.process->setProcessChannelMode(QProcess::ForwardedChannels);
        tindral.process->start(kTindral);
        QVERIFY(tindral.process->waitForStarted());

        // The Timers/Alerts pane, chosen from the toolbar as a screen reader's user does.
        const ProgramRun choose = runProgram(QStringLiteral("/usr/bin/python3"),
                               {kWindowReader, QString::number(tindral.process->processId()),
                                QStringLiteral("press"), QStringLiteral("Timers/Alerts")});
        QVERIFY2(choose.status == 0, qPrintable(choose.err));

        const auto driver = [](const QStringList &arguments) {
            return runProgram(QStringLiteral("/usr/bin/python3"), QStringList{kPaneDriver} + arguments);
        };
        // The pane comes in after its animated resize: the driver reads its controls once it is there.
        QTRY_COMPARE_WITH_TIMEOUT(driver({QStringLiteral("controls"), QStringLiteral("Tindral")}).status, 0, 20000);
        const ProgramRun add = driver({QStringLiteral("add"), QStringLiteral("Tindral"), QStringLiteral("Tea"),
                                QStringLiteral("3")});
        QVERIFY2(add.status == 0, qPrintable(add.err));

        QTRY_COMPARE_WITH_TIMEOUT(count("TNDAddTimer"), 1, 20000);
        const QVariantMap record = heard.at(heard.size() - 1).userInfo;
        QCOMPARE(record.value(QStringLiteral("title")), QVariant(QStringLiteral("Tea")));
        QCOMPARE(record.value(QStringLiteral("time")), QVariant(QStringLiteral("00:00:03")));
        QCOMPARE(record.value(QStringLiteral("rowIndex")).toLongLong(), 0);
        QCOMPARE(record.value(QStringLiteral("ic")), QVariant(true));

        // The first row's window: 70 x 29, its right edge 3 points from the screen's, 24 points from the top.
        QTRY_VERIFY_WITH_TIMEOUT(windowTree().contains(QLatin1String("70x29+1207+24")), 10000);

        QTRY_COMPARE_WITH_TIMEOUT(count("TNDDoneTimer"), 1, 15000);
        // The editor's timers count IC time unless told otherwise: three IC seconds are 3 * 11/45 = 0.73 real
        // seconds, and the companion's one-second tick ends the timer; never before its time.
        const qint64 ran = heardAt.value(QStringLiteral("TNDDoneTimer")) - heardAt.value(QStringLiteral("TNDAddTimer"));
        QVERIFY2(ran >= 700, qPrintable(QString::number(ran)));
        const auto cell = [&driver] {
            return driver({QStringLiteral("cell"), QStringLiteral("Tindral"), QStringLiteral("0"),
                           QStringLiteral("Done")})
                .out.trimmed();
        };
        QTRY_COMPARE_WITH_TIMEOUT(cell(), QStringLiteral("\u221A"), 10000);
        QCOMPARE(count("TNDAddTimer"), 1);

        QDir().mkpath(kScreenshots);
        const ProgramRun shot = runProgram(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                        kScreenshots + QStringLiteral("/screen-timerDone.png")});
        QCOMPARE(shot.status, 0);
    }
};

QTEST_GUILESS_MAIN(TestTimerEditorEndToEnd)
#include "tst_timerEditorEndToEnd.moc"
