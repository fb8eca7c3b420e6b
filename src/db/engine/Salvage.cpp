#include "Salvage.h"

#include "Dialect.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace vkdb {

namespace {

// ---------------------------------------------------------------------------------------------
// The file, page by page

constexpr uint8_t IndexInterior = 0x02;
constexpr uint8_t TableInterior = 0x05;
constexpr uint8_t IndexLeaf = 0x0A;
constexpr uint8_t TableLeaf = 0x0D;

// A b-tree deeper than this is a loop of damaged pages, not a real tree.
constexpr int MaxDepth = 64;

uint32_t get2(const uint8_t *p)
{
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t get4(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A varint of the file format from [p, end): its length in bytes, 0 when it runs past end.
int getVarint(const uint8_t *p, const uint8_t *end, uint64_t &value)
{
    value = 0;
    for (int i = 0; i < 8; ++i) {
        if (p + i >= end)
            return 0;
        value = value << 7 | (p[i] & 0x7f);
        if (!(p[i] & 0x80))
            return i + 1;
    }
    if (p + 8 >= end)
        return 0;
    value = value << 8 | p[8];
    return 9;
}

class DatabaseFile
{
public:
    DatabaseFile() = default;
    DatabaseFile(const DatabaseFile &) = delete;
    DatabaseFile &operator=(const DatabaseFile &) = delete;
    ~DatabaseFile()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool open(const std::string &path, std::string &error)
    {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "The database \"" + path + "\" cannot be read: " + std::strerror(errno) + ".";
            return false;
        }
        struct stat st = {};
        uint8_t h[100];
        const std::string notADatabase = "The file \"" + path + "\" is not a database.";
        if (::fstat(fd, &st) != 0 || st.st_size < 100 || ::pread(fd, h, sizeof h, 0) != ssize_t(sizeof h) ||
            std::memcmp(h, "SQLite format 3", 16) != 0) {
            error = notADatabase;
            return false;
        }
        const uint32_t size = get2(h + 16);
        pageSize = size == 1 ? 65536 : size;
        if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || pageSize - h[20] < 480) {
            error = notADatabase;
            return false;
        }
        usable = pageSize - h[20];
        const uint32_t encoding = get4(h + 56);
        if (encoding > 3) {
            error = notADatabase;
            return false;
        }
        if (encoding > 1) {
            error = "The database \"" + path + "\" stores its text in UTF-16, which a salvage does not read.";
            return false;
        }
        pageCount = uint32_t(std::min<long long>(st.st_size / pageSize, 0x7fffffff));
        if (pageCount == 0) {
            error = notADatabase;
            return false;
        }
        lockPage = uint32_t(0x40000000LL / pageSize + 1);
        firstFreelistTrunk = get4(h + 32);
        userVersion = get4(h + 60);
        applicationId = get4(h + 68);
        return true;
    }

    bool isPage(uint32_t n) const { return n >= 1 && n <= pageCount && n != lockPage; }

    bool read(uint32_t n, std::vector<uint8_t> &out) const
    {
        if (!isPage(n))
            return false;
        out.resize(pageSize);
        return ::pread(fd, out.data(), pageSize, off_t(n - 1) * pageSize) == ssize_t(pageSize);
    }

    uint32_t pageSize = 0;
    uint32_t usable = 0;
    uint32_t pageCount = 0;
    uint32_t firstFreelistTrunk = 0;
    uint32_t userVersion = 0;
    uint32_t applicationId = 0;

private:
    int fd = -1;
    uint32_t lockPage = 0;
};

// ---------------------------------------------------------------------------------------------
// Records

struct Value
{
    int type = SQLITE_NULL;
    sqlite3_int64 integer = 0;
    double real = 0;
    std::string bytes; // text or blob
};
using Record = std::vector<Value>;

// A record exactly as the file format lays it out: its header of serial types, then a body that
// holds exactly those values and nothing more.
bool decodeRecord(const uint8_t *p, size_t n, Record &out)
{
    out.clear();
    uint64_t headerSize = 0;
    const int k = getVarint(p, p + n, headerSize);
    if (k == 0 || headerSize < uint64_t(k) || headerSize > n)
        return false;
    size_t pos = size_t(k);
    size_t body = size_t(headerSize);
    while (pos < headerSize) {
        uint64_t type = 0;
        const int m = getVarint(p + pos, p + headerSize, type);
        if (m == 0)
            return false;
        pos += size_t(m);
        static const uint8_t intSizes[] = {0, 1, 2, 3, 4, 6, 8};
        uint64_t length = 0;
        if (type <= 6)
            length = intSizes[type];
        else if (type == 7)
            length = 8;
        else if (type == 10 || type == 11)
            return false;
        else if (type >= 12)
            length = (type - 12) / 2;
        if (length > n - body)
            return false;
        const uint8_t *v = p + body;
        Value value;
        if (type == 0) {
            value.type = SQLITE_NULL;
        } else if (type <= 6) {
            uint64_t u = (v[0] & 0x80) ? ~uint64_t(0) : 0;
            for (uint64_t i = 0; i < length; ++i)
                u = u << 8 | v[i];
            value.type = SQLITE_INTEGER;
            value.integer = sqlite3_int64(u);
        } else if (type == 7) {
            uint64_t u = 0;
            for (int i = 0; i < 8; ++i)
                u = u << 8 | v[i];
            std::memcpy(&value.real, &u, 8);
            if (std::isnan(value.real)) // SQLite never stores a NaN: these bytes are not a value
                return false;
            value.type = SQLITE_FLOAT;
        } else if (type == 8 || type == 9) {
            value.type = SQLITE_INTEGER;
            value.integer = sqlite3_int64(type - 8);
        } else {
            value.type = (type & 1) ? SQLITE_TEXT : SQLITE_BLOB;
            value.bytes.assign(reinterpret_cast<const char *>(v), size_t(length));
        }
        body += size_t(length);
        out.push_back(std::move(value));
    }
    return body == n;
}

// ---------------------------------------------------------------------------------------------
// B-trees

struct Cell
{
    uint32_t child = 0;       // interior pages
    sqlite3_int64 rowid = 0;  // table pages
    uint64_t payloadSize = 0; // pages that carry a payload
    size_t localOffset = 0;
    size_t localSize = 0;
    uint32_t overflow = 0; // first overflow page, 0 when the payload is all on the page
};

struct Page
{
    std::vector<uint8_t> data;
    uint8_t type = 0;
    uint32_t rightChild = 0;
    std::vector<Cell> cells;

