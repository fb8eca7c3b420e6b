// The folder tree: order keys, the start-up load and its repairs, deletes that respect
// other holders, deep copies, moves, and the exact statements sent.
#include "DbFolder.h"
#include "Engine.h"
#include "OrderKeys.h"
#include "RecordStatements.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace vk;

namespace {

TEST(OrderKeysTest, TheIndexRule)
{
    struct Case
    {
        QList<double> keys;
        int position;
        double index;
        int at;
        bool renumber;
    };
    const Case cases[] = {
        {{}, 5, 0, 0, false},            // empty list
        {{0, 32, 64}, 3, 96, 3, false},  // append
        {{0, 32, 64}, 99, 96, 3, false}, // past the end appends
        {{0, 32, 64}, 1, 16, 1, false},  // between two
        {{32, 64}, 0, 0, 0, false},      // before the first
        {{32, 64}, -4, 0, 0, false},     // any position at or below 0
        {{0, 32}, 0, -32, 0, true},      // negative: renumber
        {{32, 33}, 1, 32.5, 1, true},    // fractional: renumber
        {{32, 32}, 1, 32, 1, true},      // no room between equal keys
        {{-64, 0}, 2, 32, 2, false},
    };
    for (const Case &c : cases) {
        const OrderSlot s = orderSlot(c.keys, c.position);
        EXPECT_EQ(s.index, c.index) << c.position;
        EXPECT_EQ(s.position, c.at) << c.position;
        EXPECT_EQ(s.renumber, c.renumber) << c.position;
    }
    EXPECT_EQ(renumberedKey(3), 96);
}

class FolderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(src.created); }
    Connection &c() { return src.connection; }

    QString insertRow(const QString &title, const QString &parent, const QString &index,
                      const QString &width = "80")
    {
        Statement st(c(), "insert into Folder (Title, ParFolderId, index, Width, Height, BorderWidth) values "
                          "(?,?,?,?,?,?)");
        st.bind(title);
        st.bind(parent);
        if (index.isEmpty())
            st.bindNull();
        else
            st.bind(index);
        if (width.isEmpty())
            st.bindNull();
        else
            st.bind(width);
        st.bind("100");
        st.bind("3");
        QString oid;
        EXPECT_LT(st.execute(&oid), 2);
        return oid;
    }

    QString value(const QString &text, const QString &oid)
    {
        Statement st(c(), text);
        st.bind(oid);
        st.execute();
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }

    int count(const QString &table)
    {
        Statement st(c(), "select count(*) from " + table);
        QStringList row;
        st.fetch(row);
        return row.value(0).toInt();
    }

    std::unique_ptr<TDbFolderList> load()
    {
        auto list = std::make_unique<TDbFolderList>(c());
        EXPECT_TRUE(list->Load(80, 100, 3));
        return list;
    }

    QStringList shape(const TDbFolderList &list)
    {
        QStringList out;
        for (TDbFolder *f : list.TreeOrder())
            out << f->Rec.Title + "<" + (f->isRoot() ? QString("root") : f->Tile->Owner->Rec.Title);
        return out;
    }

    TempDataSource src;
};

TEST_F(FolderTest, EmptyTableLoadsAsAnEmptyList)
{
    auto list = load();
    EXPECT_TRUE(list->Folders.isEmpty());
    EXPECT_TRUE(src.ui.messages.isEmpty());
}

TEST_F(FolderTest, LoadFillsWhatIsMissing)
{
    // FolderIds 1..4: an empty index is filled with max + 32, max + 64 in FolderId order and stored;
    // an empty width takes the default in memory only.
    const QString a = insertRow("a", "0", "64");
    const QString b = insertRow("b", "0", "");
    const QString cc = insertRow("c", "0", "", "");
    const QString d = insertRow("d", "1", "");
    QStringList statuses;
    TDbFolderList list(c());
    list.status = [&](const QString &s) { statuses << s; };
    ASSERT_TRUE(list.Load(80, 100, 3));
    EXPECT_EQ(statuses.first(), "Build Folder List...0");
    EXPECT_TRUE(statuses.contains("Build Folder List...4"));
    EXPECT_EQ(statuses.last(), "Abstract Media Info...0/(1/4)");
    EXPECT_EQ(value("select index from Folder where OID = ?", b), "96.0");
    EXPECT_EQ(value("select index from Folder where OID = ?", cc), "128.0");
    EXPECT_EQ(value("select index from Folder where OID = ?", d), "160.0");
    EXPECT_EQ(value("select Width from Folder where OID = ?", cc), "");
    ASSERT_EQ(list.Folders.size(), 3);
    EXPECT_EQ(list.Folders[2]->Rec.Width, 80);
    EXPECT_EQ(list.Folders[2]->MediaList->TileWidth, 80);
    EXPECT_EQ(shape(list), (QStringList{"a<root", "d<a", "b<root", "c<root"}));
    Q_UNUSED(a);
}

