#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

class QDBusServiceWatcher;

// A desktop panel for tests, written against the protocols rather than against StatusItem: it owns
// org.kde.StatusNotifierWatcher on a session-bus connection of its own, takes the items that register, and
// reads them as panels do — properties through org.freedesktop.DBus.Properties, the menu through
// com.canonical.dbusmenu's GetLayout, GetGroupProperties, AboutToShow and Event. Replies are checked against
// the protocol's signatures and decoded here, independently of the item's own marshalling.
//
// Every call is made asynchronously and waited for in a local event loop, so the item under test may live in
// the same process and thread (on another connection) and answer while the host waits.
//
// Items are named as the watcher lists them: "busname/path". Where a method takes an item, an empty one means
// the first registered item.
//
//     TestPanelHost host;                        // connects; needs a session bus (tindral_add_test BUS)
//     QVERIFY(host.startWatcher());              // now StatusItem::show() chooses the status notifier
//     item.show();
//     QVERIFY(host.waitForItems(1));
//     QCOMPARE(host.label(), "12:00");
//     auto menu = host.menuLayout();             // the whole tree
//     const TestPanelHost::MenuEntry *quit = menu->find("Quit");
//     QVERIFY(host.click({}, quit->id));
class TestPanelHost : public QObject, protected QDBusContext {
    Q_OBJECT
    // org.kde.StatusNotifierWatcher, read through its adaptor.
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    // One entry of a menu as the host decoded it.
    struct MenuEntry {
        int id = 0;
        // The dbusmenu label as sent ("__" for one underscore) and the text a panel shows for it.
        QString label;
        QString text;
        QString type = QStringLiteral("standard");
        bool enabled = true;
        bool visible = true;
        bool hasIcon = false;
        QByteArray iconData;
        QString childrenDisplay;
        QVariantMap properties;
        QList<MenuEntry> children;

        // The first entry, this one or below it, whose shown text is text; nullptr when none.
        const MenuEntry *find(const QString &text) const;
        const MenuEntry *findId(int id) const;
        // The shown texts of the direct children, "-" standing for a separator.
        QStringList childTexts() const;
    };

    // Connects to the session bus under a connection of its own; the watcher is not started yet.
    explicit TestPanelHost(QObject *parent = nullptr);
    ~TestPanelHost() override;

    QDBusConnection connection() const { return m_connection; }
    bool isConnected() const { return m_connection.isConnected(); }

    // Takes the name org.kde.StatusNotifierWatcher (false when another connection has it).
    bool startWatcher();
    // Asks for the name behind its present owner: it passes to this host as soon as the owner lets it go.
    bool queueForWatcher();
    // Gives the name up, as a panel that quits does, and forgets the registered items.
    void stopWatcher();
    bool isWatching() const { return m_watching; }

    // While on, RegisterStatusNotifierItem answers with an error, as a watcher that rejects an item does.
    void setRefusingItems(bool refusing) { m_refusingItems = refusing; }

    // "busname/path" of every registered item, in order of registration.
    QStringList registeredItems() const { return m_items; }
    // Waits until at least count items are registered; false on timeout.
    bool waitForItems(int count = 1, int timeoutMs = 5000);
    // Waits until no item is registered any more; false on timeout.
    bool waitForNoItems(int timeoutMs = 5000);

    // One property of the item's org.kde.StatusNotifierItem interface, or nothing (with error set).
    std::optional<QVariant> itemProperty(const QString &item, const QString &name);
    // All its properties (GetAll), each value decoded: a(iiay) as QList<TestPanelHost::Picture>,
    // (sa(iiay)ss) as TestPanelHost::ToolTip, everything else as Qt D-Bus gives it.
    std::optional<QVariantMap> itemProperties(const QString &item = {});
    QString label(const QString &item = {});
    QString labelGuide(const QString &item = {});
    QDBusObjectPath menuPath(const QString &item = {});

    struct Picture {
        int width = 0;
        int height = 0;
        QByteArray argb; // network byte order
    };
    struct ToolTip {
        QString iconName;
        QList<Picture> pictures;
        QString title;
        QString text;
    };
    std::optional<QList<Picture>> iconPixmap(const QString &item = {});
    std::optional<ToolTip> toolTip(const QString &item = {});

    // GetLayout(parentId, depth, all properties); revision, when given, receives the layout's revision.
    std::optional<MenuEntry> menuLayout(const QString &item = {}, int parentId = 0, int depth = -1,
                                        uint *revision = nullptr);
    // GetGroupProperties: id -> properties.
    std::optional<QMap<int, QVariantMap>> groupProperties(const QString &item, const QList<int> &ids,
                                                          const QStringList &names = {});
    // AboutToShow(id): the item's answer (whether the layout should be fetched again).
    std::optional<bool> aboutToShow(const QString &item, int id);
    // Event(id, eventId, 0, 0), waiting for the reply; false on an error reply.
    bool sendEvent(const QString &item, int id, const QString &eventId);
    bool click(const QString &item, int id) { return sendEvent(item, id, QStringLiteral("clicked")); }
    // What the last failed call answered.
    QString lastError() const { return m_lastError; }

    // Every signal any registered item's bus name sends on the item's, the menu's or the properties
    // interface is recorded from its registration on (label changes, menu updates...), in order of arrival.
    QList<QDBusMessage> receivedSignals() const { return m_signals; }
    int signalCount(const QString &member) const;
    void clearSignals() { m_signals.clear(); }
    // Waits until count signals named member have arrived in all; false on timeout.
    bool waitForSignals(const QString &member, int count = 1, int timeoutMs = 5000);
    // A round trip to the item (a property read it answers on its own thread): every signal the item sent
    // before it answers has arrived when this returns. Changes an item still holds for the end of the
    // event-loop turn may go out during the wait, or after it.
    bool sync(const QString &item = {});

    // The menu properties of ItemsPropertiesUpdated messages, decoded: id -> properties.
    static QMap<int, QVariantMap> updatedProperties(const QDBusMessage &itemsPropertiesUpdated);
    // The properties they list as gone back to their defaults: id -> names.
    static QMap<int, QStringList> removedProperties(const QDBusMessage &itemsPropertiesUpdated);
    // A shown text from a dbusmenu label: "__" gives "_", a single '_' (an access key mark) is dropped.
    static QString textOfLabel(const QString &label);

    // org.kde.StatusNotifierWatcher, called through its adaptor.
    void RegisterStatusNotifierItem(const QString &service);
    void RegisterStatusNotifierHost(const QString &service);
    bool isStatusNotifierHostRegistered() const { return m_watching; }
    int protocolVersion() const { return 0; }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();
    void signalReceived(const QDBusMessage &message);

private Q_SLOTS:
    void recordSignal(const QDBusMessage &message);

private:
    struct Address {
        QString service;
        QString path;
    };
    std::optional<Address> addressOf(const QString &item);
    std::optional<QDBusMessage> callAndWait(const QDBusMessage &call, const QString &expectedSignature);
    std::optional<QDBusMessage> waitFor(const QDBusPendingCall &call, const QString &expectedSignature);
    void forgetService(const QString &service);
    bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

    QString m_connectionName;
    QDBusConnection m_connection;
    QDBusServiceWatcher *m_itemWatch = nullptr;
    bool m_watching = false;
    bool m_refusingItems = false;
    QStringList m_items;
    QList<QDBusMessage> m_signals;
    QString m_lastError;
};

Q_DECLARE_METATYPE(TestPanelHost::Picture)
Q_DECLARE_METATYPE(TestPanelHost::ToolTip)
