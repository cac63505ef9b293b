#pragma once

#include <QByteArray>
#include <QString>

// The locked, all-at-once replacement of one data file. An object holds the advisory lock of its file for its
// lifetime: a lock file beside the data file (NAME.lock; the data file itself is replaced by every write, so
// it cannot carry the lock). Writers keep the lock over their whole read-modify-write, so two programs that
// change different keys of one file at the same moment both keep their key.
//
// replace() puts the new contents in a temporary file in the same folder, flushes it to the disk and renames
// it over the old file, so a reader sees the old file or the new one and never a part of either, even when
// the writer is killed.
class AtomicFileReplace {
public:
    // A writer that holds the lock works for milliseconds; one that holds it for this long is stuck (stopped
    // in a debugger, say), and waiting on would freeze the program that wants to write.
    static constexpr int kPatienceMs = 10000;

    // Takes the lock of `path` (waiting up to kPatienceMs) and removes the temporaries that a writer killed
    // halfway left behind.
    explicit AtomicFileReplace(QString path);
    ~AtomicFileReplace();
    AtomicFileReplace(const AtomicFileReplace &) = delete;
    AtomicFileReplace &operator=(const AtomicFileReplace &) = delete;

    bool locked() const { return m_locked; }
    // Why the lock could not be taken.
    QString problem() const { return m_problem; }

    // Replaces the file's whole contents, keeping its permissions. Only while locked().
    bool replace(const QByteArray &bytes, QString *problem);
    // Renames the file to NAME.damaged-<local time> (with -2, -3... when that is taken) and returns the new
    // name; empty, with `problem` set, when the rename fails. Only while locked().
    QString moveAside(QString *problem);

    // The lock file of a data file: NAME.lock beside it.
    static QString lockPath(const QString &path);

private:
    void removeStaleTemporaries();

    QString m_path;
    int m_fd = -1;
    bool m_locked = false;
    QString m_problem;
};
