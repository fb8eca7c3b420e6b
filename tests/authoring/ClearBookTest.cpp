// ClearBooks, slides and slide objects over a real data source: order keys, the defaults of
// rows stored by older versions, saving and reverting the edited slide, copies, deletes, and
// the files that objects share with the library.
#include "AT_DbClearbook.h"
#include "ClearBookJson.h"
#include "DbFolder.h"
#include "Engine.h"
#include "ObjectKinds.h"
#include "Schema.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vk;

namespace {

class ClearBookTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(c());
        AuthoringSchemaCheck(c());
        ASSERT_TRUE(work.isValid());
        c().setTempFilePrefix(work.path());
        books = std::make_unique<TDbClearBookList>(c());
        ASSERT_TRUE(books->LoadClearBooks());
    }
    Connection &c() { return src.connection; }

    QString value(const QString &text, const QStringList &params = {})
    {
        Statement st(c(), text);
        if (!params.isEmpty()) {
            for (const QString &p : params)
                st.bind(p);
            st.execute();
        }
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }
    int count(const QString &table, const QString &where = QString())
    {
        return value(QStringLiteral("select count(*) from ") + table +
                     (where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
            .toInt();
    }
    void exec(const char *sql) { ASSERT_LT(vkdb::DbExecDirect(c().handle(), sql), 2) << sql; }

    // The model as a restart finds it.
    void reload()
    {
        books = std::make_unique<TDbClearBookList>(c());
        ASSERT_TRUE(books->LoadClearBooks());
    }

    QString picture(const QString &name, QColor color = Qt::red)
    {
        QImage img(8, 6, QImage::Format_RGB32);
        img.fill(color);
        const QString path = src.dir() + QLatin1Char('/') + name;
        img.save(path, "PNG");
        return path;
    }

    TsObject shape(int kind = ObjectKind::Rectangle, const QString &title = QStringLiteral("Rectangle"))
    {
        TsObject r;
        r.Obj_TypeId = kind;
        r.Title = title;
        r.Bar_Left = 0;
        r.Bar_Width = 500;
        r.Left_S = 10;
        r.Top_S = 20;
        r.Width_S = 150;
        r.Height_S = 75;
        r.Left = 10;
        r.Top = 20;
        r.Width = 150;
        r.Height = 75;
        r.Tag = 0;
        return r;
    }

    TsObject image(const QString &path, bool shared)
    {
        TsObject r = shape(3, QFileInfo(path).fileName());
        r.Obj_Media = path;
        r.Obj_Flag = shared;
        return r;
    }

    QStringList titlesOf(const TDbSlide *s, bool design = false)
    {
        QStringList out;
        for (const TDbObject *o : design ? s->Objects.DesignOrder : s->Objects.Objects)
            out << o->Rec.Title;
        return out;
    }

    TempDataSource src;
    QTemporaryDir work;
    std::unique_ptr<TDbClearBookList> books;
};

TEST_F(ClearBookTest, ClearBooksAndSlidesAreNumberedBy1000And32)
{
    TDbClearBook *a = books->CreateClearBook("first", "me");
    TDbClearBook *b = books->CreateClearBook("second", "me");
    TDbClearBook *d = books->CreateClearBook("third", "me");
    ASSERT_TRUE(a && b && d);
    EXPECT_EQ(a->Rec.CB_Index, 0);
    EXPECT_EQ(b->Rec.CB_Index, 1000);
    EXPECT_EQ(d->Rec.CB_Index, 2000);
    EXPECT_NE(a->Rec.CB_Id, b->Rec.CB_Id);

    for (const char *t : {"s0", "s1", "s2"})
        ASSERT_TRUE(books->SaveSlide(books->NewSlide(a, t)));
    EXPECT_EQ(a->Slides[0]->Rec.Slide_Index, 0);
    EXPECT_EQ(a->Slides[2]->Rec.Slide_Index, 64);
    // The last to the front goes below the first.
    ASSERT_TRUE(books->MoveSlide(a->Slides, a->Slides[2], 0));
    EXPECT_EQ(a->Slides[0]->Rec.Slide_Title, "s2");
    EXPECT_EQ(a->Slides[0]->Rec.Slide_Index, -32);

    // No room between 0 and 1: the whole ClearBook is renumbered, stored slides written.
    TDbSlide *x = books->NewSlide(b, "x");
    TDbSlide *y = books->NewSlide(b, "y");
    ASSERT_TRUE(books->SaveSlide(x) && books->SaveSlide(y));
    y->Rec.Slide_Index = 1;
    y->Changed = SlideColIndex;
    ASSERT_TRUE(books->UpdateSlide(y));
    TDbSlide *z = books->NewSlide(d, "z");
    ASSERT_TRUE(books->DetachSlide(d->Slides, z));
    ASSERT_TRUE(books->PlaceSlide(b->Slides, z, 1, b));
    EXPECT_EQ(z->Rec.CB_Id, b->Rec.CB_Id);
    QList<int> keys;
    for (TDbSlide *s : b->Slides)
        keys << s->Rec.Slide_Index;
    EXPECT_EQ(keys, (QList<int>{0, 32, 64}));
    EXPECT_EQ(value("select Slide_Index from Slide_Table where OID=?", {y->Rec.OID}), "64");

    reload();
    ASSERT_EQ(books->ClearBooks.size(), 3);
    QStringList order;
    for (TDbSlide *s : books->ClearBooks[0]->Slides)
        order << s->Rec.Slide_Title;
    EXPECT_EQ(order, (QStringList{"s2", "s0", "s1"}));
}

TEST_F(ClearBookTest, RowsOfOlderVersionsGetTheirDefaultsAndOrderKeys)
{
    TDbClearBook *cb = books->CreateClearBook("old", "");
    ASSERT_TRUE(cb);
    const QString id = QString::number(cb->Rec.CB_Id);
    Statement(c(), QStringLiteral("insert into Slide_Table (CB_Id, Slide_Title, Slide_Index) values (") + id +
                       QStringLiteral(", 'bare', 0)"));
    const QString slideId = value("select Slide_Id from Slide_Table where Slide_Title='bare'");
    // Elsewhere in the table the largest keys are 96 and 64.
    exec("insert into Object_Table (Slide_Id, Obj_TypeId, Title, Index, Design_Index) values (999, 451, "
         "'other', 96, 64)");
    for (const char *t : {"a", "b"})
        Statement(c(),
                  QStringLiteral("insert into Object_Table (CB_Id, Slide_Id, Obj_TypeId, Title) values (") +
                      id + QLatin1Char(',') + slideId + QStringLiteral(", 451, '") + QLatin1String(t) +
                      QStringLiteral("')"));

    reload();
    TDbSlide *s = books->ClearBooks[0]->Slides.value(0);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Rec.Slide_BGroundX, "0");
    EXPECT_EQ(s->Rec.Slide_Ratio, 1.0);
    EXPECT_EQ(s->Rec.Slide_BColor, "16777215");
    EXPECT_EQ(s->Rec.Slide_Gradient, 0);
    EXPECT_EQ(s->Rec.Jump_Slide_Id, EndingAction::Pause);
    ASSERT_EQ(s->Objects.Objects.size(), 2);
    const TsObject &a = s->Objects.Objects[0]->Rec;
    const TsObject &b = s->Objects.Objects[1]->Rec;
    EXPECT_EQ(a.Index, 128);
    EXPECT_EQ(a.Design_Index, 96);
    EXPECT_EQ(b.Index, 160);
    EXPECT_EQ(b.Design_Index, 128);
    EXPECT_EQ(a.Bar_Left, -1);
    EXPECT_EQ(a.Obj_Link_SlideId, 0);
    EXPECT_EQ(a.Width_S, 0);
    // Written back.
    EXPECT_EQ(value("select Index from Object_Table where OID=?", {a.OID}).toDouble(), 128);
    EXPECT_EQ(value("select Design_Index from Object_Table where OID=?", {b.OID}), "128");
}

