#include "InternationalSettings.h"
#include "PropertyList.h"
#include "UserDefaults.h"

#include <QtTest>

#include <clocale>

class TestInternationalSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanupTestCase() {
        QFile::remove(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"));
    }

    void fromPosix_data() {
        QTest::addColumn<QString>("posix");
        QTest::addColumn<QString>("expected");
        QTest::newRow("C time") << "%H:%M:%S"
                                << "%H:%M:%S";
        QTest::newRow("%T") << "%T"
                            << "%H:%M:%S";
        QTest::newRow("%r") << "%r"
                            << "%I:%M:%S %p";
        QTest::newRow("%R and %D") << "%R %D"
                                   << "%H:%M %m/%d/%y";
        QTest::newRow("ISO date") << "%F"
                                  << "%Y-%m-%d";
        QTest::newRow("blank-padded hours") << "%k:%M %l"
                                            << "%1H:%M %1I";
        QTest::newRow("glibc's unpadded flags") << "%-H:%M %-d.%-m."
                                                << "%1H:%M %1d.%1m.";
        QTest::newRow("alternative forms") << "%OH:%OM %Ex"
                                           << "%H:%M %x";
        QTest::newRow("lower-case designator") << "%I:%M %P"
                                               << "%I:%M %p";
        QTest::newRow("percent and text") << "%%%H h"
                                          << "%%%H h";
        QTest::newRow("a lone percent at the end") << "%H %"
                                                   << "%H %";
    }

    void fromPosix() {
        QFETCH(QString, posix);
        QTEST(InternationalSettings::fromPosix(posix), "expected");
    }

    // The time format without one of the user's own: the locale's, and its 12-hour one on a desktop whose
    // clock shows 12 hours.
    void timeFormatFrom_data() {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<bool>("twelveHour");
        QTest::addColumn<QString>("posix");
        QTest::addColumn<QString>("posixTwelveHour");
        QTest::addColumn<QString>("expected");
        QTest::newRow("24-hour desktop: the locale's usual format")
            << QVariant() << false << "%H:%M:%S" << "%I:%M:%S %p" << "%H:%M:%S";
        QTest::newRow("12-hour desktop: the locale's 12-hour format (C.UTF-8)")
            << QVariant() << true << "%H:%M:%S" << "%I:%M:%S %p" << "%I:%M:%S %p";
        QTest::newRow("12-hour desktop, a locale with no 12-hour format")
            << QVariant() << true << "%T" << "" << "%I:%M:%S %p";
        QTest::newRow("the 12-hour format is rewritten like the others")
            << QVariant() << true << "%T" << "%l:%M %P" << "%1I:%M %p";
        QTest::newRow("a setting wins on a 12-hour desktop")
            << QVariant(QStringLiteral("%H.%M")) << true << "%H:%M:%S" << "%I:%M:%S %p" << "%H.%M";
        QTest::newRow("a setting wins on a 24-hour desktop")
            << QVariant(QStringLiteral("%1I:%M %p")) << false << "%H:%M:%S" << "%I:%M:%S %p" << "%1I:%M %p";
        QTest::newRow("a setting that is not text counts as none")
            << QVariant(42) << true << "%H:%M:%S" << "" << "%I:%M:%S %p";
    }

    void timeFormatFrom() {
        QFETCH(QVariant, setting);
        QFETCH(bool, twelveHour);
        QFETCH(QString, posix);
        QFETCH(QString, posixTwelveHour);
        QTEST(InternationalSettings::timeFormatFrom(setting, twelveHour, posix, posixTwelveHour), "expected");
    }

    void theCLocale() {
        std::setlocale(LC_ALL, "C");
        QCOMPARE(InternationalSettings::timeFormat(), QStringLiteral("%H:%M:%S"));
        QCOMPARE(InternationalSettings::shortDateFormat(), QStringLiteral("%m/%d/%y"));
        QCOMPARE(InternationalSettings::amPmDesignation(), std::optional<QStringList>({"AM", "PM"}));
    }

    void theSettingsFileComesFirst() {
        const QString folder = UserDefaults::preferencesFolder();
        QVERIFY(QDir().mkpath(folder));
        QFile file(UserDefaults::standardPath());
        QVERIFY(QFile::copy(QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/fixtures/internationalSettings.plist"),
                            file.fileName()));
        // The settings are followed by a watch: its word comes a moment after the write.
        QTRY_VERIFY(UserDefaults::standardUserDefaults().fileChangeSeen());
        QCOMPARE(InternationalSettings::timeFormat(), QStringLiteral("%1I.%M %p"));
        QCOMPARE(InternationalSettings::shortDateFormat(), QStringLiteral("%d.%m.%Y"));
        QCOMPARE(InternationalSettings::amPmDesignation(), std::optional<QStringList>({"vorm.", "nachm."}));
        QVERIFY(file.remove());
        QTRY_VERIFY(UserDefaults::standardUserDefaults().fileChangeSeen());
        QCOMPARE(InternationalSettings::timeFormat(), QStringLiteral("%H:%M:%S"));
    }

    // The same through the desktop clock's own settings file and the shared settings file, in C.UTF-8.
    void timeFormatFollowsTheDesktopClock_data() {
        QTest::addColumn<bool>("appendAMPM");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("expected");
        QTest::newRow("12 hours") << true << QString() << "%I:%M:%S %p";
        QTest::newRow("24 hours") << false << QString() << "%H:%M:%S";
        QTest::newRow("12 hours again") << true << QString() << "%I:%M:%S %p";
        QTest::newRow("12 hours, a format set") << true << "%H.%M" << "%H.%M";
        QTest::newRow("24 hours, a format set") << false << "%1I:%M %p" << "%1I:%M %p";
    }

    void timeFormatFollowsTheDesktopClock() {
        QFETCH(bool, appendAMPM);
        QFETCH(QString, setting);
        std::setlocale(LC_ALL, "C.UTF-8");
        QVERIFY(QDir().mkpath(UserDefaults::preferencesFolder()));
        QVERIFY(PropertyList::writeFile(UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist"),
                                        QVariantMap{{QStringLiteral("AppendAMPM"), appendAMPM}}));
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        if (setting.isEmpty())
            defaults.removeObjectForKey(QStringLiteral("NSTimeFormatString"));
        else
            QCOMPARE(defaults.setObjectForKey(setting, QStringLiteral("NSTimeFormatString")),
                     UserDefaults::WriteOutcome::Written);
        // The desktop clock's file is followed by a watch, whose word comes a moment after the write.
        QFETCH(QString, expected);
        QTRY_COMPARE(InternationalSettings::timeFormat(), expected);
        QFile::remove(UserDefaults::standardPath());
    }
};

QTEST_GUILESS_MAIN(TestInternationalSettings)
#include "tst_InternationalSettings.moc"
