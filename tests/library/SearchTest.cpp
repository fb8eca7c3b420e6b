// The media search over a real library: the statement and its summary for each criterion,
// literal text (quotes, "%" and "_" are characters), whole-keyword matches, case sensitivity,
// folders with their subfolders, dates, and result items that mirror the library's own.
#include "DbFolder.h"
#include "KeyWords.h"
#include "Schema.h"
#include "SearchMedia.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

using namespace vk;

namespace {

class SearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(src.connection);
        roots = std::make_unique<TDbFolderList>(src.connection);
        ASSERT_TRUE(roots->Load(80, 100, 3));
        trips = roots->AddRootFolder("Trips", 80, 3, 100);
        other = roots->AddRootFolder("Other", 80, 3, 100);
        TDbMedia *tile = roots->AddSubFolder(trips, "Day 1", 80, 100, 3);
        day1 = tile->SubFolder;
        deeper = roots->AddSubFolder(day1, "Morning", 80, 100, 3)->SubFolder;
    }
    TDbMedia *add(TDbFolder *f, const QString &title, int type, const QString &author = QString(),
                  const QString &date = QString())
    {
        int mode = 1;
        TDbMedia *m = roots->InsertMediaFile(f, src.writeFile(QStringLiteral("f%1.bin").arg(++n), "x"), mode);
        EXPECT_TRUE(m);
        Statement st(src.connection, QStringLiteral("update MediaData set title=?, MediaType=?, Author=?, "
                                                    "InsertDate=? where OID=?"));
        st.bind(title);
        st.bind(QString::number(type));
        st.bind(author);
        st.bind(date.isEmpty() ? QStringLiteral("2026-06-01") : date);
        st.bind(m->Rec.OID);
        st.execute();
        m->Rec.Title = title;
        return m;
    }
    QStringList found(const TrecSearchCondition &c)
    {
        const SearchQuery q = BuildSearchQuery(c);
        EXPECT_TRUE(q.error.isEmpty()) << q.error.toStdString();
        QStringList oids;
        EXPECT_TRUE(SearchOids(src.connection, q, &oids)) << q.text.toStdString();
        QStringList titles;
        for (const QString &oid : oids)
            if (TDbMedia *m = roots->FindMediaByOid(oid))
                titles << m->Rec.Title;
        titles.sort();
        return titles;
    }

    TempDataSource src;
    std::unique_ptr<TDbFolderList> roots;
    TDbFolder *trips = nullptr, *other = nullptr, *day1 = nullptr, *deeper = nullptr;
    int n = 0;
};

