// Salvage of a damaged database: the file's pages are read one by one, a damaged page loses
// its own rows only, and the rebuilt file takes the damaged one's place with the engine's
// counters intact. Fixtures are made with plain SQLite handles and damaged byte by byte.
#include "Salvage.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace vkdb;
namespace fs = std::filesystem;

namespace {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;
using Bytes = std::vector<uint8_t>;

class ScratchDir
{
public:
    ScratchDir()
    {
        std::string pattern = (fs::temp_directory_path() / "vk-salvage-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~ScratchDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

// One value with its storage class, so that 1, 1.0, '1' and x'31' never compare equal.
std::string render(sqlite3_stmt *s, int i)
{
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
        return "i:" + std::to_string(sqlite3_column_int64(s, i));
    case SQLITE_FLOAT: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", sqlite3_column_double(s, i));
        return std::string("r:") + buf;
    }
    case SQLITE_TEXT:
        return "t:" + std::string(reinterpret_cast<const char *>(sqlite3_column_text(s, i)),
                                  size_t(sqlite3_column_bytes(s, i)));
    case SQLITE_BLOB: {
        const auto *p = static_cast<const uint8_t *>(sqlite3_column_blob(s, i));
        std::string hex = "b:";
        for (int k = 0; k < sqlite3_column_bytes(s, i); ++k) {
            char buf[3];
            std::snprintf(buf, sizeof buf, "%02x", p[k]);
            hex += buf;
        }
        return hex;
    }
    default:
        return "null";
    }
}

class Handle
{
public:
    explicit Handle(const std::string &path, int pageSize = 0, int reservedBytes = 0)
    {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path;
        exec("pragma synchronous=off"); // fixtures need no durability
        if (reservedBytes)
            sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &reservedBytes);
        if (pageSize)
            exec("pragma page_size=" + std::to_string(pageSize));
    }
    ~Handle() { sqlite3_close_v2(db); }

    void exec(const std::string &sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << (message ? message : "");
        sqlite3_free(message);
    }

    Rows query(const std::string &sql, const std::vector<std::string> &texts = {})
    {
        Rows rows;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
            return rows;
        }
        for (size_t i = 0; i < texts.size(); ++i)
            sqlite3_bind_text(s, int(i + 1), texts[i].c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW) {
            Row row;
            for (int i = 0; i < sqlite3_column_count(s); ++i)
                row.push_back(render(s, i));
            rows.push_back(row);
        }
        sqlite3_finalize(s);
        return rows;
    }

    long long number(const std::string &sql, const std::vector<std::string> &texts = {})
    {
        const Rows rows = query(sql, texts);
        if (rows.empty() || rows[0].empty() || rows[0][0].rfind("i:", 0) != 0) {
            ADD_FAILURE() << sql << " gives no number";
            return -1;
        }
        return std::stoll(rows[0][0].substr(2));
    }

    // Runs `sql` once per row of values; a value is bound as the storage class it holds.
    struct Value
    {
        enum Kind
        {
            Null,
            Integer,
            Real,
            Text,
            Blob
        } kind;
        long long integer = 0;
        double real = 0;
        std::string bytes;
    };
    void insert(const std::string &sql, const std::vector<std::vector<Value>> &rows)
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
            return;
        }
        exec("begin");
        for (const auto &row : rows) {
            for (size_t i = 0; i < row.size(); ++i) {
                const Value &v = row[i];
                const int n = int(i + 1);
                switch (v.kind) {
                case Value::Null:
                    sqlite3_bind_null(s, n);
                    break;
                case Value::Integer:
                    sqlite3_bind_int64(s, n, v.integer);
                    break;
                case Value::Real:
                    sqlite3_bind_double(s, n, v.real);
                    break;
                case Value::Text:
                    sqlite3_bind_text(s, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
                    break;
                case Value::Blob:
                    if (v.bytes.empty())
                        sqlite3_bind_zeroblob(s, n, 0);
                    else
                        sqlite3_bind_blob(s, n, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT);
                    break;
                }
            }
            if (sqlite3_step(s) != SQLITE_DONE)
                ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
            sqlite3_reset(s);
        }
        exec("commit");
        sqlite3_finalize(s);
    }

    sqlite3 *db = nullptr;
};

using V = Handle::Value;
V null()
{
    return {V::Null, 0, 0, {}};
}
V integer(long long i)
{
    return {V::Integer, i, 0, {}};
}
V real(double r)
{
    return {V::Real, 0, r, {}};
}
V text(std::string t)
{
    return {V::Text, 0, 0, std::move(t)};
}
V blob(std::string b)
{
    return {V::Blob, 0, 0, std::move(b)};
}

