// The engine's file objects on disk: internal copies in the file-object directory,
// and the "move file object" command that relocates them.
//
// Only internal copies are ever written, moved or removed here; an external file
// (a user's file that a row refers to where it lies) is never touched.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace vkdb {

// Told the full path of a file the engine is about to create in the file-object directory,
// before it exists; false stops the creation. The connection notes it in its journal of
// copies in progress, so that a check running meanwhile never takes it for an orphan.
using AnnounceFile = std::function<bool(const std::string &path)>;

// Copies `source` into `dir` under a new unique name (keeping its extension) and makes the
// copy and its name durable. On success `copy` is the copy's full path. `diskFull` tells
// that the copy failed for want of space.
bool makeInternalCopy(const std::string &source, const std::string &dir, std::string &copy,
                      std::string &error, const AnnounceFile &announce = {}, bool *diskFull = nullptr);

// Copies a file to `target`. With `exclusive` an existing target is an error; otherwise an
// existing plain file is replaced only once the whole copy is written (through a temporary
// file beside it), so a failed copy leaves it as it was. Copying a file onto itself is an error.
bool copyFile(const std::string &source, const std::string &target, bool exclusive, std::string &error,
              bool *diskFull = nullptr);
bool writeWholeFile(const std::string &path, const char *data, size_t size, std::string &error,
                    bool *diskFull = nullptr);

// Whether a name is one the engine gives its internal copies ("vk" + 12 hex digits + extension).
bool isInternalCopyName(const std::string &name);

// Makes a directory entry just created or renamed in `dir` durable.
void syncDirectory(const std::string &dir);

struct MoveResult
{
    bool ok = false;
    int moved = 0;
    int announced = 0; // targets told to `announce`, whether the move succeeded or not
    std::vector<std::pair<std::string, std::string>> movedOnDisk; // from, to: what a rollback puts back
    std::string error;
};

// "move file object 'from' to 'to'": `from` is either a directory holding internal objects
// (all of them move into the directory `to`) or the full name of one internal object
// (it moves to the full name `to`). An object already at its destination (the directory was
// moved by hand) only has its catalog entry updated. All or nothing: when one file cannot be
// moved, those moved before go back and the catalog is unchanged.
//
// Only the engine's own copies move: a catalogue entry whose name is not one the engine gives
// its copies, whose file is not a plain file, or whose directory `trusted` does not answer for
// is never moved (the move fails and names it), and nothing moves into a directory `trusted`
// does not answer for. A copy found at its destination already only has its entry updated.
using TrustedDirectory = std::function<bool(const std::string &dir)>;
MoveResult moveFileObject(sqlite3 *db, const std::string &from, const std::string &to,
                          const AnnounceFile &announce, const TrustedDirectory &trusted);

} // namespace vkdb
