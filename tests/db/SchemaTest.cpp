// The schema check on older databases, the keyword conversion and the integration
// check of file objects, against real databases.
#include "Schema.h"
#include "ConfigFile.h"
#include "Engine.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace vk;

namespace {

// The library's first tables, before any upgrade.
const char *const OldFolder = "create table Folder (FolderId serial,Title char(256),Description Long VarChar,"
                              "LastModified TimeStamp,Width integer,Height integer,BorderWidth integer)";
const char *const OldMediaData = "create table MediaData (FolderId Integer,title char(256),description Long "
                                 "VarChar,media file,index float,MediaType integer,MediaNail File)";

QList<QStringList> rows(Connection &c, const QString &text, const QStringList &params = {})
{
    Statement st(c, text);
    for (const QString &p : params)
        st.bind(p);
    if (!params.isEmpty())
        st.execute();
    QList<QStringList> out;
    QStringList row;
    while (st.fetch(row) < 2)
        out.append(row);
    return out;
}

QString one(Connection &c, const QString &text, const QStringList &params = {})
{
    const auto r = rows(c, text, params);
    return r.isEmpty() ? QStringLiteral("<no row>") : r[0].value(0);
}

bool exec(Connection &c, const QString &text)
{
    return vkdb::DbExecDirect(c.handle(), text.toStdString()) < 2;
}

QString insert(Connection &c, const QString &text, const QStringList &params)
{
    Statement st(c, text);
    for (const QString &p : params)
        st.bind(p);
    QString oid;
    EXPECT_LT(st.execute(&oid), 2) << text.toStdString() << ": " << vkdb::DbErrorText();
    return oid;
}

// A data source whose tables are made by hand, as an older version left them.
class OldDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        ASSERT_TRUE(exec(c(), "drop table Folder"));
        ASSERT_TRUE(exec(c(), "drop table MediaData"));
    }
    Connection &c() { return src.connection; }

    TempDataSource src;
};

TEST_F(OldDatabase, OriginalTablesComeUpToDateWithEveryRowIntact)
{
    ASSERT_TRUE(exec(c(), OldFolder));
    ASSERT_TRUE(exec(c(), OldMediaData));
    const QString folder =
        insert(c(), "insert into Folder (Title, Width, Height, BorderWidth) values (?, ?, ?, ?)",
               {"Old 'folder'", "80", "100", "3"});
    const QString pic = src.writeFile("old.bmp", "BMP");
    Statement st(c(),
                 "insert into MediaData (FolderId, title, media, index, MediaType) values (?, ?, ?, ?, ?)");
    st.bind("1");
    st.bind("old picture");
    st.bindFile(pic);
    st.bind("32");
    st.bind("1");
    QString media;
    ASSERT_LT(st.execute(&media), 2);
    const QString mediaFile = one(c(), "select filename(media) from MediaData");

    QStringList changes;
    StartupSchemaCheck(c(), &changes);
    EXPECT_EQ(changes, (QStringList{"added column Folder.index", "added column Folder.InsertDate",
                                    "added column Folder.Author", "added column Folder.ParFolderId",
                                    "added column MediaData.KeyWords", "added column MediaData.InsertDate",
                                    "added column MediaData.Author",
                                    "created table KeyWords_Table and converted the keywords",
                                    "created table Flag_Table"}));
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join("\n").toStdString();
    EXPECT_EQ(rows(c(), "select OID, Title, Width, ParFolderId, FolderId from Folder"),
              (QList<QStringList>{{folder, "Old 'folder'", "80", "0", "1"}}));
    EXPECT_EQ(rows(c(), "select OID, title, filename(media), index from MediaData"),
              (QList<QStringList>{{media, "old picture", mediaFile, "32.0"}}));
    EXPECT_TRUE(QFileInfo::exists(mediaFile));

    // A second run changes nothing.
    changes.clear();
    StartupSchemaCheck(c(), &changes);
    EXPECT_TRUE(changes.isEmpty()) << changes.join(", ").toStdString();
}

