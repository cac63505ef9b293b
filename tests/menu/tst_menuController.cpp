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

#include <limits>

namespace {

constexpr int kYear = 640;

// The OOC date and time at which an IC event happens, written as "%m/%d/%y %H:%M" writes it in UTC; the
// clock stands half a second into its IC second, and events keep that half.
QString oocText(double icEvent) {
    const double ooc = oocAtIC(icEvent);
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(ooc)) * 1000, QTimeZone::utc())
        .toString(QStringLiteral("MM/dd/yy HH:mm"));
}

QString hm(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

const char *const kWeekdays[] = {"Hoven", "Ilsar", "Jorvac", "Kemba", "Ostra", "Pellin", "Quarn"};

// What every line of the menu reads at one moment of day `yearDay` (1 to 180) of year 640, written out from
// the calendar's rules for that day.
struct Expected {
    QStringList main; // the main menu's lines, "-" for a separator
    QStringList dawnDusk;
    QStringList lunar;
    QStringList zodiac;
    QString fullReport;
};

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
        QTest::addColumn<int>("minute");       // of the IC day
        QTest::addColumn<QString>("sun");      // before, day or after
        QTest::addColumn<int>("coliseumDays"); // IC days from today's midnight to the next opening's day
        QTest::addColumn<int>("fullMoonDays"); // IC days from today's midnight to the full moon listed first

        // Day d of year 640 is day count 82440 + d: weekday (1 + d) % 7, lunar day (17 + d) % 28.
        // Day 26: weekday 6, lunar day 15, sunrise 08:08, sunset 15:52.
        QTest::newRow("before sunrise, lunar day 15 before noon") << 26 << 7 * 60 << "before" << 6 << 0;
        QTest::newRow("day, lunar day 15 after noon") << 26 << 13 * 60 << "day" << 6 << 0;
        QTest::newRow("after sunset") << 26 << 16 * 60 << "after" << 6 << 0;
        // Day 25: weekday 5, lunar day 14, sunset 15:50.
        QTest::newRow("lunar day 14, Coliseum closed at 18:59") << 25 << 18 * 60 + 59 << "after" << 0 << 1;
        QTest::newRow("lunar day 14, Coliseum open at 19:30") << 25 << 19 * 60 + 30 << "after" << 7 << 1;
        // Day 27: weekday 0, lunar day 16.
        QTest::newRow("lunar day 16") << 27 << 12 * 60 << "day" << 5 << 27;
    }

    void menuTexts() {
        QFETCH(int, yearDay);
        QFETCH(int, minute);
        QFETCH(QString, sun);
        QFETCH(int, coliseumDays);
        QFETCH(int, fullMoonDays);

        const double midnight = icTimeOfYearDay(kYear, yearDay, 0, 0, 0);
        const double now = midnight + minute * 60.0;
        const long long day = 82440 + yearDay;
        const int weekday = int((1 + yearDay) % 7);
        const int lunarDay = (17 + yearDay) % 28 == 0 ? 28 : (17 + yearDay) % 28;
        const int zodiacDay = int((day + 3) % 29) == 0 ? 29 : int((day + 3) % 29);
        const QString weekdayName = QString::fromLatin1(kWeekdays[weekday]);
        m_now = oocAtIC(now);

        const int rise = 540 - 2 * yearDay, set = 900 + 2 * yearDay;
        const int riseTomorrow = rise - 2, setTomorrow = set + 2;
        auto line = [](const char *format, int icMinute, double icEvent) {
            return QString::fromLatin1(format).arg(hm(icMinute), oocText(icEvent));
        };
        const QString riseLine =
            line(sun == QLatin1String("before") ? "The Sun will rise at %1 (%2)" : "The Sun rose at %1 (%2)",
                 rise, midnight + rise * 60);
        const QString setLine =
            line(sun == QLatin1String("after") ? "The Sun fell at %1 (%2)" : "The Sun will fall at %1 (%2)",
                 set, midnight + set * 60);
        const QString riseTomorrowLine =
            line(sun == QLatin1String("after") ? "The Sun will rise at %1 (%2)"
                                               : "Next Sunrise will be at %1 (%2)",
                 riseTomorrow, midnight + 86400 + riseTomorrow * 60);
        const QString setTomorrowLine = line(sun == QLatin1String("after") ? "The Sun will set at %1 (%2)"
                                                                           : "Next Sunset will be at %1 (%2)",
                                             setTomorrow, midnight + 86400 + setTomorrow * 60);

        const bool fullMoonToday = lunarDay == 15;
        const double moon = midnight + fullMoonDays * 86400.0;
        const QString phase = lunarDay == 14   ? QStringLiteral("Waxing Gibbous")
                              : lunarDay == 15 ? QStringLiteral("Full Moon")
                                               : QStringLiteral("Waning Gibbous");
        const QString moonStart =
            (fullMoonToday ? QStringLiteral("Started at: ") : QStringLiteral("Starts at: ")) + oocText(moon);
        const QString moonNoon = (fullMoonToday && minute >= 12 * 60 ? QStringLiteral("Noon was at: ")
                                                                     : QStringLiteral("Noon is at: ")) +
                                 oocText(moon + 43200);
        const QString moonEnd =
            (fullMoonToday ? QStringLiteral("Will end at: ") : QStringLiteral("Ends at: ")) +
            oocText(moon + 86400);
        const QString next = QStringLiteral("Starts at: ") + oocText(moon + 2419200);
        const QString nextNoon = QStringLiteral("Noon is at: ") + oocText(moon + 2419200 + 43200);
        const QString nextEnd = QStringLiteral("Ends at: ") + oocText(moon + 2419200 + 86400);
        const QString heading =
            fullMoonToday ? QStringLiteral("Today's Full Moon:") : QStringLiteral("Next Full Moon:");
        const QString nextHeading =
            fullMoonToday ? QStringLiteral("Next Full Moon:") : QStringLiteral("Full Moon After Next:");

        const bool open = weekday == 5 && minute >= 19 * 60;
        const QString coliseum = (open ? QStringLiteral("Coliseum is open now! and next on ")
                                       : QStringLiteral("Coliseum opens at ")) +
                                 oocText(midnight + coliseumDays * 86400.0 + 68400);
        // Day count 82465 to 82467 lie in sign 11, which gives way to sign 12 at day count 82476.
        const QString zodiacLine = QStringLiteral("Day %1 of Quillon The Cat").arg(zodiacDay);
        const QString zodiacNext = QStringLiteral("Irwen the Healer rises in %1 days").arg(29 - zodiacDay);

        const auto menu = openMenu();
        QVERIFY(menu);
        QCOMPARE(
            texts(*menu),
            (QStringList{QStringLiteral("%1, day %2 of Winter, 640").arg(weekdayName).arg(yearDay), "-",
                         QStringLiteral("Dawn/Dusk (%1/%2)").arg(hm(rise), hm(set)), "-", "Lunar Calendar",
                         "-", "Zodiac Calendar", "-", coliseum, "-", "Quit", "-", "Open Tindral"}));
        QCOMPARE(texts(menu->children[2]),
                 (QStringList{"Today:", riseLine, setLine, "-", "Tomorrow:", riseTomorrowLine,
                              setTomorrowLine, "-", "Copy Dawn/Dusk Report"}));
        QCOMPARE(texts(menu->children[4]),
                 (QStringList{QStringLiteral(" %1. Day %2").arg(phase).arg(lunarDay), "-", heading, moonStart,
                              moonNoon, moonEnd, "-", nextHeading, next, nextNoon, nextEnd, "-",
                              "Copy Lunar Calendar Report"}));
        QCOMPARE(texts(menu->children[6]),
                 (QStringList{zodiacLine, zodiacNext, "-", "Copy Zodiac Calendar Report"}));

        // Headings cannot be chosen; the pictures of the moon and the signs are there.
        QVERIFY(!menu->children[2].children[0].enabled);
        QVERIFY(!menu->children[4].children[2].enabled);
        QVERIFY(!menu->children[4].children[7].enabled);
        QVERIFY(menu->children[4].children[0].hasIcon);
        QVERIFY(menu->children[6].children[0].hasIcon);
        QVERIFY(menu->children[6].children[1].hasIcon);

        // The first line copies the full report, byte for byte.
        const QString report = QStringLiteral("%1 %2, day %3 of Winter, day %3 of the year 640\n\n")
                                   .arg(weekdayName, hm(minute))
                                   .arg(yearDay) +
                               QStringLiteral("Today:\n%1\n%2\n\nTomorrow:\n%3\n%4\n\n")
                                   .arg(riseLine, setLine, riseTomorrowLine, setTomorrowLine) +
                               zodiacLine + u'\n' + zodiacNext + QStringLiteral("\n\n") + phase +
                               QStringLiteral(", Day %1 in the lunar cycle\n\n").arg(lunarDay) + heading +
                               u'\n' + moonStart + u'\n' + moonNoon + u'\n' + moonEnd +
                               QStringLiteral("\n\n") + nextHeading + u'\n' + next + u'\n' + nextNoon +
                               u'\n' + nextEnd + QStringLiteral("\n\n") + coliseum;
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
    }

    void aPeriodThatIsNoFiniteNumberIsTold_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("nan");
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QStringLiteral("inf");
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << QStringLiteral("-inf");
    }

    void aPeriodThatIsNoFiniteNumberIsTold() {
        QFETCH(double, value);
        QFETCH(QString, shown);
        m_controller->updateTimerInterval({{"updateInterval", 5}});
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("TNDUpdateTimerInterval: \"updateInterval\" is "
                                                       "%1, not a finite number; the period is 1 s")
                                            .arg(shown)));
        m_controller->updateTimerInterval({{"updateInterval", value}});
        QCOMPARE(m_controller->timerInterval(), 1);
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
