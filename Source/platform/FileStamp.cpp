#include "FileStamp.h"

#include <QFile>

#include <sys/stat.h>

FileStamp FileStamp::of(const QString &path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return stamp;
    stamp.m_exists = true;
    stamp.m_inode = int64_t(info.st_ino);
    stamp.m_device = int64_t(info.st_dev);
    stamp.m_size = int64_t(info.st_size);
#if defined(__APPLE__)
    stamp.m_mtimeNs = int64_t(info.st_mtimespec.tv_sec) * 1000000000 + info.st_mtimespec.tv_nsec;
#else
    stamp.m_mtimeNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#endif
    return stamp;
}
