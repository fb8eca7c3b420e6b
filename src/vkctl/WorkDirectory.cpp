#include "WorkDirectory.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

namespace fs = std::filesystem;

const char RunPrefix[] = "vkctl-";

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The directory's lock: held on the directory itself, so that there is no moment a
// directory of a live run stands without it.
int lockDirectory(const std::string &path, bool wait, struct stat &st)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 || ::fstat(fd, &st) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void WorkDirectory::ClearLeftovers(const QString &base)
{
    const std::string dir = QFile::encodeName(base).toStdString();
    DIR *d = ::opendir(dir.c_str());
    if (!d)
        return;
    while (const dirent *e = ::readdir(d)) {
        if (std::strncmp(e->d_name, RunPrefix, sizeof RunPrefix - 1) != 0)
            continue;
        const std::string path = dir + '/' + e->d_name;
        struct stat named = {};
        // Only a directory of our own, never one a link leads to.
        if (::lstat(path.c_str(), &named) != 0 || !S_ISDIR(named.st_mode) || named.st_uid != ::geteuid())
            continue;
        struct stat locked = {};
        const int fd = lockDirectory(path, false, locked);
        if (fd < 0)
            continue; // a run still holds it
        if (sameFile(named, locked)) {
            std::error_code ec;
            fs::remove_all(path, ec); // never follows a link inside
        }
        ::close(fd);
    }
    ::closedir(d);
}

WorkDirectory::WorkDirectory(const QString &base)
{
    ClearLeftovers(base);
    const std::string pattern = QFile::encodeName(base).toStdString() + '/' + RunPrefix + "XXXXXX";
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name = pattern;
        if (!::mkdtemp(name.data())) {
            m_error = QStringLiteral("no work directory can be made in %1: %2")
                          .arg(base, QString::fromStdString(std::generic_category().message(errno)));
            return;
        }
        // Another run's clearing may take a new directory before it is locked; it is then
        // gone, and another is made.
        struct stat locked = {}, named = {};
        const int fd = lockDirectory(name, true, locked);
        if (fd >= 0 && ::lstat(name.c_str(), &named) == 0 && sameFile(named, locked)) {
            m_lock = fd;
            m_path = QFile::decodeName(QByteArray::fromStdString(name));
            return;
        }
        if (fd >= 0)
            ::close(fd);
    }
    m_error = QStringLiteral("no work directory can be kept in %1").arg(base);
}

WorkDirectory::~WorkDirectory()
{
    if (m_path.isEmpty())
        return;
    std::error_code ec;
    fs::remove_all(QFile::encodeName(m_path).toStdString(), ec);
    ::close(m_lock);
}

} // namespace vk
