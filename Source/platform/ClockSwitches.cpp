#include "ClockSwitches.h"

#include "PropertyList.h"
#include "TNDContract.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QStandardPaths>
#include <QtDebug>

namespace {

constexpr char kSchema[] = "org.gnome.desktop.interface";
constexpr char kSchemaPath[] = "/org/gnome/desktop/interface/";
constexpr char kDconfInterface[] = "ca.desrt.dconf.Writer";
constexpr char kDconfPath[] = "/ca/desrt/dconf/Writer/user";

constexpr char kDamagedMessage[] =
    "The desktop clock's settings file %s is damaged (%s): all its switches read as off.";
constexpr char kSlowMessage[] =
    "The desktop's clock settings did not come from %s within %d ms: its switches read "
    "as off.";

// One line of `gsettings list-recursively`: SCHEMA KEY VALUE, VALUE in GVariant text ('12h', true).
std::optional<QVariantMap> parseDesktopSettings(const QByteArray &output) {
    std::optional<bool> seconds;
    std::optional<bool> weekday;
    std::optional<bool> twelveHour;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() != 3 || fields[0] != kSchema)
            continue;
        const QByteArray &key = fields[1];
        const QByteArray &value = fields[2];
        if (key == "clock-show-seconds")
            seconds = value == "true";
        else if (key == "clock-show-weekday")
            weekday = value == "true";
        else if (key == "clock-format")
            twelveHour = value == "'12h'";
    }
    if (!seconds && !weekday && !twelveHour)
        return std::nullopt;
    return QVariantMap{{QString::fromLatin1(TND::kDisplaySecondsSwitch), seconds.value_or(false)},
                       {QString::fromLatin1(TND::kShowDaySwitch), weekday.value_or(false)},
                       {QString::fromLatin1(TND::kAppendAMPMSwitch), twelveHour.value_or(false)}};
}

// Whether a dconf change of `path` (a key, or a folder ending in '/') may touch the clock's keys.
bool touchesClockKeys(const QString &path) {
    const QString clockKeys = QString::fromLatin1(kSchemaPath) + QStringLiteral("clock-");
    return path.startsWith(clockKeys) || (path.endsWith(u'/') && clockKeys.startsWith(path));
}

} // namespace

ClockSwitches &ClockSwitches::shared() {
    // Kept to the end of the process, like the application's clock that reads it.
    static ClockSwitches *const instance = new ClockSwitches(menuBarClockPath());
    return *instance;
}

QString ClockSwitches::menuBarClockPath() {
    return UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist");
}

std::optional<QVariantMap> ClockSwitches::read() {
    return shared().switches();
}

ClockSwitches::ClockSwitches(QString menuBarClockFile, QString desktopSettingsProgram, QObject *parent)
    : QObject(parent)
    , m_file(std::move(menuBarClockFile))
    , m_program(std::move(desktopSettingsProgram))
    , m_dconfFolder(UserDefaults::preferencesFolder() + QStringLiteral("/dconf"))
    , m_fileWatch(std::make_unique<FileWatch>(m_file)) {}

ClockSwitches::~ClockSwitches() {
    if (m_watching) {
        QDBusConnection::sessionBus().disconnect(
            QString(), QString::fromLatin1(kDconfPath), QString::fromLatin1(kDconfInterface),
            QStringLiteral("Notify"), this, SLOT(dconfNotified(QDBusMessage)));
    }
}

std::optional<QVariantMap> ClockSwitches::switches() {
    watchIfPossible();
    // The file is looked at (one stat) only when its watch has seen a change, or cannot watch.
    const uint64_t count = m_fileWatch->changeCount();
    if (!m_fileStamp || count != m_fileWatchCount || m_fileMayHaveChanged || !m_fileWatch->watching()) {
        m_fileWatchCount = count;
        m_fileMayHaveChanged = false;
        readFileIfChanged(FileStamp::of(m_file));
    }
    if (m_fileStamp->exists())
        return m_fileSwitches;
    return desktopSwitches();
}

