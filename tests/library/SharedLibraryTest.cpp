// The library with two programs on one data source: the workspace open while vkctl makes
// folders and imports into the same database. Each program holds its own connection and its
// own tree; neither may hand out what the other already has, nor delete what the other made.
#include "DbFolder.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <set>

using namespace vk;

namespace {

TEST(SharedLibrary, FoldersAndImportsOfTwoProgramsStayDistinctAndComeBackAfterARestart)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    Connection other;
    other.setUi(&src.ui);
    ASSERT_EQ(other.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    TDbFolderList workspace(src.connection), vkctl(other);
    ASSERT_TRUE(workspace.Load(80, 100, 3));
    ASSERT_TRUE(vkctl.Load(80, 100, 3));

    // They take turns, each with the tree it loaded at its start.
    TDbFolder *w1 = workspace.AddRootFolder("workspace 1", 80, 3, 100);
    TDbFolder *v1 = vkctl.AddRootFolder("vkctl 1", 80, 3, 100);
    TDbFolder *w2 = workspace.AddRootFolder("workspace 2", 80, 3, 100);
    TDbFolder *v2 = vkctl.AddRootFolder("vkctl 2", 80, 3, 100);
    for (TDbFolder *f : {w1, v1, w2, v2})
        ASSERT_NE(f, nullptr);
    std::set<QString> ids{w1->Rec.FolderId, v1->Rec.FolderId, w2->Rec.FolderId, v2->Rec.FolderId};
    EXPECT_EQ(ids.size(), 4u);
    int mode = 0; // stored in the database
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(workspace.InsertMediaFile(w1, src.writeFile(QStringLiteral("w%1.png").arg(i), "PNG"), mode),
                  nullptr);
        ASSERT_NE(vkctl.InsertMediaFile(v1, src.writeFile(QStringLiteral("v%1.png").arg(i), "PNG"), mode),
                  nullptr);
    }

    // Deleting what vkctl made leaves the workspace's folder and pictures alone.
    ASSERT_TRUE(vkctl.RemoveRootFolder(v1));

    src.connection.disconnect();
    other.disconnect();
    Connection later;
    later.setUi(&src.ui);
    ASSERT_EQ(later.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    TDbFolderList restarted(later);
    ASSERT_TRUE(restarted.Load(80, 100, 3));
    QStringList titles;
    for (TDbFolder *f : restarted.Folders)
        titles << f->Rec.Title + QStringLiteral(":%1").arg(f->MediaList->Items.size());
    titles.sort();
    EXPECT_EQ(titles, (QStringList{"vkctl 2:0", "workspace 1:3", "workspace 2:0"}));
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();
}

// Both programs append to the same folder, each from what it loaded: every item still gets
// a place of its own, past what the other stored.
TEST(SharedLibrary, TwoProgramsAppendingToOneFolderGiveEveryItemItsOwnPlace)
{
    TempDataSource src;
    ASSERT_TRUE(src.created);
    TDbFolderList workspace(src.connection);
    ASSERT_TRUE(workspace.Load(80, 100, 3));
    TDbFolder *mine = workspace.AddRootFolder("shared", 80, 3, 100);
    ASSERT_NE(mine, nullptr);
    Connection other;
    other.setUi(&src.ui);
    ASSERT_EQ(other.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    TDbFolderList vkctl(other);
    ASSERT_TRUE(vkctl.Load(80, 100, 3));
    TDbFolder *theirs = vkctl.FindFolderByOid(mine->Rec.OID);
    ASSERT_NE(theirs, nullptr);
    int mode = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(workspace.InsertMediaFile(mine, src.writeFile(QStringLiteral("w%1.png").arg(i), "PNG"), mode),
                  nullptr);
        ASSERT_NE(vkctl.InsertMediaFile(theirs, src.writeFile(QStringLiteral("v%1.png").arg(i), "PNG"), mode),
                  nullptr);
    }
    // A subfolder made meanwhile takes its place among them too.
    ASSERT_NE(workspace.AddSubFolder(mine, "sub", 80, 100, 3), nullptr);

    TDbFolderList restarted(src.connection);
    ASSERT_TRUE(restarted.Load(80, 100, 3));
    ASSERT_EQ(restarted.Folders.size(), 1);
    QStringList titles;
    std::set<double> keys;
    for (TDbMedia *m : restarted.Folders[0]->MediaList->Items) {
        titles << m->Rec.Title;
        keys.insert(m->Rec.Index);
    }
    EXPECT_EQ(keys.size(), 7u) << titles.join(' ').toStdString();
    EXPECT_EQ(titles, (QStringList{"w0.png", "v0.png", "w1.png", "v1.png", "w2.png", "v2.png", "sub"}));
}

} // namespace
