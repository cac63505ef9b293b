#include "TestPanelHost.h"

#include "StatusItemDBusTypes.h"
#include "dbusmenuinterface.h"
#include "statusnotifieriteminterface.h"
#include "statusnotifierwatcheradaptor.h"

#include <QAtomicInt>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int callTimeoutMs = 5000;
// Qt D-Bus follows signals one interface at a time: these are all an item and its menu may send on.
const QStringList signalInterfaces = {QString::fromLatin1(StatusNotifierItemInterface::staticInterfaceName()),
                                      QString::fromLatin1(DBusMenuInterface::staticInterfaceName()),
                                      QStringLiteral("org.freedesktop.DBus.Properties")};

QList<TestPanelHost::Picture> decodePictures(const QDBusArgument &argument) {
    QList<TestPanelHost::Picture> pictures;
    argument.beginArray();
    while (!argument.atEnd()) {
        TestPanelHost::Picture picture;
        argument.beginStructure();
        argument >> picture.width >> picture.height >> picture.argb;
        argument.endStructure();
        pictures.append(picture);
    }
    argument.endArray();
    return pictures;
}

TestPanelHost::ToolTip decodeToolTip(const QDBusArgument &argument) {
    TestPanelHost::ToolTip toolTip;
    argument.beginStructure();
    argument >> toolTip.iconName;
    toolTip.pictures = decodePictures(argument);
    argument >> toolTip.title >> toolTip.text;
    argument.endStructure();
    return toolTip;
}

// A property value as panels take it: the structured ones decoded when their signature is the protocol's,
// left as they came otherwise (so that a test sees the wrong type).
QVariant decodeItemValue(const QVariant &value) {
    if (!value.canConvert<QDBusArgument>())
        return value;
    const QDBusArgument argument = value.value<QDBusArgument>();
    const QString signature = argument.currentSignature();
    if (signature == QLatin1String("a(iiay)"))
        return QVariant::fromValue(decodePictures(argument));
    if (signature == QLatin1String("(sa(iiay)ss)"))
        return QVariant::fromValue(decodeToolTip(argument));
    return value;
}

TestPanelHost::MenuEntry decodeLayout(const QDBusArgument &argument) {
    TestPanelHost::MenuEntry entry;
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        entry.children.append(decodeLayout(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();

    const QVariantMap &p = entry.properties;
    entry.label = p.value(QStringLiteral("label")).toString();
    entry.text = TestPanelHost::textOfLabel(entry.label);
    entry.type = p.value(QStringLiteral("type"), QStringLiteral("standard")).toString();
    entry.enabled = p.value(QStringLiteral("enabled"), true).toBool();
    entry.visible = p.value(QStringLiteral("visible"), true).toBool();
    entry.iconData = p.value(QStringLiteral("icon-data")).toByteArray();
    entry.hasIcon = !entry.iconData.isEmpty() || p.contains(QStringLiteral("icon-name"));
    entry.childrenDisplay = p.value(QStringLiteral("children-display")).toString();
    return entry;
}

QMap<int, QVariantMap> decodeItemProperties(const QDBusArgument &argument) {
    QMap<int, QVariantMap> items;
    argument.beginArray();
    while (!argument.atEnd()) {
        int id = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> id >> properties;
        argument.endStructure();
        items.insert(id, properties);
    }
    argument.endArray();
    return items;
}

} // namespace

const TestPanelHost::MenuEntry *TestPanelHost::MenuEntry::find(const QString &wanted) const {
    if (text == wanted)
        return this;
    for (const MenuEntry &child : children)
        if (const MenuEntry *found = child.find(wanted))
            return found;
    return nullptr;
}

const TestPanelHost::MenuEntry *TestPanelHost::MenuEntry::findId(int wanted) const {
    if (id == wanted)
        return this;
    for (const MenuEntry &child : children)
        if (const MenuEntry *found = child.findId(wanted))
            return found;
    return nullptr;
}

QStringList TestPanelHost::MenuEntry::childTexts() const {
    QStringList texts;
    for (const MenuEntry &child : children)
        texts.append(child.type == QLatin1String("separator") ? QStringLiteral("-") : child.text);
    return texts;
}

QString TestPanelHost::textOfLabel(const QString &label) {
    QString text;
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label.at(i) != QLatin1Char('_'))
            text += label.at(i);
        else if (i + 1 < label.size() && label.at(i + 1) == QLatin1Char('_'))
            text += label.at(++i);
    }
    return text;
}

