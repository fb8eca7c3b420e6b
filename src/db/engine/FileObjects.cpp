#include "FileObjects.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vkdb {

namespace {

std::string errnoText(int err)
{
    return std::strerror(err);
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::string safeExtension(const std::string &path)
{
    std::string ext = fs::path(path).extension().string();
    std::string out;
    for (size_t i = 1; i < ext.size() && out.size() < 10; ++i) {
        const unsigned char c = ext[i];
        if (std::isalnum(c))
            out += char(c);
    }
    return out.empty() ? std::string() : "." + out;
}

std::string withSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

// Moves one file; across file systems by copy and removal.
bool moveFile(const std::string &from, const std::string &to, std::string &error)
{
    std::error_code ec;
    fs::create_directories(fs::path(to).parent_path(), ec);
    if (fs::exists(to, ec)) {
        error = "\"" + to + "\" already exists.";
        return false;
    }
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        syncDirectory(fs::path(to).parent_path().string());
        syncDirectory(fs::path(from).parent_path().string());
        return true;
    }
    if (errno != EXDEV) {
        error = "\"" + from + "\" cannot be moved to \"" + to + "\": " + errnoText(errno) + ".";
        return false;
    }
    if (!copyFile(from, to, true, error))
        return false;
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        error = "\"" + from + "\" cannot be removed after copying: " + errnoText(errno) + ".";
        return false;
    }
    return true;
}

} // namespace

void syncDirectory(const std::string &dir)
{
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool isInternalCopyName(const std::string &name)
{
    if (name.size() < 14 || name.compare(0, 2, "vk") != 0)
        return false;
    for (size_t i = 2; i < 14; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])) ||
            std::isupper(static_cast<unsigned char>(name[i])))
            return false;
    if (name.size() == 14)
        return true;
    if (name[14] != '.' || name.size() > 25)
        return false;
    for (size_t i = 15; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    return name.size() > 15;
}

bool copyFile(const std::string &source, const std::string &target, bool exclusive, std::string &error,
              bool *diskFull)
{
    if (diskFull)
        *diskFull = false;
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "The file \"" + source + "\" cannot be read: " + errnoText(errno) + ".";
        return false;
    }
    struct stat from = {};
    struct stat to = {};
    // A link is written through: the file it names is replaced, the link stays.
    std::string written = target;
    struct stat link = {};
    if (!exclusive && ::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char *real = ::realpath(target.c_str(), nullptr)) {
            written = real;
            std::free(real);
        }
    }
    const bool targetExists = ::stat(written.c_str(), &to) == 0;
    if (::fstat(in, &from) == 0 && targetExists && from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
        ::close(in);
        error = "The file \"" + source + "\" cannot be copied onto itself.";
        return false;
    }
    // A plain file that is there already is replaced only by a complete copy; a device or
    // a pipe is written as it is.
    const bool throughTemporary = !exclusive && (!targetExists || S_ISREG(to.st_mode));
    const std::string destination = written;
    int out = -1;
    if (throughTemporary) {
        std::string pattern = destination + ".vktmp-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        out = ::mkostemp(name.data(), O_CLOEXEC);
        if (out >= 0) {
            written = name.data();
            // The file keeps the permissions it had; a new one gets the usual ones.
            mode_t mode = 0;
            if (targetExists) {
                mode = to.st_mode & 07777;
            } else {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                mode = 0666 & ~mask;
            }
            ::fchmod(out, mode);
        }
    } else {
        const int flags = O_WRONLY | O_CLOEXEC | (exclusive ? O_CREAT | O_EXCL : 0);
        out = ::open(destination.c_str(), flags, 0644);
    }
    if (out < 0) {
        if (diskFull)
            *diskFull = errno == ENOSPC || errno == EDQUOT;
        error = "The file \"" + target + "\" cannot be written: " + errnoText(errno) + ".";
        ::close(in);
        return false;
    }
    std::vector<char> buf(1 << 20);
    bool good = true;
    int failure = 0;
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "The file \"" + source + "\" cannot be read: " + errnoText(errno) + ".";
            good = false;
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out, buf.data(), size_t(n))) {
            failure = errno;
            good = false;
            break;
        }
    }
    // A device or a pipe written in place has nothing to make durable.
    if (good && (throughTemporary || exclusive) && ::fdatasync(out) != 0) {
        failure = errno;
        good = false;
    }
    ::close(in);
    if (::close(out) != 0 && good) {
        failure = errno;
        good = false;
    }
    if (!good && failure != 0) {
        if (diskFull)
            *diskFull = failure == ENOSPC || failure == EDQUOT;
        error = failure == ENOSPC || failure == EDQUOT
                    ? "The disk is full: \"" + target + "\" cannot be written."
                    : "The file \"" + target + "\" cannot be written: " + errnoText(failure) + ".";
    }
    if (good && throughTemporary && std::rename(written.c_str(), destination.c_str()) != 0) {
        error = "The file \"" + target + "\" cannot be written: " + errnoText(errno) + ".";
        good = false;
    }
    if (!good && (exclusive || throughTemporary))
        ::unlink(written.c_str());
    if (good && (exclusive || throughTemporary))
        syncDirectory(fs::path(destination).parent_path().string());
    return good;
}

