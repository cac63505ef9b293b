#pragma once

#include "TNDTimerRecord.h"

#include <QColor>
#include <QString>
#include <QVariantMap>

#include <optional>

// Reads a timer record that came from elsewhere, its colour included, for a program that is about to show
// it: every key present and of its kind (TNDTimerRecord::fromMap), and a windowColor that unarchives to a
// colour.
class TimerRecordCheck {
public:
    struct Result;
    static Result read(const QVariantMap &map);
};

struct TimerRecordCheck::Result {
    std::optional<TNDTimerRecord> record; // nothing when the record is refused
    QColor windowColor;                   // the unarchived colour, when there is a record
    QString problem;                      // why the record is refused
    QString softProblem;                  // what is wrong with a record read all the same
};
