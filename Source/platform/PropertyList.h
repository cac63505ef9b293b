#pragma once

#include "FileStamp.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

// Property-list files, XML or binary, read whole into a QVariant tree (PropertyListCodec says which types),
// and written back whole through AtomicFileReplace: under the file's lock, all at once, so that a reader sees
// the old file or the new one and two programs that change different keys at the same moment both keep
// theirs.
//
// A read opens nothing but a regular file, perhaps reached through symbolic links, and reads at most
// kMaxFileBytes of it. A named pipe, socket, device or folder at the path, a link to one of those, or a loop
// of links is NotAFile: it reads as nothing, and writes leave it as it is and fail.
class PropertyList {
public:
    // 4 MiB: a settings file holds kilobytes; the limit only stops a read that would not end.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

    // Damaged: a regular file that cannot be read or parsed (or is larger than kMaxFileBytes).
    enum class Status { Ok, Missing, Damaged, NotAFile };
    // CreateFile starts a new file when there is none; OnlyIfFileExists leaves a missing (or damaged) file
    // alone and reports Skipped.
    enum class WriteMode { CreateFile, OnlyIfFileExists };
    enum class WriteOutcome { Written, Skipped, Failed };

    struct ReadResult {
        Status status = Status::Missing;
        QVariant value;
        QString problem; // why a file counts as damaged
    };

    struct DictionaryResult {
        Status status = Status::Missing;
        QVariantMap dictionary;
        QString problem;
    };

    struct UpdateResult {
        WriteOutcome outcome = WriteOutcome::Failed;
        QVariantMap dictionary; // what the file holds now, when Written
        FileStamp stamp;        // the file as this write left it, taken while still holding the lock
        QString problem;        // why it Failed
    };

    // Reads and parses a whole file. A file that exists but cannot be read or parsed is Damaged; `problem`
    // says what is wrong in one line, and where in the file when it is a place.
    static ReadResult readFile(const QString &path);
    // As readFile, with a top level that is not a dictionary counted as Damaged too.
    static DictionaryResult readDictionaryFile(const QString &path);
    // The file's top-level dictionary, or nothing when the file is missing, damaged or not a dictionary.
    static std::optional<QVariantMap> readDictionary(const QString &path);

    // Replaces the whole file with `value`, creating the folder when needed.
    static bool writeFile(const QString &path, const QVariant &value, QString *problem = nullptr);

    // Reads the file's dictionary, lets `change` edit it and writes the result back, all under the file's
    // lock. A file that exists but does not hold a readable dictionary is never replaced by one built from
    // nothing: with CreateFile it is first renamed to NAME.damaged-<local time> (told once on standard
    // error); with OnlyIfFileExists the write is Skipped. What is NotAFile is left alone: with CreateFile the
    // write Fails. `change` is not called when nothing is written.
    static UpdateResult updateDictionary(const QString &path,
                                         const std::function<void(QVariantMap &)> &change, WriteMode mode);

    // The lock file of a data file: NAME.lock beside it.
    static QString lockPath(const QString &path);

    // Parses XML or binary property-list bytes; an invalid QVariant when they do not parse.
    static QVariant fromData(const QByteArray &data);
    // The XML form of a tree. Values of other types are written as their string form.
    static QByteArray toXml(const QVariant &value);

    // A value's kind in the words messages use: "a string", "an integer", "a real number", "a boolean",
    // "data", "a list", "a dictionary", "a date", "nothing".
    static QString kindOf(const QVariant &value);
};
