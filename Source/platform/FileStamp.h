#pragma once

#include <QString>

#include <cstdint>

// What a file looks like from outside: whether it exists, its inode, size and modification time. A writer
// that replaces a file by renaming a new one over it always changes the inode, so two equal stamps mean the
// same contents for every practical purpose.
class FileStamp {
public:
    static FileStamp of(const QString &path);

    bool exists() const { return m_exists; }

    bool operator==(const FileStamp &) const = default;

private:
    bool m_exists = false;
    int64_t m_inode = 0;
    int64_t m_device = 0;
    int64_t m_size = 0;
    int64_t m_mtimeNs = 0;
};
