#include "NumberValues.h"

#include <cmath>
#include <limits>

namespace {

constexpr int64_t kLowest = std::numeric_limits<int64_t>::min();
constexpr int64_t kHighest = std::numeric_limits<int64_t>::max();
// 2^63: the first real above int64; -2^63 is int64's lowest and still inside.
constexpr double kTwoToThe63 = 9223372036854775808.0;

NumberValues::Reading number(int64_t value) {
    return {value, NumberValues::Refusal::None, 0};
}

NumberValues::Reading refused(NumberValues::Refusal refusal, int64_t limit = 0) {
    return {std::nullopt, refusal, limit};
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// `digits` (ASCII digits only, at least one) with its sign. Counted downward, so that int64's lowest fits.
NumberValues::Reading digitsValue(QStringView digits, bool negative) {
    int64_t below = 0;
    for (const QChar c : digits) {
        const int digit = c.unicode() - u'0';
        if (below < (kLowest + digit) / 10)
            return negative ? refused(NumberValues::Refusal::BelowRange, kLowest)
                            : refused(NumberValues::Refusal::AboveRange, kHighest);
        below = below * 10 - digit;
    }
    if (negative)
        return number(below);
    if (below == kLowest)
        return refused(NumberValues::Refusal::AboveRange, kHighest);
    return number(-below);
}

NumberValues::Reading wholePart(double whole) {
    if (whole >= kTwoToThe63)
        return refused(NumberValues::Refusal::AboveRange, kHighest);
    if (whole < -kTwoToThe63)
        return refused(NumberValues::Refusal::BelowRange, kLowest);
    return number(int64_t(whole));
}

} // namespace

namespace NumberValues {

int64_t Reading::valueOrLimit(int64_t fallback) const {
    if (value)
        return *value;
    return isOutOfRange() ? limit : fallback;
}

Reading read(const QVariant &value, Kinds kinds) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return refused(Refusal::Missing);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
        return number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        if (value.toULongLong() > uint64_t(kHighest))
            return refused(Refusal::AboveRange, kHighest);
        return number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        if (kinds & Reals)
            return real(value.toDouble());
        break;
    case QMetaType::Bool:
        if (kinds & Booleans)
            return number(value.toBool() ? 1 : 0);
        break;
    case QMetaType::QString:
        if (kinds & Texts)
            return text(value.toString());
        if (kinds & LeadingText)
            return leadingText(value.toString());
        break;
    default:
        break;
    }
    return refused(Refusal::NotANumber);
}

Reading text(const QString &text) {
    const QStringView trimmed = QStringView(text).trimmed();
    const bool hasSign = !trimmed.isEmpty() && (trimmed[0] == u'-' || trimmed[0] == u'+');
    const QStringView digits = trimmed.mid(hasSign ? 1 : 0);
    if (digits.isEmpty())
        return refused(Refusal::NotANumber);
    for (const QChar c : digits) {
        if (!isAsciiDigit(c))
            return refused(Refusal::NotANumber);
    }
    return digitsValue(digits, trimmed[0] == u'-');
}

Reading leadingText(const QString &text) {
    const QStringView trimmed = QStringView(text).trimmed();
    const bool hasSign = !trimmed.isEmpty() && (trimmed[0] == u'-' || trimmed[0] == u'+');
    const QStringView rest = trimmed.mid(hasSign ? 1 : 0);
    qsizetype end = 0;
    while (end < rest.size() && isAsciiDigit(rest[end]))
        ++end;
    if (end == 0)
        return refused(Refusal::NotANumber);
    return digitsValue(rest.left(end), trimmed[0] == u'-');
}

Reading real(double value) {
    if (!std::isfinite(value))
        return refused(Refusal::NotANumber);
    return wholePart(std::trunc(value));
}

Reading floored(double value) {
    if (!std::isfinite(value))
        return refused(Refusal::NotANumber);
    return wholePart(std::floor(value));
}

Reading within(const Reading &reading, int64_t low, int64_t high) {
    if (!reading.value) {
        // A number beyond int64 is beyond any narrower range too, on the same side.
        if (reading.refusal == Refusal::BelowRange)
            return refused(Refusal::BelowRange, low);
        if (reading.refusal == Refusal::AboveRange)
            return refused(Refusal::AboveRange, high);
        return reading;
    }
    if (*reading.value < low)
        return refused(Refusal::BelowRange, low);
    if (*reading.value > high)
        return refused(Refusal::AboveRange, high);
    return reading;
}

int64_t flooredInt64(double value) {
    return floored(value).valueOrLimit(0);
}

QString problem(const Reading &reading) {
    switch (reading.refusal) {
    case Refusal::None:
        return QString();
    case Refusal::Missing:
        return QStringLiteral("is missing");
    case Refusal::NotANumber:
        return QStringLiteral("is not a number");
    case Refusal::BelowRange:
        return QStringLiteral("is below %1").arg(reading.limit);
    case Refusal::AboveRange:
        return QStringLiteral("is above %1").arg(reading.limit);
    }
    return QString();
}

} // namespace NumberValues
