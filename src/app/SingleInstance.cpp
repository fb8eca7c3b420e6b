#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace vk {

SingleInstance::SingleInstance(const QString &lockPath, const QString &serverName, QObject *parent)
    : QObject(parent), m_lockPath(lockPath), m_serverName(serverName)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultLockPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/workspace.lock");
}

QString SingleInstance::defaultServerName()
{
    // One name per user and per configuration directory, short enough for a socket path.
    const QByteArray home = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(home, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("vellumark-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::claim()
{
    QDir().mkpath(QFileInfo(m_lockPath).absolutePath());
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        // Another copy holds the lock: ask it to come forward, then step aside.
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (socket.waitForConnected(1000)) {
            socket.write("activate\n");
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
        }
        m_lock.reset();
        return false;
    }
    // We hold the lock, so a server left behind by a crashed copy can go.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    m_server->listen(m_serverName);
    return true;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains("activate"))
                emit activationRequested();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

} // namespace vk
