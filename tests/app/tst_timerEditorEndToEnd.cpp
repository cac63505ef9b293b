// A timer from end to end, the way a player makes one: the real Tindral and the real companion on a real
// session bus and X server; the Timers/Alerts pane is chosen from the toolbar and filled in through AT-SPI;
// the companion's window appears in the first row, and when it ends the editor's row shows the check mark.
// A picture of the screen with the finished row is kept in the build tree.
#include "DistributedNotificationCenter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <memory>

namespace {

const QString kTindral = QStringLiteral(TINDRAL_BUNDLE_DIR "/Tindral");
const QString kCompanion = QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app/TindralMenu");
const QString kWindowReader = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/atspiWindow.py");
const QString kPaneDriver = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/timerPaneAtspi.py");
const QString kScreenshots = QStringLiteral(TINDRAL_BUILD_DIR "/tests/app/screenshots");

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// The X server's windows with their places, as "WxH+X+Y" among other words.
QString windowTree() {
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}).out;
}

// A process of the test's own, ended when the test ends.
struct Program {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    ~Program() {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(10000);
        }
    }
};

} // namespace

class TestTimerEditorEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aTimerMadeInTheEditorRunsInTheCompanionAndComesBackDone() {
        // The accessibility bus first, so that Tindral finds it at its start.
        QCOMPARE(run(QStringLiteral("dbus-send"),
                     {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                      QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                      QStringLiteral("org.a11y.Bus.GetAddress")})
                     .status,
                 0);

        DistributedNotificationCenter listener(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        QList<Notification> heard;
        listener.addObserver({}, [&heard](const Notification &note) { heard.append(note); });
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
        const Run choose = run(QStringLiteral("/usr/bin/python3"),
                               {kWindowReader, QString::number(tindral.process->processId()),
                                QStringLiteral("press"), QStringLiteral("Timers/Alerts")});
        QVERIFY2(choose.status == 0, qPrintable(choose.err));

        const auto add = [&] {
            return run(QStringLiteral("/usr/bin/python3"),
                       {kPaneDriver, QStringLiteral("add"), QStringLiteral("Tindral"), QStringLiteral("Tea"),
                        QStringLiteral("3")});
        };
        // The pane comes in after its animated resize; the driver finds it once it is there.
        QTRY_COMPARE_WITH_TIMEOUT(add().status, 0, 20000);
        QElapsedTimer sinceAdded;
        sinceAdded.start();

        QTRY_COMPARE_WITH_TIMEOUT(count("TNDAddTimer"), 1, 20000);
        const QVariantMap record = heard.at(heard.size() - 1).userInfo;
        QCOMPARE(record.value(QStringLiteral("title")), QVariant(QStringLiteral("Tea")));
        QCOMPARE(record.value(QStringLiteral("time")), QVariant(QStringLiteral("00:00:03")));
        QCOMPARE(record.value(QStringLiteral("rowIndex")).toLongLong(), 0);

        // The first row's window: 70 x 29, its right edge 3 points from the screen's, 24 points from the top.
        QTRY_VERIFY_WITH_TIMEOUT(windowTree().contains(QLatin1String("70x29+1207+24")), 10000);

        QTRY_COMPARE_WITH_TIMEOUT(count("TNDDoneTimer"), 1, 15000);
        QVERIFY2(sinceAdded.elapsed() >= 2900, qPrintable(QString::number(sinceAdded.elapsed())));
        const auto cell = [] {
            return run(QStringLiteral("/usr/bin/python3"),
                       {kPaneDriver, QStringLiteral("cell"), QStringLiteral("Tindral"), QStringLiteral("0"),
                        QStringLiteral("Done")})
                .out.trimmed();
        };
        QTRY_COMPARE_WITH_TIMEOUT(cell(), QStringLiteral("\u221A"), 10000);

        QDir().mkpath(kScreenshots);
        const Run shot = run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                        kScreenshots + QStringLiteral("/screen-timerDone.png")});
        QCOMPARE(shot.status, 0);
    }
};

QTEST_GUILESS_MAIN(TestTimerEditorEndToEnd)
#include "tst_timerEditorEndToEnd.moc"
