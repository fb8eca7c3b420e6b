// vkconfig.ini: the engine's configuration, one section per data source.
//
// Section names and keys are looked up without regard to case; the file keeps
// its order, its comments and the spelling of what it already holds. Writes go
// to a temporary file that replaces the old one, so a crash never leaves half
// a configuration behind.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vkdb {

class ConfigFile
{
public:
    explicit ConfigFile(std::string path);

    const std::string &path() const { return m_path; }

    // Reads the file again (a missing file reads as empty). False when it exists but cannot be read.
    bool reload();
    // Writes the file (creating its directory). False on failure.
    bool flush();

    std::vector<std::string> sections() const;
    bool hasSection(const std::string &section) const;
    std::optional<std::string> value(const std::string &section, const std::string &key) const;
    // The value without the double quotes some keys are written with.
    std::string unquotedValue(const std::string &section, const std::string &key) const;
    void setValue(const std::string &section, const std::string &key, const std::string &value);
    void eraseSection(const std::string &section);

private:
    struct Line
    {
        std::string text; // the line as read, for comments and blank lines
        std::string key;  // empty for non key lines
        std::string value;
    };
    struct Section
    {
        std::string name;
        std::vector<Line> lines;
    };
    Section *find(const std::string &section);
    const Section *find(const std::string &section) const;

    std::string m_path;
    std::vector<Line> m_preamble;
    std::vector<Section> m_sections;
};

bool equalsIgnoreCase(const std::string &a, const std::string &b);
std::string unquote(const std::string &value);

} // namespace vkdb
