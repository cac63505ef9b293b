#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>

// Whole numbers read from values that came from elsewhere: the settings file, a notification's user info, a
// timer record, a text. Every reader here follows one rule.
//
// - A value gives a number only when it is one of the kinds the reader takes; anything else is refused as
//   NotANumber, and a missing value (an invalid QVariant) as Missing.
// - A real gives its whole part: toward zero (a reading), or toward minus infinity (floored()). NaN and the
//   infinities are not numbers.
// - A number outside the range asked for (int64 unless the caller narrows it with within()) is refused, never
//   wrapped and never held at an end unasked. The refusal says which end it passed and gives that end as its
//   limit, so that a caller that wants to hold at the end says so with valueOrLimit().
//
// Each caller decides only what a refusal means to it: a default, the value it had, a message, or the limit.
namespace NumberValues {

enum class Refusal {
    None,       // read
    Missing,    // no value at all
    NotANumber, // a value of another kind, NaN or an infinity, or a text that is not a whole number
    BelowRange, // a number below the range; the limit is the range's low end
    AboveRange, // a number above the range; the limit is the range's high end
};

struct Reading {
    std::optional<int64_t> value; // the number, when it is read
    Refusal refusal = Refusal::None;
    int64_t limit = 0; // for BelowRange and AboveRange: the end of the range the number passed

    bool isRead() const { return value.has_value(); }
    bool isOutOfRange() const { return refusal == Refusal::BelowRange || refusal == Refusal::AboveRange; }
    int64_t valueOr(int64_t fallback) const { return value.value_or(fallback); }
    // The number; for a number out of range, the end it passed; otherwise `fallback`.
    int64_t valueOrLimit(int64_t fallback) const;
};

// Kinds a reader takes besides integers.
enum Kind {
    Integers = 0,    // integers of every width, signed or not
    Reals = 1,       // double and float, their fraction dropped toward zero
    Booleans = 2,    // false as 0, true as 1
    Texts = 4,       // QString holding a whole decimal number (see text())
    LeadingText = 8, // QString read by leadingText()
};
using Kinds = int;

Reading read(const QVariant &value, Kinds kinds = Integers);

// A whole decimal number, blanks around it allowed, a sign before it allowed: "42", " -7 ", "+3".
Reading text(const QString &text);
// The number a text starts with, as C's strtol reads it: leading blanks, a sign, the digits that follow;
// the rest is ignored. No digits: NotANumber.
Reading leadingText(const QString &text);

// A real's whole part toward zero, and toward minus infinity.
Reading real(double value);
Reading floored(double value);

// The reading narrowed to [low, high]: a number outside is refused with the end it passed.
Reading within(const Reading &reading, int64_t low, int64_t high);

// The clamp from double to int64: the whole part toward minus infinity, held at int64's ends; NaN and the
// infinities give 0.
int64_t flooredInt64(double value);

// What a refusal says, for a message: "is missing", "is not a number", "is below -2147483648" ...
QString problem(const Reading &reading);

} // namespace NumberValues
