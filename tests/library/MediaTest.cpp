// Media items: the start-up load, import of one file, copies, drops within and between
// folders, and the reference counting that decides when a row goes.
#include "DbFolder.h"
#include "Engine.h"
#include "MediaTypes.h"
#include "RecordStatements.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

using namespace vk;

namespace {

class MediaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        list = std::make_unique<TDbFolderList>(c());
        ASSERT_TRUE(list->Load(80, 100, 3));
        folder = list->AddRootFolder("pictures", 80, 3, 100);
        ASSERT_NE(folder, nullptr);
    }
    Connection &c() { return src.connection; }

    QString value(const QString &text, const QString &oid = QString())
    {
        Statement st(c(), text);
        if (!oid.isNull()) {
            st.bind(oid);
            st.execute();
        }
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }

    TDbMedia *import(const QString &name, const QByteArray &content, int mode = 0)
    {
        return list->InsertMediaFile(folder, src.writeFile(name, content), mode);
    }

    QStringList titles(TDbFolder *f)
    {
        QStringList out;
        for (TDbMedia *m : f->MediaList->Items)
            out << m->Rec.Title;
        return out;
    }

    std::unique_ptr<TDbFolderList> reload()
    {
        list.reset();
        auto again = std::make_unique<TDbFolderList>(c());
        EXPECT_TRUE(again->Load(80, 100, 3));
        return again;
    }

    TempDataSource src;
    std::unique_ptr<TDbFolderList> list;
    TDbFolder *folder = nullptr;
};

TEST_F(MediaTest, ImportStoresOrLinksTheFile)
{
    std::vector<vkdb::DbLogEntry> log;
    vkdb::DbSetStatementLog(c().handle(), [&](const vkdb::DbLogEntry &e) { log.push_back(e); });
    TDbMedia *stored = import("beach.JPG", "JPEG", 0);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(log.at(0).text,
              "Insert into MediaData (FolderId,MediaType,index,title,KeyWords,InsertDate,media,MediaNail) "
              "values (?,?,?,?,?,?,?,?)");
    EXPECT_EQ(stored->Rec.MediaType, TypeJpg);
    EXPECT_TRUE(stored->Rec.MediaFile.startsWith(src.fileObjectDir() + "/"));
    EXPECT_FALSE(stored->External);
    log.clear();
    const QString linkedPath = src.writeFile("song's.mp3", "ID3");
    int mode = 1;
    TDbMedia *linked = list->InsertMediaFile(folder, linkedPath, mode);
    ASSERT_NE(linked, nullptr);
    // The path travels as a value.
    EXPECT_EQ(log.at(0).text,
              "Insert into MediaData (FolderId,MediaType,index,title,KeyWords,InsertDate,media) "
              "values (?,?,?,?,?,?,?)");
    EXPECT_EQ(linked->Rec.MediaFile, linkedPath);
    EXPECT_EQ(linked->Rec.Index, 32);
    vkdb::DbSetStatementLog(c().handle(), nullptr);

    auto again = reload();
    TDbFolder *f = again->Folders.at(0);
    ASSERT_EQ(f->MediaList->count(), 2);
    EXPECT_FALSE(f->MediaList->Items[0]->External);
    EXPECT_TRUE(f->MediaList->Items[1]->External);
    EXPECT_EQ(f->MediaList->Items[1]->Rec.Title, "song's.mp3");
    EXPECT_EQ(f->MediaList->Items[1]->Owner, f);
}

TEST_F(MediaTest, ImportRefusesEmptyMissingAndLongTextFiles)
{
    struct Case
    {
        const char *name;
        int size; // -1: the file does not exist
        bool imported;
    };
    const Case cases[] = {{"empty.jpg", 0, false},
                          {"missing.jpg", -1, false},
                          {"note.txt", 33000, true},
                          {"long.txt", 33001, false},
                          {"big.wav", 40000, true}};
    for (const Case &k : cases) {
        const QString path =
            k.size < 0 ? src.dir() + "/" + k.name : src.writeFile(k.name, QByteArray(k.size, 'x'));
        int mode = 0;
        EXPECT_EQ(list->InsertMediaFile(folder, path, mode) != nullptr, k.imported) << k.name;
    }
    EXPECT_TRUE(src.ui.messages.isEmpty());
    EXPECT_EQ(value("select count(*) from MediaData"), "2");
}

TEST_F(MediaTest, AskingModeIsAskedPerFileUntilAppliedToAll)
{
    int mode = 2;
    src.ui.choiceAnswer = 1; // "External file"
    ASSERT_NE(import("a.png", "PNG", mode), nullptr);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(src.ui.prompts, QStringList{"Which type do you wish to import file(s) as?"});
    EXPECT_EQ(src.ui.informationLines.last(), QStringList{"a.png"});
    src.ui.choiceToAll = true;
    TDbMedia *b = list->InsertMediaFile(folder, src.writeFile("b.png", "PNG"), mode);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(mode, 1);
    EXPECT_TRUE(b->External);
    // Cancel stops the rest of the command.
    int asking = 2;
    src.ui.choiceAnswer = -1;
    EXPECT_EQ(list->InsertMediaFile(folder, src.writeFile("c.png", "PNG"), asking), nullptr);
    EXPECT_EQ(asking, -1);
}

