#include "ColorArchive.h"
#include "TimerRecordCheck.h"

#include <QRegularExpression>
#include <QTest>

namespace {

QVariantMap recordWithColor(const QVariant &color, const QVariant &transparency = QStringLiteral("0.7")) {
    QVariantMap record{{QStringLiteral("title"), QStringLiteral("Tea")},
                       {QStringLiteral("time"), QStringLiteral("00:05:00")},
                       {QStringLiteral("done"), QString()},
                       {QStringLiteral("windowColor"), color},
                       {QStringLiteral("totalSeconds"), QStringLiteral("300")},
                       {QStringLiteral("ic"), false},
                       {QStringLiteral("rowIndex"), qint64(1)}};
    if (transparency.isValid())
        record.insert(QStringLiteral("transparency"), transparency);
    return record;
}

} // namespace

class TestTimerRecordCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void recordWithItsColour() {
        const QColor color(0, 128, 255, 200);
        const TimerRecordCheck::Result result =
            TimerRecordCheck::read(recordWithColor(QByteArray::fromHex("01c8c800008080ffff0000")));
        QVERIFY2(result.record, qPrintable(result.problem));
        QCOMPARE(result.windowColor, color);
        QCOMPARE(result.record->rowIndex(), 1);
        QVERIFY(result.softProblem.isEmpty());
    }

    void refusals_data() {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QString>("problem");
        QTest::newRow("a key missing") << QVariantMap{{QStringLiteral("title"), QStringLiteral("Tea")}}
                                       << "the timer record has no \"time\"";
        QTest::newRow("colour of the wrong kind")
            << recordWithColor(qint64(16777215))
            << "the timer record's \"windowColor\" is an integer, not data";
        QTest::newRow("empty colour")
            << recordWithColor(QByteArray(""))
            << "the timer record's \"windowColor\" is unreadable: the colour data is 0 "
               "bytes long, not 11";
        QTest::newRow("garbled colour")
            << recordWithColor(QByteArray::fromHex("09ffffffff000000000000"))
            << "the timer record's \"windowColor\" is unreadable: the colour data names "
               "no colour model (9)";
    }
    void refusals() {
        QFETCH(QVariantMap, map);
        QFETCH(QString, problem);
        const TimerRecordCheck::Result result = TimerRecordCheck::read(map);
        QVERIFY(!result.record);
        QCOMPARE(result.problem, problem);
    }

    void unusableTransparencyStillGivesTheRecord() {
        const TimerRecordCheck::Result result =
            TimerRecordCheck::read(recordWithColor(ColorArchive::archivedData(Qt::white), QVariant()));
        QVERIFY(result.record);
        QCOMPARE(result.softProblem,
                 QStringLiteral("the timer record has no \"transparency\"; its window is opaque"));
        QCOMPARE(result.record->opacity(), 1.0);
    }
};

QTEST_APPLESS_MAIN(TestTimerRecordCheck)
#include "tst_TimerRecordCheck.moc"
