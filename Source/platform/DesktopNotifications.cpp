#include "DesktopNotifications.h"

#include "notificationsinterface.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>

namespace {

constexpr char kServiceName[] = "org.freedesktop.Notifications";
constexpr char kObjectPath[] = "/org/freedesktop/Notifications";
constexpr char kDefaultActionKey[] = "default";
constexpr char kUrgencyHint[] = "urgency";
constexpr char kDesktopEntryHint[] = "desktop-entry";
constexpr char kSoundNameHint[] = "sound-name";
// The text of the default action; servers that show actions as buttons show it, most show none for it.
constexpr char kDefaultActionLabel[] = "Open";

constexpr char kNoBusProblem[] = "there is no session bus";
constexpr char kRefusedMessage[] = "The desktop's notification server did not show \"%s\": %s";

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

// The answers of a bus without a notification server, or one that goes away: the notice is just not shown.
bool isNoServer(QDBusError::ErrorType type) {
    switch (type) {
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

DesktopNotifications &DesktopNotifications::shared() {
    static DesktopNotifications *notifications = [] {
        auto *created = new DesktopNotifications;
        // Gone with the application, while its bus connection still exists.
        if (QCoreApplication *application = QCoreApplication::instance())
            created->setParent(application);
        return created;
    }();
    return *notifications;
}

DesktopNotifications::DesktopNotifications() = default;

DesktopNotifications::DesktopNotifications(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection) {}

DesktopNotifications::~DesktopNotifications() = default;

QString DesktopNotifications::serviceName() {
    return text(kServiceName);
}

QString DesktopNotifications::objectPath() {
    return text(kObjectPath);
}

QString DesktopNotifications::defaultActionKey() {
    return text(kDefaultActionKey);
}

QVariantMap DesktopNotifications::hintsOf(const Notice &notice) {
    QVariantMap hints;
    hints.insert(text(kUrgencyHint), QVariant::fromValue<uchar>(uchar(notice.urgency)));
    if (!notice.desktopEntry.isEmpty())
        hints.insert(text(kDesktopEntryHint), notice.desktopEntry);
    if (!notice.soundName.isEmpty())
        hints.insert(text(kSoundNameHint), notice.soundName);
    return hints;
}

bool DesktopNotifications::ensureConnection() {
    if (!m_connection)
        m_connection = QDBusConnection::sessionBus();
    if (!m_connection->isConnected())
        return false;
    if (!m_server) {
        m_server = std::make_unique<OrgFreedesktopNotificationsInterface>(serviceName(), objectPath(),
                                                                          *m_connection);
        // The server may come and go; the signals are heard from whichever process holds its name.
        connect(m_server.get(), &OrgFreedesktopNotificationsInterface::ActionInvoked, this,
                &DesktopNotifications::serverInvokedAction);
        connect(m_server.get(), &OrgFreedesktopNotificationsInterface::NotificationClosed, this,
                &DesktopNotifications::serverClosed);
    }
    return true;
}

quint64 DesktopNotifications::notify(const Notice &notice) {
    const quint64 number = ++m_lastNotice;
    if (!ensureConnection()) {
        // Told after the caller has its number, as every other answer is.
        QMetaObject::invokeMethod(
            this, [this, number] { Q_EMIT notShown(number, text(kNoBusProblem)); }, Qt::QueuedConnection);
        return number;
    }
    QStringList actions;
    if (notice.defaultAction)
        actions << defaultActionKey() << text(kDefaultActionLabel);
    const QDBusPendingCall call =
        m_server->Notify(notice.appName, 0, notice.appIcon, notice.summary, notice.body, actions,
                         hintsOf(notice), notice.expireTimeout);
    const QString summary = notice.summary;
    auto answered = [this, number, summary](QDBusPendingCallWatcher *watcher) {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            const QDBusError error = reply.error();
            if (!isNoServer(error.type()))
                qWarning(kRefusedMessage, qPrintable(summary), qPrintable(error.message()));
            Q_EMIT notShown(number, error.message());
            return;
        }
        m_shownNotices.insert(reply.value(), number);
        Q_EMIT shown(number, reply.value());
    };
    connect(new QDBusPendingCallWatcher(call, this), &QDBusPendingCallWatcher::finished, this, answered);
    return number;
}

void DesktopNotifications::serverInvokedAction(uint id, const QString &actionKey) {
    const auto found = m_shownNotices.constFind(id);
    if (found == m_shownNotices.cend())
        return; // another program's notice
    Q_EMIT actionInvoked(*found, actionKey);
}

void DesktopNotifications::serverClosed(uint id) {
    m_shownNotices.remove(id);
}
