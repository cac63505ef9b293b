#include "FileWatch.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Everything that can give the file other contents: a write, a new file renamed over it, its removal. The
// folder's own removal or renaming ends the watch, which is then set up again.
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                   IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Above a folder that does not exist yet: only its creation, or that of a folder on its way, matters.
constexpr uint32_t kAboveEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

FileWatch::FileWatch(QString path) {
    const QFileInfo info(path);
    m_folder = QFile::encodeName(info.absolutePath());
    m_name = QFile::encodeName(info.fileName());
    m_inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    m_stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_inotify < 0 || m_stop < 0)
        return;
    arm();
    if (m_watch < 0)
        return;
    m_thread = std::thread([this] { run(); });
}

FileWatch::~FileWatch() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        while (::write(m_stop, &one, sizeof one) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_stop >= 0)
        ::close(m_stop);
}

void FileWatch::arm() {
    if (m_watch >= 0)
        inotify_rm_watch(m_inotify, m_watch);
    for (;;) {
        m_watch = inotify_add_watch(m_inotify, m_folder.constData(), kFolderEvents);
        m_watchingFolder = m_watch >= 0;
        if (m_watchingFolder)
            return;
        // The folder is not there yet (a new account): wait for it one level above, or higher still.
        QByteArray above = m_folder;
        while (m_watch < 0) {
            const qsizetype slash = above.lastIndexOf('/');
            if (slash < 0)
                return;
            above.truncate(slash > 0 ? slash : 1);
            m_watch = inotify_add_watch(m_inotify, above.constData(), kAboveEvents);
            if (above == "/")
                break;
        }
        // A folder made before that watch began would never be told of: look once more.
        if (m_watch < 0 || ::access(m_folder.constData(), F_OK) != 0)
            return;
        inotify_rm_watch(m_inotify, m_watch);
    }
}

void FileWatch::run() {
    alignas(inotify_event) char buffer[8192];
    pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_stop, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        bool rearm = false;
        bool touched = false;
        for (;;) {
            const ssize_t length = ::read(m_inotify, buffer, sizeof buffer);
            if (length <= 0)
                break;
            for (ssize_t at = 0; at < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                if (event->wd != m_watch)
                    continue; // the last word of a watch this thread has already replaced
                if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                    rearm = true;
                    touched = true;
                } else if (!m_watchingFolder) {
                    rearm = true; // something appeared above the folder: perhaps the folder itself
                } else if (event->len > 0 && std::strcmp(event->name, m_name.constData()) == 0) {
                    touched = true;
                }
            }
        }
        if (rearm) {
            const bool hadFolder = m_watchingFolder;
            arm();
            if (m_watch < 0) {
                // Nothing left to watch: readers go back to looking at the file every time.
                m_lost.store(true, std::memory_order_release);
                changed();
                return;
            }
            // A folder that has just appeared may already hold the file.
            touched = touched || (m_watchingFolder && !hadFolder);
        }
        if (touched)
            changed();
    }
}
