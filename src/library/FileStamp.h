// What tells, without reading a file, whether its content may have changed: its size, its
// times and which file the name stands for.
#pragma once

#include <QString>

#include <cstdint>

namespace vk {

struct FileStamp
{
    int64_t size = -1; // -1: the file could not be examined
    int64_t modifiedNs = 0, changedNs = 0;
    uint64_t device = 0, inode = 0;
    // When the stamp was taken (nanoseconds of the wall clock).
    int64_t takenNs = 0;

    bool valid() const { return size >= 0; }
    // The same file with the same size and times (when each was taken does not count).
    bool sameAs(const FileStamp &other) const;
    // The file was written so shortly before the stamp was taken that another write in the
    // same tick of the file system's clock would leave every part of the stamp as it is:
    // only its content can tell whether it changed afterwards.
    bool tooRecent() const;

    // The file at `path` (links followed); invalid when it cannot be examined.
    static FileStamp of(const QString &path);
};

} // namespace vk
