#include "Engine.h"

#include "ConfigFile.h"
#include "Dialect.h"
#include "FileObjects.h"
#include "TextFunctions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <unordered_map>

namespace fs = std::filesystem;

namespace vkdb {

namespace {

thread_local int t_lastError = 0;
thread_local std::string t_lastErrorText;

constexpr int OidWidth = 18;
constexpr sqlite3_int64 OidBlock = 1000;

// The engine's own tables. Catalog views are made per connection (temporary), so the
// database file holds nothing but tables and stays readable by any SQLite tool.
const char *const SystemSchema =
    "create table if not exists _vk_meta(key text primary key, value integer) without rowid;"
    "create table if not exists _vk_serial(name text primary key, next integer) without rowid;"
    "create table if not exists _vk_fileobj(id integer primary key autoincrement, dir text not null,"
    " name text not null, type integer not null);"
    "create table if not exists _vk_trash(path text not null);"
    "insert or ignore into _vk_meta(key, value) values ('next_oid', 1);"
    "insert or ignore into _vk_meta(key, value) values ('format', 1);";

const char *const CatalogViews =
    "create temp view if not exists SYSTABLE as select name as TABLE_NAME from main.sqlite_schema"
    " where type='table' and name not like '\\_vk\\_%' escape '\\' and name not like 'sqlite\\_%' escape "
    "'\\';"
    "create temp view if not exists SYSCOLUMN as select m.name as TABLE_NAME, p.name as COLUMN_NAME,"
    " case when lower(p.type)='file blob' then substr(p.type,1,4) else p.type end as COLUMN_TYPE,"
    " p.cid as COLUMN_ID from main.sqlite_schema m join pragma_table_info(m.name) p"
    " where m.type='table' and m.name not like '\\_vk\\_%' escape '\\' and m.name not like 'sqlite\\_%' "
    "escape '\\';"
    "create temp view if not exists SYSFILEOBJ as select dir||name as FILE_NAME,"
    " case type when 0 then x'00' else x'01' end as FILE_TYPE, id as FILE_ID from main._vk_fileobj;";

int nativeFromSqlite(int rc)
{
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

std::string formatOid(sqlite3_int64 value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", OidWidth, static_cast<long long>(value));
    return buf;
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
    // serial counters by "table.column"
    std::unordered_map<std::string, sqlite3_int64> serials;

    bool explicitTransaction = false;
    int transactionDepth = 0; // nested transactions are savepoints inside the outermost
    // Internal copies made inside the open transaction: removed again if it rolls back.
    std::vector<std::string> copiesInTransaction;
    bool rolledBack = false;

    std::unordered_map<std::string, std::shared_ptr<const Translation>> translations;
    std::unordered_map<std::string, std::vector<sqlite3_stmt *>> idleStatements;
    sqlite3_stmt *fileNameLookup = nullptr;

    ~DbConnection() { close(); }

    void close()
    {
        for (auto &[text, list] : idleStatements)
            for (sqlite3_stmt *s : list)
                sqlite3_finalize(s);
        idleStatements.clear();
        if (fileNameLookup)
            sqlite3_finalize(fileNameLookup);
        fileNameLookup = nullptr;
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }

    int sqliteError(int rc, const std::string &what = {})
    {
        const int code = nativeFromSqlite(rc);
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
            msg = "The disk holding \"" + databasePath + "\" is full. Free some space and try again.";
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
    void invalidateCounters()
    {
        oidLimit = 0;
        serials.clear();
    }

    int exec(const std::string &sql)
    {
        char *err = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
        if (err)
            sqlite3_free(err);
        return rc;
    }

    bool inTransaction() const { return !sqlite3_get_autocommit(db); }

    std::shared_ptr<const Translation> translation(const std::string &sql)
    {
        auto it = translations.find(sql);
        if (it != translations.end())
            return it->second;
        auto tr = std::make_shared<Translation>(translate(sql));
        if (tr->error.empty() && tr->needsColumnList) {
            std::vector<std::string> cols = columnsOf(tr->table);
            if (cols.empty())
                tr->error = "There is no table " + tr->table + ".";
            else
                *tr = translate(completeInsert(sql, cols));
        }
        if (translations.size() > 2000)
            translations.clear();
        translations.emplace(sql, tr);
        return tr;
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
            const char *type = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
            if (!filesOnly || (type && equalsIgnoreCase(type, "file blob")))
                cols.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
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
        rc = sqlite3_prepare_v3(db, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        if (rc != SQLITE_OK && s) {
            sqlite3_finalize(s);
            s = nullptr;
        }
        return s;
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
            sqlite3_prepare_v3(db, "select dir||name from main._vk_fileobj where id=?", -1,
                               SQLITE_PREPARE_PERSISTENT, &fileNameLookup, nullptr) != SQLITE_OK)
            return {};
        sqlite3_bind_int64(fileNameLookup, 1, id);
        std::string name;
        if (sqlite3_step(fileNameLookup) == SQLITE_ROW)
            name = reinterpret_cast<const char *>(sqlite3_column_text(fileNameLookup, 0));
        sqlite3_reset(fileNameLookup);
        return name;
    }

    // Removes the internal copies whose rows were deleted or replaced, once that change
    // is committed. Runs after every statement outside a transaction and after a commit.
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
        if (items.empty())
            return;
        std::vector<sqlite3_int64> done;
        for (const auto &[rowid, path] : items) {
            std::error_code ec;
            fs::remove(path, ec);
            if (!ec || !fs::exists(path))
                done.push_back(rowid);
        }
        exec("begin immediate");
        for (sqlite3_int64 rowid : done)
            exec("delete from main._vk_trash where rowid=" + std::to_string(rowid));
        exec("commit");
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
            // SQLite may have ended the whole transaction (a full disk, for one).
            transactionDepth = 0;
            explicitTransaction = false;
        }
        copiesInTransaction = std::move(kept);
        rolledBack = false;
    }

    void afterCommit()
    {
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

    bool nextSerial(const std::string &table, const std::string &column, sqlite3_int64 &value)
    {
        const std::string key = table + "." + column;
        auto it = serials.find(key);
        if (it == serials.end()) {
            sqlite3_int64 next = 1;
            sqlite3_stmt *s = nullptr;
            if (sqlite3_prepare_v2(db, "select next from main._vk_serial where name=?", -1, &s, nullptr) ==
                SQLITE_OK) {
                sqlite3_bind_text(s, 1, key.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(s) == SQLITE_ROW)
                    next = sqlite3_column_int64(s, 0);
                sqlite3_finalize(s);
            }
            // Values stored by other means must not be handed out again.
            const std::string q =
                "select max(" + quoteIdentifier(column) + ") from main." + quoteIdentifier(table);
            if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) == SQLITE_OK) {
                if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
                    next = std::max(next, sqlite3_column_int64(s, 0) + 1);
                sqlite3_finalize(s);
            }
            it = serials.emplace(key, next).first;
        }
        value = it->second;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "insert or replace into main._vk_serial(name, next) values (?, ?)", -1, &s,
                               nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_text(s, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 2, value + 1);
        const int rc = sqlite3_step(s);
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            return false;
        it->second = value + 1;
        return true;
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
    sqlite3_rollback_hook(c->db, rollbackHook, c);
    return rc;
}

// The triggers of a table: a serial column given null is numbered, and for its file objects
// a text written into a file column becomes
// an external object, and the object a row lets go of is released (an internal copy goes
// to the trash, emptied once the change commits).
int installTriggers(DbConnection *c, const std::string &table)
{
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
    // A serial column given an explicit null is numbered all the same.
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
                sql += "create trigger main." + quoteIdentifier(prefix + name + "_serial") +
                       " after insert on " + t + " when new." + col + " is null begin update " + t + " set " +
                       col + "=" + dflt + " where rowid=new.rowid; end;";
            }
            sqlite3_finalize(s);
        }
    }
    if (files.empty())
        return sql.empty() ? SQLITE_OK : c->exec(sql);
    std::string idList;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string col = quoteIdentifier(files[i]);
        idList += (i ? "," : "") + std::string("old.") + col;
        const std::string toExternal = "insert into _vk_fileobj(dir,name,type) select '',new." + col +
                                       ",1 where typeof(new." + col + ")='text' and new." + col +
                                       "<>'';"
                                       "update " +
                                       t + " set " + col + "=case when new." + col +
                                       "='' then null else last_insert_rowid() end"
                                       " where rowid=new.rowid and typeof(new." +
                                       col + ")='text';";
        sql += "create trigger main." + quoteIdentifier(prefix + files[i] + "_ins") + " after insert on " +
               t + " when typeof(new." + col + ")='text' begin " + toExternal + " end;";
        sql += "create trigger main." + quoteIdentifier(prefix + files[i] + "_upd") + " after update of " +
               col + " on " + t + " when old." + col + " is not new." + col +
               " begin "
               "insert into _vk_trash(path) select dir||name from _vk_fileobj where id=old." +
               col + " and type=0 and typeof(old." + col +
               ")='integer';"
               "delete from _vk_fileobj where id=old." +
               col + " and typeof(old." + col + ")='integer';" + toExternal + " end;";
    }
    sql += "create trigger main." + quoteIdentifier(prefix + "del") + " after delete on " + t +
           " begin "
           "insert into _vk_trash(path) select dir||name from _vk_fileobj where type=0 and id in (" +
           idList +
           ");"
           "delete from _vk_fileobj where id in (" +
           idList + "); end;";
    return c->exec(sql);
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
    if (!ours)
        return fail(ErrNotADatabase, "The file \"" + c->databasePath + "\" is not a Vellumark database.");
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
// it, rebuilt. Damaged indexes are rebuilt in place; otherwise every readable row is copied
// into a fresh file that takes the database's place, and the damaged file is kept beside it
// (name.db.damaged-TIMESTAMP) so that nothing is thrown away.
bool recoverInPlace(const std::string &path, std::string &error)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close_v2(db);
        return false;
    }
    auto run = [db](const std::string &sql) {
        return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    };
    if (run("select count(*) from sqlite_schema") != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close_v2(db);
        return false;
    }
    if (quickCheckPasses(db)) {
        sqlite3_close_v2(db);
        return true;
    }
    if (run("reindex") == SQLITE_OK && quickCheckPasses(db)) {
        sqlite3_close_v2(db);
        return true;
    }
    // Copy every readable row into a fresh file: tables first, then their rows (never through
    // SQLite's page transfer, which would copy a damaged index as it is), then indexes and triggers.
    const std::string rebuilt = path + ".recovered";
    std::error_code ec;
    fs::remove(rebuilt, ec);
    std::vector<std::pair<std::string, std::string>> tables; // name, create statement
    std::vector<std::string> later;                          // indexes and triggers
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db,
                               "select type, name, sql from sqlite_schema where sql is not null and name not "
                               "like 'sqlite\\_%' escape '\\' order by type='table' desc",
                               -1, &s, nullptr) == SQLITE_OK) {
            while (sqlite3_step(s) == SQLITE_ROW) {
                const std::string type = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
                const std::string name = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
                const std::string sql = reinterpret_cast<const char *>(sqlite3_column_text(s, 2));
                if (type == "table")
                    tables.emplace_back(name, sql);
                else
                    later.push_back(sql);
            }
            sqlite3_finalize(s);
        }
    }
    sqlite3 *fresh = nullptr;
    bool good = sqlite3_open_v2(rebuilt.c_str(), &fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                nullptr) == SQLITE_OK;
    for (size_t i = 0; good && i < tables.size(); ++i)
        good = sqlite3_exec(fresh, tables[i].second.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (good)
        good = sqlite3_exec(fresh, "pragma journal_mode=wal", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(fresh);
    if (good)
        good = run("attach " + quoteLiteral(rebuilt) + " as rescue") == SQLITE_OK;
    if (good)
        good = run("begin") == SQLITE_OK;
    for (size_t i = 0; good && i < tables.size(); ++i) {
        std::string cols;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "select name from pragma_table_info(?)", -1, &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, tables[i].first.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW)
                cols += "," + quoteIdentifier(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
            sqlite3_finalize(s);
        }
        const std::string name = quoteIdentifier(tables[i].first);
        const bool withoutRowid = tables[i].second.find("without rowid") != std::string::npos ||
                                  tables[i].second.find("WITHOUT ROWID") != std::string::npos;
        const std::string target = withoutRowid ? cols.substr(1) : "rowid" + cols;
        good = run("insert into rescue." + name + " (" + target + ") select " + target + " from main." +
                   name + " where 1") == SQLITE_OK;
    }
    if (good)
        good = run("commit") == SQLITE_OK;
    if (!good)
        error = sqlite3_errmsg(db);
    run("rollback");
    run("detach rescue");
    if (good && sqlite3_open_v2(rebuilt.c_str(), &fresh, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        for (const std::string &sql : later)
            good = good && sqlite3_exec(fresh, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        good = good && quickCheckPasses(fresh);
        if (!good)
            error = sqlite3_errmsg(fresh);
    }
    sqlite3_close_v2(fresh);
    if (!good) {
        sqlite3_close_v2(db);
        fs::remove(rebuilt, ec);
        fs::remove(rebuilt + "-wal", ec);
        fs::remove(rebuilt + "-shm", ec);
        return false;
    }
    sqlite3_close_v2(db);
    char stamp[32];
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    const std::string kept = path + ".damaged-" + stamp;
    fs::rename(path, kept, ec);
    if (ec) {
        error = "the damaged file cannot be set aside: " + ec.message();
        return false;
    }
    for (const char *suffix : {"-wal", "-shm"})
        if (fs::exists(path + suffix, ec))
            fs::rename(path + suffix, kept + suffix, ec);
    fs::rename(rebuilt, path, ec);
    if (ec) {
        fs::rename(kept, path, ec);
        error = "the rebuilt database cannot take the damaged one's place";
        return false;
    }
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
    int stepState = SQLITE_DONE; // SQLITE_ROW: a row is waiting to be fetched
    std::vector<ColumnKind> columnKinds;
    std::vector<std::pair<int, std::string>> pendingFiles; // parameter index, path of the internal copy
    std::vector<std::string> logValues;
    int columnFile = -1;
    std::string columnFilePath;
    std::string insertedOid;

    ~DbStatement()
    {
        for (auto &[index, path] : pendingFiles)
            DbConnection::removeQuietly(path);
        if (stmt)
            conn->release(tr->sql, stmt);
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
            else if (origin && equalsIgnoreCase(origin, "rowid"))
                columnKinds[size_t(i)] = ColumnKind::Oid;
        }
    }
};

namespace {

int runStep(DbStatement *st, std::string *oid);

// Runs a statement the engine handles itself, or a plain one without parameters.
int runSpecial(DbConnection *c, const Translation &tr)
{
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
            c->explicitTransaction = false;
            c->transactionDepth = 0;
            return c->sqliteError(rc);
        }
        return ok();
    }
    case Translation::Rollback:
        return DbRollback(c);
    case Translation::MoveFileObject: {
        MoveResult r = moveFileObject(c->db, tr.moveFrom, tr.moveTo);
        if (!r.ok) {
            c->invalidateCounters();
            return fail(ErrFileObject, r.error);
        }
        return ok();
    }
    case Translation::DropTable: {
        const bool outer = !c->inTransaction();
        if (outer && c->exec("savepoint vk_drop") != SQLITE_OK)
            return c->sqliteError(sqlite3_errcode(c->db));
        int rc = SQLITE_OK;
        for (const std::string &col : c->columnsOf(tr.table, true)) {
            const std::string ids =
                "select " + quoteIdentifier(col) + " from main." + quoteIdentifier(tr.table);
            rc = c->exec("insert into _vk_trash(path) select dir||name from main._vk_fileobj where type=0 "
                         "and id in (" +
                         ids + "); delete from main._vk_fileobj where id in (" + ids + ");");
            if (rc != SQLITE_OK)
                break;
        }
        if (rc == SQLITE_OK)
            rc = c->exec(tr.sql);
        if (rc != SQLITE_OK) {
            const int err = c->sqliteError(rc, tr.table);
            if (outer) {
                c->exec("rollback to vk_drop");
                c->exec("release vk_drop");
            }
            return err;
        }
        if (outer)
            c->exec("release vk_drop");
        c->translations.clear();
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
    c->translations.clear();
    bool needed = false;
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
        sqlite3_bind_int64(st->stmt, index, sqlite3_last_insert_rowid(c->db));
    }

    const sqlite3_int64 oidBefore = c->nextOid;
    int rc = sqlite3_step(st->stmt);
    st->executed = true;
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
    if (guarded) {
        if ((rc = c->exec("release vk_stmt")) != SQLITE_OK)
            return abandon(rc);
        for (auto &[index, path] : st->pendingFiles)
            if (!outer)
                c->copiesInTransaction.push_back(path);
        st->pendingFiles.clear();
    }
    st->insertedOid = tr.kind == Translation::Insert && c->nextOid != oidBefore ? formatOid(c->nextOid - 1)
                                                                              : std::string();
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
        std::string error;
        if (!copyFile(source, path, false, error))
            return fail(ErrFileObject, error);
        return ok();
    }
    const void *data = sqlite3_column_blob(st->stmt, column);
    const int size = sqlite3_column_bytes(st->stmt, column);
    std::string error;
    if (!writeWholeFile(path, static_cast<const char *>(data), size_t(size), error))
        return fail(ErrFileObject, error);
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
    std::error_code ec;
    if (!fs::exists(c->databasePath, ec))
        return fail(ErrNoDatabase, "The database of the data source \"" + dataSource +
                                       "\" was not found at \"" + c->databasePath + "\".");
    if (keys.recoveryMode) {
        std::string error;
        if (!recoverInPlace(c->databasePath, error))
            return fail(ErrRecoveryNeeded, "The database \"" + c->databasePath +
                                               "\" is damaged beyond what recovery mode can repair (" +
                                               error + "). Restore it from a copy.");
    }
    if (openDatabase(c.get(), false) != DbOk)
        return DbFailed;
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
    if (fs::exists(c->databasePath, ec))
        return fail(ErrDatabaseExists, "A database already exists at \"" + c->databasePath + "\".");
    if (openDatabase(c.get(), true) != DbOk) {
        c->close();
        fs::remove(c->databasePath, ec);
        return DbFailed;
    }
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
    auto tr = c->translation(sql);
    if (!tr->error.empty())
        return fail(ErrSyntax, tr->error + " Statement: " + sql);

    auto st = std::make_unique<DbStatement>();
    st->conn = c;
    st->tr = tr;
    st->originalText = sql;
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
    if (!makeInternalCopy(path, st->conn->fileObjectDir, copy, error))
        return fail(ErrFileObject, error);
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
    for (auto &[index, path] : st->pendingFiles)
        DbConnection::removeQuietly(path);
    st->pendingFiles.clear();
    st->executed = false;
    st->stepState = SQLITE_DONE;
    st->nextParam = 1;
    st->logValues.clear();
    return ok();
}

