#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// The switches of the desktop's own clock: "DisplaySeconds", "AppendAMPM" and "ShowDay", read from
// MenuBarClock.plist in the preferences folder.
class ClockSwitches {
public:
    static QString menuBarClockPath();
    // The switches as a dictionary, or nothing when no source has them.
    static std::optional<QVariantMap> read();
};
