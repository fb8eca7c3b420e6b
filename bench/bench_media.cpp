// The start-up load of 100,000 media rows in 1,000 folders, beside plain reads of the same
// rows in the same run: SQLite's C API in this process, and the sqlite3 shell dumping them.
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

namespace {

constexpr int Folders = 1000;
constexpr int MediaPerFolder = 100;

struct Library
{
    QTemporaryDir dir;
    vk::Connection connection;
    QString dbFile;

    Library()
    {
        vk::CreateDatabaseIn(connection, dir.path() + "/vkconfig.ini", "bench", "SYSADM", "",
                             dir.path() + "/db");
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
}

} // namespace

BENCHMARK(BM_RawSqliteMediaRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteShellDump)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MediaLoad)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
