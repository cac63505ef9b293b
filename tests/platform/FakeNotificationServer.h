#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// A desktop notification server for tests: it owns org.freedesktop.Notifications on a bus connection of its
// own, shows nothing, and keeps every Notify it is sent. A test plays the user with invokeAction().
class FakeNotificationServer : public QObject {
    Q_OBJECT

public:
    struct Notice {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0; // the id this server gave it
    };

    // Connects to the session bus under a connection name of its own.
    FakeNotificationServer();
    ~FakeNotificationServer() override;

    // Takes the server's name and object path; false when either is taken or there is no bus.
    bool start();
    // Gives the name up again, as a server that quits.
    void stop();

    const QList<Notice> &notices() const { return m_notices; }
    // The user chose `actionKey` of notice `id` (the server closes it, as servers do after a click).
    void invokeAction(uint id, const QString &actionKey);

public Q_SLOTS:
    // org.freedesktop.Notifications, through the adaptor generated from its interface description.
    uint Notify(const QString &app_name, uint replaces_id, const QString &app_icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints,
                int expire_timeout);

Q_SIGNALS:
    void ActionInvoked(uint id, const QString &action_key);
    void NotificationClosed(uint id, uint reason);
    // For the test: a notice came in.
    void notified();

private:
    QString m_connectionName;
    QList<Notice> m_notices;
    uint m_lastId = 0;
    bool m_started = false;
};