TEST_F(FolderTest, FoldersOutOfReachBecomeRoots)
{
    // A missing parent, a folder that is its own parent, and two folders that are each other's parent.
    const QString orphan = insertRow("orphan", "99", "0");
    const QString self = insertRow("self", "2", "32");
    const QString x = insertRow("x", "4", "64");
    const QString y = insertRow("y", "3", "96");
    auto list = load();
    EXPECT_EQ(shape(*list), (QStringList{"orphan<root", "self<root", "x<root", "y<x"}));
    EXPECT_EQ(value("select ParFolderId from Folder where OID = ?", orphan), "0");
    EXPECT_EQ(value("select ParFolderId from Folder where OID = ?", self), "0");
    EXPECT_EQ(value("select ParFolderId from Folder where OID = ?", x), "0");
    EXPECT_EQ(value("select ParFolderId from Folder where OID = ?", y), "3");
    // Repaired for good: the next load finds a sound tree.
    EXPECT_EQ(shape(*load()), (QStringList{"orphan<root", "self<root", "x<root", "y<x"}));
}

TEST_F(FolderTest, TreeBuiltThroughTheModelComesBackIdentical)
{
    QStringList before;
    {
        auto list = load();
        TDbFolder *a = list->AddRootFolder("Anne's \"trip\" 100%_", 80, 3, 100);
        ASSERT_NE(a, nullptr);
        TDbFolder *b = list->AddRootFolder("Ελληνικά 日本", 90, 2, 110);
        list->AddRootFolder("first", 80, 3, 100);
        TDbMedia *sub = list->AddSubFolder(a, "sub", 80, 100, 3);
        ASSERT_NE(sub, nullptr);
        list->AddSubFolder(sub->SubFolder, "deep", 80, 100, 3);
        list->AddSubFolder(a, "second sub", 80, 100, 3);
        ASSERT_TRUE(list->MoveFolderInto(b, a, 1));
        for (TDbFolder *f : list->TreeOrder())
            before << f->Rec.OID + "|" + f->Rec.Title + "|" + f->Rec.ParFolderId + "|" +
                          floatToText(f->Rec.Index);
    }
    auto again = load();
    QStringList after;
    for (TDbFolder *f : again->TreeOrder())
        after << f->Rec.OID + "|" + f->Rec.Title + "|" + f->Rec.ParFolderId + "|" + floatToText(f->Rec.Index);
    EXPECT_EQ(after, before);
    EXPECT_EQ(shape(*again), (QStringList{"Anne's \"trip\" 100%_<root", "sub<Anne's \"trip\" 100%_",
                                          "deep<sub", "Ελληνικά 日本<Anne's \"trip\" 100%_",
                                          "second sub<Anne's \"trip\" 100%_", "first<root"}));
}

TEST_F(FolderTest, InsertingWithoutRoomRenumbersTheRoots)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100); // 0
    TDbFolder *b = list->AddRootFolder("b", 80, 3, 100); // 32
    TDbFolder *front = list->AddRootFolder("front", 80, 3, 100);
    list->DetachRootFolder(front, false);
    ASSERT_TRUE(list->InsertRootFolderAt(front, 0)); // -32: renumbered
    EXPECT_EQ(list->Folders, (QList<TDbFolder *>{front, a, b}));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(value("select index from Folder where OID = ?", list->Folders[k]->Rec.OID),
                  floatToText(32.0 * k) + ".0");
}

TEST_F(FolderTest, MovingOntoItsOwnPlaceChangesNothing)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    list->AddRootFolder("b", 80, 3, 100);
    std::vector<vkdb::DbLogEntry> log;
    vkdb::DbSetStatementLog(c().handle(), [&](const vkdb::DbLogEntry &e) { log.push_back(e); });
    EXPECT_TRUE(list->MoveFolderToRoot(a, 0));
    EXPECT_TRUE(list->MoveFolderToRoot(a, 1));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(list->Folders.first(), a);
    // Moved past the next one it lands after it.
    EXPECT_TRUE(list->MoveFolderToRoot(a, 2));
    EXPECT_EQ(list->Folders.last(), a);
    vkdb::DbSetStatementLog(c().handle(), nullptr);
}

