// The engine's statement path beside raw SQLite prepared statements doing the same
// work, in the same run: prepare, bind ten text values, execute, fetch.
//
//   build/ci/bench/bench_engine
//
// Both sides insert one row of ten texts into a table of the same shape and read it
// back by its row identity; the raw side prepares its statements each time, as the
// program opens a statement for each use.
#include "ConfigFile.h"
#include "Engine.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *const Columns = "a1 char(32),a2 char(32),a3 char(32),a4 char(32),a5 char(32),"
                            "a6 char(32),a7 char(32),a8 char(32),a9 char(32),a10 char(32)";
const char *const InsertText = "insert into T (a1,a2,a3,a4,a5,a6,a7,a8,a9,a10) values (?,?,?,?,?,?,?,?,?,?)";

std::string freshDir(const char *tag)
{
    std::string dir =
        (fs::temp_directory_path() / ("vk_bench_" + std::string(tag) + "_" + std::to_string(::getpid())))
            .string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void BM_Engine(benchmark::State &state)
{
    const std::string dir = freshDir("engine");
    vkdb::ConfigFile config(dir + "/vkconfig.ini");
    config.setValue("bench", "DB_DBDIR", "\"" + dir + "\"");
    config.setValue("bench", "DB_FODIR", "\"" + dir + "/folder\"");
    config.flush();
    vkdb::DbEnvironment env{dir + "/vkconfig.ini"};
    vkdb::DbConnection *c = nullptr;
    if (vkdb::DbCreate("bench", &env, &c) != vkdb::DbOk) {
        state.SkipWithError(vkdb::DbErrorText().c_str());
        return;
    }
    vkdb::DbExecDirect(c, std::string("create table T (") + Columns + ")");
    const std::string value = "a text value of some length";
    std::vector<std::string> row;
    for (auto _ : state) {
        vkdb::DbStatement *st = nullptr;
        vkdb::DbPrepare(c, InsertText, &st);
        for (int i = 0; i < 10; ++i)
            vkdb::DbBindParam(st, value);
        std::string oid;
        vkdb::DbExecute(st, &oid);
        vkdb::DbFreeStmt(&st);
        vkdb::DbPrepare(c, "select a1,a2,a3,a4,a5,a6,a7,a8,a9,a10 from T where OID = ?", &st);
        vkdb::DbBindParam(st, oid);
        vkdb::DbExecute(st);
        vkdb::DbGetData(st, row);
        vkdb::DbFreeStmt(&st);
        benchmark::DoNotOptimize(row);
    }
    vkdb::DbDisconnect(c, &env);
    fs::remove_all(dir);
}

void BM_RawSqlite(benchmark::State &state)
{
    const std::string dir = freshDir("raw");
    sqlite3 *db = nullptr;
    sqlite3_open_v2((dir + "/raw.db").c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, "pragma journal_mode=wal; pragma synchronous=normal;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("create table T (") + Columns + ")").c_str(), nullptr, nullptr, nullptr);
    const std::string value = "a text value of some length";
    std::vector<std::string> row(10);
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, InsertText, -1, &st, nullptr);
        for (int i = 1; i <= 10; ++i)
            sqlite3_bind_text(st, i, value.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
        const sqlite3_int64 id = sqlite3_last_insert_rowid(db);
        sqlite3_prepare_v2(db, "select a1,a2,a3,a4,a5,a6,a7,a8,a9,a10 from T where rowid = ?", -1, &st,
                           nullptr);
        sqlite3_bind_int64(st, 1, id);
        if (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < 10; ++i)
                row[size_t(i)].assign(reinterpret_cast<const char *>(sqlite3_column_text(st, i)),
                                      size_t(sqlite3_column_bytes(st, i)));
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(row);
    }
    sqlite3_close(db);
    fs::remove_all(dir);
}

} // namespace

// The same without a write: a query with ten text values, where no commit hides the
// statement path's own cost.
const char *const QueryText =
    "select a1,a2,a3,a4,a5,a6,a7,a8,a9,a10 from T where a1=? and a2=? and a3=? and a4=? "
    "and a5=? and a6=? and a7=? and a8=? and a9=? and a10=?";

