// The engine against a database it cannot trust: statements aimed at its own tables, a
// catalogue edited by another program to name files elsewhere, triggers dropped behind its back,
// and a catalogue removed outright.
#include "ConfigFile.h"
#include "Dialect.h"
#include "Engine.h"
#include "EngineStatements.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace vkdb;
using namespace vkdb::enginetest;
using vk::TempDataSource;

namespace {

class EngineTrust : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created) << src.ui.messages.join(QLatin1Char('\n')).toStdString();
    }
    DbConnection *db() { return src.connection.handle(); }
    // What another SQLite tool does to the file, past the engine.
    void native(const std::string &sql)
    {
        char *err = nullptr;
        ASSERT_EQ(sqlite3_exec(DbNativeHandle(db()), sql.c_str(), nullptr, nullptr, &err), SQLITE_OK)
            << (err ? err : "") << " in " << sql;
    }
    void reconnect()
    {
        src.connection.disconnect();
        ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "", ""), DbOk) << DbErrorText();
    }
    std::string addItem(const std::string &title)
    {
        return insert(db(), "insert into MediaData (title, media) values (?, ?)",
                      {text(title), file(src.writeFile(QString::fromStdString(title) + ".jpg", "JPEG"))});
    }

    TempDataSource src;
};

TEST_F(EngineTrust, StatementsMayReadTheEnginesTablesButNeverChangeThem)
{
    addItem("a");
    const std::string before = one(db(), "select count(*) from _vk_fileobj");
    const char *const refused[] = {
        "drop table _vk_fileobj",
        "drop table if exists main._vk_fileobj",
        "alter table _vk_fileobj rename to zz",
        "alter table _VK_FILEOBJ add column x integer",
        "delete from _vk_fileobj where id<5",
        "update _vk_fileobj set dir='/etc/', name='passwd'",
        "insert into _vk_fileobj(dir, name, type) values ('/etc/', 'passwd', 0)",
        "insert into _vk_trash(path) values ('/etc/passwd')",
        "update _vk_meta set value=1 where key='next_oid'",
        "delete from sqlite_sequence",
        "drop trigger _vk_MediaData_media_del",
        "create trigger _vk_mine after insert on MediaData begin select 1; end",
        "create trigger t after insert on _vk_fileobj begin select 1; end",
        "drop index _vk_fileobj_path",
        "create index x on _vk_fileobj(name)",
        "create table _vk_extra (a integer)",
        "pragma writable_schema=on",
        "update MediaData set _vk_oid=5",
    };
    for (const char *sql : refused) {
        SCOPED_TRACE(sql);
        EXPECT_GE(DbExecDirect(db(), sql), 2);
        EXPECT_TRUE(DbLastError() == ErrEngineTable || DbLastError() == ErrSyntax) << DbLastError();
        EXPECT_FALSE(DbErrorText().empty());
    }
    EXPECT_EQ(DbLastError(), ErrEngineTable);
    EXPECT_NE(DbErrorText().find("OID"), std::string::npos) << DbErrorText();
    // A user trigger that would write the engine's tables is refused when it would fire.
    ASSERT_EQ(
        DbExecDirect(db(), "create trigger sneaky after insert on Folder begin delete from _vk_fileobj; end"),
        DbOk)
        << DbErrorText();
    EXPECT_GE(DbExecDirect(db(), "insert into Folder (Title) values ('x')"), 2);
    EXPECT_EQ(DbLastError(), ErrEngineTable);
    EXPECT_EQ(one(db(), "select count(*) from _vk_fileobj"), before);
    EXPECT_EQ(one(db(), "select count(*) from SYSFILEOBJ"), before);
    // The engine's triggers still do their work on the program's own statements.
    ASSERT_EQ(DbExecDirect(db(), "drop trigger sneaky"), DbOk);
    ASSERT_EQ(DbExecDirect(db(), "delete from MediaData"), DbOk) << DbErrorText();
    EXPECT_EQ(one(db(), "select count(*) from _vk_fileobj"), "0");
    EXPECT_TRUE(QDir(src.fileObjectDir()).entryList(QDir::Files).isEmpty());
}

TEST_F(EngineTrust, ATextOfTwoStatementsIsRefusedNotHalfRun)
{
    for (const char *sql : {"select 1; drop table Folder", "drop table Folder; select 1",
                            "insert into Folder (Title) values ('a'); delete from Folder"}) {
        SCOPED_TRACE(sql);
        EXPECT_GE(DbExecDirect(db(), sql), 2);
        EXPECT_EQ(DbLastError(), ErrManyStatements) << DbErrorText();
    }
    EXPECT_EQ(one(db(), "select count(*) from Folder"), "0");
    // A trailing semicolon, or one with a comment after it, is one statement.
    EXPECT_EQ(DbExecDirect(db(), "select 1;"), DbOk);
    EXPECT_EQ(DbExecDirect(db(), "select 1; -- done"), DbOk);
    // So is a trigger body.
    EXPECT_EQ(DbExecDirect(db(), "create trigger t1 after insert on Folder begin select 1; select 2; end"),
              DbOk)
        << DbErrorText();
}