TestPanelHost::TestPanelHost(QObject *parent)
    : QObject(parent)
    , m_connectionName([] {
        static QAtomicInt number;
        return QStringLiteral("tindral-test-panel-host-%1").arg(number.fetchAndAddRelaxed(1));
    }())
    , m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)) {
    // The generated proxies carry the protocol's structures; a host without an item in its process needs them
    // too.
    registerStatusItemDBusTypes();
    qRegisterMetaType<Picture>();
    qRegisterMetaType<ToolTip>();
    new StatusNotifierWatcherAdaptor(this);
    if (!m_connection.isConnected()) {
        m_lastError = m_connection.lastError().message();
        return;
    }
    m_connection.registerObject(watcherPath, this, QDBusConnection::ExportAdaptors);
    m_itemWatch =
        new QDBusServiceWatcher(QString(), m_connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_itemWatch, &QDBusServiceWatcher::serviceUnregistered, this, &TestPanelHost::forgetService);
}

TestPanelHost::~TestPanelHost() {
    stopWatcher();
    m_connection.unregisterObject(watcherPath);
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool TestPanelHost::startWatcher() {
    if (m_watching)
        return true;
    if (!m_connection.isConnected() || !m_connection.registerService(watcherService)) {
        m_lastError = m_connection.lastError().message();
        return false;
    }
    m_watching = true;
    Q_EMIT StatusNotifierHostRegistered();
    return true;
}

bool TestPanelHost::queueForWatcher() {
    if (m_watching)
        return true;
    if (!m_connection.isConnected())
        return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_connection.interface()->registerService(watcherService, QDBusConnectionInterface::QueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceNotRegistered) {
        m_lastError = reply.error().message();
        return false;
    }
    m_watching = true;
    return true;
}

void TestPanelHost::stopWatcher() {
    if (!m_watching)
        return;
    m_watching = false;
    m_connection.unregisterService(watcherService);
    const QStringList items = m_items;
    for (const QString &item : items)
        if (const auto address = addressOf(item))
            forgetService(address->service);
    Q_EMIT StatusNotifierHostUnregistered();
}

void TestPanelHost::RegisterStatusNotifierItem(const QString &service) {
    if (!calledFromDBus())
        return;
    // A call sent while this host was the watcher may arrive after it stopped; a panel that has quit would
    // not answer it either.
    if (!m_watching) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("This host is no longer the watcher"));
        return;
    }
    if (m_refusingItems) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Items are refused here"));
        return;
    }
    Address address;
    if (service.startsWith(QLatin1Char('/')))
        address = Address{message().service(), service};
    else
        address = Address{service, QStringLiteral("/StatusNotifierItem")};
    if (address.service.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No bus name for the item"));
        return;
    }
    const QString entry = address.service + address.path;
    if (m_items.contains(entry))
        return;
    const bool hooked = std::any_of(m_items.cbegin(), m_items.cend(), [&](const QString &item) {
        return item.startsWith(address.service + QLatin1Char('/'));
    });
    m_items.append(entry);
    m_itemWatch->addWatchedService(address.service);
    if (!hooked)
        for (const QString &interface : signalInterfaces)
            m_connection.connect(address.service, QString(), interface, QString(), this,
                                 SLOT(recordSignal(QDBusMessage)));
    Q_EMIT StatusNotifierItemRegistered(entry);
}

void TestPanelHost::RegisterStatusNotifierHost(const QString &service) {
    Q_UNUSED(service);
}

void TestPanelHost::forgetService(const QString &service) {
    bool any = false;
    for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
        if (m_items.at(i).startsWith(service + QLatin1Char('/'))) {
            const QString entry = m_items.takeAt(i);
            any = true;
            Q_EMIT StatusNotifierItemUnregistered(entry);
        }
    }
    if (any) {
        m_itemWatch->removeWatchedService(service);
        for (const QString &interface : signalInterfaces)
            m_connection.disconnect(service, QString(), interface, QString(), this,
                                    SLOT(recordSignal(QDBusMessage)));
    }
}