std::string fileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Rewrites page `n` of the file in place.
void damagePage(const std::string &path, int pageSize, long long n, const std::function<void(Bytes &)> &how)
{
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    Bytes page(size_t(pageSize), 0);
    f.seekg((n - 1) * pageSize);
    f.read(reinterpret_cast<char *>(page.data()), pageSize);
    how(page);
    f.seekp((n - 1) * pageSize);
    f.write(reinterpret_cast<const char *>(page.data()), pageSize);
    ASSERT_TRUE(f.good()) << "page " << n << " of " << path;
}

void garbage(Bytes &page)
{
    std::mt19937 random(20240611);
    for (uint8_t &b : page)
        b = uint8_t(random());
}

const SalvagedTable *tableIn(const SalvageReport &report, const std::string &name)
{
    for (const SalvagedTable &t : report.tables)
        if (t.name == name)
            return &t;
    return nullptr;
}

std::string allNotes(const SalvageReport &report)
{
    std::string all;
    for (const std::string &n : report.notes)
        all += n + "\n";
    return all;
}

// The page numbers a note names.
std::set<long long> numbersIn(const std::string &text)
{
    std::set<long long> numbers;
    const std::regex number("[0-9]+");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
        numbers.insert(std::stoll(it->str()));
    return numbers;
}

// The rows that came back are the rows that were there, unchanged, and the rows that did not
// come back are `lost` rows that lay next to each other (one page or one subtree of pages).
void expectLostOneRange(const Rows &before, const Rows &after, size_t lost)
{
    std::vector<size_t> missing;
    size_t j = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (j < after.size() && after[j] == before[i])
            ++j;
        else
            missing.push_back(i);
    }
    EXPECT_EQ(j, after.size()) << "a row came back changed or out of nowhere";
    ASSERT_EQ(missing.size(), lost);
    if (!missing.empty()) {
        EXPECT_EQ(missing.back() - missing.front() + 1, missing.size())
            << "the lost rows do not lie together";
    }
}

const char *const SystemTables =
    "create table _vk_meta(key text primary key, value integer) without rowid;"
    "create table _vk_serial(name text primary key, next integer) without rowid;"
    "create table _vk_fileobj(id integer primary key autoincrement, dir text not null,"
    " name text not null, type integer not null);"
    "create table _vk_trash(path text not null);";

constexpr int MediaRows = 3000;
constexpr long long FirstOid = 1000;

std::string bodyOf(int i)
{
    // Every 97th body spills over several overflow pages; the rest vary from empty to most of a page.
    const size_t length = i % 97 == 5 ? 3000 + size_t(i) : size_t(i * 37 % 400);
    std::string body(length, ' ');
    for (size_t k = 0; k < length; ++k)
        body[k] = char('a' + (size_t(i) + k) % 26);
    return body;
}

// A database shaped like one of ours, in pages of 1 KiB so that a few thousand rows make a
// tree of three levels: the engine's tables, a large Media table whose rows (OIDs from 1000 on)
// vary in length, and Tag keyed by an INTEGER PRIMARY KEY.
void makeLibrary(const std::string &path)
{
    Handle h(path, 1024);
    h.exec(SystemTables);
    h.exec("insert into _vk_meta values ('next_oid', 5000), ('format', 1);"
           "insert into _vk_serial values ('Tag.Number', 201);"
           "create table Media(Title text, Body text, Score real, Data blob, Count integer);"
           "create table Tag(TagId integer primary key, Label text,"
           " Number integer default (vk_serial('Tag','Number')));"
           "create index Media_Title on Media(Title);");
    std::vector<std::vector<V>> media;
    for (int i = 0; i < MediaRows; ++i)
        media.push_back({integer(FirstOid + i), text("title " + std::to_string(i)), text(bodyOf(i)),
                         i % 11 ? real(i * 0.25) : null(),
                         i % 5 ? blob(std::string(size_t(i % 17), char(i))) : null(),
                         integer((i % 2 ? -1 : 1) * 1000003LL * i)});
    h.insert("insert into Media(rowid, Title, Body, Score, Data, Count) values (?,?,?,?,?,?)", media);
    std::vector<std::vector<V>> tags;
    for (int i = 1; i <= 200; ++i)
        tags.push_back({integer(i * 2), text("tag " + std::to_string(i)), integer(i)});
    h.insert("insert into Tag(TagId, Label, Number) values (?,?,?)", tags);
}