void ClockSwitches::readFileIfChanged(const FileStamp &stamp) {
    if (m_fileStamp && *m_fileStamp == stamp)
        return;
    m_fileStamp = stamp;
    m_fileSwitches.reset();
    if (!stamp.exists())
        return;
    PropertyList::DictionaryResult read = PropertyList::readDictionaryFile(m_file);
    if (read.status == PropertyList::Status::Ok)
        m_fileSwitches = std::move(read.dictionary);
    else if (read.status != PropertyList::Status::Missing)
        qWarning(kDamagedMessage, qPrintable(QDir::toNativeSeparators(m_file)), qPrintable(read.problem));
}

std::optional<QVariantMap> ClockSwitches::desktopSwitches() {
    if (m_desktopKnown)
        return m_desktopSwitches;
    m_desktopKnown = true;
    m_desktopSwitches.reset();
    const QString program =
        QFileInfo(m_program).isAbsolute() ? m_program : QStandardPaths::findExecutable(m_program);
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return m_desktopSwitches; // not a GNOME-like desktop: no switches of its own
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice()); // "No such schema" on desktops without it
    process.start(program, {QStringLiteral("list-recursively"), QString::fromLatin1(kSchema)});
    if (!process.waitForFinished(m_desktopPatienceMs)) {
        process.kill();
        // SIGKILL always ends it; wait for that, or QProcess would be destroyed with the child still there.
        process.waitForFinished(-1);
        if (!m_toldDesktopSlow) {
            m_toldDesktopSlow = true;
            qWarning(kSlowMessage, qPrintable(program), m_desktopPatienceMs);
        }
        return m_desktopSwitches;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        m_desktopSwitches = parseDesktopSettings(process.readAllStandardOutput());
    return m_desktopSwitches;
}

void ClockSwitches::watchIfPossible() {
    if (m_watching || !QCoreApplication::instance())
        return;
    m_watching = true;
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &ClockSwitches::folderChanged);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &ClockSwitches::folderChanged);
    updateWatchedPaths();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.connect(QString(), QString::fromLatin1(kDconfPath), QString::fromLatin1(kDconfInterface),
                    QStringLiteral("Notify"), this, SLOT(dconfNotified(QDBusMessage)));
    }
    m_announced = switches();
}

// A watch ends when its file is replaced or removed, and a folder can only be watched once it exists; so the
// list is brought up to date after every change. Until the preferences folder exists (a brand-new account),
// the nearest folder above it that does is watched, so that its appearance is seen.
QStringList ClockSwitches::updateWatchedPaths() {
    const QString folder = QFileInfo(m_file).absolutePath();
    QStringList wanted{folder, m_file, m_dconfFolder};
    QString above = folder;
    while (!QFileInfo::exists(above) && QFileInfo(above).path() != above)
        above = QFileInfo(above).path();
    if (above != folder)
        wanted << above;
    QStringList added;
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    for (const QString &path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            added << path;
    }
    if (!added.isEmpty())
        m_watcher->addPaths(added);
    return added;
}

void ClockSwitches::folderChanged(const QString &path) {
    // This watcher's word may come before the file watch's count has moved: look at the file in any case.
    m_fileMayHaveChanged = true;
    const QStringList added = updateWatchedPaths();
    // The preferences folder changes for many reasons (every write of Tindral.plist); only a change in
    // dconf's folder, or its appearance, is worth running the desktop's program again.
    if (path == m_dconfFolder || added.contains(m_dconfFolder))
        m_desktopKnown = false;
    announceIfChanged();
}

void ClockSwitches::dconfNotified(const QDBusMessage &message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString prefix = arguments[0].toString();
    const QStringList changes = arguments[1].toStringList();
    bool relevant = changes.isEmpty() && touchesClockKeys(prefix);
    for (const QString &change : changes)
        relevant = relevant || touchesClockKeys(prefix + change);
    if (relevant)
        desktopMayHaveChanged();
}

void ClockSwitches::desktopMayHaveChanged() {
    m_desktopKnown = false;
    announceIfChanged();
}

void ClockSwitches::announceIfChanged() {
    const std::optional<QVariantMap> now = switches();
    if (now == m_announced)
        return;
    m_announced = now;
    Q_EMIT changed();
}