bool writeWholeFile(const std::string &path, const char *data, size_t size, std::string &error,
                    bool *diskFull)
{
    if (diskFull)
        *diskFull = false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "The file \"" + path + "\" cannot be written: " + errnoText(errno) + ".";
        return false;
    }
    bool good = writeAll(fd, data, size);
    int failure = good ? 0 : errno;
    if (::close(fd) != 0 && good) {
        failure = errno;
        good = false;
    }
    if (!good) {
        if (diskFull)
            *diskFull = failure == ENOSPC || failure == EDQUOT;
        error = failure == ENOSPC || failure == EDQUOT
                    ? "The disk is full: \"" + path + "\" cannot be written."
                    : "The file \"" + path + "\" cannot be written: " + errnoText(failure) + ".";
    }
    return good;
}

bool makeInternalCopy(const std::string &source, const std::string &dir, std::string &copy,
                      std::string &error, const AnnounceFile &announce, bool *diskFull)
{
    if (diskFull)
        *diskFull = false;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) {
        error = "The file \"" + source + "\" does not exist or is not a plain file.";
        return false;
    }
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) {
        error = "The file-object directory \"" + dir + "\" cannot be made.";
        return false;
    }
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string ext = safeExtension(source);
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "vk%012llx",
                      static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        copy = withSlash(dir) + name + ext;
        if (fs::exists(copy, ec))
            continue;
        if (announce && !announce(copy)) {
            const bool full = errno == ENOSPC || errno == EDQUOT;
            if (diskFull)
                *diskFull = full;
            error =
                full ? "The disk is full: the copy in progress cannot be noted in the file-object directory "
                       "\"" +
                           dir + "\"."
                     : "The copy in progress cannot be noted in the file-object directory \"" + dir + "\".";
            return false;
        }
        return copyFile(source, copy, true, error, diskFull);
    }
    error = "No free name was found in the file-object directory \"" + dir + "\".";
    return false;
}

