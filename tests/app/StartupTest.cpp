// The workspace's start-up and shutdown steps, headless: the connection and its
// failure branches, the first start, the work directory, the single-instance guard.
#include "Startup.h"
#include "ConfigFile.h"
#include "Engine.h"
#include "SingleInstance.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <sqlite3.h>

using namespace vk;

namespace {

struct Harness
{
    explicit Harness(const QString &configPath)
    {
        Startup::Hooks hooks;
        hooks.ui = &ui;
        hooks.repairWizard = [this](Connection &c) {
            ++wizardRuns;
            return wizard ? wizard(c) : false;
        };
        startup = std::make_unique<Startup>(std::move(hooks), configPath);
    }

    RecordingUi ui;
    int wizardRuns = 0;
    std::function<bool(Connection &)> wizard;
    std::unique_ptr<Startup> startup;
};

std::string smode(const TempDataSource &src)
{
    return vkdb::ConfigFile(src.configPath().toStdString())
        .value(src.name().toStdString(), "DB_SMODE")
        .value_or("");
}

TEST(StartupConnect, ConnectsToAWorkingDataSource)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    Harness h(src.configPath());
    h.startup->settings.database = {src.name(), QStringLiteral("SYSADM"), QString()};
    EXPECT_TRUE(h.startup->connectDatabase());
    EXPECT_TRUE(h.startup->connection.isConnected());
    EXPECT_TRUE(h.ui.messages.isEmpty());
    EXPECT_EQ(h.wizardRuns, 0);
}

TEST(StartupConnect, UnknownDataSourceWarnsWithItsNameAndRunsTheWizard)
{
    TempDataSource src;
    Harness h(src.configPath());
    h.startup->settings.database = {QStringLiteral("gone"), QStringLiteral("SYSADM"), QString()};
    EXPECT_FALSE(h.startup->connectDatabase());
    EXPECT_EQ(h.ui.messages, QStringList{QStringLiteral("Database warning!(gone)\n\r")});
    EXPECT_EQ(h.wizardRuns, 1);
    EXPECT_FALSE(h.startup->connection.isConnected());

    // A wizard that makes the connection lets start-up go on.
    Harness ok(src.configPath());
    ok.startup->settings.database = {QStringLiteral("gone"), QStringLiteral("SYSADM"), QString()};
    ok.wizard = [&](Connection &c) {
        return c.connect(src.configPath(), src.name(), "SYSADM", "") == vkdb::DbOk;
    };
    EXPECT_TRUE(ok.startup->connectDatabase());
    EXPECT_TRUE(ok.startup->connection.isConnected());
}

TEST(StartupConnect, MissingDatabaseIsNeverCreatedSilently)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    ASSERT_TRUE(QFile::remove(dbFile));
    QFile::remove(dbFile + "-wal");
    QFile::remove(dbFile + "-shm");
    Harness h(src.configPath());
    h.startup->settings.database = {src.name(), QStringLiteral("SYSADM"), QString()};
    EXPECT_FALSE(h.startup->connectDatabase());
    EXPECT_EQ(h.ui.messages, QStringList{QStringLiteral("Database warning!(testsrc)\n\r")});
    EXPECT_FALSE(QFileInfo::exists(dbFile));
    // The first-start default does not apply to an existing configuration either.
    EXPECT_TRUE(h.startup->installDefaultDataSource(src.dir() + "/elsewhere"));
    EXPECT_FALSE(QFileInfo::exists(src.dir() + "/elsewhere"));
}

TEST(StartupConnect, FileThatIsNotADatabaseLeadsIntoTheWizard)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    QFile::remove(dbFile + "-wal");
    QFile::remove(dbFile + "-shm");
    QFile f(dbFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("this is a letter, not a database");
    f.close();
    Harness h(src.configPath());
    h.startup->settings.database = {src.name(), QStringLiteral("SYSADM"), QString()};
    EXPECT_FALSE(h.startup->connectDatabase());
    EXPECT_EQ(h.ui.messages, QStringList{QStringLiteral("Database system error!")});
    // The recovery system gets the file to repair and the engine's reason.
    EXPECT_EQ(h.wizardRuns, 1);
    EXPECT_TRUE(h.startup->databaseRepairable);
    EXPECT_TRUE(h.startup->connectError.contains("not a Vellumark database"))
        << h.startup->connectError.toStdString();
}

