// The engine as people use it: two programs on one data source, vacuum run by any SQLite
// tool, a process killed half-way, an old database opened by this version, and hostile or
// unlucky files. Each fault shows only with a second connection, a child process or a file
// changed behind the engine's back, so that is how these tests make it happen.
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
#include <QProcess>

#include <csignal>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

using namespace vkdb;
using namespace vkdb::enginetest;
using vk::TempDataSource;

namespace {

// Stores a copy of `path` in a new MediaData row; answers its OID.
std::string insertWithFile(DbConnection *c, const std::string &title, const QString &path)
{
    DbStatement *st = nullptr;
    EXPECT_EQ(DbPrepare(c, "insert into MediaData (title, media) values (?, ?)", &st), DbNeedParams);
    DbBindParam(st, title);
    EXPECT_EQ(DbBindFile(st, path.toStdString()), DbOk) << DbErrorText();
    std::string oid;
    EXPECT_LT(DbExecute(st, &oid), 2) << DbErrorText();
    DbFreeStmt(&st);
    return oid;
}

void rawExec(const QString &dbFile, const std::string &sql)
{
    sqlite3 *raw = nullptr;
    ASSERT_EQ(sqlite3_open(dbFile.toUtf8().constData(), &raw), SQLITE_OK);
    char *err = nullptr;
    const int rc = sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << sql << ": " << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(raw);
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// A data source and a second program's connection to it.
class SharedSource : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created) << src.ui.messages.join(QLatin1Char('\n')).toStdString();
        second = connect();
        ASSERT_NE(second, nullptr);
    }
    void TearDown() override
    {
        if (second)
            DbDisconnect(second, &env);
    }
    DbConnection *connect()
    {
        DbConnection *c = nullptr;
        EXPECT_EQ(DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env), DbOk) << DbErrorText();
        return c;
    }
    DbConnection *first() { return src.connection.handle(); }
    QString dbFile() const { return src.databaseDir() + "/" + src.name() + ".db"; }
    QStringList catalogNames(DbConnection *c)
    {
        QStringList names;
        Rows rows;
        run(c, "select FILE_NAME from SYSFILEOBJ where FILE_TYPE='00'x", {}, &rows);
        for (const auto &r : rows)
            names.append(QFileInfo(QString::fromStdString(r[0])).fileName());
        names.sort();
        return names;
    }

    TempDataSource src;
    DbEnvironment env{src.configPath().toStdString()};
    DbConnection *second = nullptr;
};

TEST_F(SharedSource, SerialNumbersAreNeverHandedOutTwice)
{
    // The workspace and vkctl take turns; each must see the other's numbers, including one
    // written explicitly or changed by an update.
    std::vector<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        insert(first(), "insert into Folder (Title) values (?)", {"workspace"});
        insert(second, "insert into Folder (Title) values (?)", {"vkctl"});
    }
    insert(second, "insert into Folder (FolderId, Title) values (?, ?)", {"40", "explicit"});
    insert(first(), "insert into Folder (Title) values (?)", {"after explicit"});
    run(first(), "update Folder set FolderId = 90 where Title = 'explicit'");
    insert(second, "insert into Folder (Title) values (?)", {"after the update"});
    EXPECT_EQ(one(first(), "select FolderId from Folder order by FolderId"), "1|2|3|4|5|6|41|90|91");
    EXPECT_EQ(one(second, "select count(distinct OID) from Folder"), "9");
}

