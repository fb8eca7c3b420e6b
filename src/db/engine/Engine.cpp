#include "Engine.h"

#include "ConfigFile.h"
#include "Dialect.h"
#include "FileObjects.h"
#include "TextFunctions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <unordered_map>

#include <csignal>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vkdb {

namespace {

thread_local int t_lastError = 0;
thread_local std::string t_lastErrorText;

constexpr int OidWidth = 18;
constexpr sqlite3_int64 OidBlock = 1000;

// The engine's own tables. Catalog views are made per connection (temporary), so the
// database file holds nothing but tables and stays readable by any SQLite tool.
// The layout of the engine's tables. 2: every table keeps its OID in an INTEGER PRIMARY KEY
// column, and file objects count the rows that hold them. 3: a path given for a file column
// that names one of the engine's own copies holds that copy (the triggers of every table, and
// an index of the copies by their full name).
constexpr int CurrentFormat = 3;

const char *const SystemSchema =
    "create table if not exists _vk_meta(key text primary key, value integer) without rowid;"
    "create table if not exists _vk_serial(name text primary key, next integer) without rowid;"
    "create table if not exists _vk_fileobj(id integer primary key autoincrement, dir text not null,"
    " name text not null, type integer not null, refs integer not null default 0);"
    "create table if not exists _vk_trash(path text not null);"
    "create table if not exists _vk_changes(seq integer primary key, tbl text not null, oid integer,"
    " op integer not null);"
    "create index if not exists _vk_fileobj_path on _vk_fileobj(dir||name);"
    "insert or ignore into _vk_meta(key, value) values ('next_oid', 1);"
    "insert or ignore into _vk_meta(key, value) values ('format', 3);";

const char *const CatalogViews =
    "create temp view if not exists SYSTABLE as select name as TABLE_NAME from main.sqlite_schema"
    " where type='table' and name not like '\\_vk\\_%' escape '\\' and name not like 'sqlite\\_%' escape "
    "'\\';"
    "create temp view if not exists SYSCOLUMN as select m.name as TABLE_NAME, p.name as COLUMN_NAME,"
    " case when lower(p.type)='file blob' then substr(p.type,1,4) else p.type end as COLUMN_TYPE,"
    " p.cid - (select count(*) from pragma_table_info(m.name) h where h.name='_vk_oid' and h.cid<p.cid)"
    " as COLUMN_ID from main.sqlite_schema m join pragma_table_info(m.name) p"
    " where m.type='table' and p.name<>'_vk_oid' and m.name not like '\\_vk\\_%' escape '\\'"
    " and m.name not like 'sqlite\\_%' escape '\\';"
    "create temp view if not exists SYSFILEOBJ as select vk_objpath(dir,name,type) as FILE_NAME,"
    " case type when 0 then x'00' else x'01' end as FILE_TYPE, id as FILE_ID, dir||name as FILE_STORED"
    " from main._vk_fileobj;";

// The change log: one row for each row of a program table that a statement inserted (op 1),
// updated (2) or deleted (3), written by the table's triggers inside the change's own
// transaction, whichever program made it. Another program reading the database learns from it
// what changed since it last looked. The newest ChangeLogLength rows are kept; a reader that
// falls further behind is told so and reads everything again.
const char *const ChangeLogTable = "create table if not exists main._vk_changes(seq integer primary key, "
                                   "tbl text not null, oid integer, op integer not null)";
constexpr int ChangeLogLength = 10000;
const char *const ChangeTriggerSuffixes[] = {"@changes_ins", "@changes_upd", "@changes_del"};

// The file objects of one kind (FILE_TYPE='00'x: the stored copies), found without reading every
// object: the program asks for its stored copies at each start, and a library of linked files
// holds many objects and few copies or none. The expression is the catalog's FILE_TYPE, word for
// word, so that a query on that column uses the index.
const char *const FileKindIndex = "create index if not exists main._vk_fileobj_kind on _vk_fileobj("
                                  "(case type when 0 then x'00' else x'01' end))";

int nativeFromSqlite(int rc, int systemErrno = 0)
{
    // A full disk shows as SQLITE_FULL when a write runs short, but as an I/O error when a
    // sync, a truncation or the shared-memory index hits it: the system's error tells.
    if ((rc & 0xff) == SQLITE_IOERR && (systemErrno == ENOSPC || systemErrno == EDQUOT))
        return ErrDiskFull;
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ErrNone;
    case SQLITE_CORRUPT:
        return ErrRecoveryNeeded;
    case SQLITE_NOTADB:
        return ErrNotADatabase;
    case SQLITE_IOERR:
        return ErrIo;
    case SQLITE_FULL:
        return ErrDiskFull;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return ErrFileAccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ErrBusy;
    case SQLITE_CONSTRAINT:
        return ErrConstraint;
    case SQLITE_RANGE:
        return ErrParameters;
    case SQLITE_MISUSE:
        return ErrMisuse;
    default:
        return ErrSql;
    }
}

int fail(int code, std::string text)
{
    // A full disk is named by its number wherever it shows, so that every message about it reads alike.
    if (code == ErrDiskFull && text.find("(20914)") == std::string::npos)
        text += " (20914)";
    t_lastError = code;
    t_lastErrorText = std::move(text);
    return DbFailed;
}

int ok()
{
    t_lastError = 0;
    t_lastErrorText.clear();
    return DbOk;
}

bool hasOidColumn(sqlite3 *db, const std::string &table);

// An OID's 18 digits into `out` (which keeps its capacity from row to row). Every row of
// a read carries one, so no formatting machinery is spent on it.
void formatOidInto(sqlite3_int64 value, std::string &out)
{
    if (value < 0 || value > 999999999999999999LL) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*lld", OidWidth, static_cast<long long>(value));
        out.assign(buf);
        return;
    }
    out.resize(OidWidth);
    for (int i = OidWidth - 1; i >= 0; --i) {
        out[size_t(i)] = char('0' + value % 10);
        value /= 10;
    }
}

std::string formatOid(sqlite3_int64 value)
{
    std::string out;
    formatOidInto(value, out);
    return out;
}

} // namespace

// One column of a result, as DbGetData answers it.
enum class ColumnKind
{
    Plain,
    Oid,
    File
};

class DbConnection
{
public:
    sqlite3 *db = nullptr;
    std::string dataSource;
    std::string databasePath;
    std::string fileObjectDir; // with a trailing '/'
    DbStatementLog log;

    // The OID counter: [nextOid, oidLimit) is reserved in _vk_meta.
    sqlite3_int64 nextOid = 0;
    sqlite3_int64 oidLimit = 0;
    sqlite3_stmt *serialRead = nullptr;
    sqlite3_stmt *serialWrite = nullptr;

    bool explicitTransaction = false;
    bool rollingBack = false;     // DbRollback is rolling back: the program asked for it
    bool transactionLost = false; // SQLite rolled back the program's transaction by itself
    int lostCode = 0;
    int lostDepth = 0; // levels of the lost transaction still to be ended by the program
    std::string lostReason;

    int failLostTransaction()
    {
        return fail(lostCode, "The database ended the transaction" +
                                  (lostReason.empty() ? std::string() : " (" + lostReason + ")") +
                                  "; nothing of it was stored.");
    }
    // The journal of copies in progress (see announceCopy).
    int journalFd = -1;
    std::string journalPath;
    int copiesInProgress = 0;
    int movesInTransaction = 0; // files moved inside the open transaction, noted in the journal
    std::vector<std::pair<std::string, std::string>> movesToUndo; // from, to of those moves
    std::unique_ptr<SalvageReport> recovery;                      // what recovery mode kept, when it salvaged
    int sourceLockFd = -1;    // the shared lock on the data source (see lockSource)
    int transactionDepth = 0; // nested transactions are savepoints inside the outermost
    // Internal copies made inside the open transaction: removed again if it rolls back.
    std::vector<std::string> copiesInTransaction;
    bool rolledBack = false;

    std::unordered_map<std::string, std::shared_ptr<const Translation>> translations;
    std::unordered_map<const Translation *, int> columnDependent; // by the schema version they were made at
    sqlite3_stmt *schemaVersionQuery = nullptr;
    std::unordered_map<std::string, std::vector<sqlite3_stmt *>> idleStatements;
    sqlite3_stmt *fileNameLookup = nullptr;
    // While a statement of the program is compiled, the authorizer refuses what would write,
    // drop or alter the engine's own tables and triggers; `refusal` says why it refused.
    bool guardProgram = false;
    bool alteringProgramTable = false; // the statement compiled alters a table of the program's
    std::string refusal;
    std::vector<std::string> restoredTriggers; // "TABLE TRIGGER" put back when this connection opened

    ~DbConnection() { close(); }

    void close()
    {
        for (auto &[text, list] : idleStatements)
            for (sqlite3_stmt *s : list)
                sqlite3_finalize(s);
        idleStatements.clear();
        for (sqlite3_stmt **s : {&fileNameLookup, &serialRead, &serialWrite, &schemaVersionQuery}) {
            if (*s)
                sqlite3_finalize(*s);
            *s = nullptr;
        }
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
        closeJournal();
        if (sourceLockFd >= 0)
            ::close(sourceLockFd);
        sourceLockFd = -1;
    }

    int sqliteError(int rc, const std::string &what = {})
    {
        const int code = nativeFromSqlite(rc, db ? sqlite3_system_errno(db) : 0);
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        switch (code) {
        case ErrRecoveryNeeded:
            msg = "The database \"" + databasePath +
                  "\" is damaged. Start it in recovery mode or restore it from a copy (" + msg + ").";
            break;
        case ErrNotADatabase:
            msg = "The file \"" + databasePath + "\" is not a Vellumark database.";
            break;
        case ErrIo:
            msg = "The database \"" + databasePath + "\" could not be read or written: " + msg + ".";
            break;
        case ErrDiskFull:
            msg = "The disk holding \"" + databasePath + "\" is full (20914). Free some space and try again.";
            break;
        case ErrFileAccess:
            msg = "The database \"" + databasePath +
                  "\" cannot be opened for writing: check its permissions (" + msg + ").";
            break;
        case ErrBusy:
            msg = "Another program is using the database \"" + databasePath + "\". Try again in a moment.";
            break;
        default:
            if (!what.empty())
                msg += " (" + what + ")";
            break;
        }
        invalidateCounters();
        return fail(code, msg);
    }

    // After a failed statement or a rollback the counters' reservations may have been undone.
    void invalidateCounters() { oidLimit = 0; }

    int exec(const std::string &sql)
    {
        char *err = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
        if (err)
            sqlite3_free(err);
        return rc;
    }

    bool inTransaction() const { return !sqlite3_get_autocommit(db); }

