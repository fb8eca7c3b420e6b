// Folders named on the command line: by OID, or by title path ("Holiday 2026/Day 1"), titles
// matched exactly, a "/" inside a title written "\/" and a backslash "\\".
#pragma once

#include <QString>
#include <QStringList>

namespace vk {

class Connection;
class TDbFolder;
class TDbFolderList;

// The titles of a path, its escapes undone.
QStringList PathTitles(const QString &path);
// A title as one step of a path: "/" and "\" escaped.
QString PathStep(const QString &title);
// The path of a folder of a loaded tree, from its root.
QString FolderPath(const TDbFolder *folder);

// A folder of the loaded tree by its OID or its title path (from the root level). Null with
// *error set when none or several match (their OIDs listed).
TDbFolder *FindFolderByName(TDbFolderList &roots, const QString &name, QString *error);

// The same from the Folder table alone, for commands that load only the folders they name:
// the folder's OID, or empty with *error set.
QString FolderOidByName(Connection &c, const QString &name, QString *error);
// The title path of the folder of that OID, from the Folder table; empty when there is none.
QString FolderPathByOid(Connection &c, const QString &oid);

} // namespace vk
