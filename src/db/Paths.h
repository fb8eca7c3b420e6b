// Where Vellumark keeps its files. Everything comes from QStandardPaths, so
// XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME place all of it.
#pragma once

#include <QString>

namespace vk {

// Sets the organisation and application names every path and setting is derived from.
void setApplicationIdentity();

// The engine's configuration file, one section per data source.
QString configFilePath();
// The directory a new data source of that name is created in by default.
QString defaultDataSourceDirectory(const QString &dataSource);
// A private per-user directory for temporary files (made with owner-only access); empty when none can be
// made.
QString privateTempDirectory();
// The private per-user directory for the workspace's sockets: XDG_RUNTIME_DIR when it is set, else
// one made with owner-only access under the system temporary directory. Empty, with *error set,
// when the directory found is not the user's own or is open to others.
QString privateRuntimeDirectory(QString *error = nullptr);
// The socket the running workspace takes remote commands on (`vkctl send`); one per user and
// configuration directory. Empty, with *error set, when no private directory can hold it.
QString remoteCommandSocketPath(QString *error = nullptr);

} // namespace vk