    // The schema's change counter; a translation that wrote out a table's columns is made
    // again when another program changed the schema since.
    int schemaVersion()
    {
        if (!schemaVersionQuery &&
            sqlite3_prepare_v3(db, "pragma main.schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                               &schemaVersionQuery, nullptr) != SQLITE_OK)
            return -1;
        int version = -1;
        if (sqlite3_step(schemaVersionQuery) == SQLITE_ROW)
            version = sqlite3_column_int(schemaVersionQuery, 0);
        sqlite3_reset(schemaVersionQuery);
        return version;
    }

    std::shared_ptr<const Translation> translation(const std::string &sql)
    {
        auto it = translations.find(sql);
        if (it != translations.end()) {
            auto dependent = columnDependent.find(it->second.get());
            if (dependent == columnDependent.end() || dependent->second == schemaVersion())
                return it->second;
            columnDependent.erase(dependent);
            translations.erase(it);
        }
        const int version = schemaVersion();
        bool expanded = false;
        const std::string text = expandStars(
            sql,
            [this](const std::string &table) {
                TableColumns cols;
                cols.hasOidColumn = hasOidColumn(db, table);
                if (cols.hasOidColumn)
                    cols.visible = columnsOf(table);
                return cols;
            },
            expanded);
        auto tr = std::make_shared<Translation>(translate(text));
        // A star left as it is depends on the schema too: a table made later may need it written out.
        bool dependsOnColumns = expanded || sql.find('*') != std::string::npos;
        if (tr->error.empty() && tr->needsColumnList) {
            std::vector<std::string> cols = columnsOf(tr->table);
            if (cols.empty())
                tr->error = "There is no table " + tr->table + ".";
            else
                *tr = translate(completeInsert(text, cols));
            dependsOnColumns = true;
        }
        if (translations.size() > 2000) {
            translations.clear();
            columnDependent.clear();
        }
        translations.emplace(sql, tr);
        if (dependsOnColumns)
            columnDependent.emplace(tr.get(), version);
        return tr;
    }

    void forgetTranslations()
    {
        translations.clear();
        columnDependent.clear();
    }

    std::vector<std::string> columnsOf(const std::string &table, bool filesOnly = false)
    {
        std::vector<std::string> cols;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "select name, type from main.pragma_table_info(?)", -1, &s, nullptr) !=
            SQLITE_OK)
            return cols;
        sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            const char *name = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
            const char *type = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
            if (std::strcmp(name, OidColumn) == 0)
                continue;
            if (!filesOnly || (type && equalsIgnoreCase(type, "file blob")))
                cols.emplace_back(name);
        }
        sqlite3_finalize(s);
        return cols;
    }

    // Prepared statements are kept by their translated text and reused.
    sqlite3_stmt *acquire(const std::string &sql, int &rc)
    {
        auto it = idleStatements.find(sql);
        if (it != idleStatements.end() && !it->second.empty()) {
            sqlite3_stmt *s = it->second.back();
            it->second.pop_back();
            rc = SQLITE_OK;
            return s;
        }
        sqlite3_stmt *s = nullptr;
        const char *tail = nullptr;
        refusal.clear();
        refusalCode = ErrEngineTable;
        alteringProgramTable = false;
        guardProgram = true;
        rc = sqlite3_prepare_v3(db, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, &tail);
        guardProgram = false;
        if (rc == SQLITE_OK && tail && !onlySpaceLeft(tail)) {
            // SQLite compiles the first statement only; the rest would be dropped without a word.
            refusal = "The text holds more than one statement; run them one at a time (the rest was: " +
                      std::string(tail).substr(0, 200) + ").";
            refusalCode = ErrManyStatements;
            rc = SQLITE_ERROR;
        }
        if (rc != SQLITE_OK && s) {
            sqlite3_finalize(s);
            s = nullptr;
        }
        return s;
    }

    int refusalCode = ErrEngineTable;

    static bool onlySpaceLeft(const char *tail)
    {
        for (const Token &t : tokenize(tail))
            if (t.kind != Token::Space && !(t.kind == Token::Punct && t.text == ";"))
                return false;
        return true;
    }

    void release(const std::string &sql, sqlite3_stmt *s)
    {
        if (!s)
            return;
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        auto &list = idleStatements[sql];
        if (list.size() < 4 && idleStatements.size() < 128)
            list.push_back(s);
        else
            sqlite3_finalize(s);
    }

    std::string fileNameOf(sqlite3_int64 id)
    {
        if (!fileNameLookup &&
            sqlite3_prepare_v3(db, "select dir, name, type from main._vk_fileobj where id=?", -1,
                               SQLITE_PREPARE_PERSISTENT, &fileNameLookup, nullptr) != SQLITE_OK)
            return {};
        sqlite3_bind_int64(fileNameLookup, 1, id);
        std::string name;
        if (sqlite3_step(fileNameLookup) == SQLITE_ROW)
            name = objectPath(reinterpret_cast<const char *>(sqlite3_column_text(fileNameLookup, 0)),
                              reinterpret_cast<const char *>(sqlite3_column_text(fileNameLookup, 1)),
                              sqlite3_column_int(fileNameLookup, 2));
        sqlite3_reset(fileNameLookup);
        return name;
    }

    // The directories the data source's configuration (never the database) has named for its
    // copies: the one it names now and those it named before, each normalised with a trailing '/'.
    std::string configPath;
    std::vector<std::string> trustedDirs;

    static std::string normalDir(const std::string &dir)
    {
        return fs::path(dir + "/").lexically_normal().string();
    }

    bool isTrustedDir(const std::string &dir) const
    {
        if (dir == fileObjectDir)
            return true;
        const std::string d = normalDir(dir);
        return std::find(trustedDirs.begin(), trustedDirs.end(), d) != trustedDirs.end();
    }

    // Reads the configured directories again, and notes the connection's own among the ones the
    // data source has had, so that a later change of DB_FODIR can bring its copies along.
    void refreshTrustedDirs(bool record = false)
    {
        trustedDirs = {normalDir(fileObjectDir)};
        if (configPath.empty())
            return;
        ConfigFile config(configPath);
        std::string current = config.unquotedValue(dataSource, "DB_FODIR");
        while (current.size() > 1 && (current.back() == '/' || current.back() == '\\'))
            current.pop_back();
        if (!current.empty())
            trustedDirs.push_back(normalDir(current));
        const std::string history = config.unquotedValue(dataSource, "DB_FODIRS");
        bool known = false;
        size_t start = 0;
        while (start <= history.size()) {
            size_t end = history.find('|', start);
            if (end == std::string::npos)
                end = history.size();
            const std::string dir = history.substr(start, end - start);
            if (!dir.empty()) {
                trustedDirs.push_back(normalDir(dir));
                known = known || normalDir(dir) == normalDir(fileObjectDir);
            }
            start = end + 1;
        }
        if (record && !known && fileObjectDir.find('|') == std::string::npos) {
            config.setValue(dataSource, "DB_FODIRS",
                            "\"" + (history.empty() ? std::string() : history + "|") + fileObjectDir + "\"");
            config.flush(); // a configuration that cannot be written only forgets the history
        }
    }

    static bool plainName(std::string_view name)
    {
        return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
    }

    // Where a file object is. An external object is the user's file where it lies. An internal
    // object is a copy of the engine's: a plain name inside the file-object directory, and
    // nothing else. A catalogue that names anything else (a path outside, "..", a directory
    // this data source does not use) answers empty and `bad` is set: whatever a database says,
    // the engine never opens a file elsewhere as one of its copies.
    std::string objectPath(const char *dir, const char *name, int type, bool *bad = nullptr) const
    {
        if (bad)
            *bad = false;
        const std::string_view d = dir ? dir : "";
        const std::string_view n = name ? name : "";
        if (type != 0)
            return std::string(d) + std::string(n);
        if (plainName(n)) {
            if (!d.empty() && isTrustedDir(std::string(d)))
                return std::string(d) + std::string(n);
            // The catalogue still names the directory the copies were in before the data source
            // was moved; the copy itself is in ours already.
            struct stat st = {};
            const std::string here = fileObjectDir + std::string(n);
            if (isInternalCopyName(std::string(n)) && ::lstat(here.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                return here;
        }
        if (bad)
            *bad = true;
        return {};
    }

    // Removes the internal copies whose rows were deleted or replaced, once that change
    // is committed. Runs after every statement outside a transaction and after a commit.
    // The full path of `path` inside the file-object directory, when it names a file there
    // directly; empty otherwise. Only such files are ever removed: a database received from
    // someone else cannot make the engine delete a file anywhere else.
    std::string insideFileObjectDir(const std::string &path) const
    {
        const fs::path p = fs::path(path).lexically_normal();
        const std::string name = p.filename().string();
        if (name.empty() || name == "." || name == ".." || !isInternalCopyName(name))
            return {};
        const fs::path dir = p.parent_path();
        const fs::path own = fs::path(fileObjectDir).lexically_normal().parent_path();
        std::error_code ec;
        if (dir != own && !fs::equivalent(dir, own, ec))
            return {};
        return (own / name).string();
    }

    // Makes the log durable: a change that freed a file must survive a power loss before the
    // file goes (the log is synced only at checkpoints otherwise).
    bool syncLog()
    {
        sqlite3_file *log = nullptr;
        if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK || !log ||
            !log->pMethods)
            return exec("pragma main.wal_checkpoint(passive)") == SQLITE_OK;
        return log->pMethods->xSync(log, SQLITE_SYNC_NORMAL) == SQLITE_OK;
    }

    // Removes the internal copies whose rows were deleted or replaced, once that change
    // is committed and durable. Runs after every statement outside a transaction and after a commit.
    void emptyTrash()
    {
        if (inTransaction())
            return;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "select rowid, path from main._vk_trash", -1, &s, nullptr) != SQLITE_OK)
            return;
        std::vector<std::pair<sqlite3_int64, std::string>> items;
        while (sqlite3_step(s) == SQLITE_ROW)
            items.emplace_back(sqlite3_column_int64(s, 0),
                               reinterpret_cast<const char *>(sqlite3_column_text(s, 1)));
        sqlite3_finalize(s);
        if (items.empty() || !syncLog())
            return;
        std::vector<sqlite3_int64> done;
        for (const auto &[rowid, path] : items) {
            const std::string target = insideFileObjectDir(path);
            std::error_code ec;
            // A name outside the directory is dropped from the list and its file left alone.
            if (!target.empty())
                fs::remove(target, ec);
            if (target.empty() || !ec || !fs::exists(target))
                done.push_back(rowid);
        }
        ensureReserve();
        if (exec("begin immediate") != SQLITE_OK)
            return;
        for (sqlite3_int64 rowid : done)
            exec("delete from main._vk_trash where rowid=" + std::to_string(rowid));
        if (exec("commit") != SQLITE_OK)
            exec("rollback");
    }

    // The reserve: a file beside the database holding space that only a deletion may use. A
    // library that filled its disk can then still delete rows (SQLite needs room in its log to
    // do so) and so free its copies; the reserve is made again once there is room.
    static constexpr off_t ReserveBytes = 1 << 20;

    std::string reservePath() const { return databasePath + ".vk-reserve"; }

    off_t freeBytes() const
    {
        struct statvfs vfs = {};
        if (::statvfs(fs::path(databasePath).parent_path().c_str(), &vfs) != 0)
            return -1;
        return off_t(vfs.f_bavail) * off_t(vfs.f_frsize);
    }

    void ensureReserve()
    {
        struct stat st = {};
        if (databasePath.empty() || ::stat(reservePath().c_str(), &st) == 0)
            return;
        const off_t free = freeBytes();
        if (free >= 0 && free < 2 * ReserveBytes)
            return;
        const int fd = ::open(reservePath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const bool made = ::posix_fallocate(fd, 0, ReserveBytes) == 0;
        ::close(fd);
        if (!made)
            ::unlink(reservePath().c_str());
    }

    // Before a statement that frees space: on a full disk the reserve gives it room.
    void releaseReserveIfFull()
    {
        const off_t free = freeBytes();
        if (free >= 0 && free < ReserveBytes)
            ::unlink(reservePath().c_str());
    }

    // The journal of copies in progress: a file in the file-object directory, locked for as
    // long as this connection lives, naming each copy before it is made. A check of the
    // directory leaves the copies of a live connection alone; a connection that died (its
    // lock gone with it) left orphans at worst.
    bool announceCopy(const std::string &path)
    {
        if (journalFd < 0) {
            char name[64];
            std::snprintf(name, sizeof name, ".vk-pending-%ld-%08x", long(::getpid()),
                          unsigned(std::random_device{}()));
            // Made and locked under another name first: a check never sees it unlocked.
            const std::string making = fileObjectDir + ".vk-making-" + (name + 12);
            journalPath = fileObjectDir + name;
            journalFd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
            if (journalFd < 0)
                return false;
            if (::flock(journalFd, LOCK_EX | LOCK_NB) != 0 ||
                ::rename(making.c_str(), journalPath.c_str()) != 0) {
                ::unlink(making.c_str());
                ::close(journalFd);
                journalFd = -1;
                return false;
            }
        }
        const std::string line = fs::path(path).filename().string() + "\n";
        if (::write(journalFd, line.data(), line.size()) != ssize_t(line.size()))
            return false;
        ++copiesInProgress;
        return true;
    }

    // `count` copies are settled: committed, or removed again.
    void settleCopies(int count)
    {
        copiesInProgress -= count;
        if (copiesInProgress <= 0) {
            copiesInProgress = 0;
            if (journalFd >= 0 && ::ftruncate(journalFd, 0) != 0) {
                // A journal that keeps its names only protects a few files too long.
            }
        }
    }

    void closeJournal()
    {
        if (journalFd < 0)
            return;
        ::unlink(journalPath.c_str());
        ::close(journalFd);
        journalFd = -1;
    }

    void afterRollback()
    {
        invalidateCounters();
        // Copies whose catalog rows were rolled back go; those of an outer transaction that
        // is still open stay listed until it ends.
        std::vector<std::string> kept;
        for (const std::string &path : copiesInTransaction) {
            if (!isCataloged(path))
                removeQuietly(path);
            else
                kept.push_back(path);
        }
        if (!inTransaction()) {
            kept.clear();
            // SQLite may have ended the whole transaction (a full disk, for one): the rest of
            // the group must not go on committing statement by statement.
            if (explicitTransaction && !rollingBack) {
                transactionLost = true;
                lostDepth = transactionDepth;
                lostCode = t_lastError ? t_lastError : ErrSql;
                lostReason = t_lastErrorText;
            }
            transactionDepth = 0;
            explicitTransaction = false;
        }
        settleCopies(int(copiesInTransaction.size() - kept.size()));
        if (!inTransaction()) {
            for (auto it = movesToUndo.rbegin(); it != movesToUndo.rend(); ++it)
                moveBack(it->second, it->first);
            movesToUndo.clear();
            settleCopies(movesInTransaction);
            movesInTransaction = 0;
        }
        copiesInTransaction = std::move(kept);
        rolledBack = false;
    }

    // Puts a file moved by a move whose catalog change did not stay back where the catalog
    // says it is.
    void moveBack(const std::string &movedTo, const std::string &original)
    {
        std::error_code ec;
        if (fs::exists(movedTo, ec) && !fs::exists(original, ec)) {
            fs::create_directories(fs::path(original).parent_path(), ec);
            fs::rename(movedTo, original, ec);
        }
    }

    void afterCommit()
    {
        settleCopies(int(copiesInTransaction.size()) + movesInTransaction);
        movesInTransaction = 0;
        movesToUndo.clear();
        copiesInTransaction.clear();
        emptyTrash();
    }

    bool isCataloged(const std::string &path)
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "select 1 from main._vk_fileobj where dir||name=?", -1, &s, nullptr) !=
            SQLITE_OK)
            return true; // when in doubt, keep the file
        sqlite3_bind_text(s, 1, path.c_str(), -1, SQLITE_TRANSIENT);
        bool found = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_finalize(s);
        return found;
    }

    static void removeQuietly(const std::string &path)
    {
        std::error_code ec;
        fs::remove(path, ec);
    }

    // The counters are called from inside statements (column defaults and inserted values).
    bool reserveOids()
    {
        sqlite3_stmt *s = nullptr;
        sqlite3_int64 stored = 1;
        if (sqlite3_prepare_v2(db, "select value from main._vk_meta where key='next_oid'", -1, &s, nullptr) !=
            SQLITE_OK)
            return false;
        if (sqlite3_step(s) == SQLITE_ROW)
            stored = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        nextOid = std::max(nextOid, stored);
        const sqlite3_int64 limit = nextOid + OidBlock;
        if (exec("update main._vk_meta set value=" + std::to_string(limit) + " where key='next_oid'") !=
            SQLITE_OK)
            return false;
        oidLimit = limit;
        return true;
    }

    // Serial numbers are worked out from what is stored, under the write lock the inserting
    // statement holds, so two programs on one database never hand out the same number.
    // The table's triggers keep the stored counter past any value written explicitly.
    bool nextSerial(const std::string &table, const std::string &column, sqlite3_int64 &value)
    {
        const std::string key = table + "." + column;
        if (!serialRead && sqlite3_prepare_v3(db, "select next from main._vk_serial where name=?", -1,
                                              SQLITE_PREPARE_PERSISTENT, &serialRead, nullptr) != SQLITE_OK)
            return false;
        if (!serialWrite &&
            sqlite3_prepare_v3(db,
                               "insert into main._vk_serial(name, next) values (?, ?) on "
                               "conflict(name) do update set next=max(next, excluded.next)",
                               -1, SQLITE_PREPARE_PERSISTENT, &serialWrite, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_text(serialRead, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(serialRead);
        bool stored = rc == SQLITE_ROW;
        sqlite3_int64 next = stored ? sqlite3_column_int64(serialRead, 0) : 1;
        sqlite3_reset(serialRead);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return false;
        if (!stored) {
            // The first number of a counter: past what the table already holds.
            sqlite3_stmt *s = nullptr;
            const std::string q =
                "select max(" + quoteIdentifier(column) + ") from main." + quoteIdentifier(table);
            if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) == SQLITE_OK) {
                if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
                    next = std::max(next, sqlite3_column_int64(s, 0) + 1);
                sqlite3_finalize(s);
            }
        }
        value = next;
        sqlite3_bind_text(serialWrite, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(serialWrite, 2, value + 1);
        rc = sqlite3_step(serialWrite);
        sqlite3_reset(serialWrite);
        return rc == SQLITE_DONE;
    }
};

namespace {

void sqlOid(sqlite3_context *ctx, int, sqlite3_value **)
{
    auto *c = static_cast<DbConnection *>(sqlite3_user_data(ctx));
    if (c->nextOid >= c->oidLimit && !c->reserveOids()) {
        sqlite3_result_error(ctx, "the OID counter cannot be advanced", -1);
        return;
    }
    sqlite3_result_int64(ctx, c->nextOid++);
}

void sqlSerial(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *c = static_cast<DbConnection *>(sqlite3_user_data(ctx));
    const char *table = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const char *column = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    sqlite3_int64 value = 0;
    if (!table || !column || !c->nextSerial(table, column, value)) {
        sqlite3_result_error(ctx, "the serial counter cannot be advanced", -1);
        return;
    }
    sqlite3_result_int64(ctx, value);
}

void sqlUCase(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const char *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    std::string upper = upperCaseUtf8(text ? text : "");
    sqlite3_result_text(ctx, upper.c_str(), int(upper.size()), SQLITE_TRANSIENT);
}

void sqlNow(sqlite3_context *ctx, int, sqlite3_value **)
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    sqlite3_result_text(ctx, buf, -1, SQLITE_TRANSIENT);
}

// "a match b": b occurs in a, letters compared without regard to case.
// "a case match b" (SQLite's REGEXP operator after translation): the same, case-sensitive.
template <bool CaseSensitive> void sqlMatch(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const char *pattern = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const char *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    sqlite3_result_int(ctx, containsText(text ? text : "", pattern ? pattern : "", CaseSensitive));
}

bool isEngineName(const char *name)
{
    return name && strncasecmp(name, "_vk_", 4) == 0;
}

// The engine's own tables (_vk_*), their indexes and the triggers of every table belong to the
// engine: a statement of the program may read them, never write, drop, rename or alter them.
// The engine's triggers themselves write its tables, and are let through.
int authorize(void *arg, int action, const char *a, const char *b, const char *, const char *trigger)
{
    auto *c = static_cast<DbConnection *>(arg);
    if (!c->guardProgram || isEngineName(trigger) || c->alteringProgramTable)
        return SQLITE_OK;
    const char *what = nullptr;
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_DELETE:
        // SQLite's own counter of the file objects' ids is the engine's too: ids are never reused.
        what = isEngineName(a) || (a && equalsIgnoreCase(a, "sqlite_sequence")) ? a : nullptr;
        break;
    case SQLITE_CREATE_TABLE:
    case SQLITE_DROP_TABLE:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_VIEW:
        what = isEngineName(a) ? a : nullptr;
        break;
    case SQLITE_UPDATE:
        if (isEngineName(a) || (a && equalsIgnoreCase(a, "sqlite_sequence")))
            what = a;
        else if (b && equalsIgnoreCase(b, OidColumn)) {
            c->refusal = "A row's OID is the engine's: it cannot be changed.";
            return SQLITE_DENY;
        }
        break;
    case SQLITE_ALTER_TABLE:
        what = isEngineName(b) ? b : nullptr;
        // Renaming one of the program's tables makes SQLite read its triggers (the engine's
        // among them) again, which is no writing of the engine's tables.
        if (!what)
            c->alteringProgramTable = true;
        break;
    case SQLITE_CREATE_INDEX:
    case SQLITE_DROP_INDEX:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_DROP_TRIGGER:
        what = isEngineName(a) ? a : isEngineName(b) ? b : nullptr;
        break;
    case SQLITE_PRAGMA:
        // With the schema writable, a statement could rewrite any table's definition.
        if (a && equalsIgnoreCase(a, "writable_schema") && b) {
            c->refusal = "The schema cannot be made writable.";
            return SQLITE_DENY;
        }
        break;
    default:
        break;
    }
    if (!what)
        return SQLITE_OK;
    c->refusal = std::string("\"") + what +
                 "\" belongs to the storage engine: statements may read it, but never write, drop, rename "
                 "or alter it.";
    return SQLITE_DENY;
}

