#include "Paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// True when `dir` is a real directory (no link) of ours that nobody else can enter or write.
bool ownPrivateDirectory(const QString &dir, QString *error)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 is not a directory").arg(dir);
        return false;
    }
    if (st.st_uid != ::getuid() || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        if (error)
            *error = QStringLiteral("%1 is not a private directory of this user").arg(dir);
        return false;
    }
    return true;
}

} // namespace

QString privateRuntimeDirectory(QString *error)
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        return ownPrivateDirectory(runtime, error) ? QDir::cleanPath(runtime) : QString();
    // No runtime directory: one of our own beside the other users' in the temporary directory.
    // An existing one is used only when it is ours and closed to others.
    const QString dir = QDir::tempPath() + QStringLiteral("/vellumark-runtime-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(dir).constData(), S_IRWXU);
    return ownPrivateDirectory(dir, error) ? dir : QString();
}

QString remoteCommandSocketPath(QString *error)
{
    const QString dir = privateRuntimeDirectory(error);
    if (dir.isEmpty())
        return QString();
    // One workspace runs per configuration directory, so each has a socket of its own.
    const QByteArray config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(config, QCryptographicHash::Sha1).toHex().left(12);
    return dir + QStringLiteral("/vellumark-remote-") + QString::fromLatin1(hash);
}

} // namespace vk
