// The companion's timer windows from the outside: the command line adds a timer on a real session bus, a
// window appears on a real X server, and the main application's side hears "TNDDoneTimer" when it ends.
#include "../processSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

const QColor kColour(0x20, 0x80, 0xc0);

int runClock(const QStringList &arguments, QString *err) {
    QProcess process;
    process.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), arguments);
    if (!process.waitForFinished(30000))
        return -1;
    *err = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QImage grab(const QRect &rect) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// A window drawn the way a timer window is meant to look, for comparing pixels.
std::unique_ptr<QWidget> referenceWindow(const QString &text, const QPoint &place) {
    auto window = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, kColour);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->setGeometry(QRect(place, QSize(70, 29)));
    auto *label = new QLabel(text, window.get());
    label->setGeometry(6, 6, 58, 17);
    window->show();
    return window;
}

} // namespace

class TestTimerWindowsEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aTimerFromTheCommandLineRunsInTheCompanion() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(screen.size(), QSize(1280, 800));

        Program listener;
        listener.process->start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"),
                                {"listen", "TNDTurnedOn", "TNDDoneTimer"});
        QByteArray listenerSays;
        QTRY_VERIFY_WITH_TIMEOUT(
            (listenerSays += listener.process->readAllStandardError()).contains("listening"), 30000);

        // The companion says "TNDTurnedOn" once it hears the timer notifications.
        Program companion;
        companion.process->start(QStringLiteral(TIMER_COMPANION));
        QVERIFY(companion.process->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(listener.process->canReadLine(), 30000);
        QCOMPARE(QJsonDocument::fromJson(listener.process->readLine()).object().value("name").toString(),
                 QStringLiteral("TNDTurnedOn"));

        QElapsedTimer sinceAdded;
        sinceAdded.start();
        QString err;
        QCOMPARE(runClock({"timer", "add", "--row", "0", "--title", "Tea", "--duration", "00:00:03",
                           "--color", "#2080c0", "--transparency", "1"},
                          &err),
                 0);
        QCOMPARE(err, QString());

        // The first row: right edge 3 points from the screen's, top 24 points below its top.
        const QRect expected(screen.right() + 1 - 3 - 70, screen.top() + 24, 70, 29);
        QTRY_COMPARE_WITH_TIMEOUT(grab(expected).pixelColor(1, 1), kColour, 10000);
        const QImage shown = grab(expected);
        QCOMPARE(shown.pixelColor(68, 27), kColour);
        QCOMPARE(shown.pixelColor(68, 1), kColour);
        QCOMPARE(shown.pixelColor(1, 27), kColour);
        const QImage around = grab(expected.adjusted(-1, -1, 1, 1));
        QVERIFY(around.pixelColor(0, 0) != kColour);
        QVERIFY(around.pixelColor(71, 30) != kColour);

        QTRY_VERIFY_WITH_TIMEOUT(listener.process->canReadLine(), 15000);
        const qint64 heardAfter = sinceAdded.elapsed();
        const QJsonObject done = QJsonDocument::fromJson(listener.process->readLine()).object();
        QCOMPARE(done.value(QStringLiteral("name")).toString(), QStringLiteral("TNDDoneTimer"));
        QCOMPARE(done.value(QStringLiteral("userInfo")).toObject(),
                 (QJsonObject{{QStringLiteral("rowIndex"), 0}}));
        // A three-second timer does not end before its time.
        QVERIFY2(heardAfter >= 2900, qPrintable(QStringLiteral("heard after %1 ms").arg(heardAfter)));

        // The window stays, showing 00:00:00: the same pixels as a window drawn with that text.
        const auto ended = referenceWindow(QStringLiteral("00:00:00"), QPoint(100, 100));
        const auto running = referenceWindow(QStringLiteral("00:00:01"), QPoint(100, 200));
        QTRY_COMPARE_WITH_TIMEOUT(grab(QRect(100, 100, 70, 29)),
                                  ended->grab().toImage().convertToFormat(QImage::Format_RGB32), 10000);
        QVERIFY(grab(QRect(100, 200, 70, 29)) != grab(QRect(100, 100, 70, 29)));
        QTRY_COMPARE_WITH_TIMEOUT(grab(expected), grab(QRect(100, 100, 70, 29)), 10000);
    }
};

QTEST_MAIN(TestTimerWindowsEndToEnd)
#include "tst_timerWindowsEndToEnd.moc"