void sqlObjectPath(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    auto *c = static_cast<DbConnection *>(sqlite3_user_data(ctx));
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    bool bad = false;
    const std::string path = c->objectPath(reinterpret_cast<const char *>(sqlite3_value_text(argv[0])),
                                           reinterpret_cast<const char *>(sqlite3_value_text(argv[1])),
                                           sqlite3_value_int(argv[2]), &bad);
    if (bad)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, path.c_str(), int(path.size()), SQLITE_TRANSIENT);
}

void rollbackHook(void *arg)
{
    static_cast<DbConnection *>(arg)->rolledBack = true;
}

int registerFunctions(DbConnection *c)
{
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(c->db, "vk_oid", 0, flags, c, sqlOid, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc =
            sqlite3_create_function_v2(c->db, "vk_serial", 2, flags, c, sqlSerial, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(c->db, "UCase", 1, flags | SQLITE_DETERMINISTIC, c, sqlUCase, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(c->db, "now", 0, flags, c, sqlNow, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(c->db, "match", 2, flags | SQLITE_DETERMINISTIC, c, sqlMatch<false>,
                                        nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(c->db, "regexp", 2, flags | SQLITE_DETERMINISTIC, c, sqlMatch<true>,
                                        nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(c->db, "vk_objpath", 3, flags, c, sqlObjectPath, nullptr, nullptr,
                                        nullptr);
    sqlite3_rollback_hook(c->db, rollbackHook, c);
    if (rc == SQLITE_OK)
        rc = sqlite3_set_authorizer(c->db, authorize, c);
    return rc;
}

// The triggers that write a table's changes into the change log.
std::string changeTriggers(const std::string &table)
{
    const std::string t = quoteIdentifier(table);
    const std::string name = quoteLiteral(table);
    const std::string prefix = "_vk_" + table + "_";
    const std::string trim = "delete from _vk_changes where seq<=(select max(seq) from _vk_changes)-" +
                             std::to_string(ChangeLogLength) + ";";
    const char *const events[] = {"insert", "update", "delete"};
    std::string sql;
    for (int k = 0; k < 3; ++k) {
        const std::string row = k == 2 ? "old." : "new.";
        sql += "create trigger main." + quoteIdentifier(prefix + ChangeTriggerSuffixes[k]) + " after " +
               events[k] + " on " + t + " begin insert into _vk_changes(tbl,oid,op) values (" + name + "," +
               row + OidColumn + "," + std::to_string(k + 1) + ");" + trim + " end;";
    }
    return sql;
}

// The triggers of a table.
// - Every change of a row is noted in the change log.
// - A serial column given null is numbered; a value written into it explicitly moves the
//   stored counter past it (whoever writes it, the sqlite3 shell included).
// - A text written into a file column becomes an external object.
// - File objects count the rows that hold them: a row taking an object (a copy made by
//   DbBindFile, or an object id copied from another row) adds one, a row letting go of it
//   takes one away, and the last holder sends an internal copy to the trash, which is emptied
//   once the change is durable. An id that names no file object is refused.
int installTriggers(DbConnection *c, const std::string &written)
{
    // The table's name as it was created: statements may spell it in another case.
    std::string table = written;
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(
                c->db, "select name from main.sqlite_schema where type='table' and name=? collate nocase", -1,
                &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, written.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) == SQLITE_ROW)
                table = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
            sqlite3_finalize(s);
        }
    }
    const std::string t = quoteIdentifier(table);
    const std::string prefix = "_vk_" + table + "_";
    // Drop the triggers this table had.
    {
        sqlite3_stmt *s = nullptr;
        std::vector<std::string> old;
        if (sqlite3_prepare_v2(c->db,
                               "select name from main.sqlite_schema where type='trigger' and tbl_name=?", -1,
                               &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW) {
                std::string name = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
                if (name.rfind("_vk_", 0) == 0)
                    old.push_back(name);
            }
            sqlite3_finalize(s);
        }
        for (const std::string &name : old) {
            int rc = c->exec("drop trigger main." + quoteIdentifier(name));
            if (rc != SQLITE_OK)
                return rc;
        }
    }
    const std::vector<std::string> files = c->columnsOf(table, true);
    std::string sql;
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(c->db, "select name, dflt_value from main.pragma_table_info(?)", -1, &s,
                               nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW) {
                const char *dflt = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
                if (!dflt || std::strncmp(dflt, "vk_serial(", 10) != 0)
                    continue;
                const std::string name = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
                const std::string col = quoteIdentifier(name);
                const std::string key = quoteLiteral(table + "." + name);
                sql += "create trigger main." + quoteIdentifier(prefix + name + "_serial") +
                       " after insert on " + t + " when new." + col + " is null begin update " + t + " set " +
                       col + "=" + dflt + " where rowid=new.rowid; end;";
                for (const char *event : {"insert", "update"})
                    sql += "create trigger main." + quoteIdentifier(prefix + name + "_serial_" + event) +
                           " after " + event + (std::string(event) == "update" ? " of " + col : "") + " on " +
                           t + " when typeof(new." + col +
                           ")='integer' begin insert into _vk_serial(name,next) values (" + key + ",new." +
                           col + "+1) on conflict(name) do update set next=max(next,excluded.next); end;";
            }
            sqlite3_finalize(s);
        }
    }
    sql += changeTriggers(table);
    for (const std::string &file : files) {
        const std::string col = quoteIdentifier(file);
        auto take = [&](const std::string &row) {
            return "select raise(abort, 'no such file object') where typeof(" + row + "." + col +
                   ")='integer' and not exists (select 1 from _vk_fileobj where id=" + row + "." + col +
                   ");update _vk_fileobj set refs=refs+1 where id=" + row + "." + col + " and typeof(" + row +
                   "." + col + ")='integer';";
        };
        const std::string release = "update _vk_fileobj set refs=refs-1 where id=old." + col +
                                    " and typeof(old." + col +
                                    ")='integer';"
                                    "insert into _vk_trash(path) select dir||name from _vk_fileobj where "
                                    "id=old." +
                                    col + " and type=0 and refs<=0 and typeof(old." + col +
                                    ")='integer';"
                                    "delete from _vk_fileobj where id=old." +
                                    col + " and refs<=0 and typeof(old." + col + ")='integer';";
        // A text: a reference to the file where it lies (an empty text is no file). A text that
        // names one of the engine's own copies (a slide object sharing a library item's stored
        // file) holds that copy, so the copy stays for as long as either row needs it.
        const std::string isText = "typeof(new." + col + ")='text'";
        const std::string own =
            "(select id from _vk_fileobj where type=0 and dir||name=new." + col + " limit 1)";
        const std::string toExternal =
            "update _vk_fileobj set refs=refs+1 where id=" + own + " and " + isText + ";" +
            "insert into _vk_fileobj(dir,name,type,refs) select '',new." + col + ",1,1 where " + isText +
            " and new." + col + "<>'' and " + own + " is null;" + "update " + t + " set " + col +
            "=case when new." + col + "='' then null else coalesce(" + own +
            ", last_insert_rowid()) end where rowid=new.rowid and " + isText + ";";
        sql += "create trigger main." + quoteIdentifier(prefix + file + "_ins") + " after insert on " + t +
               " begin " + take("new") + toExternal + " end;";
        // The update that turns a text into an object id runs inside the insert trigger: the
        // object it names was counted there.
        sql += "create trigger main." + quoteIdentifier(prefix + file + "_upd") + " after update of " + col +
               " on " + t + " when old." + col + " is not new." + col + " and typeof(old." + col +
               ") is not 'text' begin " + take("new") + release + toExternal + " end;";
        sql += "create trigger main." + quoteIdentifier(prefix + file + "_del") + " after delete on " + t +
               " begin " + release + " end;";
    }
    return c->exec(sql);
}

// The names of the triggers installTriggers gives a table.
std::set<std::string> expectedTriggers(DbConnection *c, const std::string &table)
{
    std::set<std::string> names;
    const std::string prefix = "_vk_" + table + "_";
    for (const char *suffix : ChangeTriggerSuffixes)
        names.insert(prefix + suffix);
    for (const std::string &file : c->columnsOf(table, true))
        for (const char *suffix : {"_ins", "_upd", "_del"})
            names.insert(prefix + file + suffix);
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(c->db,
                           "select name from main.pragma_table_info(?) where dflt_value like "
                           "'vk\\_serial(%' escape '\\'",
                           -1, &s, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            const std::string name = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
            for (const char *suffix : {"_serial", "_serial_insert", "_serial_update"})
                names.insert(prefix + name + suffix);
        }
        sqlite3_finalize(s);
    }
    return names;
}

std::vector<std::string> userTables(sqlite3 *db);