// Rows of the catalogue that another program pointed elsewhere: no such name is ever opened,
// each is reported, and a canary file they name keeps its bytes and its place.
TEST_F(EngineTrust, ACatalogueNamingFilesElsewhereIsReportedNeverOpened)
{
    const QString canary = src.writeFile("canary.doc", "CANARY");
    const QString outside = src.dir() + "/outside";
    QDir().mkpath(outside);
    QFile::link(canary, src.fileObjectDir() + "/vk0000000000ee.doc");
    const QString plainCopy = src.writeFile("outside/vk00000000000c.doc", "OUT");
    struct Case
    {
        const char *what;
        std::string dir, name;
    };
    const std::string canaryDir = QFileInfo(canary).absolutePath().toStdString() + "/";
    const Case cases[] = {
        {"a directory outside", canaryDir, "canary.doc"},
        {"an absolute name", "", canary.toStdString()},
        {"up and out", src.fileObjectDir().toStdString() + "/", "../../canary.doc"},
        {"the parent", src.fileObjectDir().toStdString() + "/", ".."},
        {"an internal name outside", outside.toStdString() + "/", "vk00000000000c.doc"},
    };
    std::vector<std::string> oids;
    for (const Case &c : cases)
        oids.push_back(addItem(c.what));
    for (size_t i = 0; i < std::size(cases); ++i)
        native("update _vk_fileobj set dir=" + quoteLiteral(cases[i].dir) +
               ", name=" + quoteLiteral(cases[i].name) +
               " where id=(select media from MediaData where _vk_oid=" + std::to_string(std::stoll(oids[i])) +
               ")");
    reconnect();
    DbFileCheck check;
    ASSERT_EQ(DbCheckFileObjects(db(), check), DbOk);
    ASSERT_EQ(check.bad.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_EQ(check.bad[i].oid, oids[i]);
        EXPECT_EQ(check.bad[i].path, cases[i].dir + cases[i].name);
        EXPECT_EQ(one(db(), "select filename(media) from MediaData where OID=?", {text(oids[i])}), "");
        // Exporting the column copies nothing.
        DbStatement *st = nullptr;
        ASSERT_EQ(DbPrepare(db(), "select media from MediaData where OID=?", &st), DbNeedParams);
        DbBindParam(st, oids[i]);
        ASSERT_EQ(DbExecute(st), DbOk);
        const std::string out = (src.dir() + "/exported").toStdString();
        DbSetColumnFile(st, 0, out);
        std::vector<std::string> row;
        EXPECT_GE(DbGetData(st, row), 2);
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(out)));
        DbFreeStmt(&st);
    }
    EXPECT_TRUE(check.missing.empty());
    // The symlink planted in the directory is not a copy either: never an orphan, never removed.
    std::vector<std::string> removed;
    ASSERT_EQ(DbRemoveOrphans(db(), removed), DbOk);
    // Deleting the rows sends no outside file to the trash.
    ASSERT_EQ(DbExecDirect(db(), "delete from MediaData"), DbOk) << DbErrorText();
    reconnect();
    QFile in(canary);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), QByteArray("CANARY"));
    EXPECT_TRUE(QFileInfo(src.fileObjectDir() + "/vk0000000000ee.doc").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(plainCopy));
    // A move of the whole directory leaves the names it does not own where they are.
    EXPECT_GE(DbExecDirect(db(), "move file object '" + canaryDir + "' to '" +
                                     src.fileObjectDir().toStdString() + "/'"),
              2);
    EXPECT_TRUE(QFileInfo::exists(canary));
}

