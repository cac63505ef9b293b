#include "TNDTimerRecord.h"

#include "NumberValues.h"
#include "PropertyList.h"
#include "QuotedText.h"
#include "TNDContract.h"

#include <algorithm>
#include <cmath>

namespace {

QString part(uint32_t value) {
    return value <= 9 ? QStringLiteral("0%1").arg(value) : QString::number(value);
}


QString key(const char *name) {
    return QString::fromLatin1(name);
}

QString missing(const char *name) {
    return QStringLiteral("the timer record has no \"%1\"").arg(key(name));
}

QString wrongKind(const char *name, const QVariant &value, const char *expected) {
    return QStringLiteral("the timer record's \"%1\" is %2, not %3")
        .arg(key(name), PropertyList::kindOf(value), QString::fromLatin1(expected));
}

// The value under `name` when it is there and of the given kind; otherwise the problem.
std::optional<QVariant> take(const QVariantMap &map, const char *name, int type, const char *expected,
                             QString *problem) {
    const auto found = map.constFind(key(name));
    if (found == map.cend()) {
        *problem = missing(name);
        return std::nullopt;
    }
    // An integer of any width is an integer, and a stored 0 or 1 is how some writers keep a boolean.
    const NumberValues::Reading integer = NumberValues::read(*found);
    if (type == QMetaType::LongLong && integer.isRead())
        return QVariant(qint64(*integer.value));
    if (type == QMetaType::LongLong && integer.isOutOfRange()) {
        *problem = QStringLiteral("the timer record's \"%1\" is %2, not a position in a list")
                       .arg(key(name), found->toString());
        return std::nullopt;
    }
    if (type == QMetaType::Bool && (integer.valueOr(-1) == 0 || integer.valueOr(-1) == 1))
        return QVariant(*integer.value == 1);
    if (found->typeId() != type) {
        *problem = wrongKind(name, *found, expected);
        return std::nullopt;
    }
    return *found;
}

} // namespace

QString TNDTimerRecord::formated(uint32_t hours, uint32_t minutes, uint32_t seconds) {
    return QStringLiteral("%1:%2:%3").arg(part(hours), part(minutes), part(seconds));
}

QString TNDTimerRecord::formated(uint32_t totalSeconds) {
    const uint32_t hours = totalSeconds / 3600;
    const uint32_t rest = totalSeconds - hours * 3600;
    const uint32_t minutes = rest / 60;
    return formated(hours, minutes, rest - minutes * 60);
}

// Written as the unsigned count it is: above 2147483647 seconds (68 years) a signed "%d" would turn negative.
QString TNDTimerRecord::totalSecondsString(uint32_t totalSeconds) {
    return QString::number(totalSeconds);
}

