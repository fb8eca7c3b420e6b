#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vk {

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quorient"));
    QCoreApplication::setApplicationName(QStringLiteral("Vellumark"));
}

QString configFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/vkconfig.ini");
}

QString defaultDataSourceDirectory(const QString &dataSource)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + dataSource;
}

QString privateTempDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        return QString();
    const QString dir = base + QStringLiteral("/tmp");
    const QFileInfo info(dir);
    if (info.isSymLink())
        return QString();
    if (!QDir().mkpath(dir))
        return QString();
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

} // namespace vk