TEST_F(SharedSource, OidsSurviveVacuumByTheEngineAndByTheSqliteShell)
{
    ASSERT_EQ(
        DbExecDirect(first(),
                     "create table KeyWords_Table (Name char(32), Icon file, Reference integer default 0)"),
        DbOk);
    std::vector<std::string> keywords;
    for (int i = 0; i < 40; ++i)
        keywords.push_back(insert(i % 2 ? first() : second, "insert into KeyWords_Table (Name) values (?)",
                                  {"k" + std::to_string(i)}));
    // Gaps in the middle, which a vacuum of implicit rowids closes.
    for (int i = 0; i < 40; i += 3)
        run(first(), "delete from KeyWords_Table where OID = ?", {keywords[size_t(i)]});
    const std::string media = insert(first(), "insert into MediaData (title, KeyWords) values (?, ?)",
                                     {"tagged", keywords[1] + "\r\n" + keywords[38] + "\r\n"});
    const std::string before = one(first(), "select OID || ':' || Name from KeyWords_Table order by Name");

    ASSERT_EQ(DbExecDirect(first(), "vacuum"), DbOk) << DbErrorText();
    EXPECT_EQ(one(second, "select OID || ':' || Name from KeyWords_Table order by Name"), before);

    src.connection.disconnect();
    DbDisconnect(second, &env);
    second = nullptr;
    QProcess shell;
    shell.start("sqlite3", {dbFile(), "vacuum;"});
    ASSERT_TRUE(shell.waitForFinished(30000));
    ASSERT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    second = connect();
    EXPECT_EQ(one(second, "select OID || ':' || Name from KeyWords_Table order by Name"), before);
    EXPECT_EQ(one(second, "select Name from KeyWords_Table where OID = ?", {keywords[38]}), "k38");
    EXPECT_EQ(one(second, "select title from MediaData where OID = ?", {media}), "tagged");
    // The column that keeps them is the engine's: the program never sees it.
    Rows rows;
    ASSERT_EQ(run(second, "select * from KeyWords_Table", {}, &rows), DbOk);
    EXPECT_EQ(rows.at(0).size(), 3u);
    EXPECT_EQ(one(second, "select count(*) from SYSCOLUMN where TABLE_NAME = 'KeyWords_Table'"), "3");
    EXPECT_EQ(
        one(second,
            "select COLUMN_ID from SYSCOLUMN where TABLE_NAME = 'KeyWords_Table' and COLUMN_NAME = 'Name'"),
        "0");
}

TEST_F(SharedSource, AFileObjectSharedByTwoRowsGoesWithItsLastHolder)
{
    const QString picture = src.writeFile("shared.jpg", "JPEGDATA");
    const std::string original = insertWithFile(first(), "original", picture);
    const std::string copy = insert(
        second, "insert into MediaData (title, media) select 'copy', media from MediaData where OID = ?",
        {original});
    const std::string stored =
        one(first(), "select filename(media) from MediaData where OID = ?", {original});
    ASSERT_EQ(one(first(), "select filename(media) from MediaData where OID = ?", {copy}), stored);

    ASSERT_LT(run(first(), "delete from MediaData where OID = ?", {original}), 2);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(stored))) << "the copy's row still holds it";
    ASSERT_LT(run(second, "update MediaData set media = null where OID = ?", {copy}), 2);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(stored)));
    EXPECT_EQ(one(first(), "select count(*) from SYSFILEOBJ"), "0");

    // An object id that names no file object is refused, not stored.
    EXPECT_EQ(run(first(), "insert into MediaData (title, media) values ('forged', 12345)"), DbFailed);
    EXPECT_EQ(one(first(), "select count(*) from MediaData where title = 'forged'"), "0");

    // A copy bound to an update that matched no row is no file object and leaves no file.
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(first(), "update MediaData set media = ? where OID = ?", &st), DbNeedParams);
    ASSERT_EQ(DbBindFile(st, picture.toStdString()), DbNeedParams);
    ASSERT_EQ(DbBindParam(st, "000000000000999999"), DbOk);
    ASSERT_LT(DbExecute(st), 2);
    DbFreeStmt(&st);
    EXPECT_EQ(filesIn(src.fileObjectDir()), QStringList());
}

TEST_F(SharedSource, OnlyTheEnginesOwnCopiesAreEverRemoved)
{
    // A database received from someone else lists files to remove, wherever they lie.
    const QString usersFile = src.writeFile("precious.txt", "mine");
    const QString lookalike = src.writeFile("vk0123456789ab.jpg", "not in the file-object directory");
    QFile::copy(usersFile, src.fileObjectDir() + "/notes.txt");
    src.connection.disconnect();
    DbDisconnect(second, &env);
    second = nullptr;
    rawExec(dbFile(), "insert into _vk_trash(path) values ('" + usersFile.toStdString() + "'), ('" +
                          lookalike.toStdString() + "'), ('" + src.fileObjectDir().toStdString() +
                          "/notes.txt'), ('" + src.fileObjectDir().toStdString() + "/../" +
                          QFileInfo(usersFile).fileName().toStdString() + "')");
    second = connect();
    EXPECT_TRUE(QFileInfo::exists(usersFile));
    EXPECT_TRUE(QFileInfo::exists(lookalike));
    EXPECT_TRUE(QFileInfo::exists(src.fileObjectDir() + "/notes.txt"));
    EXPECT_EQ(one(second, "select count(*) from main._vk_trash"), "0") << "the list is dropped all the same";
}

