#include "DBusMenuExporter.h"

#include "dbusmenuadaptor.h"

#include <QActionEvent>
#include <QActionGroup>
#include <QBuffer>
#include <QDBusError>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>

#include <algorithm>

namespace {

const QString typeKey = QStringLiteral("type");
const QString labelKey = QStringLiteral("label");
const QString enabledKey = QStringLiteral("enabled");
const QString visibleKey = QStringLiteral("visible");
const QString iconDataKey = QStringLiteral("icon-data");
const QString toggleTypeKey = QStringLiteral("toggle-type");
const QString toggleStateKey = QStringLiteral("toggle-state");
const QString childrenDisplayKey = QStringLiteral("children-display");

} // namespace

DBusMenuExporter::DBusMenuExporter(QObject *parent)
    : QObject(parent) {
    registerStatusItemDBusTypes();
    new DBusMenuAdaptor(this);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &DBusMenuExporter::flush);
    m_announced.insert(rootId, propertiesOf(rootId));
}

DBusMenuExporter::~DBusMenuExporter() {
    unexport();
    for (auto it = m_menus.cbegin(); it != m_menus.cend(); ++it)
        it.key()->removeEventFilter(this);
}

void DBusMenuExporter::setMenu(QMenu *menu) {
    if (menu == m_menu)
        return;
    m_menu = menu;
    markLayoutChanged(rootId);
    // The tree is walked now so that ids exist as soon as the menu is set, not only after the first flush.
    rescan();
}

bool DBusMenuExporter::exportOn(const QDBusConnection &bus, const QString &path) {
    unexport();
    if (!bus.isConnected()) {
        qWarning("DBusMenuExporter: cannot serve the menu at %s: not connected to a bus", qPrintable(path));
        return false;
    }
    QDBusConnection connection(bus);
    if (!connection.registerObject(path, this, QDBusConnection::ExportAdaptors)) {
        qWarning("DBusMenuExporter: cannot serve the menu at %s: the path is taken on this connection",
                 qPrintable(path));
        return false;
    }
    m_bus = connection;
    m_path = path;
    m_exported = true;
    return true;
}

void DBusMenuExporter::unexport() {
    if (!m_exported)
        return;
    m_bus.unregisterObject(m_path);
    m_exported = false;
}

int DBusMenuExporter::idOfAction(const QAction *action) const {
    return m_idOfAction.value(action, -1);
}

QString DBusMenuExporter::labelFromText(const QString &text) {
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    const QString shown = tab < 0 ? text : text.left(tab);
    QString label;
    label.reserve(shown.size() + 4);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        if (c == QLatin1Char('_')) {
            label += QLatin1String("__");
        } else if (c == QLatin1Char('&')) {
            const QChar next = i + 1 < shown.size() ? shown.at(i + 1) : QChar();
            if (next == QLatin1Char('&')) {
                label += c;
                ++i;
            } else if (!next.isLetterOrNumber()) {
                // "Fish & Chips": a lone '&' that marks nothing stays as it is.
                label += c;
            }
        } else {
            label += c;
        }
    }
    return label;
}

QString DBusMenuExporter::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                 : QStringLiteral("ltr");
}

