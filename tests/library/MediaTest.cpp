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

// The load reads a row's stored values itself instead of through their texts: whatever is
// stored, each item must come out as the row statement (Select) reads that row.
TEST_F(MediaTest, TheLoadReadsEachRowAsItsOwnSelectDoes)
{
    struct Case
    {
        const char *title, *type, *index, *keyWords, *date, *author; // nullptr: null
        int media;                                                   // 0 none, 1 stored, 2 linked
    };
    const Case cases[] = {
        {"plain", "3", "0", "", "2001-05-17", "Ann", 1},
        {"Ελληνικά 日本", "7", "2.5", "0001\r\n", "05-17-2001", "Ann", 2}, // month-day-year
        {"a fraction", "7.5", "64", "0001\r\n", "2001-05-17 10:30", "Bob", 0},
        {"a word", "x", "1e3", nullptr, "2001-13-40", nullptr, 2}, // no order of the parts fits
        {"a stored number", nullptr, "abc", "", "20010517", "", 0},
        {"short parts", "99", "-5", "0002\r\n", "2001-5-7", "Bob", 0},
    };
    const QString linkedPath = src.writeFile("linked.mp3", "ID3");
    const QString storedPath = src.writeFile("stored.jpg", "JPEG");
    QStringList oids;
    for (const Case &k : cases) {
        Statement st(
            c(), "insert into MediaData (FolderId, title, MediaType, index, KeyWords, InsertDate, Author, "
                 "media) values (?,?,?,?,?,?,?,?)");
        st.bind(folder->Rec.FolderId);
        for (const char *v : {k.title, k.type, k.index, k.keyWords, k.date, k.author})
            v ? st.bind(QString::fromUtf8(v)) : st.bindNull();
        k.media == 1 ? st.bindFile(storedPath) : k.media == 2 ? st.bind(linkedPath) : st.bindNull();
        QString oid;
        ASSERT_LT(st.execute(&oid), 2) << k.title;
        oids << oid;
    }
    auto again = reload();
    const QList<TDbMedia *> &items = again->Folders.at(0)->MediaList->Items;
    ASSERT_EQ(items.size(), std::size(cases));
    for (int i = 0; i < oids.size(); ++i) {
        const TDbMedia *m = again->FindMediaByOid(oids[i]);
        ASSERT_NE(m, nullptr);
        TDbMedia row;
        row.Rec.OID = oids[i];
        row.Changed = MediaFolderId | MediaTitle | MediaMedia | MediaNail | MediaMediaType | MediaIndex |
                      MediaKeyWords | MediaInsertDate | MediaAuthor;
        ASSERT_TRUE(row.Select(c()));
        const char *title = cases[i].title;
        EXPECT_EQ(m->Rec.Title, row.Rec.Title) << title;
        EXPECT_EQ(m->Rec.FolderId, row.Rec.FolderId) << title;
        EXPECT_EQ(m->Rec.MediaFile, row.Rec.MediaFile) << title;
        EXPECT_EQ(m->Rec.NailFile, row.Rec.NailFile) << title;
        EXPECT_EQ(m->Rec.MediaType, row.Rec.MediaType) << title;
        EXPECT_EQ(m->Rec.Index, row.Rec.Index) << title;
        EXPECT_EQ(m->Rec.KeyWords, row.Rec.KeyWords) << title;
        EXPECT_EQ(m->Rec.InsertDate, row.Rec.InsertDate) << title;
        EXPECT_EQ(m->Rec.Author, row.Rec.Author) << title;
        // Linked is what the row's own file object is.
        EXPECT_EQ(m->External, cases[i].media == 2) << title;
    }
    // The values that matter, not only agreement: read in index order, with the dates the
    // text forms give.
    QStringList order;
    for (const TDbMedia *m : items)
        order << m->Rec.Title + "=" + floatToText(m->Rec.Index);
    EXPECT_EQ(order, (QStringList{"short parts=-5", "plain=0", "Ελληνικά 日本=2.5", "a fraction=64",
                                  "a word=1000", "a stored number=0"}));
    EXPECT_EQ(again->FindMediaByOid(oids[1])->Rec.InsertDate, textToDate("2001-05-17"));
    EXPECT_EQ(again->FindMediaByOid(oids[3])->Rec.InsertDate, -1);
    EXPECT_EQ(again->FindMediaByOid(oids[2])->Rec.MediaType, 0);
}

