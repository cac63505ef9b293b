// The Date/Time pane on fixed moments: every field's text and every picture's name, written out from the
// calendar's rules for that moment (IC year 543, days 110 to 115, around OOC 2001-09-09), and the two
// timers.
#include "Bundle.h"
#include "Clock.h"
#include "NotificationCenter.h"
#include "UserDefaults.h"
#include "dateTimeController.h"

#include "../fileSupport.h"

#include <QLabel>
#include <QtTest>

namespace {

// The desktop clock's switches: seconds shown, no designator, no weekday in front.
const QByteArray kSecondsOnly = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                "<key>DisplaySeconds</key><true/><key>AppendAMPM</key><false/>"
                                "<key>ShowDay</key><false/></dict></plist>";
// No seconds, the weekday in front (of the menu bar's clock, never of the pane's date line).
const QByteArray kWeekdayNoSeconds = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                     "<key>DisplaySeconds</key><false/><key>AppendAMPM</key><false/>"
                                     "<key>ShowDay</key><true/></dict></plist>\n";

// OOC moments (seconds since 1970), each half an IC second into the IC time named.
constexpr double kWorkedExample = 1000000000.0;        // day 110, 09:26:38, weekday 2, lunar day 11
constexpr double kBeforeSunrise = 999996368.011;       // day 110, 05:19:00; sunrise 05:20
constexpr double kSunriseMinute = 999996382.678;       // day 110, 05:20:00
constexpr double kSunsetMinute = 1000008116.011;       // day 110, 18:40:00; sunset 18:40
constexpr double kMorning = 1000000049.344;            // day 110, 09:30:00
constexpr double kWeekday5At1859 = 1000071754.678;     // day 113 (day count 47633), lunar day 14
constexpr double kWeekday5At1900 = 1000071769.344;     // day 113, 19:00:00
constexpr double kWeekday6AtMidnight = 1000076169.344; // day 114 (day count 47634), lunar day 15
constexpr double kLunarDay15At1159 = 1000086714.678;   // day 114, 11:59:00
constexpr double kLunarDay15AtNoon = 1000086729.344;   // day 114, 12:00:00
constexpr double kLunarDay16 = 1000107849.344;         // day 115, 12:00:00

} // namespace

class TestDateTimeController : public QObject {
    Q_OBJECT

private:
    double m_now = kWorkedExample;
    std::unique_ptr<dateTimeController> m_pane;

    QString field(const char *name) const {
        const auto *label = m_pane->findChild<QLabel *>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<no field %1>").arg(QLatin1String(name));
    }
    QString pictureName(const char *name) const {
        const auto *label = m_pane->findChild<QLabel *>(QLatin1String(name));
        return label ? label->accessibleName() : QStringLiteral("<no picture %1>").arg(QLatin1String(name));
    }
    static void setSwitches(const QByteArray &plist) {
        writeBytes(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"), plist);
    }
    void showMoment(double moment) {
        m_now = moment;
        m_pane->redisplayDate();
    }

private Q_SLOTS:
    void initTestCase() {
        Clock::setNowFunction([this] { return m_now; });
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR));
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setVolatileValue(QStringLiteral("NSTimeFormatString"), QStringLiteral("%H:%M:%S"));
        defaults.setVolatileValue(QStringLiteral("NSShortDateFormatString"), QStringLiteral("%m/%d/%y"));
        QVERIFY(QDir().mkpath(UserDefaults::preferencesFolder()));
        setSwitches(kSecondsOnly);

