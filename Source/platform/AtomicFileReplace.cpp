#include "AtomicFileReplace.h"

#include "Clock.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const char *what, int error) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(error)));
}

QString temporaryPrefix(const QString &path) {
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".tmp-");
}

bool writeAll(int fd, const QByteArray &bytes) {
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

} // namespace

AtomicFileReplace::AtomicFileReplace(QString path)
    : m_path(std::move(path)) {
    // flock() locks belong to the open file, so two writers in the same process exclude each other as well as
    // two programs do.
    m_fd = ::open(QFile::encodeName(lockPath(m_path)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_problem = systemError("cannot open the lock file", errno);
        return;
    }
    // Polling, not a blocking flock(), so that the wait has an end.
    QDeadlineTimer deadline(kPatienceMs);
    unsigned long pauseMs = 1;
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            break;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_problem = systemError("cannot lock the file", errno);
            return;
        }
        if (deadline.hasExpired()) {
            m_problem = QStringLiteral("another program has held the file's lock for over %1 seconds")
                            .arg(kPatienceMs / 1000);
            return;
        }
        QThread::msleep(pauseMs);
        pauseMs = std::min<unsigned long>(pauseMs * 2, 16);
    }
    removeStaleTemporaries();
}

AtomicFileReplace::~AtomicFileReplace() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

QString AtomicFileReplace::lockPath(const QString &path) {
    return path + QStringLiteral(".lock");
}

// Only called while holding the lock, when no other writer can be using one.
void AtomicFileReplace::removeStaleTemporaries() {
    const QFileInfo info(m_path);
    QDir folder(info.absolutePath());
    const QString pattern = QStringLiteral(".") + info.fileName() + QStringLiteral(".tmp-*");
    for (const QString &name : folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);
}

// The bytes are complete on the disk under a temporary name before the rename puts them in place.
bool AtomicFileReplace::replace(const QByteArray &bytes, QString *problem) {
    const QFileInfo info(m_path);
    QByteArray name = QFile::encodeName(temporaryPrefix(m_path)) + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *problem = systemError("cannot create a temporary file", errno);
        return false;
    }
    struct stat old {};
    if (::stat(QFile::encodeName(m_path).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);

    const auto fail = [&](const char *what) {
        const int error = errno;
        ::close(fd);
        ::unlink(name.constData());
        *problem = systemError(what, error);
        return false;
    };
    if (!writeAll(fd, bytes))
        return fail("cannot write the temporary file");
    if (::fsync(fd) != 0)
        return fail("cannot flush the temporary file to the disk");
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        *problem = systemError("cannot close the temporary file", error);
        return false;
    }
    if (::rename(name.constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        *problem = systemError("cannot rename the temporary file over the old one", error);
        return false;
    }
    // The rename itself lives in the folder; without this a crash of the machine could bring the old file
    // back.
    const int folder =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

QString AtomicFileReplace::moveAside(QString *problem) {
    const QString stamp = QDateTime::fromMSecsSinceEpoch(qint64(Clock::now() * 1000.0))
                              .toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = m_path + QStringLiteral(".damaged-") + stamp;
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QStringLiteral("-%1").arg(n);
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData()) != 0) {
        *problem = systemError("cannot move the damaged file aside", errno);
        return {};
    }
    return target;
}
