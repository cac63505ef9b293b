#pragma once

#include "Notification.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

// The observer list behind both notification centres: who wants which name, and the calls to them.
class NotificationObservers {
public:
    using Handler = std::function<void(const Notification &)>;

    // An empty name observes every name. With a context object, the observer goes when the context is
    // destroyed. The result identifies the observer for remove().
    int add(const QString &name, Handler handler, QObject *context = nullptr);
    void remove(int token);
    // Calls the observers of the notification's name, in the order they were added. An observer may add or
    // remove observers, itself included, while it is called: those removed are not called afterwards, those
    // added only from the next notification on.
    void dispatch(const Notification &notification);

private:
    struct Observer {
        int token = 0;
        QString name;
        Handler handler;
        bool hasContext = false;
        QPointer<QObject> context;
    };

    void removeObserversWithoutContext();

    std::vector<Observer> m_observers;
    int m_nextToken = 1;
};