Rows mediaRows(const std::string &path)
{
    return Handle(path).query("select rowid, * from Media order by rowid");
}

struct PageInfo
{
    long long page = 0;
    long long cells = 0;
    std::string path; // its place in the tree, as dbstat names it
};

std::vector<PageInfo> pagesOf(const std::string &db, const std::string &name, const std::string &type)
{
    std::vector<PageInfo> pages;
    for (const Row &r : Handle(db).query("select pageno, ncell, path from dbstat where name=? and pagetype=?"
                                         " order by path",
                                         {name, type}))
        pages.push_back({std::stoll(r[0].substr(2)), std::stoll(r[1].substr(2)), r[2].substr(2)});
    return pages;
}

bool salvage(const std::string &path, SalvageReport &report)
{
    std::string error;
    const bool done = salvageDatabase(path, report, error);
    EXPECT_TRUE(done) << error;
    return done;
}

// ---------------------------------------------------------------------------------------------

struct Layout
{
    int pageSize;
    int reservedBytes;
};

void PrintTo(const Layout &layout, std::ostream *out)
{
    *out << layout.pageSize << "-byte pages, " << layout.reservedBytes << " reserved";
}

class SalvageRoundTrip : public ::testing::TestWithParam<Layout>
{
};

// An undamaged file comes back value for value, whatever its page layout: every storage class,
// rowids that take nine bytes, payloads on both sides of every spill boundary of table and index
// pages, records shorter than their table, a definition long enough to spill itself.
TEST_P(SalvageRoundTrip, EveryRowComesBackUnchanged)
{
    const Layout layout = GetParam();
    ScratchDir dir;
    const std::string path = dir.path + "/library.db";
    const long long u = layout.pageSize - layout.reservedBytes;
    {
        Handle h(path, layout.pageSize, layout.reservedBytes);
        h.exec(SystemTables);
        h.exec("insert into _vk_meta values ('next_oid', 100000), ('format', 1);"
               "create table Kinds(v);"
               "create table Edge(b blob);"
               "create table Keyed(k blob primary key, v) without rowid;"
               "create table Tag(TagId integer primary key, Label text);"
               "create table Link(a integer, b text, c blob, primary key(b, a)) without rowid;"
               "create table Grown(a text);"
               "insert into Grown values ('old 1'), ('old 2');"
               "alter table Grown add column b text default 'later';"
               "alter table Grown add column c integer default 7;"
               "insert into Grown values ('new', 'given', 8);"
               "create index Tag_Label on Tag(Label);"
               "create view TagNames as select Label from Tag;"
               "create trigger Tag_kept after update on Tag begin select 1; end;");
        const long long big = 1LL << 62;
        const long long i64max = std::numeric_limits<long long>::max();
        const long long i64min = std::numeric_limits<long long>::min();
        std::vector<std::vector<V>> kinds = {{integer(i64min), null()},
                                             {integer(-5), integer(0)},
                                             {integer(0), integer(1)},
                                             {integer(1), integer(-1)},
                                             {integer(2), integer(127)},
                                             {integer(3), integer(-128)},
                                             {integer(4), integer(128)},
                                             {integer(5), integer(32767)},
                                             {integer(6), integer(-32768)},
                                             {integer(7), integer(32768)},
                                             {integer(8), integer(8388607)},
                                             {integer(9), integer(-8388608)},
                                             {integer(10), integer(8388608)},
                                             {integer(11), integer(2147483647)},
                                             {integer(12), integer(-2147483648LL)},
                                             {integer(13), integer(2147483648LL)},
                                             {integer(14), integer(140737488355327LL)},
                                             {integer(15), integer(-140737488355328LL)},
                                             {integer(16), integer(140737488355328LL)},
                                             {integer(17), integer(i64max)},
                                             {integer(18), integer(i64min)},
                                             {integer(19), real(0.5)},
                                             {integer(20), real(-1e300)},
                                             {integer(21), real(1e-300)},
                                             {integer(22), real(-0.0)},
                                             {integer(23), text("")},
                                             {integer(24), text("Größe ✓")},
                                             {integer(25), blob("")},
                                             {integer(26), blob(std::string("\0\1\2", 3))},
                                             {integer(big), text("far")}};
        h.insert("insert into Kinds(rowid, v) values (?, ?)", kinds);
        // Payload sizes around the boundaries where a table leaf (X = U-35) and an index page
        // (X = (U-12)*64/255-23) start to spill, and where the part kept on the page changes.
        const long long tableX = u - 35, indexX = (u - 12) * 64 / 255 - 23, m = (u - 12) * 32 / 255 - 23;
        std::vector<std::vector<V>> edge, keyed;
        for (long long j = 0; j < 3; ++j)
            for (long long d = -8; d <= 8; ++d) {
                edge.push_back({blob(std::string(size_t(tableX + j * (u - 4) + d), char('a' + j)))});
                std::string key =
                    std::to_string(j * 100 + d + 50) + std::string(size_t(indexX + j * (u - 4) + d), 'k');
                keyed.push_back({blob(key), integer(j * 100 + d)});
            }
        for (long long d = -4; d <= 4; ++d)
            edge.push_back({blob(std::string(size_t(m + d), 'm'))});
        h.insert("insert into Edge(b) values (?)", edge);
        h.insert("insert into Keyed(k, v) values (?, ?)", keyed);
        std::vector<std::vector<V>> tags, links;
        for (int i = 1; i <= 50; ++i) {
            tags.push_back({integer(i * 3), text("tag " + std::to_string(i))});
            links.push_back(
                {integer(i % 7), text("link " + std::to_string(i / 7)), blob(std::string(size_t(i), 'l'))});
        }
        h.insert("insert into Tag(TagId, Label) values (?, ?)", tags);
        h.insert("insert into Link(a, b, c) values (?, ?, ?)", links);
        std::string wide = "create table Wide(";
        for (int i = 0; i < 150; ++i)
            wide += (i ? ", " : "") + std::string("a_column_with_a_long_name_") + std::to_string(i) + " text";
        h.exec(wide + "); insert into Wide(a_column_with_a_long_name_149) values ('last');");
    }
    const std::vector<std::string> tables = {"_vk_meta", "_vk_serial", "_vk_fileobj", "_vk_trash",
                                             "Kinds",    "Edge",       "Keyed",       "Tag",
                                             "Link",     "Grown",      "Wide"};
    const std::set<std::string> withoutRowid = {"_vk_meta", "_vk_serial", "Keyed", "Link"};
    auto contents = [&](const std::string &db) {
        std::map<std::string, Rows> all;
        Handle h(db);
        for (const std::string &t : tables)
            all[t] = h.query(withoutRowid.count(t) ? "select * from " + t + " order by 1, 2"
                                                   : "select rowid, * from " + t + " order by rowid");
        all["schema"] = h.query("select type, name, tbl_name, sql from sqlite_schema order by type, name");
        return all;
    };
    auto before = contents(path);
    // Every rowid of Kinds is an OID the engine must never hand out again.
    before["_vk_meta"] = {{"t:format", "i:1"}, {"t:next_oid", "i:" + std::to_string((1LL << 62) + 1)}};
    const std::string original = fileBytes(path);

    SalvageReport report;
    ASSERT_TRUE(salvage(path, report));

    EXPECT_EQ(contents(path), before);
    EXPECT_TRUE(report.notes.empty()) << allNotes(report);
    std::vector<std::string> reported;
    for (const SalvagedTable &t : report.tables) {
        reported.push_back(t.name);
        EXPECT_EQ(t.pagesLost, 0) << t.name;
        EXPECT_EQ(t.rowsKept, (long long)(before[t.name].size())) << t.name;
    }
    EXPECT_EQ(reported, tables);
    EXPECT_TRUE(
        std::regex_match(report.damagedCopy, std::regex(".*/library\\.db\\.damaged-[0-9]{8}-[0-9]{6}")))
        << report.damagedCopy;
    EXPECT_EQ(fileBytes(report.damagedCopy), original);
    Handle h(path);
    EXPECT_EQ(h.query("pragma journal_mode"), Rows{{"t:wal"}});
    EXPECT_EQ(h.query("pragma integrity_check"), Rows{{"t:ok"}});
}

