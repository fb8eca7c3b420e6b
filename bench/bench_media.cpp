// The start-up load of 100,000 media rows in 1,000 folders, beside plain reads of the same
// rows in the same run: SQLite's C API in this process, and the sqlite3 shell dumping them.
// The load also tells the heap each loaded item holds (bytes_per_item: what the heap grew by
// while the loaded tree is alive, divided by the rows).
//
// `vkctl ls FOLDER` on the same library is timed beside `vkctl sources`, which starts the
// program without opening any library: the difference is what listing one folder costs.
//
//   build/ci/bench/bench_media
#include "Connection.h"
#include "DatabaseSetup.h"
#include "DbFolder.h"
#include "Engine.h"
#include "Statement.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Folders = 1000;
constexpr int MediaPerFolder = 100;

struct Library
{
    QTemporaryDir dir;
    vk::Connection connection;
    QString dbFile;
    QString folderOid; // a folder in the middle of the table, for vkctl ls

    Library()
    {
        // The configuration lies where vkctl looks for it with XDG_CONFIG_HOME set to dir/config.
        vk::CreateDatabaseIn(connection, dir.path() + "/config/Quorient/Vellumark/vkconfig.ini", "bench",
                             "SYSADM", "", dir.path() + "/db");
        dbFile = dir.path() + "/db/bench.db";
        vk::Transaction tx(connection);
        {
            vk::Statement st(connection,
                             "insert into Folder (Title, ParFolderId, index, Width, Height, BorderWidth) "
                             "values (?, 0, ?, 80, 100, 3)");
            for (int f = 1; f <= Folders; ++f) {
                st.nextParamSet();
                st.bind(QStringLiteral("Folder %1").arg(f));
                st.bind(QString::number(f * 32));
                st.execute();
            }
        }
        // Linked files: the rows are what is measured, not file copies.
        vk::Statement st(connection,
                         "insert into MediaData (FolderId, title, media, MediaType, index, KeyWords, "
                         "InsertDate, Author) values (?,?,?,3,?,'','2026-12-09','bench')");
        for (int f = 1; f <= Folders; ++f) {
            for (int m = 0; m < MediaPerFolder; ++m) {
                st.nextParamSet();
                st.bind(QString::number(f));
                st.bind(QStringLiteral("Picture %1-%2.jpg").arg(f).arg(m));
                st.bind(QStringLiteral("/photos/%1/picture-%2.jpg").arg(f).arg(m));
                st.bind(QString::number(m * 32));
                st.execute();
            }
        }
        tx.commit();
        vk::Statement folder(connection, "select OID from Folder where FolderId=?");
        folder.bind(QString::number(Folders / 2));
        folder.execute();
        QStringList row;
        if (folder.fetch(row) < 2)
            folderOid = row.value(0);
    }
};

Library &library()
{
    static Library lib;
    return lib;
}

const char *const Query =
    "select m.rowid, m.FolderId, m.title, (select dir||name from _vk_fileobj where id=m.media), "
    "m.MediaType, m.\"index\", (select dir||name from _vk_fileobj where id=m.MediaNail), "
    "m.KeyWords, m.InsertDate, m.Author from MediaData m order by m.FolderId, m.\"index\"";

void BM_RawSqliteMediaRows(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(library().dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, Query, -1, &st, nullptr);
        std::vector<std::string> row(10);
        int rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < 10; ++i) {
                const unsigned char *t = sqlite3_column_text(st, i);
                row[size_t(i)].assign(t ? reinterpret_cast<const char *>(t) : "");
            }
            ++rows;
        }
        sqlite3_finalize(st);
        state.counters["rows"] = rows;
    }
    sqlite3_close(db);
}

void BM_SqliteShellDump(benchmark::State &state)
{
    const std::string command = "sqlite3 -readonly '" + library().dbFile.toStdString() + "' \"" +
                                QString::fromLatin1(Query).replace("\"", "\\\"").toStdString() +
                                "\" > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("the sqlite3 shell is not available");
    }
}

void BM_MediaLoad(benchmark::State &state)
{
    Library &lib = library();
    for (auto _ : state) {
        vk::TDbFolderList list(lib.connection);
        list.Load(80, 100, 3);
        benchmark::DoNotOptimize(list.Folders.size());
    }
    // Measured apart from the timing, on a warm connection (its statement and page caches
    // filled by the loads above): only what the loaded tree itself holds is counted.
    const size_t before = mallinfo2().uordblks;
    {
        vk::TDbFolderList list(lib.connection);
        list.Load(80, 100, 3);
        const size_t after = mallinfo2().uordblks;
        state.counters["bytes_per_item"] = double(after - before) / (Folders * MediaPerFolder);
    }
}

// Runs vkctl with the library's data source; false when it did not exit 0.
bool runVkctl(const std::vector<std::string> &args)
{
    const QString home = library().dir.path();
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_", 4) != 0)
            env.emplace_back(*e);
    for (const char *name : {"CONFIG", "DATA", "CACHE"})
        env.push_back(std::string("XDG_") + name +
                      "_HOME=" + (home + "/" + QString(name).toLower()).toStdString());
    std::vector<char *> envp, argv{const_cast<char *>(VKCTL_PATH)};
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> copies = args;
    for (std::string &a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, VKCTL_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_VkctlSources(benchmark::State &state)
{
    for (auto _ : state)
        if (!runVkctl({"sources"}))
            state.SkipWithError("vkctl sources failed");
}

void BM_VkctlLs(benchmark::State &state)
{
    const std::vector<std::string> args{"--source", "bench", "ls", library().folderOid.toStdString()};
    // The first run brings the schema up to date (keyword and option tables); that is not timed.
    if (!runVkctl(args)) {
        state.SkipWithError("vkctl ls failed");
        return;
    }
    for (auto _ : state)
        if (!runVkctl(args))
            state.SkipWithError("vkctl ls failed");
}

} // namespace

BENCHMARK(BM_RawSqliteMediaRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteShellDump)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MediaLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VkctlSources)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VkctlLs)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
