#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class OrgFreedesktopNotificationsInterface;

// Notices on the desktop through its notification server, org.freedesktop.Notifications on the session bus.
// A notice is sent without waiting for the server; its answer comes later as shown() or notShown(). With no
// server on the bus, or no bus at all, nothing fails and nothing is said: the notice is simply not shown.
//
// Of the actions a notice offers, the server reports the one the user chose ("default" is a click on the
// notice itself); actionInvoked() passes that on for this object's own notices only.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    // The server's "urgency" hint, sent as a byte.
    enum class Urgency : unsigned char { Low = 0, Normal = 1, Critical = 2 };

    struct Notice {
        QString appName;
        QString appIcon;      // an icon name of the theme or a file:// address; may be empty
        QString summary;      // one line
        QString body;         // may be empty
        QString desktopEntry; // the program's desktop entry without ".desktop"; empty: no hint
        QString soundName;    // a sound of the theme, such as "complete"; empty: no hint
        Urgency urgency = Urgency::Normal;
        bool defaultAction = true; // a click on the notice is reported
        int expireTimeout = -1;    // milliseconds; -1 leaves it to the server, 0 never expires
    };

    // The notices on the session bus, which it connects to at the first notify().
    static DesktopNotifications &shared();
    // The notices on a connection of the caller's.
    explicit DesktopNotifications(const QDBusConnection &connection, QObject *parent = nullptr);
    ~DesktopNotifications() override;

    static QString serviceName();
    static QString objectPath();
    static QString defaultActionKey();
    // The hints a notice is sent with: "urgency" (a byte), "desktop-entry" and "sound-name" when given.
    static QVariantMap hintsOf(const Notice &notice);

    // Sends a notice and returns at once. The number (from 1) names this notice in the signals below.
    quint64 notify(const Notice &notice);

Q_SIGNALS:
    // The server shows the notice under its own id.
    void shown(quint64 notice, uint id);
    // The notice is not shown: no bus, no server, or the server refused it.
    void notShown(quint64 notice, const QString &problem);
    // The user chose an action of one of this object's notices.
    void actionInvoked(quint64 notice, const QString &actionKey);

private:
    DesktopNotifications();
    bool ensureConnection();
    void serverInvokedAction(uint id, const QString &actionKey);
    void serverClosed(uint id);

    std::optional<QDBusConnection> m_connection;
    std::unique_ptr<OrgFreedesktopNotificationsInterface> m_server;
    quint64 m_lastNotice = 0;
    QHash<uint, quint64> m_shownNotices; // the server's id of each notice still on the desktop
};