TEST_F(SearchTest, TheStatementAndSummaryOfEachCriterion)
{
    TrecSearchCondition c;
    SearchQuery q = BuildSearchQuery(c);
    EXPECT_EQ(q.text,
              "select OID, FolderId, title, filename(media), MediaType, filename(MediaNail), KeyWords, "
              "InsertDate, Author from MediaData ");
    EXPECT_TRUE(q.values.isEmpty());
    EXPECT_EQ(SearchSummary(c),
              (QStringList{"Search Media are", "1) from All Folders", "2) with Any Title or Description",
                           "3) by Any Author", "4) case Not sensitive", "5) Any Format Type",
                           "6) about All KeyWords", "7) inserted on Any Date"}));

    c.folder = day1;
    c.mediaTypes = {0, 3};
    c.text = "cat  dog";
    c.separator = QLatin1Char(' ');
    c.author = "Ann";
    c.keywordNames = {"sea"};
    c.keywordOids = {"000000000000000042"};
    c.dateMode = TrecSearchCondition::From;
    c.from = "2026-01-31";
    q = BuildSearchQuery(c);
    ASSERT_TRUE(q.error.isEmpty());
    // Clauses in the order folder, media, text, author, keywords, date; values bound in order.
    EXPECT_EQ(q.text.mid(q.text.indexOf(" Where ")),
              " Where (FolderId=? or FolderId=?) and ((MediaType>0 and MediaType<98) or (MediaType=99)) and "
              "(( description match ? or title match ?) or ( description match ? or title match ?)) and "
              "(Author match ?) and (char(10)||replace(KeyWords,char(13),char(10))||char(10) like ?) and "
              "(InsertDate>=?)");
    EXPECT_EQ(q.values, (QStringList{deeper->Rec.FolderId, day1->Rec.FolderId, "cat", "cat", "dog", "dog",
                                     "Ann", "%\n000000000000000042\n%", "2026-01-31"}));
    EXPECT_EQ(q.title, "Folder('Morning','Day 1')Media('Image','Text')Text('cat','dog')Author('Ann')"
                       "KeyWords('sea')Date(2026-01-31...)");
    EXPECT_EQ(SearchSummary(c),
              (QStringList{"Search Media are", "1) from Folder Day 1 and it's subfolder(s)",
                           "2) with Title or Description containing 'cat', 'dog'", "3) by Author 'Ann'",
                           "4) case Not sensitive", "5) 'Image', 'Text' Format", "6) about KeyWords: 'sea'",
                           "7) inserted on Date from 2026-01-31"}));
    c.caseSensitive = true;
    c.mediaTypes = {0, 1, 2, 3, 4};
    c.dateMode = TrecSearchCondition::Between;
    c.to = "2026-02-30";
    q = BuildSearchQuery(c);
    EXPECT_EQ(q.error, "Date Format or Number is NOT Valid.");
    EXPECT_TRUE(q.toInvalid);
    c.to = "2026-02-28";
    q = BuildSearchQuery(c);
    EXPECT_FALSE(q.text.contains("MediaType>")) << "every class is no condition";
    EXPECT_TRUE(q.text.contains("(Author case match ?)"));
    EXPECT_TRUE(q.text.endsWith("((InsertDate>=?) and  (InsertDate<=?))"));
    EXPECT_EQ(SearchSummary(c).value(7), "7) inserted on Date From 2026-01-31 To 2026-02-28");
    c.noFolder = true;
    EXPECT_EQ(BuildSearchQuery(c).error, "No folder selected!");
    EXPECT_EQ(SplitSearchText(",a,,b,", QLatin1Char(',')), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitSearchText("a b", QChar()), (QStringList{"a b"}));
}

