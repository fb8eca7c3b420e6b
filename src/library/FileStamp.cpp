#include "FileStamp.h"

#include <QFile>

#include <sys/stat.h>
#include <time.h>

namespace vk {

namespace {

int64_t nanoseconds(const struct timespec &t)
{
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

bool FileStamp::sameAs(const FileStamp &other) const
{
    return valid() && other.valid() && size == other.size && modifiedNs == other.modifiedNs &&
           changedNs == other.changedNs && device == other.device && inode == other.inode;
}

bool FileStamp::tooRecent() const
{
    // Every write sets the modification time to the tick it happens in: one in a later tick
    // always shows. File systems with times in whole seconds (FAT keeps even seconds) tick
    // slowly; the others stamp with the kernel's coarse clock, a few milliseconds a tick.
    const bool wholeSeconds = modifiedNs % 1000000000 == 0;
    const int64_t tick = wholeSeconds ? int64_t(2) * 1000000000 : int64_t(100) * 1000000;
    return modifiedNs >= takenNs - tick;
}

FileStamp FileStamp::of(const QString &path)
{
    FileStamp stamp;
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    stamp.takenNs = nanoseconds(now);
    struct stat st = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.size = int64_t(st.st_size);
    stamp.modifiedNs = nanoseconds(st.st_mtim);
    stamp.changedNs = nanoseconds(st.st_ctim);
    stamp.device = uint64_t(st.st_dev);
    stamp.inode = uint64_t(st.st_ino);
    return stamp;
}

} // namespace vk