TEST_F(ClearBookTest, EqualDesignKeysKeepTheStackingOrder)
{
    TDbClearBook *cb = books->CreateClearBook("b", "");
    TDbSlide *s = books->NewSlide(cb, "s");
    for (const char *t : {"low", "mid", "high"})
        books->AddNewObject(s, shape(451, t));
    s->Objects.Objects[0]->Rec.Design_Index = 64;
    s->Objects.Objects[1]->Rec.Design_Index = 32;
    s->Objects.Objects[2]->Rec.Design_Index = 64;
    ASSERT_TRUE(books->SaveSlide(s));
    reload();
    TDbSlide *again = books->ClearBooks[0]->Slides[0];
    EXPECT_EQ(titlesOf(again), (QStringList{"low", "mid", "high"}));
    EXPECT_EQ(titlesOf(again, true), (QStringList{"mid", "low", "high"}));

    // No room between 32 and 33: the design order is renumbered and written.
    again->Objects.DesignOrder[1]->Rec.Design_Index = 33;
    TDbObject *o = books->CopyObject(again->Objects.Objects[0], again);
    o->Rec.Title = "between";
    ASSERT_TRUE(books->PlaceObject(again->Objects, o, 1, again, true));
    EXPECT_EQ(titlesOf(again, true), (QStringList{"mid", "between", "low", "high"}));
    QList<int> keys;
    for (TDbObject *x : again->Objects.DesignOrder)
        keys << x->Rec.Design_Index;
    EXPECT_EQ(keys, (QList<int>{0, 32, 64, 96}));
    EXPECT_EQ(value("select Design_Index from Object_Table where Title='high'"), "96");
}

