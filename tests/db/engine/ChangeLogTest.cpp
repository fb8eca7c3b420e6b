// The engine's change log: what one program commits, another learns from the log and from the
// data version, in order, written in the change's own transaction; the log stays bounded, is the
// engine's own (no statement of the program writes it) and comes to databases made before it.
#include "Engine.h"
#include "EngineStatements.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace vkdb;
using namespace vkdb::enginetest;
using vk::TempDataSource;

namespace {

class ChangeLog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created) << src.ui.messages.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(other.connect(src.configPath(), src.name(), "", ""), DbOk) << DbErrorText();
    }
    DbConnection *mine() { return src.connection.handle(); }
    DbConnection *theirs() { return other.handle(); }
    std::vector<DbChange> since(int64_t &position, bool *complete = nullptr)
    {
        std::vector<DbChange> changes;
        bool whole = true;
        int64_t last = -1;
        EXPECT_EQ(DbChangesSince(mine(), position, changes, last, whole), DbOk) << DbErrorText();
        if (complete)
            *complete = whole;
        position = last;
        return changes;
    }
    int64_t now()
    {
        std::vector<DbChange> none;
        bool complete = true;
        int64_t last = -1;
        EXPECT_EQ(DbChangesSince(mine(), -1, none, last, complete), DbOk);
        return last;
    }
    void native(DbConnection *c, const std::string &sql)
    {
        char *err = nullptr;
        ASSERT_EQ(sqlite3_exec(DbNativeHandle(c), sql.c_str(), nullptr, nullptr, &err), SQLITE_OK)
            << (err ? err : "") << " in " << sql;
    }

    TempDataSource src;
    vk::Connection other;
};

TEST_F(ChangeLog, AnotherProgramsCommittedChangesArriveInOrderWithTheDataVersion)
{
    int64_t position = now();
    int64_t version = 0, after = 0;
    ASSERT_EQ(DbDataVersion(mine(), version), DbOk);
    ASSERT_EQ(DbDataVersion(mine(), after), DbOk);
    EXPECT_EQ(version, after) << "nothing committed: nothing new";

    const std::string folder = insert(theirs(), "insert into Folder (Title, ParFolderId) values (?, '0')",
                                      {text("made elsewhere")});
    const std::string item = insert(theirs(), "insert into MediaData (title, FolderId) values (?, '1')", {text("a")});
    ASSERT_EQ(run(theirs(), "update MediaData set title=? where OID=?", {text("b"), text(item)}), DbOk);
    ASSERT_EQ(run(theirs(), "delete from MediaData where OID=?", {text(item)}), DbOk);

    ASSERT_EQ(DbDataVersion(mine(), after), DbOk);
    EXPECT_NE(after, version);
    bool complete = false;
    const std::vector<DbChange> changes = since(position, &complete);
    EXPECT_TRUE(complete);
    ASSERT_GE(changes.size(), 4u);
    EXPECT_EQ(changes.front().table, "Folder");
    EXPECT_EQ(changes.front().oid, folder);
    EXPECT_EQ(changes.front().kind, DbChange::Inserted);
    EXPECT_EQ(changes.back().table, "MediaData");
    EXPECT_EQ(changes.back().oid, item);
    EXPECT_EQ(changes.back().kind, DbChange::Deleted);
    for (size_t k = 1; k < changes.size(); ++k)
        EXPECT_LT(changes[k - 1].position, changes[k].position);
    EXPECT_TRUE(since(position).empty()) << "read once";
}

TEST_F(ChangeLog, AChangeRolledBackLeavesNoEntry)
{
    int64_t position = now();
    ASSERT_EQ(DbBeginTransaction(theirs()), DbOk);
    insert(theirs(), "insert into Folder (Title, ParFolderId) values (?, '0')", {text("never")});
    ASSERT_EQ(DbRollback(theirs()), DbOk);
    EXPECT_TRUE(since(position).empty());
}

TEST_F(ChangeLog, TheLogIsTrimmedAndAReaderLeftBehindIsToldSo)
{
    int64_t position = now();
    ASSERT_EQ(DbBeginTransaction(theirs()), DbOk);
    DbStatement *st = nullptr;
    ASSERT_EQ(DbPrepare(theirs(), "insert into MediaData (title, FolderId) values (?, '1')", &st), DbNeedParams);
    for (int i = 0; i < 10050; ++i) {
        ASSERT_EQ(DbBindParam(st, "t"), DbOk);
        ASSERT_TRUE(DbSucceeded(DbExecute(st)));
        ASSERT_TRUE(DbSucceeded(DbNextParamSet(st)));
    }
    DbFreeStmt(&st);
    ASSERT_EQ(DbCommit(theirs()), DbOk);
    EXPECT_LE(std::stoll(one(mine(), "select count(*) from _vk_changes")), 10000);
    bool complete = true;
    EXPECT_TRUE(since(position, &complete).empty());
    EXPECT_FALSE(complete) << "the first changes were trimmed: everything must be read again";
    insert(theirs(), "insert into Folder (Title, ParFolderId) values (?, '0')", {text("next")});
    EXPECT_EQ(since(position, &complete).size(), 1u);
    EXPECT_TRUE(complete) << "from the newest position on, the log tells all again";
}

TEST_F(ChangeLog, IsTheEnginesOwnAndComesToADatabaseMadeWithoutIt)
{
    for (const char *sql : {"insert into _vk_changes(tbl, oid, op) values ('Folder', 1, 1)",
                            "delete from _vk_changes", "update _vk_changes set op=1", "drop table _vk_changes",
                            "drop trigger \"_vk_Folder_@changes_ins\""})
        EXPECT_NE(DbExecDirect(mine(), sql), DbOk) << sql;

    // A database from before the log: no table, no triggers. Opening it makes both, silently.
    other.disconnect();
    native(mine(), "drop table _vk_changes");
    const Rows triggers = query(mine(), "select name from sqlite_schema where type='trigger' and name like '%@changes%'");
    ASSERT_FALSE(triggers.empty());
    for (const auto &row : triggers)
        native(mine(), "drop trigger \"" + row.at(0) + "\"");
    src.connection.disconnect();
    ASSERT_EQ(src.connection.connect(src.configPath(), src.name(), "", ""), DbOk) << DbErrorText();
    EXPECT_TRUE(DbRestoredTriggers(mine()).empty()) << "a new part of the format, not a repair";
    ASSERT_EQ(other.connect(src.configPath(), src.name(), "", ""), DbOk);
    int64_t position = now();
    insert(theirs(), "insert into Folder (Title, ParFolderId) values (?, '0')", {text("after")});
    const std::vector<DbChange> changes = since(position);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes[0].table, "Folder");

    // Dropped later, behind the engine's back, its triggers are reported like any of its own.
    native(mine(), "drop trigger \"_vk_Folder_@changes_upd\"");
    DbFileCheck check;
    ASSERT_EQ(DbCheckFileObjects(mine(), check), DbOk);
    EXPECT_EQ(check.missingTriggers, std::vector<std::string>{"Folder _vk_Folder_@changes_upd"});
}

TEST_F(ChangeLog, ATableMadeLaterIsLoggedToo)
{
    ASSERT_EQ(DbExecDirect(theirs(), "create table Extra (Name char(20))"), DbOk) << DbErrorText();
    int64_t position = now();
    insert(theirs(), "insert into Extra (Name) values (?)", {text("x")});
    const std::vector<DbChange> changes = since(position);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].table, "Extra");
}

} // namespace