// The engine's triggers of each table that another program dropped, "TABLE TRIGGER" each.
std::vector<std::string> missingTriggers(DbConnection *c, std::vector<std::string> *tables = nullptr)
{
    std::vector<std::string> missing;
    for (const std::string &table : userTables(c->db)) {
        if (!hasOidColumn(c->db, table))
            continue;
        std::set<std::string> present;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(c->db,
                               "select name from main.sqlite_schema where type='trigger' and tbl_name=?", -1,
                               &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW)
                present.insert(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
            sqlite3_finalize(s);
        }
        bool any = false;
        for (const std::string &name : expectedTriggers(c, table))
            if (!present.count(name)) {
                missing.push_back(table + " " + name);
                any = true;
            }
        if (any && tables)
            tables->push_back(table);
    }
    return missing;
}

// A database made before the change log gets it, and every table its change triggers, when it
// opens: that is a new part of the layout, not a repair, and nothing is reported. A database that cannot be written now goes
// without until it can.
int ensureChangeLog(DbConnection *c)
{
    auto lacking = [c] {
        std::vector<std::string> tables;
        for (const std::string &table : userTables(c->db)) {
            if (!hasOidColumn(c->db, table))
                continue;
            sqlite3_stmt *s = nullptr;
            int present = 0;
            if (sqlite3_prepare_v2(c->db,
                                   "select count(*) from main.sqlite_schema where type='trigger' and "
                                   "tbl_name=? and name in (?,?,?)",
                                   -1, &s, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
                for (int k = 0; k < 3; ++k) {
                    const std::string name = "_vk_" + table + "_" + ChangeTriggerSuffixes[k];
                    sqlite3_bind_text(s, k + 2, name.c_str(), -1, SQLITE_TRANSIENT);
                }
                if (sqlite3_step(s) == SQLITE_ROW)
                    present = sqlite3_column_int(s, 0);
                sqlite3_finalize(s);
            }
            if (present < 3)
                tables.push_back(table);
        }
        return tables;
    };
    const bool haveLog = [c] {
        sqlite3_stmt *s = nullptr;
        bool found = false;
        if (sqlite3_prepare_v2(c->db, "select 1 from main.sqlite_schema where type='table' and name='_vk_changes'",
                               -1, &s, nullptr) == SQLITE_OK) {
            found = sqlite3_step(s) == SQLITE_ROW;
            sqlite3_finalize(s);
        }
        return found;
    }();
    // With the log there, a trigger missing is another program's doing: put back, and said so,
    // with the engine's other triggers.
    if (haveLog)
        return SQLITE_OK;
    int rc = c->exec("begin immediate");
    if (rc != SQLITE_OK)
        return rc;
    rc = c->exec(ChangeLogTable);
    if (rc == SQLITE_OK)
        for (const std::string &table : lacking()) {
            std::string sql;
            for (const char *suffix : ChangeTriggerSuffixes)
                sql += "drop trigger if exists main." + quoteIdentifier("_vk_" + table + "_" + suffix) + ";";
            rc = c->exec(sql + changeTriggers(table));
            if (rc != SQLITE_OK)
                break;
        }
    if (rc == SQLITE_OK)
        rc = c->exec("commit");
    if (rc != SQLITE_OK)
        c->exec("rollback");
    return rc;
}

// Puts back the engine's triggers another program dropped: without them a deleted row would
// keep its copy for ever and a serial number could be handed out twice.
int restoreTriggers(DbConnection *c, std::vector<std::string> &restored)
{
    std::vector<std::string> tables;
    std::vector<std::string> missing = missingTriggers(c, &tables);
    if (missing.empty())
        return SQLITE_OK;
    int rc = c->exec("begin immediate");
    if (rc != SQLITE_OK)
        return rc;
    for (const std::string &table : tables)
        if (rc == SQLITE_OK)
            rc = installTriggers(c, table);
    if (rc == SQLITE_OK)
        rc = c->exec("commit");
    if (rc != SQLITE_OK) {
        c->exec("rollback");
        return rc;
    }
    restored.insert(restored.end(), missing.begin(), missing.end());
    return SQLITE_OK;
}

sqlite3_int64 metaValue(sqlite3 *db, const char *key, sqlite3_int64 fallback)
{
    sqlite3_stmt *s = nullptr;
    sqlite3_int64 value = fallback;
    if (sqlite3_prepare_v2(db, "select value from main._vk_meta where key=?", -1, &s, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(s, 1, key, -1, SQLITE_STATIC);
        if (sqlite3_step(s) == SQLITE_ROW)
            value = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    return value;
}

std::vector<std::string> userTables(sqlite3 *db)
{
    std::vector<std::string> tables;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(
            db,
            "select name from main.sqlite_schema where type='table' and name not like "
            "'\\_vk\\_%' escape '\\' and name not like 'sqlite\\_%' escape '\\' order by rowid",
            -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    return tables;
}

bool hasOidColumn(sqlite3 *db, const std::string &table)
{
    sqlite3_stmt *s = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "select 1 from main.pragma_table_info(?) where name=? and pk=1", -1, &s,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, OidColumn, -1, SQLITE_STATIC);
        found = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_finalize(s);
    }
    return found;
}

// Brings a database made by an earlier version up to the current layout, in one transaction:
// each table gets its OID column (holding the OIDs it has), file objects get their holder
// counts, and serial counters move past every stored value.
int upgradeFormat(DbConnection *c)
{
    if (metaValue(c->db, "format", 1) >= CurrentFormat)
        return SQLITE_OK;
    int rc = c->exec("begin immediate");
    if (rc != SQLITE_OK)
        return rc;
    // Another program may have done it while this one waited for the lock.
    if (metaValue(c->db, "format", 1) >= CurrentFormat)
        return c->exec("commit");
    auto step = [&](const std::string &sql) {
        if (rc == SQLITE_OK)
            rc = c->exec(sql);
    };
    step("pragma legacy_alter_table=on");
    if (rc == SQLITE_OK && c->columnsOf("_vk_fileobj").size() < 5)
        step("alter table main._vk_fileobj add column refs integer not null default 0");
    step("update main._vk_fileobj set refs=0");
    step("create index if not exists main._vk_fileobj_path on _vk_fileobj(dir||name)");
    for (const std::string &table : userTables(c->db)) {
        if (rc != SQLITE_OK)
            break;
        const std::string t = quoteIdentifier(table);
        if (!hasOidColumn(c->db, table)) {
            std::string createSql, indexSql;
            sqlite3_stmt *s = nullptr;
            if (sqlite3_prepare_v2(
                    c->db, "select type, sql from main.sqlite_schema where tbl_name=? and sql is not null",
                    -1, &s, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
                while (sqlite3_step(s) == SQLITE_ROW) {
                    const std::string type = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
                    const std::string text = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
                    if (type == "table")
                        createSql = text;
                    else if (type == "index")
                        indexSql += text + ";";
                }
                sqlite3_finalize(s);
            }
            // The stored statement with the OID column put first.
            std::vector<Token> tokens = tokenize(createSql);
            bool placed = false;
            for (Token &tok : tokens)
                if (tok.kind == Token::Punct && tok.text == "(") {
                    tok.text = "(" + std::string(OidColumn) + " integer primary key, ";
                    placed = true;
                    break;
                }
            if (!placed) {
                rc = SQLITE_CORRUPT;
                break;
            }
            std::string newSql;
            for (const Token &tok : tokens)
                newSql += tok.text;
            std::string cols;
            for (const std::string &col : c->columnsOf(table))
                cols += "," + quoteIdentifier(col);
            const std::string old = quoteIdentifier("_vk_old_" + table);
            step("alter table main." + t + " rename to " + old);
            step(newSql);
            step("insert into main." + t + "(" + OidColumn + cols + ") select rowid" + cols + " from main." +
                 old);
            step("drop table main." + old);
            step(indexSql);
        }
        if (rc == SQLITE_OK)
            rc = installTriggers(c, table);
        for (const std::string &col : c->columnsOf(table, true)) {
            const std::string q = quoteIdentifier(col);
            step("update main._vk_fileobj set refs=refs+h.n from (select " + q +
                 " as id, count(*) as n from main." + t + " where typeof(" + q + ")='integer' group by " + q +
                 ") as h where h.id=_vk_fileobj.id");
        }
        sqlite3_stmt *s = nullptr;
        if (rc == SQLITE_OK && sqlite3_prepare_v2(c->db,
                                                  "select name from main.pragma_table_info(?) where "
                                                  "dflt_value like 'vk\\_serial(%' escape '\\'",
                                                  -1, &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            std::vector<std::string> serialCols;
            while (sqlite3_step(s) == SQLITE_ROW)
                serialCols.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
            sqlite3_finalize(s);
            for (const std::string &col : serialCols)
                step("insert into main._vk_serial(name,next) select * from (select " +
                     quoteLiteral(table + "." + col) + ", max(" + quoteIdentifier(col) +
                     ")+1 as n from main." + t +
                     ") where n is not null on conflict(name) do update set next=max(next,excluded.next)");
        }
    }
    // An internal copy no row holds any more goes, once this is committed.
    step("insert into main._vk_trash(path) select dir||name from main._vk_fileobj where type=0 and refs<=0");
    step("delete from main._vk_fileobj where refs<=0");
    step("insert or replace into main._vk_meta(key,value) values ('format'," + std::to_string(CurrentFormat) +
         ")");
    if (rc == SQLITE_OK)
        rc = c->exec("commit");
    if (rc != SQLITE_OK)
        c->exec("rollback");
    c->exec("pragma legacy_alter_table=off");
    c->forgetTranslations();
    return rc;
}

int openDatabase(DbConnection *c, bool create)
{
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(c->databasePath.c_str(), &c->db, flags, nullptr);
    if (rc != SQLITE_OK)
        return c->sqliteError(rc);
    sqlite3_extended_result_codes(c->db, 1);
    sqlite3_busy_timeout(c->db, 5000);
    sqlite3_db_config(c->db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 1, nullptr);
    // Reading the schema is the first access to the file: a damaged file or one that is not a
    // database is found here, before anything is changed.
    rc = c->exec("select count(*) from main.sqlite_schema");
    if (rc == SQLITE_OK)
        rc = c->exec("pragma journal_mode=wal; pragma synchronous=normal; pragma recursive_triggers=off;"
                     " pragma case_sensitive_like=on; pragma foreign_keys=off;");
    if (rc == SQLITE_OK && create)
        rc = c->exec(SystemSchema);
    if (rc == SQLITE_OK)
        rc = registerFunctions(c);
    if (rc == SQLITE_OK)
        rc = c->exec(CatalogViews);
    if (rc != SQLITE_OK)
        return c->sqliteError(rc);
    // The engine's tables must be there: a plain SQLite file is not one of our databases.
    sqlite3_stmt *s = nullptr;
    bool ours = false;
    if (sqlite3_prepare_v2(c->db, "select 1 from main.sqlite_schema where name='_vk_fileobj'", -1, &s,
                           nullptr) == SQLITE_OK) {
        ours = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_finalize(s);
    }
    if (!ours) {
        // Tables with the engine's OID column: one of ours whose catalogue another program removed.
        for (const std::string &table : userTables(c->db))
            if (hasOidColumn(c->db, table))
                return fail(ErrNotADatabase, "The database \"" + c->databasePath +
                                                 "\" has lost the storage engine's own tables; a repair "
                                                 "(vkctl check --repair) rebuilds them from what is stored.");
        return fail(ErrNotADatabase, "The file \"" + c->databasePath + "\" is not a Vellumark database.");
    }
    if (!create && (rc = upgradeFormat(c)) != SQLITE_OK)
        return c->sqliteError(rc, "bringing the database's tables up to date");
    if (!create) {
        ensureChangeLog(c);
        // A database that cannot be written now still opens: a check then reports what is missing.
        restoreTriggers(c, c->restoredTriggers);
    }
    // Only speeds reads up: a database that cannot take it now (read-only, busy) is read without.
    c->exec(FileKindIndex);
    c->emptyTrash();
    return ok();
}

struct SourceKeys
{
    std::string dbDir, foDir;
    bool recoveryMode = false;
};

bool quickCheckPasses(sqlite3 *db)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, "pragma quick_check", -1, &s, nullptr) != SQLITE_OK)
        return false;
    bool good = sqlite3_step(s) == SQLITE_ROW &&
                std::strcmp(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)), "ok") == 0;
    sqlite3_finalize(s);
    return good;
}

// Recovery mode (DB_SMODE 2): a damaged database is checked and, where SQLite can still read
// it, repaired in place (damaged indexes are rebuilt). Otherwise it is salvaged: every row
// that can still be read goes into a fresh file that takes the database's place, and the
// damaged file is kept beside it (name.db.damaged-TIMESTAMP) so that nothing is thrown away.
bool recoverInPlace(const std::string &path, std::string &error, SalvageReport *report)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close_v2(db);
        return false;
    }
    const bool schemaReadable =
        sqlite3_exec(db, "select count(*) from sqlite_schema", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (schemaReadable &&
        (quickCheckPasses(db) ||
         (sqlite3_exec(db, "reindex", nullptr, nullptr, nullptr) == SQLITE_OK && quickCheckPasses(db)))) {
        sqlite3_close_v2(db);
        return true;
    }
    sqlite3_close_v2(db);
    SalvageReport salvaged;
    if (!salvageDatabase(path, salvaged, error))
        return false;
    if (report)
        *report = std::move(salvaged);
    return true;
}