INSTANTIATE_TEST_SUITE_P(SalvagePageLayouts, SalvageRoundTrip,
                         ::testing::Values(Layout{512, 0}, Layout{1024, 0}, Layout{4096, 0}, Layout{4096, 32},
                                           Layout{8192, 255}, Layout{65536, 0}),
                         [](const auto &info) {
                             return "Page" + std::to_string(info.param.pageSize) + "Reserved" +
                                    std::to_string(info.param.reservedBytes);
                         });

// ---------------------------------------------------------------------------------------------

// Skips the varint at `at`, answering where it ends.
size_t skipVarint(const Bytes &page, size_t at)
{
    for (int i = 0; i < 8 && (page[at] & 0x80); ++i)
        ++at;
    return at + 1;
}

size_t cellPointer(const Bytes &page, int i)
{
    return size_t(page[8 + 2 * i]) << 8 | page[9 + 2 * i];
}

// Where the first serial type of the first cell's record lies (Title: a short text).
size_t firstSerialType(const Bytes &page)
{
    size_t at = cellPointer(page, 0);
    at = skipVarint(page, at);   // payload size
    at = skipVarint(page, at);   // rowid
    return skipVarint(page, at); // header size
}

struct LeafDamage
{
    const char *name;
    std::function<void(Bytes &)> how;
};

