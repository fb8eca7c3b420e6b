// The dialect translation on tokens: what is rewritten, and what must never be.
#include "Dialect.h"

#include <gtest/gtest.h>

using namespace vkdb;

TEST(DialectTest, TranslatesTheProgramsFormsOnTokens)
{
    struct Case
    {
        const char *in;
        const char *out;
    };
    const Case cases[] = {
        {"select max(index) from Folder", "select max(\"index\") from Folder"},
        {"update Object_Table set Design_Index=Index", "update Object_Table set Design_Index=\"Index\""},
        {"select FILE_NAME from SYSFILEOBJ where FILE_TYPE='00'x",
         "select FILE_NAME from SYSFILEOBJ where FILE_TYPE=x'00'"},
        {"select FILE_NAME from SYSFILEOBJ where FILE_TYPE='00'x for browse",
         "select FILE_NAME from SYSFILEOBJ where FILE_TYPE=x'00'  "},
        {"select a from t where d case match 'x'", "select a from t where d regexp  'x'"},
        {"update t set a=b, set c=d", "update t set a=b,  c=d"},
        {"select filename(media) from MediaData",
         "select (select vk_objpath(dir,name,type) from _vk_fileobj where id=(media)) from MediaData"},
        // Values and quoted names are never touched.
        {"select 'index', \"index\" from t where x = 'case match'",
         "select 'index', \"index\" from t where x = 'case match'"},
        {"create index ix on t(a)", "create index ix on t(a)"},
    };
    for (const Case &c : cases) {
        const Translation tr = translate(c.in);
        ASSERT_TRUE(tr.error.empty()) << c.in << ": " << tr.error;
        EXPECT_EQ(tr.sql, c.out) << c.in;
    }
}

TEST(DialectTest, InsertsGetTheirOidFromTheEngine)
{
    Translation tr = translate("Insert into MediaData (FolderId,title) values (?,?)");
    EXPECT_EQ(tr.kind, Translation::Insert);
    EXPECT_EQ(tr.table, "MediaData");
    EXPECT_EQ(tr.sql, "Insert into MediaData (rowid,FolderId,title) values (vk_oid(),?,?)");
    EXPECT_EQ(tr.paramCount, 2);

    tr = translate("insert into t (a) select b from u");
    EXPECT_EQ(tr.sql, "insert into t (rowid,a) select vk_oid(), b from u");

    tr = translate("insert into t (a) select b from u union all select (select 1) from v");
    EXPECT_EQ(
        tr.sql,
        "insert into t (rowid,a) select vk_oid(), b from u union all select vk_oid(), (select 1) from v");

    // Every form that adds rows gets its OIDs from the engine.
    tr = translate("replace into t (a) values (?)");
    EXPECT_EQ(tr.kind, Translation::Insert);
    EXPECT_EQ(tr.sql, "replace into t (rowid,a) values (vk_oid(),?)");
    tr = translate("with s(x) as (select 1) insert into t (a) select x from s");
    EXPECT_EQ(tr.kind, Translation::Insert);
    EXPECT_EQ(tr.table, "t");
    EXPECT_EQ(tr.sql, "with s(x) as (select 1) insert into t (rowid,a) select vk_oid(), x from s");

    tr = translate("insert into t values (1, 2)");
    EXPECT_TRUE(tr.needsColumnList);
    EXPECT_EQ(completeInsert("insert into t values (1, 2)", {"a", "b"}),
              "insert into t (\"a\",\"b\") values (1, 2)");
}