TEST_F(ClearBookTest, SavingANewSlideStoresItsObjectsAndTheyComeBackExactly)
{
    books->DesignScale = 1.28;
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *s = books->NewSlide(cb, "page");
    s->Rec.Slide_BColor = "$00112233";
    s->Rec.Slide_Gradient = 1;
    s->Rec.Jump_Slide_Id = EndingAction::Sequence;
    s->Rec.Slide_BGround = picture("back.png");
    s->BackgroundChanged = true;
    TsObject r = shape();
    r.Width_S = 150;
    r.Spec_Property2 =
        "PenColor=clRed\r\nBrushColor=$00FF0000\r\nPenStyle=1\r\nBrushStyle=2\r\nPenWidth=3\r\n"
        "DisableFlag=True\r\nWithTouch=True\r\nArrow=0\r\n";
    books->AddNewObject(s, r);
    TsObject memo = shape(ObjectKind::Memo, "Memo");
    TDbObject *m = books->AddNewObject(s, memo);
    m->MemoText = "line one\nline two";
    m->HasMemoText = true;

    ASSERT_TRUE(books->SaveSlide(s)) << src.ui.messages.join("|").toStdString();
    EXPECT_NE(s->Rec.OID, "-1");
    EXPECT_GT(s->Rec.Slide_Id, 0);
    // The background went in with the row, once.
    EXPECT_TRUE(QFileInfo(s->Rec.Slide_BGround).absolutePath().startsWith(src.fileObjectDir()));
    EXPECT_EQ(value("select Width_S from Object_Table where Title='Rectangle'").toDouble(), 117.1875);
    EXPECT_EQ(count("Object_Table", QStringLiteral("Slide_Id=") + QString::number(s->Rec.Slide_Id)), 2);

    reload();
    TDbSlide *again = books->ClearBooks[0]->Slides[0];
    EXPECT_EQ(again->Rec.Slide_BColor, "$00112233");
    EXPECT_EQ(again->Rec.Slide_Gradient, 1);
    EXPECT_EQ(again->Rec.Jump_Slide_Id, EndingAction::Sequence);
    ASSERT_EQ(again->Objects.Objects.size(), 2);
    TDbObject *rect = again->Objects.Objects[0];
    EXPECT_EQ(rect->Rec.Width_S, 117.1875);
    EXPECT_TRUE(rect->Disabled);
    EXPECT_EQ(rect->Rec.Spec_Property2, r.Spec_Property2);
    EXPECT_EQ(value("select Spec_Property from Object_Table where Title='Rectangle'"), r.Spec_Property2);
    QFile text(again->Objects.Objects[1]->Rec.Obj_Media);
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(text.readAll(), "line one\nline two");
}

TEST_F(ClearBookTest, AFailedSaveWritesNothingAndTheSlideStaysToBeSaved)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *s = books->NewSlide(cb, "page");
    books->AddNewObject(s, shape(451, "fine"));
    books->AddNewObject(s, shape(452, "refused"));
    exec("create trigger refuse before insert on Object_Table when new.Title = 'refused' "
         "begin select raise(abort, 'refused'); end");
    EXPECT_FALSE(books->SaveSlide(s));
    EXPECT_TRUE(src.ui.messages.contains("Insert data into table failed:Object_Table"));
    EXPECT_EQ(s->Rec.OID, "-1");
    for (TDbObject *o : s->Objects.Objects)
        EXPECT_EQ(o->Rec.OID, "-1");
    EXPECT_EQ(count("Slide_Table"), 0);
    EXPECT_EQ(count("Object_Table"), 0);

    exec("drop trigger refuse");
    ASSERT_TRUE(books->SaveSlide(s));
    EXPECT_EQ(count("Object_Table"), 2);
}

TEST_F(ClearBookTest, AMediaObjectWhoseFileIsGoneIsNotSavedAndSaysSo)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *s = books->NewSlide(cb, "page");
    const QString path = picture("gone.png");
    books->AddNewObject(s, image(path, false));
    books->AddNewObject(s, shape());
    QFile::remove(path);
    EXPECT_FALSE(books->SaveSlide(s));
    EXPECT_TRUE(src.ui.messages.contains(
        "<Object:gone.png>The referential media is deleted, please remove the object and retry."));
    // The rest is stored; the slide is still to be saved.
    EXPECT_NE(s->Rec.OID, "-1");
    EXPECT_EQ(count("Object_Table"), 1);
}