void PrintTo(const LeafDamage &damage, std::ostream *out)
{
    *out << damage.name;
}

class SalvageDamagedLeaf : public ::testing::TestWithParam<LeafDamage>
{
};

// Whatever is wrong with a leaf page, its rows are lost and no other row is: a leaf that does
// not make sense as a whole is never read in part.
TEST_P(SalvageDamagedLeaf, LosesOnlyTheRowsOfThatPage)
{
    ScratchDir dir;
    const std::string path = dir.path + "/library.db";
    makeLibrary(path);
    const std::vector<PageInfo> leaves = pagesOf(path, "Media", "leaf");
    ASSERT_GT(leaves.size(), 100u);
    const PageInfo leaf = leaves[leaves.size() / 2];
    ASSERT_GE(leaf.cells, 2);
    const Rows before = mediaRows(path);
    const Rows tags = Handle(path).query("select rowid, * from Tag order by rowid");
    damagePage(path, 1024, leaf.page, GetParam().how);
    const std::string damaged = fileBytes(path);

    SalvageReport report;
    ASSERT_TRUE(salvage(path, report));

    expectLostOneRange(before, mediaRows(path), size_t(leaf.cells));
    const SalvagedTable *media = tableIn(report, "Media");
    ASSERT_TRUE(media);
    EXPECT_EQ(media->rowsKept, MediaRows - leaf.cells);
    EXPECT_EQ(media->pagesLost, 1);
    const SalvagedTable *tag = tableIn(report, "Tag");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->rowsKept, 200);
    EXPECT_EQ(tag->pagesLost, 0);
    Handle h(path);
    EXPECT_EQ(h.query("select rowid, * from Tag order by rowid"), tags);
    // The index is made again over the rows that are left.
    EXPECT_EQ(h.number("select count(*) from Media indexed by Media_Title where Title > ''"),
              MediaRows - leaf.cells);
    EXPECT_EQ(fileBytes(report.damagedCopy), damaged);
}