    bool leaf() const { return type == TableLeaf || type == IndexLeaf; }
};

struct TreeStats
{
    int pagesLost = 0;
    long long rowsLost = 0; // rows whose overflow chain or record could not be read
    bool anyKey = false;
    sqlite3_int64 maxKey = 0; // the largest rowid seen, in a row or as a bound of a subtree

    void sawKey(sqlite3_int64 key)
    {
        maxKey = anyKey ? std::max(maxKey, key) : key;
        anyKey = true;
    }
};

// Reads b-trees page by page. Every page belongs to one tree or overflow chain only: a page met
// twice (a loop, or two trees claiming it) is read the first time only.
class TreeReader
{
public:
    using RowSink = std::function<void(sqlite3_int64 rowid, Record &record)>;
    using EntrySink = std::function<void(Record &record)>;

    explicit TreeReader(const DatabaseFile &file) : file(file), used(size_t(file.pageCount) + 1, false) {}

    // Every row of a table b-tree that can be read, in rowid order.
    void readTable(uint32_t root, const RowSink &sink, TreeStats &stats)
    {
        tableNode(root, 0, false, 0, false, 0, sink, stats);
    }

    // Every entry of an index b-tree (a WITHOUT ROWID table or an index) that can be read.
    void readIndex(uint32_t root, const EntrySink &sink, TreeStats &stats)
    {
        indexNode(root, 0, sink, stats);
    }

    // Whether the tree starting at this page is an index b-tree (an index or a WITHOUT ROWID table).
    bool startsIndex(uint32_t n) const
    {
        std::vector<uint8_t> data;
        if (!file.read(n, data))
            return false;
        const uint8_t type = data[n == 1 ? 100 : 0];
        return type == IndexInterior || type == IndexLeaf;
    }

    bool isUsed(uint32_t n) const { return n < used.size() && used[n]; }

    bool claim(uint32_t n)
    {
        if (!file.isPage(n) || used[n])
            return false;
        used[n] = true;
        return true;
    }

    // The header, cell pointers and cells of a b-tree page of the given kind, all within the page
    // and not overlapping; false when anything of it does not make sense.
    bool parse(uint32_t number, bool table, Page &page) const
    {
        page.cells.clear();
        page.rightChild = 0;
        if (!file.read(number, page.data))
            return false;
        const size_t u = file.usable;
        const uint8_t *d = page.data.data();
        const size_t hdr = number == 1 ? 100 : 0;
        page.type = d[hdr];
        if (table ? (page.type != TableInterior && page.type != TableLeaf)
                  : (page.type != IndexInterior && page.type != IndexLeaf))
            return false;
        const size_t headerSize = page.leaf() ? 8 : 12;
        const size_t cellCount = get2(d + hdr + 3);
        size_t contentStart = get2(d + hdr + 5);
        if (contentStart == 0)
            contentStart = 65536;
        const size_t pointersEnd = hdr + headerSize + 2 * cellCount;
        if (pointersEnd > u || contentStart < pointersEnd || contentStart > u || d[hdr + 7] > 60)
            return false;
        const size_t firstFreeblock = get2(d + hdr + 1);
        if (firstFreeblock != 0 && (firstFreeblock < contentStart || firstFreeblock + 4 > u))
            return false;
        if (!page.leaf())
            page.rightChild = get4(d + hdr + 8);

        const size_t maxLocal = table ? u - 35 : (u - 12) * 64 / 255 - 23;
        const size_t minLocal = (u - 12) * 32 / 255 - 23;
        std::vector<std::pair<size_t, size_t>> extents;
        extents.reserve(cellCount);
        page.cells.reserve(cellCount);
        for (size_t i = 0; i < cellCount; ++i) {
            const size_t start = get2(d + hdr + headerSize + 2 * i);
            if (start < contentStart || start >= u)
                return false;
            const uint8_t *end = d + u;
            size_t pos = start;
            Cell cell;
            if (!page.leaf()) {
                if (pos + 4 > u)
                    return false;
                cell.child = get4(d + pos);
                pos += 4;
            }
            if (page.type != TableInterior) {
                uint64_t size = 0;
                int k = getVarint(d + pos, end, size);
                if (k == 0)
                    return false;
                pos += size_t(k);
                cell.payloadSize = size;
            }
            if (table) {
                uint64_t rowid = 0;
                const int k = getVarint(d + pos, end, rowid);
                if (k == 0)
                    return false;
                pos += size_t(k);
                cell.rowid = sqlite3_int64(rowid);
            }
            if (page.type != TableInterior) {
                const uint64_t p = cell.payloadSize;
                uint64_t local = p;
                if (p > maxLocal) {
                    const uint64_t k = minLocal + (p - minLocal) % (u - 4);
                    local = k <= maxLocal ? k : minLocal;
                }
                if (pos + local > u)
                    return false;
                cell.localOffset = pos;
                cell.localSize = size_t(local);
                pos += size_t(local);
                if (local < p) {
                    if (pos + 4 > u)
                        return false;
                    cell.overflow = get4(d + pos);
                    pos += 4;
                    // A chain longer than the file is no chain.
                    if (p - local > uint64_t(file.pageCount) * (u - 4))
                        return false;
                }
            }
            extents.emplace_back(start, pos);
            page.cells.push_back(cell);
        }
        std::sort(extents.begin(), extents.end());
        for (size_t i = 1; i < extents.size(); ++i)
            if (extents[i - 1].second > extents[i].first)
                return false;
        return true;
    }

private:
    enum class Payload
    {
        Read,
        RowLost,     // its overflow chain is broken, or the record in it does not make sense
        PageDamaged, // the record on the page itself does not make sense
    };

