// Making a data source's database: the engine keys of its section in vkconfig.ini,
// the database itself, its file-object directory and the library's first tables.
// The first start of the workspace, `vkctl init` and the data recovery system's
// "Run Vellumark with no data." all go through here.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vk {

class Connection;

// Writes DB_DBDIR, DB_FODIR (directory + "/folder", made when missing), DB_USRFO, DB_JnlSz,
// DB_SECUR and DB_USRID into the data source's section. `createLabel` selects the message form
// of a directory that cannot be made.
bool WriteEngineKeys(Connection &c, const QString &configPath, const QString &dataSource, const QString &user,
                     const QString &directory, bool forCreate);

// A new database for the data source in `directory`: DbCreate, DbConnect and the Folder and
// MediaData tables, all tried first on a scratch copy of the configuration; the data source's
// keys (WriteEngineKeys) are written only once that worked, so a failure leaves vkconfig.ini as it
// was. An existing database is never replaced. On success `c` is connected to the new database.
bool CreateDatabaseIn(Connection &c, const QString &configPath, const QString &dataSource,
                      const QString &user, const QString &password, const QString &directory);

// Points the data source at the database `directory` holds (name.db): the connection is tried on
// a scratch copy of the configuration first, and the keys are written only when it succeeded.
// On success `c` is connected.
bool UseDatabaseIn(Connection &c, const QString &configPath, const QString &dataSource, const QString &user,
                   const QString &password, const QString &directory);

// The database file of a data source in a directory (name.db), and its write-ahead log.
QString DatabaseFileIn(const QString &directory, const QString &dataSource);

// Why `name` cannot be a new data source's name, or empty when it can: a data source is a section
// of vkconfig.ini and names its database file, so it is 1 to 32 letters, digits, '_' or '-',
// beginning with a letter or a digit.
QString DataSourceNameRefusal(const QString &name);
inline constexpr int MaxDataSourceNameLength = 32;

// Searches the directory trees under `roots` for databases of the data source: files named
// name.db exactly (the engine opens that name and no other). Symbolic links are never followed and
// directories that cannot be read are passed over. `visit` is called for every directory entered; when it
// answers false the search stops. Answers the files found, in the order met.
QStringList SearchDatabases(const QStringList &roots, const QString &dataSource,
                            const std::function<bool(const QString &directory)> &visit = {});
// Where the search looks: the home directory, then the other mounted local file systems.
QStringList DatabaseSearchRoots();

// The repair `vkctl check --repair` makes of a closed data source whose database cannot be
// opened: engine tables another program removed are rebuilt from the rows, a damaged database is
// salvaged (its damaged file kept beside it). `lines` tells what was done; false with *error when
// it could not be repaired.
bool RepairDataSource(const QString &configPath, const QString &dataSource, QStringList &lines,
                      QString *error);

} // namespace vk
