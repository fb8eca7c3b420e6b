// Macros other programs hand the workspace: the parser, and NewMedia's import into the folder
// "Media from VkPlayer".
#include "RemoteMacro.h"
#include "DbFolder.h"
#include "OptionStore.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

using namespace vk;

namespace {

TEST(RemoteMacroParse, Lines)
{
    struct Case
    {
        const char *name;
        QByteArray data;
        bool accepted;
        const char *path;
        bool deleteAfter;
    };
    const QByteArray longPath = "/" + QByteArray(5000, 'a');
    const Case cases[] = {
        {"keep", "NewMedia\n/home/ann/clip.mp3\nFalse\n", true, "/home/ann/clip.mp3", false},
        {"delete", "NewMedia\n/home/ann/clip.mp3\nTrue\n", true, "/home/ann/clip.mp3", true},
        {"lower-case true keeps", "NewMedia\n/home/ann/clip.mp3\ntrue\n", true, "/home/ann/clip.mp3", false},
        {"True with a blank keeps", "NewMedia\n/a.wav\nTrue \n", true, "/a.wav", false},
        {"carriage returns", "NewMedia\r\n/a.wav\r\nTrue\r\n", true, "/a.wav", true},
        {"extra lines ignored", "NewMedia\n/a.wav\nTrue\nmore\nand more\n", true, "/a.wav", true},
        {"path cleaned", "NewMedia\n/home/ann/../bob//x.png\nFalse\n", true, "/home/bob/x.png", false},
        {"spaces and quotes in the name", "NewMedia\n/tmp/it's \"mine\" ; rm -rf.jpg\nFalse\n", true,
         "/tmp/it's \"mine\" ; rm -rf.jpg", false},
        {"two lines", "NewMedia\n/a.wav\n", false, "", false},
        {"one line", "NewMedia\n", false, "", false},
        {"nothing", "", false, "", false},
        {"command is case-sensitive", "newmedia\n/a.wav\nTrue\n", false, "", false},
        {"other command", "DeleteAll\n/a.wav\nTrue\n", false, "", false},
        {"relative path", "NewMedia\n../etc/passwd\nTrue\n", false, "", false},
        {"empty path", "NewMedia\n\nTrue\n", false, "", false},
        {"NUL in the path", QByteArray("NewMedia\n/a\0/b.wav\nTrue\n", 25), false, "", false},
        {"path too long", "NewMedia\n" + longPath + "\nTrue\n", false, "", false},
    };
    for (const Case &c : cases) {
        QString reason;
        const std::optional<NewMediaMacro> m = ParseNewMediaMacro(SplitMacroLines(c.data), &reason);
        ASSERT_EQ(m.has_value(), c.accepted) << c.name;
        if (m) {
            EXPECT_EQ(m->path, QString::fromUtf8(c.path)) << c.name;
            EXPECT_EQ(m->deleteAfter, c.deleteAfter) << c.name;
        } else {
            EXPECT_FALSE(reason.isEmpty()) << c.name;
        }
    }
}

class RemoteNewMediaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        roots = std::make_unique<TDbFolderList>(src.connection);
        ASSERT_TRUE(roots->Load(80, 100, 3));
        ASSERT_NE(roots->AddRootFolder("first", 80, 3, 100), nullptr);
        options.DefaultPanelWidth = 90;
        options.DefaultPanelHeight = 110;
        options.DefaultPanelBorderWidth = 4;
    }

    NewMediaResult send(const QString &path, bool deleteAfter)
    {
        return ExecuteNewMedia(*roots, NewMediaMacro{path, deleteAfter}, options);
    }

    TempDataSource src;
    std::unique_ptr<TDbFolderList> roots;
    DisplayOptions options;
};

