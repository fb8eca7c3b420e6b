#include "ConfigFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
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

ConfigFile::ConfigFile(std::string path) : m_path(std::move(path))
{
    reload();
}

bool ConfigFile::reload()
{
    m_preamble.clear();
    m_sections.clear();
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return !std::filesystem::exists(m_path);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        std::string t = trim(raw);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            m_sections.push_back({trim(t.substr(1, t.size() - 2)), {}});
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
        (m_sections.empty() ? m_preamble : m_sections.back().lines).push_back(std::move(line));
    }
    return true;
}

bool ConfigFile::flush()
{
    std::ostringstream out;
    for (const Line &l : m_preamble)
        out << (l.key.empty() ? l.text : l.key + "=" + l.value) << "\n";
    for (const Section &s : m_sections) {
        out << "[" << s.name << "]\n";
        for (const Line &l : s.lines)
            out << (l.key.empty() ? l.text : l.key + "=" + l.value) << "\n";
    }
    const std::string data = out.str();
    std::error_code ec;
    std::filesystem::path target(m_path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    const std::string tmp = m_path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += size_t(n);
    }
    bool ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), m_path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

ConfigFile::Section *ConfigFile::find(const std::string &section)
{
    for (Section &s : m_sections)
        if (equalsIgnoreCase(s.name, section))
            return &s;
    return nullptr;
}

const ConfigFile::Section *ConfigFile::find(const std::string &section) const
{
    return const_cast<ConfigFile *>(this)->find(section);
}

std::vector<std::string> ConfigFile::sections() const
{
    std::vector<std::string> names;
    for (const Section &s : m_sections)
        names.push_back(s.name);
    return names;
}

bool ConfigFile::hasSection(const std::string &section) const
{
    return find(section) != nullptr;
}

std::optional<std::string> ConfigFile::value(const std::string &section, const std::string &key) const
{
    if (const Section *s = find(section))
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
    Section *s = find(section);
    if (!s) {
        m_sections.push_back({section, {}});
        s = &m_sections.back();
    }
    for (Line &l : s->lines)
        if (!l.key.empty() && equalsIgnoreCase(l.key, key)) {
            l.value = value;
            return;
        }
    s->lines.push_back({{}, key, value});
}

void ConfigFile::eraseSection(const std::string &section)
{
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it)
        if (equalsIgnoreCase(it->name, section)) {
            m_sections.erase(it);
            return;
        }
}

} // namespace vkdb