TEST_F(FolderTest, StatementsAreSentAsWritten)
{
    auto list = load();
    std::vector<vkdb::DbLogEntry> log;
    vkdb::DbSetStatementLog(c().handle(), [&](const vkdb::DbLogEntry &e) { log.push_back(e); });
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].text,
              "insert into Folder (FolderId, Title, Description, Width, Height, BorderWidth, index, "
              "ParFolderId, InsertDate) values (?,?,?,?,?,?,?,?,?)");
    EXPECT_EQ(log[0].values[0], "NULL");
    EXPECT_EQ(log[0].values[1], "a");
    EXPECT_EQ(log[0].values[7], "0");
    EXPECT_EQ(log[0].values[8], dateToText(today()).toStdString());
    EXPECT_EQ(log[1].text, "select FolderId from Folder where OID=?");
    log.clear();
    a->Changed = FolderParFolderId | FolderIndex;
    a->Rec.Index = 12.5;
    ASSERT_TRUE(a->Update(c()));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "update Folder set ParFolderId=?, index=? where OID=?");
    EXPECT_EQ(log[0].values, (std::vector<std::string>{"0", "12.5", a->Rec.OID.toStdString()}));
    EXPECT_EQ(a->Changed, 0);
    log.clear();
    a->Changed = FolderTitle | FolderLastModified | FolderIndex | FolderAuthor;
    ASSERT_TRUE(a->Select(c()));
    EXPECT_EQ(log[0].text, "select Title, LastModified, index, Author from Folder where OID=?");
    EXPECT_EQ(a->Rec.Index, 12.5);
    // Nothing to do, or no row: refused without a statement.
    log.clear();
    EXPECT_FALSE(a->Update(c()));
    TDbFolder unstored;
    unstored.Changed = FolderTitle;
    EXPECT_FALSE(unstored.Select(c()));
    EXPECT_TRUE(unstored.Delete(c(), true));
    EXPECT_TRUE(log.empty());
    vkdb::DbSetStatementLog(c().handle(), nullptr);
}

TEST_F(FolderTest, DescriptionTravelsThroughTheCallersFile)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    const QString in = src.writeFile("in.txt", "Über den Wolken\nline two");
    a->Changed = FolderDescription;
    ASSERT_TRUE(a->Update(c(), in));
    const QString out = src.dir() + "/out.txt";
    a->Changed = FolderDescription | FolderTitle;
    ASSERT_TRUE(a->Select(c(), out));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), "Über den Wolken\nline two");
    // No file: the description is cleared.
    a->Changed = FolderDescription;
    ASSERT_TRUE(a->Update(c(), src.dir() + "/none.txt"));
    EXPECT_EQ(value("select Description from Folder where OID = ?", a->Rec.OID), "");
}

TEST_F(FolderTest, DeepCopyKeepsOrderAndDescription)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 70, 2, 90);
    WriteDescription(c(), a->Rec.OID, "described", RecordKind::Folder);
    TDbMedia *s1 = list->AddSubFolder(a, "s1", 80, 100, 3);
    list->AddSubFolder(a, "s2", 80, 100, 3);
    list->AddSubFolder(s1->SubFolder, "s1a", 80, 100, 3);
    list->MoveFolderInto(list->AddRootFolder("s0", 80, 3, 100), a, 0);
    TDbFolder *copy = list->CopyFolderToRoot(a, 99);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->Rec.OID, a->Rec.OID);
    EXPECT_EQ(value("select Description from Folder where OID = ?", copy->Rec.OID), "described");
    EXPECT_EQ(copy->MediaList->TileWidth, 70);
    auto reloaded = load();
    EXPECT_EQ(shape(*reloaded), (QStringList{"a<root", "s0<a", "s1<a", "s1a<s1", "s2<a", "a<root", "s0<a",
                                             "s1<a", "s1a<s1", "s2<a"}));
    EXPECT_EQ(count("Folder"), 10);
}

