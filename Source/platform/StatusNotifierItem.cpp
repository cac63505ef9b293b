#include "StatusNotifierItem.h"

#include "statusnotifieritemadaptor.h"
#include "statusnotifierwatcherinterface.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <atomic>

const QString StatusNotifierItem::itemPath = QStringLiteral("/StatusNotifierItem");
const QString StatusNotifierItem::watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString StatusNotifierItem::watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QList<int> StatusNotifierItem::pixmapSizes = {16, 22, 24, 32, 48};

namespace {

// Edge, in pixels, of the picture file named by IconName; hosts scale it to their panel.
constexpr int iconFileSize = 48;

int nextItemNumber() {
    static std::atomic<int> number{0};
    return ++number;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(QObject *parent)
    : QObject(parent)
    , m_id(QCoreApplication::applicationName())
    , m_title(QCoreApplication::applicationName()) {
    registerStatusItemDBusTypes();
    new StatusNotifierItemAdaptor(this);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &StatusNotifierItem::flush);
}

StatusNotifierItem::~StatusNotifierItem() {
    unexport();
}

bool StatusNotifierItem::exportOn(const QDBusConnection &bus) {
    unexport();
    if (!bus.isConnected()) {
        qWarning("StatusNotifierItem: cannot show the status item: not connected to a bus");
        return false;
    }
    QDBusConnection connection(bus);
    const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(nextItemNumber());
    if (!connection.registerObject(itemPath, this, QDBusConnection::ExportAdaptors)) {
        qWarning("StatusNotifierItem: cannot show the status item: %s is taken on this connection",
                 qPrintable(itemPath));
        return false;
    }
    if (!connection.registerService(name)) {
        qWarning("StatusNotifierItem: cannot show the status item: the bus refused the name %s: %s",
                 qPrintable(name), qPrintable(connection.lastError().message()));
        connection.unregisterObject(itemPath);
        return false;
    }
    m_bus = connection;
    m_serviceName = name;
    m_exported = true;
    m_watcher = std::make_unique<StatusNotifierWatcherInterface>(watcherService, watcherPath, m_bus);
    return true;
}

void StatusNotifierItem::unexport() {
    // Whatever a registration still on its way answers no longer concerns anyone.
    ++m_registrationSerial;
    if (!m_exported)
        return;
    m_watcher.reset();
    // Giving the name back is what tells the watcher that the item is gone.
    m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(itemPath);
    m_exported = false;
    m_serviceName.clear();
}

void StatusNotifierItem::registerWithWatcher() {
    if (!m_exported) {
        Q_EMIT registrationFailed(QStringLiteral("the item is not on the bus"));
        return;
    }
    // Hosts read the item as soon as it is registered: let them see its latest state.
    flush();
    const int serial = ++m_registrationSerial;
    auto *call = new QDBusPendingCallWatcher(m_watcher->RegisterStatusNotifierItem(m_serviceName), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, serial](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                // Only the latest registration counts: an earlier one may have gone to a watcher that has
                // quit since.
                if (serial != m_registrationSerial)
                    return;
                const QDBusPendingReply<> reply = *finished;
                if (reply.isError())
                    Q_EMIT registrationFailed(reply.error().message());
                else
                    Q_EMIT registered();
            });
}

