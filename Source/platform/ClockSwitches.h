#pragma once

#include "FileStamp.h"
#include "FileWatch.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>
#include <optional>

class QDBusMessage;
class QFileSystemWatcher;

// The switches of the desktop's own clock: DisplaySeconds, AppendAMPM and ShowDay. They come from
// MenuBarClock.plist in the preferences folder when that file exists (a damaged one gives nothing), otherwise
// from the desktop's own clock settings where there are any: GNOME's org.gnome.desktop.interface
// clock-show-seconds, clock-show-weekday, and clock-format 12h for AppendAMPM.
//
// There is no GSettings library here, so the desktop's settings are read by running `gsettings` (when it is
// installed), once, and then again only when they change: dconf's Notify signal on the session bus or a
// change of dconf's database file says so. The file is looked at (one stat) only after its FileWatch has seen
// it change, so a read between changes costs no system call: cheap enough for every tick of the clock. With a QCoreApplication the sources are
// watched and every change of the switches is announced by changed() (the clock-settings change
// notification); without one nothing is watched and the desktop's settings are read once.
class ClockSwitches : public QObject {
    Q_OBJECT

public:
    static constexpr int kDesktopPatienceMs = 1000;

    // The program's one instance, on MenuBarClock.plist in the preferences folder and `gsettings`.
    static ClockSwitches &shared();
    static QString menuBarClockPath();
    // shared().switches(): the switches as a dictionary, or nothing when no source has them.
    static std::optional<QVariantMap> read();

    // `desktopSettingsProgram` is run as PROGRAM list-recursively org.gnome.desktop.interface; a name without
    // a folder is looked up on PATH.
    explicit ClockSwitches(QString menuBarClockFile,
                           QString desktopSettingsProgram = QStringLiteral("gsettings"),
                           QObject *parent = nullptr);
    ~ClockSwitches() override;

    std::optional<QVariantMap> switches();
    // How long the desktop's settings may take to come; they count as absent after that.
    void setDesktopPatience(int milliseconds) { m_desktopPatienceMs = milliseconds; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void dconfNotified(const QDBusMessage &message);

private:
    void watchIfPossible();
    QStringList updateWatchedPaths(); // the paths newly watched
    void folderChanged(const QString &path);
    void desktopMayHaveChanged();
    void announceIfChanged();
    void readFileIfChanged(const FileStamp &stamp);
    std::optional<QVariantMap> desktopSwitches();

    QString m_file;
    QString m_program;
    QString m_dconfFolder;
    int m_desktopPatienceMs = kDesktopPatienceMs;

    std::unique_ptr<FileWatch> m_fileWatch;
    uint64_t m_fileWatchCount = 0; // the watch's count when the file was last looked at
    bool m_fileMayHaveChanged = false;
    std::optional<FileStamp> m_fileStamp;
    std::optional<QVariantMap> m_fileSwitches;
    bool m_desktopKnown = false;
    std::optional<QVariantMap> m_desktopSwitches;
    bool m_toldDesktopSlow = false;

    bool m_watching = false;
    QFileSystemWatcher *m_watcher = nullptr;
    std::optional<QVariantMap> m_announced;
};