TEST(StartupConnect, DamagedDatabaseIsRetriedInRecoveryModeOnce)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    {
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(100);
        f.write(QByteArray(3000, '\xff'));
    }
    Harness h(src.configPath());
    h.startup->settings.database = {src.name(), QStringLiteral("SYSADM"), QString()};
    std::string modeDuringWizard;
    h.wizard = [&](Connection &) {
        modeDuringWizard = smode(src);
        return false;
    };
    EXPECT_FALSE(h.startup->connectDatabase());
    EXPECT_EQ(h.ui.messages, QStringList{QStringLiteral("Database warning!")});
    EXPECT_EQ(h.wizardRuns, 1);
    EXPECT_EQ(modeDuringWizard, "1");
    EXPECT_EQ(smode(src), "1");
    // The damaged file is still there for the person to rescue.
    EXPECT_TRUE(QFileInfo::exists(dbFile));
}

TEST(StartupFirstStart, MakesTheDefaultDataSource)
{
    QTemporaryDir dir;
    const QString config = dir.path() + "/config/vkconfig.ini";
    Harness h(config);
    ASSERT_TRUE(h.startup->installDefaultDataSource(dir.path() + "/data/svkbook"));
    vkdb::ConfigFile ini(config.toStdString());
    EXPECT_EQ(ini.sections(), std::vector<std::string>{"svkbook"});
    EXPECT_EQ(ini.value("svkbook", "DB_DBDIR").value_or(""),
              "\"" + (dir.path() + "/data/svkbook").toStdString() + "\"");
    EXPECT_EQ(ini.value("svkbook", "DB_FODIR").value_or(""),
              "\"" + (dir.path() + "/data/svkbook/folder").toStdString() + "\"");
    EXPECT_EQ(ini.value("svkbook", "DB_USRID").value_or(""), "SYSADM");
    EXPECT_TRUE(QFileInfo(dir.path() + "/data/svkbook/folder").isDir());

    QSettings settings(dir.path() + "/settings.ini", QSettings::IniFormat);
    h.startup->readDatabaseSettings(settings);
    ASSERT_TRUE(h.startup->connectDatabase());
    Statement st(
        h.startup->connection,
        QStringLiteral(
            "select TABLE_NAME from SYSTABLE where TABLE_NAME in ('Folder', 'MediaData') order by 1"));
    QStringList row, names;
    while (st.fetch(row) < 2)
        names << row;
    EXPECT_EQ(names, (QStringList{"Folder", "MediaData"}));
}

TEST(StartupSettings, DefaultsAreWrittenOnReadAndNothingAtExitWithoutAConnection)
{
    QTemporaryDir dir;
    QSettings settings(dir.path() + "/settings.ini", QSettings::IniFormat);
    settings.setValue("Database/DataSource", QString());
    Harness h(dir.path() + "/vkconfig.ini");
    h.startup->readDatabaseSettings(settings);
    EXPECT_EQ(h.startup->settings.database.dataSource, QStringLiteral("svkbook"));
    EXPECT_EQ(h.startup->settings.database.userName, QStringLiteral("SYSADM"));
    EXPECT_EQ(settings.value("Database/UserName").toString(), QStringLiteral("SYSADM"));
    EXPECT_TRUE(settings.contains("Database/Password"));

    h.startup->settings.database.dataSource = QStringLiteral("other");
    h.startup->destroy(settings);
    EXPECT_EQ(settings.value("Database/DataSource").toString(), QString());
}

TEST(StartupShutdown, WritesSettingsAndDisconnects)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    QTemporaryDir dir;
    QSettings settings(dir.path() + "/settings.ini", QSettings::IniFormat);
    settings.setValue("Database/DataSource", QString());
    Harness h(src.configPath());
    h.startup->readDatabaseSettings(settings);
    h.startup->settings.database.dataSource = src.name();
    ASSERT_TRUE(h.startup->connectDatabase());
    ASSERT_TRUE(h.startup->checkAndInitialize(settings));
    EXPECT_EQ(settings.value("Toolbars/SpeedPanel/Visible").toString(), QStringLiteral("1"));
    EXPECT_EQ(settings.value("MediaManage/DefaultImportType").toString(), QStringLiteral("0"));
    h.startup->checks.options.WallPaperStyle = 1;
    h.startup->settings.showExternalMark = true;
    h.startup->destroy(settings);
    EXPECT_FALSE(h.startup->connection.isConnected());
    EXPECT_EQ(settings.value("Database/DataSource").toString(), src.name());
    EXPECT_EQ(settings.value("MediaManage/IsShowExternalMark").toString(), QStringLiteral("1"));
    EXPECT_TRUE(h.ui.messages.isEmpty());

    // The options were stored: the next start reads them back.
    Harness next(src.configPath());
    next.startup->readDatabaseSettings(settings);
    ASSERT_TRUE(next.startup->connectDatabase());
    ASSERT_TRUE(next.startup->checkAndInitialize(settings));
    EXPECT_EQ(next.startup->checks.options.WallPaperStyle, 1);
    EXPECT_TRUE(next.startup->settings.showExternalMark);
    EXPECT_TRUE(next.startup->checks.changes.isEmpty())
        << next.startup->checks.changes.join(", ").toStdString();
}