TEST_F(ClearBookTest, RevertingPutsBackWhatWasStored)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *home = books->NewSlide(cb, "home");
    TDbObject *traveller = books->AddNewObject(home, shape(451, "traveller"));
    ASSERT_TRUE(books->SaveSlide(home));
    TDbSlide *s = books->NewSlide(cb, "edited");
    books->AddNewObject(s, shape(453, "kept"));
    ASSERT_TRUE(books->SaveSlide(s));
    const QString travellerOid = traveller->Rec.OID;

    books->ActiveClearBook = cb;
    books->ActiveSlide = s;
    // Pasted, moved in from the other slide, and one stored object deleted, all unsaved.
    TDbObject *pasted = books->CopyObject(s->Objects.Objects[0], s);
    pasted->Rec.Title = "pasted";
    ASSERT_TRUE(books->PlaceObject(s->Objects, pasted, 99, s, true));
    ASSERT_TRUE(books->MoveObjectToSlide(traveller, s, 99));
    ASSERT_TRUE(books->RemoveObject(s->Objects, s->Objects.Objects[0], s));
    EXPECT_TRUE(home->Objects.Objects.isEmpty());

    ASSERT_TRUE(books->RevertSlide(s));
    EXPECT_EQ(titlesOf(s), QStringList{"kept"});
    // The moved object is back on its own slide, its row untouched.
    EXPECT_EQ(titlesOf(home), QStringList{"traveller"});
    EXPECT_EQ(traveller->Owner, home);
    EXPECT_EQ(traveller->Rec.OID, travellerOid);
    EXPECT_EQ(value("select Slide_Id from Object_Table where OID=?", {travellerOid}).toInt(),
              home->Rec.Slide_Id);
    EXPECT_EQ(count("Object_Table"), 2);

    // Saved instead, the moved object belongs to the edited slide.
    ASSERT_TRUE(books->MoveObjectToSlide(traveller, s, 99));
    ASSERT_TRUE(books->SaveSlide(s));
    EXPECT_EQ(value("select Slide_Id from Object_Table where OID=?", {travellerOid}).toInt(),
              s->Rec.Slide_Id);
    reload();
    EXPECT_EQ(books->ClearBooks[0]->Slides[0]->Objects.Objects.size(), 0);
    EXPECT_EQ(books->ClearBooks[0]->Slides[1]->Objects.Objects.size(), 2);
}

TEST_F(ClearBookTest, RevertingANewSlideDiscardsIt)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *s = books->NewSlide(cb, "new");
    books->ActiveClearBook = cb;
    books->ActiveSlide = s;
    books->AddNewObject(s, shape());
    ASSERT_TRUE(books->RevertSlide(s));
    EXPECT_TRUE(cb->Slides.isEmpty());
    EXPECT_EQ(books->ActiveSlide, nullptr);
    EXPECT_EQ(count("Slide_Table"), 0);
}

TEST_F(ClearBookTest, DeletingAClearBookTakesEverythingOrNothing)
{
    TDbClearBook *cb = books->CreateClearBook("doomed", "");
    TDbClearBook *other = books->CreateClearBook("other", "");
    for (TDbClearBook *b : {cb, other})
        for (int i = 0; i < 2; ++i) {
            TDbSlide *s = books->NewSlide(b, QStringLiteral("s%1").arg(i));
            books->AddNewObject(s, image(picture(QStringLiteral("p%1.png").arg(i)), false));
            ASSERT_TRUE(books->SaveSlide(s));
            Statement(c(), QStringLiteral(
                               "insert into Flag_Table (Flag_CB_Id, Flag_Slide_Id, Flag_Id, Flag_Type_Id) "
                               "values (%1, %2, 1, 4)")
                               .arg(b->Rec.CB_Id)
                               .arg(s->Rec.Slide_Id));
        }
    const QString copy = cb->Slides[0]->Objects.Objects[0]->Rec.Obj_Media;
    ASSERT_TRUE(QFileInfo(copy).absolutePath().startsWith(src.fileObjectDir()));

    exec("create trigger keep before delete on ClearBook_Table when old.CB_Title = 'doomed' "
         "begin select raise(abort, 'kept'); end");
    EXPECT_FALSE(books->DeleteClearBook(cb));
    EXPECT_EQ(books->ClearBooks.size(), 2);
    EXPECT_EQ(count("Slide_Table"), 4);
    EXPECT_EQ(count("Object_Table"), 4);
    EXPECT_EQ(count("Flag_Table"), 4);
    EXPECT_NE(cb->Slides[0]->Rec.OID, "-1");
    EXPECT_NE(cb->Slides[0]->Objects.Objects[0]->Rec.OID, "-1");
    EXPECT_TRUE(QFile::exists(copy));

    exec("drop trigger keep");
    ASSERT_TRUE(books->DeleteClearBook(cb));
    EXPECT_EQ(books->ClearBooks.size(), 1);
    EXPECT_EQ(count("Slide_Table"), 2);
    EXPECT_EQ(count("Object_Table"), 2);
    EXPECT_EQ(count("Flag_Table"), 2);
    EXPECT_FALSE(QFile::exists(copy));
}