void TestPanelHost::recordSignal(const QDBusMessage &message) {
    m_signals.append(message);
    Q_EMIT signalReceived(message);
}

int TestPanelHost::signalCount(const QString &member) const {
    return int(std::count_if(m_signals.cbegin(), m_signals.cend(),
                             [&](const QDBusMessage &message) { return message.member() == member; }));
}

bool TestPanelHost::waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    if (condition())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (condition())
            loop.quit();
    };
    connect(this, &TestPanelHost::StatusNotifierItemRegistered, &loop, check);
    connect(this, &TestPanelHost::StatusNotifierItemUnregistered, &loop, check);
    connect(this, &TestPanelHost::signalReceived, &loop, check);
    timeout.start(timeoutMs);
    loop.exec();
    return condition();
}

bool TestPanelHost::waitForItems(int count, int timeoutMs) {
    return waitUntil([&] { return m_items.size() >= count; }, timeoutMs);
}

bool TestPanelHost::waitForNoItems(int timeoutMs) {
    return waitUntil([&] { return m_items.isEmpty(); }, timeoutMs);
}

bool TestPanelHost::waitForSignals(const QString &member, int count, int timeoutMs) {
    return waitUntil([&] { return signalCount(member) >= count; }, timeoutMs);
}

std::optional<TestPanelHost::Address> TestPanelHost::addressOf(const QString &item) {
    const QString entry = item.isEmpty() ? m_items.value(0) : item;
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    if (slash <= 0) {
        m_lastError = item.isEmpty() ? QStringLiteral("no item is registered")
                                     : QStringLiteral("not an item: %1").arg(item);
        return std::nullopt;
    }
    return Address{entry.left(slash), entry.mid(slash)};
}

std::optional<QDBusMessage> TestPanelHost::waitFor(const QDBusPendingCall &call,
                                                   const QString &expectedSignature) {
    QDBusPendingCallWatcher watcher(call);
    if (!watcher.isFinished()) {
        QEventLoop loop;
        connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const QDBusMessage reply = watcher.reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        m_lastError = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
        return std::nullopt;
    }
    if (reply.signature() != expectedSignature) {
        m_lastError = QStringLiteral("reply signature \"%1\", expected \"%2\"")
                          .arg(reply.signature(), expectedSignature);
        return std::nullopt;
    }
    return reply;
}

std::optional<QDBusMessage> TestPanelHost::callAndWait(const QDBusMessage &call,
                                                       const QString &expectedSignature) {
    return waitFor(m_connection.asyncCall(call, callTimeoutMs), expectedSignature);
}

std::optional<QVariant> TestPanelHost::itemProperty(const QString &item, const QString &name) {
    const auto address = addressOf(item);
    if (!address)
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(address->service, address->path, propertiesInterface,
                                                       QStringLiteral("Get"));
    call << QString::fromLatin1(StatusNotifierItemInterface::staticInterfaceName()) << name;
    const auto reply = callAndWait(call, QStringLiteral("v"));
    if (!reply)
        return std::nullopt;
    return decodeItemValue(reply->arguments().value(0).value<QDBusVariant>().variant());
}

std::optional<QVariantMap> TestPanelHost::itemProperties(const QString &item) {
    const auto address = addressOf(item);
    if (!address)
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(address->service, address->path, propertiesInterface,
                                                       QStringLiteral("GetAll"));
    call << QString::fromLatin1(StatusNotifierItemInterface::staticInterfaceName());
    const auto reply = callAndWait(call, QStringLiteral("a{sv}"));
    if (!reply)
        return std::nullopt;
    QVariantMap properties;
    reply->arguments().value(0).value<QDBusArgument>() >> properties;
    for (auto it = properties.begin(); it != properties.end(); ++it)
        *it = decodeItemValue(*it);
    return properties;
}

QString TestPanelHost::label(const QString &item) {
    return itemProperty(item, QStringLiteral("XAyatanaLabel")).value_or(QVariant()).toString();
}

QString TestPanelHost::labelGuide(const QString &item) {
    return itemProperty(item, QStringLiteral("XAyatanaLabelGuide")).value_or(QVariant()).toString();
}

