#include "FakeNotificationServer.h"

#include "desktopnotificationsadaptor.h"

#include <QDBusConnectionInterface>

namespace {
const char kServiceName[] = "org.freedesktop.Notifications";
const char kObjectPath[] = "/org/freedesktop/Notifications";
// NotificationClosed's reason for a notice the user dismissed.
constexpr uint kDismissedByUser = 2;
} // namespace

FakeNotificationServer::FakeNotificationServer()
    : m_connectionName(QStringLiteral("fakeNotificationServer%1").arg(quintptr(this))) {
    new DesktopNotificationsAdaptor(this);
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
}

FakeNotificationServer::~FakeNotificationServer() {
    stop();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool FakeNotificationServer::start() {
    QDBusConnection bus(m_connectionName);
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this))
        return false;
    m_started = bus.registerService(QString::fromLatin1(kServiceName));
    if (!m_started)
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
    return m_started;
}

void FakeNotificationServer::stop() {
    if (!m_started)
        return;
    QDBusConnection bus(m_connectionName);
    bus.unregisterService(QString::fromLatin1(kServiceName));
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    m_started = false;
}

uint FakeNotificationServer::Notify(const QString &app_name, uint replaces_id, const QString &app_icon,
                                    const QString &summary, const QString &body, const QStringList &actions,
                                    const QVariantMap &hints, int expire_timeout) {
    const uint id = replaces_id != 0 ? replaces_id : ++m_lastId;
    m_notices.append({app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout, id});
    Q_EMIT notified();
    return id;
}

void FakeNotificationServer::invokeAction(uint id, const QString &actionKey) {
    Q_EMIT ActionInvoked(id, actionKey);
    Q_EMIT NotificationClosed(id, kDismissedByUser);
}
