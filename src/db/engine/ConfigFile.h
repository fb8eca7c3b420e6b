// vkconfig.ini: the engine's configuration, one section per data source.
//
// Section names and keys are looked up without regard to case; the file keeps
// its order, its comments and the spelling of what it already holds. Writes go
// to a temporary file that replaces the old one, so a crash never leaves half
// a configuration behind.
//
// The workspace and vkctl may write the file at the same time. A ConfigFile
// therefore remembers the changes made through it, and flush() applies them,
// under a lock on "<path>.lock", to the file as it is on disk at that moment:
// what another writer saved in between stays.
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

    // Reads the file again (a missing file reads as empty) and forgets changes not flushed yet.
    // False when it exists but cannot be read.
    bool reload();
    // Replays the setValue() and eraseSection() calls made since the file was loaded or last
    // flushed onto the file as it is now (creating its directory) and writes the result; this
    // object then holds what was written, other writers' changes included. False on failure,
    // which leaves the file as it was and keeps the calls for another try; false too when the
    // new file is in place but its directory could not be synced to disk.
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
    struct Document
    {
        std::vector<Line> preamble;
        std::vector<Section> sections;

        Section *find(const std::string &section);
        const Section *find(const std::string &section) const;
        void set(const std::string &section, const std::string &key, const std::string &value);
        void erase(const std::string &section);
        std::string text() const;
    };
    // One setValue() or eraseSection(), kept until flush() has written it.
    struct Change
    {
        bool erase; // eraseSection(section), else setValue(section, key, value)
        std::string section;
        std::string key;
        std::string value;
    };
    // Parses the file at path into doc (a missing file is empty). False when it cannot be read.
    static bool read(const std::string &path, Document &doc);
    static void apply(Document &doc, const Change &change);

    std::string m_path;
    Document m_doc;
    std::vector<Change> m_changes;
};

bool equalsIgnoreCase(const std::string &a, const std::string &b);
std::string unquote(const std::string &value);

} // namespace vkdb
