// vkctl send and init as a person scripts them: a macro handed to the running workspace (a
// stand-in server here), the reasons when none runs, and the names a new data source may take.
#include "ConfigFile.h"
#include "Paths.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

struct Result
{
    int code = -1;
    QString out, err;
};

class VkctlSendTest : public ::testing::Test
{
protected:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        return env;
    }

    // Runs vkctl while this thread's event loop keeps serving `server`'s clients.
    Result vkctl(const QStringList &args, const QString &workingDir = QString())
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        if (!workingDir.isEmpty())
            p.setWorkingDirectory(workingDir);
        p.start(QStringLiteral(VKCTL_PATH), args);
        QDeadlineTimer deadline(30000);
        while (p.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            p.waitForFinished(10);
        }
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    // The socket the workspace would listen at in vkctl's environment.
    QString socketPath() const
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
        const QString path = vk::remoteCommandSocketPath();
        qputenv("XDG_CONFIG_HOME", saved);
        return path;
    }

    // A stand-in workspace that records each macro and answers `reply`.
    void serve(const QByteArray &reply)
    {
        QLocalServer::removeServer(socketPath());
        ASSERT_TRUE(server.listen(socketPath())) << server.errorString().toStdString();
        QObject::connect(&server, &QLocalServer::newConnection, [this, reply] {
            QLocalSocket *s = server.nextPendingConnection();
            QObject::connect(s, &QLocalSocket::readyRead, [this, s, reply] {
                buffer += s->readAll();
                if (buffer.endsWith("\n\n")) {
                    macros << buffer;
                    buffer.clear();
                    s->write(reply + '\n');
                    s->flush();
                    s->disconnectFromServer();
                }
            });
        });
    }

    QTemporaryDir home;
    QLocalServer server;
    QByteArray buffer;
    QList<QByteArray> macros;
};

TEST_F(VkctlSendTest, NoWorkspaceRunning)
{
    QFile f(home.path() + "/clip.wav");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF");
    f.close();
    const Result r = vkctl({"send", "NewMedia", f.fileName(), "True"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("no workspace is running")) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(f.fileName()));
}

TEST_F(VkctlSendTest, HandsTheFullPathAndReportsTheWorkspacesAnswer)
{
    QDir().mkpath(home.path() + "/clips");
    QFile f(home.path() + "/clips/a b.wav");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("RIFF");
    f.close();
    serve("imported 000000000000004001");
    Result r = vkctl({"send", "NewMedia", "a b.wav", "True"}, home.path() + "/clips");
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "000000000000004001\n");
    ASSERT_EQ(macros.size(), 1);
    EXPECT_EQ(macros[0], "NewMedia\n" + QFile::encodeName(f.fileName()) + "\nTrue\n\n");

    // Without a third line the file is kept.
    r = vkctl({"send", "NewMedia", f.fileName()});
    ASSERT_EQ(macros.size(), 2);
    EXPECT_TRUE(macros[1].endsWith("\nFalse\n\n"));
}

TEST_F(VkctlSendTest, RefusalsAndFailures)
{
    serve("failed: /x: the file is empty");
    QFile f(home.path() + "/empty.wav");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    Result r = vkctl({"send", "NewMedia", f.fileName(), "True"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("the file is empty")) << r.err.toStdString();

    // Usage errors and a file that is not there never reach the workspace.
    EXPECT_EQ(vkctl({"send", "Format", f.fileName()}).code, 2);
    EXPECT_EQ(vkctl({"send", "NewMedia"}).code, 2);
    EXPECT_EQ(vkctl({"send", "NewMedia", f.fileName(), "True\nmore"}).code, 2);
    r = vkctl({"send", "NewMedia", home.path() + "/absent.wav"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(macros.size(), 1);
}

TEST_F(VkctlSendTest, InitTakesTheDialogsNamesOnly)
{
    for (const char *name : {"../up", "a b", "[x]", "-x", "x/y", "na=me", ""}) {
        const Result r = vkctl({"init", QString::fromUtf8(name)});
        EXPECT_NE(r.code, 0) << name;
        EXPECT_FALSE(QFile::exists(home.path() + "/config/Quorient/Vellumark/vkconfig.ini")) << name;
    }
    const Result r = vkctl({"init", "Holiday-2026_b"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    vkdb::ConfigFile config((home.path() + "/config/Quorient/Vellumark/vkconfig.ini").toStdString());
    EXPECT_TRUE(config.hasSection("Holiday-2026_b"));
}

} // namespace