TEST_F(RemoteNewMediaTest, ImportsIntoItsFolderMadeAtTheEndAndDeletesOnlyWhenAsked)
{
    const QString kept = src.writeFile("kept.txt", "a note to keep");
    NewMediaResult r = send(kept, false);
    ASSERT_NE(r.item, nullptr) << r.reason.toStdString();
    EXPECT_TRUE(r.folderMade);
    ASSERT_EQ(roots->Folders.size(), 2);
    TDbFolder *folder = roots->Folders.last();
    EXPECT_EQ(folder, r.folder);
    EXPECT_EQ(folder->Rec.Title, "Media from VkPlayer");
    EXPECT_EQ(folder->Rec.Width, 90);
    EXPECT_EQ(folder->Rec.Height, 110);
    EXPECT_EQ(folder->Rec.BorderWidth, 4);
    EXPECT_TRUE(QFileInfo::exists(kept));

    const QString handed = src.writeFile("handed.txt", "a note handed over");
    r = send(handed, true);
    ASSERT_NE(r.item, nullptr);
    EXPECT_FALSE(r.folderMade);
    EXPECT_TRUE(r.fileDeleted);
    EXPECT_FALSE(QFileInfo::exists(handed));
    ASSERT_EQ(folder->MediaList->Items.size(), 2);
    // The library keeps its own copy of the deleted file.
    EXPECT_TRUE(QFileInfo::exists(r.item->Rec.MediaFile)) << r.item->Rec.MediaFile.toStdString();
}

TEST_F(RemoteNewMediaTest, AFailedImportNeverDeletesTheFile)
{
    const QString empty = src.writeFile("empty.txt", "");
    NewMediaResult r = send(empty, true);
    EXPECT_EQ(r.item, nullptr);
    EXPECT_FALSE(r.fileDeleted);
    EXPECT_TRUE(QFileInfo::exists(empty));
    EXPECT_TRUE(r.reason.contains("empty")) << r.reason.toStdString();

    // Nor is anything read that is not a plain file, or imported that is not there.
    r = send(src.dir(), true);
    EXPECT_EQ(r.item, nullptr);
    EXPECT_TRUE(QFileInfo(src.dir()).isDir());
    r = send(src.dir() + "/absent.txt", true);
    EXPECT_EQ(r.item, nullptr);
    EXPECT_EQ(r.folder, nullptr) << "nothing is made for a file that is not there";
}

TEST_F(RemoteNewMediaTest, TheDataSourcesOwnFilesAreNeverDeleted)
{
    const NewMediaResult imported = send(src.writeFile("note.txt", "a note"), false);
    ASSERT_NE(imported.item, nullptr) << imported.reason.toStdString();
    const QString stored = imported.item->Rec.MediaFile;
    ASSERT_TRUE(QFileInfo(stored).canonicalFilePath().startsWith(QFileInfo(src.fileObjectDir()).canonicalFilePath()))
        << stored.toStdString();
    const QString link = src.dir() + "/link-to-stored.txt";
    ASSERT_TRUE(QFile::link(stored, link));
    const QString database = src.databaseDir() + "/" + src.name() + ".db";
    ASSERT_TRUE(QFileInfo::exists(database));
    const qsizetype before = imported.folder->MediaList->Items.size();

    for (const QString &path : {stored, link, database}) {
        const NewMediaResult r = send(path, true);
        EXPECT_TRUE(r.ignored) << path.toStdString();
        EXPECT_EQ(r.item, nullptr) << path.toStdString();
        EXPECT_FALSE(r.fileDeleted) << path.toStdString();
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        EXPECT_FALSE(r.reason.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(stored).isFile());
    EXPECT_EQ(imported.folder->MediaList->Items.size(), before);
    // Handed over only to be imported, a stored copy is imported as any other file.
    EXPECT_NE(send(stored, false).item, nullptr);
    EXPECT_TRUE(QFileInfo::exists(stored));
}

TEST_F(RemoteNewMediaTest, TheFolderIsMadeAgainAfterItWasDeleted)
{
    ASSERT_NE(send(src.writeFile("one.txt", "one"), false).item, nullptr);
    TDbFolder *first = roots->FindFolderByTitle("Media from VkPlayer");
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(roots->RemoveRootFolder(first));
    ASSERT_NE(roots->AddRootFolder("later", 80, 3, 100), nullptr);
    const NewMediaResult r = send(src.writeFile("two.txt", "two"), false);
    ASSERT_NE(r.item, nullptr);
    EXPECT_TRUE(r.folderMade);
    EXPECT_EQ(roots->Folders.last()->Rec.Title, "Media from VkPlayer");
    EXPECT_EQ(roots->Folders.last()->MediaList->Items.size(), 1);
}

} // namespace
