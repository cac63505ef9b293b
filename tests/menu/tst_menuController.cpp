#include "AlertPanel.h"
#include "Bundle.h"
#include "Clock.h"
#include "DistributedNotificationCenter.h"
#include "PropertyList.h"
#include "StatusItem.h"
#include "TestPanelHost.h"
#include "UserDefaults.h"
#include "menuController.h"

#include "../fileSupport.h"
#include "../testSupport.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr int kYear = 640;

} // namespace

class TestMenuController : public QObject {
    Q_OBJECT

private:
    double m_now = 1000000000.0;
    std::unique_ptr<TestPanelHost> m_host;
    std::unique_ptr<menuController> m_controller;
    QList<AlertPanel::Alert> m_alerts;

    std::optional<TestPanelHost::MenuEntry> openMenu() {
        // A host asks before it shows the menu; the answer says whether to fetch it again.
        if (!m_host->aboutToShow({}, 0))
            return std::nullopt;
        return m_host->menuLayout();
    }

    static QStringList texts(const TestPanelHost::MenuEntry &entry) { return entry.childTexts(); }

private Q_SLOTS:
    void initTestCase() {
        Clock::setNowFunction([this] { return m_now; });
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app"));
        AlertPanel::setAnswerer([this](const AlertPanel::Alert &alert) {
            m_alerts.append(alert);
            return 1;
        });
        // The user's formats come from the command-line domain here, so that no settings file exists.
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setVolatileValue(QStringLiteral("NSTimeFormatString"), QStringLiteral("%H:%M"));
        defaults.setVolatileValue(QStringLiteral("NSShortDateFormatString"), QStringLiteral("%m/%d/%y"));
        QVERIFY(QDir().mkpath(UserDefaults::preferencesFolder()));
        writeBytes(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"),
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                   "<key>DisplaySeconds</key><false/><key>AppendAMPM</key><false/><key>ShowDay</key><false/>"
                   "</dict></plist>");

        m_host = std::make_unique<TestPanelHost>();
        QVERIFY(m_host->startWatcher());
        m_controller = std::make_unique<menuController>();
        m_controller->awakeFromNib();
        QVERIFY(m_host->waitForItems(1));
    }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void startingCreatesNoSettingsFile() {
        QVERIFY(!QFile::exists(UserDefaults::standardPath()));
        const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
        QCOMPARE(QDir(autostart).entryList(QDir::Files).size(), 1);
    }

    void labelIsTheTitleOfTheCommandLineClock() {
        m_now = 1000000000.0;
        m_controller->needsDisplay();
        QTRY_COMPARE(m_host->label(), QStringLiteral("09:26"));

        QProcess clock;
        clock.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"),
                    {"--at", "1000000000", "--time-format", "%H:%M", "--title"});
        QVERIFY(clock.waitForFinished(20000));
        QCOMPARE(m_host->label() + u'\n', QString::fromUtf8(clock.readAllStandardOutput()));

