#include "NotificationObservers.h"

#include <algorithm>

int NotificationObservers::add(const QString &name, Handler handler, QObject *context) {
    const int token = m_nextToken++;
    m_observers.push_back(Observer{token, name, std::move(handler), context != nullptr, context});
    return token;
}

void NotificationObservers::remove(int token) {
    std::erase_if(m_observers, [token](const Observer &o) { return o.token == token; });
}

void NotificationObservers::removeObserversWithoutContext() {
    std::erase_if(m_observers, [](const Observer &o) { return o.hasContext && !o.context; });
}

void NotificationObservers::dispatch(const Notification &notification) {
    removeObserversWithoutContext();
    std::vector<int> due;
    for (const Observer &o : m_observers) {
        if (o.name.isEmpty() || o.name == notification.name)
            due.push_back(o.token);
    }
    for (const int token : due) {
        const auto found = std::find_if(m_observers.cbegin(), m_observers.cend(),
                                        [token](const Observer &o) { return o.token == token; });
        if (found == m_observers.cend() || (found->hasContext && !found->context))
            continue;
        // A copy: the observer may remove itself, and with it the handler being run.
        const Handler handler = found->handler;
        handler(notification);
    }
}
