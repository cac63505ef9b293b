#pragma once

#include <QStringList>

// tindral-clock post and listen: the system-wide notifications from a terminal or a script. `arguments` are
// those after the command word. Each returns the program's exit status: 0 done, 1 failed (no bus, a value
// that cannot be sent), 2 a usage error (told in one line on standard error). A QCoreApplication is made
// when the caller has none.

// post NAME [KEY=VALUE | KEY:=JSON | :=JSON-OBJECT]...
//   Posts NAME with the user info built from the arguments, in order. KEY=VALUE types VALUE by its look,
//   KEY:=JSON takes a JSON value, and :=JSON-OBJECT takes a whole dictionary as the user info (the form of
//   TNDAddTimer, whose user info is the timer record itself); data is written {"$base64": "..."}
//   (see CommandValues). Returns once the bus has passed the notification on.
int runPostCommand(const QStringList &arguments);

// listen [NAME]...
//   Prints every notification that arrives, or those of the names given, as one JSON line
//   {"name": ..., "userInfo": {...}}, data as base64 strings, until SIGINT or SIGTERM (status 0). Once it
//   hears every notification posted, it says "listening ..." on standard error.
int runListenCommand(const QStringList &arguments);

inline constexpr char kPostUsage[] = "tindral-clock post NAME [KEY=VALUE | KEY:=JSON | :=JSON-OBJECT]...";
inline constexpr char kListenUsage[] = "tindral-clock listen [NAME]...";
