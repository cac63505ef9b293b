#pragma once

#include "StatusItemDBusTypes.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QTimer>

#include <memory>

class QTemporaryDir;
class StatusNotifierWatcherInterface;

// The org.kde.StatusNotifierItem object that stands for the program in the desktop's status area, with the
// Ayatana text label. It lives at /StatusNotifierItem under a bus name of its own and is shown by registering
// that name with the desktop's StatusNotifierWatcher.
//
// Setters that change nothing send nothing; the change signals of one event-loop turn go out together at its
// end, each at most once. The icon goes out as pixmaps and also as a picture file in a private folder named
// by IconThemePath, for hosts that look icons up by name only.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(DBusImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(DBusImageList OverlayIconPixmap READ emptyPixmap)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(DBusImageList AttentionIconPixmap READ emptyPixmap)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)
    Q_PROPERTY(uint XAyatanaOrderingIndex READ orderingIndex)

public:
    static const QString itemPath;
    static const QString watcherService;
    static const QString watcherPath;
    // Edges, in pixels, of the pictures in IconPixmap.
    static const QList<int> pixmapSizes;

    explicit StatusNotifierItem(QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // Puts the object on bus at /StatusNotifierItem and takes a bus name of its own for it
    // ("org.kde.StatusNotifierItem-<pid>-<n>"); false, with a warning, when either cannot be had.
    bool exportOn(const QDBusConnection &bus);
    void unexport();
    bool isExported() const { return m_exported; }
    QString serviceName() const { return m_serviceName; }

    // Asks the watcher to show the item; registered() or registrationFailed() tells the outcome of the latest
    // request (the answers to earlier ones are dropped).
    void registerWithWatcher();

    void setId(const QString &id);
    void setTitle(const QString &title);
    void setLabel(const QString &label, const QString &guide);
    void setToolTip(const QString &title, const QString &text);
    // The icon, sent as pixmaps and as the picture file IconName names.
    void setIcon(const QIcon &icon);
    // Pixmaps to send in place of the icon's (the picture file stays the icon's), for hosts that show
    // pixmaps first; a null icon goes back to the icon's own.
    void setPixmapIcon(const QIcon &icon);
    void setMenuPath(const QDBusObjectPath &path);

    // Sends the pending change signals now instead of at the end of the event-loop turn.
    void flush();

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return m_id; }
    QString title() const { return m_title; }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const;
    QDBusObjectPath menu() const { return m_menuPath; }
    bool itemIsMenu() const { return true; }
    QString iconName() const { return m_iconName; }
    DBusImageList iconPixmap() const { return m_iconPixmap; }
    QString emptyName() const { return {}; }
    DBusImageList emptyPixmap() const { return {}; }
    DBusToolTip toolTip() const;
    QString label() const { return m_label; }
    QString labelGuide() const { return m_labelGuide; }
    uint orderingIndex() const { return 0; }

    // An image as one IconPixmap picture: ARGB32, every pixel in network byte order.
    static DBusImage imageToDBus(const QImage &image);

    // org.kde.StatusNotifierItem methods, called through the adaptor. The item is all menu, so an
    // activation asks for the menu too.
    void ContextMenu(int x, int y);
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString &orientation);

Q_SIGNALS:
    void registered();
    void registrationFailed(const QString &message);
    // A host that does not draw menus itself asks for the menu at a point of the screen.
    void menuRequested(const QPoint &position);

    // org.kde.StatusNotifierItem; relayed to the bus by the adaptor.
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewMenu();
    void NewStatus(const QString &status);
    void XAyatanaNewLabel(const QString &label, const QString &guide);

private:
    enum Change { TitleChange = 1, IconChange = 2, ToolTipChange = 4, LabelChange = 8, MenuChange = 16 };
    void changed(Change change);
    static DBusImageList picturesOf(const QIcon &icon);
    void writeIconFile();

    QDBusConnection m_bus{QString()};
    bool m_exported = false;
    QString m_serviceName;
    std::unique_ptr<StatusNotifierWatcherInterface> m_watcher;

    QString m_id;
    QString m_title;
    QString m_label;
    QString m_labelGuide;
    QString m_toolTipTitle;
    QString m_toolTipText;
    QIcon m_icon;
    QIcon m_pixmapIcon;
    DBusImageList m_iconPixmap;
    QString m_iconName;
    std::unique_ptr<QTemporaryDir> m_iconFolder;
    int m_iconSerial = 0;
    QDBusObjectPath m_menuPath{QStringLiteral("/NO_DBUSMENU")};

    int m_registrationSerial = 0;
    int m_pending = 0;
    QTimer m_flushTimer;
};
