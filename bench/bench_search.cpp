// The media search over 100,000 rows in 1,000 folders: a search by text and type as the dialog
// and vkctl run it, beside the same search written by hand against SQLite (instr over
// upper-cased columns) on the same rows in the same run.
//
// BM_Search is the dialog's: the result folder filled with items that mirror the loaded
// library's. BM_SearchEveryColumn fetches every column of the dialog's statement through the
// engine, as the search did before it reused the library's items.
//
//   build/ci/bench/bench_search
#include "Connection.h"
#include "DatabaseSetup.h"
#include "DbFolder.h"
#include "SearchMedia.h"
#include "Statement.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int Rows = 100000;

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
        static const char *const words[] = {"harbour", "lighthouse", "meadow", "sunset", "dunes",
                                            "cat",     "dog",        "beach",  "forest", "city"};
        vk::Transaction tx(connection);
        {
            vk::Statement folders(connection, "insert into Folder (Title, ParFolderId, index, Width, Height, "
                                              "BorderWidth) values (?, 0, ?, 80, 100, 3)");
            for (int f = 1; f <= Rows / 100; ++f) {
                folders.nextParamSet();
                folders.bind(QStringLiteral("Folder %1").arg(f));
                folders.bind(QString::number(f * 32));
                folders.execute();
            }
        }
        vk::Statement st(connection,
                         "insert into MediaData (FolderId, title, description, media, MediaType, "
                         "index, KeyWords, InsertDate, Author) values (?,?,?,?,?,?,'','2026-12-09',?)");
        for (int i = 0; i < Rows; ++i) {
            st.nextParamSet();
            st.bind(QString::number(1 + i / 100));
            st.bind(QStringLiteral("%1 %2 %3.jpg")
                        .arg(QLatin1String(words[i % 10]), QLatin1String(words[(i / 10) % 10]))
                        .arg(i));
            st.bind(QStringLiteral("A picture of a %1 near the %2.")
                        .arg(QLatin1String(words[(i / 7) % 10]), QLatin1String(words[(i / 3) % 10])));
            st.bind(QStringLiteral("/photos/%1.jpg").arg(i));
            st.bind(QString::number(i % 4 == 0 ? 101 : 3));
            st.bind(QString::number((i % 100) * 32));
            st.bind(QStringLiteral("Author %1").arg(i % 50));
            st.execute();
        }
        tx.commit();
        roots = std::make_unique<vk::TDbFolderList>(connection);
        roots->Load(80, 100, 3);
    }

    std::unique_ptr<vk::TDbFolderList> roots; // the workspace's library, loaded at its start
};

Library &library()
{
    static Library lib;
    return lib;
}

// What the dialog does: a result folder of items mirroring the library's.
void BM_Search(benchmark::State &state)
{
    vk::TrecSearchCondition c;
    c.text = QStringLiteral("Cat");
    c.mediaTypes = {0};
    const vk::SearchQuery q = vk::BuildSearchQuery(c);
    vk::TDbFolderList &roots = *library().roots;
    size_t found = 0;
    for (auto _ : state) {
        vk::TDbFolder *result = vk::MakeResultFolder(q.title, 80, 100, 3);
        vk::RunSearch(library().connection, q, result, &roots);
        found = size_t(result->MediaList->count());
        state.PauseTiming();
        vk::ReleaseResultFolder(roots, result);
        state.ResumeTiming();
    }
    state.counters["rows"] = double(found);
}

// Every column of the dialog's statement for each row found.
void BM_SearchEveryColumn(benchmark::State &state)
{
    vk::TrecSearchCondition c;
    c.text = QStringLiteral("Cat");
    c.mediaTypes = {0};
    const vk::SearchQuery q = vk::BuildSearchQuery(c);
    size_t found = 0;
    for (auto _ : state) {
        vk::Statement st(library().connection, q.text);
        for (const QString &v : q.values)
            st.bind(v);
        st.execute();
        QStringList row;
        size_t n = 0;
        while (st.fetch(row) < 2)
            ++n;
        found = n;
    }
    state.counters["rows"] = double(found);
}

// The same query written straight against SQLite, reading every column of each row as text.
void runHandWritten(benchmark::State &state, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(library().dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    size_t found = 0;
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        const int columns = sqlite3_column_count(st);
        std::vector<std::vector<std::string>> rows;
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> &row = rows.emplace_back();
            for (int i = 0; i < columns; ++i) {
                const unsigned char *text = sqlite3_column_text(st, i);
                row.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
            }
        }
        sqlite3_finalize(st);
        found = rows.size();
    }
    sqlite3_close(db);
    state.counters["rows"] = double(found);
}

void BM_HandWrittenSqlite(benchmark::State &state)
{
    const char *sql =
        "select printf('%018d', rowid), FolderId, title, (select dir||name from _vk_fileobj where "
        "id=media), MediaType, (select dir||name from _vk_fileobj where id=MediaNail), KeyWords, "
        "InsertDate, Author from MediaData where (instr(upper(description), 'CAT') > 0 or "
        "instr(upper(title), 'CAT') > 0) and (MediaType>0 and MediaType<98)";
    runHandWritten(state, sql);
}

// What vkctl search asks: the OIDs alone, beside the hand-written query for the OIDs.
void BM_SearchOids(benchmark::State &state)
{
    vk::TrecSearchCondition c;
    c.text = QStringLiteral("Cat");
    c.mediaTypes = {0};
    const vk::SearchQuery q = vk::BuildSearchQuery(c);
    size_t found = 0;
    for (auto _ : state) {
        QStringList oids;
        vk::SearchOids(library().connection, q, &oids);
        found = size_t(oids.size());
    }
    state.counters["rows"] = double(found);
}

void BM_HandWrittenSqliteOids(benchmark::State &state)
{
    const char *sql =
        "select printf('%018d', rowid) from MediaData where (instr(upper(description), 'CAT') > 0 or "
        "instr(upper(title), 'CAT') > 0) and (MediaType>0 and MediaType<98)";
    runHandWritten(state, sql);
}

BENCHMARK(BM_HandWrittenSqliteOids)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchOids)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HandWrittenSqlite)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchEveryColumn)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    library();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
