#include "TempDataSource.h"

#include "DatabaseSetup.h"

#include <QFile>

namespace vk {

TempDataSource::TempDataSource(const QString &name) : m_name(name)
{
    connection.setUi(&ui);
    created =
        CreateDatabaseIn(connection, configPath(), name, QStringLiteral("SYSADM"), QString(), databaseDir());
}

QString TempDataSource::writeFile(const QString &name, const QByteArray &content) const
{
    const QString path = m_dir.path() + QLatin1Char('/') + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return path;
}

} // namespace vk
