#include "StatusItem.h"

#include "DBusMenuExporter.h"
#include "StatusItemIconEngine.h"
#include "StatusNotifierItem.h"

#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

const QString StatusItem::menuPath = QStringLiteral("/MenuBar");

namespace {

// A plain clock face: hosts show a label only beside an icon, so the item never goes without one.
QIcon clockFaceIcon() {
    constexpr int size = 64;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size / 2.0, size / 2.0);
    painter.setPen(QPen(QColor(40, 40, 40), 4));
    painter.setBrush(QColor(245, 245, 240));
    painter.drawEllipse(centre, size / 2.0 - 3, size / 2.0 - 3);
    painter.setPen(QPen(QColor(40, 40, 40), 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, centre + QPointF(0, -size * 0.30));
    painter.drawLine(centre, centre + QPointF(size * 0.20, 0));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

StatusItem::StatusItem(QObject *parent)
    : StatusItem(QDBusConnection::sessionBus(), parent) {}

StatusItem::StatusItem(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus) {
    m_titleInIcon = !desktopShowsLabels();
    m_exporter = new DBusMenuExporter(this);
    m_notifier = new StatusNotifierItem(this);
    m_notifier->setIcon(clockFaceIcon());
    connect(m_notifier, &StatusNotifierItem::registrationFailed, this, [this](const QString &message) {
        if (m_backend != Backend::StatusNotifier)
            return;
        qWarning("StatusItem: the desktop's StatusNotifierWatcher did not take the status item (%s); "
                 "showing it in the system tray instead",
                 qPrintable(message));
        useBackend(Backend::TrayIcon);
    });
    connect(m_notifier, &StatusNotifierItem::menuRequested, this, &StatusItem::popUpMenu);

    if (m_bus.isConnected()) {
        m_watcherWatch = new QDBusServiceWatcher(StatusNotifierItem::watcherService, m_bus,
                                                 QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcherWatch, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &, const QString &newOwner) {
                    watcherOwnerChanged(newOwner);
                });
    }
}

StatusItem::~StatusItem() {
    // Owners hear nothing from an item that is going away.
    blockSignals(true);
    remove();
}

QString StatusItem::guideFor(const QString &title) {
    static const QChar widest = [] {
        const QFontMetricsF metrics(QGuiApplication::font());
        QChar best = QLatin1Char('0');
        qreal bestWidth = -1;
        for (char digit = '0'; digit <= '9'; ++digit) {
            const qreal width = metrics.horizontalAdvance(QLatin1Char(digit));
            if (width > bestWidth) {
                bestWidth = width;
                best = QLatin1Char(digit);
            }
        }
        return best;
    }();
    QString guide = title;
    for (QChar &c : guide)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            c = widest;
    return guide;
}

bool StatusItem::desktopShowsLabels() {
    // Plasma's tray draws icons and tool tips only; so do the others known to lack labels, but they do not
    // say so in XDG_CURRENT_DESKTOP.
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return !desktops.contains(QLatin1String("KDE"), Qt::CaseInsensitive);
}

void StatusItem::setTitleInIcon(bool shown) {
    if (shown == m_titleInIcon)
        return;
    m_titleInIcon = shown;
    updateTitle();
}

void StatusItem::setTitle(const QString &title) {
    if (title == m_title)
        return;
    m_title = title;
    updateTitle();
}

void StatusItem::setTitleGuide(const QString &guide) {
    if (guide == m_titleGuide)
        return;
    m_titleGuide = guide;
    updateTitle();
}

QString StatusItem::titleGuide() const {
    return m_titleGuide.isEmpty() ? guideFor(m_title) : m_titleGuide;
}

void StatusItem::setToolTip(const QString &text) {
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    m_notifier->setToolTip(m_title, m_toolTip);
    if (m_trayIcon)
        m_trayIcon->setToolTip(trayToolTip());
}

void StatusItem::setIcon(const QIcon &icon) {
    m_icon = icon;
    m_notifier->setIcon(icon.isNull() ? clockFaceIcon() : icon);
    updateTrayIcon();
}

void StatusItem::setMenu(QMenu *menu) {
    if (menu == m_menu)
        return;
    disconnect(m_menuConnection);
    m_menu = menu;
    if (menu)
        m_menuConnection = connect(menu, &QMenu::aboutToShow, this, &StatusItem::menuAboutToOpen);
    m_exporter->setMenu(menu);
    if (m_trayIcon)
        m_trayIcon->setContextMenu(menu);
}

void StatusItem::show() {
    if (m_shown)
        return;
    m_shown = true;
    // Taken now rather than at construction, so that names the application sets in between count.
    m_notifier->setId(QCoreApplication::applicationName());
    m_notifier->setTitle(QGuiApplication::applicationDisplayName());
    m_watcherOwner.clear();
    if (m_bus.isConnected() && m_bus.interface()) {
        const QDBusReply<QString> owner = m_bus.interface()->serviceOwner(StatusNotifierItem::watcherService);
        if (owner.isValid())
            m_watcherOwner = owner.value();
    }
    useBackend(m_watcherOwner.isEmpty() ? Backend::TrayIcon : Backend::StatusNotifier);
}

void StatusItem::remove() {
    if (!m_shown)
        return;
    m_shown = false;
    useBackend(Backend::None);
}

void StatusItem::watcherOwnerChanged(const QString &newOwner) {
    // The news may be late: show() may already have found this owner and registered with it.
    if (!m_shown || newOwner == m_watcherOwner)
        return;
    m_watcherOwner = newOwner;
    if (newOwner.isEmpty()) {
        useBackend(Backend::TrayIcon);
    } else if (m_backend == Backend::StatusNotifier) {
        // A watcher that starts anew knows nothing of the items registered with its predecessor.
        m_notifier->registerWithWatcher();
    } else {
        useBackend(Backend::StatusNotifier);
    }
}

void StatusItem::useBackend(Backend backend) {
    if (backend == m_backend)
        return;
    if (m_backend == Backend::StatusNotifier) {
        m_notifier->unexport();
        m_exporter->unexport();
    } else if (m_backend == Backend::TrayIcon) {
        m_trayIcon->hide();
        delete m_trayIcon;
        m_trayIcon = nullptr;
    }
    m_backend = Backend::None;

    if (backend == Backend::StatusNotifier && !startStatusNotifier())
        backend = Backend::TrayIcon;
    if (backend == Backend::TrayIcon)
        startTrayIcon();
    m_backend = backend;
    Q_EMIT backendChanged(backend);
}

bool StatusItem::startStatusNotifier() {
    if (!m_exporter->exportOn(m_bus, menuPath))
        return false;
    if (!m_notifier->exportOn(m_bus)) {
        m_exporter->unexport();
        return false;
    }
    m_notifier->setMenuPath(QDBusObjectPath(menuPath));
    m_notifier->registerWithWatcher();
    return true;
}

void StatusItem::startTrayIcon() {
    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setObjectName(QStringLiteral("statusItemTrayIcon"));
    updateTrayIcon();
    m_trayIcon->setToolTip(trayToolTip());
    m_trayIcon->setContextMenu(m_menu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // The item is all menu: a plain click opens it too.
        if (reason == QSystemTrayIcon::Trigger)
            popUpMenu(QCursor::pos());
    });
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (!trayAvailable && !m_trayWarningGiven) {
        m_trayWarningGiven = true;
        qWarning(
            "StatusItem: this desktop has no status area (no StatusNotifierWatcher on the session bus, no "
            "system tray); the item appears when one starts");
    }
    // On X11 a tray icon shown before any tray exists waits for one and docks when it starts; elsewhere it
    // would only complain, and a watcher that starts later brings the item back instead.
    if (trayAvailable || QGuiApplication::platformName() == QLatin1String("xcb"))
        m_trayIcon->show();
}

void StatusItem::updateTitle() {
    m_notifier->setLabel(m_title, titleGuide());
    m_notifier->setToolTip(m_title, m_toolTip);
    const bool drawTitle = m_titleInIcon && !m_title.trimmed().isEmpty();
    m_notifier->setPixmapIcon(drawTitle ? QIcon(new StatusItemIconEngine(m_title, titleGuide())) : QIcon());
    if (m_trayIcon) {
        updateTrayIcon();
        m_trayIcon->setToolTip(trayToolTip());
    }
}

void StatusItem::updateTrayIcon() {
    if (!m_trayIcon)
        return;
    if (m_title.trimmed().isEmpty())
        m_trayIcon->setIcon(m_icon.isNull() ? clockFaceIcon() : m_icon);
    else
        m_trayIcon->setIcon(QIcon(new StatusItemIconEngine(m_title, titleGuide())));
}

QString StatusItem::trayToolTip() const {
    if (m_toolTip.isEmpty())
        return m_title;
    return m_title.isEmpty() ? m_toolTip : m_title + QLatin1Char('\n') + m_toolTip;
}

void StatusItem::popUpMenu(const QPoint &position) {
    if (m_menu)
        m_menu->popup(position);
}
