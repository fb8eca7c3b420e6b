// The storage engine against a real SQLite database: the dialect the program's
// statements are written in, row identity, serial numbering, file objects,
// catalogs and error codes.
#include "Engine.h"
#include "ConfigFile.h"
#include "EngineStatements.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <set>

using namespace vkdb;
using namespace vkdb::enginetest;
using vk::TempDataSource;

namespace {

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created) << src.ui.messages.join(QLatin1Char('\n')).toStdString();
    }
    DbConnection *db() { return src.connection.handle(); }

    TempDataSource src;
};

// Every form of the dialect the program's statements use, run in order on one database.
TEST_F(EngineTest, RunsTheProgramsDialectAsWritten)
{
    struct Case
    {
        const char *sql;
        const char *expected; // first column of every row joined by '|'; nullptr: not a query
    };
    const Case cases[] = {
        {"create table KeyWords_Table (Name char(32), Icon file, Reference integer default 0)", nullptr},
        {"create table Flag_Table (Flag_CB_Id integer,Flag_Slide_Id integer,Flag_Id integer,Flag_StartTime "
         "integer,Flag_Name varchar(255),Flag_Type_Id integer,Loop_EndTime integer,Jump_To_MarkName "
         "varchar(255),"
         "FlagActive_Type integer,Time_Associated integer)",
         nullptr},
        {"create table OptionTable( Option char(64),OptionValue char(64)) ", nullptr},
        {"create table Folder_Table(FolderId integer, Title VarChar(255), Description Long varchar)",
         nullptr},
        {"create table ClearBook_Table(CB_Id serial,CB_Title VarChar(255),CB_DateTime TimeStamp,CB_Author "
         "VarChar(255),CB_Describe Long VarChar,CB_Index Integer)",
         nullptr},
        {"create table Slide_Table(CB_Id integer,Slide_Id Serial,Slide_Title VarChar(255),Slide_DateTime "
         "TimeStamp,Slide_Author VarChar(255),Slide_Describe Long VarChar,Slide_BGround File,Slide_Index "
         "Integer,Slide_BGroundX char(1),Slide_Ratio float,Slide_BColor char(30),Slide_Gradient Integer)",
         nullptr},
        {"create table Object_Table(CB_Id integer,Slide_Id Integer,Obj_Id Integer,Obj_Flag "
         "Char(1),Obj_TypeId "
         "integer,Db_FolderId Integer,Db_OID char(18),Db_Title VarChar(255),Obj_Link_CBId "
         "Integer,Obj_Link_SlideId "
         "integer,Obj_Media File,Bar_Left Integer,Bar_Width Integer,Hint VarChar(255),Caption "
         "VarChar(255),Height "
         "Integer,Left Integer,Top Integer,Width Integer,Tag Integer,Title VarChar(255),Spec_Property "
         "char(345),Spec_Property2 varchar(2504),Id Serial,Index Float, Left_S Float, Top_S Float, Width_S "
         "Float, "
         "Height_S Float)",
         nullptr},
        {"alter table Slide_Table add Jump_CB_Id integer", nullptr},
        {"alter table Object_Table add Design_Index integer", nullptr},
        {"alter table KeyWords_Table add Extra integer default 7", nullptr},
        {"insert into Folder (Title, index, ParFolderId) values ('Holidays', 32, 0)", nullptr},
        {"insert into Folder (Title, index, ParFolderId) values ('work', 64, 0)", nullptr},
        {"select max(index) from Folder", "64.0"},
        {"update Folder set index=96  where Title = 'work'", nullptr},
        {"select Title from Folder order by index", "Holidays|work"},
        {"select count(*) from Folder", "2"},
        {"select FolderId from Folder order by FolderId", "1|2"},
        {"select UCase(Title) from Folder order by index", "HOLIDAYS|WORK"},
        {"select Title from Folder where Title like 'holidays'", ""},
        {"select Title from Folder where UCase(Title) like '%OLI%'", "Holidays"},
        {"update Folder set Description = 'Sea and Sun'", nullptr},
        {"select Title from Folder where Description match 'sun' order by index", "Holidays|work"},
        {"select Title from Folder where Description case match 'sun'", ""},
        {"select Title from Folder where Description case match 'Sun' and index = 32", "Holidays"},
        {"select Extra from KeyWords_Table", ""},
        {"insert into KeyWords_Table (Name) values ('beach')", nullptr},
        {"select Reference, Extra from KeyWords_Table", "0"},
        {"select TABLE_NAME from SYSTABLE where TABLE_NAME = 'KeyWords_Table'", "KeyWords_Table"},
        {"select * from SYSTABLE where TABLE_NAME = 'Folder_Table'", "Folder_Table"},
        {"select TABLE_NAME from SYSTABLE where TABLE_NAME = 'Nothing'", ""},
        {"select COLUMN_NAME from SYSCOLUMN where TABLE_NAME='Folder' and COLUMN_NAME='index'", "index"},
        {"select COLUMN_NAME from SYSCOLUMN where TABLE_NAME='MediaData' and COLUMN_NAME='OID'", ""},
        {"select * from SYSCOLUMN where TABLE_NAME='Object_Table' and COLUMN_NAME='Spec_Property2'",
         "Object_Table"},
        {"select COLUMN_TYPE from SYSCOLUMN where TABLE_NAME='MediaData' and COLUMN_NAME='media'", "file"},
        {"select FILE_NAME from SYSFILEOBJ where FILE_TYPE='00'x", ""},
        {"select count(*) from SYSFILEOBJ where FILE_TYPE='00'x", "0"},
        {"select FILE_NAME from SYSFILEOBJ where FILE_TYPE='00'x for browse", ""},
        {"insert into Object_Table (Left, Top, Width, Height, Index) values (5, 6, 7, 8, 32)", nullptr},
        {"update Object_Table set Left_S=Left, set Top_S=Top, set Width_S=Width, set Height_S=Height",
         nullptr},
        {"select Left_S from Object_Table", "5.0"},
        {"update Object_Table set Design_Index=Index", nullptr},
        {"select Design_Index from Object_Table", "32"},
        {"select Id from Object_Table", "1"},
        {"Insert into ClearBook_Table(CB_Title,CB_Author,CB_Index,CB_DateTime) values('t','a',1,now())",
         nullptr},
        {"select length(CB_DateTime) from ClearBook_Table", "19"},
        {"commit", nullptr},
        {"drop table Folder_Table", nullptr},
        {"select TABLE_NAME from SYSTABLE where TABLE_NAME = 'Folder_Table'", ""},
        // A value that happens to hold the dialect's words is left alone.
        {"select 'index match for browse ''00''x'", "index match for browse '00'x"},
    };
    for (const Case &c : cases) {
        Rows rows;
        const int rc = run(db(), c.sql, {}, &rows);
        ASSERT_LT(rc, 2) << c.sql << "\n" << DbErrorText();
        if (c.expected) {
            EXPECT_EQ(firstColumn(rows), c.expected) << c.sql;
        }
    }
}