TEST(StartupLoad, LoadsTheTreeAndEndsWhenTheFolderTableCannotBeRead)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    Statement(src.connection,
              QStringLiteral("insert into Folder (Title, ParFolderId, index) values ('f', 0, 0)"));
    src.connection.disconnect();
    QTemporaryDir dir;
    QSettings settings(dir.path() + "/s.ini", QSettings::IniFormat);
    Harness h(src.configPath());
    QStringList statuses;
    h.startup.reset();
    {
        Startup::Hooks hooks;
        hooks.ui = &h.ui;
        hooks.status = [&](const QString &s) { statuses << s; };
        h.startup = std::make_unique<Startup>(std::move(hooks), src.configPath());
    }
    h.startup->settings.database = {src.name(), "SYSADM", ""};
    ASSERT_TRUE(h.startup->connectDatabase());
    ASSERT_TRUE(h.startup->checkAndInitialize(settings));
    ASSERT_TRUE(h.startup->loadData());
    EXPECT_EQ(h.startup->rootFolders->Folders.size(), 1);
    EXPECT_TRUE(statuses.contains("Data Loading..."));
    EXPECT_TRUE(statuses.contains("Build Folder List...1"));

    vkdb::DbExecDirect(h.startup->connection.handle(), "drop table Folder");
    h.ui.messages.clear();
    EXPECT_FALSE(h.startup->loadData());
    EXPECT_EQ(h.ui.messages.value(h.ui.messages.size() - 1), "Retrieve table data failed:Folder");
}

// A page of the media table overwritten on disk shows only when the load reads it: the
// person is offered the repair, and the library comes back with every readable row.
TEST(StartupLoad, ADamagedPageFoundWhileLoadingIsSalvagedWhenThePersonAgrees)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    Statement(src.connection,
              QStringLiteral("insert into Folder (Title, ParFolderId, index) values ('f', 0, 0)"));
    const QString folderId = [&] {
        Statement st(src.connection, QStringLiteral("select FolderId from Folder"));
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }();
    Statement(
        src.connection,
        QStringLiteral("with recursive n(i) as (select 1 union all select i+1 from n where i < 2000) "
                       "insert into MediaData (FolderId, title, index, MediaType) select ") +
            folderId +
            QStringLiteral(", 'item ' || i || ' ' || replace(hex(zeroblob(100)), '0', 'x'), i*32, 1 from n"));
    src.connection.disconnect();
    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    int page = 0;
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open(dbFile.toUtf8().constData(), &raw), SQLITE_OK);
        sqlite3_exec(raw, "pragma wal_checkpoint(truncate)", nullptr, nullptr, nullptr);
        sqlite3_stmt *s = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(raw,
                               "select pageno from dbstat where name = 'MediaData' and pagetype = 'leaf' "
                               "order by pageno limit 1 offset 10",
                               -1, &s, nullptr),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        page = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        sqlite3_close(raw);
    }
    {
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(qint64(page - 1) * 4096);
        f.write(QByteArray(4096, '\x5a'));
    }
    QTemporaryDir dir;
    QSettings settings(dir.path() + "/s.ini", QSettings::IniFormat);
    for (const bool agree : {false, true}) {
        Harness h(src.configPath());
        h.ui.answer = agree;
        h.startup->settings.database = {src.name(), "SYSADM", ""};
        ASSERT_TRUE(h.startup->connectDatabase());
        ASSERT_TRUE(h.startup->checkAndInitialize(settings));
        EXPECT_EQ(h.startup->loadData(), agree);
        ASSERT_EQ(h.ui.questions.size(), 1);
        EXPECT_TRUE(h.ui.questions[0].startsWith("The database is damaged"))
            << h.ui.questions[0].toStdString();
        if (!agree) {
            EXPECT_TRUE(QDir(src.databaseDir()).entryList({"*.damaged-*"}).isEmpty())
                << "nothing without a yes";
            h.startup->connection.disconnect();
            continue;
        }
        ASSERT_EQ(h.startup->rootFolders->Folders.size(), 1);
        const int kept = int(h.startup->rootFolders->Folders[0]->MediaList->Items.size());
        EXPECT_GT(kept, 1950);
        EXPECT_LT(kept, 2000);
        ASSERT_EQ(h.ui.informationLines.size(), 1);
        const QStringList lines = h.ui.informationLines[0];
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines[0], QStringLiteral("MediaData: %1 rows kept, 1 damaged pages lost").arg(kept));
        EXPECT_TRUE(lines.contains("Folder: 1 rows kept")) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.last().startsWith("The damaged database is kept at ")) << lines.last().toStdString();
        EXPECT_EQ(QDir(src.databaseDir()).entryList({"*.damaged-*"}).size(), 1);
    }
}