void DBusMenuExporter::scheduleFlush() {
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void DBusMenuExporter::markLayoutChanged(int parentId) {
    m_layoutChanged = true;
    m_changedParents.insert(parentId);
    scheduleFlush();
}

int DBusMenuExporter::ensureId(QAction *action) {
    const auto found = m_idOfAction.constFind(action);
    if (found != m_idOfAction.cend())
        return *found;
    const int id = m_nextId++;
    m_idOfAction.insert(action, id);
    m_entries.insert(id, Entry{action, nullptr});
    // Keyed by address: the id must be gone before another action can be made at the same address.
    connect(action, &QObject::destroyed, this, &DBusMenuExporter::forgetAction);
    return id;
}

void DBusMenuExporter::forgetAction(QObject *action) {
    const int id = m_idOfAction.take(action);
    if (id <= 0)
        return;
    m_entries.remove(id);
    m_announced.remove(id);
    m_icons.remove(id);
    m_changedIds.remove(id);
}

void DBusMenuExporter::rescan() {
    const QHash<QMenu *, int> before = m_menus;
    m_menus.clear();
    QSet<int> inTree{rootId};
    if (m_menu) {
        m_menus.insert(m_menu, rootId);
        rescanMenu(m_menu, inTree);
    }

    for (auto it = m_announced.begin(); it != m_announced.end();) {
        if (inTree.contains(it.key())) {
            ++it;
        } else {
            m_icons.remove(it.key());
            it = m_announced.erase(it);
        }
    }
    // An entry that joins the tree reaches hosts with the layout, so what it has now is what they know.
    for (const int id : std::as_const(inTree))
        if (!m_announced.contains(id))
            m_announced.insert(id, propertiesOf(id));

    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!m_menus.contains(it.key()))
            it.key()->removeEventFilter(this);
    for (auto it = m_menus.cbegin(); it != m_menus.cend(); ++it) {
        if (!before.contains(it.key())) {
            it.key()->installEventFilter(this);
            connect(it.key(), &QObject::destroyed, this, &DBusMenuExporter::forgetMenu, Qt::UniqueConnection);
        }
    }
}

void DBusMenuExporter::rescanMenu(QMenu *menu, QSet<int> &inTree) {
    for (QAction *action : menu->actions()) {
        const int id = ensureId(action);
        inTree.insert(id);
        QMenu *submenu = action->menu();
        m_entries[id].submenu = submenu;
        // A menu met a second time (shared, or containing itself) is followed only where it was met first.
        if (submenu && !m_menus.contains(submenu)) {
            m_menus.insert(submenu, id);
            rescanMenu(submenu, inTree);
        }
    }
}

void DBusMenuExporter::forgetMenu(QObject *menu) {
    // The menu's own actions report their removal; this covers a submenu destroyed alone. It is no QMenu any
    // more by now, so it is compared as an object only.
    for (auto it = m_menus.begin(); it != m_menus.end(); ++it) {
        if (static_cast<QObject *>(it.key()) == menu) {
            m_menus.erase(it);
            markLayoutChanged(rootId);
            return;
        }
    }
}

QByteArray DBusMenuExporter::iconData(int id, const QAction *action) {
    const QIcon icon = action->icon();
    if (icon.isNull() || !action->isIconVisibleInMenu()) {
        m_icons.remove(id);
        return {};
    }
    IconCache &cache = m_icons[id];
    if (cache.cacheKey == icon.cacheKey() && !cache.png.isEmpty())
        return cache.png;
    const QImage image = icon.pixmap(QSize(iconSize, iconSize), 1.0).toImage();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG"))
        png.clear();
    cache = IconCache{icon.cacheKey(), png};
    return png;
}