    Payload readRecord(const Page &page, const Cell &cell, Record &record)
    {
        if (cell.overflow == 0)
            return decodeRecord(page.data.data() + cell.localOffset, cell.localSize, record)
                       ? Payload::Read
                       : Payload::PageDamaged;
        std::string payload(reinterpret_cast<const char *>(page.data.data() + cell.localOffset),
                            cell.localSize);
        uint64_t remaining = cell.payloadSize - cell.localSize;
        uint32_t next = cell.overflow;
        std::vector<uint8_t> buffer;
        const size_t room = file.usable - 4;
        while (remaining > 0) {
            if (!claim(next) || !file.read(next, buffer))
                return Payload::RowLost;
            const size_t take = size_t(std::min<uint64_t>(remaining, room));
            payload.append(reinterpret_cast<const char *>(buffer.data() + 4), take);
            remaining -= take;
            next = get4(buffer.data());
            if (remaining == 0 && next != 0) // the chain goes on where the payload ends
                return Payload::RowLost;
        }
        return decodeRecord(reinterpret_cast<const uint8_t *>(payload.data()), payload.size(), record)
                   ? Payload::Read
                   : Payload::RowLost;
    }

    // Rows of a subtree lie in (low, high]: the bounds its parents' keys give.
    void tableNode(uint32_t number, int depth, bool hasLow, sqlite3_int64 low, bool hasHigh,
                   sqlite3_int64 high, const RowSink &sink, TreeStats &stats)
    {
        Page page;
        if (depth > MaxDepth || !claim(number) || !parse(number, true, page)) {
            ++stats.pagesLost;
            return;
        }
        // The keys must rise within the page and stay inside the bounds its parent gives.
        {
            bool hasPrevious = hasLow;
            sqlite3_int64 previous = low;
            for (const Cell &cell : page.cells) {
                if ((hasPrevious && cell.rowid <= previous) || (hasHigh && cell.rowid > high)) {
                    ++stats.pagesLost;
                    return;
                }
                hasPrevious = true;
                previous = cell.rowid;
            }
        }
        if (!page.leaf()) {
            bool hasPrevious = hasLow;
            sqlite3_int64 previous = low;
            for (const Cell &cell : page.cells) {
                stats.sawKey(cell.rowid);
                tableNode(cell.child, depth + 1, hasPrevious, previous, true, cell.rowid, sink, stats);
                hasPrevious = true;
                previous = cell.rowid;
            }
            tableNode(page.rightChild, depth + 1, hasPrevious, previous, hasHigh, high, sink, stats);
            return;
        }
        std::vector<std::pair<sqlite3_int64, Record>> rows;
        rows.reserve(page.cells.size());
        long long lost = 0;
        for (const Cell &cell : page.cells) {
            Record record;
            switch (readRecord(page, cell, record)) {
            case Payload::Read:
                rows.emplace_back(cell.rowid, std::move(record));
                break;
            case Payload::RowLost:
                ++lost;
                break;
            case Payload::PageDamaged:
                ++stats.pagesLost;
                return;
            }
        }
        stats.rowsLost += lost;
        for (const Cell &cell : page.cells)
            stats.sawKey(cell.rowid);
        for (auto &[rowid, record] : rows)
            sink(rowid, record);
    }

