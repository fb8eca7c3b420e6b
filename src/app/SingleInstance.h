// Only one workspace runs per user: a lock file decides which copy is first, and a
// per-user local server lets a second copy ask the first to come forward.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace vk {

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `key` separates users and homes: the lock file lives in the per-user config directory.
    SingleInstance(const QString &lockPath, const QString &serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True for the first copy (which now listens); false when another copy runs, which
    // has then been asked to come forward.
    bool claim();

    static QString defaultLockPath();
    static QString defaultServerName();

signals:
    void activationRequested();

private:
    void onNewConnection();

    QString m_lockPath;
    QString m_serverName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace vk
