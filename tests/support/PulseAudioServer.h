// A private, user-mode PulseAudio daemon with a null source, for tests that record without a
// sound card: its socket and configuration in a temporary directory of its own, gone with it.
// It runs as root too (as on a fresh CI machine): --system=false keeps it a per-user daemon.
#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace fixtures {

class PulseAudioServer
{
public:
    // Empty when the daemon is up; otherwise why not (the binaries missing, or it did not start).
    QString start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
        if (daemon.isEmpty() || pactl.isEmpty())
            return QStringLiteral(
                "pulseaudio and pactl are not installed (packages pulseaudio, pulseaudio-utils)");
        if (!m_dir.isValid())
            return QStringLiteral("no temporary directory");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path() + QStringLiteral("/config"));
        env.remove(QStringLiteral("PULSE_SERVER"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_daemon.setProcessEnvironment(env);
        m_daemon.setProcessChannelMode(QProcess::MergedChannels);
        m_daemon.start(
            daemon, {QStringLiteral("--daemonize=no"), QStringLiteral("--system=false"),
                     QStringLiteral("--exit-idle-time=30"), QStringLiteral("-n"),
                     QStringLiteral("--use-pid-file=false"), QStringLiteral("--disable-shm=true"),
                     QStringLiteral("--log-target=stderr"),
                     QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket(),
                     QStringLiteral("--load=module-null-source source_name=vk_null_source"),
                     QStringLiteral("--load=module-null-sink sink_name=vk_null_sink")});
        if (!m_daemon.waitForStarted(5000))
            return QStringLiteral("pulseaudio did not start: ") + m_daemon.errorString();
        // Up once a client gets an answer from it.
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_daemon.state() == QProcess::Running) {
            if (QFile::exists(socket())) {
                QProcess info;
                info.setProcessEnvironment(clientEnvironment());
                info.start(pactl, {QStringLiteral("set-default-source"), QStringLiteral("vk_null_source")});
                if (info.waitForFinished(3000) && info.exitCode() == 0)
                    return QString();
            }
            QThread::msleep(20);
        }
        return QStringLiteral("pulseaudio did not come up: ") + QString::fromLocal8Bit(m_daemon.readAll());
    }

    ~PulseAudioServer()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(2000);
        }
    }

    QString socket() const { return m_dir.path() + QStringLiteral("/native"); }
    // What a client of this daemon runs with.
    QProcessEnvironment
    clientEnvironment(QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) const
    {
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + socket());
        env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.path());
        return env;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

} // namespace fixtures