QDBusObjectPath TestPanelHost::menuPath(const QString &item) {
    return itemProperty(item, QStringLiteral("Menu")).value_or(QVariant()).value<QDBusObjectPath>();
}

std::optional<QList<TestPanelHost::Picture>> TestPanelHost::iconPixmap(const QString &item) {
    const auto value = itemProperty(item, QStringLiteral("IconPixmap"));
    if (!value || !value->canConvert<QList<Picture>>()) {
        if (value)
            m_lastError = QStringLiteral("IconPixmap is not a(iiay)");
        return std::nullopt;
    }
    return value->value<QList<Picture>>();
}

std::optional<TestPanelHost::ToolTip> TestPanelHost::toolTip(const QString &item) {
    const auto value = itemProperty(item, QStringLiteral("ToolTip"));
    if (!value || !value->canConvert<ToolTip>()) {
        if (value)
            m_lastError = QStringLiteral("ToolTip is not (sa(iiay)ss)");
        return std::nullopt;
    }
    return value->value<ToolTip>();
}

bool TestPanelHost::sync(const QString &item) {
    return itemProperty(item, QStringLiteral("Id")).has_value();
}

std::optional<TestPanelHost::MenuEntry> TestPanelHost::menuLayout(const QString &item, int parentId,
                                                                  int depth, uint *revision) {
    const auto address = addressOf(item);
    if (!address)
        return std::nullopt;
    const QDBusObjectPath path = menuPath(item);
    if (path.path().isEmpty())
        return std::nullopt;
    DBusMenuInterface menu(address->service, path.path(), m_connection);
    const auto reply = waitFor(menu.GetLayout(parentId, depth, {}), QStringLiteral("u(ia{sv}av)"));
    if (!reply)
        return std::nullopt;
    if (revision)
        *revision = reply->arguments().value(0).toUInt();
    return decodeLayout(reply->arguments().value(1).value<QDBusArgument>());
}

std::optional<QMap<int, QVariantMap>>
TestPanelHost::groupProperties(const QString &item, const QList<int> &ids, const QStringList &names) {
    const auto address = addressOf(item);
    if (!address)
        return std::nullopt;
    DBusMenuInterface menu(address->service, menuPath(item).path(), m_connection);
    const auto reply = waitFor(menu.GetGroupProperties(ids, names), QStringLiteral("a(ia{sv})"));
    if (!reply)
        return std::nullopt;
    return decodeItemProperties(reply->arguments().value(0).value<QDBusArgument>());
}

std::optional<bool> TestPanelHost::aboutToShow(const QString &item, int id) {
    const auto address = addressOf(item);
    if (!address)
        return std::nullopt;
    DBusMenuInterface menu(address->service, menuPath(item).path(), m_connection);
    const auto reply = waitFor(menu.AboutToShow(id), QStringLiteral("b"));
    if (!reply)
        return std::nullopt;
    return reply->arguments().value(0).toBool();
}

bool TestPanelHost::sendEvent(const QString &item, int id, const QString &eventId) {
    const auto address = addressOf(item);
    if (!address)
        return false;
    DBusMenuInterface menu(address->service, menuPath(item).path(), m_connection);
    return waitFor(menu.Event(id, eventId, QDBusVariant(QVariant(0)), 0), QString()).has_value();
}

QMap<int, QVariantMap> TestPanelHost::updatedProperties(const QDBusMessage &message) {
    if (message.member() != QLatin1String("ItemsPropertiesUpdated") ||
        message.signature() != QLatin1String("a(ia{sv})a(ias)"))
        return {};
    return decodeItemProperties(message.arguments().value(0).value<QDBusArgument>());
}

QMap<int, QStringList> TestPanelHost::removedProperties(const QDBusMessage &message) {
    QMap<int, QStringList> items;
    if (message.member() != QLatin1String("ItemsPropertiesUpdated") ||
        message.signature() != QLatin1String("a(ia{sv})a(ias)"))
        return items;
    const QDBusArgument argument = message.arguments().value(1).value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        int id = 0;
        QStringList names;
        argument.beginStructure();
        argument >> id >> names;
        argument.endStructure();
        items.insert(id, names);
    }
    argument.endArray();
    return items;
}
