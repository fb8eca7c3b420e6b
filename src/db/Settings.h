// Per-user settings kept outside the database (QSettings under the program's key paths).
// A value that is missing is written with its default and then read back.
#pragma once

#include <QString>

class QSettings;

namespace vk {

struct DatabaseSettings
{
    QString dataSource;
    QString userName;
    QString password;
};

inline constexpr const char *DefaultDataSource = "svkbook";
inline constexpr const char *DefaultUserName = "SYSADM";

// "Database": DataSource, UserName, Password. An empty DataSource or UserName means the default.
DatabaseSettings readDatabaseSettings(QSettings &settings);
void writeDatabaseSettings(QSettings &settings, const DatabaseSettings &values);

// Reads a value, writing its default first when it is missing.
QString readWithDefault(QSettings &settings, const QString &key, const QString &defaultValue);

} // namespace vk
