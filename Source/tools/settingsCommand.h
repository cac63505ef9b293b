#pragma once

#include <QStringList>

// tindral-clock settings: the shared settings file from a terminal or a script, through the same user
// defaults the programs use. `arguments` are those after the command word.
//
//   get [KEY]             the value as JSON (data as base64); without KEY the whole file
//   set KEY VALUE         VALUE typed by its look (see CommandValues)
//   set --json KEY JSON   a JSON value, for lists, dictionaries, data, or a string that looks like a number
//   remove KEY
//
// Returns the exit status: 0 done, 1 not done (the key is not set, the file could not be written), 2 a usage
// error (told in one line on standard error).
int runSettingsCommand(const QStringList &arguments);

inline constexpr char kSettingsUsage[] =
    "tindral-clock settings get [KEY] | set KEY VALUE | set --json KEY JSON | "
    "remove KEY";
