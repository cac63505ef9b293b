#pragma once

// What the two programs and the command line agree on: the keys of the shared settings file, the names of
// the notifications they post to each other with the keys of their payloads, the keys of a timer record,
// and the switches of the desktop's clock. Every one of these texts is written here and nowhere else in the
// sources; a program that posts or reads one names the constant.
namespace TND {

// Keys of the shared settings file, Tindral.plist.
inline constexpr char kShowTindralMenuKey[] = "showTindralMenu";         // 1 (or true) while the companion runs
inline constexpr char kUpdateTimerIntervalKey[] = "updateTimerInterval"; // seconds: 1, 3, 5 or 15
inline constexpr char kUpdateTimerIndexKey[] = "updateTimerIndex";       // [0, 3], the refresh pull-down's entry
inline constexpr char kICSecondsOffsetKey[] = "icSecondsOffset";         // IC seconds added to the clock
inline constexpr char kTimerArrayKey[] = "timerArray";                   // list of timer records
inline constexpr char kLastVersionKey[] = "lastVersion";                 // the update check's last answer
inline constexpr char kLastDateKey[] = "lastDate";                       // the update check's last moment
inline constexpr char kUpdateServerKey[] = "updateServer";               // base address of the update server
inline constexpr char kToolbarItemsKey[] = "toolbarItems";               // the main window's toolbar layout
inline constexpr char kTimerEndsKey[] = "timerEnds";                     // each timer's end, OOC seconds
inline constexpr char kTimerEndNoticesKey[] = "timerEndNotifications";   // missing or 1: say when a timer ends
inline constexpr char kAlertArrayKey[] = "alertArray";                   // list of alerts at in-game events

// Notifications between the programs, on the session bus.
inline constexpr char kUpdateICSecondsOffsetNote[] = "TNDUpdateICSecondsOffset";
inline constexpr char kUpdateTimerIntervalNote[] = "TNDUpdateTimerInterval"; // also inside the main program
inline constexpr char kGoAwayNote[] = "TNDGoAway";
inline constexpr char kTurnedOnNote[] = "TNDTurnedOn";
inline constexpr char kWentAwayNote[] = "TNDWentAway";
inline constexpr char kAddTimerNote[] = "TNDAddTimer"; // the user info is the timer record itself
inline constexpr char kChangeTimerNote[] = "TNDChangeTimer";
inline constexpr char kRemoveTimerNote[] = "TNDRemoveTimer";
inline constexpr char kDoneTimerNote[] = "TNDDoneTimer";
inline constexpr char kAlertsChangedNote[] = "TNDAlertsChanged";
// The companion asks a running main application to show its Timers/Alerts pane (a click on the desktop
// notification of a timer's end); a main application started for it gets the argument below instead.
inline constexpr char kShowTimersNote[] = "TNDShowTimers";
inline constexpr char kShowTimersArgument[] = "--timers";

// A notification inside the companion only: a timer window's countdown has ended; its object is the timer.
inline constexpr char kTimerWindowDoneNote[] = "doneTimer";

// Keys of the notifications' user info.
inline constexpr char kICSecondsOffsetInfoKey[] = "icSecondsOffset"; // of "TNDUpdateICSecondsOffset"
inline constexpr char kUpdateIntervalInfoKey[] = "updateInterval";   // of "TNDUpdateTimerInterval"
inline constexpr char kTimerInfoKey[] = "timerInfo";                 // of "TNDChangeTimer"
inline constexpr char kRowIndexKey[] = "rowIndex"; // of the timer notifications, and of a timer record

// Keys of a timer record (see TNDTimerRecord), "rowIndex" above included.
inline constexpr char kTitleKey[] = "title";
inline constexpr char kTimeKey[] = "time";
inline constexpr char kDoneKey[] = "done";
inline constexpr char kWindowColorKey[] = "windowColor";
inline constexpr char kTransparencyKey[] = "transparency";
inline constexpr char kTotalSecondsKey[] = "totalSeconds";
inline constexpr char kIcKey[] = "ic";

// The user's international settings, read from the settings file before the locale.
inline constexpr char kTimeFormatKey[] = "NSTimeFormatString";
inline constexpr char kShortDateFormatKey[] = "NSShortDateFormatString";
inline constexpr char kDateFormatKey[] = "NSDateFormatString";
inline constexpr char kAMPMDesignationKey[] = "NSAMPMDesignation";

// The switches of the desktop's own clock, as MenuBarClock.plist names them.
inline constexpr char kDisplaySecondsSwitch[] = "DisplaySeconds";
inline constexpr char kAppendAMPMSwitch[] = "AppendAMPM";
inline constexpr char kShowDaySwitch[] = "ShowDay";

// The most countdown timers the companion runs at once; the editor holds its list to the same number.
inline constexpr int kMaxTimers = 100;

} // namespace TND
