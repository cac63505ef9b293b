#include "ClockSwitches.h"

#include "PropertyList.h"
#include "UserDefaults.h"

QString ClockSwitches::menuBarClockPath() {
    return UserDefaults::preferencesFolder() + QStringLiteral("/MenuBarClock.plist");
}

std::optional<QVariantMap> ClockSwitches::read() {
    return PropertyList::readDictionary(menuBarClockPath());
}
