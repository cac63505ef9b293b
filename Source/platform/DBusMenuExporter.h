#pragma once

#include "StatusItemDBusTypes.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

class QAction;

// Serves a QMenu and its submenus over com.canonical.dbusmenu, so that a desktop panel can draw it.
//
// The menu stays the owner's: the exporter follows it (texts, enabled and visible states, check marks,
// pictures, separators, submenus, actions added and removed) and tells the bus what changed. Changes made
// during one turn of the event loop go out together at its end: one ItemsPropertiesUpdated listing only the
// properties whose values really changed, and one LayoutUpdated with a higher revision when entries were
// added, removed or moved. A host that asks anything first receives whatever is pending, so its answer is
// never older than the signals it has seen.
//
// A host's AboutToShow, and its "opened" event, emit QMenu::aboutToShow on the menu concerned and wait for
// its slots to return before answering, so an owner that refreshes its texts from aboutToShow has them on
// the bus before the host reads the layout. "clicked" triggers the entry's QAction on the next turn of the
// event loop (after the reply has gone out); "closed" emits QMenu::aboutToHide.
//
// Entry ids: 0 is the menu itself; every QAction gets the next number the first time it is seen, keeps it for
// as long as it lives (also while it is out of the menu) and its number is never given to another action.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    static constexpr int rootId = 0;
    // Edge, in pixels, of the pictures sent as "icon-data".
    static constexpr int iconSize = 16;

    explicit DBusMenuExporter(QObject *parent = nullptr);
    ~DBusMenuExporter() override;

    // The menu to serve (not owned), or nullptr for an empty menu.
    void setMenu(QMenu *menu);
    QMenu *menu() const { return m_menu; }

    // Serves the menu at path on bus; false (with a warning) when the path is taken or the bus is gone.
    bool exportOn(const QDBusConnection &bus, const QString &path);
    void unexport();
    bool isExported() const { return m_exported; }
    QString path() const { return m_path; }

    // The id an action has on the bus, or -1 when it has none (it was never seen in the menu).
    int idOfAction(const QAction *action) const;
    // The layout revision: rises with every change of the menu's structure.
    uint revision() const { return m_revision; }

    // Sends what has changed now instead of at the end of the event-loop turn.
    void flush();

    // An action's text as a dbusmenu label: every '_' doubled (a single one would mark an access key),
    // Qt's "&&" written as one '&', a Qt mnemonic '&' before a letter or digit dropped, and a shortcut after
    // a tab left out.
    static QString labelFromText(const QString &text);

    // com.canonical.dbusmenu, called through its adaptor.
    uint version() const { return 4; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                   DBusMenuLayoutItem &layout);
    DBusMenuItemList GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames);
    QDBusVariant GetProperty(int id, const QString &name);
    void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    QList<int> EventGroup(const DBusMenuEventList &events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

Q_SIGNALS:
    // com.canonical.dbusmenu; relayed to the bus by the adaptor.
    void ItemsPropertiesUpdated(const DBusMenuItemList &updatedProps,
                                const DBusMenuItemKeysList &removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry {
        QAction *action = nullptr;
        // The submenu the entry opened when it was last looked at, to notice a change of submenu.
        QPointer<QMenu> submenu;
    };

    void scheduleFlush();
    void markLayoutChanged(int parentId);
    // Walks the menu tree: gives new actions their ids, follows the menus now in it, forgets the rest.
    void rescan();
    void rescanMenu(QMenu *menu, QSet<int> &inTree);
    void forgetMenu(QObject *menu);
    int ensureId(QAction *action);
    void forgetAction(QObject *action);
    QVariantMap propertiesOf(int id);
    QByteArray iconData(int id, const QAction *action);
    QMenu *menuOf(int id) const;
    bool isKnown(int id) const { return id == rootId || m_announced.contains(id); }
    DBusMenuLayoutItem layoutOf(int id, int depth, const QStringList &names) const;
    static QVariantMap filtered(const QVariantMap &properties, const QStringList &names);
    // Emits aboutToShow on the menu an entry opens and sends at once the changes its slots made.
    void showMenu(int id);
    bool handleEvent(int id, const QString &eventId);
    void replyError(const QString &message);

    QPointer<QMenu> m_menu;
    QDBusConnection m_bus{QString()};
    QString m_path;
    bool m_exported = false;

    QHash<int, Entry> m_entries;
    QHash<const QObject *, int> m_idOfAction;
    int m_nextId = 1;
    // Menus whose action events are followed, each with the id of the entry that opens it.
    QHash<QMenu *, int> m_menus;
    // The properties of every entry in the tree, as hosts know them: a host that has read the layout or seen
    // the signals has exactly these.
    QHash<int, QVariantMap> m_announced;
    struct IconCache {
        qint64 cacheKey = 0;
        QByteArray png;
    };
    QHash<int, IconCache> m_icons;

    QSet<int> m_changedIds;
    QSet<int> m_changedParents;
    bool m_layoutChanged = false;
    uint m_revision = 1;
    // Counts the change signals sent, so a caller can tell whether a refresh sent anything.
    quint64 m_updatesSent = 0;
    QTimer m_flushTimer;
};
