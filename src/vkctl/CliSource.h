// The data source a command works on, and the part of the library it loads.
#pragma once

#include <QString>
#include <QStringList>

namespace vk {

class CliUi;
class Call;
class Connection;
class TDbFolder;
class TDbFolderList;
struct DisplayOptions;
struct GlobalOptions;

// Connects to the data source and, unless told not to, runs the workspace's after-connect
// steps; what they change is told on stderr.
bool openSource(const GlobalOptions &options, CliUi &ui, Connection &c, bool readOnly = false);

// Opens the data source and loads the folder tree with its media, as the workspace does.
bool openTree(const Call &call, Connection &c, DisplayOptions &display, TDbFolderList &roots);

// For a command that acts on a few folders and items: opens the data source and reads only
// the folders named and those holding the items named, not the whole library. An item no
// folder holds (or no item at all) takes the whole load after all, which gives such a row its
// folder (the lost-media folder) and the command its own "there is no ..." answer.
bool openPart(const Call &call, Connection &c, DisplayOptions &display, TDbFolderList &roots,
              const QStringList &folderOids, const QStringList &mediaOids);

// A folder of the loaded tree by OID or title path; null after telling why.
TDbFolder *namedFolder(TDbFolderList &roots, const QString &name);
// The OID of a folder named by OID or title path, from the Folder table; empty after telling why.
QString namedFolderOid(Connection &c, const QString &name);

// The folder named (by OID or title path) loaded as TDbFolderList::LoadOneFolder loads it, or
// found in what is loaded already; null after telling why.
TDbFolder *loadNamedFolder(Connection &c, TDbFolderList &roots, const QString &name);

// A work directory under the per-user private temporary directory (or the system's).
QString workDirectoryBase();

// A file written by a command goes anywhere but into the library's own file-object directory,
// where it could take the place of a stored copy (the item's own, or another's).
// False after telling why.
bool writableTarget(Connection &c, const QString &path);

} // namespace vk
