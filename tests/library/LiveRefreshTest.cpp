// The workspace's tree following another program on the same data source: after each change the
// other program commits (imports, renames, moves, deletions, keywords), one look brings the tree
// to what a fresh load would read, keeping the objects that are still there.
#include "ConnectChecks.h"
#include "DbFolder.h"
#include "KeyWords.h"
#include "LiveRefresh.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

using namespace vk;

namespace {

// Counts a signal's emissions, with the position of the last item inserted.
struct Counter
{
    int count = 0;
    int lastPosition = -1;
};

// The tree as text: each folder with its items in order, a subfolder's items indented below it.
QStringList describe(const QList<TDbFolder *> &folders)
{
    QStringList out;
    std::function<void(const TDbFolder *, const QString &)> walk = [&](const TDbFolder *f, const QString &pad) {
        out << pad + QStringLiteral("[%1] %2x%3").arg(f->Rec.Title).arg(f->Rec.Width).arg(f->Rec.Height);
        for (const TDbMedia *m : f->MediaList->Items) {
            if (m->SubFolder) {
                walk(m->SubFolder, pad + QStringLiteral("  "));
                continue;
            }
            out << pad + QStringLiteral("  ") + m->Rec.Title +
                       (m->Rec.KeyWords.isEmpty() ? QString() : QStringLiteral(" {") + m->Rec.KeyWords.trimmed() + '}');
        }
    };
    for (const TDbFolder *f : folders)
        walk(f, QString());
    return out;
}

class LiveRefreshTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        other.setUi(&src.ui);
        ASSERT_EQ(other.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
        // What both programs find at their start.
        {
            TDbFolderList setup(src.connection);
            ASSERT_TRUE(setup.Load(80, 100, 3));
            TDbFolder *a = setup.AddRootFolder("A", 80, 3, 100);
            TDbFolder *b = setup.AddRootFolder("B", 80, 3, 100);
            ASSERT_TRUE(a && b);
            ASSERT_NE(setup.AddSubFolder(a, "A1", 80, 100, 3), nullptr);
            int mode = 0;
            for (const char *name : {"a", "b", "c"})
                ASSERT_NE(setup.InsertMediaFile(a, src.writeFile(QString(name) + ".png", "PNG"), mode), nullptr);
            ASSERT_NE(setup.InsertMediaFile(b, src.writeFile("d.png", "PNG"), mode), nullptr);
        }
        ASSERT_TRUE(workspace.Load(80, 100, 3));
        ASSERT_TRUE(vkctl.Load(80, 100, 3));
        refresh.start();
    }

    QStringList stored()
    {
        TDbFolderList fresh(src.connection);
        EXPECT_TRUE(fresh.Load(80, 100, 3));
        return describe(fresh.Folders);
    }
    TDbFolder *theirs(const QString &title) const
    {
        for (TDbFolder *f : vkctl.TreeOrder())
            if (f->Rec.Title == title)
                return f;
        return nullptr;
    }
    TDbFolder *mine(const QString &title) const
    {
        for (TDbFolder *f : workspace.TreeOrder())
            if (f->Rec.Title == title)
                return f;
        return nullptr;
    }
    TDbMedia *item(TDbFolderList &list, const QString &title) const
    {
        for (TDbFolder *f : list.TreeOrder())
            for (TDbMedia *m : f->MediaList->Items)
                if (!m->SubFolder && m->Rec.Title == title)
                    return m;
        return nullptr;
    }

    TempDataSource src;
    Connection other;
    TDbFolderList workspace{src.connection};
    TDbFolderList vkctl{other};
    LiveRefresh refresh{workspace};
};