int readSource(const std::string &dataSource, DbEnvironment *env, SourceKeys &keys)
{
    if (!env)
        return fail(ErrMisuse, "No configuration file was given.");
    ConfigFile config(env->configPath);
    if (!config.hasSection(dataSource))
        return fail(ErrNoDataSource,
                    "There is no data source \"" + dataSource + "\" in " + env->configPath + ".");
    keys.dbDir = config.unquotedValue(dataSource, "DB_DBDIR");
    keys.foDir = config.unquotedValue(dataSource, "DB_FODIR");
    keys.recoveryMode = config.unquotedValue(dataSource, "DB_SMODE") == "2";
    if (keys.dbDir.empty())
        return fail(ErrNoDatabase,
                    "The data source \"" + dataSource + "\" names no database directory (DB_DBDIR).");
    while (keys.dbDir.size() > 1 && (keys.dbDir.back() == '/' || keys.dbDir.back() == '\\'))
        keys.dbDir.pop_back();
    if (keys.foDir.empty())
        keys.foDir = keys.dbDir + "/folder";
    while (keys.foDir.size() > 1 && (keys.foDir.back() == '/' || keys.foDir.back() == '\\'))
        keys.foDir.pop_back();
    return ok();
}

} // namespace

class DbStatement
{
public:
    DbConnection *conn = nullptr;
    std::shared_ptr<const Translation> tr;
    std::string originalText;
    sqlite3_stmt *stmt = nullptr;
    int nextParam = 1;
    bool executed = false;
    int stepState = SQLITE_DONE;          // SQLITE_ROW: a row is waiting to be fetched
    bool rowHeld = false;                 // DbFetchRow left the current row in place: step before the next
    std::vector<std::string> columnTexts; // an OID's digits or a file object's path, for DbColumnText
    std::vector<ColumnKind> columnKinds;
    std::vector<std::pair<int, std::string>> pendingFiles; // parameter index, path of the internal copy
    std::vector<std::string> logValues;
    int columnFile = -1;
    std::string columnFilePath;
    std::string insertedOid;

    std::vector<std::string> specialValues; // the `?` values of a statement the engine runs itself

    ~DbStatement()
    {
        dropPendingFiles();
        if (stmt)
            conn->release(tr->sql, stmt);
    }

    // Copies bound to values that were never stored go again.
    void dropPendingFiles()
    {
        for (auto &[index, path] : pendingFiles)
            DbConnection::removeQuietly(path);
        conn->settleCopies(int(pendingFiles.size()));
        pendingFiles.clear();
    }

    void computeColumnKinds()
    {
        const int n = sqlite3_column_count(stmt);
        columnKinds.assign(size_t(n), ColumnKind::Plain);
        for (int i = 0; i < n; ++i) {
            const char *decl = sqlite3_column_decltype(stmt, i);
            // A row's OID is its rowid; SQLite names that column "rowid" whatever alias was written.
            const char *origin = sqlite3_column_origin_name(stmt, i);
            if (decl && equalsIgnoreCase(decl, "file blob"))
                columnKinds[size_t(i)] = ColumnKind::File;
            else if (origin && (equalsIgnoreCase(origin, "rowid") || std::strcmp(origin, OidColumn) == 0))
                columnKinds[size_t(i)] = ColumnKind::Oid;
        }
    }
};

