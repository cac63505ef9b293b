#include "CalendarFormat.h"

#include <QtTest>

class TestCalendarFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    // Every case's own zone goes, passed or failed.
    void cleanup() { qputenv("TZ", "UTC"); }

    void expand_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<double>("moment");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");

        // 1700000000.25 is Tuesday 2023-11-14 22:13:20.250 UTC.
        const double m = 1700000000.25;
        QTest::newRow("date and time") << QByteArray("UTC") << m << "%Y-%m-%d %H:%M:%S"
                                       << "2023-11-14 22:13:20";
        QTest::newRow("names") << QByteArray("UTC") << m << "%a %A %b %B"
                               << "Tue Tuesday Nov November";
        QTest::newRow("twelve-hour") << QByteArray("UTC") << m << "%I %1I %p"
                                     << "10 10 PM";
        QTest::newRow("unpadded") << QByteArray("UTC") << 1699000000.0 << "%1H %1d %1m %d %m"
                                  << "8 3 11 03 11";
        QTest::newRow("padded day of the month") << QByteArray("UTC") << 1699000000.0 << "[%e]"
                                                 << "[ 3]";
        QTest::newRow("milliseconds, day of the year, weekday") << QByteArray("UTC") << m << "%F %j %w"
                                                                << "250 318 2";
        QTest::newRow("two-digit year") << QByteArray("UTC") << m << "%y"
                                        << "23";
        QTest::newRow("composites") << QByteArray("UTC") << m << "%x|%X"
                                    << "11/14/23|22:13:20";
        QTest::newRow("local time zone") << QByteArray("America/New_York") << m << "%H:%M %Z %z"
                                         << "17:13 EST -0500";
        QTest::newRow("half-hour zone") << QByteArray("Asia/Kolkata") << m << "%d %H:%M %z"
                                        << "15 03:43 +0530";
        QTest::newRow("percent sign") << QByteArray("UTC") << m << "100%%"
                                      << "100%";
        QTest::newRow("unknown sequences are copied") << QByteArray("UTC") << m << "%q %1q %"
                                                      << "%q %1q %";
        QTest::newRow("midnight is 12 AM") << QByteArray("UTC") << 1699920000.0 << "%I:%M %p %1I"
                                           << "12:00 AM 12";
        QTest::newRow("before 1970") << QByteArray("UTC") << -1.5 << "%Y-%m-%d %H:%M:%S %F"
                                     << "1969-12-31 23:59:58 500";
        QTest::newRow("non-ASCII text is kept")
            << QByteArray("UTC") << m << QString::fromUtf8("%H時%M分") << QString::fromUtf8("22時13分");
    }

    void expand() {
        QFETCH(QByteArray, zone);
        QFETCH(double, moment);
        QFETCH(QString, format);
        qputenv("TZ", zone);
        QTEST(CalendarFormat::expand(format, moment), "expected");
    }
};

QTEST_GUILESS_MAIN(TestCalendarFormat)
#include "tst_CalendarFormat.moc"
