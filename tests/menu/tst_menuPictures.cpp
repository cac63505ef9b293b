// The companion's menu as a person sees it, on a real X server: the main menu with the lunar submenu open,
// kept as pictures in the test's build folder (tst_menuPictures.lunar.png, tst_menuPictures.zodiac.png).
#include "Bundle.h"
#include "Clock.h"
#include "UserDefaults.h"
#include "menuController.h"

#include "../testSupport.h"

#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QtTest>

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
};

QTEST_MAIN(TestMenuPictures)
#include "tst_menuPictures.moc"
