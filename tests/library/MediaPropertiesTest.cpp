// The commit path of the property dialog and vkctl set: only the changed fields in one
// statement, dates checked before anything is written, a failure that leaves the record and
// the stored row as they were, mirrors that write their library item, and edited texts kept
// inside the database.
#include "MediaProperties.h"
#include "DbFolder.h"
#include "Engine.h"
#include "KeyWords.h"
#include "SearchMedia.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace vk;

namespace {

class MediaPropertiesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        roots = std::make_unique<TDbFolderList>(c());
        ASSERT_TRUE(roots->Load(80, 100, 3));
        folder = roots->AddRootFolder("trip", 80, 3, 100);
        ASSERT_NE(folder, nullptr);
        int mode = 0;
        item = roots->InsertMediaFile(folder, src.writeFile("beach.txt", "sand"), mode);
        ASSERT_NE(item, nullptr);
    }
    Connection &c() { return src.connection; }
    QString work() const { return src.dir(); }

    QStringList row(const QString &text, const QString &oid)
    {
        Statement st(c(), text);
        st.bind(oid);
        st.execute();
        QStringList out;
        st.fetch(out);
        return out;
    }
    QStringList mediaRow()
    {
        return row("select title, InsertDate, Author, description, KeyWords "
                   "from MediaData where OID=?",
                   item->Rec.OID);
    }
    std::vector<vkdb::DbLogEntry> logged(const std::function<void()> &run)
    {
        std::vector<vkdb::DbLogEntry> log;
        vkdb::DbSetStatementLog(c().handle(), [&](const vkdb::DbLogEntry &e) { log.push_back(e); });
        run();
        vkdb::DbSetStatementLog(c().handle(), {});
        return log;
    }

    TempDataSource src;
    std::unique_ptr<TDbFolderList> roots;
    TDbFolder *folder = nullptr;
    TDbMedia *item = nullptr;
};

TEST_F(MediaPropertiesTest, OnlyTheChangedFieldsAreWrittenInOneStatement)
{
    MediaEdits edits;
    edits.title = "Beach at noon";
    edits.date = "2019-07-14";
    edits.description = QString::fromUtf8("Sand\nand ζ sea");
    edits.keywords = QStringList{"000000000000000101", "000000000000000102"};
    const auto log = logged([&] { EXPECT_TRUE(CommitMediaEdits(c(), item, edits, work())); });
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text,
              "update MediaData set title=?, KeyWords=?, InsertDate=?, description=? where OID=?");
    EXPECT_EQ(mediaRow(),
              (QStringList{"Beach at noon", "2019-07-14", "", QString::fromUtf8("Sand\nand ζ sea"),
                           "000000000000000101\r\n000000000000000102\r\n"}));
    EXPECT_EQ(item->Rec.Title, "Beach at noon");
    EXPECT_EQ(dateToText(item->Rec.InsertDate), "2019-07-14");
    EXPECT_EQ(item->Changed, 0);
    // No work file is left behind.
    EXPECT_TRUE(QDir(work()).entryList({"desc*", "mda*"}, QDir::Files).isEmpty());

    // The author alone; nothing at all writes nothing and succeeds.
    MediaEdits author;
    author.author = "Ann";
    EXPECT_EQ(logged([&] { EXPECT_TRUE(CommitMediaEdits(c(), item, author, work())); })[0].text,
              "update MediaData set Author=? where OID=?");
    EXPECT_TRUE(logged([&] { EXPECT_TRUE(CommitMediaEdits(c(), item, MediaEdits(), work())); }).empty());
    EXPECT_EQ(mediaRow().value(2), "Ann");
}

TEST_F(MediaPropertiesTest, ADateThatNamesNoDayIsRefusedAndTheStoredOneKept)
{
    MediaEdits good;
    good.date = "2020-02-29";
    ASSERT_TRUE(CommitMediaEdits(c(), item, good, work()));
    for (const char *typed : {"", "    -  -  ", "2021-02-29", "2020-13-01", "yesterday"}) {
        MediaEdits edits;
        edits.title = "not written either";
        edits.date = QString::fromLatin1(typed);
        src.ui.messages.clear();
        const auto log = logged([&] { EXPECT_FALSE(CommitMediaEdits(c(), item, edits, work())) << typed; });
        EXPECT_TRUE(log.empty()) << typed;
        EXPECT_EQ(src.ui.messages, QStringList{"Date Format Error."}) << typed;
        EXPECT_EQ(mediaRow().mid(0, 2), (QStringList{"beach.txt", "2020-02-29"})) << typed;
        EXPECT_EQ(item->Rec.Title, "beach.txt");
    }
    // The folder date is checked alike.
    FolderEdits folderDate;
    folderDate.date = "";
    EXPECT_FALSE(CommitFolderEdits(c(), folder, folderDate, work()));
    EXPECT_EQ(src.ui.messages.last(), "Date Format Error.");
}

