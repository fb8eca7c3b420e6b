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
         "select (select dir||name from _vk_fileobj where id=(media)) from MediaData"},
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
    EXPECT_EQ(tr.sql,
              "create table T (Id integer default (vk_serial('T','Id')), \"index\" float, media file blob, "
              "Name char(32))");
    EXPECT_FALSE(translate("alter table T add Other serial").error.empty());
}

TEST(DialectTest, EngineCommands)
{
    Translation tr = translate("move file object '/old/dir/' to '/new/it''s/'");
    EXPECT_EQ(tr.kind, Translation::MoveFileObject);
    EXPECT_EQ(tr.moveFrom, "/old/dir/");
    EXPECT_EQ(tr.moveTo, "/new/it's/");
    EXPECT_EQ(translate("commit").kind, Translation::Commit);
    EXPECT_EQ(translate("COMMIT WORK;").kind, Translation::Commit);
    EXPECT_EQ(translate("drop table OptionTable").kind, Translation::DropTable);
    EXPECT_FALSE(translate("move file object 'a'").error.empty());
    EXPECT_FALSE(translate("   ").error.empty());
}