TEST_F(OldDatabase, KeywordNamesBecomeKeywordRowsWhenTheTableIsNew)
{
    ASSERT_TRUE(exec(c(), OldFolder));
    ASSERT_TRUE(
        exec(c(), QString(OldMediaData).replace("MediaNail File", "MediaNail File,KeyWords varchar(1024)")));
    const QString a =
        insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)", {"a", "Beach\r\nSun\r\n"});
    const QString b = insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)",
                             {"b", "sun\r\nbeach\r\nSUN\r\n"});
    const QString none = insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)", {"c", ""});

    StartupSchemaCheck(c());
    const auto keywords = rows(c(), "select OID, Name, Reference from KeyWords_Table order by Name");
    ASSERT_EQ(keywords.size(), 2);
    const QString beach = keywords[0][0], sun = keywords[1][0];
    EXPECT_EQ(keywords[0].mid(1), (QStringList{"Beach", "2"}));
    EXPECT_EQ(keywords[1].mid(1), (QStringList{"Sun", "2"}));
    EXPECT_EQ(one(c(), "select KeyWords from MediaData where OID = ?", {a}), beach + "\r\n" + sun + "\r\n");
    EXPECT_EQ(one(c(), "select KeyWords from MediaData where OID = ?", {b}), sun + "\r\n" + beach + "\r\n");
    EXPECT_EQ(one(c(), "select KeyWords from MediaData where OID = ?", {none}), "");
}

TEST_F(OldDatabase, KeywordTableWithoutReferenceIsConvertedAndCounted)
{
    ASSERT_TRUE(exec(c(), OldFolder));
    ASSERT_TRUE(
        exec(c(), QString(OldMediaData).replace("MediaNail File", "MediaNail File,KeyWords varchar(1024)")));
    ASSERT_TRUE(exec(c(), "create table KeyWords_Table (Name char(32), Icon file)"));
    const QString family = insert(c(), "insert into KeyWords_Table (Name) values (?)", {"Family"});
    const QString travel = insert(c(), "insert into KeyWords_Table (Name) values (?)", {"Travel"});
    const QString unused = insert(c(), "insert into KeyWords_Table (Name) values (?)", {"Unused"});
    // Names in any letter case, an OID already converted, and a name no keyword has.
    const QString m1 =
        insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)", {"1", "family\r\nTRAVEL\r\n"});
    const QString m2 =
        insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)", {"2", travel + "\r\nPets\r\n"});

    QStringList changes;
    StartupSchemaCheck(c(), &changes);
    EXPECT_TRUE(changes.contains("added column KeyWords_Table.Reference"))
        << changes.join(", ").toStdString();
    const QString pets = one(c(), "select OID from KeyWords_Table where Name = 'Pets'");
    EXPECT_EQ(pets.size(), 18);
    EXPECT_EQ(one(c(), "select KeyWords from MediaData where OID = ?", {m1}),
              family + "\r\n" + travel + "\r\n");
    EXPECT_EQ(one(c(), "select KeyWords from MediaData where OID = ?", {m2}),
              travel + "\r\n" + pets + "\r\n");
    EXPECT_EQ(rows(c(), "select Name, Reference from KeyWords_Table order by Name"),
              (QList<QStringList>{{"Family", "1"}, {"Pets", "1"}, {"Travel", "2"}, {"Unused", "0"}}));
    Q_UNUSED(unused);
}

TEST_F(OldDatabase, FailedConversionLeavesTheOldRowsAndRunsAgainNextTime)
{
    ASSERT_TRUE(exec(c(), OldFolder));
    ASSERT_TRUE(
        exec(c(), QString(OldMediaData).replace("MediaNail File", "MediaNail File,KeyWords varchar(1024)")));
    insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)", {"1", "Sea\r\n"});
    insert(c(), "insert into MediaData (title, KeyWords) values (?, ?)", {"2", "Sky\r\n"});
    // The second row's update fails half-way through the conversion.
    ASSERT_TRUE(exec(c(),
                     "create trigger stop_it before update of KeyWords on MediaData when new.title = '2' "
                     "begin select raise(abort, 'refused'); end"));
    StartupSchemaCheck(c());
    EXPECT_EQ(one(c(), "select count(*) from SYSTABLE where TABLE_NAME = 'KeyWords_Table'"), "0");
    EXPECT_EQ(rows(c(), "select KeyWords from MediaData order by title"),
              (QList<QStringList>{{"Sea\r\n"}, {"Sky\r\n"}}));
    EXPECT_FALSE(src.ui.messages.isEmpty());

    ASSERT_TRUE(exec(c(), "drop trigger stop_it"));
    StartupSchemaCheck(c());
    EXPECT_EQ(one(c(), "select count(*) from KeyWords_Table"), "2");
}

