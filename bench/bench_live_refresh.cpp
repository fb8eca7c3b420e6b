// The workspace following another program, with 100,000 items in 1,000 folders loaded and a
// folder window of 100 items open (offscreen):
// - the time from `vkctl import` of one file committing (seen by a watcher on its own SQLite
//   connection, 1 ms apart) to the new tile painted in the open window, for several imports,
//   beside the poll interval and beside what reading the whole library again would cost (the
//   start-up load of the same library, timed in the same run);
// - the workspace's CPU time while idle with polling on, beside the same idle time without it.
//
//   QT_QPA_PLATFORM=offscreen build/ci/bench/bench_live_refresh
#include "Childwin.h"
#include "Connection.h"
#include "DatabaseSetup.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "LiveRefresh.h"
#include "Statement.h"
#include "UiServices.h"

#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using namespace vk;

namespace {

constexpr int Folders = 1000;
constexpr int MediaPerFolder = 100;
constexpr int Imports = 5;

class QuietUi : public UiServices
{
public:
    void showMessage(const QString &, Icon) override {}
    bool askYesNo(const QString &) override { return true; }
    bool askOkCancel(const QString &, Icon) override { return true; }
    void showInformation(const QString &, const QStringList &, const QString &) override {}
    int askChoice(const QString &, const QString &, const QStringList &, const QStringList &, int chosen,
                  const QString &, bool *) override
    {
        return chosen;
    }
    void progressStart(const QString &, int) override {}
    bool progressStep(int) override { return true; }
    void progressEnd() override {}
    void setHourglass(bool) override {}
    void setStatusText(const QString &) override {}
};

class Host : public FolderWindowHost
{
public:
    explicit Host(Connection &c) : m_roots(c) {}
    TDbFolderList &roots() override { return m_roots; }
    TSelectedList &clipboard() override { return m_clipboard; }
    UiServices &ui() override { return m_ui; }
    void runCommand(const QString &) override {}
    void openFolder(TDbFolder *) override {}
    void showProperties(TDbMedia *, TDbFolder *) override {}
    void viewActivated(QWidget *) override {}
    void selectInExplorer(TDbFolder *, TDbMedia *) override {}
    TDbMedia *importPaths(TDbFolder *, const QStringList &) override { return nullptr; }
    bool showExternalMark() const override { return true; }
    QString workDirectory() const override { return QStringLiteral("/tmp/"); }

private:
    TDbFolderList m_roots;
    TSelectedList m_clipboard;
    QuietUi m_ui;
};

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The library of bench_media: 1,000 root folders of 100 linked pictures each.
void makeLibrary(Connection &connection, const QString &dir)
{
    CreateDatabaseIn(connection, dir + "/config/Quorient/Vellumark/vkconfig.ini", "bench", "SYSADM", "",
                     dir + "/db");
    Transaction tx(connection);
    {
        Statement st(connection, "insert into Folder (Title, ParFolderId, index, Width, Height, BorderWidth) "
                                 "values (?, 0, ?, 80, 100, 3)");
        for (int f = 1; f <= Folders; ++f) {
            st.nextParamSet();
            st.bind(QStringLiteral("Folder %1").arg(f));
            st.bind(QString::number(f * 32));
            st.execute();
        }
    }
    Statement st(connection, "insert into MediaData (FolderId, title, media, MediaType, index, KeyWords, "
                             "InsertDate, Author) values (?,?,?,3,?,'','2026-12-09','bench')");
    for (int f = 1; f <= Folders; ++f)
        for (int m = 0; m < MediaPerFolder; ++m) {
            st.nextParamSet();
            st.bind(QString::number(f));
            st.bind(QStringLiteral("Picture %1-%2.jpg").arg(f).arg(m));
            st.bind(QStringLiteral("/photos/%1/picture-%2.jpg").arg(f).arg(m));
            st.bind(QString::number(m * 32));
            st.execute();
        }
    tx.commit();
}

// Starts vkctl with the library's data source (not waited for).
pid_t startVkctl(const QString &home, const std::vector<std::string> &args, const QString &log)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_", 4) != 0)
            env.emplace_back(*e);
    for (const char *name : {"CONFIG", "DATA", "CACHE"})
        env.push_back(std::string("XDG_") + name + "_HOME=" + (home + "/" + QString(name).toLower()).toStdString());
    std::vector<char *> envp, argv{const_cast<char *>(VKCTL_PATH)};
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> copies = args;
    for (std::string &a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string logPath = log.toStdString();
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, VKCTL_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Watches the database file from its own connection: the moment another program's commit shows.
class CommitWatcher
{
public:
    explicit CommitWatcher(const std::string &path)
    {
        sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        m_start = version();
        m_thread = std::thread([this] {
            while (!m_stop) {
                if (version() != m_start) {
                    m_seenAt = nowMs();
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~CommitWatcher()
    {
        m_stop = true;
        m_thread.join();
        sqlite3_close(m_db);
    }
    double seenAt() const { return m_seenAt; }

private:
    long long version()
    {
        sqlite3_stmt *s = nullptr;
        long long v = -1;
        if (sqlite3_prepare_v2(m_db, "pragma data_version", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            v = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return v;
    }
    sqlite3 *m_db = nullptr;
    long long m_start = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_seenAt{0};
    std::thread m_thread;
};

// Notes the time of each paint of a widget.
class PaintClock : public QObject
{
public:
    double last = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            last = nowMs();
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Connection connection;
    makeLibrary(connection, dir.path());
    const QString picture = dir.path() + "/new.png";
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(picture, "PNG");

    Host host(connection);
    QElapsedTimer t;
    t.start();
    if (!host.roots().Load(80, 100, 3)) {
        std::fprintf(stderr, "the library did not load\n");
        return 1;
    }
    const double loadMs = t.nsecsElapsed() / 1e6;
    TDbFolder *folder = host.roots().Folders.value(Folders / 2);
    auto *window = new TFolder(host, folder, false);
    window->resize(1000, 700);
    window->show();
    PaintClock paints;
    window->viewport()->installEventFilter(&paints);
    QCoreApplication::processEvents();

    LiveRefresh refresh(host.roots());
    refresh.start();

    std::vector<double> latencies, vkctlRuns;
    for (int i = 0; i < Imports; ++i) {
        const int before = folder->MediaList->count();
        CommitWatcher watcher((dir.path() + "/db/bench.db").toStdString());
        const double started = nowMs();
        const pid_t pid = startVkctl(dir.path(), {"--source", "bench", "import", folder->Rec.OID.toStdString(), picture.toStdString(), "--external"},
                                     dir.path() + "/vkctl.log");
        if (pid < 0) {
            std::fprintf(stderr, "vkctl did not start\n");
            return 1;
        }
        double exited = 0, shown = 0, arrived = 0;
        while (nowMs() - started < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            int status = 0;
            if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
                exited = nowMs();
                if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                    QFile log(dir.path() + "/vkctl.log");
                    log.open(QIODevice::ReadOnly);
                    std::fprintf(stderr, "import %d: vkctl failed: %s\n", i, log.readAll().constData());
                    return 1;
                }
            }
            if (!arrived && folder->MediaList->count() > before)
                arrived = nowMs();
            if (arrived && !shown && paints.last >= arrived)
                shown = paints.last;
            if (shown && exited && watcher.seenAt() > 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!shown || !exited) {
            std::fprintf(stderr, "import %d: the tile did not show\n", i);
            return 1;
        }
        latencies.push_back(shown - watcher.seenAt());
        vkctlRuns.push_back(exited - started);
    }

    // The look itself, once a commit is there: what the refresh costs the user-interface thread.
    double lookMs = 0;
    {
        refresh.stop();
        const pid_t pid = startVkctl(dir.path(),
                                     {"--source", "bench", "import", folder->Rec.OID.toStdString(),
                                      picture.toStdString(), "--external"},
                                     dir.path() + "/vkctl.log");
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "the last import failed\n");
            return 1;
        }
        const int before = folder->MediaList->count();
        QElapsedTimer look;
        look.start();
        refresh.poll();
        lookMs = look.nsecsElapsed() / 1e6;
        if (folder->MediaList->count() != before + 1) {
            std::fprintf(stderr, "the last import did not arrive\n");
            return 1;
        }
        refresh.start();
    }

    // Idle: the event loop running, first with polling, then without.
    auto idle = [&](int ms) {
        const double cpu0 = cpuMs(), wall0 = nowMs();
        QTimer::singleShot(ms, &app, &QCoreApplication::quit);
        app.exec();
        return 100.0 * (cpuMs() - cpu0) / (nowMs() - wall0);
    };
    const double idlePolling = idle(10000);
    refresh.stop();
    const double idleWithout = idle(10000);

    std::sort(latencies.begin(), latencies.end());
    std::sort(vkctlRuns.begin(), vkctlRuns.end());
    std::printf("live refresh, %d items in %d folders loaded, a window of %d items open (offscreen)\n",
                Folders * MediaPerFolder, Folders, MediaPerFolder);
    std::printf("  vkctl import committed -> tile painted, median of %d  %7.1f ms  (longest %.1f ms)\n", Imports,
                latencies[latencies.size() / 2], latencies.back());
    std::printf("    of it, the look that reads the change and merges it %5.1f ms\n", lookMs);
    std::printf("    beside: the poll interval                         %7d ms\n", LiveRefresh::DefaultInterval);
    std::printf("    beside: reading the whole library again (load)    %7.1f ms\n", loadMs);
    std::printf("    beside: the vkctl import run itself, median       %7.1f ms\n", vkctlRuns[vkctlRuns.size() / 2]);
    std::printf("  idle CPU over 10 s, polling                         %7.2f %%\n", idlePolling);
    std::printf("    beside: idle CPU over 10 s, not polling           %7.2f %%\n", idleWithout);
    delete window;
    return 0;
}
