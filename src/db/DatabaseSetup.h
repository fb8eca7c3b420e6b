// Making a data source's database: the engine keys of its section in vkconfig.ini,
// the database itself, its file-object directory and the library's first tables.
// The first start of the workspace, `vkctl init` and the data recovery system's
// "Run Vellumark with no data." all go through here.
#pragma once

#include <QString>

namespace vk {

class Connection;

// Writes DB_DBDIR, DB_FODIR (directory + "/folder", made when missing), DB_USRFO, DB_JnlSz,
// DB_SECUR and DB_USRID into the data source's section. `createLabel` selects the message form
// of a directory that cannot be made.
bool WriteEngineKeys(Connection &c, const QString &configPath, const QString &dataSource, const QString &user,
                     const QString &directory, bool forCreate);

// WriteEngineKeys, then DbCreate, DbConnect and the Folder and MediaData tables. On success
// `c` is connected to the new database.
bool CreateDatabaseIn(Connection &c, const QString &configPath, const QString &dataSource,
                      const QString &user, const QString &password, const QString &directory);

} // namespace vk