TEST(SchemaCheck, NewDatabaseSeesOnlyTheKeywordAndFlagTablesMade)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    QStringList changes;
    StartupSchemaCheck(src.connection, &changes);
    EXPECT_EQ(changes, (QStringList{"created table KeyWords_Table and converted the keywords",
                                    "created table Flag_Table"}));
    changes.clear();
    StartupSchemaCheck(src.connection, &changes);
    EXPECT_TRUE(changes.isEmpty());
}

TEST(SchemaCheck, AuthoringTablesAreMadeAndUpgraded)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    QStringList changes;
    AuthoringSchemaCheck(src.connection, &changes);
    EXPECT_EQ(changes,
              (QStringList{"created table Folder_Table", "created table ClearBook_Table",
                           "created table Slide_Table", "created table Object_Table",
                           "added column Slide_Table.Jump_CB_Id", "added column Slide_Table.Jump_Slide_Id",
                           "added column Object_Table.Design_Index"}));
    changes.clear();
    AuthoringSchemaCheck(src.connection, &changes);
    EXPECT_TRUE(changes.isEmpty());

    // An older Object_Table gets its unscaled geometry copied from the scaled one.
    ASSERT_TRUE(exec(src.connection, "drop table Object_Table"));
    ASSERT_TRUE(exec(src.connection,
                     "create table Object_Table(Left Integer,Top Integer,Width Integer,Height "
                     "Integer,Spec_Property char(345),Index Float)"));
    insert(src.connection,
           "insert into Object_Table (Left, Top, Width, Height, Spec_Property, Index) values (?,?,?,?,?,?)",
           {"1", "2", "3", "4", "p=1", "32"});
    AuthoringSchemaCheck(src.connection);
    EXPECT_EQ(rows(src.connection,
                   "select Left_S, Top_S, Width_S, Height_S, Spec_Property2, Design_Index from Object_Table"),
              (QList<QStringList>{{"1.0", "2.0", "3.0", "4.0", "p=1", "32"}}));
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join("\n").toStdString();
}

// File objects whose directory was moved with the database.
class IntegrationCheckTest : public ::testing::Test
{
protected:
    void makeObjects(int n)
    {
        ASSERT_TRUE(src.created);
        const QString pic = src.writeFile("p.jpg", "JPEG");
        Transaction tx(src.connection);
        Statement st(src.connection, "insert into MediaData (title, media) values (?, ?)");
        for (int i = 0; i < n; ++i) {
            st.nextParamSet();
            st.bind(QString::number(i));
            st.bindFile(pic);
            ASSERT_LT(st.execute(), 2);
        }
        ASSERT_TRUE(tx.commit());
    }

    // The file-object directory moved: the configuration names the new place.
    void moveDirectoryAway(bool moveFiles = true, const QString &place = QStringLiteral("restored"))
    {
        newDir = src.dir() + "/" + place + "/folder";
        QDir().mkpath(src.dir() + "/" + place);
        if (moveFiles)
            ASSERT_TRUE(QDir().rename(src.fileObjectDir(), newDir));
        else
            QDir().mkpath(newDir);
        vkdb::ConfigFile config(src.configPath().toStdString());
        config.setValue(src.name().toStdString(), "DB_FODIR", "\"" + newDir.toStdString() + "\"");
        ASSERT_TRUE(config.flush());
    }

    int moveStatements()
    {
        int n = 0;
        for (const auto &e : log)
            n += e.text.rfind("move file object", 0) == 0;
        return n;
    }

    void logStatements()
    {
        vkdb::DbSetStatementLog(src.connection.handle(),
                                [this](const vkdb::DbLogEntry &e) { log.push_back(e); });
    }

    void expectAllIn(const QString &dir)
    {
        for (const QStringList &r : rows(src.connection, "select filename(media) from MediaData")) {
            EXPECT_TRUE(r[0].startsWith(dir + "/")) << r[0].toStdString();
            EXPECT_TRUE(QFileInfo::exists(r[0])) << r[0].toStdString();
        }
    }

    TempDataSource src;
    QString newDir;
    std::vector<vkdb::DbLogEntry> log;
};

