#include "RemoteCommandServer.h"

#include "RemoteMacro.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QVariant>

namespace vk {

TRemoteCommandServer::TRemoteCommandServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
    setObjectName(QStringLiteral("svcRemoteCommandServer"));
}

TRemoteCommandServer::~TRemoteCommandServer()
{
    if (m_server)
        m_server->close();
}

bool TRemoteCommandServer::listen(const QString &socketPath, QString *error)
{
    if (socketPath.isEmpty()) {
        if (error)
            *error = QStringLiteral("no private directory for the socket");
        return false;
    }
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    // Qt makes the socket in a directory of its own with these rights before putting it in place,
    // so there is no moment at which another user could connect.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TRemoteCommandServer::onNewConnection);
    if (!m_server->listen(socketPath)) {
        if (error)
            *error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    QFile::setPermissions(socketPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

QString TRemoteCommandServer::socketPath() const
{
    return m_server ? m_server->fullServerName() : QString();
}

void TRemoteCommandServer::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void TRemoteCommandServer::onReadyRead(QLocalSocket *socket)
{
    if (socket->property("vkDone").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray data = socket->property("vkData").toByteArray() + socket->readAll();
    auto answer = [socket](const QByteArray &line) {
        socket->setProperty("vkDone", true);
        socket->write(line + '\n');
        socket->flush();
        socket->disconnectFromServer();
    };
    if (data.size() > MaxRemoteMacroSize) {
        answer(QByteArrayLiteral("ignored: the macro is too long"));
        return;
    }
    // The macro ends with an empty line.
    const qsizetype end = data.startsWith('\n') ? 0 : data.indexOf("\n\n");
    const qsizetype crEnd = data.indexOf("\r\n\r\n");
    if (end < 0 && crEnd < 0) {
        socket->setProperty("vkData", data);
        return;
    }
    const qsizetype cut = end < 0 ? crEnd + 2 : (crEnd < 0 ? end + 1 : qMin(end + 1, crEnd + 2));
    socket->setProperty("vkData", QByteArray());
    socket->setProperty("vkDone", true);
    // Macros run one at a time: one that arrives while another waits on a message box is turned
    // away rather than run inside it.
    if (m_running) {
        answer(QByteArrayLiteral("failed: the workspace is busy with another macro; try again"));
        return;
    }
    // An import may show a message and so run events: the client may be gone afterwards.
    QPointer<QLocalSocket> guard(socket);
    m_running = true;
    const QByteArray reply = m_handler(SplitMacroLines(data.left(cut)));
    m_running = false;
    if (guard && guard->state() == QLocalSocket::ConnectedState)
        answer(reply);
}

} // namespace vk
