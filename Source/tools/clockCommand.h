#pragma once

#include <QStringList>
#include <QTextStream>

// tindral-clock without a command word: the clock itself, as the full report, the status title or JSON.
// Returns the exit status: 0, or 2 for arguments it cannot use (one line on `err` names the problem).
int runClockCommand(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The text of --help.
QString clockCommandHelp();
