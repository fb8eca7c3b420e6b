// Salvage of a damaged database, row range by row range.
//
// SQLite stops reading a table at the first damaged page it meets, and reads no table at all
// once a page of sqlite_schema is damaged. The salvage reads the database file's b-tree pages
// itself instead, skips every page that does not make sense, and rebuilds the database from
// every row that can still be read. The damaged file is never thrown away: it is kept beside
// the rebuilt one.
//
// No Qt here: the salvage is part of the engine.
#pragma once

#include <string>
#include <vector>

namespace vkdb {

struct SalvagedTable
{
    std::string name;
    long long rowsKept = 0;
    int pagesLost = 0;
};

struct SalvageReport
{
    std::vector<SalvagedTable> tables; // in schema order, the engine's own _vk_ tables included
    std::string damagedCopy;           // where the damaged file was kept (path.damaged-YYYYmmdd-HHMMSS)
    std::vector<std::string> notes;    // e.g. a table whose definition could not be read
};

// Rebuilds the database at `path` from every row that can still be read and puts the rebuilt
// file in its place; the damaged file (with its -wal/-shm) is kept beside it. The database must
// not be open in this process. False with `error` set when nothing could be rebuilt (then the
// original file is untouched).
//
// The engine's counters survive: the next OID stays above every OID that was read, a serial
// column's counter above every number it holds, and file-object ids are not handed out again.
bool salvageDatabase(const std::string &path, SalvageReport &report, std::string &error);

} // namespace vkdb
