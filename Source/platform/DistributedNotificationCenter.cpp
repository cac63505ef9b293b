#include "DistributedNotificationCenter.h"

#include "BusValues.h"
#include "notificationsadaptor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QMetaClassInfo>
#include <QtDebug>

namespace {

constexpr char kObjectPath[] = "/org/tindral/Notifications";
constexpr char kSignalName[] = "Notification";
constexpr char kSignature[] = "sa{sv}";

constexpr char kNotConnectedMessage[] =
    "No D-Bus session bus (%s): notifications are not sent to other programs.";
constexpr char kNotSentMessage[] = "The notification \"%s\" was not sent: %s.";
constexpr char kRefusedMessage[] = "A notification from %s was refused: %s.";

QString busInterfaceName() {
    const QMetaObject &meta = NotificationsAdaptor::staticMetaObject;
    return QString::fromLatin1(meta.classInfo(meta.indexOfClassInfo("D-Bus Interface")).value());
}

// Kept to the end of the process: the session bus goes with the application object, and a centre destroyed
// after it would talk to a closed connection.
DistributedNotificationCenter *g_defaultCenter = nullptr;

// Observers registered before the program made its QCoreApplication (a clock made that early) start hearing
// as soon as it exists, not only at the next use of the centre.
void connectEarlyObservers() {
    if (g_defaultCenter)
        g_defaultCenter->isConnected();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(connectEarlyObservers)

DistributedNotificationCenter &DistributedNotificationCenter::defaultCenter() {
    if (!g_defaultCenter)
        g_defaultCenter = new DistributedNotificationCenter();
    return *g_defaultCenter;
}

DistributedNotificationCenter::DistributedNotificationCenter()
    : m_waitingForSessionBus(true) {}

DistributedNotificationCenter::DistributedNotificationCenter(const QDBusConnection &connection,
                                                             QObject *parent)
    : QObject(parent)
    , m_connection(connection) {
    attach();
}

DistributedNotificationCenter::~DistributedNotificationCenter() {
    if (m_attached) {
        m_connection->disconnect(QString(), objectPath(), interfaceName(), QString::fromLatin1(kSignalName),
                                 QString::fromLatin1(kSignature), this, SLOT(receive(QDBusMessage)));
        m_connection->unregisterObject(objectPath());
    }
}

QString DistributedNotificationCenter::interfaceName() {
    static const QString name = busInterfaceName();
    return name;
}

QString DistributedNotificationCenter::objectPath() {
    return QString::fromLatin1(kObjectPath);
}

bool DistributedNotificationCenter::ensureConnection() {
    if (m_waitingForSessionBus && QCoreApplication::instance()) {
        m_waitingForSessionBus = false;
        m_connection = QDBusConnection::sessionBus();
        attach();
    }
    return m_attached;
}

void DistributedNotificationCenter::attach() {
    if (!m_connection->isConnected())
        return;
    m_exported = new QObject(this);
    m_adaptor = new NotificationsAdaptor(m_exported);
    if (!m_connection->registerObject(objectPath(), m_exported, QDBusConnection::ExportAdaptors)) {
        qWarning("Another notification centre already uses %s on this bus connection.", kObjectPath);
        return;
    }
    // A handler for every signature, so that a malformed signal is seen and refused instead of dropped
    // unseen.
    m_connection->connect(QString(), objectPath(), interfaceName(), QString::fromLatin1(kSignalName), this,
                          SLOT(receive(QDBusMessage)));
    m_attached = true;
}

bool DistributedNotificationCenter::isConnected() {
    return ensureConnection();
}

bool DistributedNotificationCenter::post(const QString &name, const QVariantMap &userInfo) {
    if (!ensureConnection()) {
        if (!m_toldNotConnected) {
            m_toldNotConnected = true;
            const QString why = !m_connection ? QStringLiteral("the program has no event loop yet")
                                : m_connection->lastError().isValid() ? m_connection->lastError().message()
                                                                      : QStringLiteral("not connected");
            qWarning(kNotConnectedMessage, qPrintable(why));
        }
        return false;
    }
    if (name.isEmpty()) {
        qWarning(kNotSentMessage, "", "it has no name");
        return false;
    }
    QString problem;
    const std::optional<QVariant> busInfo = BusValues::toBus(userInfo, &problem);
    if (!busInfo) {
        qWarning(kNotSentMessage, qPrintable(name), qPrintable(problem));
        return false;
    }
    Q_EMIT m_adaptor->Notification(name, busInfo->toMap());
    return true;
}

int DistributedNotificationCenter::addObserver(const QString &name, Handler handler, QObject *context) {
    ensureConnection();
    return m_observers.add(name, std::move(handler), context);
}

void DistributedNotificationCenter::removeObserver(int token) {
    m_observers.remove(token);
}

bool DistributedNotificationCenter::waitForBus() {
    if (!ensureConnection())
        return false;
    // The bus handles each connection's messages in order, so its answer to this call comes after it has
    // dealt with everything sent before.
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    return m_connection->call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

void DistributedNotificationCenter::receive(const QDBusMessage &message) {
    const QString sender =
        message.service().isEmpty() ? QStringLiteral("an unknown sender") : message.service();
    if (message.signature() != QLatin1String(kSignature)) {
        qWarning(kRefusedMessage, qPrintable(sender),
                 qPrintable(QStringLiteral("its arguments are (%1), not a name and a dictionary (%2)")
                                .arg(message.signature(), QString::fromLatin1(kSignature))));
        return;
    }
    const QVariantList arguments = message.arguments();
    const QString name = arguments.at(0).toString();
    QString problem;
    const std::optional<QVariant> userInfo = BusValues::fromBus(arguments.at(1), &problem);
    if (!userInfo || userInfo->typeId() != QMetaType::QVariantMap) {
        qWarning(kRefusedMessage, qPrintable(sender),
                 qPrintable(QStringLiteral("\"%1\": %2").arg(name, problem)));
        return;
    }
    m_observers.dispatch(Notification{name, userInfo->toMap(), nullptr});
}