TEST_F(ClearBookTest, MediaSharedWithTheLibraryStaysWhileEitherHoldsIt)
{
    TDbFolderList library(c());
    ASSERT_TRUE(library.Load(80, 100, 3));
    TDbFolder *folder = library.AddRootFolder("pictures", 80, 3, 100);
    int mode = 0;
    TDbMedia *item = library.InsertMediaFile(folder, picture("shared.png"), mode);
    ASSERT_TRUE(item);
    const QString stored = item->Rec.MediaFile;
    ASSERT_TRUE(stored.startsWith(src.fileObjectDir()));

    TDbClearBook *cb = books->CreateClearBook("book", "");
    struct Case
    {
        const char *name;
        bool deleteLibraryItem; // else the slide goes first
    };
    for (const Case &k : {Case{"slide first", false}, Case{"library first", true}}) {
        SCOPED_TRACE(k.name);
        TDbSlide *s = books->NewSlide(cb, k.name);
        TDbObject *o = books->ObjectFromMedia(item);
        ASSERT_TRUE(books->PlaceObject(s->Objects, o, 0, s, true));
        ASSERT_TRUE(books->SaveSlide(s));
        EXPECT_TRUE(o->Rec.Obj_Flag);
        EXPECT_EQ(o->Rec.Obj_Media, stored);
        if (k.deleteLibraryItem) {
            EXPECT_GE(library.RemoveMedia(item), 0);
            EXPECT_TRUE(QFile::exists(stored)) << "the slide still shows it";
            ASSERT_TRUE(books->RemoveSlide(cb->Slides, s));
            EXPECT_FALSE(QFile::exists(stored)) << "no one holds it any more";
        } else {
            ASSERT_TRUE(books->RemoveSlide(cb->Slides, s));
            EXPECT_TRUE(QFile::exists(stored)) << "the library still holds it";
        }
    }
}

TEST_F(ClearBookTest, CopiesOfAMemoKeepTheirOwnText)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *s = books->NewSlide(cb, "page");
    TDbObject *memo = books->AddNewObject(s, shape(ObjectKind::Memo, "Memo"));
    memo->MemoText = "first";
    memo->HasMemoText = true;
    TDbObject *one = books->CopyObject(memo, nullptr);
    memo->MemoText = "second";
    TDbObject *two = books->CopyObject(memo, nullptr);
    EXPECT_NE(one->Rec.Obj_Media, two->Rec.Obj_Media);
    for (TDbObject *o : {one, two}) {
        o->HasMemoText = false; // as a pasted copy without its visual yet
        ASSERT_TRUE(books->PlaceObject(s->Objects, o, 99, s, true));
    }
    ASSERT_TRUE(books->SaveSlide(s));
    QStringList texts;
    for (TDbObject *o : s->Objects.Objects) {
        QFile f(o->Rec.Obj_Media);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        texts << QString::fromUtf8(f.readAll());
    }
    EXPECT_EQ(texts, (QStringList{"second", "first", "second"}));
}

TEST_F(ClearBookTest, CopiedObjectsShareStoredMediaAndCopyUnsavedMedia)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *a = books->NewSlide(cb, "a");
    TDbSlide *b = books->NewSlide(cb, "b");
    // A path with a quote in it travels as a value.
    TDbObject *stored = books->AddNewObject(a, image(picture("it's.png"), false));
    ASSERT_TRUE(books->SaveSlide(a));
    ASSERT_TRUE(books->SaveSlide(b));
    TDbObject *unsaved = books->AddNewObject(a, image(picture("new.png", Qt::blue), false));

    TDbObject *sharing = books->CopyObject(stored, nullptr);
    TDbObject *copying = books->CopyObject(unsaved, nullptr);
    EXPECT_TRUE(sharing->Rec.Obj_Flag);
    EXPECT_FALSE(copying->Rec.Obj_Flag);
    ASSERT_TRUE(books->PlaceObject(b->Objects, sharing, 0, b, true));
    ASSERT_TRUE(books->PlaceObject(b->Objects, copying, 1, b, true));
    EXPECT_EQ(sharing->Rec.Obj_Media, stored->Rec.Obj_Media);
    EXPECT_NE(copying->Rec.Obj_Media, unsaved->Rec.Obj_Media);
    EXPECT_TRUE(copying->Rec.Obj_Media.startsWith(src.fileObjectDir()));

    // The original goes; the copy that shares its file keeps it.
    const QString file = stored->Rec.Obj_Media;
    books->ActiveSlide = a;
    ASSERT_TRUE(books->RemoveObject(a->Objects, stored, a));
    books->AddNewObject(a, shape()); // something to save
    books->RemoveObject(a->Objects, unsaved, a);
    ASSERT_TRUE(books->SaveSlide(a));
    EXPECT_TRUE(QFile::exists(file));
}