TEST_F(EngineTest, OidsAreEighteenCharactersUniqueAcrossTablesAndNeverReused)
{
    ASSERT_LT(
        run(db(), "create table KeyWords_Table (Name char(32), Icon file, Reference integer default 0)"), 2);
    std::set<std::string> seen;
    std::string last;
    for (int i = 0; i < 5; ++i) {
        for (const char *sql :
             {"insert into Folder (Title) values (?)", "insert into MediaData (title) values (?)",
              "insert into KeyWords_Table (Name) values (?)"}) {
            const std::string oid = insert(db(), sql, {text("x")});
            ASSERT_EQ(oid.size(), 18u);
            EXPECT_NE(oid, "-1");
            EXPECT_TRUE(seen.insert(oid).second) << oid;
            last = oid;
        }
    }
    // The row is found by its OID, and the OID reads back as it was answered.
    EXPECT_EQ(firstColumn(query(db(), "select OID from KeyWords_Table where OID = ?", {text(last)})), last);

    // A deleted keyword's OID never comes back, not even after a reconnect.
    ASSERT_LT(run(db(), "delete from KeyWords_Table where OID = ?", {text(last)}), 2);
    EXPECT_NE(insert(db(), "insert into KeyWords_Table (Name) values (?)", {text("y")}), last);
    src.connection.disconnect();
    ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "SYSADM", ""), DbOk);
    const std::string after = insert(db(), "insert into KeyWords_Table (Name) values (?)", {text("z")});
    EXPECT_GT(after, last);
    EXPECT_EQ(seen.count(after), 0u);
    // OIDs are not columns: "*" does not show them and the catalog does not list them.
    EXPECT_EQ(query(db(), "select * from Folder").at(0).size(), 11u);
}

