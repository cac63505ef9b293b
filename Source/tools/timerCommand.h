#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// tindral-clock timer add|change|remove: posts on the session bus what the main application's timer editor
// posts for its Add, Change and Delete buttons (TNDAddTimer, TNDChangeTimer, TNDRemoveTimer), so that
// scripts and tests can drive the companion's timers. `arguments` are those after the word "timer". Returns
// the exit status: 0 when the notification went out, 1 when it could not be sent, 2 for arguments it cannot
// use (one line on standard error names the problem).
int runTimerCommand(const QStringList &arguments);

struct TimerCommandNotification {
    QString name;
    QVariantMap userInfo;
};

// The notification that the arguments (without --help) ask for, or nothing with the problem in `problem`.
std::optional<TimerCommandNotification> timerCommandNotification(const QStringList &arguments,
                                                                 QString *problem);

// The text of tindral-clock timer --help.
QString timerCommandHelp();
