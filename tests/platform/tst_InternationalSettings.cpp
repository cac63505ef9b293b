#include "InternationalSettings.h"
#include "UserDefaults.h"

#include <QtTest>

#include <clocale>

class TestInternationalSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

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
        QCOMPARE(InternationalSettings::timeFormat(), QStringLiteral("%1I.%M %p"));
        QCOMPARE(InternationalSettings::shortDateFormat(), QStringLiteral("%d.%m.%Y"));
        QCOMPARE(InternationalSettings::amPmDesignation(), std::optional<QStringList>({"vorm.", "nachm."}));
        QVERIFY(file.remove());
        QCOMPARE(InternationalSettings::timeFormat(), QStringLiteral("%H:%M:%S"));
    }
};

QTEST_GUILESS_MAIN(TestInternationalSettings)
#include "tst_InternationalSettings.moc"
