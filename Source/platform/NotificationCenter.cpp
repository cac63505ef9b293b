#include "NotificationCenter.h"

NotificationCenter &NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

int NotificationCenter::addObserver(const QString &name, Handler handler, QObject *context) {
    return m_observers.add(name, std::move(handler), context);
}

void NotificationCenter::removeObserver(int token) {
    m_observers.remove(token);
}

void NotificationCenter::post(const QString &name, QObject *object, const QVariantMap &userInfo) {
    m_observers.dispatch(Notification{name, userInfo, object});
}