TEST_F(ClearBookTest, ACutObjectKeepsItsFileUntilItIsPasted)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *a = books->NewSlide(cb, "a");
    TDbSlide *b = books->NewSlide(cb, "b");
    books->AddNewObject(a, image(picture("cut.png"), false));
    ASSERT_TRUE(books->SaveSlide(a) && books->SaveSlide(b));
    const QString file = a->Objects.Objects[0]->Rec.Obj_Media;

    books->ActiveSlide = a;
    TSelectedList clipboard;
    TDbObject *o = a->Objects.DesignOrder[0];
    books->TakeFromDesignOrder(a->Objects, o, true);
    books->ClipboardAdd(clipboard, o);
    ASSERT_TRUE(books->SaveSlide(a));
    EXPECT_TRUE(QFile::exists(file)) << "the clipboard's copy still needs it";

    books->ActiveSlide = nullptr;
    TDbObject *pasted = books->CopyObject(o, b);
    ASSERT_TRUE(books->PlaceObject(b->Objects, pasted, 0, b, true));
    books->ClipboardClear(clipboard);
    EXPECT_TRUE(clipboard.isEmpty());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(pasted->Rec.Obj_Media, file);
    EXPECT_EQ(count("Object_Table"), 1);
    ASSERT_TRUE(books->RemoveObject(b->Objects, pasted, b));
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ClearBookTest, CopyingAClearBookKeepsItsLinksInsideTheCopy)
{
    TDbClearBook *cb = books->CreateClearBook("original", "me");
    TDbSlide *one = books->NewSlide(cb, "one");
    TDbSlide *two = books->NewSlide(cb, "two");
    ASSERT_TRUE(books->SaveSlide(one) && books->SaveSlide(two));
    TsObject button = shape(ObjectKind::Button, "Button");
    button.Obj_Link_CBId = cb->Rec.CB_Id;
    button.Obj_Link_SlideId = two->Rec.Slide_Id;
    books->AddNewObject(one, button);
    one->Rec.Jump_CB_Id = cb->Rec.CB_Id;
    one->Rec.Jump_Slide_Id = two->Rec.Slide_Id;
    ASSERT_TRUE(books->SaveSlide(one));

    TDbClearBook *copy = books->CopyClearBook(cb, "copy");
    ASSERT_TRUE(copy) << src.ui.messages.join("|").toStdString();
    ASSERT_EQ(copy->Slides.size(), 2);
    const TDbObject *b = copy->Slides[0]->Objects.Objects.value(0);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->Rec.Obj_Link_CBId, copy->Rec.CB_Id);
    EXPECT_EQ(b->Rec.Obj_Link_SlideId, copy->Slides[1]->Rec.Slide_Id);
    EXPECT_EQ(copy->Slides[0]->Rec.Jump_Slide_Id, copy->Slides[1]->Rec.Slide_Id);
    QStringList a = ShowClearBook(*books, cb), c2 = ShowClearBook(*books, copy);
    a.removeFirst();
    c2.removeFirst();
    EXPECT_EQ(a, c2);
}

