#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

class DBusMenuExporter;
class QDBusServiceWatcher;

class QSystemTrayIcon;
class StatusNotifierItem;

// The program's item in the desktop's status area: a text title (the running clock) with a menu.
//
// Where the session bus has an org.kde.StatusNotifierWatcher, the item is a StatusNotifierItem whose title is
// the Ayatana text label, with the menu served over com.canonical.dbusmenu (DBusMenuExporter). Otherwise it
// is a QSystemTrayIcon whose icon is the title itself, drawn as large as the tray allows, with the whole
// title as tool tip. The item follows the watcher: when it goes away the item moves to the tray, when one
// (again) appears the item registers with it. Without a bus, or without a tray, the program goes on all the
// same.
//
// Usage:
//     StatusItem item;                     // on the session bus
//     item.setMenu(menu);                  // owner keeps the menu and may change it at any time
//     item.setTitle(clockText);            // as often as it likes: an unchanged title costs nothing
//     item.show();
//     connect(&item, &StatusItem::menuAboutToOpen, owner, &Owner::refreshMenu);
//
// One StatusItem per bus connection: its objects take the paths /StatusNotifierItem and /MenuBar there.
class StatusItem : public QObject {
    Q_OBJECT

public:
    enum class Backend { None, StatusNotifier, TrayIcon };
    Q_ENUM(Backend)

    static const QString menuPath;

    explicit StatusItem(QObject *parent = nullptr);
    explicit StatusItem(const QDBusConnection &bus, QObject *parent = nullptr);
    ~StatusItem() override;

    void setTitle(const QString &title);
    QString title() const { return m_title; }
    // The widest text the title is expected to reach, for panels that size the label by it so that it does
    // not jump as the digits change. Empty (the default): the title with every digit made the font's widest.
    void setTitleGuide(const QString &guide);
    QString titleGuide() const;
    // More text for the tool tip, under the title.
    void setToolTip(const QString &text);
    QString toolTip() const { return m_toolTip; }
    // The picture beside the label (a null icon: a clock face drawn here, since hosts show no label alone).
    void setIcon(const QIcon &icon);
    // Whether the status notifier's pixmaps show the title drawn as in the tray, for hosts that show no
    // label (they take the pixmaps first; hosts that look the icon up by name keep the plain icon). On by
    // default where the desktop is known to show no labels (KDE Plasma).
    void setTitleInIcon(bool shown);
    bool titleInIcon() const { return m_titleInIcon; }
    // Whether the desktop named by XDG_CURRENT_DESKTOP shows status items' text labels.
    static bool desktopShowsLabels();
    // The menu (not owned) shown for the item; its aboutToShow is emitted before a host reads it.
    void setMenu(QMenu *menu);
    QMenu *menu() const { return m_menu; }

    void show();
    // Takes the item out of the status area; show() brings it back.
    void remove();
    bool isShown() const { return m_shown; }
    Backend backend() const { return m_backend; }

    // The parts in use, for a look from outside (tests, diagnostics); the tray icon exists only while shown
    // in the tray.
    DBusMenuExporter *menuExporter() const { return m_exporter; }
    StatusNotifierItem *notifierItem() const { return m_notifier; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }

    // The title with every digit replaced by the digit that is widest in the application's font.
    static QString guideFor(const QString &title);

Q_SIGNALS:
    // The menu is about to open (relayed from the menu's aboutToShow): refresh its texts now.
    void menuAboutToOpen();
    void backendChanged(StatusItem::Backend backend);

private:
    void useBackend(Backend backend);
    bool startStatusNotifier();
    void startTrayIcon();
    void watcherOwnerChanged(const QString &newOwner);
    void updateTitle();
    void updateTrayIcon();
    QString trayToolTip() const;
    void popUpMenu(const QPoint &position);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcherWatch = nullptr;
    DBusMenuExporter *m_exporter = nullptr;
    StatusNotifierItem *m_notifier = nullptr;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QPointer<QMenu> m_menu;
    QMetaObject::Connection m_menuConnection;

    // The unique bus name of the watcher the item last knew of; empty when there was none.
    QString m_watcherOwner;
    QString m_title;
    QString m_titleGuide;
    QString m_toolTip;
    QIcon m_icon;
    bool m_titleInIcon = false;
    bool m_shown = false;
    bool m_trayWarningGiven = false;
    Backend m_backend = Backend::None;
};
