// The start-up load of the folder tree: 10,000 folders in a five-level tree, beside a
// plain SQLite read of the same rows in the same run.
//
//   build/ci/bench/bench_folders
#include "Connection.h"
#include "DatabaseSetup.h"
#include "DbFolder.h"
#include "Engine.h"
#include "Statement.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

constexpr int FolderCount = 10000;

struct Library
{
    QTemporaryDir dir;
    vk::Connection connection;
    QString dbFile;

    Library()
    {
        const QString config = dir.path() + "/vkconfig.ini";
        vk::CreateDatabaseIn(connection, config, "bench", "SYSADM", "", dir.path() + "/db");
        dbFile = dir.path() + "/db/bench.db";
        // Four roots, seven children to each folder, five levels deep, breadth first, so
        // that a folder's FolderId (its row number) tells its parent's.
        vk::Transaction tx(connection);
        vk::Statement st(connection,
                         "insert into Folder (Title, ParFolderId, index, Width, Height, BorderWidth, "
                         "InsertDate, Author) values (?,?,?,?,?,?,?,?)");
        int id = 0;
        QList<int> parents{0, 0, 0, 0};
        while (id < FolderCount && !parents.isEmpty()) {
            QList<int> next;
            for (int i = 0; i < parents.size() && id < FolderCount; ++i) {
                ++id;
                st.nextParamSet();
                st.bind(QStringLiteral("Folder %1").arg(id));
                st.bind(QString::number(parents[i]));
                st.bind(QString::number((i % 7) * 32));
                st.bind("80");
                st.bind("100");
                st.bind("3");
                st.bind("2026-12-09");
                st.bind("bench");
                st.execute();
                for (int k = 0; k < 7; ++k)
                    next.append(id);
            }
            parents = next;
        }
        tx.commit();
    }
};

Library &library()
{
    static Library lib;
    return lib;
}

void BM_RawSqliteFolderRows(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(library().dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(
            db,
            "select rowid, FolderId, Title, Width, Height, BorderWidth, \"index\", InsertDate, "
            "Author, ParFolderId from Folder order by FolderId",
            -1, &st, nullptr);
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
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_close(db);
}

void BM_FolderTreeLoad(benchmark::State &state)
{
    Library &lib = library();
    int roots = 0;
    for (auto _ : state) {
        vk::TDbFolderList list(lib.connection);
        list.Load(80, 100, 3);
        roots = int(list.Folders.size());
        benchmark::DoNotOptimize(roots);
    }
    state.counters["roots"] = roots;
}

} // namespace

BENCHMARK(BM_RawSqliteFolderRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FolderTreeLoad)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