TEST_F(MediaTest, RowsWithoutTheirFolderGoToTheLostMediaFolder)
{
    TDbFolder *high = list->AddRootFolder("high", 80, 3, 100);
    high->Rec.Index = 500;
    high->Changed = FolderIndex;
    ASSERT_TRUE(high->Update(c()));
    Statement st(c(), "insert into MediaData (FolderId, title, index) values (?, ?, ?)");
    st.bind("987");
    st.bind("stray");
    st.bindNull();
    QString stray;
    ASSERT_LT(st.execute(&stray), 2);
    auto again = reload();
    TDbFolder *lost = again->Folders.last();
    EXPECT_EQ(lost->Rec.Title, "Lost Media Folder");
    EXPECT_EQ(lost->Rec.Index, 532);
    EXPECT_EQ(titles(lost), QStringList{"stray"});
    EXPECT_EQ(value("select FolderId from MediaData where OID = ?", stray), lost->Rec.FolderId);
    // Found its home for good: the next load makes no second lost folder.
    again.reset();
    TDbFolderList third(c());
    ASSERT_TRUE(third.Load(80, 100, 3));
    EXPECT_EQ(third.Folders.size(), 3);
}

TEST_F(MediaTest, CopyOfADatabaseFileKeepsItsContentWhenTheOriginalGoes)
{
    TDbMedia *original = import("photo.jpg", "ORIGINAL");
    WriteDescription(c(), original->Rec.OID, "taken at dawn", RecordKind::MediaData);
    TDbFolder *other = list->AddRootFolder("other", 80, 3, 100);
    const QList<TDbMedia *> copies = list->CopyItems({original}, other, 0);
    ASSERT_EQ(copies.size(), 1);
    TDbMedia *copy = copies[0];
    EXPECT_NE(copy->Rec.MediaFile, original->Rec.MediaFile);
    EXPECT_EQ(value("select description from MediaData where OID = ?", copy->Rec.OID), "taken at dawn");
    ASSERT_GE(list->RemoveMedia(original), 0);
    QFile f(copy->Rec.MediaFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ORIGINAL"));
    // A linked file is linked again, not copied.
    int mode = 1;
    TDbMedia *linked = list->InsertMediaFile(folder, src.writeFile("clip.avi", "RIFF"), mode);
    TDbMedia *linkCopy = list->CopyItems({linked}, other, 1).value(0);
    ASSERT_NE(linkCopy, nullptr);
    EXPECT_EQ(linkCopy->Rec.MediaFile, linked->Rec.MediaFile);
    EXPECT_TRUE(linkCopy->External);
}

TEST_F(MediaTest, MovesWithinAFolderLandWhereDropped)
{
    for (const char *t : {"a", "b", "c", "d"})
        import(QString(t) + ".bmp", "BM");
    QList<TDbMedia *> items = folder->MediaList->Items;
    // One item onto the gap right after itself: nothing happens.
    EXPECT_TRUE(list->MoveItems({items[1]}, folder, 2));
    EXPECT_EQ(titles(folder), (QStringList{"a.bmp", "b.bmp", "c.bmp", "d.bmp"}));
    // Two items, one of them at the drop position itself: they land together, before d's old place.
    ASSERT_TRUE(list->MoveItems({items[1], items[3]}, folder, 3));
    EXPECT_EQ(titles(folder), (QStringList{"a.bmp", "c.bmp", "b.bmp", "d.bmp"}));
    ASSERT_TRUE(list->MoveItems({items[0], items[1]}, folder, 4));
    EXPECT_EQ(titles(folder), (QStringList{"c.bmp", "d.bmp", "a.bmp", "b.bmp"}));
    // The order is stored.
    auto again = reload();
    EXPECT_EQ(titles(again->Folders.at(0)), (QStringList{"c.bmp", "d.bmp", "a.bmp", "b.bmp"}));
}

TEST_F(MediaTest, MovingToAnotherFolderStoresTheNewPlace)
{
    TDbMedia *a = import("a.gif", "GIF8");
    TDbFolder *other = list->AddRootFolder("other", 80, 3, 100);
    TDbMedia *sub = list->AddSubFolder(other, "sub", 80, 100, 3);
    ASSERT_TRUE(list->MoveItems({a}, sub->SubFolder, 0));
    EXPECT_EQ(a->Owner, sub->SubFolder);
    EXPECT_EQ(value("select FolderId from MediaData where OID = ?", a->Rec.OID),
              sub->SubFolder->Rec.FolderId);
    // A folder's tile cannot go into the folder itself.
    EXPECT_FALSE(list->MoveItems({sub}, sub->SubFolder, 0));
    EXPECT_EQ(src.ui.messages.value(0), "Cannot Move/Copy Folder to its SubFolder.");
}

TEST_F(MediaTest, ReferencesDecideWhenARowGoes)
{
    TDbMedia *cut = import("cut.png", "PNG");
    TDbMedia *shown = import("shown.png", "PNG");
    const QString cutOid = cut->Rec.OID, shownOid = shown->Rec.OID;
    const QString shownFile = shown->Rec.MediaFile;

    // Cut and never pasted: the row goes when the clipboard is cleared.
    TSelectedList clipboard;
    list->ClipboardAdd(clipboard, cut);
    ASSERT_GE(list->RemoveMedia(cut), 0);
    EXPECT_EQ(value("select count(*) from MediaData where OID = ?", cutOid), "1");
    list->ClipboardClear(clipboard);
    EXPECT_EQ(value("select count(*) from MediaData where OID = ?", cutOid), "0");

    // Deleted while a search result still shows it: the row stays until the result goes.
    ++shown->RefCount; // the search result's mirror
    ASSERT_GE(list->RemoveMedia(shown), 0);
    EXPECT_EQ(value("select count(*) from MediaData where OID = ?", shownOid), "1");
    EXPECT_TRUE(QFileInfo::exists(shownFile));
    list->ReleaseItem(shown);
    EXPECT_EQ(value("select count(*) from MediaData where OID = ?", shownOid), "0");
    EXPECT_FALSE(QFileInfo::exists(shownFile));
}

TEST_F(MediaTest, ThumbnailsAreMadeOnImportAndStored)
{
    int calls = 0;
    list->thumbnailer = [&](const QString &path, QString *error) {
        ++calls;
        QFile f(path); // the stored copy, not the file imported
        if (!f.open(QIODevice::ReadOnly) || f.readAll() == "garbage") {
            *error = "not a picture";
            return QByteArray();
        }
        return QByteArray("\x89PNG-thumbnail", 14);
    };
    TDbMedia *pic = import("p.jpg", "JPEG");
    ASSERT_NE(pic, nullptr);
    EXPECT_FALSE(pic->NoThumb);
    EXPECT_TRUE(pic->Rec.NailFile.startsWith(src.fileObjectDir() + "/")) << pic->Rec.NailFile.toStdString();
    QFile nail(pic->Rec.NailFile);
    ASSERT_TRUE(nail.open(QIODevice::ReadOnly));
    EXPECT_EQ(nail.readAll(), QByteArray("\x89PNG-thumbnail", 14));

    // A picture that cannot be read shows its type icon; the import goes on.
    TDbMedia *broken = import("broken.jpg", "garbage");
    ASSERT_NE(broken, nullptr);
    EXPECT_TRUE(broken->NoThumb);
    EXPECT_TRUE(broken->Rec.NailFile.isEmpty());

    // Icons are their own thumbnails; sound has none; nothing is decoded for them.
    calls = 0;
    TDbMedia *icon = import("i.ico", "ICO");
    EXPECT_EQ(icon->Rec.NailFile, icon->Rec.MediaFile);
    TDbMedia *sound = import("s.wav", "RIFF");
    EXPECT_TRUE(sound->Rec.NailFile.isEmpty());
    EXPECT_FALSE(sound->NoThumb);
    EXPECT_EQ(calls, 0);

    // A lost file gets no thumbnail rebuilt.
    int mode = 1;
    TDbMedia *linked = list->InsertMediaFile(folder, src.writeFile("away.png", "PNG"), mode);
    QFile::remove(linked->Rec.MediaFile);
    calls = 0;
    EXPECT_FALSE(list->BuildThumbnail(linked, true));
    EXPECT_TRUE(linked->Lost);
    EXPECT_EQ(calls, 0);

    auto again = reload();
    EXPECT_FALSE(again->Folders.at(0)->MediaList->Items.at(0)->Rec.NailFile.isEmpty());
}

TEST(MediaTypesTest, ExtensionTable)
{
    struct Case
    {
        const char *path;
        int type;
    };
    const Case cases[] = {{"a.bmp", 1},    {"a.JPG", 3},          {"a.Pcx", 4},    {"a.png", 5},
                          {"a.tga", 6},    {"a.tif", 7},          {"a.gif", 8},    {"a.ico", 9},
                          {"a.wmf", 10},   {"a.txt", 99},         {"a.wav", 101},  {"a.mid", 102},
                          {"a.rmi", 103},  {"a.mp3", 104},        {"a.avi", 201},  {"a.mpg", 202},
                          {"a.MPEG", 202}, {"no_extension", 300}, {"a.docx", 300}, {"/x.y/z", 300},
                          {"a.jpeg", 3},   {"a.TIFF", 7}};
    for (const Case &c : cases)
        EXPECT_EQ(MediaTypeOfExtension(c.path), c.type) << c.path;
}

} // namespace
