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
//
// The list outlives the companion: the main application keeps the records in the settings file's
// timerArray, and this list keeps each timer's end moment (OOC seconds, wall clock) under timerEnds, by
// position, written once per start, change, removal and end, never per tick. A position without an end
// (a dormant timer, an entry that cannot be read) holds an empty string. A done timer keeps its past end
// until the main application's list marks it done, so that a later start still tells of its end.
//
// At a timer's end a desktop notification says so, unless the setting timerEndNotifications is 0; a click
// on it asks for the main application's Timers/Alerts pane (timersPaneRequested).
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

    // At start: one timer for each record of the settings file's timerArray, in order, resumed from its
    // entry of timerEnds: a done record stays dormant; an end to come counts on to it; an end passed ends
    // the timer at once (00:00:00, TNDDoneTimer once); no end starts the whole duration. An entry that
    // cannot be read keeps its place as a dormant entry without a timer, with a warning, so that every later
    // position still names the same timer as in the main application.
    void loadTimers(const QVariant &timerArray, const QVariant &timerEnds = QVariant());
    // Writes every timer's end under timerEnds; the file's other keys stay as they are.
    void recordEnds();
    qsizetype count() const { return qsizetype(m_timerArray.size()); }
    // Nothing for an entry that could not be read, and outside the list.
    timerObject *timerAt(qsizetype index) const;
    // The position of `timer`, or -1.
    qsizetype indexOf(const QObject *timer) const;

    // Whether a timer's end is told on the desktop: the setting, where a missing value means yes.
    static bool timerEndNotificationsOn();

Q_SIGNALS:
    // The user clicked the desktop notification of a timer's end.
    void timersPaneRequested();

private:
    void announceEnd(const timerObject &timer);

    DistributedNotificationCenter &m_center;
    // Nothing at the place of an entry that could not be read.
    std::vector<std::unique_ptr<timerObject>> m_timerArray;
    bool m_listeningToNotices = false;
};