TEST_F(EngineTest, OidCounterSurvivesRolledBackReservations)
{
    // Enough inserts inside a rolled-back transaction to use up a reservation of the counter.
    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    std::string inRolledBack;
    for (int i = 0; i < 1200; ++i)
        inRolledBack = insert(db(), "insert into Folder (Title) values (?)", {text("t")});
    ASSERT_EQ(DbRollback(db()), DbOk);
    const std::string committed = insert(db(), "insert into Folder (Title) values (?)", {text("kept")});
    src.connection.disconnect();
    ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "SYSADM", ""), DbOk);
    const std::string next = insert(db(), "insert into Folder (Title) values (?)", {text("next")});
    EXPECT_GT(next, committed);
    EXPECT_EQ(firstColumn(query(db(), "select count(*) from Folder")), "2");
}

TEST_F(EngineTest, SerialColumnsAreNumberedByTheEngine)
{
    for (int i = 0; i < 3; ++i)
        insert(db(), "insert into Folder (Title) values (?)", {text("f")});
    ASSERT_LT(run(db(), "delete from Folder where FolderId = 3"), 2);
    src.connection.disconnect();
    ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "SYSADM", ""), DbOk);
    insert(db(), "insert into Folder (Title) values (?)", {text("g")});
    // An explicit null is numbered too.
    insert(db(), "insert into Folder (FolderId, Title) values (?, ?)", {null(), text("h")});
    EXPECT_EQ(firstColumn(query(db(), "select FolderId from Folder order by FolderId")), "1|2|4|5");
}

TEST_F(EngineTest, InternalFileObjectIsACopyRemovedOnlyAfterItsDeletionCommits)
{
    const QString original = src.writeFile(QStringLiteral("it's a picture.jpg"), "JPEGDATA");
    const std::string oid =
        insert(db(), "insert into MediaData (title, media) values (?, ?)", {text("p"), file(original)});
    const std::string stored =
        firstColumn(query(db(), "select filename(media) from MediaData where OID = ?", {text(oid)}));
    ASSERT_FALSE(stored.empty());
    EXPECT_NE(stored, original.toStdString());
    EXPECT_TRUE(QString::fromStdString(stored).startsWith(src.fileObjectDir() + "/"));
    QFile copy(QString::fromStdString(stored));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("JPEGDATA"));
    copy.close();
    // Selecting the column itself answers the same name; the catalog lists it as internal.
    EXPECT_EQ(firstColumn(query(db(), "select media from MediaData where OID = ?", {text(oid)})), stored);
    EXPECT_EQ(firstColumn(query(db(), "select FILE_NAME from SYSFILEOBJ where FILE_TYPE='00'x")), stored);

    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    ASSERT_LT(run(db(), "delete from MediaData where OID = ?", {text(oid)}), 2);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(stored))) << "removed before the delete committed";
    ASSERT_EQ(DbRollback(db()), DbOk);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(stored)));

    ASSERT_LT(run(db(), "delete from MediaData where OID = ?", {text(oid)}), 2);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(stored)));
    EXPECT_TRUE(QFileInfo::exists(original)) << "the user's file is never touched";
    EXPECT_EQ(firstColumn(query(db(), "select count(*) from SYSFILEOBJ")), "0");
}

TEST_F(EngineTest, ReplacingAFileObjectKeepsTheRightCopy)
{
    const QString first = src.writeFile("a.png", "first");
    const QString second = src.writeFile("b.png", "second");
    const std::string oid =
        insert(db(), "insert into MediaData (title, MediaNail) values (?, ?)", {text("m"), file(first)});
    const std::string before =
        firstColumn(query(db(), "select filename(MediaNail) from MediaData where OID = ?", {text(oid)}));

    // A replacement rolled back leaves the old copy and removes the new one.
    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    ASSERT_LT(run(db(), "update MediaData set  MediaNail = ?  where OID = ?", {file(second), text(oid)}), 2);
    const std::string rolled =
        firstColumn(query(db(), "select filename(MediaNail) from MediaData where OID = ?", {text(oid)}));
    ASSERT_EQ(DbRollback(db()), DbOk);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(before)));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(rolled)));

    ASSERT_LT(run(db(), "update MediaData set  MediaNail = ?  where OID = ?", {file(second), text(oid)}), 2);
    const std::string after =
        firstColumn(query(db(), "select filename(MediaNail) from MediaData where OID = ?", {text(oid)}));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(before)));
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(after)));

    // Null clears it and releases the copy.
    ASSERT_LT(run(db(), "update MediaData set  MediaNail = ?  where OID = ?", {null(), text(oid)}), 2);
    EXPECT_EQ(
        firstColumn(query(db(), "select filename(MediaNail) from MediaData where OID = ?", {text(oid)})), "");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(after)));
}