// A directory named with a quote, or with a name longer than 255 characters, moves like
// any other: the paths travel as values and are never cut.
TEST_F(IntegrationCheckTest, DirectoryNamesWithQuotesAndLengthMoveIntact)
{
    makeObjects(3);
    const QString quoted = QStringLiteral("it's here");
    moveDirectoryAway(true, quoted);
    IntegrationState state;
    ASSERT_TRUE(IntegrationCheck(src.connection, state));
    EXPECT_TRUE(state.lostFiles.isEmpty()) << state.lostFiles.join('\n').toStdString();
    expectAllIn(newDir);

    // Then one move per file, into a directory whose path is longer than 255 characters.
    const QString from = newDir;
    QString longPlace = quoted;
    while ((src.dir() + "/" + longPlace).size() < 300)
        longPlace += QStringLiteral("/a directory of 'its' own");
    newDir = src.dir() + "/" + longPlace + "/folder";
    QDir().mkpath(newDir);
    for (const QString &name : QDir(from).entryList(QDir::Files))
        ASSERT_TRUE(QFile::rename(from + "/" + name, newDir + "/" + name));
    vkdb::ConfigFile config(src.configPath().toStdString());
    config.setValue(src.name().toStdString(), "DB_FODIR", "\"" + newDir.toStdString() + "\"");
    ASSERT_TRUE(config.flush());
    IntegrationState again;
    ASSERT_TRUE(IntegrationCheck(src.connection, again));
    EXPECT_TRUE(again.lostFiles.isEmpty()) << again.lostFiles.join('\n').toStdString();
    expectAllIn(newDir);
}

TEST_F(IntegrationCheckTest, BelowTwoHundredObjectsOneDirectoryMove)
{
    makeObjects(199);
    moveDirectoryAway();
    logStatements();
    IntegrationState state;
    ASSERT_TRUE(IntegrationCheck(src.connection, state));
    EXPECT_EQ(moveStatements(), 1);
    expectAllIn(newDir);
    EXPECT_TRUE(state.lostFiles.isEmpty());

    // Once a run: a second call does nothing.
    log.clear();
    EXPECT_TRUE(IntegrationCheck(src.connection, state));
    EXPECT_TRUE(log.empty());
}

TEST_F(IntegrationCheckTest, FromTwoHundredObjectsOneMovePerFile)
{
    makeObjects(200);
    moveDirectoryAway();
    logStatements();
    IntegrationState state;
    QStringList statuses;
    ASSERT_TRUE(IntegrationCheck(src.connection, state, [&](const QString &s) { statuses << s; }));
    EXPECT_EQ(moveStatements(), 200);
    EXPECT_EQ(statuses.value(0), "Integration Check...0/0/200");
    EXPECT_EQ(statuses.value(199), "Integration Check...0/199/200");
    expectAllIn(newDir);

    // Where they belong now: the next run (a new start) finds nothing to do.
    log.clear();
    IntegrationState next;
    ASSERT_TRUE(IntegrationCheck(src.connection, next));
    EXPECT_EQ(moveStatements(), 0);
}

TEST_F(IntegrationCheckTest, FileThatCannotBeMovedIsListedAsLost)
{
    makeObjects(3);
    const QString lost = one(src.connection, "select filename(media) from MediaData where title = '1'");
    ASSERT_TRUE(QFile::remove(lost));
    moveDirectoryAway();
    IntegrationState state;
    ASSERT_TRUE(IntegrationCheck(src.connection, state)) << "start-up goes on";
    EXPECT_EQ(state.lostFiles, QStringList{lost});
    EXPECT_EQ(src.ui.prompts, QStringList{"Media file(s) lost!"});
    EXPECT_EQ(src.ui.informationCaptions, QStringList{"Vellumark"});
    EXPECT_EQ(src.ui.informationLines.value(0), QStringList{lost});
    for (const char *title : {"0", "2"}) {
        const QString name =
            one(src.connection, "select filename(media) from MediaData where title = ?", {title});
        EXPECT_TRUE(name.startsWith(newDir + "/"));
        EXPECT_TRUE(QFileInfo::exists(name));
    }
}

TEST_F(IntegrationCheckTest, MissingDirectoryIsReportedAndStartUpGoesOn)
{
    makeObjects(1);
    vkdb::ConfigFile config(src.configPath().toStdString());
    config.setValue(src.name().toStdString(), "DB_FODIR", "\"/no/such/dir\"");
    ASSERT_TRUE(config.flush());
    IntegrationState state;
    EXPECT_TRUE(IntegrationCheck(src.connection, state));
    EXPECT_EQ(src.ui.messages, QStringList{"Move file object failed!\n\r'/no/such/dir'"});
}

} // namespace