QVariantMap DBusMenuExporter::propertiesOf(int id) {
    QVariantMap properties;
    if (id == rootId) {
        properties.insert(childrenDisplayKey, QStringLiteral("submenu"));
        return properties;
    }
    const QAction *action = m_entries.value(id).action;
    if (!action)
        return properties;
    if (!action->isVisible())
        properties.insert(visibleKey, false);
    if (action->isSeparator()) {
        properties.insert(typeKey, QStringLiteral("separator"));
        return properties;
    }
    const QString label = labelFromText(action->text());
    if (!label.isEmpty())
        properties.insert(labelKey, label);
    // Qt disables what it hides; the entry's own state is what matters when it shows again.
    if (!action->isEnabled() && action->isVisible())
        properties.insert(enabledKey, false);
    if (action->isCheckable()) {
        const QActionGroup *group = action->actionGroup();
        const bool radio = group && group->exclusionPolicy() != QActionGroup::ExclusionPolicy::None;
        properties.insert(toggleTypeKey, radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
        properties.insert(toggleStateKey, action->isChecked() ? 1 : 0);
    }
    const QByteArray png = iconData(id, action);
    if (!png.isEmpty())
        properties.insert(iconDataKey, png);
    if (action->menu())
        properties.insert(childrenDisplayKey, QStringLiteral("submenu"));
    return properties;
}

void DBusMenuExporter::flush() {
    m_flushTimer.stop();
    const bool layoutChanged = m_layoutChanged;
    if (layoutChanged)
        rescan();

    QList<int> ids(m_changedIds.cbegin(), m_changedIds.cend());
    m_changedIds.clear();
    std::sort(ids.begin(), ids.end());
    DBusMenuItemList updated;
    DBusMenuItemKeysList removed;
    for (const int id : std::as_const(ids)) {
        const auto known = m_announced.find(id);
        if (known == m_announced.end())
            continue;
        const QVariantMap now = propertiesOf(id);
        QVariantMap changed;
        QStringList gone;
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            const auto old = known->constFind(it.key());
            if (old == known->cend() || *old != it.value())
                changed.insert(it.key(), it.value());
        }
        for (auto it = known->cbegin(); it != known->cend(); ++it)
            if (!now.contains(it.key()))
                gone.append(it.key());
        *known = now;
        if (!changed.isEmpty())
            updated.append(DBusMenuItem{id, changed});
        if (!gone.isEmpty())
            removed.append(DBusMenuItemKeys{id, gone});
    }
    if (!updated.isEmpty() || !removed.isEmpty()) {
        ++m_updatesSent;
        Q_EMIT ItemsPropertiesUpdated(updated, removed);
    }

    if (layoutChanged) {
        m_layoutChanged = false;
        int parent = m_changedParents.size() == 1 ? *m_changedParents.cbegin() : rootId;
        m_changedParents.clear();
        if (!isKnown(parent))
            parent = rootId;
        ++m_revision;
        ++m_updatesSent;
        Q_EMIT LayoutUpdated(m_revision, parent);
    }
}

QMenu *DBusMenuExporter::menuOf(int id) const {
    if (id == rootId)
        return m_menu;
    const QAction *action = m_entries.value(id).action;
    return action ? action->menu() : nullptr;
}

QVariantMap DBusMenuExporter::filtered(const QVariantMap &properties, const QStringList &names) {
    if (names.isEmpty())
        return properties;
    QVariantMap chosen;
    for (const QString &name : names) {
        const auto found = properties.constFind(name);
        if (found != properties.cend())
            chosen.insert(name, *found);
    }
    return chosen;
}

DBusMenuLayoutItem DBusMenuExporter::layoutOf(int id, int depth, const QStringList &names) const {
    DBusMenuLayoutItem item;
    item.id = id;
    item.properties = filtered(m_announced.value(id), names);
    if (depth == 0)
        return item;
    if (const QMenu *menu = menuOf(id)) {
        // A menu that contains itself further down is cut off there rather than followed for ever.
        if (m_menus.value(const_cast<QMenu *>(menu), -1) != id)
            return item;
        for (QAction *action : menu->actions()) {
            const int childId = m_idOfAction.value(action, -1);
            if (childId > 0 && m_announced.contains(childId))
                item.children.append(layoutOf(childId, depth < 0 ? depth : depth - 1, names));
        }
    }
    return item;
}

void DBusMenuExporter::replyError(const QString &message) {
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, message);
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                 DBusMenuLayoutItem &layout) {
    flush();
    if (!isKnown(parentId)) {
        replyError(QStringLiteral("No menu entry has the id %1").arg(parentId));
        return m_revision;
    }
    layout = layoutOf(parentId, recursionDepth, propertyNames);
    return m_revision;
}