TEST_F(MediaPropertiesTest, AFailedCommitLeavesTheRecordAndTheRowAsTheyWere)
{
    // The database refuses the row's update.
    ASSERT_LT(vkdb::DbExecDirect(c().handle(), "create trigger refuse before update on MediaData "
                                               "begin select raise(abort, 'refused'); end"),
              2);
    MediaEdits edits;
    edits.title = "Renamed";
    edits.author = "Bob";
    EXPECT_FALSE(CommitMediaEdits(c(), item, edits, work()));
    EXPECT_EQ(item->Rec.Title, "beach.txt");
    EXPECT_EQ(item->Rec.Author, "");
    EXPECT_EQ(mediaRow().value(0), "beach.txt");
    EXPECT_FALSE(src.ui.messages.isEmpty());
}

TEST_F(MediaPropertiesTest, ADescriptionThatCannotReachItsWorkFileIsNotStoredAsNone)
{
    MediaEdits first;
    first.description = "kept";
    ASSERT_TRUE(CommitMediaEdits(c(), item, first, work()));
    MediaEdits edits;
    edits.description = "new";
    EXPECT_FALSE(CommitMediaEdits(c(), item, edits, work() + "/no/such/directory"));
    EXPECT_EQ(mediaRow().value(3), "kept");
    ASSERT_EQ(src.ui.messages.size(), 1);
    EXPECT_TRUE(src.ui.messages[0].startsWith("The work file ")) << src.ui.messages[0].toStdString();
}

TEST_F(MediaPropertiesTest, AMirrorWritesTheLibraryItemItShows)
{
    TDbFolder *result = MakeResultFolder("found", 80, 100, 3);
    SearchQuery query{
        "select OID, FolderId, title, filename(media), MediaType, filename(MediaNail), KeyWords, "
        "InsertDate, Author from MediaData",
        {},
        "found",
        {}};
    ASSERT_TRUE(RunSearch(c(), query, result, roots.get()));
    ASSERT_EQ(result->MediaList->count(), 1);
    TDbMedia *mirror = result->MediaList->Items[0];
    ASSERT_EQ(mirror->MirrorOf, item);
    MediaEdits edits;
    edits.title = "Through the search";
    ASSERT_TRUE(CommitMediaEdits(c(), mirror, edits, work()));
    EXPECT_EQ(item->Rec.Title, "Through the search");
    EXPECT_EQ(mirror->Rec.Title, "Through the search");
    EXPECT_EQ(mediaRow().value(0), "Through the search");
    ReleaseResultFolder(*roots, result);
}

TEST_F(MediaPropertiesTest, AnEditedTextIsStoredInsideTheDatabaseAlsoForALinkedItem)
{
    int linked = 1;
    const QString original = src.writeFile("notes.txt", "first draft");
    TDbMedia *notes = roots->InsertMediaFile(folder, original, linked);
    ASSERT_NE(notes, nullptr);
    ASSERT_TRUE(notes->External);
    MediaEdits edits;
    edits.text = "second draft";
    ASSERT_TRUE(CommitMediaEdits(c(), notes, edits, work()));
    EXPECT_FALSE(notes->External);
    EXPECT_TRUE(notes->Rec.MediaFile.startsWith(src.fileObjectDir() + "/"))
        << notes->Rec.MediaFile.toStdString();
    QFile stored(notes->Rec.MediaFile);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), "second draft");
    // The linked file is the person's own: it stays as it was.
    QFile mine(original);
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "first draft");
}

TEST_F(MediaPropertiesTest, AFolderCommitWritesItsFieldsAndItsTileFollows)
{
    TDbMedia *tile = roots->AddSubFolder(folder, "day one", 80, 100, 3);
    ASSERT_NE(tile, nullptr);
    TDbFolder *sub = tile->SubFolder;
    FolderEdits edits;
    edits.title = "Day 1";
    edits.date = "2019-07-15";
    edits.author = "Ann";
    edits.description = "The first day";
    const auto log = logged([&] { EXPECT_TRUE(CommitFolderEdits(c(), sub, edits, work())); });
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "update Folder set Title=?, InsertDate=?, Author=?, Description=? where OID=?");
    EXPECT_EQ(row("select Title, InsertDate, Author, Description from Folder where OID=?", sub->Rec.OID),
              (QStringList{"Day 1", "2019-07-15", "Ann", "The first day"}));
    EXPECT_EQ(tile->Rec.Title, "Day 1");
    EXPECT_EQ(tile->Rec.Author, "Ann");

    FolderEdits empty;
    empty.title = " ";
    EXPECT_FALSE(CommitFolderEdits(c(), sub, empty, work()));
    EXPECT_EQ(src.ui.messages.last(), "Folder title cannot be empty!");
    EXPECT_EQ(sub->Rec.Title, "Day 1");
}

} // namespace