TEST_F(EngineTest, ExternalFileObjectIsAReferenceThatIsNeverTouched)
{
    const QString path = src.writeFile("clip 'one'.wav", "RIFF");
    // Bound as text (a quoted path in the program's older statements), the row refers to the file where it
    // lies.
    const std::string oid = insert(db(), "insert into MediaData (title, media) values (?, ?)",
                                   {text("w"), text(path.toStdString())});
    EXPECT_EQ(firstColumn(query(db(), "select filename(media) from MediaData where OID = ?", {text(oid)})),
              path.toStdString());
    EXPECT_EQ(firstColumn(query(db(), "select FILE_NAME from SYSFILEOBJ where FILE_TYPE='01'x")),
              path.toStdString());
    // A literal path works the same way.
    ASSERT_LT(run(db(), "insert into MediaData (title, media) values ('lit', '/no/such/file.mp3')"), 2);
    EXPECT_EQ(firstColumn(query(db(), "select filename(media) from MediaData where title = 'lit'")),
              "/no/such/file.mp3");
    // A path that looks like a number stays a path.
    ASSERT_LT(run(db(), "insert into MediaData (title, media) values (?, ?)", {text("num"), text("123")}), 2);
    EXPECT_EQ(firstColumn(query(db(), "select filename(media) from MediaData where title = 'num'")), "123");

    ASSERT_LT(run(db(), "delete from MediaData"), 2);
    EXPECT_TRUE(QFileInfo::exists(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("RIFF"));
    EXPECT_EQ(firstColumn(query(db(), "select count(*) from SYSFILEOBJ")), "0");
}

// A slide object that shows a library picture names the library's stored copy by its path:
// the copy stays while either row holds it, whichever goes first, and in a database that was
// made before paths were matched to stored copies.
TEST_F(EngineTest, APathNamingAStoredCopyHoldsThatCopy)
{
    for (const bool olderDatabase : {false, true}) {
        SCOPED_TRACE(olderDatabase ? "older database" : "new database");
        if (olderDatabase) {
            // What an older version left, written past the engine (which refuses to touch its own tables).
            sqlite3 *native = DbNativeHandle(db());
            ASSERT_EQ(sqlite3_exec(native, "update _vk_meta set value=2 where key='format'", nullptr, nullptr,
                                   nullptr),
                      SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(native, "drop index _vk_fileobj_path", nullptr, nullptr, nullptr),
                      SQLITE_OK);
            src.connection.disconnect();
            ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "", ""), DbOk);
            EXPECT_EQ(firstColumn(query(db(), "select value from _vk_meta where key='format'")), "3");
        }
        for (const bool libraryFirst : {true, false}) {
            const std::string item = insert(db(), "insert into MediaData (title, media) values (?, ?)",
                                            {text("p"), file(src.writeFile("shared.png", "PNGDATA"))});
            const std::string stored =
                firstColumn(query(db(), "select filename(media) from MediaData where OID = ?", {text(item)}));
            const std::string other = insert(db(), "insert into MediaData (title, MediaNail) values (?, ?)",
                                             {text("o"), text(stored)});
            EXPECT_EQ(firstColumn(query(db(), "select filename(MediaNail) from MediaData where OID = ?",
                                        {text(other)})),
                      stored);
            EXPECT_EQ(firstColumn(query(db(), "select count(*) from SYSFILEOBJ")), "1")
                << "one copy, two holders";
            const char *const deletes[] = {"delete from MediaData where title='p'",
                                           "delete from MediaData where title='o'"};
            ASSERT_LT(run(db(), deletes[libraryFirst ? 0 : 1]), 2);
            EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(stored)));
            ASSERT_LT(run(db(), deletes[libraryFirst ? 1 : 0]), 2);
            EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(stored)));
        }
    }
}

TEST_F(EngineTest, DroppingATableReleasesItsInternalCopies)
{
    ASSERT_LT(
        run(db(), "create table KeyWords_Table (Name char(32), Icon file, Reference integer default 0)"), 2);
    insert(db(), "insert into KeyWords_Table (Name, Icon) values (?, ?)",
           {text("k"), file(src.writeFile("i.ico", "ICON"))});
    const std::string icon = firstColumn(query(db(), "select filename(Icon) from KeyWords_Table"));
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(icon)));
    ASSERT_LT(run(db(), "drop table KeyWords_Table"), 2);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(icon)));
}