TEST_F(LiveRefreshTest, ImportsOfAnotherProgramJoinTheFolderAndTheItemsThereStayTheSame)
{
    TDbFolder *a = mine("A");
    const QList<TDbMedia *> before = a->MediaList->Items;
    Counter inserted, removed;
    QObject::connect(&workspace, &TDbFolderList::itemInserted, [&](TDbFolder *, TDbMedia *, int position) {
        ++inserted.count;
        inserted.lastPosition = position;
    });
    QObject::connect(&workspace, &TDbFolderList::itemRemoved, [&] { ++removed.count; });
    int mode = 0;
    for (const char *name : {"e", "f"})
        ASSERT_NE(vkctl.InsertMediaFile(theirs("A"), src.writeFile(QString(name) + ".png", "PNG"), mode), nullptr);

    EXPECT_TRUE(refresh.poll());
    EXPECT_EQ(describe(workspace.Folders), stored());
    EXPECT_EQ(a->MediaList->Items.mid(0, before.size()), before) << "the same objects, in their places";
    EXPECT_EQ(inserted.count, 2);
    EXPECT_EQ(removed.count, 0);
    EXPECT_EQ(inserted.lastPosition, before.size() + 1);
    EXPECT_FALSE(refresh.poll()) << "nothing new";
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();
}

TEST_F(LiveRefreshTest, WhatTheWorkspaceDoesItselfIsNoNews)
{
    int mode = 0;
    ASSERT_NE(workspace.InsertMediaFile(mine("B"), src.writeFile("own.png", "PNG"), mode), nullptr);
    ASSERT_NE(workspace.AddRootFolder("own", 80, 3, 100), nullptr);
    Counter inserted;
    QObject::connect(&workspace, &TDbFolderList::itemInserted, [&] { ++inserted.count; });
    EXPECT_FALSE(refresh.poll());
    EXPECT_EQ(inserted.count, 0);
}

// Each change another program commits; after one look the tree is what a fresh load reads.
TEST_F(LiveRefreshTest, EveryKindOfChangeOfAnotherProgramShowsAfterOneLook)
{
    Connection &c = other;
    const struct
    {
        const char *what;
        std::function<void()> change;
    } cases[] = {
        {"a folder made", [&] { ASSERT_NE(vkctl.AddRootFolder("C", 80, 3, 100), nullptr); }},
        {"a subfolder made with items",
         [&] {
             TDbMedia *tile = vkctl.AddSubFolder(theirs("B"), "B1", 80, 100, 3);
             ASSERT_NE(tile, nullptr);
             int mode = 0;
             ASSERT_NE(vkctl.InsertMediaFile(tile->SubFolder, src.writeFile("g.png", "PNG"), mode), nullptr);
         }},
        {"a folder renamed and its tiles resized",
         [&] {
             TDbFolder *f = theirs("A1");
             f->Rec.Title = "A1 renamed";
             f->Rec.Width = 120;
             f->Changed = FolderTitle | FolderWidth;
             ASSERT_TRUE(f->Update(c));
         }},
        {"an item retitled and tagged",
         [&] {
             TDbMedia *m = item(vkctl, "b.png");
             ASSERT_NE(m, nullptr);
             m->Rec.Title = "b renamed";
             m->Rec.KeyWords = "000000000000000001\r\n";
             m->Changed = MediaTitle | MediaKeyWords;
             ASSERT_TRUE(m->Update(c, false));
         }},
        {"items moved to another folder and within one",
         [&] {
             ASSERT_TRUE(vkctl.MoveItems({item(vkctl, "a.png")}, theirs("B"), 0));
             ASSERT_TRUE(vkctl.MoveItems({item(vkctl, "c.png")}, theirs("A"), 0));
         }},
        {"a subfolder moved to another folder", [&] { ASSERT_TRUE(vkctl.MoveFolderInto(theirs("A1 renamed"), theirs("B"), 0)); }},
        {"a subfolder moved to the root level", [&] { ASSERT_TRUE(vkctl.MoveFolderToRoot(theirs("B1"), 0)); }},
        {"a root folder moved into another", [&] { ASSERT_TRUE(vkctl.MoveFolderInto(theirs("C"), theirs("A"), 1)); }},
        {"an item removed", [&] { ASSERT_GE(vkctl.RemoveMedia(item(vkctl, "d.png")), 0); }},
        {"a folder with a subfolder deleted", [&] { ASSERT_TRUE(vkctl.RemoveRootFolder(theirs("B"))); }},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.what);
        k.change();
        EXPECT_TRUE(refresh.poll());
        EXPECT_EQ(describe(workspace.Folders), stored());
    }
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();
}

