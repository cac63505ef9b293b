#pragma once

#include <QHash>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>

#include <memory>

class QLabel;
class TNDKestmoorDate;

namespace Ui {
class dateTimePane;
}

// The Date/Time pane: everything the clock knows at one glance (the IC date, today's and tomorrow's sun, the
// zodiac signs with their pictures, the moon and the next two full moons, the Coliseum), rewritten on a
// repeating timer whose period the user chooses. A second timer keeps the clock's copy of the desktop
// clock's switches fresh.
//
// The outlets are the form's widgets, found by their names (dateTimeString, sunriseString, lunarImage, ...).
class dateTimeController : public QWidget {
    Q_OBJECT

public:
    // The period of the desktop clock's switches being read again, in milliseconds.
    static constexpr int kPreferencesPeriodMs = 5000;
    // The longest redisplay period taken from a setting or a notification, in seconds.
    static constexpr int kLongestPeriod = 86400;

    explicit dateTimeController(QWidget *parent = nullptr);
    ~dateTimeController() override;

    // Takes the shared clock, starts both timers, fills the pane once and listens for a new period.
    void awakeFromNib();
    // Rewrites every text and picture of the pane from the current moment. The timer is not used.
    void redisplayDate(QTimer *timer = nullptr);
    // The handler of the main application's own TND::kUpdateTimerIntervalNote: a new period from the next
    // tick on, with no redraw now.
    void updateTimerInterval(const QVariantMap &userInfo);

    QTimer *timerLoop() { return &m_timerLoop; }
    QTimer *prefTimerLoop() { return &m_prefTimerLoop; }

private:
    void startTimerLoop(int seconds);
    void setPicture(QLabel *view, const QString &name, const QString &accessibleName);

    std::unique_ptr<Ui::dateTimePane> m_ui;
    QTimer m_timerLoop;
    QTimer m_prefTimerLoop;
    TNDKestmoorDate *m_kestmoorDate = nullptr; // the shared clock; not owned
    int m_intervalObserver = 0;
    // What each picture view shows, by picture name and density, so that an unchanged picture is not read
    // again at every tick.
    QHash<const QLabel *, QString> m_shownPictures;
};