    // In an index b-tree the entries of interior pages are entries as well.
    void indexNode(uint32_t number, int depth, const EntrySink &sink, TreeStats &stats)
    {
        Page page;
        if (depth > MaxDepth || !claim(number) || !parse(number, false, page)) {
            ++stats.pagesLost;
            return;
        }
        std::vector<Record> entries(page.cells.size());
        std::vector<bool> read(page.cells.size(), false);
        for (size_t i = 0; i < page.cells.size(); ++i) {
            switch (readRecord(page, page.cells[i], entries[i])) {
            case Payload::Read:
                read[i] = true;
                break;
            case Payload::RowLost:
                ++stats.rowsLost;
                break;
            case Payload::PageDamaged:
                ++stats.pagesLost;
                return;
            }
        }
        for (size_t i = 0; i < page.cells.size(); ++i) {
            if (!page.leaf())
                indexNode(page.cells[i].child, depth + 1, sink, stats);
            if (read[i])
                sink(entries[i]);
        }
        if (!page.leaf())
            indexNode(page.rightChild, depth + 1, sink, stats);
    }

    const DatabaseFile &file;
    std::vector<bool> used;
};

// ---------------------------------------------------------------------------------------------
// The rebuilt file

struct SchemaEntry
{
    std::string type, name, tableName, sql;
    sqlite3_int64 rootPage = 0;
};

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.rfind(prefix, 0) == 0;
}

std::string lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string text(sqlite3_stmt *s, int column)
{
    const unsigned char *t = sqlite3_column_text(s, column);
    return t ? reinterpret_cast<const char *>(t) : "";
}

// The engine's own tables, as the engine makes them.
const char *const SystemTables =
    "create table if not exists _vk_meta(key text primary key, value integer) without rowid;"
    "create table if not exists _vk_serial(name text primary key, next integer) without rowid;"
    "create table if not exists _vk_fileobj(id integer primary key autoincrement, dir text not null,"
    " name text not null, type integer not null);"
    "create table if not exists _vk_trash(path text not null);";

class Fresh
{
public:
    ~Fresh() { close(); }

    bool open(const std::string &path)
    {
        return sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
               SQLITE_OK;
    }

    void close()
    {
        for (auto &[key, s] : statements)
            sqlite3_finalize(s);
        statements.clear();
        sqlite3_close_v2(db);
        db = nullptr;
    }

    bool exec(const std::string &sql)
    {
        return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // Runs one stored definition of the given type ("table", "index", "view", "trigger"): exactly one
    // statement that makes an object of that type, whatever else damaged text might say.
    bool define(const std::string &type, const std::string &sql)
    {
        const std::string head = lower(sql.substr(0, 40));
        const bool expected =
            type == "index" ? startsWith(head, "create index") || startsWith(head, "create unique index")
                            : startsWith(head, "create " + type);
        if (!expected) {
            definitionError = "its definition is not a create " + type + " statement";
            return false;
        }
        sqlite3_stmt *s = nullptr;
        const char *tail = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &s, &tail);
        while (rc == SQLITE_OK && tail && (*tail == ' ' || *tail == ';' || *tail == '\n' || *tail == '\t'))
            ++tail;
        if (rc == SQLITE_OK && tail && *tail) {
            sqlite3_finalize(s);
            definitionError = "its definition holds more than one statement";
            return false;
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_step(s);
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE) {
            definitionError = sqlite3_errmsg(db);
            return false;
        }
        return true;
    }

    std::string message() const { return db ? sqlite3_errmsg(db) : "the rebuilt database cannot be opened"; }

    // A statement kept for the whole salvage; null when it cannot be prepared.
    sqlite3_stmt *statement(const std::string &sql)
    {
        auto it = statements.find(sql);
        if (it != statements.end())
            return it->second;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
            s = nullptr;
        statements.emplace(sql, s);
        return s;
    }

