#include "NumberValues.h"

#include <QRegularExpression>
#include <QTest>

#include <cmath>
#include <limits>

using NumberValues::Refusal;

Q_DECLARE_METATYPE(NumberValues::Refusal)

namespace {

constexpr qint64 kLowest = std::numeric_limits<qint64>::min();
constexpr qint64 kHighest = std::numeric_limits<qint64>::max();

// A reading as one text, so that a failing row shows all of it: "42", "refused 3 (limit 0)".
QString shown(const NumberValues::Reading &reading) {
    if (reading.value)
        return QString::number(*reading.value);
    return QStringLiteral("refused %1 (limit %2)").arg(int(reading.refusal)).arg(reading.limit);
}

QString expected(std::optional<qint64> value, Refusal refusal, qint64 limit) {
    return shown(NumberValues::Reading{value, refusal, limit});
}

} // namespace

class TestNumberValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // Every kind a value from elsewhere can have, read with every kind taken.
    void readsEveryKind_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("kinds");
        QTest::addColumn<qint64>("number"); // when read
        QTest::addColumn<Refusal>("refusal");
        QTest::addColumn<qint64>("limit");
        const int all = NumberValues::Reals | NumberValues::Booleans | NumberValues::Texts;
        const int none = NumberValues::Integers;

        QTest::newRow("missing") << QVariant() << all << qint64(0) << Refusal::Missing << qint64(0);
        QTest::newRow("int") << QVariant(int(-7)) << none << qint64(-7) << Refusal::None << qint64(0);
        QTest::newRow("uint") << QVariant(uint(4000000000u)) << none << qint64(4000000000) << Refusal::None
                              << qint64(0);
        QTest::newRow("short") << QVariant::fromValue(short(-300)) << none << qint64(-300) << Refusal::None
                               << qint64(0);
        QTest::newRow("unsigned char") << QVariant::fromValue((unsigned char)(200)) << none << qint64(200)
                                       << Refusal::None << qint64(0);
        QTest::newRow("int64 lowest") << QVariant(kLowest) << none << kLowest << Refusal::None << qint64(0);
        QTest::newRow("uint64 at int64's top")
            << QVariant(quint64(9223372036854775807ull)) << none << kHighest << Refusal::None << qint64(0);
        QTest::newRow("uint64 one above: refused, never wrapped")
            << QVariant(quint64(9223372036854775808ull)) << none << qint64(0) << Refusal::AboveRange
            << kHighest;
        QTest::newRow("uint64 top") << QVariant(quint64(18446744073709551615ull)) << none << qint64(0)
                                    << Refusal::AboveRange << kHighest;

        QTest::newRow("real not taken")
            << QVariant(2.5) << none << qint64(0) << Refusal::NotANumber << qint64(0);
        QTest::newRow("real: fraction toward zero") << QVariant(2.9) << all << qint64(2) << Refusal::None
                                                    << qint64(0);
        QTest::newRow("negative real: toward zero")
            << QVariant(-2.9) << all << qint64(-2) << Refusal::None << qint64(0);
        QTest::newRow("float") << QVariant(7.75f) << all << qint64(7) << Refusal::None << qint64(0);
        QTest::newRow("real 2^63: above") << QVariant(9223372036854775808.0) << all << qint64(0)
                                          << Refusal::AboveRange << kHighest;
        QTest::newRow("real -2^63: inside")
            << QVariant(-9223372036854775808.0) << all << kLowest << Refusal::None << qint64(0);
        QTest::newRow("real 1e30") << QVariant(1e30) << all << qint64(0) << Refusal::AboveRange << kHighest;
        QTest::newRow("real -1e30") << QVariant(-1e30) << all << qint64(0) << Refusal::BelowRange << kLowest;
        QTest::newRow("NaN: not a number")
            << QVariant(std::nan("")) << all << qint64(0) << Refusal::NotANumber << qint64(0);
        QTest::newRow("infinity: not a number")
            << QVariant(HUGE_VAL) << all << qint64(0) << Refusal::NotANumber << qint64(0);

        QTest::newRow("bool not taken") << QVariant(true) << none << qint64(0) << Refusal::NotANumber
                                        << qint64(0);
        QTest::newRow("true") << QVariant(true) << all << qint64(1) << Refusal::None << qint64(0);
        QTest::newRow("false") << QVariant(false) << all << qint64(0) << Refusal::None << qint64(0);

        QTest::newRow("text not taken") << QVariant(QStringLiteral("5")) << none << qint64(0)
                                        << Refusal::NotANumber << qint64(0);
        QTest::newRow("text") << QVariant(QStringLiteral(" -42 ")) << all << qint64(-42) << Refusal::None
                              << qint64(0);
        QTest::newRow("list") << QVariant(QVariantList{1}) << all << qint64(0) << Refusal::NotANumber
                              << qint64(0);
        QTest::newRow("data") << QVariant(QByteArray("1")) << all << qint64(0) << Refusal::NotANumber
                              << qint64(0);
    }
    void readsEveryKind() {
        QFETCH(QVariant, value);
        QFETCH(int, kinds);
        QFETCH(qint64, number);
        QFETCH(Refusal, refusal);
        QFETCH(qint64, limit);
        const std::optional<qint64> read =
            refusal == Refusal::None ? std::optional<qint64>(number) : std::nullopt;
        QCOMPARE(shown(NumberValues::read(value, kinds)), expected(read, refusal, limit));
    }

    // A whole text, and the number a text starts with.
    void readsTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("whole");   // text()
        QTest::addColumn<QString>("leading"); // leadingText()
        const QString notANumber = expected(std::nullopt, Refusal::NotANumber, 0);
        const QString above = expected(std::nullopt, Refusal::AboveRange, kHighest);
        const QString below = expected(std::nullopt, Refusal::BelowRange, kLowest);
        QTest::newRow("plain") << "120" << "120" << "120";
        QTest::newRow("blanks and plus") << "  +3\t" << "3" << "3";
        QTest::newRow("negative") << "-5" << "-5" << "-5";
        QTest::newRow("trailing text") << "12abc" << notANumber << "12";
        QTest::newRow("a real") << "2.5" << notANumber << "2";
        QTest::newRow("no digits") << "abc" << notANumber << notANumber;
        QTest::newRow("sign alone") << "-" << notANumber << notANumber;
        QTest::newRow("empty") << "" << notANumber << notANumber;
        QTest::newRow("sign then blank") << "- 4" << notANumber << notANumber;
        QTest::newRow("hexadecimal") << "0x10" << notANumber << "0";
        QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0661\u0662") << notANumber << notANumber;
        QTest::newRow("int64 top") << "9223372036854775807" << "9223372036854775807" << "9223372036854775807";
        QTest::newRow("one above") << "9223372036854775808" << above << above;
        QTest::newRow("int64 lowest") << "-9223372036854775808" << "-9223372036854775808"
                                      << "-9223372036854775808";
        QTest::newRow("one below") << "-9223372036854775809" << below << below;
        QTest::newRow("far above, then text") << "99999999999999999999x" << notANumber << above;
        QTest::newRow("leading zeros") << "000000000000000000000042" << "42" << "42";
    }
    void readsTexts() {
        QFETCH(QString, text);
        QFETCH(QString, whole);
        QFETCH(QString, leading);
        QCOMPARE(shown(NumberValues::text(text)), whole);
        QCOMPARE(shown(NumberValues::leadingText(text)), leading);
    }

    // The clamp from double to int64 and its rounding toward minus infinity.
    void clampsRealsToInt64_data() {
        QTest::addColumn<double>("real");
        QTest::addColumn<qint64>("floored");
        QTest::newRow("positive fraction") << 2.5 << qint64(2);
        QTest::newRow("negative fraction: down, not toward zero") << -2.5 << qint64(-3);
        QTest::newRow("whole") << -7.0 << qint64(-7);
        QTest::newRow("2^53 + 2") << 9007199254740994.0 << qint64(9007199254740994);
        QTest::newRow("1e19 holds at the top") << 1e19 << kHighest;
        QTest::newRow("-1e19 holds at the bottom") << -1e19 << kLowest;
        QTest::newRow("-2^63 is inside") << -9223372036854775808.0 << kLowest;
        QTest::newRow("NaN gives 0") << std::nan("") << qint64(0);
        QTest::newRow("infinity gives 0") << HUGE_VAL << qint64(0);
    }
    void clampsRealsToInt64() {
        QFETCH(double, real);
        QFETCH(qint64, floored);
        QCOMPARE(NumberValues::flooredInt64(real), floored);
    }

    // Narrowing: a number outside the range is refused with the end it passed, also one already beyond int64.
    void narrowsToARange_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<qint64>("held"); // valueOrLimit(-1)
        QTest::newRow("inside") << QVariant(5) << "5" << qint64(5);
        QTest::newRow("the low end") << QVariant(-2147483648LL) << "-2147483648" << qint64(-2147483648LL);
        QTest::newRow("above") << QVariant(2147483648LL)
                               << expected(std::nullopt, Refusal::AboveRange, 2147483647)
                               << qint64(2147483647);
        QTest::newRow("below") << QVariant(-2147483649LL)
                               << expected(std::nullopt, Refusal::BelowRange, -2147483648LL)
                               << qint64(-2147483648LL);
        QTest::newRow("beyond int64 above") << QVariant(1e30)
                                            << expected(std::nullopt, Refusal::AboveRange, 2147483647)
                                            << qint64(2147483647);
        QTest::newRow("beyond int64 below") << QVariant(-1e30)
                                            << expected(std::nullopt, Refusal::BelowRange, -2147483648LL)
                                            << qint64(-2147483648LL);
        QTest::newRow("not a number stays so")
            << QVariant(QStringLiteral("x")) << expected(std::nullopt, Refusal::NotANumber, 0) << qint64(-1);
        QTest::newRow("missing stays so") << QVariant() << expected(std::nullopt, Refusal::Missing, 0)
                                          << qint64(-1);
    }
    void narrowsToARange() {
        QFETCH(QVariant, value);
        QFETCH(QString, reading);
        QFETCH(qint64, held);
        const NumberValues::Reading narrowed =
            NumberValues::within(NumberValues::read(value, NumberValues::Reals | NumberValues::Texts),
                                 -2147483648LL, 2147483647LL);
        QCOMPARE(shown(narrowed), reading);
        QCOMPARE(narrowed.valueOrLimit(-1), held);
    }

    void saysWhyItRefused_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("problem");
        QTest::newRow("read") << QVariant(1) << "";
        QTest::newRow("missing") << QVariant() << "is missing";
        QTest::newRow("not a number") << QVariant(QStringLiteral("x")) << "is not a number";
        QTest::newRow("above")
            << QVariant(quint64(18446744073709551615ull)) << "is above 9223372036854775807";
        QTest::newRow("below") << QVariant(-1e300) << "is below -9223372036854775808";
    }
    void saysWhyItRefused() {
        QFETCH(QVariant, value);
        QFETCH(QString, problem);
        QCOMPARE(NumberValues::problem(NumberValues::read(value, NumberValues::Reals)), problem);
    }
};

QTEST_APPLESS_MAIN(TestNumberValues)
#include "tst_NumberValues.moc"
