// Keywords: rows, whole-line matching of OIDs, tagging through mirrors, and what
// deleting a keyword leaves alone.
#include "KeyWords.h"
#include "DbFolder.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include "ConnectChecks.h"

using namespace vk;

namespace {

class KeyWordsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        ConnectChecks checks;
        ASSERT_TRUE(RunConnectChecks(c(), checks)); // KeyWords_Table
        tree = std::make_unique<TDbFolderList>(c());
        ASSERT_TRUE(tree->Load(80, 100, 3));
        folder = tree->AddRootFolder("f", 80, 3, 100);
        int mode = 0;
        item = tree->InsertMediaFile(folder, src.writeFile("p.bmp", "BM"), mode);
        ASSERT_NE(item, nullptr);
    }
    Connection &c() { return src.connection; }

    QString stored(const QString &text, const QString &oid)
    {
        Statement st(c(), text);
        st.bind(oid);
        st.execute();
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }

    TempDataSource src;
    std::unique_ptr<TDbFolderList> tree;
    TDbFolder *folder = nullptr;
    TDbMedia *item = nullptr;
    TDbKeyWordList list;
};

TEST_F(KeyWordsTest, AddedKeywordIsStoredAtOnce)
{
    TsKeyWord none;
    none.Name = "(None)";
    const int at = AddKeyword(c(), list, none);
    ASSERT_EQ(at, 0);
    EXPECT_EQ(list.Items[0]->Rec.OID.size(), 18);
    TDbKeyWordList loaded;
    ASSERT_TRUE(loaded.Load(c()));
    ASSERT_EQ(loaded.Items.size(), 1);
    EXPECT_EQ(loaded.Items[0]->Rec.Name, "(None)");
    EXPECT_EQ(loaded.Items[0]->Rec.Reference, 0);

    // With an icon the row holds a copy of it.
    TsKeyWord withIcon;
    withIcon.Name = "sun";
    withIcon.IconFile = src.writeFile("sun.ico", "ICON");
    ASSERT_EQ(AddKeyword(c(), list, withIcon), 1);
    EXPECT_TRUE(list.Items[1]->Rec.IconFile.startsWith(src.fileObjectDir() + "/"));
}