TEST_F(LiveRefreshTest, AMovedOrRetitledItemIsTheSameObjectAndAFolderDeletedElsewhereIsAnnounced)
{
    TDbMedia *a = item(workspace, "a.png");
    TDbFolder *b = mine("B");
    TDbFolder *sub = mine("A1");
    ASSERT_TRUE(vkctl.MoveItems({item(vkctl, "a.png")}, theirs("B"), 1));
    TDbMedia *theirsB = item(vkctl, "b.png");
    theirsB->Rec.Title = "retitled";
    theirsB->Changed = MediaTitle;
    ASSERT_TRUE(theirsB->Update(other, false));
    TDbMedia *mineB = item(workspace, "b.png");
    ASSERT_TRUE(refresh.poll());
    EXPECT_EQ(a->Owner, b);
    EXPECT_EQ(b->MediaList->Items.value(1), a);
    EXPECT_EQ(mineB->Rec.Title, "retitled");

    QStringList deleted;
    QObject::connect(&workspace, &TDbFolderList::folderDeletedElsewhere,
                     [&](TDbFolder *f) { deleted << f->Rec.Title + (f == sub ? " (sub)" : ""); });
    ASSERT_TRUE(vkctl.RemoveRootFolder(theirs("A")));
    ASSERT_TRUE(refresh.poll());
    EXPECT_EQ(deleted, (QStringList{"A", "A1 (sub)"})) << "each folder deleted, once";
    EXPECT_EQ(describe(workspace.Folders), stored());
}

TEST_F(LiveRefreshTest, AnItemOnTheClipboardThatAnotherProgramDeletedIsNotDeletedAgain)
{
    TSelectedList clipboard;
    TDbMedia *c = item(workspace, "c.png");
    workspace.ClipboardAdd(clipboard, c);
    ASSERT_GE(vkctl.RemoveMedia(item(vkctl, "c.png")), 0);
    ASSERT_TRUE(refresh.poll());
    EXPECT_EQ(c->Owner, nullptr);
    EXPECT_EQ(c->Rec.OID, "-1") << "its row is no longer its own";
    workspace.ClipboardClear(clipboard);
    EXPECT_EQ(describe(workspace.Folders), stored());
}

TEST_F(LiveRefreshTest, ALogThatCannotTellReadsEverythingAgain)
{
    int mode = 0;
    ASSERT_NE(vkctl.InsertMediaFile(theirs("B"), src.writeFile("h.png", "PNG"), mode), nullptr);
    ASSERT_NE(vkctl.AddRootFolder("D", 80, 3, 100), nullptr);
    LibraryChanges everything;
    everything.everything = true;
    ASSERT_TRUE(workspace.Refresh(everything));
    EXPECT_EQ(describe(workspace.Folders), stored());
}

TEST_F(LiveRefreshTest, AKeywordMadeElsewhereIsAnnounced)
{
    ConnectChecks checks;
    ASSERT_TRUE(RunConnectChecks(src.connection, checks)); // the keywords table
    Counter keywords;
    QObject::connect(&refresh, &LiveRefresh::keywordsChanged, [&] { ++keywords.count; });
    TDbKeyWordList list;
    TsKeyWord rec;
    rec.Name = "made elsewhere";
    ASSERT_GE(AddKeyword(other, list, rec), 0);
    EXPECT_TRUE(refresh.poll());
    EXPECT_EQ(keywords.count, 1);
}