TEST_F(SharedSource, ACopyIsNeverWrittenOntoItsOwnSource)
{
    // An external object's own path given as the target of its copy: the user's file stays whole.
    const QString usersFile = src.writeFile("holiday.jpg", "the only copy");
    const std::string oid = insert(first(), "insert into MediaData (title, media) values (?, ?)",
                                   {"linked", usersFile.toStdString()});
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(first(), "select media from MediaData where OID = ?", &st), DbNeedParams);
    ASSERT_EQ(DbBindParam(st, oid), DbOk);
    ASSERT_LT(DbExecute(st), 2);
    ASSERT_EQ(DbSetColumnFile(st, 0, usersFile.toStdString()), DbOk);
    std::vector<std::string> values;
    EXPECT_EQ(DbGetData(st, values), DbFailed);
    EXPECT_NE(DbErrorText().find("onto itself"), std::string::npos) << DbErrorText();
    DbFreeStmt(&st);
    QFile f(usersFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("the only copy"));

    // Written to a device that has no room: a full disk, said as such.
    ASSERT_EQ(DbPrepare(first(), "select media from MediaData where OID = ?", &st), DbNeedParams);
    ASSERT_EQ(DbBindParam(st, oid), DbOk);
    ASSERT_LT(DbExecute(st), 2);
    ASSERT_EQ(DbSetColumnFile(st, 0, "/dev/full"), DbOk);
    EXPECT_EQ(DbGetData(st, values), DbFailed);
    EXPECT_EQ(DbLastError(), ErrDiskFull) << DbErrorText();
    DbFreeStmt(&st);
}

TEST_F(SharedSource, ADatabaseThatCannotGrowReportsAFullDisk)
{
    sqlite3_exec(DbNativeHandle(first()), "pragma max_page_count = 1", nullptr, nullptr, nullptr);
    EXPECT_EQ(run(first(), "insert into MediaData (title, description) values (?, ?)",
                  {"big", std::string(200000, 'x')}),
              DbFailed);
    EXPECT_EQ(DbLastError(), ErrDiskFull);
    EXPECT_NE(DbErrorText().find("full"), std::string::npos) << DbErrorText();
}

TEST_F(SharedSource, ATransactionSqliteEndedFailsTheRestOfItsGroup)
{
    ASSERT_EQ(DbBeginTransaction(first()), DbOk);
    insert(first(), "insert into Folder (Title) values (?)", {"one"});
    // An interrupted insert inside a transaction makes SQLite roll the whole transaction back.
    static int calls;
    calls = 0;
    sqlite3_progress_handler(
        DbNativeHandle(first()), 1, [](void *) { return ++calls > 0 ? 1 : 0; }, nullptr);
    EXPECT_EQ(run(first(), "insert into Folder (Title) values (?)", {"two"}), DbFailed);
    sqlite3_progress_handler(DbNativeHandle(first()), 0, nullptr, nullptr);
    // The rest of the group is refused instead of committing statement by statement.
    EXPECT_EQ(run(first(), "insert into Folder (Title) values (?)", {"three"}), DbFailed);
    EXPECT_NE(DbErrorText().find("ended the transaction"), std::string::npos) << DbErrorText();
    EXPECT_EQ(DbCommit(first()), DbFailed);
    // Then the connection works as before, and nothing of the group was stored.
    EXPECT_EQ(one(first(), "select count(*) from Folder"), "0");
    insert(first(), "insert into Folder (Title) values (?)", {"later"});
    EXPECT_EQ(one(second, "select Title from Folder"), "later");
}