TEST(DialectTest, ColumnTypesOfTheEngine)
{
    const Translation tr = translate("create table T (Id serial, index float, media file, Name char(32))");
    EXPECT_EQ(tr.kind, Translation::CreateTable);
    ASSERT_EQ(tr.columns.size(), 4u);
    EXPECT_TRUE(tr.columns[0].isSerial);
    EXPECT_EQ(tr.columns[1].name, "index");
    EXPECT_TRUE(tr.columns[2].isFile);
    EXPECT_EQ(
        tr.sql,
        "create table T (_vk_oid integer primary key, Id integer default (vk_serial('T','Id')), \"index\" "
        "float, media file blob, Name char(32))");
    const Translation ifMissing = translate("create table if not exists KeyWords_Table (Name char(32))");
    EXPECT_EQ(ifMissing.table, "KeyWords_Table");
    EXPECT_EQ(ifMissing.sql,
              "create table if not exists KeyWords_Table (_vk_oid integer primary key, Name char(32))");
    // A table with a key of its own keeps it as the row's identity.
    EXPECT_EQ(translate("create table K (id integer primary key, a text)").sql,
              "create table K (id integer primary key, a text)");
    EXPECT_FALSE(translate("alter table T add Other serial").error.empty());
}

TEST(DialectTest, EngineCommands)
{
    Translation tr = translate("move file object '/old/dir/' to '/new/it''s/'");
    EXPECT_EQ(tr.kind, Translation::MoveFileObject);
    EXPECT_EQ(tr.moveFrom, "/old/dir/");
    EXPECT_EQ(tr.moveTo, "/new/it's/");
    tr = translate("move file object ? to ?");
    EXPECT_EQ(tr.kind, Translation::MoveFileObject);
    EXPECT_EQ(tr.paramCount, 2);
    EXPECT_EQ(translate("commit").kind, Translation::Commit);
    EXPECT_EQ(translate("COMMIT WORK;").kind, Translation::Commit);
    EXPECT_EQ(translate("drop table OptionTable").kind, Translation::DropTable);
    EXPECT_FALSE(translate("move file object 'a'").error.empty());
    EXPECT_FALSE(translate("   ").error.empty());
}

TEST(DialectTest, StarsLeaveTheOidColumnOut)
{
    const auto columnsOf = [](const std::string &table) {
        TableColumns cols;
        if (table == "Folder" || table == "MediaData") {
            cols.hasOidColumn = true;
            cols.visible = table == "Folder" ? std::vector<std::string>{"FolderId", "Title"}
                                             : std::vector<std::string>{"FolderId", "title"};
        }
        return cols;
    };
    struct Case
    {
        const char *in;
        const char *out; // nullptr: unchanged
    };
    const Case cases[] = {
        {"select * from Folder", "select \"FolderId\",\"Title\" from Folder"},
        {"select OID, * from Folder where FolderId = ?",
         "select OID, \"FolderId\",\"Title\" from Folder where FolderId = ?"},
        {"select distinct * from main.Folder f", "select distinct \"FolderId\",\"Title\" from main.Folder f"},
        {"select f.*, m.title from Folder f join MediaData m on m.FolderId = f.FolderId",
         "select f.\"FolderId\",f.\"Title\", m.title from Folder f join MediaData m on m.FolderId = "
         "f.FolderId"},
        {"select * from Folder as f, SYSTABLE s",
         "select f.\"FolderId\",f.\"Title\",s.* from Folder as f, SYSTABLE s"},
        {"select * from (select * from Folder) x",
         "select * from (select \"FolderId\",\"Title\" from Folder) x"},
        {"insert into MediaData select * from MediaData where FolderId = 1",
         "insert into MediaData select \"FolderId\",\"title\" from MediaData where FolderId = 1"},
        // Not a star of a select list, or not over a table of the engine's.
        {"select count(*) from Folder", nullptr},
        {"select a * b from Folder", nullptr},
        {"select * from SYSTABLE where TABLE_NAME = 'Folder'", nullptr},
        {"select '*' from Folder", nullptr},
    };
    for (const Case &c : cases) {
        bool expanded = true;
        const std::string out = expandStars(c.in, columnsOf, expanded);
        EXPECT_EQ(out, c.out ? c.out : c.in) << c.in;
        EXPECT_EQ(expanded, c.out != nullptr) << c.in;
    }
}