// A copied folder holds copies of its pictures, each with a file of its own: deleting the
// original afterwards loses nothing.
TEST_F(FolderTest, ACopiedFolderKeepsItsPicturesWhenTheOriginalGoes)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    TDbMedia *sub = list->AddSubFolder(a, "sub", 80, 100, 3);
    int mode = 0; // stored in the database
    const QByteArray first("first picture"), second("second picture"), deep("deep picture");
    ASSERT_NE(list->InsertMediaFile(a, src.writeFile("one.png", first), mode), nullptr);
    ASSERT_NE(list->InsertMediaFile(sub->SubFolder, src.writeFile("deep.png", deep), mode), nullptr);
    ASSERT_NE(list->InsertMediaFile(a, src.writeFile("two.png", second), mode), nullptr);
    TDbFolder *copy = list->CopyFolderToRoot(a, 99);
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(list->RemoveRootFolder(a));

    auto reloaded = load();
    ASSERT_EQ(reloaded->Folders.size(), 1);
    auto contentOf = [this](TDbMedia *m) {
        QFile f(value("select filename(media) from MediaData where OID = ?", m->Rec.OID));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    };
    const QList<TDbMedia *> items = reloaded->Folders[0]->MediaList->Items;
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(contentOf(items[1]), first);
    EXPECT_EQ(contentOf(items[2]), second);
    ASSERT_TRUE(items[0]->SubFolder);
    ASSERT_EQ(items[0]->SubFolder->MediaList->Items.size(), 1);
    EXPECT_EQ(contentOf(items[0]->SubFolder->MediaList->Items[0]), deep);
    EXPECT_EQ(count("MediaData"), 3);
}

TEST_F(FolderTest, FolderHeldElsewhereKeepsItsRows)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    list->AddSubFolder(a, "sub", 80, 100, 3);
    ++a->RefCount; // the clipboard holds it too
    ASSERT_TRUE(list->RemoveRootFolder(a));
    EXPECT_EQ(count("Folder"), 2);
    EXPECT_TRUE(list->Folders.isEmpty());
    // The last holder lets go: now the rows go.
    ASSERT_TRUE(a->Delete(c(), false));
    EXPECT_EQ(count("Folder"), 0);
    list->ReleaseFolder(a, false);
}

TEST_F(FolderTest, MediaShownElsewhereSurvivesItsFolder)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    auto addMedia = [&](const QString &title, int refs) {
        Statement st(c(), "insert into MediaData (FolderId, title) values (?, ?)");
        st.bind(a->Rec.FolderId);
        st.bind(title);
        auto *m = new TDbMedia;
        st.execute(&m->Rec.OID);
        m->Rec.Title = title;
        m->Rec.FolderId = a->Rec.FolderId;
        m->Owner = a;
        m->RefCount = refs;
        a->MediaList->Items.append(m);
        return m;
    };
    addMedia("plain", 1);
    TDbMedia *shown = addMedia("in a search result", 2);
    ASSERT_TRUE(list->RemoveRootFolder(a));
    EXPECT_EQ(count("Folder"), 0);
    EXPECT_EQ(count("MediaData"), 1);
    EXPECT_EQ(value("select title from MediaData where OID = ?", shown->Rec.OID), "in a search result");
    // It outlived the folder, and no longer points at it.
    EXPECT_EQ(shown->Owner, nullptr);
    EXPECT_EQ(shown->RefCount, 1);
    delete shown;
}

TEST_F(FolderTest, DeleteIsAllOrNothing)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    list->AddSubFolder(a, "sub", 80, 100, 3);
    list->AddSubFolder(a, "locked", 80, 100, 3);
    ASSERT_LT(vkdb::DbExecDirect(c().handle(),
                                 "create trigger lock before delete on Folder when old.Title = 'locked' "
                                 "begin select raise(abort, 'locked'); end"),
              2);
    EXPECT_FALSE(list->RemoveRootFolder(a));
    EXPECT_EQ(count("Folder"), 3);
    EXPECT_TRUE(src.ui.messages.contains("Remove folder failed!"));
    EXPECT_EQ(list->Folders.size(), 1);
    EXPECT_NE(a->Rec.OID, "-1");
}

TEST_F(FolderTest, AFolderCannotGoIntoItsOwnSubfolder)
{
    auto list = load();
    TDbFolder *a = list->AddRootFolder("a", 80, 3, 100);
    TDbMedia *sub = list->AddSubFolder(a, "sub", 80, 100, 3);
    EXPECT_FALSE(list->MoveFolderInto(a, sub->SubFolder, 0));
    EXPECT_FALSE(list->MoveFolderInto(a, a, 0));
    EXPECT_EQ(src.ui.messages.value(0), "Cannot Move/Copy Folder to its SubFolder.");
    EXPECT_EQ(list->CopyFolderInto(a, sub->SubFolder, 0), nullptr);
    EXPECT_EQ(count("Folder"), 2);
}

} // namespace
