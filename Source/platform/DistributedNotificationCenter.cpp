#include "DistributedNotificationCenter.h"

#include "notificationsadaptor.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QMetaClassInfo>
#include <QStringList>
#include <QtDebug>

#include <limits>

namespace {

constexpr char kObjectPath[] = "/org/tindral/Notifications";
constexpr char kSignalName[] = "Notification";
constexpr char kSignature[] = "sa{sv}";

constexpr char kNotConnectedMessage[] =
    "No D-Bus session bus (%s): notifications are not sent to other programs.";
constexpr char kNotSentMessage[] = "The notification \"%s\" was not sent: %s.";
constexpr char kRefusedMessage[] = "A notification from %s was refused: %s.";

QString quoted(const QString &key) {
    return QStringLiteral("\"%1\"").arg(key);
}

QString joinPath(const QString &path, const QString &step) {
    return path.isEmpty() ? step : path + u'.' + step;
}

QString where(const QString &path) {
    return path.isEmpty() ? QString() : QStringLiteral(" under ") + path;
}

std::optional<QVariant> toBus(const QVariant &value, const QString &path, QString *problem) {
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QByteArray:
        return value;
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
        return QVariant(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max())) {
            *problem = QStringLiteral("the integer%1 is too large").arg(where(path));
            return std::nullopt;
        }
        return QVariant(value.toLongLong());
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QVariantList list;
        const QVariantList items = value.toList();
        for (qsizetype i = 0; i < items.size(); ++i) {
            auto item = toBus(items[i], joinPath(path, QStringLiteral("[%1]").arg(i)), problem);
            if (!item)
                return std::nullopt;
            list.append(*item);
        }
        return list;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantMap items = value.toMap();
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            auto item = toBus(it.value(), joinPath(path, quoted(it.key())), problem);
            if (!item)
                return std::nullopt;
            map.insert(it.key(), *item);
        }
        return map;
    }
    case QMetaType::UnknownType:
        *problem = QStringLiteral("there is no value%1").arg(where(path));
        return std::nullopt;
    default:
        *problem = QStringLiteral("the value%1 is a %2, which has no form on the bus")
                       .arg(where(path), QString::fromLatin1(value.typeName()));
        return std::nullopt;
    }
}

std::optional<QVariant> fromBus(const QVariant &value, const QString &path, QString *problem);

std::optional<QVariant> fromBusArgument(const QDBusArgument &argument, const QString &path,
                                        QString *problem) {
    switch (argument.currentType()) {
    case QDBusArgument::BasicType:
    case QDBusArgument::VariantType:
        return fromBus(argument.asVariant(), path, problem);
    // Every begin is matched by its end, also after a problem: the argument's reader leaks what it opened
    // and never closed.
    case QDBusArgument::ArrayType: {
        QVariantList list;
        bool readable = true;
        argument.beginArray();
        while (!argument.atEnd()) {
            const QVariant element = argument.asVariant();
            if (!readable)
                continue;
            auto item = fromBus(element, joinPath(path, QStringLiteral("[%1]").arg(list.size())), problem);
            if (item)
                list.append(*item);
            else
                readable = false;
        }
        argument.endArray();
        return readable ? std::optional<QVariant>(list) : std::nullopt;
    }
    case QDBusArgument::MapType: {
        QVariantMap map;
        bool readable = true;
        argument.beginMap();
        while (!argument.atEnd()) {
            argument.beginMapEntry();
            const QVariant key = argument.asVariant();
            const QVariant element = argument.asVariant();
            argument.endMapEntry();
            if (!readable)
                continue;
            if (key.typeId() != QMetaType::QString) {
                *problem = QStringLiteral("the dictionary%1 has keys that are not strings").arg(where(path));
                readable = false;
                continue;
            }
            auto item = fromBus(element, joinPath(path, quoted(key.toString())), problem);
            if (item)
                map.insert(key.toString(), *item);
            else
                readable = false;
        }
        argument.endMap();
        return readable ? std::optional<QVariant>(map) : std::nullopt;
    }
    case QDBusArgument::StructureType:
        *problem = QStringLiteral("the value%1 is a structure").arg(where(path));
        return std::nullopt;
    default:
        *problem = QStringLiteral("the value%1 cannot be read").arg(where(path));
        return std::nullopt;
    }
}

std::optional<QVariant> fromBus(const QVariant &value, const QString &path, QString *problem) {
    const int type = value.typeId();
    if (type == qMetaTypeId<QDBusArgument>())
        return fromBusArgument(value.value<QDBusArgument>(), path, problem);
    if (type == qMetaTypeId<QDBusVariant>())
        return fromBus(value.value<QDBusVariant>().variant(), path, problem);
    if (type == qMetaTypeId<QDBusObjectPath>())
        return QVariant(value.value<QDBusObjectPath>().path());
    if (type == qMetaTypeId<QDBusSignature>())
        return QVariant(value.value<QDBusSignature>().signature());
    switch (type) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QByteArray:
    case QMetaType::LongLong:
        return value;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QVariant(value.toLongLong());
    case QMetaType::ULongLong:
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max())) {
            *problem = QStringLiteral("the integer%1 is too large").arg(where(path));
            return std::nullopt;
        }
        return QVariant(value.toLongLong());
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &item : value.toStringList())
            list.append(item);
        return list;
    }
    default:
        *problem =
            QStringLiteral("the value%1 is a %2").arg(where(path), QString::fromLatin1(value.typeName()));
        return std::nullopt;
    }
}

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
    const std::optional<QVariant> busInfo = toBus(userInfo, QString(), &problem);
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

std::optional<QVariant> DistributedNotificationCenter::toBusValue(const QVariant &value, QString *problem) {
    return toBus(value, QString(), problem);
}

std::optional<QVariant> DistributedNotificationCenter::fromBusValue(const QVariant &value, QString *problem) {
    return fromBus(value, QString(), problem);
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
    const std::optional<QVariant> userInfo = fromBus(arguments.at(1), QString(), &problem);
    if (!userInfo || userInfo->typeId() != QMetaType::QVariantMap) {
        qWarning(kRefusedMessage, qPrintable(sender),
                 qPrintable(QStringLiteral("\"%1\": %2").arg(name, problem)));
        return;
    }
    m_observers.dispatch(Notification{name, userInfo->toMap(), nullptr});
}