// A command on one folder reads that folder alone; its list is the one the whole load makes,
// subfolder tiles in their places and an empty index taken from the row before it in the
// whole table.
TEST_F(MediaTest, OneFolderLoadsAsTheWholeLoadListsIt)
{
    ASSERT_NE(import("a.jpg", "JPEG"), nullptr);
    ASSERT_NE(import("b.jpg", "JPEG"), nullptr);
    TDbMedia *sub = list->AddSubFolder(folder, "sub", 80, 100, 3);
    ASSERT_NE(sub, nullptr);
    int mode = 1;
    ASSERT_NE(list->InsertMediaFile(folder, src.writeFile("c.mp3", "ID3"), mode), nullptr);
    TDbFolder *other = list->AddRootFolder("other", 80, 3, 100);
    Statement st(c(), "insert into MediaData (FolderId, title, index) values (?, 'no index', null)");
    st.bind(other->Rec.FolderId);
    ASSERT_LT(st.execute(), 2);
    const QString pictures = folder->Rec.OID, subOid = sub->SubFolder->Rec.OID, otherOid = other->Rec.OID;
    const QString b = folder->MediaList->Items.at(1)->Rec.OID;

    auto describe = [](const TDbFolder *f) {
        QStringList out;
        for (const TDbMedia *m : f->MediaList->Items)
            out << QStringList{m->Rec.OID,
                               m->Rec.Title,
                               floatToText(m->Rec.Index),
                               m->Rec.FolderId,
                               QString::number(m->External),
                               m->SubFolder ? m->SubFolder->Rec.OID : QString()}
                       .join('|');
        return out;
    };
    auto whole = reload();
    TDbFolderList part(c());
    TDbFolder *one = part.LoadOneFolder(pictures);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(describe(one), describe(whole->FindFolderByOid(pictures)));
    EXPECT_EQ(describe(one).at(2).section('|', 1, 2), "sub|64");
    TDbFolder *two = part.LoadOneFolder(otherOid);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(describe(two), describe(whole->FindFolderByOid(otherOid)));
    EXPECT_EQ(two->MediaList->Items.at(0)->Rec.Index, 96);
    // A subfolder is a tile of a folder not read: lookups pass over it. An item's folder is
    // not read twice, and a folder that does not exist is none.
    EXPECT_EQ(part.FindFolderByOid(subOid), nullptr);
    EXPECT_EQ(part.LoadFolderOfMedia(b), one);
    EXPECT_EQ(part.LoadOneFolder("000000000000999999"), nullptr);
    EXPECT_EQ(part.Folders.size(), 2);

    // Renumbering in such a list stores the subfolder's new place in its own row.
    TDbMedia *last = one->MediaList->Items.at(3);
    ASSERT_TRUE(part.MoveItems({last}, one, 0)); // before index 0: -32, so all are renumbered
    EXPECT_EQ(value("select index from Folder where OID = ?", subOid), "96.0");
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();
}

// A row no folder holds has no folder to read alone; the whole load, which may follow on the
// same list, gives it the lost-media folder and lets go of what was read before.
TEST_F(MediaTest, ARowWithoutItsFolderTakesTheWholeLoad)
{
    ASSERT_NE(import("a.jpg", "JPEG"), nullptr);
    const QString pictures = folder->Rec.OID;
    Statement st(c(), "insert into MediaData (FolderId, title) values (987, 'stray')");
    QString stray;
    ASSERT_LT(st.execute(&stray), 2);
    list.reset();
    TDbFolderList part(c());
    ASSERT_NE(part.LoadOneFolder(pictures), nullptr);
    EXPECT_EQ(part.LoadFolderOfMedia(stray), nullptr);
    ASSERT_TRUE(part.Load(80, 100, 3));
    EXPECT_EQ(part.Folders.size(), 2); // the folder read before is not there twice
    const TDbMedia *m = part.FindMediaByOid(stray);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Owner->Rec.Title, "Lost Media Folder");
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
