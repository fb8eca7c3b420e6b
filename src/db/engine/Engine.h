// The storage engine: the operations every statement of Vellumark goes through.
//
// The program writes its statements in its own SQL dialect (reserved words as
// column names, '00'x literals, filename(), match, "for browse", "move file
// object", ...). The engine accepts that dialect and runs it on SQLite. It keeps
// the row identity (an 18-character OID, unique in the whole database and never
// reused), numbers `serial` columns, and owns the file objects of `file`
// columns: internal copies kept in the data source's file-object directory, and
// external references to files where they lie (which it never touches).
//
// Results are small integers: below 2 is success, 99 means a statement waits
// for `?` values, 100 means no more rows. Anything else is a failure; the native
// error code and a text a user can act on are then available from DbLastError()
// and DbErrorText(). No exception leaves this interface.
//
// No Qt here: the engine is shared by the workspace, vkctl and the benchmarks.
#pragma once

#include "Salvage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace vkdb {

// Result codes.
constexpr int DbOk = 0;
constexpr int DbFailed = 2;
constexpr int DbNeedParams = 99;
constexpr int DbNoMoreRows = 100;

inline bool DbSucceeded(int result)
{
    return result < 2;
}

// Native error codes the program tests by number.
enum NativeError : int
{
    ErrNone = 0,
    ErrRecoveryNeeded = 11313, // the database is damaged: start it in recovery mode (DB_SMODE 2)
    ErrNotADatabase = 20912,   // the database file is not a database
    ErrFileAccess = 605,       // the database file cannot be read or written (permissions)
    ErrDiskFull = 20914,       // the disk holding the database is full
    ErrIo = 20915,             // an input/output error on the database file
    // Everything below is reported as a plain warning by the start-up sequence.
    ErrNoDataSource = 3001,    // no section of that name in vkconfig.ini
    ErrNoDatabase = 3002,      // the data source's database file does not exist
    ErrDatabaseExists = 3003,  // DbCreate on a database that is already there
    ErrNoFileObjectDir = 3004, // the file-object directory is missing or cannot be made
    ErrSyntax = 3010,          // the statement text is not understood
    ErrParameters = 3011,      // too many or too few `?` values
    ErrFileObject = 3012,      // a file object could not be stored, read or moved
    ErrConstraint = 3013,      // a value breaks a constraint of the table
    ErrBusy = 3014,            // another program holds the database
    ErrMisuse = 3015,          // an operation in the wrong state (no connection, statement not executed)
    ErrSql = 3016,             // any other error reported by SQLite
    ErrEngineTable = 3017,     // a statement would write, drop or alter one of the engine's own tables
    ErrManyStatements = 3018,  // a text that holds more than one statement
};

// Where the engine finds its configuration: the path of vkconfig.ini.
struct DbEnvironment
{
    std::string configPath;
};

class DbConnection;
class DbStatement;

// Connections. DbConnect never creates a database: a missing one is an error.
int DbConnect(DbConnection **connection, const std::string &dataSource, const std::string &user,
              const std::string &password, DbEnvironment *environment);
int DbDisconnect(DbConnection *connection, DbEnvironment *environment);
// Creates the data source's database (and its file-object directory) from the
// keys of its section; refuses when the database file already exists.
int DbCreate(const std::string &dataSource, DbEnvironment *environment, DbConnection **connection);
void DbCloseCreate(DbEnvironment *environment, DbConnection **connection);

// Statements.
int DbPrepare(DbConnection *connection, const std::string &sql, DbStatement **statement);
// Binds the next `?`. length -3: NUL-terminated text (or the whole string); -1: SQL null;
// otherwise that many bytes. Answers 99 while more values are expected, 0 when all are given.
int DbBindParam(DbStatement *statement, const std::string &text, int length = -3);
// Binds the next `?` to a new internal file object holding a copy of the file at path.
int DbBindFile(DbStatement *statement, const std::string &path);
int DbNextParamSet(DbStatement *statement);
// Executes; after an INSERT the new row's OID (18 characters) is written to *oid when given.
int DbExecute(DbStatement *statement, std::string *oid = nullptr);
// Fetches one row: every column as text, null as empty; a file column as its full path.
int DbGetData(DbStatement *statement, std::vector<std::string> &values);
// Fetches one row like DbGetData, but leaves it in place: its columns are read one by one
// with DbColumnType, DbColumnText, DbColumnInt64 and DbColumnDouble until the next fetch,
// with no copy of the whole row. Reads of many rows (the start-up load) go this way.
// Same results as DbGetData (a failure of the step past a row shows at the next fetch);
// a column file (DbSetColumnFile) is DbGetData's only.
int DbFetchRow(DbStatement *statement);
enum class DbValueType
{
    Null,
    Integer,
    Real,
    Text,
    Blob
};
// The stored type of a column of the row DbFetchRow fetched; ask it before reading the value,
// which may convert it.
DbValueType DbColumnType(DbStatement *statement, int column);
// The column as DbGetData answers it (null as empty, a file column as its full path, an OID as
// its 18 characters), valid until the next fetch.
std::string_view DbColumnText(DbStatement *statement, int column);
int64_t DbColumnInt64(DbStatement *statement, int column);
double DbColumnDouble(DbStatement *statement, int column);
// Before the next DbGetData, write the value of `column` into the file at path instead of
// answering it (a file column: the file object's content). An empty path cancels it.
int DbSetColumnFile(DbStatement *statement, int column, const std::string &path);
int DbColumnCount(DbStatement *statement);
// The name of a column of the statement's result: its "as" name, else as the text gives it
// (OID and filename(column) as written, not as the dialect rewrote them).
std::string DbColumnName(DbStatement *statement, int column);
// The OID of the row the statement's last execution inserted (also for a text without `?`,
// which runs at DbPrepare); empty when it inserted none.
std::string DbInsertedOid(DbStatement *statement);
void DbFreeStmt(DbStatement **statement);
int DbExecDirect(DbConnection *connection, const std::string &sql, int flags = 0);