void BM_EngineQuery(benchmark::State &state)
{
    const std::string dir = freshDir("engineq");
    vkdb::ConfigFile config(dir + "/vkconfig.ini");
    config.setValue("bench", "DB_DBDIR", "\"" + dir + "\"");
    config.flush();
    vkdb::DbEnvironment env{dir + "/vkconfig.ini"};
    vkdb::DbConnection *c = nullptr;
    if (vkdb::DbCreate("bench", &env, &c) != vkdb::DbOk) {
        state.SkipWithError(vkdb::DbErrorText().c_str());
        return;
    }
    vkdb::DbExecDirect(c, std::string("create table T (") + Columns + ")");
    const std::string value = "a text value of some length";
    vkdb::DbStatement *st = nullptr;
    vkdb::DbPrepare(c, InsertText, &st);
    for (int i = 0; i < 10; ++i)
        vkdb::DbBindParam(st, value);
    vkdb::DbExecute(st);
    vkdb::DbFreeStmt(&st);
    std::vector<std::string> row;
    for (auto _ : state) {
        vkdb::DbPrepare(c, QueryText, &st);
        for (int i = 0; i < 10; ++i)
            vkdb::DbBindParam(st, value);
        vkdb::DbExecute(st);
        vkdb::DbGetData(st, row);
        vkdb::DbFreeStmt(&st);
        benchmark::DoNotOptimize(row);
    }
    vkdb::DbDisconnect(c, &env);
    fs::remove_all(dir);
}

void BM_RawSqliteQuery(benchmark::State &state)
{
    const std::string dir = freshDir("rawq");
    sqlite3 *db = nullptr;
    sqlite3_open_v2((dir + "/raw.db").c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, "pragma journal_mode=wal; pragma synchronous=normal;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("create table T (") + Columns + ")").c_str(), nullptr, nullptr, nullptr);
    const std::string value = "a text value of some length";
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, InsertText, -1, &st, nullptr);
    for (int i = 1; i <= 10; ++i)
        sqlite3_bind_text(st, i, value.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
    std::vector<std::string> row(10);
    for (auto _ : state) {
        sqlite3_prepare_v2(db, QueryText, -1, &st, nullptr);
        for (int i = 1; i <= 10; ++i)
            sqlite3_bind_text(st, i, value.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < 10; ++i)
                row[size_t(i)].assign(reinterpret_cast<const char *>(sqlite3_column_text(st, i)),
                                      size_t(sqlite3_column_bytes(st, i)));
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(row);
    }
    sqlite3_close(db);
    fs::remove_all(dir);
}

// Raw SQLite at its best: one statement prepared once and reset after each use.
void BM_RawSqliteQueryReused(benchmark::State &state)
{
    const std::string dir = freshDir("rawr");
    sqlite3 *db = nullptr;
    sqlite3_open_v2((dir + "/raw.db").c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, "pragma journal_mode=wal; pragma synchronous=normal;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, (std::string("create table T (") + Columns + ")").c_str(), nullptr, nullptr, nullptr);
    const std::string value = "a text value of some length";
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, InsertText, -1, &st, nullptr);
    for (int i = 1; i <= 10; ++i)
        sqlite3_bind_text(st, i, value.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
    std::vector<std::string> row(10);
    sqlite3_prepare_v3(db, QueryText, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    for (auto _ : state) {
        for (int i = 1; i <= 10; ++i)
            sqlite3_bind_text(st, i, value.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < 10; ++i)
                row[size_t(i)].assign(reinterpret_cast<const char *>(sqlite3_column_text(st, i)),
                                      size_t(sqlite3_column_bytes(st, i)));
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        benchmark::DoNotOptimize(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    fs::remove_all(dir);
}

BENCHMARK(BM_RawSqlite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Engine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawSqliteQuery)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawSqliteQueryReused)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineQuery)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
