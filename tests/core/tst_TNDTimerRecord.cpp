#include "TNDTimerRecord.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QByteArray kWhite("\x01\xff\xff\xff\xff\xff\xff\xff\xff\x00\x00", 11);

QVariantMap goodRecord() {
    return {{QStringLiteral("title"), QStringLiteral("Tea")},
            {QStringLiteral("time"), QStringLiteral("00:05:00")},
            {QStringLiteral("done"), QString()},
            {QStringLiteral("windowColor"), kWhite},
            {QStringLiteral("transparency"), QStringLiteral("0.7")},
            {QStringLiteral("totalSeconds"), QStringLiteral("300")},
            {QStringLiteral("ic"), true},
            {QStringLiteral("rowIndex"), qint64(0)}};
}

QVariantMap with(const QString &key, const QVariant &value) {
    QVariantMap record = goodRecord();
    if (value.isValid())
        record.insert(key, value);
    else
        record.remove(key);
    return record;
}

} // namespace

class TestTNDTimerRecord : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void editorBuildsTheRecordFromItsControls_data() {
        QTest::addColumn<uint>("totalSeconds");
        QTest::addColumn<double>("transparency");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("totalSecondsText");
        QTest::addColumn<QString>("transparencyText");
        QTest::newRow("nothing set") << 0u << 0.7 << "00:00:00"
                                     << "0"
                                     << "0.7";
        QTest::newRow("five minutes") << 300u << 0.7 << "00:05:00"
                                      << "300"
                                      << "0.7";
        QTest::newRow("each part one") << 3661u << 1.0 << "01:01:01"
                                       << "3661"
                                       << "1";
        QTest::newRow("ten of each part has no leading zero") << 36610u << 0.25 << "10:10:10"
                                                              << "36610"
                                                              << "0.25";
        QTest::newRow("largest two-digit hours") << 359999u << 0.0 << "99:59:59"
                                                 << "359999"
                                                 << "0";
        QTest::newRow("hundred hours take three digits") << 360000u << 0.5 << "100:00:00"
                                                         << "360000"
                                                         << "0.5";
        QTest::newRow("largest duration stays positive") << 4294967295u << 0.5 << "1193046:28:15"
                                                         << "4294967295"
                                                         << "0.5";
    }
    void editorBuildsTheRecordFromItsControls() {
        QFETCH(uint, totalSeconds);
        QFETCH(double, transparency);
        QFETCH(QString, time);
        QFETCH(QString, totalSecondsText);
        QFETCH(QString, transparencyText);
        const QVariantMap map =
            TNDTimerRecord::fromParts(QStringLiteral("Bread"), totalSeconds, false, kWhite, transparency, 3)
                .toMap();
        const QVariantMap expected{{QStringLiteral("title"), QStringLiteral("Bread")},
                                   {QStringLiteral("time"), time},
                                   {QStringLiteral("done"), QString()},
                                   {QStringLiteral("windowColor"), kWhite},
                                   {QStringLiteral("transparency"), transparencyText},
                                   {QStringLiteral("totalSeconds"), totalSecondsText},
                                   {QStringLiteral("ic"), false},
                                   {QStringLiteral("rowIndex"), qint64(3)}};
        QCOMPARE(map, expected);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(map.value(it.key()).typeId(), it.value().typeId());
    }

    void durationFromItsThreeParts() {
        QCOMPARE(TNDTimerRecord::formated(1, 5, 9), QStringLiteral("01:05:09"));
        QCOMPARE(TNDTimerRecord::formated(100, 0, 0), QStringLiteral("100:00:00"));
        QCOMPARE(TNDTimerRecord::totalSecondsString(3661), QStringLiteral("3661"));
    }

    void recordReadsBackAsBuilt() {
        const TNDTimerRecord built =
            TNDTimerRecord::fromParts(QStringLiteral("Tea"), 300, true, kWhite, 0.7, 0);
        const TNDTimerRecord::Reading reading = TNDTimerRecord::fromMap(goodRecord());
        QVERIFY2(reading.record, qPrintable(reading.problem));
        QVERIFY(reading.softProblem.isEmpty());
        QCOMPARE(*reading.record, built);
        QCOMPARE(reading.record->title(), QStringLiteral("Tea"));
        QCOMPARE(reading.record->opacity(), 0.7);
        QVERIFY(reading.record->ic());
        QVERIFY(!reading.record->isDone());
    }

    void recordOfAFinishedTimerWithTheCompanionsSeconds() {
        QVariantMap map = with(QStringLiteral("done"), QStringLiteral("√"));
        map.insert(QStringLiteral("totalSeconds"), QStringLiteral("12.272727"));
        const TNDTimerRecord::Reading reading = TNDTimerRecord::fromMap(map);
        QVERIFY2(reading.record, qPrintable(reading.problem));
        QVERIFY(reading.record->isDone());
        QCOMPARE(reading.record->totalSeconds(), QStringLiteral("12.272727"));
    }

    void extraKeysAreLeftAlone() {
        const TNDTimerRecord::Reading reading =
            TNDTimerRecord::fromMap(with(QStringLiteral("note"), QStringLiteral("from a newer version")));
        QVERIFY(reading.record);
        QCOMPARE(reading.record->toMap(), goodRecord());
    }

    void badRecordIsRefusedNamingTheFirstBadKey_data() {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty dictionary") << QVariantMap() << "the timer record has no \"title\"";
        for (const char *key : {"title", "time", "done", "windowColor", "totalSeconds", "ic", "rowIndex"})
            QTest::addRow("no %s", key)
                << with(QString::fromLatin1(key), QVariant())
                << QStringLiteral("the timer record has no \"%1\"").arg(QString::fromLatin1(key));
        QTest::newRow("title is a number") << with(QStringLiteral("title"), qint64(5))
                                           << "the timer record's \"title\" is an integer, not a string";
        QTest::newRow("time is a list") << with(QStringLiteral("time"), QVariantList{})
                                        << "the timer record's \"time\" is a list, not a string";
        QTest::newRow("done is a boolean")
            << with(QStringLiteral("done"), true) << "the timer record's \"done\" is a boolean, not a string";
        QTest::newRow("colour as a base64 string")
            << with(QStringLiteral("windowColor"), QStringLiteral("Af//"))
            << "the timer record's \"windowColor\" is a string, not data";
        QTest::newRow("seconds as a number")
            << with(QStringLiteral("totalSeconds"), qint64(300))
            << "the timer record's \"totalSeconds\" is an integer, not a string "
               "holding a number";
        QTest::newRow("seconds not a number")
            << with(QStringLiteral("totalSeconds"), QStringLiteral("5 minutes"))
            << "the timer record's \"totalSeconds\" is \"5 minutes\", not a number "
               "of seconds";
        QTest::newRow("seconds empty")
            << with(QStringLiteral("totalSeconds"), QString())
            << "the timer record's \"totalSeconds\" is \"\", not a number of seconds";
        QTest::newRow("seconds negative")
            << with(QStringLiteral("totalSeconds"), QStringLiteral("-5"))
            << "the timer record's \"totalSeconds\" is \"-5\", not a number of seconds";
        QTest::newRow("seconds of a million characters on two lines")
            << with(QStringLiteral("totalSeconds"), QString(1000000, u'x') + QStringLiteral("\nmore"))
            << "the timer record's \"totalSeconds\" is "
               "\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\", not a number of seconds";
        QTest::newRow("seconds of two lines")
            << with(QStringLiteral("totalSeconds"), QStringLiteral("5\nrm -rf"))
            << "the timer record's \"totalSeconds\" is \"5…\", not a number of seconds";
        QTest::newRow("seconds infinite")
            << with(QStringLiteral("totalSeconds"), QStringLiteral("inf"))
            << "the timer record's \"totalSeconds\" is \"inf\", not a number of seconds";
        QTest::newRow("ic as an integer other than 0 or 1")
            << with(QStringLiteral("ic"), qint64(2))
            << "the timer record's \"ic\" is an integer, not a boolean";
        QTest::newRow("ic as a string") << with(QStringLiteral("ic"), QStringLiteral("ic"))
                                        << "the timer record's \"ic\" is a string, not a boolean";
        QTest::newRow("row as a real") << with(QStringLiteral("rowIndex"), 2.0)
                                       << "the timer record's \"rowIndex\" is a real number, not an integer";
        QTest::newRow("row as a string") << with(QStringLiteral("rowIndex"), QStringLiteral("2"))
                                         << "the timer record's \"rowIndex\" is a string, not an integer";
        QTest::newRow("row negative") << with(QStringLiteral("rowIndex"), qint64(-1))
                                      << "the timer record's \"rowIndex\" is -1, not a position in a list";
        QTest::newRow("row beyond 64 bits")
            << with(QStringLiteral("rowIndex"), quint64(18446744073709551615ull))
            << "the timer record's \"rowIndex\" is 18446744073709551615, not a position in a list";
        QVariantMap twoBad = with(QStringLiteral("title"), 1.5);
        twoBad.remove(QStringLiteral("rowIndex"));
        QTest::newRow("two bad keys: the first is named")
            << twoBad << "the timer record's \"title\" is a real number, not a string";
    }
    // Integers of every width are integers; a stored 0 or 1 is a boolean as some writers keep one.
    void integerKindsAreRead() {
        QVariantMap map = with(QStringLiteral("rowIndex"), int(3));
        map.insert(QStringLiteral("ic"), qint64(1));
        const TNDTimerRecord::Reading reading = TNDTimerRecord::fromMap(map);
        QVERIFY2(reading.record, qPrintable(reading.problem));
        QCOMPARE(reading.record->rowIndex(), int64_t(3));
        QVERIFY(reading.record->ic());
        map.insert(QStringLiteral("ic"), int(0));
        map.insert(QStringLiteral("rowIndex"), quint64(4));
        const TNDTimerRecord::Reading second = TNDTimerRecord::fromMap(map);
        QVERIFY2(second.record, qPrintable(second.problem));
        QVERIFY(!second.record->ic());
        QCOMPARE(second.record->rowIndex(), int64_t(4));
    }

    void badRecordIsRefusedNamingTheFirstBadKey() {
        QFETCH(QVariantMap, map);
        QFETCH(QString, problem);
        const TNDTimerRecord::Reading reading = TNDTimerRecord::fromMap(map);
        QVERIFY(!reading.record);
        QCOMPARE(reading.problem, problem);
    }

    void unusableTransparencyOnlyMakesTheWindowOpaque_data() {
        QTest::addColumn<QVariant>("transparency");
        QTest::addColumn<QString>("softProblem");
        QTest::addColumn<double>("opacity");
        QTest::newRow("missing") << QVariant()
                                 << "the timer record has no \"transparency\"; its window is opaque" << 1.0;
        QTest::newRow("a real number") << QVariant(0.5)
                                       << "the timer record's \"transparency\" is a real number, not a "
                                          "string holding a number; its window is opaque"
                                       << 1.0;
        QTest::newRow("not a number")
            << QVariant(QStringLiteral("half"))
            << "the timer record's \"transparency\" is \"half\", not a number; its window is "
               "opaque"
            << 1.0;
        QTest::newRow("above one")
            << QVariant(QStringLiteral("1.5"))
            << "the timer record's \"transparency\" is 1.5, outside 0 to 1; its window is opaque" << 1.0;
        QTest::newRow("below zero")
            << QVariant(QStringLiteral("-0.5"))
            << "the timer record's \"transparency\" is -0.5, outside 0 to 1; its window is "
               "invisible"
            << 0.0;
        QTest::newRow("invisible is fine") << QVariant(QStringLiteral("0")) << "" << 0.0;
        QTest::newRow("blanks around the number") << QVariant(QStringLiteral(" 0.25 ")) << "" << 0.25;
    }
    void unusableTransparencyOnlyMakesTheWindowOpaque() {
        QFETCH(QVariant, transparency);
        QFETCH(QString, softProblem);
        QFETCH(double, opacity);
        const TNDTimerRecord::Reading reading =
            TNDTimerRecord::fromMap(with(QStringLiteral("transparency"), transparency));
        QVERIFY2(reading.record, qPrintable(reading.problem));
        QCOMPARE(reading.softProblem, softProblem);
        QCOMPARE(reading.record->opacity(), opacity);
    }

    void rowIndexAgainstTheReceiversList_data() {
        QTest::addColumn<qint64>("rowIndex");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("problem");
        QTest::newRow("first of two") << qint64(0) << 2 << "";
        QTest::newRow("last of two") << qint64(1) << 2 << "";
        QTest::newRow("one past the end")
            << qint64(2) << 2 << "\"rowIndex\" 2 names no timer: the list holds 2, from 0 to 1";
        QTest::newRow("far past the end")
            << qint64(5) << 2 << "\"rowIndex\" 5 names no timer: the list holds 2, from 0 to 1";
        QTest::newRow("negative") << qint64(-1) << 2
                                  << "\"rowIndex\" -1 names no timer: the list holds 2, from 0 to 1";
        QTest::newRow("empty list") << qint64(0) << 0 << "\"rowIndex\" 0 names no timer: the list is empty";
    }
    void rowIndexAgainstTheReceiversList() {
        QFETCH(qint64, rowIndex);
        QFETCH(int, count);
        QFETCH(QString, problem);
        QCOMPARE(TNDTimerRecord::rowIndexProblem(rowIndex, count).value_or(QString()), problem);
    }
};

QTEST_APPLESS_MAIN(TestTNDTimerRecord)
#include "tst_TNDTimerRecord.moc"