namespace {

int runStep(DbStatement *st, std::string *oid);

// Runs a statement the engine handles itself, or a plain one without parameters.
int runSpecial(DbConnection *c, const Translation &tr, const std::vector<std::string> &values = {})
{
    const std::string &from = values.size() == 2 ? values[0] : tr.moveFrom;
    const std::string &to = values.size() == 2 ? values[1] : tr.moveTo;
    switch (tr.kind) {
    case Translation::Commit: {
        // Inside a nested transaction the outermost one decides.
        if (!c->inTransaction() || c->transactionDepth > 1)
            return ok();
        int rc = c->exec("commit");
        if (rc != SQLITE_OK)
            return c->sqliteError(rc);
        c->afterCommit();
        // Inside a transaction the program opened, "commit" keeps it open for what follows.
        if (c->explicitTransaction && (rc = c->exec("begin immediate")) != SQLITE_OK) {
            // What was done so far is committed; what follows must not go on statement by
            // statement as if it were still one change.
            const int err = c->sqliteError(rc);
            c->transactionLost = true;
            c->lostDepth = c->transactionDepth;
            c->lostCode = t_lastError;
            c->lostReason = t_lastErrorText;
            c->explicitTransaction = false;
            c->transactionDepth = 0;
            return err;
        }
        return ok();
    }
    case Translation::Rollback:
        return DbRollback(c);
    case Translation::MoveFileObject: {
        // The write lock first, then the catalog, then the files: two programs moving the same
        // objects take turns, and the second finds them where the first put them.
        const bool outer = !c->inTransaction();
        if (outer) {
            const int rc = c->exec("begin immediate");
            if (rc != SQLITE_OK)
                return c->sqliteError(rc);
        }
        // The data source's configuration may name another directory since this connection opened.
        c->refreshTrustedDirs();
        MoveResult r = moveFileObject(
            c->db, from, to, [c](const std::string &path) { return c->announceCopy(path); },
            [c](const std::string &dir) { return c->isTrustedDir(dir); });
        if (outer) {
            const int rc = r.ok ? c->exec("commit") : SQLITE_OK;
            if (!r.ok || rc != SQLITE_OK) {
                c->exec("rollback");
                // The catalog is as it was: so are the files.
                for (auto it = r.movedOnDisk.rbegin(); it != r.movedOnDisk.rend(); ++it)
                    c->moveBack(it->second, it->first);
                c->settleCopies(r.announced);
                if (r.ok)
                    return c->sqliteError(rc);
                c->invalidateCounters();
                return fail(ErrFileObject, r.error);
            }
            c->settleCopies(r.announced);
            return ok();
        }
        if (!r.ok) {
            c->settleCopies(r.announced);
            c->invalidateCounters();
            return fail(ErrFileObject, r.error);
        }
        // Inside the program's transaction: settled when it ends, and put back if it rolls back.
        c->movesInTransaction += r.announced;
        c->movesToUndo.insert(c->movesToUndo.end(), r.movedOnDisk.begin(), r.movedOnDisk.end());
        return ok();
    }
    case Translation::DropTable: {
        c->releaseReserveIfFull();
        // In a savepoint of its own, inside a transaction too: a drop that fails leaves no
        // file of the table on the way out.
        if (c->exec("savepoint vk_drop") != SQLITE_OK)
            return c->sqliteError(sqlite3_errcode(c->db));
        int rc = SQLITE_OK;
        const std::string t = "main." + quoteIdentifier(tr.table);
        for (const std::string &col : c->columnsOf(tr.table, true)) {
            const std::string q = quoteIdentifier(col);
            // Only the objects this table held: a copy a repair kept for no row stays kept.
            const std::string held =
                " and id in (select " + q + " from " + t + " where typeof(" + q + ")='integer')";
            rc = c->exec(
                "update main._vk_fileobj set refs=refs-h.n from (select " + q +
                " as id, count(*) as n from " + t + " where typeof(" + q + ")='integer' group by " + q +
                ") as h where h.id=_vk_fileobj.id;"
                "insert into main._vk_trash(path) select dir||name from main._vk_fileobj where type=0 "
                "and refs<=0" +
                held + "; delete from main._vk_fileobj where refs<=0" + held + ";");
            if (rc != SQLITE_OK)
                break;
        }
        if (rc == SQLITE_OK)
            rc = c->exec(tr.sql);
        if (rc == SQLITE_OK)
            rc = c->exec("release vk_drop");
        if (rc != SQLITE_OK) {
            const int err = c->sqliteError(rc, tr.table);
            if (c->inTransaction()) {
                c->exec("rollback to vk_drop");
                c->exec("release vk_drop");
            }
            return err;
        }
        c->forgetTranslations();
        c->emptyTrash();
        return ok();
    }
    default:
        return ok();
    }
}

bool isSpecial(const Translation &tr)
{
    return tr.kind == Translation::Commit || tr.kind == Translation::Rollback ||
           tr.kind == Translation::MoveFileObject || tr.kind == Translation::DropTable;
}

void logStatement(DbStatement *st)
{
    if (st->conn->log)
        st->conn->log(DbLogEntry{st->originalText, st->logValues});
}

// After a statement that changed the schema: the triggers of a new file column, and
// translations that depended on the old column lists.
int afterSchemaChange(DbConnection *c, const Translation &tr)
{
    c->forgetTranslations();
    // A new table gets its triggers (the change log's at least).
    bool needed = tr.kind == Translation::CreateTable;
    for (const ColumnSpec &col : tr.columns)
        needed = needed || col.isFile || col.isSerial;
    if (!needed)
        return SQLITE_OK;
    return installTriggers(c, tr.table);
}

int runStep(DbStatement *st, std::string *oid)
{
    DbConnection *c = st->conn;
    const Translation &tr = *st->tr;
    if (st->executed) {
        sqlite3_reset(st->stmt);
        st->executed = false;
    }
    if (c->rolledBack)
        c->afterRollback();
    if (c->transactionLost)
        return c->failLostTransaction();
    logStatement(st);

    const bool schemaChange = tr.kind == Translation::CreateTable || tr.kind == Translation::AlterAdd;
    const bool guarded = !st->pendingFiles.empty() || schemaChange;
    const bool outer = !c->inTransaction();
    if (guarded && c->exec("savepoint vk_stmt") != SQLITE_OK)
        return c->sqliteError(sqlite3_errcode(c->db));

    auto abandon = [&](int rc) {
        const int err = c->sqliteError(rc, tr.table);
        if (guarded) {
            c->exec("rollback to vk_stmt");
            c->exec("release vk_stmt");
            c->invalidateCounters();
        }
        if (c->rolledBack)
            c->afterRollback();
        return err;
    };

    // The internal copies become file objects now, inside the statement's savepoint.
    std::vector<sqlite3_int64> fileIds;
    for (auto &[index, path] : st->pendingFiles) {
        const fs::path p(path);
        sqlite3_stmt *ins = nullptr;
        int rc = sqlite3_prepare_v2(c->db, "insert into main._vk_fileobj(dir,name,type) values (?,?,0)", -1,
                                    &ins, nullptr);
        if (rc != SQLITE_OK)
            return abandon(rc);
        const std::string dir = p.parent_path().string() + "/";
        const std::string name = p.filename().string();
        sqlite3_bind_text(ins, 1, dir.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(ins);
        sqlite3_finalize(ins);
        if (rc != SQLITE_DONE)
            return abandon(rc);
        fileIds.push_back(sqlite3_last_insert_rowid(c->db));
        sqlite3_bind_int64(st->stmt, index, fileIds.back());
    }

    if (tr.frees)
        c->releaseReserveIfFull();
    const sqlite3_int64 oidBefore = c->nextOid;
    int rc = sqlite3_step(st->stmt);
    st->executed = true;
    st->rowHeld = false;
    if (rc == SQLITE_ROW) {
        st->stepState = SQLITE_ROW;
    } else if (rc == SQLITE_DONE) {
        st->stepState = SQLITE_DONE;
    } else {
        st->stepState = SQLITE_DONE;
        return abandon(rc);
    }
    if (schemaChange && (rc = afterSchemaChange(c, tr)) != SQLITE_OK)
        return abandon(rc);
    // A copy the statement did not store in any row (an update that matched none) is no
    // file object: it goes with its catalog entry.
    std::vector<std::string> unused;
    if (!fileIds.empty() && st->stepState == SQLITE_DONE) {
        sqlite3_stmt *q = nullptr;
        if ((rc = sqlite3_prepare_v2(c->db, "delete from main._vk_fileobj where id=? and refs<=0", -1, &q,
                                     nullptr)) != SQLITE_OK)
            return abandon(rc);
        for (size_t i = 0; i < fileIds.size(); ++i) {
            sqlite3_bind_int64(q, 1, fileIds[i]);
            rc = sqlite3_step(q);
            sqlite3_reset(q);
            if (rc != SQLITE_DONE) {
                sqlite3_finalize(q);
                return abandon(rc);
            }
            if (sqlite3_changes(c->db) > 0)
                unused.push_back(st->pendingFiles[i].second);
        }
        sqlite3_finalize(q);
    }
    if (guarded) {
        if ((rc = c->exec("release vk_stmt")) != SQLITE_OK)
            return abandon(rc);
        int settled = 0;
        for (auto &[index, path] : st->pendingFiles) {
            if (std::find(unused.begin(), unused.end(), path) != unused.end()) {
                DbConnection::removeQuietly(path);
                ++settled;
            } else if (!outer) {
                c->copiesInTransaction.push_back(path);
            } else {
                ++settled;
            }
        }
        c->settleCopies(settled);
        st->pendingFiles.clear();
    }
    st->insertedOid =
        tr.kind == Translation::Insert && c->nextOid != oidBefore ? formatOid(c->nextOid - 1) : std::string();
    if (oid && !st->insertedOid.empty())
        *oid = st->insertedOid;
    if (st->stepState == SQLITE_DONE && !c->inTransaction() && !sqlite3_stmt_readonly(st->stmt))
        c->emptyTrash();
    return ok();
}

int writeColumnToFile(DbStatement *st, int column, const std::string &path)
{
    if (column >= sqlite3_column_count(st->stmt))
        return fail(ErrMisuse, "The statement has no column " + std::to_string(column) + ".");
    if (st->columnKinds[size_t(column)] == ColumnKind::File) {
        if (sqlite3_column_type(st->stmt, column) == SQLITE_NULL)
            return fail(ErrFileObject, "The row holds no file.");
        const std::string source = st->conn->fileNameOf(sqlite3_column_int64(st->stmt, column));
        if (source.empty())
            return fail(ErrFileObject, "The row's file object is not a plain name inside the file-object "
                                       "directory; it is not opened.");
        std::string error;
        bool full = false;
        if (!copyFile(source, path, false, error, &full))
            return fail(full ? ErrDiskFull : ErrFileObject, error);
        return ok();
    }
    const void *data = sqlite3_column_blob(st->stmt, column);
    const int size = sqlite3_column_bytes(st->stmt, column);
    std::string error;
    bool full = false;
    if (!writeWholeFile(path, static_cast<const char *>(data), size_t(size), error, &full))
        return fail(full ? ErrDiskFull : ErrFileObject, error);
    return ok();
}

} // namespace

namespace {

// Every program connected to a data source holds a shared lock on a file beside its database;
// rebuilding the database needs it alone, so that no program goes on writing into the
// damaged file once it has been set aside.
int lockSource(const std::string &databasePath, bool alone, int &fd)
{
    const std::string path = databasePath + ".vk-lock";
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(ErrFileAccess,
                    "The lock file \"" + path + "\" cannot be opened: " + std::strerror(errno) + ".");
    if (::flock(fd, (alone ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
        return fail(ErrBusy, alone ? "Another program (the workspace or vkctl) has the database \"" +
                                         databasePath + "\" open. Close it, then repair the database again."
                                   : "The database \"" + databasePath +
                                         "\" is being repaired. Try again when that is done.");
    }
    return ok();
}

} // namespace

int DbConnect(DbConnection **connection, const std::string &dataSource, const std::string &user,
              const std::string &password, DbEnvironment *environment)
{
    (void)user;
    (void)password;
    if (!connection)
        return fail(ErrMisuse, "No connection record was given.");
    *connection = nullptr;
    SourceKeys keys;
    if (readSource(dataSource, environment, keys) != DbOk)
        return DbFailed;
    auto c = std::make_unique<DbConnection>();
    c->dataSource = dataSource;
    c->databasePath = keys.dbDir + "/" + dataSource + ".db";
    c->fileObjectDir = keys.foDir + "/";
    c->configPath = environment->configPath;
    c->refreshTrustedDirs();
    std::error_code ec;
    if (!fs::exists(c->databasePath, ec))
        return fail(ErrNoDatabase, "The database of the data source \"" + dataSource +
                                       "\" was not found at \"" + c->databasePath + "\".");
    if (lockSource(c->databasePath, keys.recoveryMode, c->sourceLockFd) != DbOk)
        return DbFailed;
    if (keys.recoveryMode) {
        std::string error;
        c->recovery = std::make_unique<SalvageReport>();
        if (!recoverInPlace(c->databasePath, error, c->recovery.get()))
            return fail(ErrRecoveryNeeded, "The database \"" + c->databasePath +
                                               "\" is damaged beyond what recovery mode can repair (" +
                                               error + "). Restore it from a copy.");
        ::flock(c->sourceLockFd, LOCK_SH); // done alone; from now on shared like any other
    }
    if (openDatabase(c.get(), false) != DbOk)
        return DbFailed;
    c->refreshTrustedDirs(true);
    c->ensureReserve();
    *connection = c.release();
    return ok();
}

int DbDisconnect(DbConnection *connection, DbEnvironment *)
{
    if (!connection)
        return fail(ErrMisuse, "There is no connection to close.");
    if (connection->inTransaction())
        DbRollback(connection);
    connection->close();
    delete connection;
    return ok();
}

int DbCreate(const std::string &dataSource, DbEnvironment *environment, DbConnection **connection)
{
    if (!connection)
        return fail(ErrMisuse, "No connection record was given.");
    *connection = nullptr;
    SourceKeys keys;
    if (readSource(dataSource, environment, keys) != DbOk)
        return DbFailed;
    std::error_code ec;
    fs::create_directories(keys.dbDir, ec);
    if (!fs::is_directory(keys.dbDir))
        return fail(ErrFileAccess, "The database directory \"" + keys.dbDir + "\" cannot be made.");
    fs::create_directories(keys.foDir, ec);
    if (!fs::is_directory(keys.foDir))
        return fail(ErrNoFileObjectDir, "The file-object directory \"" + keys.foDir + "\" cannot be made.");
    auto c = std::make_unique<DbConnection>();
    c->dataSource = dataSource;
    c->databasePath = keys.dbDir + "/" + dataSource + ".db";
    c->fileObjectDir = keys.foDir + "/";
    c->configPath = environment->configPath;
    if (fs::exists(c->databasePath, ec))
        return fail(ErrDatabaseExists, "A database already exists at \"" + c->databasePath + "\".");
    if (lockSource(c->databasePath, false, c->sourceLockFd) != DbOk)
        return DbFailed;
    if (openDatabase(c.get(), true) != DbOk) {
        c->close();
        fs::remove(c->databasePath, ec);
        return DbFailed;
    }
    c->refreshTrustedDirs(true);
    c->ensureReserve();
    *connection = c.release();
    return ok();
}

void DbCloseCreate(DbEnvironment *, DbConnection **connection)
{
    if (connection && *connection) {
        delete *connection;
        *connection = nullptr;
    }
}

int DbPrepare(DbConnection *connection, const std::string &sql, DbStatement **statement)
{
    if (!statement)
        return fail(ErrMisuse, "No statement record was given.");
    *statement = nullptr;
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    DbConnection *c = connection;
    if (c->rolledBack)
        c->afterRollback();
    if (c->transactionLost)
        return c->failLostTransaction();
    auto tr = c->translation(sql);
    if (!tr->error.empty())
        return fail(tr->manyStatements ? ErrManyStatements : ErrSyntax, tr->error + " Statement: " + sql);
    if (tr->kind == Translation::DropTable && isEngineName(tr->table.c_str()))
        return fail(ErrEngineTable, "\"" + tr->table +
                                        "\" belongs to the storage engine: statements may read it, but never "
                                        "write, drop, rename or alter it.");

    auto st = std::make_unique<DbStatement>();
    st->conn = c;
    st->tr = tr;
    st->originalText = sql;
    if (isSpecial(*tr) && tr->paramCount > 0) {
        // Runs at DbExecute, once its values are given.
        *statement = st.release();
        ok();
        return DbNeedParams;
    }
    if (isSpecial(*tr)) {
        if (c->log)
            c->log(DbLogEntry{sql, {}});
        const int rc = runSpecial(c, *tr);
        if (rc != DbOk)
            return rc;
        *statement = st.release();
        return ok();
    }
    int rc = SQLITE_OK;
    st->stmt = c->acquire(tr->sql, rc);
    if (!st->stmt && !c->refusal.empty())
        return fail(c->refusalCode, c->refusal);
    if (!st->stmt)
        return c->sqliteError(rc == SQLITE_OK ? SQLITE_ERROR : rc, sql);
    st->computeColumnKinds();
    const int params = sqlite3_bind_parameter_count(st->stmt);
    if (params > 0) {
        *statement = st.release();
        ok();
        return DbNeedParams;
    }
    rc = runStep(st.get(), nullptr);
    if (rc != DbOk)
        return rc;
    *statement = st.release();
    return ok();
}

int DbBindParam(DbStatement *statement, const std::string &text, int length)
{
    if (statement && !statement->stmt && statement->tr && statement->tr->paramCount > 0) {
        DbStatement *st = statement;
        if (int(st->specialValues.size()) >= st->tr->paramCount)
            return fail(ErrParameters,
                        "The statement takes only " + std::to_string(st->tr->paramCount) + " values.");
        st->specialValues.push_back(length == -1  ? std::string()
                                    : length >= 0 ? text.substr(0, size_t(length))
                                                  : text.c_str());
        if (st->conn->log)
            st->logValues.push_back(length == -1 ? "NULL" : st->specialValues.back());
        ok();
        return int(st->specialValues.size()) < st->tr->paramCount ? DbNeedParams : DbOk;
    }
    if (!statement || !statement->stmt)
        return fail(ErrMisuse, "The statement takes no values.");
    DbStatement *st = statement;
    const int count = sqlite3_bind_parameter_count(st->stmt);
    if (st->nextParam > count)
        return fail(ErrParameters, "The statement takes only " + std::to_string(count) + " values.");
    int rc;
    if (length == -1) {
        rc = sqlite3_bind_null(st->stmt, st->nextParam);
        if (st->conn->log)
            st->logValues.emplace_back("NULL");
    } else {
        const size_t n = length >= 0 ? std::min(size_t(length), text.size()) : std::strlen(text.c_str());
        rc = sqlite3_bind_text(st->stmt, st->nextParam, text.data(), int(n), SQLITE_TRANSIENT);
        if (st->conn->log)
            st->logValues.emplace_back(text.substr(0, n));
    }
    if (rc != SQLITE_OK)
        return st->conn->sqliteError(rc);
    ++st->nextParam;
    ok();
    return st->nextParam <= count ? DbNeedParams : DbOk;
}

int DbBindFile(DbStatement *statement, const std::string &path)
{
    if (!statement || !statement->stmt)
        return fail(ErrMisuse, "The statement takes no values.");
    DbStatement *st = statement;
    const int count = sqlite3_bind_parameter_count(st->stmt);
    if (st->nextParam > count)
        return fail(ErrParameters, "The statement takes only " + std::to_string(count) + " values.");
    std::string copy, error;
    bool full = false;
    DbConnection *c = st->conn;
    bool announced = false;
    const bool made = makeInternalCopy(
        path, c->fileObjectDir, copy, error,
        [c, &announced](const std::string &p) { return announced = c->announceCopy(p); }, &full);
    if (!made) {
        if (announced)
            c->settleCopies(1);
        return fail(full ? ErrDiskFull : ErrFileObject, error);
    }
    st->pendingFiles.emplace_back(st->nextParam, copy);
    if (st->conn->log)
        st->logValues.emplace_back("file:" + path);
    ++st->nextParam;
    ok();
    return st->nextParam <= count ? DbNeedParams : DbOk;
}

int DbNextParamSet(DbStatement *statement)
{
    if (!statement)
        return fail(ErrMisuse, "No statement was given.");
    DbStatement *st = statement;
    if (st->stmt) {
        sqlite3_reset(st->stmt);
        sqlite3_clear_bindings(st->stmt);
    }
    st->dropPendingFiles();
    st->specialValues.clear();
    st->executed = false;
    st->stepState = SQLITE_DONE;
    st->rowHeld = false;
    st->nextParam = 1;
    st->logValues.clear();
    return ok();
}

int DbExecute(DbStatement *statement, std::string *oid)
{
    if (statement && !statement->stmt && statement->tr && statement->tr->paramCount > 0) {
        DbStatement *st = statement;
        if (int(st->specialValues.size()) < st->tr->paramCount)
            return fail(ErrParameters, "The statement needs " + std::to_string(st->tr->paramCount) +
                                           " values; " + std::to_string(st->specialValues.size()) +
                                           " were given.");
        if (st->conn->rolledBack)
            st->conn->afterRollback();
        if (st->conn->transactionLost)
            return st->conn->failLostTransaction();
        logStatement(st);
        const int rc = runSpecial(st->conn, *st->tr, st->specialValues);
        st->specialValues.clear();
        st->logValues.clear();
        return rc;
    }
    if (!statement || !statement->stmt)
        return fail(ErrMisuse, "There is no statement to execute.");
    DbStatement *st = statement;
    const int count = sqlite3_bind_parameter_count(st->stmt);
    if (st->nextParam <= count)
        return fail(ErrParameters, "The statement needs " + std::to_string(count) + " values; " +
                                       std::to_string(st->nextParam - 1) + " were given.");
    const int rc = runStep(st, oid);
    // The next set of values starts from the first marker again.
    st->nextParam = 1;
    return rc;
}

namespace {

// Steps past a row DbFetchRow left in place.
void releaseHeldRow(DbStatement *st)
{
    if (!st->rowHeld)
        return;
    st->rowHeld = false;
    st->stepState = sqlite3_step(st->stmt);
}

// Before a row is read: whether there is one (DbOk), or why not.
int rowWaiting(DbStatement *st)
{
    if (!st->stmt || !st->executed)
        return st->stmt ? fail(ErrMisuse, "The statement has not been executed.") : DbNoMoreRows;
    releaseHeldRow(st);
    if (st->stepState == SQLITE_DONE)
        return DbNoMoreRows;
    if (st->stepState != SQLITE_ROW) {
        const int rc = st->stepState;
        st->stepState = SQLITE_DONE;
        return st->conn->sqliteError(rc);
    }
    // SQLite prepares a statement again when another program changed the schema; its
    // columns may then differ from those it was first prepared with.
    if (size_t(sqlite3_column_count(st->stmt)) != st->columnKinds.size())
        st->computeColumnKinds();
    return DbOk;
}

} // namespace

int DbGetData(DbStatement *statement, std::vector<std::string> &values)
{
    values.clear();
    if (!statement)
        return fail(ErrMisuse, "No statement was given.");
    DbStatement *st = statement;
    if (const int waiting = rowWaiting(st); waiting != DbOk)
        return waiting;
    const int n = sqlite3_column_count(st->stmt);
    int result = DbOk;
    values.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        if (i == st->columnFile) {
            result = writeColumnToFile(st, i, st->columnFilePath);
            continue;
        }
        const int type = sqlite3_column_type(st->stmt, i);
        if (type == SQLITE_NULL)
            continue;
        switch (st->columnKinds[size_t(i)]) {
        case ColumnKind::File:
            values[size_t(i)] = type == SQLITE_INTEGER
                                    ? st->conn->fileNameOf(sqlite3_column_int64(st->stmt, i))
                                    : reinterpret_cast<const char *>(sqlite3_column_text(st->stmt, i));
            break;
        case ColumnKind::Oid:
            if (type == SQLITE_INTEGER) {
                formatOidInto(sqlite3_column_int64(st->stmt, i), values[size_t(i)]);
                break;
            }
            [[fallthrough]];
        case ColumnKind::Plain: {
            const unsigned char *text = sqlite3_column_text(st->stmt, i);
            values[size_t(i)].assign(reinterpret_cast<const char *>(text),
                                     size_t(sqlite3_column_bytes(st->stmt, i)));
            break;
        }
        }
    }
    // Advance for the next call.
    const int rc = sqlite3_step(st->stmt);
    if (rc == SQLITE_ROW) {
        st->stepState = SQLITE_ROW;
    } else {
        // The row answered now is good; an error shows at the next fetch.
        st->stepState = rc;
    }
    if (result != DbOk)
        return result;
    return ok();
}

int DbFetchRow(DbStatement *statement)
{
    if (!statement)
        return fail(ErrMisuse, "No statement was given.");
    DbStatement *st = statement;
    if (const int waiting = rowWaiting(st); waiting != DbOk)
        return waiting;
    // The row stays where SQLite has it; the step to the next one waits for the next fetch.
    st->rowHeld = true;
    return ok();
}

DbValueType DbColumnType(DbStatement *statement, int column)
{
    if (!statement || !statement->rowHeld || column < 0 || column >= int(statement->columnKinds.size()))
        return DbValueType::Null;
    switch (sqlite3_column_type(statement->stmt, column)) {
    case SQLITE_INTEGER:
        return DbValueType::Integer;
    case SQLITE_FLOAT:
        return DbValueType::Real;
    case SQLITE_TEXT:
        return DbValueType::Text;
    case SQLITE_BLOB:
        return DbValueType::Blob;
    default:
        return DbValueType::Null;
    }
}

std::string_view DbColumnText(DbStatement *statement, int column)
{
    if (!statement || !statement->rowHeld || column < 0 || column >= int(statement->columnKinds.size()))
        return {};
    DbStatement *st = statement;
    sqlite3_stmt *s = st->stmt;
    const int type = sqlite3_column_type(s, column);
    if (type == SQLITE_NULL)
        return {};
    const ColumnKind kind = st->columnKinds[size_t(column)];
    if (type == SQLITE_INTEGER && kind != ColumnKind::Plain) {
        if (st->columnTexts.size() < st->columnKinds.size())
            st->columnTexts.resize(st->columnKinds.size());
        std::string &text = st->columnTexts[size_t(column)];
        if (kind == ColumnKind::Oid)
            formatOidInto(sqlite3_column_int64(s, column), text);
        else
            text = st->conn->fileNameOf(sqlite3_column_int64(s, column));
        return text;
    }
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return text ? std::string_view(text, size_t(sqlite3_column_bytes(s, column))) : std::string_view();
}

int64_t DbColumnInt64(DbStatement *statement, int column)
{
    if (!statement || !statement->rowHeld || column < 0 || column >= int(statement->columnKinds.size()))
        return 0;
    return sqlite3_column_int64(statement->stmt, column);
}

double DbColumnDouble(DbStatement *statement, int column)
{
    if (!statement || !statement->rowHeld || column < 0 || column >= int(statement->columnKinds.size()))
        return 0;
    return sqlite3_column_double(statement->stmt, column);
}

int DbSetColumnFile(DbStatement *statement, int column, const std::string &path)
{
    if (!statement || !statement->stmt)
        return fail(ErrMisuse, "There is no statement.");
    statement->columnFile = path.empty() ? -1 : column;
    statement->columnFilePath = path;
    return ok();
}

int DbColumnCount(DbStatement *statement)
{
    return statement && statement->stmt ? sqlite3_column_count(statement->stmt) : 0;
}

std::string DbColumnName(DbStatement *statement, int column)
{
    const char *text = statement && statement->stmt ? sqlite3_column_name(statement->stmt, column) : nullptr;
    std::string name = text ? std::string(text) : std::string();
    // The forms the dialect rewrote, named as the statement wrote them.
    if (name == "_vk_oid")
        return "OID";
    static const std::string fileName = "(select vk_objpath(dir,name,type) from _vk_fileobj where id=";
    if (name.size() > fileName.size() + 2 && name.compare(0, fileName.size(), fileName) == 0 &&
        name.compare(name.size() - 2, 2, "))") == 0)
        return "filename" + name.substr(fileName.size(), name.size() - fileName.size() - 1);
    return name;
}

std::string DbInsertedOid(DbStatement *statement)
{
    return statement ? statement->insertedOid : std::string();
}

void DbFreeStmt(DbStatement **statement)
{
    if (!statement || !*statement)
        return;
    delete *statement;
    *statement = nullptr;
}

int DbExecDirect(DbConnection *connection, const std::string &sql, int)
{
    DbStatement *st = nullptr;
    int rc = DbPrepare(connection, sql, &st);
    if (rc == DbNeedParams) {
        DbFreeStmt(&st);
        return fail(ErrParameters, "The statement needs values; it cannot run directly.");
    }
    DbFreeStmt(&st);
    return rc;
}

int DbBeginTransaction(DbConnection *connection)
{
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    if (connection->rolledBack)
        connection->afterRollback();
    if (connection->transactionDepth > 0) {
        // A transaction inside one: a savepoint that commits or rolls back on its own.
        const int rc = connection->exec("savepoint vk_t" + std::to_string(connection->transactionDepth));
        if (rc != SQLITE_OK)
            return connection->sqliteError(rc);
        ++connection->transactionDepth;
        return ok();
    }
    if (connection->transactionLost)
        return connection->failLostTransaction();
    if (connection->inTransaction())
        return fail(ErrMisuse, "A transaction is already open.");
    connection->transactionLost = false;
    connection->lostDepth = 0;
    const int rc = connection->exec("begin immediate");
    if (rc != SQLITE_OK)
        return connection->sqliteError(rc);
    connection->explicitTransaction = true;
    connection->transactionDepth = 1;
    return ok();
}

int DbCommit(DbConnection *connection)
{
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    if (connection->rolledBack)
        connection->afterRollback();
    if (connection->transactionLost) {
        // Every level of the lost transaction answers the failure, the outermost last.
        const int rc = connection->failLostTransaction();
        if (--connection->lostDepth <= 0)
            connection->transactionLost = false;
        return rc;
    }
    if (connection->transactionDepth > 1) {
        --connection->transactionDepth;
        const int rc = connection->exec("release vk_t" + std::to_string(connection->transactionDepth));
        return rc == SQLITE_OK ? ok() : connection->sqliteError(rc);
    }
    connection->explicitTransaction = false;
    connection->transactionDepth = 0;
    if (!connection->inTransaction())
        return ok();
    const int rc = connection->exec("commit");
    if (rc != SQLITE_OK) {
        connection->sqliteError(rc);
        const int code = t_lastError;
        const std::string text = t_lastErrorText;
        DbRollback(connection);
        // The rollback succeeded; the commit's failure is what the caller is told.
        return fail(code, text);
    }
    connection->afterCommit();
    return ok();
}

int DbRollback(DbConnection *connection)
{
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    if (connection->rolledBack)
        connection->afterRollback();
    if (connection->transactionLost) {
        if (--connection->lostDepth <= 0)
            connection->transactionLost = false;
        return ok();
    }
    if (connection->transactionDepth > 1) {
        --connection->transactionDepth;
        const std::string name = "vk_t" + std::to_string(connection->transactionDepth);
        connection->exec("rollback to " + name);
        connection->exec("release " + name);
        connection->afterRollback();
        return ok();
    }
    connection->explicitTransaction = false;
    connection->transactionDepth = 0;
    connection->rollingBack = true;
    if (connection->inTransaction())
        connection->exec("rollback");
    connection->afterRollback();
    connection->rollingBack = false;
    return ok();
}

bool DbInTransaction(DbConnection *connection)
{
    return connection && connection->db && connection->inTransaction();
}

int DbLastError()
{
    return t_lastError;
}

std::string DbErrorText()
{
    return t_lastErrorText;
}

int DbDataVersion(DbConnection *connection, int64_t &version)
{
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    sqlite3_stmt *s = nullptr;
    int rc = sqlite3_prepare_v2(connection->db, "pragma main.data_version", -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            version = sqlite3_column_int64(s, 0);
            rc = SQLITE_OK;
        }
        sqlite3_finalize(s);
    }
    return rc == SQLITE_OK ? ok() : connection->sqliteError(rc);
}

int DbChangesSince(DbConnection *connection, int64_t since, std::vector<DbChange> &changes, int64_t &last,
                   bool &complete)
{
    changes.clear();
    complete = true;
    last = since;
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    sqlite3 *db = connection->db;
    sqlite3_stmt *s = nullptr;
    // A database without the log (one that could not be written since it was made) tells nothing.
    int rc = sqlite3_prepare_v2(db, "select min(seq), max(seq) from main._vk_changes", -1, &s, nullptr);
    if (rc != SQLITE_OK) {
        complete = false;
        return connection->sqliteError(rc);
    }
    int64_t first = 0, newest = 0;
    rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        first = sqlite3_column_int64(s, 0);
        newest = sqlite3_column_int64(s, 1);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_OK)
        return connection->sqliteError(rc);
    last = newest;
    if (since < 0)
        return ok();
    // Trimmed past the reader's place, or made again (numbered from 1 once more).
    if (newest < since || (newest > since && first > since + 1)) {
        complete = false;
        return ok();
    }
    if (newest == since)
        return ok();
    rc = sqlite3_prepare_v2(db, "select seq, tbl, oid, op from main._vk_changes where seq>? order by seq", -1,
                            &s, nullptr);
    if (rc != SQLITE_OK)
        return connection->sqliteError(rc);
    sqlite3_bind_int64(s, 1, since);
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        DbChange change;
        change.position = sqlite3_column_int64(s, 0);
        const unsigned char *table = sqlite3_column_text(s, 1);
        change.table = table ? reinterpret_cast<const char *>(table) : "";
        change.oid = formatOid(sqlite3_column_int64(s, 2));
        change.kind = DbChange::Kind(std::clamp(sqlite3_column_int(s, 3), 1, 3));
        last = change.position;
        changes.push_back(std::move(change));
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) {
        changes.clear();
        last = since;
        return connection->sqliteError(rc);
    }
    return ok();
}

