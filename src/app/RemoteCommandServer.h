// The workspace's remote command server: other programs of the same user (`vkctl send`, a
// companion media player) hand it macros over a local socket that only its owner can reach.
// A client writes the macro's lines, each ending with a line feed, then an empty line; the
// server runs the macro and answers one line ("imported OID", "ignored: REASON" or
// "failed: REASON") before it closes the connection.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace vk {

class TRemoteCommandServer : public QObject
{
    Q_OBJECT
public:
    // Runs one macro on the user-interface thread and answers the reply line (without its line feed).
    using Handler = std::function<QByteArray(const QList<QByteArray> &lines)>;

    explicit TRemoteCommandServer(Handler handler, QObject *parent = nullptr);
    ~TRemoteCommandServer() override;

    // Listens at `socketPath` (owner-only access). A socket left there by a workspace that is gone
    // is replaced: the caller holds the single-instance lock. False with *error set on failure.
    bool listen(const QString &socketPath, QString *error = nullptr);
    QString socketPath() const;

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);

    Handler m_handler;
    QLocalServer *m_server = nullptr;
    bool m_running = false;
};

} // namespace vk
