#pragma once

#include "NotificationObservers.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

// Notifications inside one program (doneTimer in the companion, the main application's own
// TNDUpdateTimerInterval): the observers are called during post().
class NotificationCenter {
public:
    using Handler = NotificationObservers::Handler;

    static NotificationCenter &defaultCenter();

    // An empty name observes every name; see NotificationObservers::add.
    int addObserver(const QString &name, Handler handler, QObject *context = nullptr);
    void removeObserver(int token);
    void post(const QString &name, QObject *object = nullptr, const QVariantMap &userInfo = {});

private:
    NotificationObservers m_observers;
};