TEST(StartupWorkDirectory, IsEmptiedAtStartWithoutFollowingLinksAndRemovedAtExit)
{
    QTemporaryDir temp, outside;
    const QString precious = outside.path() + "/precious.txt";
    {
        QFile f(precious);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const QString work = temp.path() + "/_vktmp";
    ASSERT_TRUE(QDir().mkpath(work + "/sub"));
    QFile(work + "/old.tmp").open(QIODevice::WriteOnly);
    QFile(work + "/sub/deep.tmp").open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(outside.path(), work + "/link-to-outside"));
    ASSERT_TRUE(QFile::link(precious, work + "/sub/link-to-file"));

    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    Harness h(src.configPath());
    h.startup->settings.database = {src.name(), "SYSADM", ""};
    ASSERT_TRUE(h.startup->connectDatabase());
    h.startup->prepareWorkDirectory(temp.path() + "/", "/start");
    EXPECT_EQ(h.startup->tempDir, temp.path());
    EXPECT_EQ(h.startup->workDir, work);
    EXPECT_EQ(h.startup->connection.tempFilePrefix(), work + "/");
    EXPECT_TRUE(QDir(work).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden));
    EXPECT_TRUE(QFileInfo::exists(precious));

    QSettings settings(temp.path() + "/s.ini", QSettings::IniFormat);
    h.startup->destroy(settings);
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_TRUE(QFileInfo::exists(temp.path()));
}

TEST(StartupWorkDirectory, FallsBackToTheTempDirectoryWhichIsNeverEmptied)
{
    QTemporaryDir temp;
    // A file where the work directory should be: it cannot be made.
    QFile blocker(temp.path() + "/_vktmp");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile(temp.path() + "/someone-elses.txt").open(QIODevice::WriteOnly);

    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    Harness h(src.configPath());
    h.startup->settings.database = {src.name(), "SYSADM", ""};
    ASSERT_TRUE(h.startup->connectDatabase());
    h.startup->prepareWorkDirectory(temp.path(), "/start");
    EXPECT_EQ(h.startup->workDir, temp.path());
    QSettings settings(QTemporaryDir().path() + "/s.ini", QSettings::IniFormat);
    h.startup->destroy(settings);
    EXPECT_TRUE(QFileInfo::exists(temp.path() + "/someone-elses.txt"));
    EXPECT_TRUE(QFileInfo::exists(temp.path() + "/_vktmp"));

    // No temporary directory at all: the start directory stands in, with a message.
    Harness none(src.configPath());
    none.startup->prepareWorkDirectory(QString(), temp.path());
    EXPECT_EQ(none.ui.messages, QStringList{QStringLiteral("Get temp path failed!")});
    EXPECT_EQ(none.startup->tempDir, temp.path());
}

TEST(SingleInstanceTest, SecondCopyAsksTheFirstToComeForwardAndStepsAside)
{
    QTemporaryDir dir;
    const QString lock = dir.path() + "/workspace.lock";
    const QString server = QStringLiteral("vellumark-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(lock, server);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &SingleInstance::activationRequested);
    SingleInstance second(lock, server);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(spy.wait(5000));

    // With no first copy listening, a second copy still steps aside while the lock is held.
    QLockFile held(dir.path() + "/other.lock");
    ASSERT_TRUE(held.tryLock(0));
    SingleInstance lonely(dir.path() + "/other.lock", server + "-none");
    EXPECT_FALSE(lonely.claim());
}

} // namespace