std::optional<double> TNDTimerRecord::decimalValue(const QString &text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

TNDTimerRecord TNDTimerRecord::fromParts(const QString &title, uint32_t totalSeconds, bool ic,
                                         const QByteArray &windowColor, double transparency,
                                         int64_t rowIndex) {
    TNDTimerRecord record;
    record.m_title = title;
    record.m_time = formated(totalSeconds);
    record.m_done = QString();
    record.m_windowColor = windowColor;
    record.m_transparency = QString::number(transparency);
    record.m_totalSeconds = totalSecondsString(totalSeconds);
    record.m_ic = ic;
    record.m_rowIndex = rowIndex;
    return record;
}

QVariantMap TNDTimerRecord::toMap() const {
    return {{key(TND::kTitleKey), m_title},
            {key(TND::kTimeKey), m_time},
            {key(TND::kDoneKey), m_done},
            {key(TND::kWindowColorKey), m_windowColor},
            {key(TND::kTransparencyKey), m_transparency},
            {key(TND::kTotalSecondsKey), m_totalSeconds},
            {key(TND::kIcKey), m_ic},
            {key(TND::kRowIndexKey), qint64(m_rowIndex)}};
}

TNDTimerRecord::Reading TNDTimerRecord::fromMap(const QVariantMap &map) {
    Reading reading;
    TNDTimerRecord record;
    QString &problem = reading.problem;

    const auto title = take(map, TND::kTitleKey, QMetaType::QString, "a string", &problem);
    if (!title)
        return reading;
    record.m_title = title->toString();

    const auto time = take(map, TND::kTimeKey, QMetaType::QString, "a string", &problem);
    if (!time)
        return reading;
    record.m_time = time->toString();

    const auto done = take(map, TND::kDoneKey, QMetaType::QString, "a string", &problem);
    if (!done)
        return reading;
    record.m_done = done->toString();

    const auto color = take(map, TND::kWindowColorKey, QMetaType::QByteArray, "data", &problem);
    if (!color)
        return reading;
    record.m_windowColor = color->toByteArray();

    const auto total =
        take(map, TND::kTotalSecondsKey, QMetaType::QString, "a string holding a number", &problem);
    if (!total)
        return reading;
    const std::optional<double> seconds = decimalValue(total->toString());
    if (!seconds || *seconds < 0) {
        problem = QStringLiteral("the timer record's \"%1\" is \"%2\", not a number of seconds")
                      .arg(key(TND::kTotalSecondsKey), quotedText(total->toString()));
        return reading;
    }
    record.m_totalSeconds = total->toString();

    const auto ic = take(map, TND::kIcKey, QMetaType::Bool, "a boolean", &problem);
    if (!ic)
        return reading;
    record.m_ic = ic->toBool();

    const auto row = take(map, TND::kRowIndexKey, QMetaType::LongLong, "an integer", &problem);
    if (!row)
        return reading;
    if (row->toLongLong() < 0) {
        problem = QStringLiteral("the timer record's \"%1\" is %2, not a position in a list")
                      .arg(key(TND::kRowIndexKey))
                      .arg(row->toLongLong());
        return reading;
    }
    record.m_rowIndex = row->toLongLong();

    // Last, as it is the one key that may be unusable without refusing the record.
    const auto transparency = map.constFind(key(TND::kTransparencyKey));
    if (transparency == map.cend()) {
        reading.softProblem = missing(TND::kTransparencyKey) + QStringLiteral("; its window is opaque");
    } else if (transparency->typeId() != QMetaType::QString) {
        reading.softProblem = wrongKind(TND::kTransparencyKey, *transparency, "a string holding a number") +
                              QStringLiteral("; its window is opaque");
    } else {
        record.m_transparency = transparency->toString();
        const std::optional<double> opacity = decimalValue(record.m_transparency);
        if (!opacity)
            reading.softProblem =
                QStringLiteral("the timer record's \"%1\" is \"%2\", not a number; its window is opaque")
                    .arg(key(TND::kTransparencyKey), quotedText(record.m_transparency));
        else if (*opacity < 0.0 || *opacity > 1.0)
            reading.softProblem =
                QStringLiteral("the timer record's \"%1\" is %2, outside 0 to 1; its window is %3")
                    .arg(key(TND::kTransparencyKey), quotedText(record.m_transparency),
                         *opacity < 0.0 ? QStringLiteral("invisible") : QStringLiteral("opaque"));
    }
    reading.record = std::move(record);
    return reading;
}

double TNDTimerRecord::opacity() const {
    const std::optional<double> value = decimalValue(m_transparency);
    if (!value)
        return 1.0;
    return std::clamp(*value, 0.0, 1.0);
}

std::optional<QString> TNDTimerRecord::rowIndexProblem(int64_t rowIndex, qsizetype count) {
    if (rowIndex >= 0 && rowIndex < count)
        return std::nullopt;
    if (count == 0)
        return QStringLiteral("\"%1\" %2 names no timer: the list is empty")
            .arg(key(TND::kRowIndexKey))
            .arg(rowIndex);
    return QStringLiteral("\"%1\" %2 names no timer: the list holds %3, from 0 to %4")
        .arg(key(TND::kRowIndexKey))
        .arg(rowIndex)
        .arg(count)
        .arg(count - 1);
}
