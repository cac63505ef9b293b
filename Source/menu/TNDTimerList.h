#pragma once

#include "TNDTimerRecord.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <vector>

class DistributedNotificationCenter;
class timerObject;

// The companion's running countdown timers, in the order of the main application's timer list, and the
// handling of the timer notifications: TNDAddTimer appends a timer, TNDChangeTimer and TNDRemoveTimer
// name one by its position, and a timer's doneTimer is told to the main application as TNDDoneTimer with
// that timer's position.
//
// A notification that cannot be used (a key missing or of the wrong kind, a colour that cannot be read, a
// position outside the list) changes nothing; the reason goes to the program's warnings.
class TNDTimerList : public QObject {
    Q_OBJECT

public:
    // TNDDoneTimer goes out on `center`.
    explicit TNDTimerList(DistributedNotificationCenter &center, QObject *parent = nullptr);
    ~TNDTimerList() override;

    // Observes TNDAddTimer, TNDChangeTimer and TNDRemoveTimer on the centre and the timers' own
    // doneTimer in the program, each with the handler below, for as long as the list exists.
    void observe();

    // The handlers, given the notification's user info (for doneTimer, its object). Each returns whether
    // it changed anything.
    bool addTimer(const QVariantMap &userInfo);
    bool changeTimer(const QVariantMap &userInfo);
    bool removeTimer(const QVariantMap &userInfo);
    // A timer that is not in this list is left to whoever holds it.
    bool doneTimer(const QObject *finished);

    // At start: one timer for each record of the settings file's timerArray, in order. A record that
    // cannot be read is left out, with a warning.
    void loadTimers(const QVariant &timerArray);
    qsizetype count() const { return qsizetype(m_timerArray.size()); }
    timerObject *timerAt(qsizetype index) const;
    // The position of `timer`, or -1.
    qsizetype indexOf(const QObject *timer) const;

private:
    DistributedNotificationCenter &m_center;
    std::vector<std::unique_ptr<timerObject>> m_timerArray;
};