TEST_F(EngineTest, FailedStatementLeavesNoCopyBehind)
{
    const QDir dir(src.fileObjectDir());
    const auto before = dir.entryList(QDir::Files).size();
    // The statement fails after the file was bound: no copy may stay.
    EXPECT_GE(run(db(), "insert into MediaData (title, media, NoSuchColumn) values (?, ?, ?)",
                  {text("t"), file(src.writeFile("x.bmp", "BM")), text("1")}),
              2);
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(db(), "insert into MediaData (title, media) values (?, ?)", &st), DbNeedParams);
    DbBindParam(st, "t");
    ASSERT_EQ(DbBindFile(st, src.writeFile("y.bmp", "BM").toStdString()), DbOk);
    DbFreeStmt(&st); // never executed
    EXPECT_EQ(dir.entryList(QDir::Files).size(), before);
    EXPECT_GE(DbBindFile(nullptr, "/x"), 2);
}

// The data source's configuration names `dir` as its file-object directory from now on.
void configureFileObjectDir(const TempDataSource &src, const QString &dir)
{
    ConfigFile config(src.configPath().toStdString());
    config.setValue(src.name().toStdString(), "DB_FODIR", "\"" + dir.toStdString() + "\"");
    ASSERT_TRUE(config.flush());
}

TEST_F(EngineTest, MoveFileObjectMovesADirectoryOrOneFile)
{
    insert(db(), "insert into MediaData (title, media) values (?, ?)",
           {text("a"), file(src.writeFile("a.jpg", "A"))});
    insert(db(), "insert into MediaData (title, media) values (?, ?)",
           {text("b"), file(src.writeFile("b.jpg", "B"))});
    const QString oldDir = src.fileObjectDir() + "/";
    const QString newDir = src.dir() + "/moved/";
    const std::string sql =
        "move file object '" + oldDir.toStdString() + "' to '" + newDir.toStdString() + "'";
    // Copies go only where the data source's configuration keeps them.
    EXPECT_GE(DbExecDirect(db(), sql), 2);
    EXPECT_EQ(DbLastError(), ErrFileObject);
    EXPECT_EQ(QDir(src.fileObjectDir()).entryList(QDir::Files).size(), 2);
    configureFileObjectDir(src, newDir);
    ASSERT_EQ(DbExecDirect(db(), sql), DbOk) << DbErrorText();
    for (const auto &row : query(db(), "select filename(media) from MediaData")) {
        EXPECT_TRUE(QString::fromStdString(row[0]).startsWith(newDir));
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(row[0])));
    }
    // One file, to a full name.
    const std::string one =
        firstColumn(query(db(), "select filename(media) from MediaData where title = 'a'"));
    // Only under a name the engine gives its copies.
    EXPECT_GE(DbExecDirect(db(), "move file object '" + one + "' to '" + src.fileObjectDir().toStdString() +
                                     "/back.jpg'"),
              2);
    const QString target = src.fileObjectDir() + "/vk00000000bac1.jpg";
    ASSERT_EQ(DbExecDirect(db(), "move file object '" + one + "' to '" + target.toStdString() + "'"), DbOk)
        << DbErrorText();
    EXPECT_EQ(firstColumn(query(db(), "select filename(media) from MediaData where title = 'a'")),
              target.toStdString());
    EXPECT_TRUE(QFileInfo::exists(target));
    // Nothing lies at a made-up name.
    EXPECT_GE(DbExecDirect(db(), "move file object '/no/where/' to '/tmp/x/'"), 2);
    EXPECT_EQ(DbLastError(), ErrFileObject);
}

TEST_F(EngineTest, MoveFileObjectFindsFilesAlreadyMovedByHand)
{
    insert(db(), "insert into MediaData (title, media) values (?, ?)",
           {text("a"), file(src.writeFile("a.jpg", "A"))});
    const QString oldDir = src.fileObjectDir();
    const QString newDir = src.dir() + "/restored";
    ASSERT_TRUE(QDir().rename(oldDir, newDir));
    configureFileObjectDir(src, newDir);
    ASSERT_EQ(DbExecDirect(db(), "move file object '" + oldDir.toStdString() + "/' to '" +
                                     newDir.toStdString() + "/'"),
              DbOk)
        << DbErrorText();
    const QString name =
        QString::fromStdString(firstColumn(query(db(), "select filename(media) from MediaData")));
    EXPECT_TRUE(name.startsWith(newDir + "/"));
    EXPECT_TRUE(QFileInfo::exists(name));
}

