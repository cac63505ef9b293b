// The companion's pictures as a person sees them, on a real X server: the main menu with the lunar submenu
// open, kept as pictures in the test's build folder (tst_menuPictures.lunar.png,
// tst_menuPictures.zodiac.png), and the moon a panel shows, as the file a status host loads.
#include "Bundle.h"
#include "Clock.h"
#include "TestPanelHost.h"
#include "UserDefaults.h"
#include "menuController.h"

#include "../testSupport.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QtTest>

namespace {

double luminance(QRgb pixel) {
    return 0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel);
}

// The picture as a panel of `background` colour shows it at `size` pixels.
QImage onPanel(const QImage &picture, const QColor &background, int size) {
    QImage panel(size, size, QImage::Format_RGB32);
    panel.fill(background);
    QPainter painter(&panel);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, size, size), picture);
    painter.end();
    return panel;
}

// Mean luminance of the pixels within `width` pixels inside the disc's edge, on the side `side` says (-1 the
// left half, +1 the right half, 0 all round).
double edgeLuminance(const QImage &image, double width, int side) {
    const double centre = image.width() / 2.0;
    const double radius = image.width() / 2.0;
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
            const double fromEdge = radius - std::hypot(dx, dy);
            if (fromEdge < 0.5 || fromEdge > width || dx * side < 0)
                continue;
            sum += luminance(image.pixel(x, y));
            ++count;
        }
    }
    return count ? sum / count : -1;
}

} // namespace

class TestMenuPictures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theOpenMenuShowsThePictures() {
        // Lunar day 15 of day 26 of year 640, at noon.
        Clock::setNowFunction([] { return oocAtIC(icTimeOfYearDay(640, 26, 12, 0, 0)); });
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app"));
        menuController controller;
        controller.refreshMenu();

        QMenu *menu = controller.menu();
        menu->popup(QPoint(40, 40));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const struct {
            const char *submenu;
            const char *line;
            const char *picturedItem;
            const char *file;
        } views[] = {
            {"lunarMenu", "kestmoorLunarMenu", "lunarMenuDay", "tst_menuPictures.lunar.png"},
            {"zodiacMenu", "kestmoorZodiacMenu", "zodiacMenuNextDay", "tst_menuPictures.zodiac.png"}};
        for (const auto &view : views) {
            QMenu *submenu = menu->findChild<QMenu *>(QLatin1String(view.submenu));
            QVERIFY(submenu);
            QAction *line = menu->findChild<QAction *>(QLatin1String(view.line));
            menu->setActiveAction(line);
            submenu->popup(menu->mapToGlobal(menu->actionGeometry(line).topRight()));
            QVERIFY(QTest::qWaitForWindowExposed(submenu));
            QVERIFY(!submenu->findChild<QAction *>(QLatin1String(view.picturedItem))->icon().isNull());

            const QRect area = menu->geometry().united(submenu->geometry()).adjusted(-10, -10, 10, 10);
            const QImage shot = QGuiApplication::primaryScreen()
                                    ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                                    .toImage();
            QVERIFY(!shot.isNull());
            const QString path = QStringLiteral(TINDRAL_BUILD_DIR "/tests/menu/") + QLatin1String(view.file);
            QVERIFY(shot.save(path));
            qInfo("The open menu: %s", qPrintable(path));
            submenu->close();
        }
        menu->close();
        Clock::reset();
    }

    void thePanelMoonIsTheSizeAskedForAndReadsOnAnyPanel_data() {
        QTest::addColumn<int>("yearDay");  // of year 640: lunar day (17 + yearDay) % 28
        QTest::addColumn<int>("darkSide"); // where the moon's dark limb lies: -1 left, +1 right, 0 all round

        QTest::newRow("waxing crescent, lunar day 3") << 14 << -1;
        QTest::newRow("waning crescent, lunar day 26") << 9 << 1;
        QTest::newRow("new moon, lunar day 1") << 12 << 0;
    }

    void thePanelMoonIsTheSizeAskedForAndReadsOnAnyPanel() {
        QFETCH(int, yearDay);
        QFETCH(int, darkSide);
        double now = oocAtIC(icTimeOfYearDay(640, yearDay, 12, 0, 0));
        Clock::setNowFunction([&now] { return now; });
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app"));
        TestPanelHost host;
        QVERIFY(host.startWatcher());
        {
            menuController controller;
            controller.awakeFromNib();
            QVERIFY(host.waitForItems(1));

            // The file that hosts looking the icon up by name load: as large as the 48 px the item names.
            const auto properties = host.itemProperties();
            QVERIFY(properties);
            const QString file = properties->value(QStringLiteral("IconThemePath")).toString() + u'/' +
                                 properties->value(QStringLiteral("IconName")).toString() +
                                 QStringLiteral(".png");
            const QImage picture(file);
            QVERIFY2(!picture.isNull(), qPrintable(file));
            QCOMPARE(picture.size(), QSize(48, 48));
            // The pixmaps sent along reach 48 px as well, not only the menu's 18.
            const auto pixmaps = host.iconPixmap();
            QVERIFY(pixmaps);
            QVERIFY(std::any_of(pixmaps->cbegin(), pixmaps->cend(), [](const TestPanelHost::Picture &p) {
                return p.width == 48 && p.height == 48;
            }));

            // A panel of 24 px. On a dark one (luminance 43) the dark limb shows a light rim; on a light one
            // (240) the moon's dark disc and its dark edge stand out.
            const QImage dark = onPanel(picture, QColor(0x2b, 0x2b, 0x2b), 24);
            const QImage light = onPanel(picture, QColor(0xf0, 0xf0, 0xf0), 24);
            const QString shots =
                QStringLiteral(TINDRAL_BUILD_DIR "/tests/menu/tst_menuPictures.panel-%1-%2.png");
            QVERIFY(dark.scaled(96, 96).save(shots.arg(yearDay).arg(QStringLiteral("dark"))));
            QVERIFY(light.scaled(96, 96).save(shots.arg(yearDay).arg(QStringLiteral("light"))));
            const double rimOnDark = edgeLuminance(dark, 2.0, darkSide);
            QVERIFY2(rimOnDark >= 110, qPrintable(QString::number(rimOnDark)));
            const double centreOnLight = luminance(light.pixel(12, 12));
            QVERIFY2(centreOnLight <= 80, qPrintable(QString::number(centreOnLight)));
            const double edgeOnLight = edgeLuminance(light, 1.0, 0);
            QVERIFY2(edgeOnLight <= 200, qPrintable(QString::number(edgeOnLight)));
        }
        Clock::reset();
    }
};

QTEST_MAIN(TestMenuPictures)
#include "tst_menuPictures.moc"