DBusMenuItemList DBusMenuExporter::GetGroupProperties(const QList<int> &ids,
                                                      const QStringList &propertyNames) {
    flush();
    QList<int> wanted = ids;
    if (wanted.isEmpty()) {
        wanted = m_announced.keys();
        std::sort(wanted.begin(), wanted.end());
    }
    DBusMenuItemList items;
    for (const int id : std::as_const(wanted)) {
        const auto found = m_announced.constFind(id);
        if (found != m_announced.cend())
            items.append(DBusMenuItem{id, filtered(*found, propertyNames)});
    }
    return items;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString &name) {
    flush();
    const auto found = m_announced.constFind(id);
    if (found == m_announced.cend()) {
        replyError(QStringLiteral("No menu entry has the id %1").arg(id));
        return QDBusVariant(QVariant(0));
    }
    const auto value = found->constFind(name);
    if (value == found->cend()) {
        replyError(QStringLiteral("Menu entry %1 has no property \"%2\"").arg(id).arg(name));
        return QDBusVariant(QVariant(0));
    }
    return QDBusVariant(*value);
}

void DBusMenuExporter::showMenu(int id) {
    if (QPointer<QMenu> menu = menuOf(id)) {
        Q_EMIT menu->aboutToShow();
    }
    flush();
}

bool DBusMenuExporter::handleEvent(int id, const QString &eventId) {
    flush();
    if (!isKnown(id))
        return false;
    if (eventId == QLatin1String("clicked")) {
        QAction *action = m_entries.value(id).action;
        if (action && action->isEnabled() && action->isVisible() && !action->isSeparator()) {
            // On the next turn, so that the host has its reply before whatever the action does (a dialog,
            // quitting) begins.
            QTimer::singleShot(0, action, [action] { action->trigger(); });
        }
    } else if (eventId == QLatin1String("opened")) {
        showMenu(id);
    } else if (eventId == QLatin1String("closed")) {
        if (QMenu *menu = menuOf(id))
            Q_EMIT menu->aboutToHide();
    } else if (eventId == QLatin1String("hovered")) {
        if (QAction *action = m_entries.value(id).action)
            Q_EMIT action->hovered();
    }
    return true;
}

void DBusMenuExporter::Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp) {
    Q_UNUSED(data);
    Q_UNUSED(timestamp);
    if (!handleEvent(id, eventId))
        replyError(QStringLiteral("No menu entry has the id %1").arg(id));
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList &events) {
    QList<int> idErrors;
    for (const DBusMenuEvent &event : events)
        if (!handleEvent(event.id, event.eventId))
            idErrors.append(event.id);
    if (!events.isEmpty() && idErrors.size() == events.size())
        replyError(QStringLiteral("None of the events names a menu entry"));
    return idErrors;
}

bool DBusMenuExporter::AboutToShow(int id) {
    const quint64 before = m_updatesSent;
    flush();
    if (!isKnown(id)) {
        replyError(QStringLiteral("No menu entry has the id %1").arg(id));
        return false;
    }
    showMenu(id);
    return m_updatesSent != before;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors) {
    QList<int> updatesNeeded;
    for (const int id : ids) {
        const quint64 before = m_updatesSent;
        flush();
        if (!isKnown(id)) {
            idErrors.append(id);
            continue;
        }
        showMenu(id);
        if (m_updatesSent != before)
            updatesNeeded.append(id);
    }
    if (!ids.isEmpty() && idErrors.size() == ids.size())
        replyError(QStringLiteral("None of the ids names a menu entry"));
    return updatesNeeded;
}

bool DBusMenuExporter::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved: {
        const auto menu = m_menus.constFind(static_cast<QMenu *>(watched));
        if (menu != m_menus.cend())
            markLayoutChanged(*menu);
        break;
    }
    case QEvent::ActionChanged: {
        QAction *action = static_cast<QActionEvent *>(event)->action();
        const auto found = m_idOfAction.constFind(action);
        if (found == m_idOfAction.cend())
            break;
        const int id = *found;
        m_changedIds.insert(id);
        if (m_entries.value(id).submenu != action->menu())
            markLayoutChanged(id);
        scheduleFlush();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
