#pragma once
// Which file a path names at one moment: device, inode, size and modification time to the
// nanosecond. Two equal identities mean the same file with the same contents as far as
// the file system tells; a rename, a replacement or a write changes it.
#include <QString>

#include <cstdint>

struct FileIdentity {
    bool Exists = false;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = 0;
    int64_t ModifiedSec = 0;
    int64_t ModifiedNsec = 0;

    // The identity of the file at Path now; Exists is false when there is no regular file.
    static FileIdentity Of(const QString &path);
    bool operator==(const FileIdentity &) const = default;
};
