// The shared record statements: exact texts and values, messages on failure,
// and the edge cases of titles, file objects and maxima.
#include "RecordStatements.h"
#include "Engine.h"
#include "Messages.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace vk;

namespace {

class RecordStatementsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        vkdb::DbSetStatementLog(src.connection.handle(),
                                [this](const vkdb::DbLogEntry &e) { log.push_back(e); });
    }

    QString insertMedia(const QString &title)
    {
        Statement st(src.connection, QStringLiteral("insert into MediaData (title, FolderId) values (?, ?)"));
        st.bind(title);
        st.bind(QStringLiteral("1"));
        QString oid;
        EXPECT_EQ(st.execute(&oid), vkdb::DbOk);
        return oid;
    }

    QString insertFolder(const QString &title)
    {
        Statement st(src.connection, QStringLiteral("insert into Folder (Title, ParFolderId) values (?, 0)"));
        st.bind(title);
        QString oid;
        EXPECT_EQ(st.execute(&oid), vkdb::DbOk);
        return oid;
    }

    QString selectOne(const QString &text, const QString &oid)
    {
        Statement st(src.connection, text);
        st.bind(oid);
        st.execute();
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }

    TempDataSource src;
    std::vector<vkdb::DbLogEntry> log;
};

TEST_F(RecordStatementsTest, TitlesAndDescriptionsTravelAsValues)
{
    const QString folder = insertFolder(QStringLiteral("f"));
    const QString media = insertMedia(QStringLiteral("m"));
    log.clear();
    const QString title = QStringLiteral("Anne's \"best\" %_ pictures; drop table Folder --");
    ASSERT_TRUE(WriteTitle(src.connection, folder, title, RecordKind::Folder));
    ASSERT_TRUE(WriteTitleAndDescription(src.connection, media, title, QStringLiteral("Über 100%"),
                                         RecordKind::MediaData));
    ASSERT_TRUE(WriteDescription(src.connection, folder, QStringLiteral("d'f"), RecordKind::Folder));
    ASSERT_TRUE(WriteFolderIndex(src.connection, folder, 48.5));
    ASSERT_TRUE(WriteFolderTileSize(src.connection, folder, 80, 100, 3));

    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].text, "update Folder set Title= ?  where OID = ?");
    EXPECT_EQ(log[0].values[0], title.toStdString());
    EXPECT_EQ(log[1].text, "update MediaData set description = ?, title= ?  where OID = ?");
    EXPECT_EQ(log[1].values,
              (std::vector<std::string>{"Über 100%", title.toStdString(), media.toStdString()}));
    EXPECT_EQ(log[2].text, "update Folder set Description = ? where OID = ?");
    EXPECT_EQ(log[3].text, "update Folder set index=?  where OID = ?");
    EXPECT_EQ(log[3].values[0], "48.5");
    EXPECT_EQ(log[4].text, "update Folder set Width = ?,Height = ?,BorderWidth = ? where OID = ?");
    EXPECT_EQ(log[4].values, (std::vector<std::string>{"80", "100", "3", folder.toStdString()}));

    EXPECT_EQ(selectOne(QStringLiteral("select Title from Folder where OID = ?"), folder), title);
    EXPECT_EQ(selectOne(QStringLiteral("select title from MediaData where OID = ?"), media), title);
    QString description;
    ASSERT_TRUE(ReadDescription(src.connection, folder, RecordKind::Folder, &description));
    EXPECT_EQ(description, QStringLiteral("d'f"));
    ASSERT_TRUE(ReadDescription(src.connection, media, RecordKind::MediaData, &description));
    EXPECT_EQ(description, QStringLiteral("Über 100%"));
    EXPECT_TRUE(src.ui.messages.isEmpty());
}

TEST_F(RecordStatementsTest, KindOutsideItsRangeTouchesNothing)
{
    log.clear();
    QString d;
    EXPECT_FALSE(WriteTitle(src.connection, "x", "t", RecordKind(5)));
    EXPECT_FALSE(WriteTitleAndDescription(src.connection, "x", "t", "d", RecordKind::ClearBook));
    EXPECT_FALSE(WriteDescription(src.connection, "x", "d", RecordKind::Object));
    EXPECT_FALSE(ReadDescription(src.connection, "x", RecordKind::Object, &d));
    EXPECT_FALSE(WriteTitle(src.connection, "x", "t", RecordKind(-1)));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(src.ui.messages.isEmpty());
}

TEST_F(RecordStatementsTest, FailuresNameTheirTable)
{
    struct Case
    {
        RecordKind kind;
        const char *expected;
    };
    // The authoring tables do not exist yet: their updates fail and say which table.
    const Case cases[] = {
        {RecordKind::ClearBook, "Update data in table failed:ClearBook_Table"},
        {RecordKind::Slide, "Update data in table failed:Slide_Table"},
        {RecordKind::Object, "Update data in table failed:Object_Table"},
    };
    for (const Case &c : cases) {
        src.ui.messages.clear();
        EXPECT_FALSE(WriteTitle(src.connection, "000000000000000001", "t", c.kind));
        EXPECT_EQ(src.ui.messages, QStringList{QString::fromUtf8(c.expected)});
    }
    // A Folder update that breaks: the column no longer takes the value.
    Statement(src.connection, QStringLiteral("drop table Folder"));
    src.ui.messages.clear();
    EXPECT_FALSE(WriteFolderIndex(src.connection, "000000000000000001", 1));
    EXPECT_EQ(src.ui.messages, QStringList{QStringLiteral("Update data in table failed:Folder")});
    EXPECT_EQ(MaxFolderIndex(src.connection), -1);
}

