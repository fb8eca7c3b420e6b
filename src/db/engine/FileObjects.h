// The engine's file objects on disk: internal copies in the file-object directory,
// and the "move file object" command that relocates them.
//
// Only internal copies are ever written, moved or removed here; an external file
// (a user's file that a row refers to where it lies) is never touched.
#pragma once

#include <string>

struct sqlite3;

namespace vkdb {

// Copies `source` into `dir` under a new unique name (keeping its extension) and makes the
// copy durable. On success `copy` is the copy's full path.
bool makeInternalCopy(const std::string &source, const std::string &dir, std::string &copy,
                      std::string &error);

// Copies a file to `target`; with `exclusive` an existing target is an error.
bool copyFile(const std::string &source, const std::string &target, bool exclusive, std::string &error);
bool writeWholeFile(const std::string &path, const char *data, size_t size, std::string &error);

struct MoveResult
{
    bool ok = false;
    int moved = 0;
    std::string error;
};

// "move file object 'from' to 'to'": `from` is either a directory holding internal objects
// (all of them move into the directory `to`) or the full name of one internal object
// (it moves to the full name `to`). An object already at its destination (the directory was
// moved by hand) only has its catalog entry updated. All or nothing: when one file cannot be
// moved, those moved before go back and the catalog is unchanged.
MoveResult moveFileObject(sqlite3 *db, const std::string &from, const std::string &to);

} // namespace vkdb