TEST_F(SearchTest, FindsExactlyWhatWasAsked)
{
    // Type 0 is in no class.
    add(trips, "It's 100%_done", 0, "Ann Lee");
    add(trips, "Its 100 percent done", 0, "ann lee");
    add(trips, "ItXs 1000Xdone", 0);
    add(day1, "CAT on a mat", 5, "Bob", "2026-01-15");
    add(deeper, "the cat sat", 101, "Bob", "2026-03-01");
    add(other, "Catalogue", 201, "Cat Stevens");
    add(other, "Edge 98", 98);
    add(other, "Edge 199", 199);
    add(other, "Memo", 99);
    add(other, "Doc", 300);

    struct Case
    {
        const char *name;
        std::function<void(TrecSearchCondition &)> set;
        QStringList titles;
    };
    const Case cases[] = {
        {"quote, percent and underscore are themselves",
         [](TrecSearchCondition &c) { c.text = "It's 100%_"; },
         {"It's 100%_done"}},
        {"an underscore is not any character",
         [](TrecSearchCondition &c) { c.text = "_"; },
         {"It's 100%_done"}},
        {"any case without the check",
         [](TrecSearchCondition &c) { c.text = "cat"; },
         {"CAT on a mat", "Catalogue", "the cat sat"}},
        {"the case as typed with it",
         [](TrecSearchCondition &c) {
             c.text = "cat";
             c.caseSensitive = true;
         },
         {"the cat sat"}},
        {"authors",
         [](TrecSearchCondition &c) { c.author = "ann"; },
         {"It's 100%_done", "Its 100 percent done"}},
        {"a folder with all its subfolders",
         [this](TrecSearchCondition &c) { c.folder = day1; },
         {"CAT on a mat", "the cat sat"}},
        {"the bounds of a class are outside it",
         [](TrecSearchCondition &c) {
             c.mediaTypes = {0, 1};
         },
         {"CAT on a mat", "the cat sat"}},
        {"text and others",
         [](TrecSearchCondition &c) {
             c.mediaTypes = {3, 4};
         },
         {"Doc", "Memo"}},
        {"dates up to a day",
         [](TrecSearchCondition &c) {
             c.dateMode = TrecSearchCondition::To;
             c.to = "2026-02-01";
         },
         {"CAT on a mat"}},
        {"two criteria together",
         [](TrecSearchCondition &c) {
             c.text = "cat";
             c.author = "Bob";
             c.dateMode = TrecSearchCondition::From;
             c.from = "2026-02-01";
         },
         {"the cat sat"}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        TrecSearchCondition c;
        k.set(c);
        EXPECT_EQ(found(c), k.titles);
    }
}

TEST_F(SearchTest, KeywordsMatchWholeLines)
{
    TDbKeyWordList keywords;
    ASSERT_TRUE(keywords.Load(src.connection));
    TsKeyWord a, b;
    a.Name = "sea";
    b.Name = "seaside";
    ASSERT_GE(AddKeyword(src.connection, keywords, a), 0);
    ASSERT_GE(AddKeyword(src.connection, keywords, b), 0);
    const QString seaOid = keywords.Items[0]->Rec.OID;
    TDbMedia *onlySea = add(trips, "only sea", 5);
    TDbMedia *both = add(trips, "both", 5);
    add(trips, "none", 5);
    // A keyword OID that contains the other's as a part must not match it.
    Statement(src.connection, QStringLiteral("update MediaData set KeyWords='") + seaOid +
                                  QStringLiteral("\r\n' where OID='") + onlySea->Rec.OID + QLatin1Char('\''));
    Statement(src.connection, QStringLiteral("update MediaData set KeyWords='9") + seaOid +
                                  QStringLiteral("1\r\n") + seaOid + QStringLiteral("\n' where OID='") +
                                  both->Rec.OID + QLatin1Char('\''));
    TrecSearchCondition c;
    c.keywordNames = {"sea"};
    c.keywordOids = {seaOid};
    EXPECT_EQ(found(c), (QStringList{"both", "only sea"}));
    c.keywordOids = {QStringLiteral("9") + seaOid};
    EXPECT_TRUE(found(c).isEmpty());
}

TEST_F(SearchTest, ResultItemsMirrorTheLibrarysOwn)
{
    TDbMedia *a = add(trips, "alpha", 5);
    add(trips, "beta", 5);
    TrecSearchCondition c;
    c.text = "alpha";
    const SearchQuery q = BuildSearchQuery(c);
    TDbFolder *result = MakeResultFolder(q.title, 80, 100, 3);
    ASSERT_TRUE(RunSearch(src.connection, q, result, roots.get()));
    ASSERT_EQ(result->MediaList->count(), 1);
    TDbMedia *mirror = result->MediaList->Items[0];
    EXPECT_EQ(mirror->MirrorOf, a);
    EXPECT_EQ(mirror->Rec.Index, 32);
    EXPECT_EQ(a->RefCount, 2);
    EXPECT_EQ(result->Rec.OID, "-1");
    EXPECT_EQ(result->Rec.Title, "Text('alpha')");

    // Removing the library item while the result shows it keeps the row until the result goes.
    EXPECT_GE(roots->RemoveMedia(a), 0);
    EXPECT_EQ(mirror->MirrorOf->RefCount, 1);
    ReleaseResultFolder(*roots, result);
    Statement st(src.connection, QStringLiteral("select count(*) from MediaData where title='alpha'"));
    QStringList row;
    st.fetch(row);
    EXPECT_EQ(row.value(0), "0");

    // A statement that cannot run answers false with the message.
    SearchQuery broken = q;
    broken.text += QStringLiteral(" and nosuchcolumn=1");
    TDbFolder *none = MakeResultFolder("x", 80, 100, 3);
    EXPECT_FALSE(RunSearch(src.connection, broken, none, roots.get()));
    EXPECT_TRUE(src.ui.messages.contains("Retrieve table data failed:MediaData"));
    ReleaseResultFolder(*roots, none);
}

} // namespace