TEST_F(RecordStatementsTest, FileObjectsAreReplacedAndLookedUp)
{
    const QString media = insertMedia(QStringLiteral("m"));
    QString name;
    // A path that does not exist stores null and answers an empty name.
    ASSERT_TRUE(ReplaceMediaFile(src.connection, media, src.dir() + "/missing.jpg", &name));
    EXPECT_EQ(name, QString());
    EXPECT_EQ(MediaFileName(src.connection, media), QString());

    const QString pic = src.writeFile(QStringLiteral("photo.jpg"), "JPEG");
    ASSERT_TRUE(ReplaceMediaFile(src.connection, media, pic, &name));
    EXPECT_TRUE(name.startsWith(src.fileObjectDir() + "/"));
    EXPECT_TRUE(QFileInfo::exists(name));
    EXPECT_EQ(MediaFileName(src.connection, media), name);

    const QString nail = src.writeFile(QStringLiteral("nail.png"), "PNG");
    QString nailName;
    ASSERT_TRUE(ReplaceThumbnailFile(src.connection, media, nail, &nailName));
    EXPECT_EQ(ThumbnailFileName(src.connection, media), nailName);

    const QString out = src.dir() + "/export.jpg";
    ASSERT_TRUE(WriteMediaToFile(src.connection, media, out));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("JPEG"));

    // Replacing again releases the old copy once the change is stored.
    ASSERT_TRUE(ReplaceMediaFile(src.connection, media, nail, nullptr));
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_TRUE(src.ui.messages.isEmpty());

    // No row: empty name and the message of the lookup.
    EXPECT_EQ(MediaFileName(src.connection, QStringLiteral("000000000999999999")), QString());
    EXPECT_EQ(src.ui.messages, QStringList{QStringLiteral("Retrieve filename failed:media")});
}

TEST_F(RecordStatementsTest, ReplaceStopsAtTheFirstFailure)
{
    Statement(src.connection, QStringLiteral("drop table MediaData"));
    log.clear();
    QString name = QStringLiteral("left over");
    EXPECT_FALSE(
        ReplaceThumbnailFile(src.connection, "000000000000000001", src.writeFile("n.png", "P"), &name));
    EXPECT_EQ(name, QString());
    // Only the open was tried; no lookup followed the failure.
    EXPECT_EQ(src.ui.messages, QStringList{QStringLiteral("SQL open failed:")});
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(QDir(src.fileObjectDir()).entryList(QDir::Files).isEmpty());
}

TEST_F(RecordStatementsTest, MaximaOfOrderKeys)
{
    EXPECT_EQ(MaxFolderIndex(src.connection), 0);
    EXPECT_EQ(MaxOfColumn(src.connection, QStringLiteral("index"), QStringLiteral("MediaData")), 0);
    const QString a = insertFolder("a");
    const QString b = insertFolder("b");
    WriteFolderIndex(src.connection, a, 32);
    WriteFolderIndex(src.connection, b, 64.25);
    EXPECT_EQ(MaxFolderIndex(src.connection), 64.25);
    EXPECT_EQ(MaxOfColumn(src.connection, QStringLiteral("FolderId"), QStringLiteral("Folder")), 2);
    EXPECT_EQ(MaxOfColumn(src.connection, QStringLiteral("index"), QStringLiteral("NoTable")), -1);
    EXPECT_EQ(src.ui.messages, QStringList{QStringLiteral("Retrieve table data failed:NoTable")});
}

TEST_F(RecordStatementsTest, DeleteMediaRow)
{
    const QString media = insertMedia(QStringLiteral("m"));
    log.clear();
    EXPECT_TRUE(DeleteMediaRow(src.connection, media));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "delete from MediaData where OID = ?");
    EXPECT_EQ(selectOne(QStringLiteral("select count(*) from MediaData where OID = ?"), media),
              QStringLiteral("0"));
}

TEST(MessagesTest, CatalogueHoldsTheExactTexts)
{
    EXPECT_EQ(vkMessage(MsgAlterTable), QStringLiteral("Alter table failed :"));
    EXPECT_EQ(vkMessage(MsgDatabaseSearch), QStringLiteral("Database search failed :"));
    EXPECT_EQ(vkMessage(MsgSetParamEnd), QStringLiteral("SetParamEnd Failed:"));
    EXPECT_EQ(vkMessage(MsgDatabaseWillBeDeleted), QStringLiteral("This database will be deleted."));
    EXPECT_EQ(vkMessage("Welcome"), QStringLiteral("Welcome to Vellumark"));
    for (int n = 5000; n <= 5019; ++n)
        EXPECT_FALSE(vkMessage(n).isEmpty()) << n;
}

} // namespace