        m_pane = std::make_unique<dateTimeController>();
        m_pane->awakeFromNib();
    }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void cleanupTestCase() {
        m_pane.reset();
        Clock::reset();
    }

    void theFormHasEveryOutletAndAFixedSize() {
        for (const char *name : {"dateTimeString",
                                 "dawnDuskImage",
                                 "fullMoonEndString",
                                 "fullMoonNoonString",
                                 "fullMoonStartString",
                                 "lunarFullMoonString",
                                 "lunarImage",
                                 "lunarNextFullMoonString",
                                 "lundarDayString",
                                 "lundarNameString",
                                 "nextFullMoonEndString",
                                 "nextFullMoonNoonString",
                                 "nextFullMoonStartString",
                                 "nextZodiacString",
                                 "sunriseString",
                                 "sunsetString",
                                 "tomorowSunriseString",
                                 "tomorrowSunsetString",
                                 "zodiacStarsImage",
                                 "zodiacString",
                                 "zodiacSymbolImage",
                                 "zodiacNextStarsImage",
                                 "zodiacNextSymbolImage",
                                 "coliseumString"})
            QVERIFY2(m_pane->findChild<QLabel *>(QLatin1String(name)), name);
        QVERIFY(m_pane->minimumSize() == m_pane->maximumSize());
        QVERIFY(m_pane->width() >= 400 && m_pane->height() >= 300);
    }

    void awakeningFillsThePaneAndStartsBothTimers() {
        // Filled before the first tick: the worked example's moment, set before awakeFromNib.
        QCOMPARE(field("dateTimeString"),
                 QStringLiteral("Jorvac 09:26:38, day 20 of Spring, day 110 of the year 543"));
        // No "updateTimerInterval" in the settings: one second.
        QVERIFY(m_pane->timerLoop()->isActive());
        QVERIFY(!m_pane->timerLoop()->isSingleShot());
        QCOMPARE(m_pane->timerLoop()->interval(), 1000);
        QVERIFY(m_pane->prefTimerLoop()->isActive());
        QVERIFY(!m_pane->prefTimerLoop()->isSingleShot());
        QCOMPARE(m_pane->prefTimerLoop()->interval(), 5000);
    }

    void workedExample() {
        showMoment(kWorkedExample);
        const std::pair<const char *, const char *> expected[] = {
            {"dateTimeString", "Jorvac 09:26:38, day 20 of Spring, day 110 of the year 543"},
            {"sunriseString", "The Sun rose at 05:20:00 (09/09/01 00:46:22)"},
            {"sunsetString", "The Sun will set at 18:40:00 (09/09/01 04:01:56)"},
            {"tomorowSunriseString", "The Sun will rise at 05:18:00 (09/09/01 06:37:53)"},
            {"tomorrowSunsetString", "Next Sunset will be at 18:42:00 (09/09/01 09:54:25)"},
            {"zodiacString", "Day 15 of Mott the Rat"},
            {"nextZodiacString", "Quillon The Cat rises in 14 days"},
            {"coliseumString", "Coliseum opens at 09/09/01 21:42:49"},
            {"lundarDayString", "Day 11"},
            {"lundarNameString", "Waxing Gibbous"},
            {"lunarFullMoonString", "Next Full Moon:"},
            {"fullMoonStartString", "Starts at: 09/09/01 22:56:09"},
            {"fullMoonNoonString", "Noon is at: 09/10/01 01:52:09"},
            {"fullMoonEndString", "Ends at: 09/10/01 04:48:09"},
            {"lunarNextFullMoonString", "Full Moon After Next:"},
            {"nextFullMoonStartString", "Starts at: 09/16/01 19:12:09"},
            {"nextFullMoonNoonString", "Noon is at: 09/16/01 22:08:09"},
            {"nextFullMoonEndString", "Ends at: 09/17/01 01:04:09"},
        };
        for (const auto &[name, text] : expected)
            QCOMPARE(field(name), QString::fromUtf8(text));
    }

    void fieldsAtTheEdges_data() {
        QTest::addColumn<double>("moment");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");

        const auto row = [](const char *name, double moment, const char *field, const char *text) {
            QTest::newRow(name) << moment << QString::fromLatin1(field) << QString::fromUtf8(text);
        };
        // Day 110: sunrise 05:20 (OOC 00:46:22), sunset 18:40 (04:01:56); tomorrow 05:18 and 18:42.
        row("a minute before sunrise: rise ahead", kBeforeSunrise, "sunriseString",
            "The Sun will rise at 05:20:00 (09/09/01 00:46:22)");
        row("a minute before sunrise: set ahead", kBeforeSunrise, "sunsetString",
            "The Sun will set at 18:40:00 (09/09/01 04:01:56)");
        row("a minute before sunrise: next sunrise", kBeforeSunrise, "tomorowSunriseString",
            "Next Sunrise will be at 05:18:00 (09/09/01 06:37:53)");
        row("a minute before sunrise: next sunset", kBeforeSunrise, "tomorrowSunsetString",
            "Next Sunset will be at 18:42:00 (09/09/01 09:54:25)");
        row("sunrise minute: rose", kSunriseMinute, "sunriseString",
            "The Sun rose at 05:20:00 (09/09/01 00:46:22)");
        row("sunrise minute: set ahead", kSunriseMinute, "sunsetString",
            "The Sun will set at 18:40:00 (09/09/01 04:01:56)");
        row("sunrise minute: tomorrow's rise", kSunriseMinute, "tomorowSunriseString",
            "The Sun will rise at 05:18:00 (09/09/01 06:37:53)");
        row("sunrise minute: next sunset", kSunriseMinute, "tomorrowSunsetString",
            "Next Sunset will be at 18:42:00 (09/09/01 09:54:25)");
        row("sunset minute: rose", kSunsetMinute, "sunriseString",
            "The Sun rose at 05:20:00 (09/09/01 00:46:22)");
        row("sunset minute: set", kSunsetMinute, "sunsetString",
            "The Sun set at 18:40:00 (09/09/01 04:01:56)");
        row("sunset minute: tomorrow's rise", kSunsetMinute, "tomorowSunriseString",
            "The Sun will rise at 05:18:00 (09/09/01 06:37:53)");
        row("sunset minute: tomorrow's set", kSunsetMinute, "tomorrowSunsetString",
            "The Sun will set at 18:42:00 (09/09/01 09:54:25)");

        // Day 113 is weekday 5 ("Pellin"): the Coliseum opens at 19:00 IC, OOC 21:42:49; the next opening is
        // seven IC days later, OOC 09/11/01 14:46:49.
        row("weekday 5 at 18:59: date line", kWeekday5At1859, "dateTimeString",
            "Pellin 18:59:00, day 23 of Spring, day 113 of the year 543");
        row("weekday 5 at 18:59: opens today", kWeekday5At1859, "coliseumString",
            "Coliseum opens at 09/09/01 21:42:49");
        row("weekday 5 at 19:00: open", kWeekday5At1900, "coliseumString",
            "Coliseum is open now! and next on 09/11/01 14:46:49");
        row("weekday 6 at 00:00: date line", kWeekday6AtMidnight, "dateTimeString",
            "Quarn 00:00:00, day 24 of Spring, day 114 of the year 543");
        row("weekday 6 at 00:00: closed again", kWeekday6AtMidnight, "coliseumString",
            "Coliseum opens at 09/11/01 14:46:49");

        // Lunar day 14 (day 113): the full moon of day 114 is the next one.
        row("lunar day 14: day", kWeekday5At1859, "lundarDayString", "Day 14");
        row("lunar day 14: phase", kWeekday5At1859, "lundarNameString", "Waxing Gibbous");
        row("lunar day 14: first heading", kWeekday5At1859, "lunarFullMoonString", "Next Full Moon:");
        row("lunar day 14: second heading", kWeekday5At1859, "lunarNextFullMoonString",
            "Full Moon After Next:");
        row("lunar day 14: start", kWeekday5At1859, "fullMoonStartString", "Starts at: 09/09/01 22:56:09");
        row("lunar day 14: noon", kWeekday5At1859, "fullMoonNoonString", "Noon is at: 09/10/01 01:52:09");
        row("lunar day 14: end", kWeekday5At1859, "fullMoonEndString", "Ends at: 09/10/01 04:48:09");

        // Lunar day 15 (day 114): today's full moon, from the midnight that began it.
        row("lunar day 15: day", kLunarDay15At1159, "lundarDayString", "Day 15");
        row("lunar day 15: phase", kLunarDay15At1159, "lundarNameString", "Full Moon");
        row("lunar day 15: first heading", kLunarDay15At1159, "lunarFullMoonString", "Today's Full Moon:");
        row("lunar day 15: second heading", kLunarDay15At1159, "lunarNextFullMoonString", "Next Full Moon:");
        row("lunar day 15: started", kLunarDay15At1159, "fullMoonStartString",
            "Started at: 09/09/01 22:56:09");
        row("lunar day 15 at 11:59: noon ahead", kLunarDay15At1159, "fullMoonNoonString",
            "Noon is at: 09/10/01 01:52:09");
        row("lunar day 15 at 12:00: noon passed", kLunarDay15AtNoon, "fullMoonNoonString",
            "Noon was at: 09/10/01 01:52:09");
        row("lunar day 15: will end", kLunarDay15AtNoon, "fullMoonEndString",
            "Will end at: 09/10/01 04:48:09");
        row("lunar day 15 at 12:00: next start", kLunarDay15AtNoon, "nextFullMoonStartString",
            "Starts at: 09/16/01 19:12:09");
        row("lunar day 15 at 12:00: next noon always ahead", kLunarDay15AtNoon, "nextFullMoonNoonString",
            "Noon is at: 09/16/01 22:08:09");
        row("lunar day 15 at 12:00: next end", kLunarDay15AtNoon, "nextFullMoonEndString",
            "Ends at: 09/17/01 01:04:09");

        // Lunar day 16 (day 115): the full moons of the next cycle and the one after.
        row("lunar day 16: phase", kLunarDay16, "lundarNameString", "Waning Gibbous");
        row("lunar day 16: first heading", kLunarDay16, "lunarFullMoonString", "Next Full Moon:");
        row("lunar day 16: second heading", kLunarDay16, "lunarNextFullMoonString", "Full Moon After Next:");
        row("lunar day 16: start", kLunarDay16, "fullMoonStartString", "Starts at: 09/16/01 19:12:09");
        row("lunar day 16: noon", kLunarDay16, "fullMoonNoonString", "Noon is at: 09/16/01 22:08:09");
        row("lunar day 16: end", kLunarDay16, "fullMoonEndString", "Ends at: 09/17/01 01:04:09");
        row("lunar day 16: next start", kLunarDay16, "nextFullMoonStartString",
            "Starts at: 09/23/01 15:28:09");
        row("lunar day 16: next noon", kLunarDay16, "nextFullMoonNoonString",
            "Noon is at: 09/23/01 18:24:09");
        row("lunar day 16: next end", kLunarDay16, "nextFullMoonEndString", "Ends at: 09/23/01 21:20:09");
    }

    void fieldsAtTheEdges() {
        QFETCH(double, moment);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        showMoment(moment);
        QCOMPARE(this->field(qPrintable(field)), expected);
    }

    void picturesAndTheirNames_data() {
        QTest::addColumn<double>("moment");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("name");

        // Day count 47630: sign (47630 / 29) % 12 = 10, the next 11; lunar day 11.
        QTest::newRow("waxing gibbous moon") << kWorkedExample << "lunarImage"
                                             << "Waxing Gibbous moon, day 11";
        QTest::newRow("sign") << kWorkedExample << "zodiacSymbolImage"
                              << "Mott the Rat";
        QTest::newRow("sign's stars") << kWorkedExample << "zodiacStarsImage"
                                      << "Constellation of Mott the Rat";
        QTest::newRow("next sign") << kWorkedExample << "zodiacNextSymbolImage"
                                   << "Quillon The Cat";
        QTest::newRow("next sign's stars") << kWorkedExample << "zodiacNextStarsImage"
                                           << "Constellation of Quillon The Cat";
        QTest::newRow("full moon names its phase once") << kLunarDay15AtNoon << "lunarImage"
                                                        << "Full Moon, day 15";
        QTest::newRow("waning gibbous moon") << kLunarDay16 << "lunarImage"
                                             << "Waning Gibbous moon, day 16";
        QTest::newRow("the sun's picture") << kWorkedExample << "dawnDuskImage"
                                           << "Sunrise and sunset";
    }

    void picturesAndTheirNames() {
        QFETCH(double, moment);
        QFETCH(QString, picture);
        QFETCH(QString, name);
        showMoment(moment);
        const auto *view = m_pane->findChild<QLabel *>(picture);
        QVERIFY(view);
        QCOMPARE(view->accessibleName(), name);
        // The pane's size on screen, from a file of as many pixels as the screen has there: 128 on a screen
        // of twice the density (the run with QT_SCALE_FACTOR=2).
        const QPixmap shown = view->pixmap();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.deviceIndependentSize().toSize(), QSize(64, 64));
        const int dense = qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? 2 : 1;
        QCOMPARE(view->devicePixelRatioF(), qreal(dense));
        QCOMPARE(shown.size(), QSize(64, 64) * dense);
    }

    void theDateLineNeverLeadsWithTheWeekdayTwice() {
        // The desktop clock now shows the weekday and no seconds; the pane follows at the 5-second tick once
        // the clock's file watch has word of the change.
        const auto afterTheTick = [this] {
            if (!QMetaObject::invokeMethod(m_pane->prefTimerLoop(), "timeout"))
                return QStringLiteral("<no tick>");
            m_pane->redisplayDate();
            return field("dateTimeString");
        };
        showMoment(kWorkedExample);
        QCOMPARE(field("dateTimeString"),
                 QStringLiteral("Jorvac 09:26:38, day 20 of Spring, day 110 of the year 543"));
        setSwitches(kWeekdayNoSeconds);
        QTRY_COMPARE(afterTheTick(), QStringLiteral("Jorvac 09:26, day 20 of Spring, day 110 of the year 543"));
        QCOMPARE(field("sunriseString"), QStringLiteral("The Sun rose at 05:20 (09/09/01 00:46)"));
        setSwitches(kSecondsOnly);
        QTRY_COMPARE(afterTheTick(),
                     QStringLiteral("Jorvac 09:26:38, day 20 of Spring, day 110 of the year 543"));
    }

    void aNewIntervalRedrawsOnlyAtItsNextTick() {
        showMoment(kMorning);
        const QString before = QStringLiteral("Jorvac 09:30:00, day 20 of Spring, day 110 of the year 543");
        QCOMPARE(field("dateTimeString"), before);

        m_now = kMorning + 1.0;
        NotificationCenter::defaultCenter().post(QStringLiteral("TNDUpdateTimerInterval"), nullptr,
                                                 {{QStringLiteral("updateInterval"), 15}});
        // No redraw now, although the moment has moved on.
        QCOMPARE(field("dateTimeString"), before);
        QTimer *timer = m_pane->timerLoop();
        QVERIFY(timer->isActive());
        QVERIFY(!timer->isSingleShot());
        QCOMPARE(timer->interval(), 15000);
        // A fresh period: the first tick is (about) 15 s away, not what was left of the old one.
        QVERIFY2(timer->remainingTime() > 14000, qPrintable(QString::number(timer->remainingTime())));

        // The tick 15 s later redraws the pane.
        m_now = kMorning + 15.0;
        QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(field("dateTimeString"),
                 QStringLiteral("Jorvac 09:31:01, day 20 of Spring, day 110 of the year 543"));

        NotificationCenter::defaultCenter().post(QStringLiteral("TNDUpdateTimerInterval"), nullptr,
                                                 {{QStringLiteral("updateInterval"), 1}});
        QCOMPARE(timer->interval(), 1000);
    }

    void intervalsThatAreNoPeriod_data() {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<QString>("warning"); // empty: none

        const QString key = QStringLiteral("updateInterval");
        QTest::newRow("3 s") << QVariantMap{{key, 3}} << 3000 << QString();
        QTest::newRow("5 s as a real") << QVariantMap{{key, 5.0}} << 5000 << QString();
        QTest::newRow("missing") << QVariantMap{} << 1000 << "\"updateInterval\" is missing, not a number";
        QTest::newRow("zero") << QVariantMap{{key, 0}} << 1000 << "\"updateInterval\" 0 is not a period";
        QTest::newRow("negative") << QVariantMap{{key, -15}} << 1000
                                  << "\"updateInterval\" -15 is not a period";
        QTest::newRow("a text") << QVariantMap{{key, QStringLiteral("15")}} << 1000
                                << "\"updateInterval\" is QString, not a number";
        QTest::newRow("a list") << QVariantMap{{key, QVariantList{15}}} << 1000
                                << "\"updateInterval\" is QVariantList, not a number";
        QTest::newRow("not a finite number")
            << QVariantMap{{key, qQNaN()}} << 1000 << "\"updateInterval\" is double, not a number";
        QTest::newRow("longer than a day") << QVariantMap{{key, 1000000}} << 86400 * 1000
                                           << "\"updateInterval\" 1000000 is longer than a day";
    }

    void intervalsThatAreNoPeriod() {
        QFETCH(QVariantMap, userInfo);
        QFETCH(int, intervalMs);
        QFETCH(QString, warning);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
        NotificationCenter::defaultCenter().post(QStringLiteral("TNDUpdateTimerInterval"), nullptr, userInfo);
        QVERIFY(m_pane->timerLoop()->isActive());
        QCOMPARE(m_pane->timerLoop()->interval(), intervalMs);
    }

    void periodFromTheSettings_data() {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("15") << QVariant(15) << 15000;
        QTest::newRow("0") << QVariant(0) << 1000;
        QTest::newRow("negative") << QVariant(-3) << 1000;
    }

    void periodFromTheSettings() {
        QFETCH(QVariant, setting);
        QFETCH(int, intervalMs);
        UserDefaults::standardUserDefaults().setVolatileValue(QStringLiteral("updateTimerInterval"), setting);
        dateTimeController pane;
        pane.awakeFromNib();
        UserDefaults::standardUserDefaults().removeVolatileValue(QStringLiteral("updateTimerInterval"));
        QCOMPARE(pane.timerLoop()->interval(), intervalMs);
    }
};

QTEST_MAIN(TestDateTimeController)
#include "tst_dateTimeController.moc"
