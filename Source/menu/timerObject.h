#pragma once

#include "TNDTimerRecord.h"

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
class QWidget;

// One countdown timer of the companion: its own copy of the timer record and a small borderless window that
// floats above the other windows near the top right corner of the primary screen, showing the time left as
// HH:MM:SS. The user moves the window by dragging its background.
//
// A timer is running (window shown, counting), done (its countdown ended: window still shown with 00:00:00,
// done is "√", no counting) or dormant (made from a record that was already done: window never shown, no
// counting). mergeWithDict() puts a timer of any state back to running.
//
// The countdown follows the real time elapsed since the timer (re)started, read from Clock::monotonicNow(),
// at the timer's rate: one IC second per 11/45 real second for an IC timer, one second per second otherwise.
// A tick is due every second; a tick that comes late, or after the machine slept, catches up at once. When
// the time left falls below one second, the timer marks its record done and posts the in-process notification
// doneTimer (NotificationCenter::defaultCenter()) with itself as the notification's object.
//
// Each counting or done timer knows its end moment on the wall clock (OOC seconds), so that a companion that
// starts again can let it count on to the same end (resumeUntil) rather than from its whole duration.
class timerObject : public QObject {
    Q_OBJECT

public:
    // The seconds taken off totalSeconds at each tick: 45/11 in single precision (4.0909090042114258) for
    // an IC timer, 1 for a real-time timer.
    static constexpr float kICDecrementInterval = 45.0f / 11.0f;
    static constexpr float kRealDecrementInterval = 1.0f;
    // Real time between two ticks, in milliseconds.
    static constexpr int kTickInterval = 1000;
    // How early a tick may fire, in ticks, and still be the one that was due.
    static constexpr double kEarlyTickTolerance = 0.1;

    // A new timer for a record that has been read (TimerRecordCheck gives both arguments), its window shown
    // and counting unless the record is already done.
    static std::unique_ptr<timerObject> timerWithDict(const TNDTimerRecord &record,
                                                      const QColor &windowColor);
    timerObject(const TNDTimerRecord &record, const QColor &windowColor, QObject *parent = nullptr);
    ~timerObject() override;

    // Takes the new record whole, applies its colour, opacity, title and time text, and starts counting
    // again from its totalSeconds, whatever its done says. The window keeps its place.
    void mergeWithDict(const TNDTimerRecord &record, const QColor &windowColor);
    // One countdown step; the timer's own tick calls it. Does nothing while the timer is not counting.
    void performInterval();
    // Writes the time left (totalSeconds) into the window as HH:MM:SS; hours can have three digits or more.
    void updateDisplay();
    // Takes the window off the screen; the timer and its window go on existing.
    void hideWindow();
    // Stops the countdown where it stands, without marking the record done.
    void stopCountdown();
    // Counts on so that the countdown ends at `endMoment` (OOC seconds): the window shows the time left at
    // once. An end that has passed ends the timer at the next turn of the event loop, with 00:00:00 and the
    // usual doneTimer, so that the list that holds it hears of it.
    void resumeUntil(double endMoment);

    // The moment (OOC seconds) at which the countdown ends or ended; nothing for a dormant timer and for one
    // stopped before its end.
    std::optional<double> endMoment() const { return m_endMoment; }

    // The timer's own copy of its record: totalSeconds holds the time left after the last tick ("%f") and
    // "0" once done; done is "√" once done.
    const TNDTimerRecord &timerInfo() const { return m_timerInfo; }
    QWidget *theWindow() const { return m_theWindow.get(); }
    QLabel *displayField() const { return m_displayField; }
    const QTimer &theTimer() const { return m_theTimer; }
    bool isCounting() const { return m_counting; }
    float decrementInterval() const { return m_decrementInterval; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyRecord(const QColor &windowColor);
    void bringWindowToFront();
    void startCountdown();
    void finish();

    TNDTimerRecord m_timerInfo;
    std::unique_ptr<QWidget> m_theWindow;
    QLabel *m_displayField = nullptr; // a child of m_theWindow
    QTimer m_theTimer;
    float m_decrementInterval = kRealDecrementInterval;

    bool m_counting = false;
    double m_startMoment = 0.0; // Clock::monotonicNow() when counting (re)started
    std::optional<double> m_endMoment;
    bool m_endsAtOnce = false;  // the next tick ends the timer, whatever is left
    int64_t m_ticksTaken = 0;   // whole ticks counted since then
    float m_left = 0.0f;        // seconds of the timer's own kind left after those ticks

    std::optional<QPointF> m_dragOffset; // the pointer's place in the window while it is dragged
};