TEST_F(EngineTest, CommitInsideATransactionKeepsItOpen)
{
    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    insert(db(), "insert into Folder (Title) values (?)", {text("first")});
    ASSERT_EQ(DbExecDirect(db(), "commit"), DbOk);
    EXPECT_TRUE(DbInTransaction(db()));
    insert(db(), "insert into Folder (Title) values (?)", {text("second")});
    ASSERT_EQ(DbRollback(db()), DbOk);
    EXPECT_EQ(firstColumn(query(db(), "select Title from Folder")), "first");
    // Outside a transaction "commit" has nothing to do.
    EXPECT_EQ(DbExecDirect(db(), "commit"), DbOk);
}

TEST_F(EngineTest, StatementLogHoldsTextsAndBoundValues)
{
    std::vector<DbLogEntry> log;
    DbSetStatementLog(db(), [&](const DbLogEntry &e) { log.push_back(e); });
    const QString pic = src.writeFile("p.gif", "GIF");
    insert(db(), "insert into MediaData (title, KeyWords, media) values (?, ?, ?)",
           {text("O'Brien; drop table Folder"), null(), file(pic)});
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "insert into MediaData (title, KeyWords, media) values (?, ?, ?)");
    EXPECT_EQ(log[0].values,
              (std::vector<std::string>{"O'Brien; drop table Folder", "NULL", "file:" + pic.toStdString()}));
    EXPECT_EQ(firstColumn(query(db(), "select title from MediaData")), "O'Brien; drop table Folder");
    DbSetStatementLog(db(), nullptr);
}

TEST_F(EngineTest, ParameterCountIsChecked)
{
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(db(), "update Folder set Title= ?  where OID = ?", &st), DbNeedParams);
    EXPECT_EQ(DbBindParam(st, "t"), DbNeedParams);
    EXPECT_GE(DbExecute(st), 2) << "one value is missing";
    EXPECT_EQ(DbBindParam(st, "000000000000000001"), DbOk);
    EXPECT_GE(DbBindParam(st, "extra"), 2);
    EXPECT_EQ(DbLastError(), ErrParameters);
    EXPECT_EQ(DbExecute(st), DbOk);
    DbFreeStmt(&st);
    EXPECT_EQ(st, nullptr);
}

TEST_F(EngineTest, LongValueIsWrittenToAFile)
{
    const QString pic = src.writeFile("big.tif", QByteArray(300000, 'x'));
    const std::string oid = insert(db(), "insert into MediaData (title, media, description) values (?, ?, ?)",
                                   {text("t"), file(pic), text("a long description")});
    const QString out = src.dir() + "/out.bin";
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(db(), "select media from MediaData where OID = ?", &st), DbNeedParams);
    DbBindParam(st, oid);
    ASSERT_EQ(DbExecute(st), DbOk);
    ASSERT_EQ(DbSetColumnFile(st, 0, out.toStdString()), DbOk);
    std::vector<std::string> values;
    ASSERT_EQ(DbGetData(st, values), DbOk) << DbErrorText();
    DbFreeStmt(&st);
    EXPECT_EQ(QFileInfo(out).size(), 300000);
}

// Connecting never creates a database, and each kind of broken file has its code.
TEST(EngineErrors, ConnectFailuresHaveTheirNativeCodes)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    src.connection.disconnect();
    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    DbEnvironment env{src.configPath().toStdString()};
    DbConnection *c = nullptr;

    EXPECT_EQ(DbConnect(&c, "nosuchsource", "SYSADM", "", &env), DbFailed);
    EXPECT_EQ(DbLastError(), ErrNoDataSource);
    EXPECT_FALSE(DbErrorText().empty());

    // A non-database file.
    QFile::rename(dbFile, dbFile + ".keep");
    QFile::remove(dbFile + "-wal");
    QFile::remove(dbFile + "-shm");
    EXPECT_EQ(DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env), DbFailed);
    EXPECT_EQ(DbLastError(), ErrNoDatabase);
    EXPECT_FALSE(QFileInfo::exists(dbFile)) << "a missing database is never created";
    {
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'z'));
    }
    EXPECT_EQ(DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env), DbFailed);
    EXPECT_EQ(DbLastError(), ErrNotADatabase);
    EXPECT_NE(DbErrorText().find("not a Vellumark database"), std::string::npos);

    // A damaged database: the schema page overwritten after the header.
    QFile::remove(dbFile);
    QFile::rename(dbFile + ".keep", dbFile);
    {
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(100);
        f.write(QByteArray(3000, '\xff'));
    }
    EXPECT_EQ(DbConnect(&c, src.name().toStdString(), "SYSADM", "", &env), DbFailed);
    EXPECT_EQ(DbLastError(), ErrRecoveryNeeded);
    EXPECT_NE(DbErrorText().find("damaged"), std::string::npos);
    EXPECT_EQ(c, nullptr);
}

