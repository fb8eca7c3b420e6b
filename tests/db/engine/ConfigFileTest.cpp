// vkconfig.ini written by more than one ConfigFile at a time, as the workspace and
// vkctl do: each writer's changes survive the others', the file is never a mix of
// two writes, and a write that fails leaves the old file in place.
#include "ConfigFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vkdb;
namespace fs = std::filesystem;

namespace {

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeText(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

using Parsed = std::map<std::string, std::map<std::string, std::string>>;

// The file's key lines by section; a line that is neither a comment, a section
// header nor key=value, or a section found twice, fails the test.
Parsed parseStrictly(const std::string &text)
{
    Parsed parsed;
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            EXPECT_EQ(parsed.count(section), 0u) << "section [" << section << "] twice";
            parsed[section];
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || section.empty()) {
            ADD_FAILURE() << "stray line: " << line;
            continue;
        }
        parsed[section][line.substr(0, eq)] = line.substr(eq + 1);
    }
    return parsed;
}

// Runs body in a child process and returns its exit status (body's return value).
int inChild(const std::function<int()> &body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

const std::string sample = "; data sources\n"
                           "[Alpha]\n"
                           "DB_SMODE=1\n"
                           "; keep this\n"
                           "[Beta]\n"
                           "DB_DBDIR=\"/b\"\n";

class ConfigFileWriters : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "vkconfig-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        path = dir + "/vkconfig.ini";
    }
    void TearDown() override
    {
        std::error_code ec;
        for (const fs::directory_entry &e : fs::recursive_directory_iterator(dir, ec))
            if (e.is_directory())
                ::chmod(e.path().c_str(), 0755);
        fs::remove_all(dir, ec);
    }

    std::string dir;
    std::string path;
};