    bool hasTable(const std::string &name)
    {
        sqlite3_stmt *s = statement("select 1 from main.sqlite_schema where type='table' and name=?");
        if (!s)
            return false;
        sqlite3_bind_text(s, 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
        const bool found = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_reset(s);
        return found;
    }

    // The largest integer a column holds, if any.
    bool maxInteger(const std::string &table, const std::string &column, sqlite3_int64 &value)
    {
        const std::string c = quoteIdentifier(column);
        sqlite3_stmt *s = statement("select max(" + c + ") from main." + quoteIdentifier(table) +
                                    " where typeof(" + c + ")='integer'");
        if (!s)
            return false;
        const bool found = sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL;
        if (found)
            value = sqlite3_column_int64(s, 0);
        sqlite3_reset(s);
        return found;
    }

    // Raises a counter kept as (key, value) to at least `atLeast`, making its row when it is missing.
    bool raise(const std::string &table, const std::string &keyColumn, const std::string &valueColumn,
               const std::string &key, sqlite3_int64 atLeast)
    {
        const std::string t = "main." + quoteIdentifier(table);
        const std::string k = quoteIdentifier(keyColumn);
        const std::string v = quoteIdentifier(valueColumn);
        sqlite3_stmt *update =
            statement("update " + t + " set " + v + "=max(coalesce(" + v + ",0),?2) where " + k + "=?1");
        sqlite3_stmt *insert = statement("insert into " + t + "(" + k + "," + v +
                                         ") select ?1,?2 where not exists"
                                         " (select 1 from " +
                                         t + " where " + k + "=?1)");
        if (!update || !insert)
            return false;
        bool good = true;
        for (sqlite3_stmt *s : {update, insert}) {
            sqlite3_bind_text(s, 1, key.c_str(), int(key.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(s, 2, atLeast);
            good = good && sqlite3_step(s) == SQLITE_DONE;
            sqlite3_reset(s);
        }
        return good;
    }

    sqlite3 *db = nullptr;
    std::string definitionError;

private:
    std::map<std::string, sqlite3_stmt *> statements;
};

struct ColumnInfo
{
    std::string name, type, defaultValue;
    int pk = 0;
    int hidden = 0; // 2: virtual generated (not stored), 3: stored generated (not writable)
};

std::vector<ColumnInfo> columnsOf(sqlite3 *db, const std::string &table)
{
    std::vector<ColumnInfo> columns;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, "select name, type, dflt_value, pk, hidden from main.pragma_table_xinfo(?)",
                           -1, &s, nullptr) != SQLITE_OK)
        return columns;
    sqlite3_bind_text(s, 1, table.c_str(), int(table.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(s) == SQLITE_ROW)
        columns.push_back(
            {text(s, 0), text(s, 1), text(s, 2), sqlite3_column_int(s, 3), sqlite3_column_int(s, 4)});
    sqlite3_finalize(s);
    return columns;
}

// The counter a serial column's default draws from: vk_serial('Table','Column') names it "Table.Column".
bool serialKey(const std::string &defaultValue, std::string &key)
{
    if (!startsWith(lower(defaultValue), "vk_serial("))
        return false;
    size_t i = 10;
    std::vector<std::string> args;
    while (args.size() < 2) {
        while (i < defaultValue.size() && defaultValue[i] == ' ')
            ++i;
        if (i >= defaultValue.size() || defaultValue[i] != '\'')
            return false;
        std::string arg;
        for (++i;; ++i) {
            if (i >= defaultValue.size())
                return false;
            if (defaultValue[i] == '\'') {
                if (i + 1 < defaultValue.size() && defaultValue[i + 1] == '\'') {
                    arg += '\'';
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            arg += defaultValue[i];
        }
        args.push_back(arg);
        while (i < defaultValue.size() && defaultValue[i] == ' ')
            ++i;
        if (i >= defaultValue.size() || defaultValue[i] != (args.size() == 1 ? ',' : ')'))
            return false;
        ++i;
    }
    key = args[0] + "." + args[1];
    return true;
}

// Puts the rows read from one table into its rebuilt copy.
class TableWriter
{
public:
    TableWriter(Fresh &fresh, const std::string &table) : fresh(fresh), table(table)
    {
        columns = columnsOf(fresh.db, table);
        std::set<std::string> names;
        for (const ColumnInfo &c : columns)
            names.insert(lower(c.name));
        for (const char *candidate : {"rowid", "_rowid_", "oid"})
            if (!names.count(candidate)) {
                rowidName = candidate;
                break;
            }
        sqlite3_stmt *s = nullptr;
        withoutRowid = rowidName.empty() ||
                       sqlite3_prepare_v2(
                           fresh.db, ("select " + rowidName + " from main." + quoteIdentifier(table)).c_str(),
                           -1, &s, nullptr) != SQLITE_OK;
        sqlite3_finalize(s);
        // The order a record stores the columns in: a WITHOUT ROWID table's primary key comes first.
        if (withoutRowid) {
            std::vector<size_t> key;
            for (size_t i = 0; i < columns.size(); ++i)
                if (columns[i].pk > 0)
                    key.push_back(i);
            std::sort(key.begin(), key.end(),
                      [&](size_t a, size_t b) { return columns[a].pk < columns[b].pk; });
            stored = key;
        }
        size_t keyColumns = 0;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].pk > 0)
                ++keyColumns;
            if (columns[i].hidden != 2 && !(withoutRowid && columns[i].pk > 0))
                stored.push_back(i);
        }
        // An INTEGER PRIMARY KEY column is the rowid: its record holds null in its place.
        if (!withoutRowid && keyColumns == 1)
            for (size_t i = 0; i < columns.size(); ++i)
                if (columns[i].pk == 1 && lower(columns[i].type) == "integer")
                    rowidAlias = int(i);
    }

    // False when the rebuilt file cannot be written at all; a row that breaks a constraint of its
    // table is counted as lost.
    bool write(sqlite3_int64 rowid, const Record &record)
    {
        if (record.size() > stored.size()) {
            ++rowsRefused;
            return true;
        }
        sqlite3_stmt *s = insertFor(record.size());
        if (!s) {
            ++rowsRefused;
            return true;
        }
        int n = 0;
        if (!withoutRowid)
            sqlite3_bind_int64(s, ++n, rowid);
        for (size_t i = 0; i < record.size(); ++i) {
            const size_t column = stored[i];
            if (columns[column].hidden == 3)
                continue;
            const Value &v = record[i];
            ++n;
            if (int(column) == rowidAlias && v.type == SQLITE_NULL)
                sqlite3_bind_int64(s, n, rowid);
            else if (v.type == SQLITE_INTEGER)
                sqlite3_bind_int64(s, n, v.integer);
            else if (v.type == SQLITE_FLOAT)
                sqlite3_bind_double(s, n, v.real);
            else if (v.type == SQLITE_TEXT)
                sqlite3_bind_text(s, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
            else if (v.type == SQLITE_BLOB && v.bytes.empty())
                sqlite3_bind_zeroblob(s, n, 0);
            else if (v.type == SQLITE_BLOB)
                sqlite3_bind_blob(s, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(s, n);
        }
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        if (rc == SQLITE_DONE) {
            ++rowsKept;
            return true;
        }
        switch (rc & 0xff) {
        case SQLITE_CONSTRAINT:
        case SQLITE_MISMATCH:
        case SQLITE_TOOBIG:
            ++rowsRefused;
            return true;
        default:
            return false;
        }
    }

    std::vector<ColumnInfo> columns;
    bool withoutRowid = false;
    long long rowsKept = 0;
    long long rowsRefused = 0;

private:
    sqlite3_stmt *insertFor(size_t fields)
    {
        std::string names, values;
        if (!withoutRowid) {
            names = rowidName;
            values = "?";
        }
        for (size_t i = 0; i < fields; ++i) {
            if (columns[stored[i]].hidden == 3)
                continue;
            names += (names.empty() ? "" : ",") + quoteIdentifier(columns[stored[i]].name);
            values += values.empty() ? "?" : ",?";
        }
        if (names.empty())
            return fresh.statement("insert into main." + quoteIdentifier(table) + " default values");
        return fresh.statement("insert into main." + quoteIdentifier(table) + "(" + names + ") values(" +
                               values + ")");
    }

    Fresh &fresh;
    std::string table;
    std::string rowidName;
    std::vector<size_t> stored;
    int rowidAlias = -1;
};

std::string timeStamp()
{
    char stamp[32];
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    return stamp;
}

bool syncPath(const std::string &path, bool directory)
{
    const int fd = ::open(path.c_str(), (directory ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool good = ::fsync(fd) == 0;
    ::close(fd);
    return good;
}

std::string directoryOf(const std::string &path)
{
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

void removeRebuilt(const std::string &rebuilt)
{
    std::error_code ec;
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        fs::remove(rebuilt + suffix, ec);
}

std::string counted(long long n, const std::string &thing)
{
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string pageList(const std::vector<uint32_t> &pages)
{
    std::string list;
    for (uint32_t p : pages)
        list += (list.empty() ? "" : ", ") + std::to_string(p);
    return list;
}

// Puts the rebuilt file in the damaged one's place; the damaged one (with its -wal and -shm) is kept
// beside it. On failure everything is put back as it was.
bool swapFiles(const std::string &path, const std::string &rebuilt, std::string &kept, std::string &error)
{
    const std::string stamp = timeStamp();
    std::error_code ec;
    kept = path + ".damaged-" + stamp;
    for (int n = 2; fs::exists(kept, ec) || fs::exists(kept + "-wal", ec); ++n)
        kept = path + ".damaged-" + stamp + "-" + std::to_string(n);
    std::vector<std::pair<std::string, std::string>> moved;
    auto undo = [&] {
        std::error_code ignored;
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            fs::rename(it->second, it->first, ignored);
    };
    for (const char *suffix : {"", "-wal", "-shm"}) {
        const std::string from = path + suffix;
        if (*suffix && !fs::exists(from, ec))
            continue;
        fs::rename(from, kept + suffix, ec);
        if (ec) {
            undo();
            error = "The damaged database cannot be set aside: " + ec.message() + ".";
            return false;
        }
        moved.emplace_back(from, kept + suffix);
    }
    fs::rename(rebuilt, path, ec);
    if (ec) {
        undo();
        error = "The rebuilt database cannot take the damaged one's place: " + ec.message() + ".";
        return false;
    }
    syncPath(directoryOf(path), true);
    return true;
}

} // namespace

bool salvageDatabase(const std::string &path, SalvageReport &report, std::string &error)
{
    report = SalvageReport();
    error.clear();

    // Fold the write-ahead log into the file first, where SQLite still can.
    {
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
            sqlite3_exec(db, "pragma wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
    }

    DatabaseFile file;
    if (!file.open(path, error))
        return false;
    TreeReader reader(file);

    // The schema: every definition that can still be read.
    std::vector<SchemaEntry> schema;
    TreeStats schemaStats;
    long long schemaRowsUnreadable = 0;
    reader.readTable(
        1,
        [&](sqlite3_int64, Record &r) {
            const bool good = r.size() == 5 && r[0].type == SQLITE_TEXT && r[1].type == SQLITE_TEXT &&
                              r[2].type == SQLITE_TEXT &&
                              (r[3].type == SQLITE_INTEGER || r[3].type == SQLITE_NULL) &&
                              (r[4].type == SQLITE_TEXT || r[4].type == SQLITE_NULL);
            const std::set<std::string> types = {"table", "index", "view", "trigger"};
            if (!good || !types.count(r[0].bytes)) {
                ++schemaRowsUnreadable;
                return;
            }
            schema.push_back({r[0].bytes, r[1].bytes, r[2].bytes, r[4].bytes, r[3].integer});
        },
        schemaStats);
    schemaRowsUnreadable += schemaStats.rowsLost;

    const std::string rebuilt = path + ".recovered";
    removeRebuilt(rebuilt);
    Fresh fresh;
    auto abandon = [&](const std::string &why) {
        error = why;
        fresh.close();
        removeRebuilt(rebuilt);
        return false;
    };
    if (!fresh.open(rebuilt))
        return abandon("The rebuilt database \"" + rebuilt + "\" cannot be made: " + fresh.message() + ".");
    // The rebuilt file is synced once, as a whole, before it takes the database's place.
    if (!fresh.exec("pragma synchronous=off; pragma page_size=" + std::to_string(file.pageSize) +
                    "; pragma user_version=" + std::to_string(int32_t(file.userVersion)) +
                    "; pragma application_id=" + std::to_string(int32_t(file.applicationId)) + "; begin"))
        return abandon("The rebuilt database cannot be written: " + fresh.message() + ".");

    // The tables and their rows.
    int tablesMade = 0;
    bool anyOid = false;
    sqlite3_int64 maxOid = 0;
    std::vector<std::pair<std::string, sqlite3_int64>> sequences;
    for (const SchemaEntry &entry : schema) {
        if (entry.type != "table")
            continue;
        const uint32_t root =
            entry.rootPage > 0 && entry.rootPage <= 0xffffffffLL ? uint32_t(entry.rootPage) : 0;
        if (lower(entry.name) == "sqlite_sequence") {
            TreeStats stats;
            reader.readTable(
                root,
                [&](sqlite3_int64, Record &r) {
                    if (r.size() >= 2 && r[0].type == SQLITE_TEXT && r[1].type == SQLITE_INTEGER)
                        sequences.emplace_back(r[0].bytes, r[1].integer);
                },
                stats);
            if (stats.pagesLost || stats.rowsLost)
                report.notes.push_back(
                    "Some counters of AUTOINCREMENT tables (sqlite_sequence) could not be read; "
                    "they are raised again from the rows that were kept.");
            continue;
        }
        if (startsWith(lower(entry.name), "sqlite_")) {
            TreeStats ignored; // statistics are made again by analyze; their pages are only claimed
            reader.readTable(
                root, [](sqlite3_int64, Record &) {}, ignored);
            continue;
        }
        if (root == 0) {
            report.notes.push_back("The table " + entry.name +
                                   " is not stored in the file (a virtual table) and was not rebuilt.");
            continue;
        }
        SalvagedTable result;
        result.name = entry.name;
        const bool oids = !startsWith(entry.name, "_vk_");
        TreeStats stats;
        bool made = fresh.define("table", entry.sql);
        if (made && !fresh.hasTable(entry.name)) {
            made = false;
            fresh.definitionError = "its definition makes a table of another name";
        }
        if (!made) {
            report.notes.push_back("The table " + entry.name + " could not be made again (" +
                                   fresh.definitionError + "); its rows are lost.");
            // Its pages are read all the same: the OIDs they hold are never handed out again.
            if (reader.startsIndex(root))
                reader.readIndex(
                    root, [](Record &) {}, stats);
            else
                reader.readTable(
                    root, [](sqlite3_int64, Record &) {}, stats);
            if (oids && stats.anyKey) {
                maxOid = anyOid ? std::max(maxOid, stats.maxKey) : stats.maxKey;
                anyOid = true;
            }
            result.pagesLost = stats.pagesLost;
            report.tables.push_back(result);
            continue;
        }
        ++tablesMade;
        TableWriter writer(fresh, entry.name);
        bool broken = false;
        if (writer.withoutRowid)
            reader.readIndex(
                root, [&](Record &r) { broken = broken || !writer.write(0, r); }, stats);
        else
            reader.readTable(
                root, [&](sqlite3_int64 rowid, Record &r) { broken = broken || !writer.write(rowid, r); },
                stats);
        if (broken)
            return abandon("The rebuilt database cannot be written: " + fresh.message() + ".");
        if (oids && !writer.withoutRowid && stats.anyKey) {
            maxOid = anyOid ? std::max(maxOid, stats.maxKey) : stats.maxKey;
            anyOid = true;
        }
        result.rowsKept = writer.rowsKept;
        result.pagesLost = stats.pagesLost;
        if (stats.rowsLost)
            report.notes.push_back("The table " + entry.name + " lost " + counted(stats.rowsLost, "row") +
                                   " whose overflow pages could not be read.");
        if (writer.rowsRefused)
            report.notes.push_back("The table " + entry.name + " refused " +
                                   counted(writer.rowsRefused, "row") +
                                   ": they were read but break its definition or constraints.");
        report.tables.push_back(result);
    }
    if (tablesMade == 0)
        return abandon(schema.empty() ? "No definition of a table can be read from \"" + path + "\"."
                                      : "No table of \"" + path + "\" can be rebuilt.");

    // The engine's counters, so that nothing handed out before is handed out again.
    {
        std::vector<std::string> missing;
        for (const char *t : {"_vk_meta", "_vk_serial", "_vk_fileobj", "_vk_trash"})
            if (!fresh.hasTable(t))
                missing.push_back(t);
        if (!fresh.exec(SystemTables))
            return abandon("The rebuilt database cannot be written: " + fresh.message() + ".");
        for (const std::string &t : missing)
            report.notes.push_back("The engine's table " + t + " was not found; it was made again, empty.");
    }
    auto after = [](sqlite3_int64 v) { return v < std::numeric_limits<sqlite3_int64>::max() ? v + 1 : v; };
    bool good = fresh.raise("_vk_meta", "key", "value", "next_oid", anyOid ? after(maxOid) : 1) &&
                fresh.raise("_vk_meta", "key", "value", "format", 1);
    sqlite3_int64 fileObjects = 0;
    fresh.maxInteger("_vk_fileobj", "id", fileObjects);
    for (const SchemaEntry &entry : schema) {
        if (entry.type != "table" || startsWith(lower(entry.name), "sqlite_") || !fresh.hasTable(entry.name))
            continue;
        for (const ColumnInfo &column : columnsOf(fresh.db, entry.name)) {
            sqlite3_int64 largest = 0;
            std::string key;
            if (serialKey(column.defaultValue, key) && fresh.maxInteger(entry.name, column.name, largest))
                good = good && fresh.raise("_vk_serial", "name", "next", key, after(largest));
            // A file column refers to its object by id: no id it holds may be handed out again.
            if (lower(column.type) == "file blob" && fresh.maxInteger(entry.name, column.name, largest))
                fileObjects = std::max(fileObjects, largest);
        }
    }
    // The counters of AUTOINCREMENT tables. SQLite raised them already to every id inserted; the ones
    // read from the damaged file may be higher still.
    for (const auto &[name, seq] : sequences)
        if (fresh.hasTable(name))
            good = good && fresh.raise("sqlite_sequence", "name", "seq", name, seq);
    if (fileObjects > 0)
        good = good && fresh.raise("sqlite_sequence", "name", "seq", "_vk_fileobj", fileObjects);
    if (!good || !fresh.exec("commit"))
        return abandon("The rebuilt database cannot be written: " + fresh.message() + ".");

    // Indexes, views and triggers: made once the rows are in, so that no trigger fires on them.
    for (const char *type : {"index", "view", "trigger"})
        for (const SchemaEntry &entry : schema)
            if (entry.type == type && !entry.sql.empty() && !fresh.define(entry.type, entry.sql))
                report.notes.push_back("The " + entry.type + " " + entry.name + " could not be made again (" +
                                       fresh.definitionError + ").");

    // What the lost pages of the schema held can only be named by the pages it lived in.
    if (schemaStats.pagesLost > 0 || schemaRowsUnreadable > 0) {
        std::string note = "The schema lost " + counted(schemaStats.pagesLost, "page");
        if (schemaRowsUnreadable)
            note += " and " + counted(schemaRowsUnreadable, "definition");
        note += "; the tables and indexes defined there are lost.";
        // Claim every page still known: the remaining b-tree roots belong to lost definitions.
        for (const SchemaEntry &entry : schema)
            if (entry.type == "index" && entry.rootPage > 0 && entry.rootPage <= 0xffffffffLL) {
                TreeStats ignored;
                reader.readIndex(
                    uint32_t(entry.rootPage), [](Record &) {}, ignored);
            }
        std::vector<uint8_t> data;
        for (uint32_t trunk = file.firstFreelistTrunk; reader.claim(trunk) && file.read(trunk, data);) {
            const uint32_t leaves = get4(data.data() + 4);
            for (uint32_t i = 0; i < leaves && 8 + 4 * size_t(i) + 4 <= file.usable; ++i)
                reader.claim(get4(data.data() + 8 + 4 * i));
            trunk = get4(data.data());
        }
        std::set<uint32_t> candidates, children;
        Page page;
        for (uint32_t n = 2; n <= file.pageCount; ++n) {
            if (reader.isUsed(n) || !file.read(n, data))
                continue;
            const bool table = data[0] == TableInterior || data[0] == TableLeaf;
            if (!table && data[0] != IndexInterior && data[0] != IndexLeaf)
                continue;
            if (!reader.parse(n, table, page))
                continue;
            candidates.insert(n);
            if (!page.leaf()) {
                for (const Cell &cell : page.cells)
                    children.insert(cell.child);
                children.insert(page.rightChild);
            }
        }
        std::vector<uint32_t> roots;
        for (uint32_t n : candidates)
            if (!children.count(n))
                roots.push_back(n);
        if (!roots.empty())
            note += " B-trees that no readable definition names start at pages " + pageList(roots) + ".";
        report.notes.push_back(note);
    }

    if (!fresh.exec("pragma journal_mode=wal"))
        return abandon("The rebuilt database cannot be written: " + fresh.message() + ".");
    {
        sqlite3_stmt *s = nullptr;
        bool checked = false;
        if (sqlite3_prepare_v2(fresh.db, "pragma quick_check", -1, &s, nullptr) == SQLITE_OK)
            checked = sqlite3_step(s) == SQLITE_ROW && text(s, 0) == "ok";
        sqlite3_finalize(s);
        if (!checked)
            return abandon("The rebuilt database does not pass SQLite's check.");
    }
    fresh.close();
    if (!syncPath(rebuilt, false) || !syncPath(directoryOf(rebuilt), true))
        return abandon("The rebuilt database cannot be written to disk.");
    if (!swapFiles(path, rebuilt, report.damagedCopy, error)) {
        removeRebuilt(rebuilt);
        report.damagedCopy.clear();
        return false;
    }
    return true;
}

} // namespace vkdb