// The workspace's connection may not read the media table (as when the database is busy).
int denyMediaReads(void *, int action, const char *table, const char *, const char *, const char *)
{
    return action == SQLITE_READ && table && QByteArray(table).compare("MediaData", Qt::CaseInsensitive) == 0
               ? SQLITE_DENY
               : SQLITE_OK;
}

TEST_F(LiveRefreshTest, ALookThatCouldNotReadChangesNothingAndTheNextShowsEverything)
{
    int mode = 0;
    ASSERT_NE(vkctl.InsertMediaFile(theirs("A"), src.writeFile("e.png", "PNG"), mode), nullptr);
    TDbFolder *theirB = theirs("B");
    theirB->Rec.Title = "B renamed";
    theirB->Changed = FolderTitle;
    ASSERT_TRUE(theirB->Update(other));
    TDbFolder *b = mine("B");
    const QStringList before = describe(workspace.Folders);

    sqlite3 *handle = vkdb::DbNativeHandle(src.connection.handle());
    sqlite3_set_authorizer(handle, denyMediaReads, nullptr);
    EXPECT_FALSE(refresh.poll());
    sqlite3_set_authorizer(handle, nullptr, nullptr);
    EXPECT_EQ(describe(workspace.Folders), before) << "nothing half taken over";
    src.ui.messages.clear();

    EXPECT_TRUE(refresh.poll()) << "the changes are read again";
    EXPECT_EQ(describe(workspace.Folders), stored());
    EXPECT_EQ(mine("B renamed"), b);
    EXPECT_FALSE(refresh.poll());
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();
}

TEST_F(LiveRefreshTest, AfterTheWorkspacesOwnWorkOnlyTheRowsOfOthersAreLookedFor)
{
    int mode = 0;
    for (const char *name : {"own1", "own2"})
        ASSERT_NE(workspace.InsertMediaFile(mine("B"), src.writeFile(QString(name) + ".png", "PNG"), mode), nullptr);
    EXPECT_FALSE(refresh.poll());
    TDbMedia *e = vkctl.InsertMediaFile(theirs("A"), src.writeFile("e.png", "PNG"), mode);
    ASSERT_NE(e, nullptr);
    std::vector<std::string> lookedFor;
    vkdb::DbSetStatementLog(src.connection.handle(), [&](const vkdb::DbLogEntry &entry) {
        if (entry.text == "select FolderId from MediaData where OID=?" && !entry.values.empty())
            lookedFor.push_back(entry.values[0]);
    });
    EXPECT_TRUE(refresh.poll());
    vkdb::DbSetStatementLog(src.connection.handle(), nullptr);
    EXPECT_EQ(lookedFor, std::vector<std::string>{e->Rec.OID.toStdString()});
    EXPECT_EQ(describe(workspace.Folders), stored());
}

TEST_F(LiveRefreshTest, AFolderLoadedOnItsOwnKeepsItsSubfolderWhenFoldersChange)
{
    TDbFolderList partial(src.connection);
    TDbFolder *a = partial.LoadOneFolder(theirs("A")->Rec.OID);
    ASSERT_NE(a, nullptr);
    TDbFolder *sub = nullptr;
    for (TDbMedia *m : a->MediaList->Items)
        if (m->SubFolder)
            sub = m->SubFolder;
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(sub->MediaList, nullptr) << "a tile of a folder whose list is not read";
    ASSERT_NE(vkctl.AddRootFolder("C", 80, 3, 100), nullptr);

    LibraryChanges changes;
    changes.folders = true;
    ASSERT_TRUE(partial.Refresh(changes));
    QList<TDbFolder *> named;
    for (TDbFolder *f : partial.TreeOrder())
        if (f->Rec.Title == "A1")
            named.append(f);
    EXPECT_EQ(named, QList<TDbFolder *>{sub}) << "the same folder, once";
    EXPECT_EQ(sub->Tile->Owner, a);
}

} // namespace
