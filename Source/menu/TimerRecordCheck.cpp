#include "TimerRecordCheck.h"

#include "ColorArchive.h"
#include "TNDContract.h"

TimerRecordCheck::Result TimerRecordCheck::read(const QVariantMap &map) {
    Result result;
    TNDTimerRecord::Reading reading = TNDTimerRecord::fromMap(map);
    if (!reading.record) {
        result.problem = reading.problem;
        return result;
    }
    QString problem;
    const std::optional<QColor> color =
        ColorArchive::unarchivedColor(reading.record->windowColor(), &problem);
    if (!color) {
        result.problem = QStringLiteral("the timer record's \"%1\" is unreadable: %2")
                             .arg(QString::fromLatin1(TND::kWindowColorKey), problem);
        return result;
    }
    result.record = std::move(reading.record);
    result.windowColor = *color;
    result.softProblem = reading.softProblem;
    return result;
}