        // Two IC minutes later the label follows at the next tick.
        m_host->clearSignals();
        m_now += 120.0 * 11.0 / 45.0;
        m_controller->needsDisplay();
        QVERIFY(m_host->waitForSignals(QStringLiteral("XAyatanaNewLabel")));
        QCOMPARE(m_host->label(), QStringLiteral("09:28"));
    }

    void menuTexts_data() {
        QTest::addColumn<int>("yearDay");
        QTest::addColumn<int>("minute");            // of the IC day
        QTest::addColumn<QString>("reportHeading"); // the full report's first line
        QTest::addColumn<QString>("lunarHeading");  // the lunar report's first line
        QTest::addColumn<QStringList>("main");      // the main menu, "-" for a separator
        QTest::addColumn<QStringList>("dawnDusk");
        QTest::addColumn<QStringList>("lunar");
        QTest::addColumn<QStringList>("zodiac");

        // Worked out by hand from the calendar's rules, OOC texts in UTC. Day d of year 640 is day count
        // 82440 + d. Day 26 (count 82466): weekday 6, lunar day 15, zodiac day 22 of sign 11, sunrise 08:08,
        // sunset 15:52; its midnight is OOC 1735728009.34 (01/01/25 10:40). Day 25: weekday 5, lunar day 14,
        // sunrise 08:10, sunset 15:50. Day 27: weekday 0, lunar day 16. The Coliseum opens at 19:00 of
        // weekday 5: day 25 (01/01/25 09:26), then day 32 (01/03/25 02:30).
        QTest::newRow("before sunrise, lunar day 15 before noon")
            << 26 << 7 * 60 << "Quarn 07:00, day 26 of Winter, day 26 of the year 640"
            << "Full Moon, Day 15 in the lunar cycle"
            << QStringList{"Quarn, day 26 of Winter, 640", "-", "Dawn/Dusk (08:08/15:52)", "-",
                           "Lunar Calendar", "-", "Zodiac Calendar", "-", "Coliseum opens at 01/03/25 02:30",
                           "-", "Quit", "-", "Open Tindral"}
            << QStringList{"Today:", "The Sun will rise at 08:08 (01/01/25 12:39)",
                           "The Sun will fall at 15:52 (01/01/25 14:32)", "-", "Tomorrow:",
                           "Next Sunrise will be at 08:06 (01/01/25 18:30)",
                           "Next Sunset will be at 15:54 (01/01/25 20:25)", "-", "Copy Dawn/Dusk Report"}
            << QStringList{" Full Moon. Day 15", "-", "Today's Full Moon:", "Started at: 01/01/25 10:40",
                           "Noon is at: 01/01/25 13:36", "Will end at: 01/01/25 16:32", "-",
                           "Next Full Moon:", "Starts at: 01/08/25 06:56", "Noon is at: 01/08/25 09:52",
                           "Ends at: 01/08/25 12:48", "-", "Copy Lunar Calendar Report"}
            << QStringList{"Day 22 of Quillon The Cat", "Irwen the Healer rises in 7 days", "-",
                           "Copy Zodiac Calendar Report"};
        QTest::newRow("day, lunar day 15 after noon")
            << 26 << 13 * 60 << "Quarn 13:00, day 26 of Winter, day 26 of the year 640"
            << "Full Moon, Day 15 in the lunar cycle"
            << QStringList{"Quarn, day 26 of Winter, 640", "-", "Dawn/Dusk (08:08/15:52)", "-",
                           "Lunar Calendar", "-", "Zodiac Calendar", "-", "Coliseum opens at 01/03/25 02:30",
                           "-", "Quit", "-", "Open Tindral"}
            << QStringList{"Today:", "The Sun rose at 08:08 (01/01/25 12:39)",
                           "The Sun will fall at 15:52 (01/01/25 14:32)", "-", "Tomorrow:",
                           "Next Sunrise will be at 08:06 (01/01/25 18:30)",
                           "Next Sunset will be at 15:54 (01/01/25 20:25)", "-", "Copy Dawn/Dusk Report"}
            << QStringList{" Full Moon. Day 15", "-", "Today's Full Moon:", "Started at: 01/01/25 10:40",
                           "Noon was at: 01/01/25 13:36", "Will end at: 01/01/25 16:32", "-",
                           "Next Full Moon:", "Starts at: 01/08/25 06:56", "Noon is at: 01/08/25 09:52",
                           "Ends at: 01/08/25 12:48", "-", "Copy Lunar Calendar Report"}
            << QStringList{"Day 22 of Quillon The Cat", "Irwen the Healer rises in 7 days", "-",
                           "Copy Zodiac Calendar Report"};
        QTest::newRow("after sunset")
            << 26 << 16 * 60 << "Quarn 16:00, day 26 of Winter, day 26 of the year 640"
            << "Full Moon, Day 15 in the lunar cycle"
            << QStringList{"Quarn, day 26 of Winter, 640", "-", "Dawn/Dusk (08:08/15:52)", "-",
                           "Lunar Calendar", "-", "Zodiac Calendar", "-", "Coliseum opens at 01/03/25 02:30",
                           "-", "Quit", "-", "Open Tindral"}
            << QStringList{"Today:", "The Sun rose at 08:08 (01/01/25 12:39)",
                           "The Sun fell at 15:52 (01/01/25 14:32)", "-", "Tomorrow:",
                           "The Sun will rise at 08:06 (01/01/25 18:30)",
                           "The Sun will set at 15:54 (01/01/25 20:25)", "-", "Copy Dawn/Dusk Report"}
            << QStringList{" Full Moon. Day 15", "-", "Today's Full Moon:", "Started at: 01/01/25 10:40",
                           "Noon was at: 01/01/25 13:36", "Will end at: 01/01/25 16:32", "-",
                           "Next Full Moon:", "Starts at: 01/08/25 06:56", "Noon is at: 01/08/25 09:52",
                           "Ends at: 01/08/25 12:48", "-", "Copy Lunar Calendar Report"}
            << QStringList{"Day 22 of Quillon The Cat", "Irwen the Healer rises in 7 days", "-",
                           "Copy Zodiac Calendar Report"};
        QTest::newRow("lunar day 14, Coliseum closed at 18:59")
            << 25 << 18 * 60 + 59 << "Pellin 18:59, day 25 of Winter, day 25 of the year 640"
            << "Waxing Gibbous, Day 14 in the lunar cycle"
            << QStringList{"Pellin, day 25 of Winter, 640", "-", "Dawn/Dusk (08:10/15:50)", "-",
                           "Lunar Calendar", "-", "Zodiac Calendar", "-", "Coliseum opens at 01/01/25 09:26",
                           "-", "Quit", "-", "Open Tindral"}
            << QStringList{"Today:", "The Sun rose at 08:10 (01/01/25 06:47)",
                           "The Sun fell at 15:50 (01/01/25 08:40)", "-", "Tomorrow:",
                           "The Sun will rise at 08:08 (01/01/25 12:39)",
                           "The Sun will set at 15:52 (01/01/25 14:32)", "-", "Copy Dawn/Dusk Report"}
            << QStringList{" Waxing Gibbous. Day 14", "-", "Next Full Moon:", "Starts at: 01/01/25 10:40",
                           "Noon is at: 01/01/25 13:36", "Ends at: 01/01/25 16:32", "-",
                           "Full Moon After Next:", "Starts at: 01/08/25 06:56", "Noon is at: 01/08/25 09:52",
                           "Ends at: 01/08/25 12:48", "-", "Copy Lunar Calendar Report"}
            << QStringList{"Day 21 of Quillon The Cat", "Irwen the Healer rises in 8 days", "-",
                           "Copy Zodiac Calendar Report"};
        QTest::newRow("lunar day 14, Coliseum open at 19:30")
            << 25 << 19 * 60 + 30 << "Pellin 19:30, day 25 of Winter, day 25 of the year 640"
            << "Waxing Gibbous, Day 14 in the lunar cycle"
            << QStringList{"Pellin, day 25 of Winter, 640", "-", "Dawn/Dusk (08:10/15:50)", "-",
                           "Lunar Calendar", "-", "Zodiac Calendar", "-",
                           "Coliseum is open now! and next on 01/03/25 02:30", "-", "Quit", "-",
                           "Open Tindral"}
            << QStringList{"Today:", "The Sun rose at 08:10 (01/01/25 06:47)",
                           "The Sun fell at 15:50 (01/01/25 08:40)", "-", "Tomorrow:",
                           "The Sun will rise at 08:08 (01/01/25 12:39)",
                           "The Sun will set at 15:52 (01/01/25 14:32)", "-", "Copy Dawn/Dusk Report"}
            << QStringList{" Waxing Gibbous. Day 14", "-", "Next Full Moon:", "Starts at: 01/01/25 10:40",
                           "Noon is at: 01/01/25 13:36", "Ends at: 01/01/25 16:32", "-",
                           "Full Moon After Next:", "Starts at: 01/08/25 06:56", "Noon is at: 01/08/25 09:52",
                           "Ends at: 01/08/25 12:48", "-", "Copy Lunar Calendar Report"}
            << QStringList{"Day 21 of Quillon The Cat", "Irwen the Healer rises in 8 days", "-",
                           "Copy Zodiac Calendar Report"};
        QTest::newRow("lunar day 16")
            << 27 << 12 * 60 << "Hoven 12:00, day 27 of Winter, day 27 of the year 640"
            << "Waning Gibbous, Day 16 in the lunar cycle"
            << QStringList{"Hoven, day 27 of Winter, 640", "-", "Dawn/Dusk (08:06/15:54)", "-",
                           "Lunar Calendar", "-", "Zodiac Calendar", "-", "Coliseum opens at 01/03/25 02:30",
                           "-", "Quit", "-", "Open Tindral"}
            << QStringList{"Today:", "The Sun rose at 08:06 (01/01/25 18:30)",
                           "The Sun will fall at 15:54 (01/01/25 20:25)", "-", "Tomorrow:",
                           "Next Sunrise will be at 08:04 (01/02/25 00:22)",
                           "Next Sunset will be at 15:56 (01/02/25 02:17)", "-", "Copy Dawn/Dusk Report"}
            << QStringList{" Waning Gibbous. Day 16", "-", "Next Full Moon:", "Starts at: 01/08/25 06:56",
                           "Noon is at: 01/08/25 09:52", "Ends at: 01/08/25 12:48", "-",
                           "Full Moon After Next:", "Starts at: 01/15/25 03:12", "Noon is at: 01/15/25 06:08",
                           "Ends at: 01/15/25 09:04", "-", "Copy Lunar Calendar Report"}
            << QStringList{"Day 23 of Quillon The Cat", "Irwen the Healer rises in 6 days", "-",
                           "Copy Zodiac Calendar Report"};
    }

    void menuTexts() {
        QFETCH(int, yearDay);
        QFETCH(int, minute);
        QFETCH(QString, reportHeading);
        QFETCH(QString, lunarHeading);
        QFETCH(QStringList, main);
        QFETCH(QStringList, dawnDusk);
        QFETCH(QStringList, lunar);
        QFETCH(QStringList, zodiac);
        m_now = oocAtIC(icTimeOfYearDay(kYear, yearDay, minute / 60, minute % 60, 0));

        const auto menu = openMenu();
        QVERIFY(menu);
        QCOMPARE(texts(*menu), main);
        QCOMPARE(texts(menu->children[2]), dawnDusk);
        QCOMPARE(texts(menu->children[4]), lunar);
        QCOMPARE(texts(menu->children[6]), zodiac);

        // Headings cannot be chosen; the pictures of the moon and the signs are there.
        QVERIFY(!menu->children[2].children[0].enabled);
        QVERIFY(!menu->children[4].children[2].enabled);
        QVERIFY(!menu->children[4].children[7].enabled);
        QVERIFY(menu->children[4].children[0].hasIcon);
        QVERIFY(menu->children[6].children[0].hasIcon);
        QVERIFY(menu->children[6].children[1].hasIcon);

        // The first line copies the full report, byte for byte: the menu's sentences with headings and blank
        // lines.
        const QString report = reportHeading + QStringLiteral("\n\nToday:\n") + dawnDusk[1] + u'\n' +
                               dawnDusk[2] + QStringLiteral("\n\nTomorrow:\n") + dawnDusk[5] + u'\n' +
                               dawnDusk[6] + QStringLiteral("\n\n") + zodiac[0] + u'\n' + zodiac[1] +
                               QStringLiteral("\n\n") + lunarHeading + QStringLiteral("\n\n") + lunar[2] +
                               u'\n' + lunar[3] + u'\n' + lunar[4] + u'\n' + lunar[5] +
                               QStringLiteral("\n\n") + lunar[7] + u'\n' + lunar[8] + u'\n' + lunar[9] +
                               u'\n' + lunar[10] + QStringLiteral("\n\n") + main[8];
        QGuiApplication::clipboard()->clear();
        QVERIFY(m_host->click({}, menu->children[0].id));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), report);
    }

    void reportsFromTheSubmenus_data() {
        QTest::addColumn<int>("submenu");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<int>("lines");
        QTest::newRow("Dawn/Dusk") << 2 << "Today:" << 7;
        QTest::newRow("Lunar Calendar") << 4 << "Full Moon, Day 15 in the lunar cycle" << 11;
        QTest::newRow("Zodiac Calendar") << 6 << "Day 22 of Quillon The Cat" << 2;
    }

    void reportsFromTheSubmenus() {
        QFETCH(int, submenu);
        m_now = oocAtIC(icTimeOfYearDay(kYear, 26, 13, 0, 0));
        const auto menu = openMenu();
        QVERIFY(menu);
        const TestPanelHost::MenuEntry &entry = menu->children[submenu];
        // Both the submenu's own line and its last item copy the report.
        for (int id : {entry.id, entry.children.last().id}) {
            QGuiApplication::clipboard()->clear();
            QVERIFY(m_host->click({}, id));
            QTRY_VERIFY(!QGuiApplication::clipboard()->text().isEmpty());
            const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
            QTEST(lines.first(), "firstLine");
            QTEST(int(lines.size()), "lines");
        }
        // A detail line copies its own title.
        const TestPanelHost::MenuEntry &detail = entry.children[submenu == 2 ? 1 : 0];
        QVERIFY(m_host->click({}, detail.id));
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), detail.text);
    }

    void updateTimerInterval_data() {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<int>("seconds");
        QTest::newRow("15") << QVariantMap{{"updateInterval", 15}} << 15;
        QTest::newRow("3") << QVariantMap{{"updateInterval", 3}} << 3;
        QTest::newRow("missing") << QVariantMap{} << 1;
        QTest::newRow("0") << QVariantMap{{"updateInterval", 0}} << 1;
        QTest::newRow("negative") << QVariantMap{{"updateInterval", -5}} << 1;
        QTest::newRow("real") << QVariantMap{{"updateInterval", 5.9}} << 5;
        QTest::newRow("beyond a day") << QVariantMap{{"updateInterval", 1e30}} << 86400;
    }

    void updateTimerInterval() {
        QFETCH(QVariantMap, userInfo);
        QFETCH(int, seconds);
        m_controller->updateTimerInterval({{"updateInterval", 7}});
        // Through the bus, as the main application sends it.
        DistributedNotificationCenter::defaultCenter().post(QStringLiteral("TNDUpdateTimerInterval"),
                                                            userInfo);
        QTRY_COMPARE(m_controller->timerInterval(), seconds);
    }

    void aTextIsNotAPeriod() {
        m_controller->updateTimerInterval({{"updateInterval", 5}});
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("TNDUpdateTimerInterval refused.*not a number"));
        m_controller->updateTimerInterval({{"updateInterval", QStringLiteral("soon")}});
        QCOMPARE(m_controller->timerInterval(), 5);
        // NaN is no number either: it used to give the shortest period.
        QTest::ignoreMessage(QtWarningMsg, "TNDUpdateTimerInterval refused: \"updateInterval\" is a double, "
                                           "not a number; the period stays 5 s");
        m_controller->updateTimerInterval({{"updateInterval", std::nan("")}});
        QCOMPARE(m_controller->timerInterval(), 5);
    }

    void aPeriodThatIsNoFiniteNumberIsTold_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }

    void aPeriodThatIsNoFiniteNumberIsTold() {
        QFETCH(double, value);
        m_controller->updateTimerInterval({{"updateInterval", 5}});
        QTest::ignoreMessage(QtWarningMsg, "TNDUpdateTimerInterval refused: \"updateInterval\" is a double, "
                                           "not a number; the period stays 5 s");
        m_controller->updateTimerInterval({{"updateInterval", value}});
        QCOMPARE(m_controller->timerInterval(), 5);
    }

    void storedPeriods_data() {
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<int>("period");
        QTest::newRow("missing or 0") << qint64(0) << 1;
        QTest::newRow("negative") << qint64(-3) << 1;
        QTest::newRow("15") << qint64(15) << 15;
    }

    void storedPeriods() {
        QFETCH(qint64, stored);
        QTEST(menuController::periodFromSetting(stored), "period");
    }

    void aChangeOfTheDesktopClockRefreshesTheMenuAtOnce() {
        m_now = oocAtIC(icTimeOfYearDay(kYear, 26, 12, 0, 0));
        const auto before = openMenu();
        QVERIFY(before);
        QCOMPARE(before->children[2].text, QStringLiteral("Dawn/Dusk (08:08/15:52)"));
        m_host->clearSignals();
        // The menu stays closed: no AboutToShow, only the change of the desktop clock's switches.
        writeBytes(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"),
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                   "<key>DisplaySeconds</key><false/><key>AppendAMPM</key><true/><key>ShowDay</key><false/>"
                   "</dict></plist>");
        QVERIFY(m_host->waitForSignals(QStringLiteral("ItemsPropertiesUpdated"), 1, 20000));
        const auto after = m_host->menuLayout();
        QVERIFY(after);
        QCOMPARE(after->children[2].text, QStringLiteral("Dawn/Dusk (08:08AM/15:52PM)"));
        writeBytes(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"),
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                   "<key>DisplaySeconds</key><false/><key>AppendAMPM</key><false/><key>ShowDay</key><false/>"
                   "</dict></plist>");
        QTRY_COMPARE_WITH_TIMEOUT(m_host->menuLayout()->children[2].text,
                                  QStringLiteral("Dawn/Dusk (08:08/15:52)"), 20000);
    }

    void openTindralWithoutTindral() {
        // A companion whose folder lies nowhere near a main application: the finding alert.
        Bundle::setMainBundlePath(
            QDir::temp().filePath(QStringLiteral("nowhere/Tindral.app/Resources/TindralMenu.app")));
        m_alerts.clear();
        const auto menu = openMenu();
        QVERIFY(menu);
        QVERIFY(m_host->click({}, menu->children.last().id));
        QTRY_COMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Problem launching Tindral"));
        QVERIFY(
            m_alerts[0].message.startsWith(QStringLiteral("There was a problem finding Tindral\nError: ")));
        QCOMPARE(m_alerts[0].defaultButton, QStringLiteral("Ah well"));
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app"));
    }

    void quitting() {
        // With a settings file, quitting writes "showTindralMenu" false; every other key stays.
        writeBytes(UserDefaults::standardPath(), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                                 "<key>showTindralMenu</key><true/>"
                                                 "<key>icSecondsOffset</key><integer>12</integer>"
                                                 "</dict></plist>");
        QDBusConnection other =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener"));
        DistributedNotificationCenter listener(other);
        int wentAway = 0;
        listener.addObserver(QStringLiteral("TNDWentAway"), [&](const Notification &) { ++wentAway; });
        QVERIFY(listener.waitForBus());

        const auto menu = openMenu();
        QVERIFY(menu);
        QVERIFY(m_host->click({}, menu->children[10].id));
        QTRY_COMPARE(wentAway, 1);
        const auto settings = PropertyList::readDictionary(UserDefaults::standardPath());
        QVERIFY(settings);
        QCOMPARE(settings->value("showTindralMenu"), QVariant(false));
        QCOMPARE(settings->value("icSecondsOffset"), QVariant(qint64(12)));
        const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
        QCOMPARE(QDir(autostart).entryList(QDir::Files).size(), 0);

        // At quit the item leaves the status area.
        m_controller->applicationWillTerminate();
        QVERIFY(m_host->waitForNoItems());
    }

    void cleanupTestCase() {
        m_controller.reset();
        m_host.reset();
        Clock::reset();
        AlertPanel::setAnswerer({});
    }
};

QTEST_MAIN(TestMenuController)
#include "tst_menuController.moc"