TEST(EngineErrors, RecoveryModeRebuildsADamagedDatabaseAndKeepsTheOriginal)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    DbConnection *c = src.connection.handle();
    ASSERT_EQ(DbExecDirect(c, "create index ix_title on MediaData(title)"), DbOk);
    ASSERT_EQ(DbBeginTransaction(c), DbOk);
    for (int i = 0; i < 2000; ++i)
        insert(c, "insert into MediaData (title) values (?)",
               {text("title number " + std::to_string(i) + std::string(40, 'x'))});
    ASSERT_EQ(DbCommit(c), DbOk);
    src.connection.disconnect();

    const QString dbFile = src.databaseDir() + "/" + src.name() + ".db";
    int rootPage = 0;
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open(dbFile.toUtf8().constData(), &raw), SQLITE_OK);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(raw, "select rootpage from sqlite_schema where name='ix_title'", -1, &s, nullptr);
        ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
        rootPage = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        sqlite3_exec(raw, "pragma wal_checkpoint(truncate)", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }
    {
        QFile f(dbFile);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(qint64(rootPage - 1) * 4096);
        f.write(QByteArray(4096, '\x5a'));
    }
    vkdb::ConfigFile config(src.configPath().toStdString());
    config.setValue(src.name().toStdString(), "DB_SMODE", "2");
    ASSERT_TRUE(config.flush());

    ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "SYSADM", ""), DbOk) << DbErrorText();
    EXPECT_EQ(firstColumn(query(src.connection.handle(), "select count(*) from MediaData")), "2000");
    EXPECT_EQ(firstColumn(query(src.connection.handle(),
                                "select count(*) from MediaData where title like 'title number 1999%'")),
              "1");
    QStringList kept = QDir(src.databaseDir()).entryList({src.name() + ".db.damaged-*"});
    // Either the indexes were rebuilt in place, or the rows went to a fresh file with the damaged one kept.
    sqlite3_stmt *check = nullptr;
    sqlite3_prepare_v2(DbNativeHandle(src.connection.handle()), "pragma quick_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    EXPECT_LE(kept.size(), 1);
}

TEST(EngineErrors, CreateRefusesAnExistingDatabase)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    DbEnvironment env{src.configPath().toStdString()};
    DbConnection *c = nullptr;
    EXPECT_EQ(DbCreate(src.name().toStdString(), &env, &c), DbFailed);
    EXPECT_EQ(DbLastError(), ErrDatabaseExists);
}

TEST(ConfigFileTest, KeysAreFoundWithoutRegardToCaseAndKeepTheirSpelling)
{
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/vkconfig.ini").toStdString();
    {
        ConfigFile f(path);
        f.setValue("svkbook", "DB_UsrID", "");
        f.setValue("svkbook", "DB_DBDIR", "\"/data/db\"");
        f.setValue("other", "DB_SMODE", "1");
        ASSERT_TRUE(f.flush());
    }
    ConfigFile f(path);
    EXPECT_EQ(f.sections(), (std::vector<std::string>{"svkbook", "other"}));
    EXPECT_TRUE(f.hasSection("SVKBOOK"));
    EXPECT_EQ(f.value("svkbook", "db_usrid").value_or("missing"), "");
    EXPECT_EQ(f.unquotedValue("SvkBook", "db_dbdir"), "/data/db");
    f.setValue("svkbook", "DB_USRID", "SYSADM"); // the same key as DB_UsrID
    f.eraseSection("other");
    ASSERT_TRUE(f.flush());
    QFile raw(QString::fromStdString(path));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.readAll(), QByteArray("[svkbook]\nDB_UsrID=SYSADM\nDB_DBDIR=\"/data/db\"\n"));
}

} // namespace

