#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The parts of the freedesktop.org desktop entry format that login items need: the keys of a file's
// [Desktop Entry] group, and the Exec key's quoting.
namespace DesktopEntry {

using Keys = QMap<QString, QString>;

// The keys of the [Desktop Entry] group, their values unescaped (\s \n \t \r \\). Nothing when the text is
// not a well-formed desktop entry: no such group, a group or a key given twice, a line that is neither
// comment, group nor key.
std::optional<Keys> parse(const QByteArray &text);
// The same for a file; nothing too when it cannot be read or is larger than any desktop entry would be.
std::optional<Keys> readFile(const QString &path);

// A value written so that parse() gives back exactly value.
QString escapeValue(const QString &value);

// The Exec value that runs arguments, the program first: every argument that holds a reserved character is
// put in double quotes (with " ` $ \ inside escaped by a backslash), every % doubled, and the whole escaped
// as a string value, so a path with spaces, quotes or backslashes survives as it is.
QString execValue(const QStringList &arguments);
// The arguments an Exec value (as parse() gives it back) runs, read as a desktop session reads it: double
// quotes as above, single quotes and backslashes outside quotes as in the shell, %% as one %. Field codes
// such as %U are kept as they are. Nothing when a quote is left open.
std::optional<QStringList> execArguments(const QString &value);

} // namespace DesktopEntry