TEST_F(EngineTrust, DroppedTriggersAreReportedAndPutBackAtConnect)
{
    const std::string oid = addItem("a");
    native("drop trigger \"_vk_MediaData_media_del\"");
    native("drop trigger \"_vk_Folder_FolderId_serial\"");
    const std::vector<std::string> dropped{"Folder _vk_Folder_FolderId_serial",
                                           "MediaData _vk_MediaData_media_del"};
    auto sorted = [](std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    DbFileCheck check;
    ASSERT_EQ(DbCheckFileObjects(db(), check), DbOk);
    EXPECT_EQ(sorted(check.missingTriggers), dropped);
    reconnect();
    EXPECT_EQ(sorted(DbRestoredTriggers(db())), dropped);
    ASSERT_EQ(DbCheckFileObjects(db(), check), DbOk);
    EXPECT_TRUE(check.missingTriggers.empty());
    // The copy goes with its row again.
    ASSERT_EQ(run(db(), "delete from MediaData where OID=?", {text(oid)}), DbOk);
    EXPECT_TRUE(QDir(src.fileObjectDir()).entryList(QDir::Files).isEmpty());
}

// Another program removed or renamed the catalogue: a repair rebuilds it from what is stored and
// keeps every copy.
TEST_F(EngineTrust, RepairRebuildsTheEnginesTablesFromWhatIsStored)
{
    struct Case
    {
        const char *what;
        const char *damage;
        bool mappingKept;
    };
    const Case cases[] = {
        {"renamed", "alter table _vk_fileobj rename to zz", true},
        {"dropped", "drop table _vk_fileobj", false},
        {"rows deleted", "delete from _vk_fileobj where id<=2", false},
        {"counters dropped", "drop table _vk_meta; drop table _vk_serial; drop table _vk_trash", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDataSource fresh;
        ASSERT_TRUE(fresh.created);
        DbConnection *d = fresh.connection.handle();
        std::vector<std::string> oids;
        for (const char *t : {"a", "b", "c"})
            oids.push_back(insert(d, "insert into MediaData (title, media) values (?, ?)",
                                  {text(t), file(fresh.writeFile(QString(t) + ".jpg", t))}));
        const QStringList copies = QDir(fresh.fileObjectDir()).entryList(QDir::Files);
        ASSERT_EQ(copies.size(), 3);
        fresh.connection.disconnect();
        {
            // Another SQLite tool on the closed library.
            sqlite3 *raw = nullptr;
            const std::string path = (fresh.databaseDir() + "/" + fresh.name() + ".db").toStdString();
            ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
            char *err = nullptr;
            ASSERT_EQ(sqlite3_exec(raw, c.damage, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
            sqlite3_close(raw);
        }
        const bool catalogueGone = std::string(c.damage).find("_vk_fileobj") != std::string::npos &&
                                   std::string(c.damage).rfind("delete", 0) != 0;
        if (catalogueGone) {
            EXPECT_NE(fresh.connection.connect(fresh.configPath(), fresh.name(), "", ""), DbOk);
            EXPECT_EQ(DbLastError(), ErrNotADatabase);
            EXPECT_NE(DbErrorText().find("repair"), std::string::npos) << DbErrorText();
        }
        DbEnvironment env{fresh.configPath().toStdString()};
        std::vector<std::string> notes, kept;
        ASSERT_EQ(DbRebuildEngineTables(fresh.name().toStdString(), &env, notes, kept), DbOk)
            << DbErrorText();
        EXPECT_FALSE(notes.empty());
        ASSERT_EQ(fresh.connection.connect(fresh.configPath(), fresh.name(), "", ""), DbOk) << DbErrorText();
        d = fresh.connection.handle();
        DbFileCheck check;
        ASSERT_EQ(DbCheckFileObjects(d, check), DbOk);
        EXPECT_TRUE(check.orphans.empty());
        std::vector<std::string> removed;
        ASSERT_EQ(DbRemoveOrphans(d, removed), DbOk);
        EXPECT_TRUE(removed.empty());
        // Every copy is still there, whether or not its row could be matched to it again.
        EXPECT_EQ(QDir(fresh.fileObjectDir()).entryList(QDir::Files), copies);
        if (c.mappingKept) {
            EXPECT_TRUE(kept.empty());
            EXPECT_TRUE(check.missing.empty());
        } else {
            EXPECT_FALSE(kept.empty());
            EXPECT_FALSE(check.missing.empty());
        }
        // The library works again: OIDs and serial numbers go on past what is stored.
        const std::string next = insert(d, "insert into MediaData (title, media) values (?, ?)",
                                        {text("d"), file(fresh.writeFile("d.jpg", "d"))});
        EXPECT_GT(next, oids.back());
        EXPECT_EQ(run(d, "insert into Folder (Title) values ('f')"), DbOk) << DbErrorText();
        EXPECT_EQ(run(d, "delete from MediaData where OID=?", {text(next)}), DbOk);
        EXPECT_EQ(QDir(fresh.fileObjectDir()).entryList(QDir::Files), copies);
        // Dropping another table with copies of its own takes those only.
        ASSERT_EQ(run(d, "create table Extra (f file)"), DbOk) << DbErrorText();
        ASSERT_EQ(run(d, "insert into Extra (f) values (?)", {file(fresh.writeFile("e.jpg", "e"))}), DbOk);
        ASSERT_EQ(run(d, "drop table Extra"), DbOk) << DbErrorText();
        EXPECT_EQ(QDir(fresh.fileObjectDir()).entryList(QDir::Files), copies);
    }
}

TEST(EngineTrustRebuild, APlainSqliteFileIsNotRebuiltIntoALibrary)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    const std::string path = (src.databaseDir() + "/" + src.name() + ".db").toStdString();
    QFile::remove(QString::fromStdString(path));
    sqlite3 *raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "create table t(a integer)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    DbEnvironment env{src.configPath().toStdString()};
    std::vector<std::string> notes, kept;
    EXPECT_GE(DbRebuildEngineTables(src.name().toStdString(), &env, notes, kept), 2);
    EXPECT_EQ(DbLastError(), ErrNotADatabase);
}

} // namespace