namespace {

TEST_F(EngineTest, TransactionsNestAsSavepoints)
{
    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    insert(db(), "insert into Folder (Title) values (?)", {text("outer")});
    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    const QString pic = src.writeFile("inner.png", "PNG");
    insert(db(), "insert into MediaData (title, media) values (?, ?)", {text("inner"), file(pic)});
    const std::string copy = firstColumn(query(db(), "select filename(media) from MediaData"));
    ASSERT_EQ(DbRollback(db()), DbOk); // only the inner part goes
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(copy)));
    EXPECT_TRUE(DbInTransaction(db()));
    ASSERT_EQ(DbBeginTransaction(db()), DbOk);
    insert(db(), "insert into Folder (Title) values (?)", {text("inner kept")});
    EXPECT_EQ(DbExecDirect(db(), "commit"), DbOk) << "inside a nested transaction the outer one decides";
    ASSERT_EQ(DbCommit(db()), DbOk);
    ASSERT_EQ(DbCommit(db()), DbOk);
    EXPECT_FALSE(DbInTransaction(db()));
    EXPECT_EQ(firstColumn(query(db(), "select Title from Folder order by FolderId")), "outer|inner kept");
    EXPECT_EQ(firstColumn(query(db(), "select count(*) from MediaData")), "0");
}

} // namespace

namespace {

// A read of many rows leaves each row in place: column by column it answers what DbGetData
// answers for the same row (an OID's digits, a file column's path, null as empty), and the
// next fetch moves on, whichever of the two fetched the row before.
TEST_F(EngineTest, RowsReadInPlaceAnswerWhatGetDataAnswers)
{
    const QString pic = src.writeFile("pic.jpg", "JPEG");
    insert(db(), "insert into MediaData (title, index, MediaType, KeyWords, media) values (?,?,?,?,?)",
           {text("stored"), text("2.5"), text("3"), null(), file(pic)});
    insert(db(), "insert into MediaData (title, index, MediaType, KeyWords, media) values (?,?,?,?,?)",
           {text("Ελληνικά 日本"), text("32"), text("x"), text("0001\r\n"), text("/no/such/file.mp3")});
    insert(db(), "insert into MediaData (title, index, MediaType, KeyWords, media) values (?,?,?,?,?)",
           {null(), null(), null(), text(""), null()});
    const std::string sql =
        "select OID, title, index, MediaType, KeyWords, media, filename(media) from MediaData order by OID";
    const Rows expected = query(db(), sql);
    ASSERT_EQ(expected.size(), 3u);
    const DbValueType types[3][5] = {
        {DbValueType::Integer, DbValueType::Text, DbValueType::Real, DbValueType::Integer, DbValueType::Null},
        {DbValueType::Integer, DbValueType::Text, DbValueType::Real, DbValueType::Text, DbValueType::Text},
        {DbValueType::Integer, DbValueType::Null, DbValueType::Null, DbValueType::Null, DbValueType::Text}};

    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(db(), sql, &st), DbOk);
    for (size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(DbFetchRow(st), DbOk);
        for (int i = 0; i < 5; ++i) // the type first: reading a number's text converts it
            EXPECT_EQ(DbColumnType(st, i), types[r][i]) << "row " << r << " column " << i;
        for (size_t i = 0; i < expected[r].size(); ++i)
            EXPECT_EQ(std::string(DbColumnText(st, int(i))), expected[r][i])
                << "row " << r << " column " << i;
    }
    EXPECT_EQ(DbFetchRow(st), DbNoMoreRows);
    EXPECT_TRUE(DbColumnText(st, 0).empty());
    DbFreeStmt(&st);

    // Numbers come as they are stored, not through their text.
    ASSERT_EQ(DbPrepare(db(), "select index, MediaType from MediaData order by OID", &st), DbOk);
    ASSERT_EQ(DbFetchRow(st), DbOk);
    EXPECT_EQ(DbColumnDouble(st, 0), 2.5);
    EXPECT_EQ(DbColumnInt64(st, 1), 3);
    // The two fetches take turns on one statement without reading a row twice.
    std::vector<std::string> values;
    ASSERT_EQ(DbGetData(st, values), DbOk);
    EXPECT_EQ(values.at(0), "32.0");
    ASSERT_EQ(DbFetchRow(st), DbOk);
    EXPECT_EQ(DbColumnType(st, 0), DbValueType::Null);
    EXPECT_EQ(DbGetData(st, values), DbNoMoreRows);
    DbFreeStmt(&st);
}

} // namespace