std::string DbFileObjectDir(DbConnection *connection)
{
    return connection ? connection->fileObjectDir : std::string();
}

::sqlite3 *DbNativeHandle(DbConnection *connection)
{
    return connection ? connection->db : nullptr;
}

void DbSetStatementLog(DbConnection *connection, DbStatementLog log)
{
    if (connection)
        connection->log = std::move(log);
}

namespace {

// The orphan copies of a file-object directory. The order of the reads matters: the files
// are listed first, then the journals of live connections, then the catalog. A copy listed
// was announced in its connection's journal before it was made; that journal is emptied only
// after the copy's row committed, so the catalog read last holds it whenever the journal no
// longer does.
// A journal still being made (".vk-making-PID-..."), whose maker is gone: it was never renamed
// into place, and nobody will.
bool makerGone(const std::string &name)
{
    const long pid = std::strtol(name.c_str() + std::strlen(".vk-making-"), nullptr, 10);
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

std::vector<std::string> findOrphans(DbConnection *c, std::vector<std::string> *staleJournals)
{
    std::vector<std::string> candidates;
    std::error_code ec;
    const std::string dir = c->fileObjectDir;
    for (const auto &entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code ec2;
        if (entry.is_regular_file(ec2) && !entry.is_symlink(ec2) && isInternalCopyName(name))
            candidates.push_back(name);
    }
    std::set<std::string> protectedNames;
    for (const auto &entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        const std::string path = entry.path().string();
        std::error_code ec2;
        if (name.rfind(".vk-making-", 0) == 0 && entry.is_regular_file(ec2) && !entry.is_symlink(ec2) &&
            makerGone(name)) {
            if (staleJournals)
                staleJournals->push_back(path);
            continue;
        }
        if (name.rfind(".vk-pending-", 0) != 0)
            continue;
        if (path == c->journalPath) {
            // This connection's own journal: its copies are in progress.
        } else {
            if (!entry.is_regular_file(ec2) || entry.is_symlink(ec2))
                continue;
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0)
                continue;
            // A journal whose lock is free is stale, whatever it holds: its program is gone.
            const bool dead = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
            ::close(fd);
            if (dead) {
                if (staleJournals)
                    staleJournals->push_back(path);
                continue;
            }
        }
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line))
            protectedNames.insert(line);
    }
    if (staleJournals)
        std::sort(staleJournals->begin(), staleJournals->end());
    if (candidates.empty())
        return {};
    // A name the catalog holds is held wherever the catalog puts it: a move that has not
    // reached the disk yet, or one a crash or a rollback left behind, never makes the file an
    // orphan. (Names are random 48-bit numbers; two objects never share one.)
    std::set<std::string> held;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(c->db, "select name from main._vk_fileobj where type=0", -1, &s, nullptr) !=
        SQLITE_OK)
        return {}; // when the catalog cannot be read, nothing is an orphan
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        held.insert(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
    const bool readAll = rc == SQLITE_DONE;
    sqlite3_finalize(s);
    if (!readAll)
        return {};
    std::vector<std::string> orphans;
    for (const std::string &name : candidates)
        if (!held.count(name) && !protectedNames.count(name))
            orphans.push_back(c->fileObjectDir + name);
    std::sort(orphans.begin(), orphans.end());
    return orphans;
}

} // namespace

int DbCheckFileObjects(DbConnection *connection, DbFileCheck &check)
{
    check = {};
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    DbConnection *c = connection;
    for (const std::string &table : userTables(c->db)) {
        for (const std::string &column : c->columnsOf(table, true)) {
            const std::string col = "t." + quoteIdentifier(column);
            const std::string q = "select t.rowid, f.dir, f.name, f.type, f.id is null, " + col +
                                  " from main." + quoteIdentifier(table) +
                                  " t left join main._vk_fileobj f on f.id=" + col + " where typeof(" + col +
                                  ")='integer' order by t.rowid";
            sqlite3_stmt *s = nullptr;
            int rc = sqlite3_prepare_v2(c->db, q.c_str(), -1, &s, nullptr);
            if (rc != SQLITE_OK)
                return c->sqliteError(rc, table);
            while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
                const std::string oid = formatOid(sqlite3_column_int64(s, 0));
                if (sqlite3_column_int(s, 4)) {
                    check.uncatalogued.push_back(
                        {table, oid, column, std::to_string(sqlite3_column_int64(s, 5))});
                    continue;
                }
                const char *dir = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
                const char *name = reinterpret_cast<const char *>(sqlite3_column_text(s, 2));
                const int type = sqlite3_column_int(s, 3);
                bool bad = false;
                const std::string path = c->objectPath(dir, name, type, &bad);
                if (bad) {
                    check.bad.push_back(
                        {table, oid, column, std::string(dir ? dir : "") + (name ? name : "")});
                    continue;
                }
                std::error_code ec;
                if (fs::exists(path, ec))
                    continue;
                (type == 0 ? check.missing : check.lost).push_back({table, oid, column, path});
            }
            sqlite3_finalize(s);
            if (rc != SQLITE_DONE)
                return c->sqliteError(rc, table);
        }
    }
    check.orphans = findOrphans(c, &check.staleJournals);
    check.missingTriggers = missingTriggers(c);
    return ok();
}