void StatusNotifierItem::changed(Change change) {
    m_pending |= change;
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void StatusNotifierItem::flush() {
    m_flushTimer.stop();
    const int pending = m_pending;
    m_pending = 0;
    if (pending & TitleChange)
        Q_EMIT NewTitle();
    if (pending & IconChange)
        Q_EMIT NewIcon();
    if (pending & ToolTipChange)
        Q_EMIT NewToolTip();
    if (pending & MenuChange)
        Q_EMIT NewMenu();
    if (pending & LabelChange)
        Q_EMIT XAyatanaNewLabel(m_label, m_labelGuide);
}

void StatusNotifierItem::setId(const QString &id) {
    // Hosts read the id once, when the item registers; no signal announces a change.
    m_id = id;
}

void StatusNotifierItem::setTitle(const QString &title) {
    if (title == m_title)
        return;
    m_title = title;
    changed(TitleChange);
}

void StatusNotifierItem::setLabel(const QString &label, const QString &guide) {
    if (label == m_label && guide == m_labelGuide)
        return;
    m_label = label;
    m_labelGuide = guide;
    changed(LabelChange);
}

void StatusNotifierItem::setToolTip(const QString &title, const QString &text) {
    if (title == m_toolTipTitle && text == m_toolTipText)
        return;
    m_toolTipTitle = title;
    m_toolTipText = text;
    changed(ToolTipChange);
}

DBusToolTip StatusNotifierItem::toolTip() const {
    return DBusToolTip{QString(), {}, m_toolTipTitle, m_toolTipText};
}

void StatusNotifierItem::setMenuPath(const QDBusObjectPath &path) {
    if (path == m_menuPath)
        return;
    m_menuPath = path;
    changed(MenuChange);
}

DBusImage StatusNotifierItem::imageToDBus(const QImage &image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    DBusImage picture;
    picture.width = argb.width();
    picture.height = argb.height();
    picture.data.resize(qsizetype(picture.width) * picture.height * 4);
    auto *out = reinterpret_cast<uchar *>(picture.data.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            qToBigEndian<quint32>(line[x], out);
            out += 4;
        }
    }
    return picture;
}

DBusImageList StatusNotifierItem::picturesOf(const QIcon &icon) {
    DBusImageList pictures;
    for (const int size : pixmapSizes) {
        const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
        // An icon smaller than the size asked for comes back at its own size; one copy of it is enough.
        if (!image.isNull() && std::none_of(pictures.cbegin(), pictures.cend(), [&](const DBusImage &p) {
                return p.width == image.width() && p.height == image.height();
            }))
            pictures.append(imageToDBus(image));
    }
    return pictures;
}

void StatusNotifierItem::setIcon(const QIcon &icon) {
    if (icon.cacheKey() == m_icon.cacheKey())
        return;
    m_icon = icon;
    if (m_pixmapIcon.isNull())
        m_iconPixmap = picturesOf(icon);
    writeIconFile();
    changed(IconChange);
}

void StatusNotifierItem::setPixmapIcon(const QIcon &icon) {
    if (icon.isNull() && m_pixmapIcon.isNull())
        return;
    m_pixmapIcon = icon;
    m_iconPixmap = picturesOf(icon.isNull() ? m_icon : icon);
    changed(IconChange);
}

QString StatusNotifierItem::iconThemePath() const {
    return m_iconFolder ? m_iconFolder->path() : QString();
}

void StatusNotifierItem::writeIconFile() {
    const QString previous = m_iconName;
    m_iconName.clear();
    if (m_icon.isNull())
        return;
    if (!m_iconFolder) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        const QString pattern = QStringLiteral("/status-item-XXXXXX");
        m_iconFolder = std::make_unique<QTemporaryDir>(runtime.isEmpty() ? QDir::tempPath() + pattern
                                                                         : runtime + pattern);
        if (!m_iconFolder->isValid()) {
            qWarning("StatusNotifierItem: cannot make a folder for the icon file: %s",
                     qPrintable(m_iconFolder->errorString()));
            m_iconFolder.reset();
            return;
        }
    }
    // A new name for every picture: hosts keep what they once loaded under a name.
    const QString name =
        QStringLiteral("status-item-%1-%2").arg(QCoreApplication::applicationPid()).arg(++m_iconSerial);
    const QImage image = m_icon.pixmap(QSize(iconFileSize, iconFileSize), 1.0).toImage();
    if (image.isNull() || !image.save(m_iconFolder->filePath(name + QStringLiteral(".png")), "PNG")) {
        qWarning("StatusNotifierItem: cannot write the icon file in %s", qPrintable(m_iconFolder->path()));
        return;
    }
    m_iconName = name;
    if (!previous.isEmpty())
        QFile::remove(m_iconFolder->filePath(previous + QStringLiteral(".png")));
}

void StatusNotifierItem::ContextMenu(int x, int y) {
    Q_EMIT menuRequested(QPoint(x, y));
}

void StatusNotifierItem::Activate(int x, int y) {
    Q_EMIT menuRequested(QPoint(x, y));
}

void StatusNotifierItem::SecondaryActivate(int x, int y) {
    Q_UNUSED(x);
    Q_UNUSED(y);
}

void StatusNotifierItem::Scroll(int delta, const QString &orientation) {
    Q_UNUSED(delta);
    Q_UNUSED(orientation);
}
