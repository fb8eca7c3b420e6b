#include "ConfigFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vkdb {

bool equalsIgnoreCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return false;
    }
    return true;
}

std::string unquote(const std::string &value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

static std::string trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

namespace {

// An flock() on the file beside the configuration, held until destruction. The lock
// file is never deleted: a writer could still be waiting on the deleted one while
// the next locks a new file of the same name.
class FileLock
{
public:
    FileLock() = default;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }

    bool lock(const std::string &path, int operation)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); // there, but not ours to write
        if (m_fd < 0)
            return false;
        while (::flock(m_fd, operation) != 0)
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return false;
            }
        return true;
    }

private:
    int m_fd = -1;
};

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Makes a rename in dir survive a crash.
bool syncDirectory(const std::string &dir)
{
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync a directory
    ::close(fd);
    return ok;
}

} // namespace

ConfigFile::ConfigFile(std::string path) : m_path(std::move(path))
{
    reload();
}

bool ConfigFile::read(const std::string &path, Document &doc)
{
    doc = Document();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        return !std::filesystem::exists(path, ec) && !ec;
    }
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        std::string t = trim(raw);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            doc.sections.push_back({trim(t.substr(1, t.size() - 2)), {}});
            continue;
        }
        Line line{raw, {}, {}};
        if (!t.empty() && t[0] != ';' && t[0] != '#') {
            size_t eq = t.find('=');
            if (eq != std::string::npos) {
                line.key = trim(t.substr(0, eq));
                line.value = trim(t.substr(eq + 1));
            }
        }
        (doc.sections.empty() ? doc.preamble : doc.sections.back().lines).push_back(std::move(line));
    }
    return !in.bad();
}

bool ConfigFile::reload()
{
    // Writers replace the file by renaming, so it is never seen half written; the shared
    // lock only keeps reading in step with them. Reading goes ahead without it when the
    // lock file cannot be had, as in a directory that is not ours to write.
    FileLock lock;
    lock.lock(m_path + ".lock", LOCK_SH);
    m_changes.clear();
    return read(m_path, m_doc);
}

bool ConfigFile::flush()
{
    std::error_code ec;
    const std::filesystem::path target(m_path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    const std::string dir = target.has_parent_path() ? target.parent_path().string() : std::string(".");

    // Under the lock nobody else writes: take the file as it is now and replay this
    // object's changes onto it, so a change another writer made since stays.
    FileLock lock;
    if (!lock.lock(m_path + ".lock", LOCK_EX))
        return false;
    Document doc;
    if (!read(m_path, doc))
        return false;
    for (const Change &change : m_changes)
        apply(doc, change);
    const std::string data = doc.text();

    std::string tmp = m_path + ".tmp-XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), m_path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The new file is in place, so this object shows it even if the directory will not sync.
    m_doc = std::move(doc);
    m_changes.clear();
    return syncDirectory(dir);
}

void ConfigFile::apply(Document &doc, const Change &change)
{
    if (change.erase)
        doc.erase(change.section);
    else
        doc.set(change.section, change.key, change.value);
}

std::string ConfigFile::Document::text() const
{
    std::ostringstream out;
    for (const Line &l : preamble)
        out << (l.key.empty() ? l.text : l.key + "=" + l.value) << "\n";
    for (const Section &s : sections) {
        out << "[" << s.name << "]\n";
        for (const Line &l : s.lines)
            out << (l.key.empty() ? l.text : l.key + "=" + l.value) << "\n";
    }
    return out.str();
}

ConfigFile::Section *ConfigFile::Document::find(const std::string &section)
{
    for (Section &s : sections)
        if (equalsIgnoreCase(s.name, section))
            return &s;
    return nullptr;
}

const ConfigFile::Section *ConfigFile::Document::find(const std::string &section) const
{
    return const_cast<Document *>(this)->find(section);
}

void ConfigFile::Document::set(const std::string &section, const std::string &key, const std::string &value)
{
    Section *s = find(section);
    if (!s) {
        sections.push_back({section, {}});
        s = &sections.back();
    }
    for (Line &l : s->lines)
        if (!l.key.empty() && equalsIgnoreCase(l.key, key)) {
            l.value = value;
            return;
        }
    s->lines.push_back({{}, key, value});
}

void ConfigFile::Document::erase(const std::string &section)
{
    for (auto it = sections.begin(); it != sections.end(); ++it)
        if (equalsIgnoreCase(it->name, section)) {
            sections.erase(it);
            return;
        }
}

std::vector<std::string> ConfigFile::sections() const
{
    std::vector<std::string> names;
    for (const Section &s : m_doc.sections)
        names.push_back(s.name);
    return names;
}

bool ConfigFile::hasSection(const std::string &section) const
{
    return m_doc.find(section) != nullptr;
}

std::optional<std::string> ConfigFile::value(const std::string &section, const std::string &key) const
{
    if (const Section *s = m_doc.find(section))
        for (const Line &l : s->lines)
            if (!l.key.empty() && equalsIgnoreCase(l.key, key))
                return l.value;
    return std::nullopt;
}

std::string ConfigFile::unquotedValue(const std::string &section, const std::string &key) const
{
    return unquote(value(section, key).value_or(std::string()));
}

void ConfigFile::setValue(const std::string &section, const std::string &key, const std::string &value)
{
    m_changes.push_back({false, section, key, value});
    apply(m_doc, m_changes.back());
}

// Replayed by flush() even when this object does not hold the section: the caller
// wants it gone, also if another writer added it meanwhile.
void ConfigFile::eraseSection(const std::string &section)
{
    m_changes.push_back({true, section, {}, {}});
    apply(m_doc, m_changes.back());
}

} // namespace vkdb
