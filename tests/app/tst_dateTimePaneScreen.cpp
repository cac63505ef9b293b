// The Date/Time pane as people meet it, on a real X server with a real session bus: read through AT-SPI as a
// screen reader reads it (readAccessibleTree.py), and photographed in a light and a dark palette
// (tst_dateTimePaneScreen.light.png and .dark.png in this test's build folder).
#include "Bundle.h"
#include "Clock.h"
#include "UserDefaults.h"
#include "dateTimeController.h"

#include "../fileSupport.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QtTest>

namespace {

double luminance(QRgb pixel) {
    return 0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel);
}

// The lightest and darkest pixel inside `area` of `image`.
std::pair<double, double> luminanceRange(const QImage &image, const QRect &area) {
    double lightest = 0, darkest = 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const double l = luminance(image.pixel(x, y));
            lightest = std::max(lightest, l);
            darkest = std::min(darkest, l);
        }
    }
    return {lightest, darkest};
}

QPalette darkPalette() {
    QPalette palette;
    const QColor window(45, 45, 48), text(230, 230, 230), base(30, 30, 32), button(60, 60, 64);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Light, QColor(90, 90, 96));
    palette.setColor(QPalette::Midlight, QColor(75, 75, 80));
    palette.setColor(QPalette::Mid, QColor(40, 40, 42));
    palette.setColor(QPalette::Dark, QColor(20, 20, 22));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

} // namespace

class TestDateTimePaneScreen : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<dateTimeController> m_pane;

    QImage photograph(const char *file) {
        QCoreApplication::processEvents();
        const QRect area = m_pane->frameGeometry();
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
        const QString path = QStringLiteral(TINDRAL_BUILD_DIR "/tests/app/") + QLatin1String(file);
        if (!shot.save(path))
            qWarning("cannot save %s", qPrintable(path));
        qInfo("The pane: %s", qPrintable(path));
        return shot;
    }

    // Where a label lies in a photograph of the whole window.
    QRect inPhotograph(const char *name) const {
        const auto *label = m_pane->findChild<QLabel *>(QLatin1String(name));
        const QPoint topLeft = label->mapTo(m_pane.get(), QPoint(0, 0)) +
                               (m_pane->geometry().topLeft() - m_pane->frameGeometry().topLeft());
        return QRect(topLeft, label->size());
    }

private Q_SLOTS:
    void initTestCase() {
        // The worked example's moment: IC 09:26:38 on day 110 of year 543, lunar day 11, sign 10.
        Clock::setNowFunction([] { return 1000000000.0; });
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR));
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setVolatileValue(QStringLiteral("NSTimeFormatString"), QStringLiteral("%H:%M:%S"));
        defaults.setVolatileValue(QStringLiteral("NSShortDateFormatString"), QStringLiteral("%m/%d/%y"));
        QVERIFY(QDir().mkpath(UserDefaults::preferencesFolder()));
        writeBytes(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"),
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                   "<key>DisplaySeconds</key><true/><key>AppendAMPM</key><false/><key>ShowDay</key><false/>"
                   "</dict></plist>");

        m_pane = std::make_unique<dateTimeController>();
        m_pane->awakeFromNib();
        m_pane->move(40, 40);
        m_pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
    }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void cleanupTestCase() {
        m_pane.reset();
        Clock::reset();
    }

    void aScreenReaderReadsEveryTextAndPicture() {
        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/readAccessibleTree.py"),
                      QString::number(QCoreApplication::applicationPid()), QStringLiteral("20")});
        QVERIFY(reader.waitForStarted());
        // The reader's questions are answered by this program's event loop: keep it running meanwhile.
        QSignalSpy finished(&reader, &QProcess::finished);
        QVERIFY(finished.wait(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());

        // A text is a "label"; a picture is an "image" named by what it shows.
        QStringList read; // "role: name"
        int unnamed = 0;
        for (const QByteArray &line : reader.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject node = QJsonDocument::fromJson(line).object();
            const QString role = node.value(QStringLiteral("role")).toString();
            const QString name = node.value(QStringLiteral("name")).toString();
            if (role != QStringLiteral("label") && role != QStringLiteral("image"))
                continue;
            read.append(role + QStringLiteral(": ") + name);
            if (name.isEmpty())
                ++unnamed;
        }
        QVERIFY2(
            unnamed == 0,
            qPrintable(
                QStringLiteral("%1 without a name: %2").arg(unnamed).arg(read.join(QStringLiteral(" | ")))));
        for (const char *expected : {
                 "label: Jorvac 09:26:38, day 20 of Spring, day 110 of the year 543",
                 "image: Sunrise and sunset",
                 "label: The Sun rose at 05:20:00 (09/09/01 00:46:22)",
                 "label: The Sun will set at 18:40:00 (09/09/01 04:01:56)",
                 "label: The Sun will rise at 05:18:00 (09/09/01 06:37:53)",
                 "label: Next Sunset will be at 18:42:00 (09/09/01 09:54:25)",
                 "image: Mott the Rat",
                 "image: Constellation of Mott the Rat",
                 "label: Day 15 of Mott the Rat",
                 "image: Quillon The Cat",
                 "image: Constellation of Quillon The Cat",
                 "label: Quillon The Cat rises in 14 days",
                 "image: Waxing Gibbous moon, day 11",
                 "label: Day 11",
                 "label: Waxing Gibbous",
                 "label: Next Full Moon:",
                 "label: Starts at: 09/09/01 22:56:09",
                 "label: Noon is at: 09/10/01 01:52:09",
                 "label: Full Moon After Next:",
                 "label: Ends at: 09/17/01 01:04:09",
                 "label: Coliseum opens at 09/09/01 21:42:49",
             })
            QVERIFY2(read.contains(QString::fromUtf8(expected)),
                     qPrintable(QStringLiteral("not read: \"%1\"; read: %2")
                                    .arg(QString::fromUtf8(expected), read.join(QStringLiteral(" | ")))));
    }

    void thePaneFollowsALightAndADarkPalette_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void thePaneFollowsALightAndADarkPalette() {
        QFETCH(bool, dark);
        const QPalette palette = dark ? darkPalette() : QApplication::style()->standardPalette();
        QApplication::setPalette(palette);
        QTRY_COMPARE(m_pane->palette().color(QPalette::Window), palette.color(QPalette::Window));
        m_pane->repaint();
        const QImage shot =
            photograph(dark ? "tst_dateTimePaneScreen.dark.png" : "tst_dateTimePaneScreen.light.png");
        QVERIFY(!shot.isNull());

        // The date line's own background and its letters stand apart in the palette's direction.
        const auto [lightest, darkest] = luminanceRange(shot, inPhotograph("dateTimeString"));
        const double background = luminance(shot.pixel(inPhotograph("dateTimeString").bottomRight()));
        if (dark) {
            QVERIFY2(background < 80, qPrintable(QString::number(background)));
            QVERIFY2(lightest > 180, qPrintable(QString::number(lightest)));
        } else {
            QVERIFY2(background > 180, qPrintable(QString::number(background)));
            QVERIFY2(darkest < 80, qPrintable(QString::number(darkest)));
        }
    }
};

int main(int argc, char **argv) {
    // Qt speaks AT-SPI only when asked to, or when a desktop says a screen reader is running.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication application(argc, argv);
    TestDateTimePaneScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dateTimePaneScreen.moc"
