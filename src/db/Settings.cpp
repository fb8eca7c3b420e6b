#include "Settings.h"

#include <QSettings>

namespace vk {

QString readWithDefault(QSettings &settings, const QString &key, const QString &defaultValue)
{
    if (!settings.contains(key))
        settings.setValue(key, defaultValue);
    return settings.value(key).toString();
}

DatabaseSettings readDatabaseSettings(QSettings &settings)
{
    DatabaseSettings s;
    s.dataSource = readWithDefault(settings, QStringLiteral("Database/DataSource"), QLatin1String(DefaultDataSource));
    s.userName = readWithDefault(settings, QStringLiteral("Database/UserName"), QLatin1String(DefaultUserName));
    s.password = readWithDefault(settings, QStringLiteral("Database/Password"), QString());
    if (s.dataSource.isEmpty())
        s.dataSource = QLatin1String(DefaultDataSource);
    if (s.userName.isEmpty())
        s.userName = QLatin1String(DefaultUserName);
    return s;
}

void writeDatabaseSettings(QSettings &settings, const DatabaseSettings &values)
{
    settings.setValue(QStringLiteral("Database/DataSource"), values.dataSource);
    settings.setValue(QStringLiteral("Database/UserName"), values.userName);
    settings.setValue(QStringLiteral("Database/Password"), values.password);
}

} // namespace vk