TEST_F(ConfigFileWriters, TwoObjectsLoadedTogetherBothKeepTheirChanges)
{
    using Change = std::function<void(ConfigFile &)>;
    struct Case
    {
        const char *name;
        Change first;  // flushed first
        Change second; // flushed second, loaded before the first flushed
        std::string expected;
    };
    const Change nothing = [](ConfigFile &) {};
    const Case cases[] = {
        {"different sections, an existing and a new one",
         [](ConfigFile &f) { f.setValue("alpha", "db_smode", "2"); },
         [](ConfigFile &f) { f.setValue("Gamma", "DB_DBDIR", "\"/g\""); },
         "; data sources\n[Alpha]\nDB_SMODE=2\n; keep "
         "this\n[Beta]\nDB_DBDIR=\"/b\"\n[Gamma]\nDB_DBDIR=\"/g\"\n"},
        {"different keys of one section", [](ConfigFile &f) { f.setValue("Alpha", "DB_SMODE", "2"); },
         [](ConfigFile &f) { f.setValue("ALPHA", "DB_FODIR", "\"/a/folder\""); },
         "; data sources\n[Alpha]\nDB_SMODE=2\n; keep "
         "this\nDB_FODIR=\"/a/folder\"\n[Beta]\nDB_DBDIR=\"/b\"\n"},
        {"an erase in one, a set in another section in the other",
         [](ConfigFile &f) { f.eraseSection("beta"); },
         [](ConfigFile &f) { f.setValue("Alpha", "DB_SMODE", "2"); },
         "; data sources\n[Alpha]\nDB_SMODE=2\n; keep this\n"},
        {"a set in one, an erase of another section in the other",
         [](ConfigFile &f) { f.setValue("Alpha", "DB_SMODE", "2"); },
         [](ConfigFile &f) { f.eraseSection("Beta"); }, "; data sources\n[Alpha]\nDB_SMODE=2\n; keep this\n"},
        {"a section erased, then set by a writer that still had it",
         [](ConfigFile &f) { f.eraseSection("Beta"); },
         [](ConfigFile &f) { f.setValue("Beta", "DB_USRID", "SYSADM"); },
         "; data sources\n[Alpha]\nDB_SMODE=1\n; keep this\n[Beta]\nDB_USRID=SYSADM\n"},
        {"a section set, then erased by a writer that loaded before",
         [](ConfigFile &f) { f.setValue("Beta", "DB_USRID", "SYSADM"); },
         [](ConfigFile &f) { f.eraseSection("Beta"); }, "; data sources\n[Alpha]\nDB_SMODE=1\n; keep this\n"},
        {"a section erased and made anew by one, a key set in it by the other",
         [](ConfigFile &f) {
             f.eraseSection("Alpha");
             f.setValue("Alpha", "DB_SMODE", "3");
         },
         [](ConfigFile &f) { f.setValue("Alpha", "DB_JnlSz", "500"); },
         "; data sources\n[Beta]\nDB_DBDIR=\"/b\"\n[Alpha]\nDB_SMODE=3\nDB_JnlSz=500\n"},
        {"the second writer changed nothing", [](ConfigFile &f) { f.setValue("Beta", "DB_SECUR", "0"); },
         nothing, "; data sources\n[Alpha]\nDB_SMODE=1\n; keep this\n[Beta]\nDB_DBDIR=\"/b\"\nDB_SECUR=0\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeText(path, sample);
        ConfigFile first(path), second(path);
        c.first(first);
        c.second(second);
        ASSERT_TRUE(first.flush());
        ASSERT_TRUE(second.flush());
        EXPECT_EQ(readText(path), c.expected);
        // The second writer now holds the file as written, the first one's change included.
        EXPECT_EQ(second.sections(), ConfigFile(path).sections());
        // Writing again without changes writes the same file.
        ASSERT_TRUE(first.flush());
        EXPECT_EQ(readText(path), c.expected);
    }
}

TEST_F(ConfigFileWriters, AfterFlushingAWriterSeesWhatTheOtherWrote)
{
    writeText(path, sample);
    ConfigFile workspace(path), vkctl(path);
    vkctl.setValue("Gamma", "DB_DBDIR", "\"/g\"");
    ASSERT_TRUE(vkctl.flush());
    EXPECT_FALSE(workspace.hasSection("Gamma")); // not before it writes or reloads
    workspace.setValue("Alpha", "DB_SMODE", "2");
    ASSERT_TRUE(workspace.flush());
    EXPECT_EQ(workspace.unquotedValue("gamma", "db_dbdir"), "/g");
    EXPECT_EQ(workspace.sections(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(vkctl.value("Alpha", "DB_SMODE").value_or(""), "1"); // until it reloads
    ASSERT_TRUE(vkctl.reload());
    EXPECT_EQ(vkctl.value("Alpha", "DB_SMODE").value_or(""), "2");
}

TEST_F(ConfigFileWriters, ReloadForgetsChangesNotFlushed)
{
    writeText(path, sample);
    ConfigFile f(path);
    f.setValue("Alpha", "DB_SMODE", "2");
    f.eraseSection("Beta");
    ASSERT_TRUE(f.reload());
    EXPECT_EQ(f.value("Alpha", "DB_SMODE").value_or(""), "1");
    f.setValue("Gamma", "DB_SMODE", "1");
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(readText(path), sample + "[Gamma]\nDB_SMODE=1\n");
}

TEST_F(ConfigFileWriters, FlushCreatesTheDirectoryAndKeepsOnlyTheFileAndItsLock)
{
    const std::string nested = dir + "/a/b";
    ConfigFile f(nested + "/vkconfig.ini");
    f.setValue("Alpha", "DB_SMODE", "1");
    ASSERT_TRUE(f.flush());
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(readText(nested + "/vkconfig.ini"), "[Alpha]\nDB_SMODE=1\n");
    EXPECT_EQ(entries(nested), (std::vector<std::string>{"vkconfig.ini", "vkconfig.ini.lock"}));
}

// Several writers, each holding one ConfigFile from the start, flush their own keys
// over and over: whatever they did not write themselves, they never saw.
class ConfigFileConcurrentWriters : public ConfigFileWriters, public ::testing::WithParamInterface<bool>
{
};

TEST_P(ConfigFileConcurrentWriters, EveryWritersKeysEndUpInTheFile)
{
    const bool processes = GetParam();
    const int writers = 4, rounds = 40;
    writeText(path, sample);

    // 0 when every flush of writer w succeeded.
    auto write = [this](int w) {
        ConfigFile f(path);
        const std::string own = "Writer" + std::to_string(w);
        for (int i = 0; i < rounds; ++i) {
            f.setValue(own, "DB_ROUND", std::to_string(i));
            f.setValue("Shared", own, std::to_string(i));
            if (!f.flush())
                return 1;
        }
        return 0;
    };
    std::vector<int> results(writers, -1);
    if (processes) {
        std::vector<pid_t> children;
        for (int w = 0; w < writers; ++w) {
            const pid_t pid = ::fork();
            if (pid == 0)
                ::_exit(write(w));
            ASSERT_GT(pid, 0);
            children.push_back(pid);
        }
        for (int w = 0; w < writers; ++w) {
            int status = 0;
            if (::waitpid(children[w], &status, 0) == children[w] && WIFEXITED(status))
                results[w] = WEXITSTATUS(status);
        }
    } else {
        std::vector<std::thread> threads;
        for (int w = 0; w < writers; ++w)
            threads.emplace_back([&, w] { results[w] = write(w); });
        for (std::thread &t : threads)
            t.join();
    }
    EXPECT_EQ(results, std::vector<int>(writers, 0));

    const std::string text = readText(path);
    EXPECT_EQ(text.rfind("; data sources\n[Alpha]\nDB_SMODE=1\n; keep this\n[Beta]\nDB_DBDIR=\"/b\"\n", 0),
              0u)
        << text;
    const Parsed parsed = parseStrictly(text);
    const std::string last = std::to_string(rounds - 1);
    for (int w = 0; w < writers; ++w) {
        const std::string own = "Writer" + std::to_string(w);
        ASSERT_EQ(parsed.count(own), 1u) << own << " is missing:\n" << text;
        EXPECT_EQ(parsed.at(own), (std::map<std::string, std::string>{{"DB_ROUND", last}})) << own;
        ASSERT_EQ(parsed.count("Shared"), 1u) << text;
        EXPECT_EQ(parsed.at("Shared").count(own) ? parsed.at("Shared").at(own) : "missing", last) << own;
    }
    EXPECT_EQ(parsed.size(), size_t(2 + 1 + writers)) << text;
    EXPECT_EQ(entries(dir), (std::vector<std::string>{"vkconfig.ini", "vkconfig.ini.lock"}));
}

INSTANTIATE_TEST_SUITE_P(, ConfigFileConcurrentWriters, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Processes" : "Threads";
                         });

// The directory is not writable for the writer (who is, when the tests run as root,
// a child process that gives up root): flush fails, the old file stays.
TEST_F(ConfigFileWriters, FlushIntoADirectoryThatCannotBeWrittenLeavesTheFile)
{
    const int skipped = 77;
    for (const bool lockFileThere : {false, true}) {
        SCOPED_TRACE(lockFileThere ? "with the lock file there" : "without a lock file");
        const std::string ro = dir + (lockFileThere ? "/locked" : "/unlocked");
        const std::string file = ro + "/vkconfig.ini";
        ASSERT_TRUE(fs::create_directory(ro));
        writeText(file, sample);
        ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
        if (lockFileThere) {
            writeText(file + ".lock", "");
            ASSERT_EQ(::chmod((file + ".lock").c_str(), 0666), 0);
        }
        ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
        ASSERT_EQ(::chmod(ro.c_str(), 0555), 0);
        const std::vector<std::string> before = entries(ro);

        const int status = inChild([&] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                return skipped;
            if (::access(ro.c_str(), W_OK) == 0)
                return skipped; // the directory is writable after all
            ConfigFile f(file);
            if (f.value("Alpha", "DB_SMODE") != "1")
                return 1;
            f.setValue("Alpha", "DB_SMODE", "2");
            if (f.flush())
                return 2;
            return f.value("Alpha", "DB_SMODE") == "2" ? 0 : 3; // still held, for another try
        });
        if (status == skipped)
            GTEST_SKIP() << "cannot take the right to write that directory away";
        EXPECT_EQ(status, 0);
        EXPECT_EQ(readText(file), sample);
        EXPECT_EQ(entries(ro), before);
    }
}

// A write that fails halfway (here: the file size limit) removes its temporary file
// and leaves the old one; the changes are written by the next flush that succeeds.
TEST_F(ConfigFileWriters, AFailedWriteLeavesTheFileAndIsRetried)
{
    writeText(path, sample);
    const std::string longValue(4096, 'x');
    enum Outcome
    {
        Ok,
        FirstFlushSucceeded,
        FileChanged,
        TemporaryFileLeft,
        RetryFailed,
        NoLimit
    };
    const int status = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        if (::getrlimit(RLIMIT_FSIZE, &old) != 0)
            return int(NoLimit);
        rlimit small = old;
        small.rlim_cur = 64;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            return int(NoLimit);
        ConfigFile f(path);
        f.setValue("Beta", "DB_FODIR", longValue);
        if (f.flush())
            return int(FirstFlushSucceeded);
        if (readText(path) != sample)
            return int(FileChanged);
        if (entries(dir) != std::vector<std::string>{"vkconfig.ini", "vkconfig.ini.lock"})
            return int(TemporaryFileLeft);
        if (::setrlimit(RLIMIT_FSIZE, &old) != 0)
            return int(NoLimit);
        return f.flush() ? int(Ok) : int(RetryFailed);
    });
    ASSERT_NE(status, int(NoLimit));
    EXPECT_EQ(status, int(Ok));
    EXPECT_EQ(readText(path), sample + "DB_FODIR=" + longValue + "\n");
}

} // namespace
