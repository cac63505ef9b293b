#include "DistributedNotificationCenter.h"
#include "timerController.h"

#include <QApplication>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

#include <cstdlib>

namespace {

const QString kDone = QString(QChar(0x221A)); // √

struct ScriptRun {
    int status = -1;
    QString out;
    QString err;
};

// The AT-SPI helper, run while this program's event loop answers its questions.
ScriptRun runHelper(const QStringList &arguments) {
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral("/usr/bin/python3"),
                  QStringList{QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/timerPaneAtspi.py")} + arguments);
    ScriptRun run;
    if (!finished.wait(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

// The pane read and driven through the accessibility bus, as a screen reader sees it.
class TestTimerPaneAccessibility : public QObject {
    Q_OBJECT

    QString m_app;

private Q_SLOTS:
    void initTestCase() { m_app = QCoreApplication::applicationName(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void everyControlHasARoleAndAName() {
        timerController pane;
        pane.awakeFromNib();
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        const ScriptRun run = runHelper({QStringLiteral("controls"), m_app});
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QCOMPARE(run.status, 0);
        const QStringList expected{
            "table\tTimers\tOne row per timer. Delete or Backspace removes the selected timer.",
            "label\tTitle\t",
            "text\tTitle\tReturn adds a timer, or changes the selected one",
            "label\tDuration\t",
            "filler\tDuration\t00:00:00, nothing selected",
            "spin button\tStep the duration\tUp and Down change the selected part of the duration by one",
            "filler\tTime kind\t",
            "radio button\tIC time\tIn-game (IC) time: the countdown runs 45/11 times as fast as real time",
            "radio button\tOOC time\tReal (OOC) time",
            "label\tColour\t",
            "push button\tWindow colour\t#ffffff, opacity 0.7",
            "label\tOpacity\t",
            "slider\tWindow opacity\tFrom invisible (0.0) to opaque (1.0)",
            "label\tStatus\t",
            "push button\tAdd\t",
            "push button\tChange\t",
            "push button\tDelete\t",
        };
        QCOMPARE(run.out.split(u'\n', Qt::SkipEmptyParts), expected);
    }

    void aTimerAddedThroughTheBusShowsItsCheckMark() {
        timerController pane;
        pane.awakeFromNib();
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QVERIFY(DistributedNotificationCenter::defaultCenter().waitForBus());

        const ScriptRun added =
            runHelper({QStringLiteral("add"), m_app, QStringLiteral("Tea"), QStringLiteral("3")});
        QVERIFY2(added.err.isEmpty(), qPrintable(added.err));
        QCOMPARE(added.status, 0);
        // A pressed button clicks a moment later, as it shows itself pressed first.
        QTRY_COMPARE(pane.timerArray().size(), 1);
        QCOMPARE(pane.timerArray()[0].value("title"), QVariant("Tea"));
        QCOMPARE(pane.timerArray()[0].value("time"), QVariant("00:00:03"));
        QCOMPARE(pane.timerArray()[0].value("totalSeconds"), QVariant("3"));

        const ScriptRun time =
            runHelper({QStringLiteral("cell"), m_app, QStringLiteral("0"), QStringLiteral("Time")});
        QVERIFY2(time.err.isEmpty(), qPrintable(time.err));
        QCOMPARE(time.out, QStringLiteral("00:00:03\n"));

        DistributedNotificationCenter::defaultCenter().post("TNDDoneTimer", {{"rowIndex", qint64(0)}});
        QTRY_COMPARE(pane.timerArray()[0].value("done"), QVariant(kDone));
        const ScriptRun cell =
            runHelper({QStringLiteral("cell"), m_app, QStringLiteral("0"), QStringLiteral("Done")});
        QVERIFY2(cell.err.isEmpty(), qPrintable(cell.err));
        QCOMPARE(cell.out, kDone + u'\n');
        QVERIFY(pane.grab().save(QCoreApplication::applicationDirPath() + "/timerAlertPane-done.png"));
    }
};

// Qt joins the accessibility bus at start only if it is there: start it before the application.
int main(int argc, char **argv) {
    if (std::system("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus "
                    "org.a11y.Bus.GetAddress > /dev/null") != 0)
        return 1;
    QApplication app(argc, argv);
    TestTimerPaneAccessibility test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_timerPaneAccessibility.moc"
