#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

// Tells a reader cheaply whether a file may have changed since it last looked. A thread of its own follows the
// file's folder through inotify (the nearest folder above that exists while the folder does not) and counts
// every creation, write, rename and removal of the file; a reader compares changeCount() with the count it
// saw when it last read the file, and looks at the file again (stat, parse) only when the count has moved.
// That costs an atomic load instead of a system call, so it can be asked at every lookup.
//
// The count moves as soon as the thread has taken the event from the kernel, a few microseconds after the
// write; a reader therefore sees a change at its next read after that. When the watch cannot be set up
// (no inotify, or its limits reached) watching() is false and the reader must look at the file every time.
class FileWatch {
public:
    explicit FileWatch(QString path);
    ~FileWatch();
    FileWatch(const FileWatch &) = delete;
    FileWatch &operator=(const FileWatch &) = delete;

    bool watching() const { return m_thread.joinable() && !m_lost.load(std::memory_order_acquire); }
    uint64_t changeCount() const { return m_changes.load(std::memory_order_acquire); }

private:
    void run();
    void arm(); // watches the folder, or the nearest one above it that exists
    void changed() { m_changes.fetch_add(1, std::memory_order_acq_rel); }

    QByteArray m_folder;
    QByteArray m_name;
    int m_inotify = -1;
    int m_stop = -1; // an eventfd the destructor writes to
    int m_watch = -1;
    bool m_watchingFolder = false;
    std::atomic<uint64_t> m_changes{0};
    std::atomic<bool> m_lost{false};
    std::thread m_thread;
};