int DbExecute(DbStatement *statement, std::string *oid)
{
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

int DbGetData(DbStatement *statement, std::vector<std::string> &values)
{
    values.clear();
    if (!statement)
        return fail(ErrMisuse, "No statement was given.");
    DbStatement *st = statement;
    if (!st->stmt || !st->executed)
        return st->stmt ? fail(ErrMisuse, "The statement has not been executed.") : DbNoMoreRows;
    if (st->stepState == SQLITE_DONE)
        return DbNoMoreRows;
    if (st->stepState != SQLITE_ROW) {
        const int rc = st->stepState;
        st->stepState = SQLITE_DONE;
        return st->conn->sqliteError(rc);
    }
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
                values[size_t(i)] = formatOid(sqlite3_column_int64(st->stmt, i));
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

std::string DbInsertedOid(DbStatement *statement) { return statement ? statement->insertedOid : std::string(); }

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
    if (connection->inTransaction())
        return fail(ErrMisuse, "A transaction is already open.");
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
        const int err = connection->sqliteError(rc);
        DbRollback(connection);
        return err;
    }
    connection->afterCommit();
    return ok();
}

int DbRollback(DbConnection *connection)
{
    if (!connection || !connection->db)
        return fail(ErrMisuse, "There is no connection to the database.");
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
    if (connection->inTransaction())
        connection->exec("rollback");
    connection->afterRollback();
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

} // namespace vkdb