TEST_F(SharedSource, AStatementPreparedBeforeAnotherProgramAddsAColumnReadsTheNewColumns)
{
    // A table another SQLite tool made, read with "*" by SQLite itself.
    rawExec(dbFile(), "create table Plain (a text); insert into Plain values ('x')");
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(first(), "select * from Plain where a = ?", &st), DbNeedParams);
    ASSERT_EQ(DbExecDirect(second, "alter table Plain add b file"), DbOk) << DbErrorText();
    ASSERT_EQ(DbBindParam(st, "x"), DbOk);
    ASSERT_LT(DbExecute(st), 2) << DbErrorText();
    std::vector<std::string> values;
    ASSERT_EQ(DbGetData(st, values), DbOk);
    EXPECT_EQ(values, (std::vector<std::string>{"x", ""}));
    DbFreeStmt(&st);

    // A table of the engine's: "*" written out again after the other program's change.
    EXPECT_EQ(one(first(), "select count(*) from MediaData"), "0");
    insert(first(), "insert into MediaData (title) values (?)", {"before"});
    Rows rows;
    ASSERT_EQ(run(first(), "select * from MediaData", {}, &rows), DbOk);
    const size_t columns = rows.at(0).size();
    ASSERT_EQ(DbExecDirect(second, "alter table MediaData add Extra file"), DbOk);
    const QString picture = src.writeFile("extra.png", "PNG");
    run(second, "update MediaData set Extra = ?", {picture.toStdString()});
    ASSERT_EQ(run(first(), "select * from MediaData", {}, &rows), DbOk);
    ASSERT_EQ(rows.at(0).size(), columns + 1);
    EXPECT_EQ(rows.at(0).back(), picture.toStdString());
}

TEST_F(SharedSource, AProcessKilledWhileCopyingLeavesOrphansThatRepairRemoves)
{
    const QString picture = src.writeFile("import.jpg", QByteArray(100000, 'j'));
    const std::string kept = insertWithFile(first(), "kept", picture);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // An import killed after its copy was made and before its row was stored.
        DbConnection *c = nullptr;
        if (DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env) != DbOk)
            ::_exit(2);
        DbStatement *st = nullptr;
        DbPrepare(c, "insert into MediaData (title, media) values (?, ?)", &st);
        DbBindParam(st, "never stored");
        if (DbBindFile(st, picture.toStdString()) != DbOk)
            ::_exit(3);
        char ok = 'k';
        if (::write(ready[1], &ok, 1) != 1)
            ::_exit(4);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(filesIn(src.fileObjectDir()).size(), 2);

    // While the other program lives its copy is work in progress, not an orphan.
    DbFileCheck check;
    ASSERT_EQ(DbCheckFileObjects(second, check), DbOk);
    EXPECT_TRUE(check.orphans.empty());

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(DbCheckFileObjects(second, check), DbOk);
    ASSERT_EQ(check.orphans.size(), 1u);
    EXPECT_TRUE(check.missing.empty());
    // The killed program's journal, its lock gone with it, is stale and goes too.
    ASSERT_EQ(check.staleJournals.size(), 1u);
    std::vector<std::string> removed;
    ASSERT_EQ(DbRemoveOrphans(second, removed), DbOk);
    EXPECT_EQ(removed, (std::vector<std::string>{check.orphans[0], check.staleJournals[0]}));
    // The directory holds exactly the catalog's copies again.
    EXPECT_EQ(filesIn(src.fileObjectDir()), catalogNames(second));
    EXPECT_EQ(one(second, "select title from MediaData where OID = ?", {kept}), "kept");
}

TEST_F(SharedSource, CheckNamesMissingCopiesAndLostExternalFiles)
{
    const QString picture = src.writeFile("inside.jpg", "IN");
    const QString linked = src.writeFile("outside.jpg", "OUT");
    const std::string internal = insertWithFile(first(), "inside", picture);
    const std::string external = insert(first(), "insert into MediaData (title, media) values (?, ?)",
                                        {"outside", linked.toStdString()});
    const std::string copy = one(first(), "select filename(media) from MediaData where OID = ?", {internal});
    QFile::remove(QString::fromStdString(copy));
    QFile::remove(linked);
    DbFileCheck check;
    ASSERT_EQ(DbCheckFileObjects(second, check), DbOk);
    ASSERT_EQ(check.missing.size(), 1u);
    EXPECT_EQ(check.missing[0].table, "MediaData");
    EXPECT_EQ(check.missing[0].oid, internal);
    EXPECT_EQ(check.missing[0].column, "media");
    EXPECT_EQ(check.missing[0].path, copy);
    ASSERT_EQ(check.lost.size(), 1u);
    EXPECT_EQ(check.lost[0].oid, external);
    EXPECT_EQ(check.lost[0].path, linked.toStdString());
    EXPECT_TRUE(check.orphans.empty());
}

