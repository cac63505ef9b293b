#pragma once

#include "NotificationObservers.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

class QDBusMessage;
class NotificationsAdaptor;

// Notifications between the programs of the user's session: one D-Bus signal, org.tindral.Notifications
// Notification(s name, a{sv} userInfo), sent from /org/tindral/Notifications on the session bus and heard
// from every sender. Every program that observes a name gets the notification later, from its event loop, the
// poster included; a notification nobody observes is lost, and nothing is acknowledged.
//
// Values travel with their kinds: strings, integers, reals, booleans, data, lists and dictionaries, nested as
// deep as the bus allows. Observers get them back as QString, qint64, double, bool, QByteArray, QVariantList
// and QVariantMap, whatever integer width or nesting the sender used (BusValues converts them). A signal that
// does not have this shape is refused with a message and the program goes on.
class DistributedNotificationCenter : public QObject {
    Q_OBJECT

public:
    using Handler = NotificationObservers::Handler;

    // The centre on the session bus. It connects at its first use once the program has its QCoreApplication
    // (earlier the bus cannot deliver anything); without a bus, posts are dropped with one warning.
    static DistributedNotificationCenter &defaultCenter();
    // A centre on a connection of its own, as a second program would have. One centre per connection.
    explicit DistributedNotificationCenter(const QDBusConnection &connection, QObject *parent = nullptr);
    ~DistributedNotificationCenter() override;

    static QString interfaceName();
    static QString objectPath();

    // False when nothing was sent: no bus (told once), or a value that cannot travel (told each time).
    bool post(const QString &name, const QVariantMap &userInfo = {});
    // An empty name observes every name. With a context object, the observer goes when the context is
    // destroyed. The result identifies the observer for removeObserver().
    int addObserver(const QString &name, Handler handler, QObject *context = nullptr);
    void removeObserver(int token);

    // Returns once the bus has dealt with everything this centre sent it before: the notifications posted
    // have reached the other programs' connections, and this centre hears every notification posted from now
    // on. False without a bus.
    bool waitForBus();
    bool isConnected();

private Q_SLOTS:
    void receive(const QDBusMessage &message);

private:
    DistributedNotificationCenter();
    bool ensureConnection();
    void attach();

    std::optional<QDBusConnection> m_connection;
    bool m_waitingForSessionBus = false;
    bool m_attached = false;
    bool m_toldNotConnected = false;
    QObject *m_exported = nullptr;
    NotificationsAdaptor *m_adaptor = nullptr;
    NotificationObservers m_observers;
};