TEST_F(ClearBookTest, ExportThenImportListsAlike)
{
    TDbFolderList library(c());
    ASSERT_TRUE(library.Load(80, 100, 3));
    int mode = 0;
    TDbMedia *item =
        library.InsertMediaFile(library.AddRootFolder("f", 80, 3, 100), picture("lib.png"), mode);
    ASSERT_TRUE(item);

    TDbClearBook *cb = books->CreateClearBook("show", "author");
    TDbSlide *one = books->NewSlide(cb, "one");
    TDbSlide *two = books->NewSlide(cb, "two\twith a tab");
    one->Rec.Slide_BGround = picture("bg.png", Qt::green);
    one->BackgroundChanged = true;
    TDbObject *fromLibrary = books->ObjectFromMedia(item);
    books->PlaceObject(one->Objects, fromLibrary, 0, one, true);
    books->AddNewObject(one, image(picture("own.png", Qt::yellow), false));
    TsObject button = shape(ObjectKind::Button, "Button");
    button.Obj_Link_SlideId = -1;
    button.Spec_Property2 =
        "Font_Name=Sans\r\nFont_Size=18\r\nFont_Color=0\r\nFont_Style=0,\r\nDisableFlag=False\r\n";
    books->AddNewObject(one, button);
    TDbObject *memo = books->AddNewObject(two, shape(ObjectKind::Memo, "Memo"));
    memo->MemoText = "a memo";
    memo->HasMemoText = true;
    books->AddNewObject(two, shape(ObjectKind::Polyline, "Polygon"));
    ASSERT_TRUE(books->SaveSlide(one) && books->SaveSlide(two));
    two->Rec.Jump_CB_Id = cb->Rec.CB_Id;
    two->Rec.Jump_Slide_Id = one->Rec.Slide_Id;
    two->Changed = SlideColJumpCBId | SlideColJumpSlideId;
    ASSERT_TRUE(books->UpdateSlide(two));

    const QJsonObject doc = ExportClearBook(*books, cb);
    QString error;
    TDbClearBook *again = ImportClearBook(*books, doc, &error);
    ASSERT_TRUE(again) << error.toStdString();
    reload();
    ASSERT_EQ(books->ClearBooks.size(), 2);
    const QStringList first = ShowClearBook(*books, books->ClearBooks[0]);
    const QStringList second = ShowClearBook(*books, books->ClearBooks[1]);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(first.join('\n').contains("library " + item->Rec.OID)) << first.join('\n').toStdString();
    EXPECT_TRUE(first.join('\n').contains("two\\twith a tab"));
    EXPECT_TRUE(first.join('\n').contains("ending jump slide 1"));
}