// A database as the previous version of the engine left it: OIDs in plain rowids, file
// objects without holder counts, one object held by two rows, and a serial counter behind.
TEST(EngineUpgrade, AnOlderDatabaseIsBroughtUpToDateInPlace)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    QFile::remove(dbFile);
    QFile::remove(dbFile + "-wal");
    QFile::remove(dbFile + "-shm");
    const QString copy = src.fileObjectDir() + "/vk00000000abcd.jpg";
    {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("JPEG");
    }
    const std::string dir = src.fileObjectDir().toStdString() + "/";
    rawExec(dbFile,
            "pragma journal_mode=wal;"
            "create table _vk_meta(key text primary key, value integer) without rowid;"
            "create table _vk_serial(name text primary key, next integer) without rowid;"
            "create table _vk_fileobj(id integer primary key autoincrement, dir text not null, name text not "
            "null,"
            " type integer not null);"
            "create table _vk_trash(path text not null);"
            "insert into _vk_meta values ('next_oid', 2000), ('format', 1);"
            "insert into _vk_serial values ('Folder.FolderId', 3);"
            "create table Folder (FolderId integer default (vk_serial('Folder','FolderId')),Title char(256));"
            "create table MediaData (FolderId Integer,title char(256),media file blob,\"index\" float);"
            "insert into Folder(rowid, FolderId, Title) values (1001, 1, 'a'), (1500, 7, 'b');"
            "insert into _vk_fileobj(id, dir, name, type) values (5, '" +
                dir +
                "', 'vk00000000abcd.jpg', 0);"
                "insert into MediaData(rowid, FolderId, title, media) values (1002, 1, 'one', 5), (1700, 7, "
                "'two', 5);");
    DbEnvironment env{src.configPath().toStdString()};
    DbConnection *c = nullptr;
    ASSERT_EQ(DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env), DbOk) << DbErrorText();
    EXPECT_EQ(one(c, "select OID from Folder order by OID"), "000000000000001001|000000000000001500");
    EXPECT_EQ(one(c, "select title from MediaData where OID = '000000000000001700'"), "two");
    Rows rows;
    ASSERT_EQ(run(c, "select * from Folder", {}, &rows), DbOk);
    EXPECT_EQ(rows.at(0).size(), 2u);
    // The serial counter moved past the stored numbers; new rows get new OIDs.
    EXPECT_GT(insert(c, "insert into Folder (Title) values (?)", {"c"}), "000000000000001999");
    EXPECT_EQ(one(c, "select FolderId from Folder where Title = 'c'"), "8");
    // The object both rows hold stays until the second goes.
    run(c, "delete from MediaData where OID = '000000000000001002'");
    EXPECT_TRUE(QFileInfo::exists(copy));
    run(c, "delete from MediaData where OID = '000000000000001700'");
    EXPECT_FALSE(QFileInfo::exists(copy));
    DbDisconnect(c, &env);

    // The OIDs now live in a column SQLite keeps through a vacuum.
    rawExec(dbFile, "delete from Folder where Title = 'a'; vacuum;");
    ASSERT_EQ(DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env), DbOk) << DbErrorText();
    EXPECT_EQ(one(c, "select OID from Folder where Title = 'b'"), "000000000000001500");
    DbDisconnect(c, &env);
}

} // namespace

namespace {

// Forms of SQL that used to go around the engine: each gets its OIDs from the one counter,
// and a table made with "if not exists" gets the file-object triggers of any other.
TEST_F(SharedSource, EveryFormThatAddsRowsOrTablesGoesThroughTheEngine)
{
    const std::string folder = insert(first(), "insert into Folder (Title) values (?)", {"f"});
    const std::string replaced = insert(first(), "replace into MediaData (title) values (?)", {"r"});
    const std::string withInsert =
        insert(second, "with t(x) as (select ?) insert into MediaData (title) select x from t", {"w"});
    EXPECT_EQ(std::set<std::string>({folder, replaced, withInsert}).size(), 3u);
    EXPECT_EQ(one(first(), "select title from MediaData where OID = ?", {withInsert}), "w");

    ASSERT_EQ(DbExecDirect(first(), "create table if not exists Extra (Name char(32), Icon file)"), DbOk);
    ASSERT_EQ(DbExecDirect(first(), "create table if not exists Extra (Name char(32), Icon file)"), DbOk);
    const QString icon = src.writeFile("icon.png", "PNG");
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(second, "insert into Extra (Name, Icon) values (?, ?)", &st), DbNeedParams);
    DbBindParam(st, "e");
    DbBindFile(st, icon.toStdString());
    std::string oid;
    ASSERT_LT(DbExecute(st, &oid), 2) << DbErrorText();
    DbFreeStmt(&st);
    const std::string copy = one(first(), "select filename(Icon) from Extra where OID = ?", {oid});
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(copy)));
    ASSERT_LT(run(first(), "delete from Extra where OID = ?", {oid}), 2);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(copy)));
}

} // namespace