TEST_F(KeyWordsTest, OidsMatchAsWholeLinesOnly)
{
    const QString text = KeywordText({"000000000000000012", "000000000000000345"});
    EXPECT_EQ(text, "000000000000000012\r\n000000000000000345\r\n");
    EXPECT_TRUE(HasKeyword(text, "000000000000000012"));
    EXPECT_FALSE(HasKeyword(text, "00000000000000001"));
    EXPECT_FALSE(HasKeyword(text, "12"));
    EXPECT_FALSE(HasKeyword(text, "000000000000000012\r\n000000000000000345"));
    EXPECT_EQ(KeywordOids("a\nb\r\n\r\nc"), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(KeywordOids("").isEmpty());
}

TEST_F(KeyWordsTest, TaggingStoresTheListAndCountsReferences)
{
    TsKeyWord r;
    r.Name = "beach";
    AddKeyword(c(), list, r);
    r.Name = "sun";
    AddKeyword(c(), list, r);
    TDbKeyWord *beach = list.Items[0], *sun = list.Items[1];
    ASSERT_TRUE(ToggleKeyword(c(), beach, item, true));
    ASSERT_TRUE(ToggleKeyword(c(), sun, item, true));
    EXPECT_FALSE(ToggleKeyword(c(), sun, item, true)) << "already tagged";
    EXPECT_EQ(stored("select KeyWords from MediaData where OID = ?", item->Rec.OID),
              beach->Rec.OID + "\r\n" + sun->Rec.OID + "\r\n");
    EXPECT_EQ(stored("select Reference from KeyWords_Table where OID = ?", sun->Rec.OID), "1");
    ASSERT_TRUE(ToggleKeyword(c(), beach, item, false));
    EXPECT_EQ(item->Rec.KeyWords, sun->Rec.OID + "\r\n");
    EXPECT_EQ(stored("select Reference from KeyWords_Table where OID = ?", beach->Rec.OID), "0");

    // A search result's mirror tags the library item it shows.
    TDbMedia mirror;
    mirror.MirrorOf = item;
    mirror.Rec = item->Rec;
    ASSERT_TRUE(ToggleKeyword(c(), beach, &mirror, true));
    EXPECT_TRUE(HasKeyword(item->Rec.KeyWords, beach->Rec.OID));
    EXPECT_TRUE(HasKeyword(mirror.Rec.KeyWords, beach->Rec.OID));

    // A subfolder tile is no target: nothing changes, not even the count.
    TDbMedia *tile = tree->AddSubFolder(folder, "sub", 80, 100, 3);
    const int before = sun->Rec.Reference;
    EXPECT_FALSE(ToggleKeyword(c(), sun, tile, false));
    EXPECT_FALSE(ToggleKeyword(c(), sun, tile, true));
    EXPECT_EQ(sun->Rec.Reference, before);
}

// A removed keyword is taken off every item; a recount afterwards neither brings it back
// nor makes a keyword named after its OID.
TEST_F(KeyWordsTest, RemovingAKeywordTakesItOffEveryItem)
{
    TsKeyWord r;
    r.Name = "gone";
    AddKeyword(c(), list, r);
    r.Name = "kept";
    AddKeyword(c(), list, r);
    TDbKeyWord *gone = list.Items[0];
    TDbKeyWord *kept = list.Items[1];
    const QString oid = gone->Rec.OID;
    ASSERT_TRUE(ToggleKeyword(c(), gone, item, true));
    ASSERT_TRUE(ToggleKeyword(c(), kept, item, true));
    QStringList told;
    ASSERT_TRUE(RemoveKeyword(c(), list, gone, [&](const QString &media, const QString &keyWords) {
        told << media + "=" + keyWords;
    })) << src.ui.messages.join('\n').toStdString();
    EXPECT_EQ(list.Items.size(), 1);
    EXPECT_EQ(stored("select count(*) from KeyWords_Table where OID = ?", oid), "0");
    const QString left = kept->Rec.OID + "\r\n";
    EXPECT_EQ(stored("select KeyWords from MediaData where OID = ?", item->Rec.OID), left);
    EXPECT_EQ(told, QStringList{item->Rec.OID + "=" + left});

    // An OID of no keyword left in a row by an older version goes at the recount.
    item->Rec.KeyWords = oid + "\r\n" + left;
    item->Changed = MediaKeyWords;
    ASSERT_TRUE(item->Update(c(), false));
    ASSERT_TRUE(RecountKeywords(c()));
    TDbKeyWordList after;
    after.Load(c());
    ASSERT_EQ(after.Items.size(), 1);
    EXPECT_EQ(after.Items[0]->Rec.Name, "kept");
    EXPECT_EQ(after.Items[0]->Rec.Reference, 1);
    EXPECT_EQ(stored("select KeyWords from MediaData where OID = ?", item->Rec.OID), left);
}

TEST_F(KeyWordsTest, RecountTurnsNamesIntoOidsAndCounts)
{
    TsKeyWord r;
    r.Name = "Sea";
    AddKeyword(c(), list, r);
    item->Rec.KeyWords = "sea\r\nSky\r\n";
    item->Changed = MediaKeyWords;
    ASSERT_TRUE(item->Update(c(), false));
    ASSERT_TRUE(RecountKeywords(c()));
    TDbKeyWordList after;
    after.Load(c());
    ASSERT_EQ(after.Items.size(), 2);
    EXPECT_EQ(after.Items[0]->Rec.Reference, 1);
    EXPECT_EQ(after.Items[1]->Rec.Name, "Sky");
    EXPECT_EQ(stored("select KeyWords from MediaData where OID = ?", item->Rec.OID),
              after.Items[0]->Rec.OID + "\r\n" + after.Items[1]->Rec.OID + "\r\n");
}

} // namespace