namespace {

bool isPlainFile(const std::string &path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

MoveResult moveFileObject(sqlite3 *db, const std::string &from, const std::string &to,
                          const AnnounceFile &announce, const TrustedDirectory &trusted)
{
    MoveResult result;
    struct Item
    {
        sqlite3_int64 id;
        std::string oldPath, newDir, newName;
        bool movedOnDisk = false;
    };
    std::vector<Item> items;

    sqlite3_stmt *s = nullptr;
    // A file object first: its full name.
    if (sqlite3_prepare_v2(db, "select id, dir, name from main._vk_fileobj where type=0 and dir||name=?", -1,
                           &s, nullptr) != SQLITE_OK) {
        result.error = sqlite3_errmsg(db);
        return result;
    }
    sqlite3_bind_text(s, 1, from.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(s) == SQLITE_ROW) {
        const fs::path target(to);
        items.push_back({sqlite3_column_int64(s, 0), from, withSlash(target.parent_path().string()),
                         target.filename().string()});
    }
    sqlite3_finalize(s);
    if (items.empty()) {
        // A directory: every internal object kept directly in it.
        const std::string dir = withSlash(from);
        const std::string newDir = withSlash(to);
        if (sqlite3_prepare_v2(db, "select id, name from main._vk_fileobj where type=0 and dir=?", -1, &s,
                               nullptr) != SQLITE_OK) {
            result.error = sqlite3_errmsg(db);
            return result;
        }
        sqlite3_bind_text(s, 1, dir.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::string name = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
            items.push_back({sqlite3_column_int64(s, 0), dir + name, newDir, name});
        }
        sqlite3_finalize(s);
        if (items.empty()) {
            result.error = "No file object lies at \"" + from + "\".";
            return result;
        }
    }

    auto undo = [&]() {
        std::string ignored;
        for (Item &it : items)
            if (it.movedOnDisk)
                moveFile(it.newDir + it.newName, it.oldPath, ignored);
    };

    std::error_code ec;
    for (Item &it : items) {
        const std::string target = it.newDir + it.newName;
        if (target == it.oldPath)
            continue;
        const fs::path old(it.oldPath);
        const std::string oldName = old.filename().string();
        if (!isInternalCopyName(it.newName) || !trusted || !trusted(it.newDir)) {
            undo();
            result.error = "\"" + target + "\" is not a place for a copy of this data source's file objects.";
            return result;
        }
        if (isPlainFile(target) && !fs::exists(it.oldPath, ec)) {
            // Moved by hand already: only the catalogue follows.
            continue;
        }
        const bool own = isInternalCopyName(oldName) && trusted(withSlash(old.parent_path().string()));
        if (!own) {
            // Not one of the engine's copies: whatever the catalogue says, it stays where it is.
            undo();
            result.error = "The file object \"" + it.oldPath +
                           "\" is not one of the engine's own copies in a file-object directory of this data "
                           "source; it is left where it is.";
            return result;
        }
        if (isPlainFile(it.oldPath)) {
            if (announce && !(++result.announced, announce(target))) {
                undo();
                result.error =
                    "The move of \"" + it.oldPath + "\" cannot be noted in the file-object directory.";
                return result;
            }
            if (!moveFile(it.oldPath, target, result.error)) {
                undo();
                return result;
            }
            it.movedOnDisk = true;
        } else if (!isPlainFile(target)) {
            undo();
            result.error = "The file object \"" + it.oldPath + "\" is missing.";
            return result;
        }
    }

    int rc = sqlite3_exec(db, "savepoint vk_move", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(db, "update main._vk_fileobj set dir=?, name=? where id=?", -1, &s, nullptr);
    for (size_t i = 0; rc == SQLITE_OK && i < items.size(); ++i) {
        sqlite3_bind_text(s, 1, items[i].newDir.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, items[i].newName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 3, items[i].id);
        rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_OK) {
        result.error = sqlite3_errmsg(db);
        sqlite3_exec(db, "rollback to vk_move; release vk_move", nullptr, nullptr, nullptr);
        undo();
        return result;
    }
    if (sqlite3_exec(db, "release vk_move", nullptr, nullptr, nullptr) != SQLITE_OK) {
        result.error = sqlite3_errmsg(db);
        sqlite3_exec(db, "rollback to vk_move; release vk_move", nullptr, nullptr, nullptr);
        undo();
        return result;
    }
    result.ok = true;
    result.moved = int(items.size());
    for (const Item &it : items)
        if (it.movedOnDisk)
            result.movedOnDisk.emplace_back(it.oldPath, it.newDir + it.newName);
    return result;
}

} // namespace vkdb