namespace {

// A repair sets the damaged file aside: never while another program still has it open and
// would go on writing into the file set aside.
TEST_F(SharedSource, NoRepairWhileAnotherProgramHasTheDatabaseOpen)
{
    insert(first(), "insert into Folder (Title) values (?)", {"kept"});
    src.connection.disconnect();
    SalvageReport report;
    EXPECT_EQ(DbSalvage(src.name().toStdString(), &env, report), DbFailed);
    EXPECT_EQ(DbLastError(), ErrBusy);
    EXPECT_NE(DbErrorText().find("Close it"), std::string::npos) << DbErrorText();
    EXPECT_TRUE(QDir(src.databaseDir()).entryList({"*.damaged-*"}).isEmpty());

    DbDisconnect(second, &env);
    second = nullptr;
    ASSERT_EQ(DbSalvage(src.name().toStdString(), &env, report), DbOk) << DbErrorText();
    second = connect();
    EXPECT_EQ(one(second, "select Title from Folder"), "kept");
}

} // namespace

namespace {

// A move of file objects that is rolled back puts the files back where the catalog says
// they are; and a file the catalog holds somewhere else is never an orphan.
TEST_F(SharedSource, AMoveThatIsRolledBackLeavesNothingToSweep)
{
    const QString picture = src.writeFile("moved.jpg", "JPEG");
    const std::string oid = insertWithFile(first(), "moved", picture);
    const std::string before = one(first(), "select filename(media) from MediaData where OID = ?", {oid});
    const QString elsewhere = src.dir() + "/elsewhere";
    QDir().mkpath(elsewhere);
    {
        // The data source keeps its copies there from now on.
        ConfigFile config(src.configPath().toStdString());
        config.setValue(src.name().toStdString(), "DB_FODIR", "\"" + elsewhere.toStdString() + "\"");
        ASSERT_TRUE(config.flush());
    }

    ASSERT_EQ(DbBeginTransaction(first()), DbOk);
    ASSERT_LT(
        run(first(), "move file object ? to ?", {before, (elsewhere + "/vk0000000000aa.jpg").toStdString()}),
        2)
        << DbErrorText();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(before)));
    ASSERT_EQ(DbRollback(first()), DbOk);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(before)));
    DbFileCheck check;
    ASSERT_EQ(DbCheckFileObjects(second, check), DbOk);
    EXPECT_TRUE(check.missing.empty() && check.orphans.empty());

    // Moved on disk by hand, not yet in the catalog: the copy left in the directory keeps its name.
    const QString handMoved =
        src.fileObjectDir() + "/" + QFileInfo(QString::fromStdString(before)).fileName();
    ASSERT_EQ(run(first(), "move file object ? to ?",
                  {before, (elsewhere + "/" + QFileInfo(handMoved).fileName()).toStdString()}),
              DbOk);
    ASSERT_TRUE(QFile::copy(elsewhere + "/" + QFileInfo(handMoved).fileName(), handMoved));
    std::vector<std::string> removed;
    ASSERT_EQ(DbRemoveOrphans(second, removed), DbOk);
    EXPECT_TRUE(removed.empty()) << removed.front();
}

TEST(DialectStars, QueriesNamedByWithAreTheirOwn)
{
    const auto columnsOf = [](const std::string &table) {
        TableColumns cols;
        if (table == "Folder") {
            cols.hasOidColumn = true;
            cols.visible = {"FolderId", "Title"};
        }
        return cols;
    };
    bool expanded = true;
    const std::string cte = "with Folder as (select 5 as q) select * from Folder";
    EXPECT_EQ(expandStars(cte, columnsOf, expanded), cte);
    EXPECT_FALSE(expanded);
    // replace() in a WITH query is a function, not "replace into".
    EXPECT_EQ(translate("with x as (select 'a' as v) select replace(v, 'a', 'b') from x").kind,
              Translation::Plain);
    EXPECT_EQ(translate("drop table main.Extra").table, "Extra");
}

} // namespace
