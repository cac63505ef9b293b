#include "ColorArchive.h"

#include <QRegularExpression>
#include <QTest>

class TestColorArchive : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void archiveHasAFixedForm_data() {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("opaque red") << QColor(255, 0, 0) << QByteArray("01ffffffff000000000000");
        QTest::newRow("white, the editor's first colour")
            << QColor(Qt::white) << QByteArray("01ffffffffffffffff0000");
        QTest::newRow("half-transparent blue-green")
            << QColor(0, 128, 255, 128) << QByteArray("01808000008080ffff0000");
    }
    void archiveHasAFixedForm() {
        QFETCH(QColor, color);
        QFETCH(QByteArray, hex);
        QCOMPARE(ColorArchive::archivedData(color).toHex(), hex);
        QCOMPARE(ColorArchive::unarchivedColor(QByteArray::fromHex(hex)), color);
    }

    void everyColourComesBackUnchanged_data() {
        QTest::addColumn<QColor>("color");
        QTest::newRow("fine fractions") << QColor::fromRgbF(0.1234f, 0.5f, 0.9f, 0.3f);
        QTest::newRow("fully transparent") << QColor(10, 20, 30, 0);
        QTest::newRow("HSV") << QColor::fromHsv(200, 100, 50, 10);
        QTest::newRow("grey in HSV has no hue") << QColor::fromHsv(-1, 0, 128);
        QTest::newRow("HSL") << QColor::fromHsl(359, 255, 1, 254);
        QTest::newRow("CMYK") << QColor::fromCmyk(1, 2, 3, 4, 5);
        QTest::newRow("beyond the RGB range") << QColor::fromRgbF(1.5f, -0.25f, 0.5f, 0.75f);
    }
    void everyColourComesBackUnchanged() {
        QFETCH(QColor, color);
        QVERIFY(color.isValid());
        QString problem;
        const std::optional<QColor> back =
            ColorArchive::unarchivedColor(ColorArchive::archivedData(color), &problem);
        QVERIFY2(back, qPrintable(problem));
        QCOMPARE(*back, color);
        QCOMPARE(back->alphaF(), color.alphaF());
    }

    void garbledDataIsRefused_data() {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty") << QByteArray() << "the colour data is 0 bytes long, not 11";
        QTest::newRow("cut short") << QByteArray("01ffffffff0000000000")
                                   << "the colour data is 10 bytes long, not 11";
        QTest::newRow("a byte too many")
            << QByteArray("01ffffffff00000000000000") << "the colour data is 12 bytes long, not 11";
        QTest::newRow("an invalid colour")
            << QByteArray("00ffff00000000000000ff") << "the colour data holds no colour";
        QTest::newRow("no such colour model")
            << QByteArray("09ffffffff000000000000") << "the colour data names no colour model (9)";
        QTest::newRow("negative colour model")
            << QByteArray("ffffffffff000000000000") << "the colour data names no colour model (-1)";
        QTest::newRow("hue of 360 degrees") << QByteArray("02ffff8ca0ffffffff0000")
                                            << "the colour data holds the hue 360, beyond 359.99 degrees";
        QTest::newRow("component that is not a number")
            << QByteArray("053c007e0000000000000000").left(22)
            << "the colour data holds a component that is not a number";
        QTest::newRow("opacity of two")
            << QByteArray("0540003c003c003c000000") << "the colour data holds an opacity outside 0 to 1";
        QTest::newRow("text, as a careless sender might give")
            << QByteArray("23ff000000000000000000").left(22) << "the colour data names no colour model (35)";
    }
    void garbledDataIsRefused() {
        QFETCH(QByteArray, hex);
        QFETCH(QString, problem);
        QString why;
        QVERIFY(!ColorArchive::unarchivedColor(QByteArray::fromHex(hex), &why));
        QCOMPARE(why, problem);
    }
};

QTEST_APPLESS_MAIN(TestColorArchive)
#include "tst_ColorArchive.moc"