// Transactions. Statements commit one by one unless a transaction is open.
// Inside one, the text "commit" makes the work so far durable and goes on in a new one.
int DbBeginTransaction(DbConnection *connection);
int DbCommit(DbConnection *connection);
int DbRollback(DbConnection *connection);
bool DbInTransaction(DbConnection *connection);

// Errors of the last operation on this thread.
int DbLastError();
std::string DbErrorText();

// The file objects against the files on disk.
struct DbFileProblem
{
    std::string table, oid, column; // the row that holds the object
    std::string path;
};
struct DbFileCheck
{
    std::vector<DbFileProblem> missing;      // internal copies a row holds that are not on disk
    std::vector<DbFileProblem> lost;         // external files a row refers to that are not where they were
    std::vector<std::string> orphans;        // copies in the file-object directory that no committed row
                                             // holds and no live connection is still making
    std::vector<DbFileProblem> bad;          // internal objects whose name is not a plain name inside the
                                             // file-object directory (path: the name as stored); never opened
    std::vector<DbFileProblem> uncatalogued; // rows holding an object id the catalogue does not list
                                             // (path: the id)
    std::vector<std::string> staleJournals;  // journals of copies in progress whose program is gone
    std::vector<std::string> missingTriggers; // "TABLE TRIGGER": engine triggers another program dropped
};
int DbCheckFileObjects(DbConnection *connection, DbFileCheck &check);
// Removes the orphan copies (never anything outside the file-object directory, never a file
// the engine did not make) and the stale journals; `removed` lists them.
int DbRemoveOrphans(DbConnection *connection, std::vector<std::string> &removed);
// The engine's triggers ("TABLE TRIGGER") that were missing when the connection opened and were
// put back then.
std::vector<std::string> DbRestoredTriggers(DbConnection *connection);

// Rebuilds the engine's own tables of the data source's database (not open in this process)
// from what is stored: a table another program renamed is taken back, a missing one made
// again, the counters moved past every OID, serial number and object id the rows hold, the
// holder counts recounted, and the triggers of every table put back. A row whose object the
// catalogue lost keeps its id, noted as missing; when the catalogue lost objects, every copy
// in the file-object directory that it no longer names is kept (listed in `kept`), never taken
// for an orphan. `notes` tells what was rebuilt. Nothing is done when all is in order.
int DbRebuildEngineTables(const std::string &dataSource, DbEnvironment *environment,
                          std::vector<std::string> &notes, std::vector<std::string> &kept);

// Salvages the data source's damaged database (not open in this process): every row that can
// still be read is kept, the engine's counters go on past what was read, and the damaged file
// is kept beside the rebuilt one. DbConnect does the same in recovery mode (DB_SMODE 2) when
// rebuilding the indexes is not enough; DbRecoveryReport then tells what was kept.
int DbSalvage(const std::string &dataSource, DbEnvironment *environment, SalvageReport &report);
const SalvageReport *DbRecoveryReport(DbConnection *connection);

// What other programs changed. SQLite's data version moves whenever another connection commits
// (never for this connection's own changes), and answers at no cost: a program that polls it
// reads the change log only when there is news. The log holds one entry for each row of a
// program table that was inserted, updated or deleted, written by the engine's triggers in the
// same transaction as the change, whoever made it; only the newest entries are kept.
int DbDataVersion(DbConnection *connection, int64_t &version);
struct DbChange
{
    enum Kind
    {
        Inserted = 1,
        Updated = 2,
        Deleted = 3
    };
    int64_t position = 0; // in the log; later changes have greater positions
    std::string table;    // as the table was created
    std::string oid;      // the row's OID
    Kind kind = Updated;
};
// The changes after the position `since` (from an earlier call's `last`), oldest first; `last`
// is the newest position. With `since` below 0 only `last` is answered (the place to read from
// later). `complete` is false when the log no longer reaches back to `since` (it was trimmed
// past it, or made again): the reader must then read everything again.
int DbChangesSince(DbConnection *connection, int64_t since, std::vector<DbChange> &changes, int64_t &last,
                   bool &complete);

// The data source's file-object directory (DB_FODIR), with a trailing '/'.
std::string DbFileObjectDir(DbConnection *connection);
// The SQLite handle, for the engine's own tools (integrity check, benchmarks).
::sqlite3 *DbNativeHandle(DbConnection *connection);

// An optional log of every statement run: the text as given and the bound values
// (a file as "file:" + path, null as "NULL"). Tests pin statement texts with it.
struct DbLogEntry
{
    std::string text;
    std::vector<std::string> values;
};
using DbStatementLog = std::function<void(const DbLogEntry &)>;
void DbSetStatementLog(DbConnection *connection, DbStatementLog log);

} // namespace vkdb