INSTANTIATE_TEST_SUITE_P(
    SalvageLeafDamage, SalvageDamagedLeaf,
    ::testing::Values(LeafDamage{"Garbage", garbage},
                      LeafDamage{"Zeroes", [](Bytes &p) { std::fill(p.begin(), p.end(), 0); }},
                      LeafDamage{"CellCountPastThePage", [](Bytes &p) { p[3] = p[4] = 0xff; }},
                      LeafDamage{"CellPointerOutsideThePage", [](Bytes &p) { p[8] = p[9] = 0xff; }},
                      LeafDamage{"CellsOverlap",
                                 [](Bytes &p) {
                                     const size_t first = cellPointer(p, 0) + 1;
                                     p[10] = uint8_t(first >> 8);
                                     p[11] = uint8_t(first);
                                 }},
                      LeafDamage{"RowidsOutOfOrder",
                                 [](Bytes &p) {
                                     std::swap(p[8], p[10]);
                                     std::swap(p[9], p[11]);
                                 }},
                      LeafDamage{"ReservedSerialType", [](Bytes &p) { p[firstSerialType(p)] = 10; }},
                      LeafDamage{"SerialTypesDoNotFillThePayload",
                                 [](Bytes &p) { p[firstSerialType(p)] = 0; }}),
    [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------

struct ChainDamage
{
    const char *name;
    bool lastPage; // the last page of the chain rather than the first
    std::function<void(Bytes &, long long page)> how;
};

void PrintTo(const ChainDamage &damage, std::ostream *out)
{
    *out << damage.name;
}

class SalvageDamagedOverflow : public ::testing::TestWithParam<ChainDamage>
{
};

// A broken overflow chain loses the one row it belongs to; the rest of its leaf is kept.
TEST_P(SalvageDamagedOverflow, LosesOneRow)
{
    ScratchDir dir;
    const std::string path = dir.path + "/library.db";
    makeLibrary(path);
    const std::vector<PageInfo> overflow = pagesOf(path, "Media", "overflow");
    ASSERT_FALSE(overflow.empty());
    // dbstat names an overflow page after its cell, then its place in the chain.
    const std::string chain =
        overflow[overflow.size() / 2].path.substr(0, overflow[overflow.size() / 2].path.find('+'));
    std::vector<PageInfo> pages;
    for (const PageInfo &p : overflow)
        if (p.path.rfind(chain + "+", 0) == 0)
            pages.push_back(p);
    ASSERT_GE(pages.size(), 2u);
    const long long target = GetParam().lastPage ? pages.back().page : pages.front().page;
    const Rows before = mediaRows(path);
    damagePage(path, 1024, target, [&](Bytes &p) { GetParam().how(p, target); });

    SalvageReport report;
    ASSERT_TRUE(salvage(path, report));

    const Rows after = mediaRows(path);
    expectLostOneRange(before, after, 1);
    std::set<Row> kept(after.begin(), after.end());
    for (const Row &row : before)
        if (!kept.count(row)) {
            EXPECT_GT(row[2].size(), 1000u) << "the lost row is not one that spills";
        }
    const SalvagedTable *media = tableIn(report, "Media");
    ASSERT_TRUE(media);
    EXPECT_EQ(media->rowsKept, MediaRows - 1);
    EXPECT_EQ(media->pagesLost, 0);
}

INSTANTIATE_TEST_SUITE_P(
    SalvageChainDamage, SalvageDamagedOverflow,
    ::testing::Values(ChainDamage{"FirstPageGarbage", false, [](Bytes &p, long long) { garbage(p); }},
                      ChainDamage{"LastPageGarbage", true, [](Bytes &p, long long) { garbage(p); }},
                      ChainDamage{"ChainLoopsOnItself", false,
                                  [](Bytes &p, long long page) {
                                      p[0] = uint8_t(page >> 24);
                                      p[1] = uint8_t(page >> 16);
                                      p[2] = uint8_t(page >> 8);
                                      p[3] = uint8_t(page);
                                  }}),
    [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------

// A damaged interior page loses the rows below it; the rows of every other subtree, and the
// other tables, are kept.
TEST(SalvageDamagedInterior, LosesItsSubtreeOnly)
{
    struct Case
    {
        const char *name;
        bool root;
    };
    for (const Case &c : {Case{"middle interior page", false}, Case{"root page", true}}) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string path = dir.path + "/library.db";
        makeLibrary(path);
        const std::vector<PageInfo> interior = pagesOf(path, "Media", "internal");
        ASSERT_GE(interior.size(), 3u) << "the Media tree has no middle level";
        const PageInfo page = c.root ? interior.front() : interior[2];
        ASSERT_EQ(page.path == "/", c.root);
        long long below = 0;
        for (const PageInfo &leaf : pagesOf(path, "Media", "leaf"))
            if (leaf.path.rfind(page.path, 0) == 0)
                below += leaf.cells;
        ASSERT_GT(below, 0);
        const Rows before = mediaRows(path);
        damagePage(path, 1024, page.page, garbage);

        SalvageReport report;
        ASSERT_TRUE(salvage(path, report));

        expectLostOneRange(before, mediaRows(path), size_t(below));
        const SalvagedTable *media = tableIn(report, "Media");
        ASSERT_TRUE(media);
        EXPECT_EQ(media->rowsKept, MediaRows - below);
        EXPECT_EQ(media->pagesLost, 1);
        EXPECT_EQ(Handle(path).number("select count(*) from Tag"), 200);
    }
}

// ---------------------------------------------------------------------------------------------

// With a page of sqlite_schema damaged, every table whose definition can still be read is rebuilt
// with all its rows, and the note names where the lost tables' pages start.
TEST(SalvageDamagedSchema, RebuildsEveryTableWhoseDefinitionIsReadable)
{
    ScratchDir dir;
    const std::string path = dir.path + "/library.db";
    constexpr int Albums = 40;
    auto album = [](int i) {
        char name[16];
        std::snprintf(name, sizeof name, "Album%02d", i);
        return std::string(name);
    };
    {
        Handle h(path, 1024);
        h.exec(SystemTables);
        h.exec("insert into _vk_meta values ('next_oid', 5000), ('format', 1);");
        for (int i = 0; i < Albums; ++i) {
            std::string sql = "create table " + album(i) + "(";
            for (int k = 0; k < 12; ++k)
                sql +=
                    (k ? ", " : "") + std::string("a_rather_long_column_name_") + std::to_string(k) + " text";
            h.exec(sql + "); create index " + album(i) + "_first on " + album(i) +
                   "(a_rather_long_column_name_0);");
            for (int r = 1; r <= 3; ++r)
                h.exec("insert into " + album(i) + "(rowid, a_rather_long_column_name_0) values (" +
                       std::to_string(1000 + i * 10 + r) + ", 'row " + std::to_string(r) + "')");
        }
    }
    std::map<std::string, Rows> before;
    std::map<std::string, long long> rootOf;
    {
        Handle h(path);
        for (int i = 0; i < Albums; ++i) {
            before[album(i)] = h.query("select rowid, * from " + album(i) + " order by rowid");
            rootOf[album(i)] = h.number("select rootpage from sqlite_schema where name=?", {album(i)});
        }
    }
    const std::vector<PageInfo> schemaLeaves = pagesOf(path, "sqlite_schema", "leaf");
    ASSERT_GE(schemaLeaves.size(), 5u) << "the schema fits on too few pages";
    damagePage(path, 1024, schemaLeaves[2].page, garbage);

    SalvageReport report;
    ASSERT_TRUE(salvage(path, report));

    Handle h(path);
    std::vector<int> lost;
    for (int i = 0; i < Albums; ++i) {
        if (h.number("select count(*) from sqlite_schema where type='table' and name=?", {album(i)}) == 0) {
            lost.push_back(i);
            EXPECT_FALSE(tableIn(report, album(i))) << album(i);
            continue;
        }
        EXPECT_EQ(h.query("select rowid, * from " + album(i) + " order by rowid"), before[album(i)])
            << album(i);
        const SalvagedTable *t = tableIn(report, album(i));
        ASSERT_TRUE(t) << album(i);
        EXPECT_EQ(t->rowsKept, 3);
    }
    ASSERT_FALSE(lost.empty());
    EXPECT_LT(lost.size(), size_t(Albums) / 2);
    EXPECT_EQ(lost.back() - lost.front() + 1, int(lost.size())) << "the lost definitions do not lie together";
    const std::set<long long> named = numbersIn(allNotes(report));
    for (int i : lost)
        EXPECT_TRUE(named.count(rootOf[album(i)]))
            << album(i) << " at page " << rootOf[album(i)] << " is not named in\n"
            << allNotes(report);
    EXPECT_EQ(h.query("select value from _vk_meta where key='next_oid'"), Rows{{"i:5000"}});
    EXPECT_EQ(h.query("pragma integrity_check"), Rows{{"t:ok"}});
}

// ---------------------------------------------------------------------------------------------

// The engine's promise that an OID, a serial number or a file object's id is never handed out
// twice survives the salvage: counters stay above every value that was read, and counters whose
// pages were lost are made again from the rows.
TEST(SalvageCounters, StayAboveEverythingRead)
{
    struct Case
    {
        const char *name;
        long long storedOid, storedSerial, storedSequence, storedFormat;
        bool loseCounterPages;
        long long oid, serial, sequence, format;
    };
    // Folder holds OIDs 1001..1200 and FolderId up to 600; _vk_fileobj ids up to 70 while
    // Folder.Picture refers to ids up to 150.
    const Case cases[] = {
        {"stored counters ahead of the rows", 50000, 9000, 300, 3, false, 50000, 9000, 300, 3},
        {"stored counters behind the rows", 10, 2, 70, 1, false, 1201, 601, 150, 1},
        {"counter pages lost", 50000, 9000, 300, 3, true, 1201, 601, 150, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string path = dir.path + "/library.db";
        {
            Handle h(path, 1024);
            h.exec(SystemTables);
            h.exec("create table Folder(FolderId integer default (vk_serial('Folder','FolderId')), Name text,"
                   " Picture file blob);");
            std::vector<std::vector<V>> folders, objects;
            for (int i = 1; i <= 200; ++i)
                folders.push_back({integer(1000 + i), integer(i * 3), text("folder " + std::to_string(i)),
                                   i % 2 ? null() : integer(i * 150 / 200)});
            for (int i = 1; i <= 70; ++i)
                objects.push_back(
                    {integer(i), text("objects/"), text(std::to_string(i) + ".jpg"), integer(0)});
            h.insert("insert into Folder(rowid, FolderId, Name, Picture) values (?,?,?,?)", folders);
            h.insert("insert into _vk_fileobj(id, dir, name, type) values (?,?,?,?)", objects);
            h.exec("insert into _vk_meta values ('next_oid', " + std::to_string(c.storedOid) +
                   "), ('format', " + std::to_string(c.storedFormat) +
                   ");"
                   "insert into _vk_serial values ('Folder.FolderId', " +
                   std::to_string(c.storedSerial) +
                   ");"
                   "update sqlite_sequence set seq=" +
                   std::to_string(c.storedSequence) + " where name='_vk_fileobj';");
        }
        if (c.loseCounterPages) {
            std::vector<long long> roots;
            {
                Handle h(path);
                for (const char *t : {"_vk_meta", "_vk_serial", "sqlite_sequence"})
                    roots.push_back(h.number("select rootpage from sqlite_schema where name=?", {t}));
            }
            for (long long root : roots)
                damagePage(path, 1024, root, garbage);
        }

        SalvageReport report;
        ASSERT_TRUE(salvage(path, report));

        Handle h(path);
        EXPECT_EQ(h.number("select value from _vk_meta where key='next_oid'"), c.oid);
        EXPECT_EQ(h.number("select value from _vk_meta where key='format'"), c.format);
        EXPECT_EQ(h.number("select next from _vk_serial where name='Folder.FolderId'"), c.serial);
        EXPECT_EQ(h.number("select seq from sqlite_sequence where name='_vk_fileobj'"), c.sequence);
        EXPECT_EQ(h.number("select count(*) from _vk_fileobj"), 70);
        EXPECT_EQ(h.number("select count(*) from Folder"), 200);
    }
}

// Rows still in the write-ahead log are folded into the file before it is read, and the log is
// not left behind.
TEST(SalvageWal, RowsOnlyInTheLogAreKept)
{
    ScratchDir dir;
    const std::string path = dir.path + "/library.db";
    {
        Handle h(path);
        h.exec("pragma journal_mode=wal;");
        h.exec(SystemTables);
        h.exec("create table Media(Title text)");
    }
    {
        Handle h(path);
        sqlite3_db_config(h.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        h.exec("insert into Media(rowid, Title) values (1001, 'only in the log'), (1002, 'this one too')");
    }
    ASSERT_GT(fs::file_size(path + "-wal"), 0u);

    SalvageReport report;
    ASSERT_TRUE(salvage(path, report));

    EXPECT_EQ(Handle(path).query("select rowid, Title from Media order by rowid"),
              (Rows{{"i:1001", "t:only in the log"}, {"i:1002", "t:this one too"}}));
    const SalvagedTable *media = tableIn(report, "Media");
    ASSERT_TRUE(media);
    EXPECT_EQ(media->rowsKept, 2);
}

// A file nothing can be rebuilt from fails with a reason, and nothing in its directory changes.
TEST(SalvageFails, WhenNothingCanBeRebuiltTheFileIsUntouched)
{
    struct Case
    {
        const char *name;
        std::function<void(const std::string &)> make;
    };
    const Case cases[] = {
        {"an empty file", [](const std::string &p) { std::ofstream(p, std::ios::binary); }},
        {"a text file",
         [](const std::string &p) { std::ofstream(p, std::ios::binary) << std::string(5000, 'x'); }},
        {"a database header over garbage",
         [](const std::string &p) {
             Bytes bytes(8192);
             garbage(bytes);
             std::memcpy(bytes.data(), "SQLite format 3", 16);
             std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), 8192);
         }},
        {"a database whose schema root is destroyed",
         [](const std::string &p) {
             makeLibrary(p);
             damagePage(p, 1024, 1, [](Bytes &page) { std::fill(page.begin() + 100, page.end(), 0xa5); });
         }},
        {"a database of UTF-16 text",
         [](const std::string &p) {
             Handle h(p);
             h.exec("pragma encoding='UTF-16le'; create table Media(Title text); insert into Media values "
                    "('x');");
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string path = dir.path + "/library.db";
        c.make(path);
        const std::string bytes = fileBytes(path);

        SalvageReport report;
        std::string error;
        EXPECT_FALSE(salvageDatabase(path, report, error));

        EXPECT_FALSE(error.empty());
        EXPECT_EQ(fileBytes(path), bytes);
        std::vector<std::string> left;
        for (const auto &entry : fs::directory_iterator(dir.path))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"library.db"});
        EXPECT_TRUE(report.damagedCopy.empty());
    }
    SalvageReport report;
    std::string error;
    EXPECT_FALSE(salvageDatabase("/nonexistent/library.db", report, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