TEST_F(ClearBookTest, ImportRefusesABadDocumentAndStoresNothing)
{
    struct Case
    {
        const char *name;
        const char *json;
        const char *error;
    };
    const Case cases[] = {
        {"not a ClearBook", R"({"title": "x"})", "not a ClearBook document"},
        {"unknown kind", R"({"vellumark":"clearbook","version":1,"slides":[{"objects":[{"kind":400}]}]})",
         "slide 1, object 1: unknown kind 400"},
        {"missing media",
         R"({"vellumark":"clearbook","version":1,"slides":[{"objects":[{"kind":3,"media":{"file":"/nowhere.png"}}]}]})",
         "does not exist"},
        {"link past the end",
         R"({"vellumark":"clearbook","version":1,"slides":[{"objects":[{"kind":451,"link":{"slide":4}}]}]})",
         "slide 5"},
        {"unknown library item",
         R"({"vellumark":"clearbook","version":1,"slides":[{"background":{"library":"999999999999999999"}}]})",
         "no library item"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        QString error;
        EXPECT_EQ(ImportClearBook(*books, QJsonDocument::fromJson(k.json).object(), &error), nullptr);
        EXPECT_TRUE(error.contains(QLatin1String(k.error))) << error.toStdString();
        EXPECT_TRUE(books->ClearBooks.isEmpty());
        EXPECT_EQ(count("ClearBook_Table"), 0);
        EXPECT_EQ(count("Slide_Table"), 0);
        EXPECT_EQ(count("Object_Table"), 0);
    }
}

TEST_F(ClearBookTest, TitlesOfLinksAndLostTargets)
{
    TDbClearBook *cb = books->CreateClearBook("linked", "");
    TDbSlide *s = books->NewSlide(cb, "target");
    ASSERT_TRUE(books->SaveSlide(s));
    EXPECT_EQ(books->ClearBookTitle(cb->Rec.CB_Id), "linked");
    EXPECT_EQ(books->SlideTitle(s->Rec.Slide_Id), "target");
    const int id = cb->Rec.CB_Id;
    ASSERT_TRUE(books->DeleteClearBook(cb));
    EXPECT_EQ(books->ClearBookTitle(id), "(Lost)");
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join("|").toStdString();
}

// The workspace and vkctl on one data source: each program's list is its own view of the rows,
// and neither may save into rows the other removed.
TEST_F(ClearBookTest, AnotherProgramsChangesAreNeverSavedIntoNothing)
{
    Connection other;
    ASSERT_EQ(other.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    other.setUi(&src.ui);
    other.setTempFilePrefix(work.path());
    TDbClearBook *cb = books->CreateClearBook("shared", "");
    TDbSlide *page = books->NewSlide(cb, "page");
    books->AddNewObject(page, shape(451, "kept"));
    ASSERT_TRUE(books->SaveSlide(page));
    TDbClearBookList theirs(other);
    ASSERT_TRUE(theirs.LoadClearBooks());

    // Both append a slide to the same ClearBook: each takes a place of its own.
    TDbSlide *mine = books->NewSlide(cb, "mine");
    TDbSlide *their = theirs.NewSlide(theirs.ClearBooks[0], "theirs");
    ASSERT_TRUE(theirs.SaveSlide(their));
    ASSERT_TRUE(books->SaveSlide(mine));
    EXPECT_GT(mine->Rec.Slide_Index, their->Rec.Slide_Index);

    // The other program removes the slide this one is editing: the edits are stored again.
    books->ActiveClearBook = cb;
    books->ActiveSlide = page;
    books->AddNewObject(page, shape(453, "added later"));
    ASSERT_TRUE(theirs.RemoveSlide(theirs.ClearBooks[0]->Slides, theirs.ClearBooks[0]->Slides[0]));
    ASSERT_TRUE(books->SaveSlide(page)) << src.ui.messages.join("|").toStdString();
    {
        TDbClearBookList fresh(c());
        ASSERT_TRUE(fresh.LoadClearBooks());
        TDbSlide *again = nullptr;
        for (TDbSlide *s : fresh.ClearBooks[0]->Slides)
            if (s->Rec.Slide_Title == "page")
                again = s;
        ASSERT_TRUE(again);
        QStringList titles;
        for (TDbObject *o : again->Objects.Objects)
            titles << o->Rec.Title;
        EXPECT_EQ(titles, (QStringList{"kept", "added later"}));
    }

    // The other program removes the whole ClearBook: the save is refused and says why, and the
    // slide keeps its edits to be saved elsewhere.
    TDbClearBookList later(other);
    ASSERT_TRUE(later.LoadClearBooks());
    ASSERT_TRUE(later.DeleteClearBook(later.ClearBooks[0]));
    books->AddNewObject(page, shape(452, "unsaved"));
    src.ui.messages.clear();
    EXPECT_FALSE(books->SaveSlide(page));
    EXPECT_TRUE(src.ui.messages.value(0).contains("removed by another program"))
        << src.ui.messages.join("|").toStdString();
    EXPECT_EQ(page->Objects.Objects.size(), 3);
    EXPECT_EQ(count("Slide_Table"), 0);
}

// A program killed while it saves a slide leaves no part of the slide: the rows come all or
// not at all, and the copies it had made are orphans that the repair removes.
TEST_F(ClearBookTest, AProgramKilledWhileSavingLeavesNoPartOfTheSlide)
{
    TDbClearBook *cb = books->CreateClearBook("book", "");
    TDbSlide *kept = books->NewSlide(cb, "kept");
    books->AddNewObject(kept, image(picture("kept.png"), false));
    ASSERT_TRUE(books->SaveSlide(kept));
    const QString pictureFile = picture("unsaved.png", Qt::blue);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other program: its save stops for good inside the save's transaction, after the
        // slide's and objects' rows and their copies were written.
        struct Stop : AuthoringViews
        {
            int fd;
            // The save asks for the slide's flags last, inside its transaction.
            TDbFlagList *slideFlags(const TDbSlide *) override
            {
                char k = 'k';
                if (::write(fd, &k, 1) != 1)
                    ::_exit(4);
                ::pause();
                return nullptr;
            }
        } stop;
        stop.fd = ready[1];
        Connection mine;
        if (mine.connect(src.configPath(), src.name(), "SYSADM", "") != vkdb::DbOk)
            ::_exit(2);
        mine.setTempFilePrefix(work.path());
        TDbClearBookList list(mine);
        if (!list.LoadClearBooks())
            ::_exit(3);
        list.setViews(&stop);
        TDbSlide *s = list.NewSlide(list.ClearBooks[0], "never stored");
        for (int i = 0; i < 5; ++i)
            list.AddNewObject(s, image(pictureFile, false));
        list.SaveSlide(s);
        ::_exit(0);
    }
    ::close(ready[1]);
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    EXPECT_EQ(count("Slide_Table"), 1);
    EXPECT_EQ(count("Object_Table"), 1);
    vkdb::DbFileCheck check;
    ASSERT_EQ(vkdb::DbCheckFileObjects(c().handle(), check), vkdb::DbOk);
    EXPECT_EQ(check.orphans.size(), 5u) << "the five copies the killed save had made";
    EXPECT_TRUE(check.missing.empty());
    // The killed program's journal, its lock gone with it, goes with them.
    EXPECT_EQ(check.staleJournals.size(), 1u);
    std::vector<std::string> removed;
    ASSERT_EQ(vkdb::DbRemoveOrphans(c().handle(), removed), vkdb::DbOk);
    EXPECT_EQ(removed.size(), 6u);
    reload();
    ASSERT_EQ(books->ClearBooks[0]->Slides.size(), 1);
    EXPECT_TRUE(QFile::exists(books->ClearBooks[0]->Slides[0]->Objects.Objects[0]->Rec.Obj_Media));
}

} // namespace