int DbRemoveOrphans(DbConnection *connection, std::vector<std::string> &removed)
{
    removed.clear();
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
    // Inside its own transaction the catalog this connection reads is not what is committed.
    if (connection->inTransaction())
        return fail(ErrMisuse, "Orphan copies are only removed outside a transaction.");
    std::vector<std::string> stale;
    // While the catalogue names files outside the file-object directory it was edited by hand, and
    // a copy it does not name may well be one of its rows' own: none is removed until it is mended.
    bool trusted = true;
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(connection->db, "select dir, name from main._vk_fileobj where type=0", -1, &s,
                               nullptr) != SQLITE_OK)
            return connection->sqliteError(sqlite3_errcode(connection->db));
        while (trusted && sqlite3_step(s) == SQLITE_ROW) {
            bool bad = false;
            connection->objectPath(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)),
                                   reinterpret_cast<const char *>(sqlite3_column_text(s, 1)), 0, &bad);
            trusted = !bad;
        }
        sqlite3_finalize(s);
    }
    std::vector<std::string> orphans = findOrphans(connection, &stale);
    if (!trusted)
        orphans.clear();
    for (const std::string &path : orphans) {
        const std::string target = connection->insideFileObjectDir(path);
        std::error_code ec;
        if (!target.empty() && fs::remove(target, ec))
            removed.push_back(path);
    }
    for (const std::string &journal : stale) {
        const bool making = fs::path(journal).filename().string().rfind(".vk-making-", 0) == 0;
        // Taken again under an exclusive lock: a journal is only removed while nobody holds it.
        const int fd = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            (!making || makerGone(fs::path(journal).filename().string())) && ::unlink(journal.c_str()) == 0)
            removed.push_back(journal);
        if (fd >= 0)
            ::close(fd);
    }
    return ok();
}

std::vector<std::string> DbRestoredTriggers(DbConnection *connection)
{
    return connection ? connection->restoredTriggers : std::vector<std::string>();
}

int DbSalvage(const std::string &dataSource, DbEnvironment *environment, SalvageReport &report)
{
    report = {};
    SourceKeys keys;
    if (readSource(dataSource, environment, keys) != DbOk)
        return DbFailed;
    const std::string path = keys.dbDir + "/" + dataSource + ".db";
    std::error_code ec;
    if (!fs::exists(path, ec))
        return fail(ErrNoDatabase, "The database of the data source \"" + dataSource +
                                       "\" was not found at \"" + path + "\".");
    int lock = -1;
    if (lockSource(path, true, lock) != DbOk)
        return DbFailed;
    std::string error;
    const bool salvaged = salvageDatabase(path, report, error);
    ::close(lock);
    if (!salvaged)
        return fail(ErrRecoveryNeeded, "The database \"" + path + "\" cannot be salvaged (" + error +
                                           "). Restore it from a copy.");
    return ok();
}

namespace {

std::vector<std::string> columnNames(sqlite3 *db, const std::string &table)
{
    std::vector<std::string> names;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, "select name from main.pragma_table_info(?) order by cid", -1, &s, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
    }
    return names;
}

bool tableExists(sqlite3 *db, const std::string &table)
{
    sqlite3_stmt *s = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "select 1 from main.sqlite_schema where type='table' and name=?", -1, &s,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_finalize(s);
    }
    return found;
}

sqlite3_int64 integerOf(sqlite3 *db, const std::string &sql, sqlite3_int64 fallback = 0)
{
    sqlite3_stmt *s = nullptr;
    sqlite3_int64 value = fallback;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
        if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
            value = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    return value;
}

int rebuildEngineTables(DbConnection *c, std::vector<std::string> &notes, std::vector<std::string> &kept)
{
    sqlite3 *db = c->db;
    std::vector<std::string> tables = userTables(db);
    bool ours = false;
    for (const char *t : {"_vk_meta", "_vk_serial", "_vk_fileobj", "_vk_trash"})
        ours = ours || tableExists(db, t);
    for (const std::string &t : tables)
        ours = ours || hasOidColumn(db, t);
    if (!ours)
        return fail(ErrNotADatabase,
                    "The file \"" + c->databasePath +
                        "\" is not a Vellumark database: none of its tables is the engine's.");
    int rc = SQLITE_OK;
    auto step = [&](const std::string &sql) {
        if (rc == SQLITE_OK)
            rc = c->exec(sql);
    };
    // A table of the engine's that another program renamed: found by its columns, taken back.
    const std::pair<const char *, std::vector<std::string>> layouts[] = {
        {"_vk_fileobj", {"id", "dir", "name", "type", "refs"}}, {"_vk_meta", {"key", "value"}}};
    for (const auto &[engineTable, layout] : layouts) {
        if (tableExists(db, engineTable))
            continue;
        for (const std::string &t : tables) {
            if (columnNames(db, t) != layout)
                continue;
            step("alter table main." + quoteIdentifier(t) + " rename to " + engineTable);
            if (rc == SQLITE_OK)
                notes.push_back(std::string(engineTable) + ": taken back from the table " + t);
            break;
        }
    }
    tables = userTables(db);
    bool catalogueLost = false;
    for (const char *t : {"_vk_meta", "_vk_serial", "_vk_fileobj", "_vk_trash", "_vk_changes"})
        if (!tableExists(db, t)) {
            notes.push_back(std::string(t) + ": made again");
            catalogueLost = catalogueLost || std::string(t) == "_vk_fileobj";
        }
    bool allHaveOids = true;
    for (const std::string &t : tables)
        allHaveOids = allHaveOids && hasOidColumn(db, t);
    const bool metaLost = !tableExists(db, "_vk_meta");
    step(SystemSchema);
    if (metaLost && !allHaveOids)
        step("update main._vk_meta set value=1 where key='format'");
    if (rc != SQLITE_OK)
        return c->sqliteError(rc, "rebuilding the engine's tables");

    // The OID counter past every OID a row holds; serial counters past every number.
    sqlite3_int64 maxOid = 0;
    for (const std::string &t : tables)
        if (hasOidColumn(db, t))
            maxOid = std::max(maxOid, integerOf(db, "select max(" + std::string(OidColumn) + ") from main." +
                                                        quoteIdentifier(t)));
    if (metaValue(db, "next_oid", 1) <= maxOid) {
        step("update main._vk_meta set value=" + std::to_string(maxOid + 1) + " where key='next_oid'");
        notes.push_back("_vk_meta: the OID counter moved past " + formatOid(maxOid));
    }
    for (const std::string &t : tables) {
        sqlite3_stmt *s = nullptr;
        std::vector<std::string> serialCols;
        if (sqlite3_prepare_v2(db,
                               "select name from main.pragma_table_info(?) where dflt_value like "
                               "'vk\\_serial(%' escape '\\'",
                               -1, &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, t.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW)
                serialCols.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
            sqlite3_finalize(s);
        }
        for (const std::string &col : serialCols)
            step("insert into main._vk_serial(name,next) select * from (select " +
                 quoteLiteral(t + "." + col) + ", max(" + quoteIdentifier(col) + ")+1 as n from main." +
                 quoteIdentifier(t) +
                 ") where n is not null on conflict(name) do update set next=max(next,excluded.next)");
    }

    // The holders of each object, counted from the rows.
    std::map<sqlite3_int64, std::vector<std::string>> heldBy; // id -> "TABLE OID COLUMN" of each holder
    for (const std::string &t : tables) {
        if (!hasOidColumn(db, t))
            continue;
        for (const std::string &col : c->columnsOf(t, true)) {
            const std::string q = quoteIdentifier(col);
            sqlite3_stmt *s = nullptr;
            const std::string sql = "select " + std::string(OidColumn) + ", " + q + " from main." +
                                    quoteIdentifier(t) + " where typeof(" + q + ")='integer'";
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
                continue;
            while (sqlite3_step(s) == SQLITE_ROW)
                heldBy[sqlite3_column_int64(s, 1)].push_back(t + " " + formatOid(sqlite3_column_int64(s, 0)) +
                                                             " " + col);
            sqlite3_finalize(s);
        }
    }
    std::set<sqlite3_int64> catalogued;
    std::set<std::string> namedCopies;
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "select id, dir, name, type from main._vk_fileobj", -1, &s, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(s) == SQLITE_ROW) {
                catalogued.insert(sqlite3_column_int64(s, 0));
                if (sqlite3_column_int(s, 3) != 0 || !sqlite3_column_text(s, 2))
                    continue;
                bool bad = false;
                c->objectPath(reinterpret_cast<const char *>(sqlite3_column_text(s, 1)),
                              reinterpret_cast<const char *>(sqlite3_column_text(s, 2)), 0, &bad);
                // An entry edited to name a file elsewhere no longer names the copy it had.
                if (bad)
                    catalogueLost = true;
                else
                    namedCopies.insert(reinterpret_cast<const char *>(sqlite3_column_text(s, 2)));
            }
            sqlite3_finalize(s);
        }
    }
    // An object a row holds that the catalogue lost: its id stays, under a name that is no copy,
    // so that the row is reported as missing and its id is never handed out again.
    for (const auto &[id, holders] : heldBy) {
        if (catalogued.count(id)) {
            step("update main._vk_fileobj set refs=" + std::to_string(holders.size()) +
                 " where id=" + std::to_string(id) + " and refs<>" + std::to_string(holders.size()));
            continue;
        }
        catalogueLost = true;
        step("insert into main._vk_fileobj(id, dir, name, type, refs) values (" + std::to_string(id) + ", " +
             quoteLiteral(c->fileObjectDir) + ", " + quoteLiteral("lost-object-" + std::to_string(id)) +
             ", 0, " + std::to_string(holders.size()) + ")");
        for (const std::string &holder : holders)
            notes.push_back("_vk_fileobj: " + holder + " held the object " + std::to_string(id) +
                            ", which the catalogue had lost");
    }
    // With objects lost, the copies the catalogue no longer names may be theirs: every one is kept,
    // catalogued again, and never taken for an orphan.
    if (catalogueLost) {
        std::error_code ec;
        std::vector<std::string> unnamed;
        for (const auto &entry : fs::directory_iterator(c->fileObjectDir, ec)) {
            const std::string name = entry.path().filename().string();
            std::error_code ec2;
            if (entry.is_regular_file(ec2) && !entry.is_symlink(ec2) && isInternalCopyName(name) &&
                !namedCopies.count(name))
                unnamed.push_back(name);
        }
        std::sort(unnamed.begin(), unnamed.end());
        for (const std::string &name : unnamed) {
            step("insert into main._vk_fileobj(dir, name, type, refs) values (" +
                 quoteLiteral(c->fileObjectDir) + ", " + quoteLiteral(name) + ", 0, 0)");
            kept.push_back(c->fileObjectDir + name);
        }
    }
    if (rc != SQLITE_OK)
        return c->sqliteError(rc, "rebuilding the engine's tables");
    std::vector<std::string> lacking;
    std::vector<std::string> missing = missingTriggers(c, &lacking);
    for (const std::string &t : lacking)
        if (rc == SQLITE_OK)
            rc = installTriggers(c, t);
    if (rc != SQLITE_OK)
        return c->sqliteError(rc, "putting back the engine's triggers");
    for (const std::string &m : missing)
        notes.push_back("trigger " + m + " put back");
    return ok();
}

} // namespace

int DbRebuildEngineTables(const std::string &dataSource, DbEnvironment *environment,
                          std::vector<std::string> &notes, std::vector<std::string> &kept)
{
    notes.clear();
    kept.clear();
    SourceKeys keys;
    if (readSource(dataSource, environment, keys) != DbOk)
        return DbFailed;
    DbConnection c;
    c.dataSource = dataSource;
    c.databasePath = keys.dbDir + "/" + dataSource + ".db";
    c.fileObjectDir = keys.foDir + "/";
    std::error_code ec;
    if (!fs::exists(c.databasePath, ec))
        return fail(ErrNoDatabase, "The database of the data source \"" + dataSource +
                                       "\" was not found at \"" + c.databasePath + "\".");
    if (lockSource(c.databasePath, true, c.sourceLockFd) != DbOk)
        return DbFailed;
    int rc =
        sqlite3_open_v2(c.databasePath.c_str(), &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return c.sqliteError(rc);
    sqlite3_extended_result_codes(c.db, 1);
    sqlite3_busy_timeout(c.db, 5000);
    rc = c.exec("select count(*) from main.sqlite_schema");
    if (rc == SQLITE_OK)
        rc = c.exec("pragma journal_mode=wal; pragma synchronous=normal; pragma recursive_triggers=off;");
    if (rc == SQLITE_OK)
        rc = registerFunctions(&c);
    if (rc == SQLITE_OK)
        rc = c.exec("begin immediate");
    if (rc != SQLITE_OK)
        return c.sqliteError(rc);
    if (rebuildEngineTables(&c, notes, kept) != DbOk) {
        const int code = t_lastError;
        const std::string text = t_lastErrorText;
        c.exec("rollback");
        notes.clear();
        kept.clear();
        return fail(code, text);
    }
    if ((rc = c.exec("commit")) != SQLITE_OK) {
        const int err = c.sqliteError(rc);
        c.exec("rollback");
        notes.clear();
        kept.clear();
        return err;
    }
    return ok();
}

const SalvageReport *DbRecoveryReport(DbConnection *connection)
{
    return connection && connection->recovery && !connection->recovery->tables.empty()
               ? connection->recovery.get()
               : nullptr;
}

} // namespace vkdb
