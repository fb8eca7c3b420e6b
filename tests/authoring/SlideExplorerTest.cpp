// The slide explorer's rules (what a drop accepts, where it puts slides and objects) and the
// ClearBook list's operations its drops run: a slide moved or copied, within its ClearBook or
// into another, stored in order and found so after a restart.
#include "AT_DbClearbook.h"
#include "EditedSlide.h"
#include "FlagList.h"
#include "ObjectKinds.h"
#include "Schema.h"
#include "RecordStatements.h"
#include "SlideExplorerRules.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace vk;

namespace {

TEST(SlideExplorerRulesTest, WhatEachNodeAccepts)
{
    using L = NodeLevel;
    using S = DragSource;
    struct Case
    {
        S source;
        bool media;
        bool none, book, slide, object;
    };
    const Case cases[] = {
        {S::SurfaceObject, true, false, false, true, true},
        {S::FolderWindowMedia, true, false, true, true, true},
        {S::FolderExplorerNode, true, false, false, true, true},
        {S::FolderExplorerNode, false, false, false, false, false}, // a root folder or sub-folder tile
        {S::ClearBookNode, true, false, true, false, false},
        {S::SlideNode, true, false, true, true, false},
        {S::ObjectNode, true, false, false, true, true},
        {S::Other, true, false, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.source));
        EXPECT_EQ(AcceptsDrop(c.source, L::None, c.media), c.none);
        EXPECT_EQ(AcceptsDrop(c.source, L::ClearBook, c.media), c.book);
        EXPECT_EQ(AcceptsDrop(c.source, L::Slide, c.media), c.slide);
        EXPECT_EQ(AcceptsDrop(c.source, L::Object, c.media), c.object);
    }
    EXPECT_EQ(DropKindOf(S::FolderExplorerNode, false), 0);
    EXPECT_EQ(DropKindOf(S::FolderExplorerNode, true), 1);
    EXPECT_EQ(DropKindOf(S::SlideNode), 3);
    EXPECT_EQ(DropKindOf(S::SurfaceObject), 4);
}

TEST(SlideExplorerRulesTest, WhereDroppedSlidesAndObjectsGo)
{
    using L = NodeLevel;
    struct SlideCase
    {
        L level;
        int target, count, old, place;
    };
    const SlideCase slides[] = {
        {L::ClearBook, 0, 3, 1, 2},  // the second of three onto its own ClearBook: to the end
        {L::ClearBook, 0, 3, 2, -1}, // the last onto its ClearBook: nowhere to go
        {L::ClearBook, 0, 3, -1, 3}, // from another ClearBook (or a copy): after the last
        {L::Slide, 0, 3, 2, 1},      // the last onto the first: after it
        {L::Slide, 2, 3, 0, 2},      // the first onto the last: the last place
        {L::Slide, 1, 3, 1, -1},     // onto itself
        {L::Slide, 0, 3, 1, -1},     // onto the one before it: where it is
        {L::Slide, -1, 3, 2, 0},     // above the first slide
        {L::Slide, 1, 2, -1, 2},     // a copy after the last
        {L::Object, 0, 3, 1, -1},    // a slide is not dropped on an object
    };
    for (const SlideCase &c : slides)
        EXPECT_EQ(SlideDropPlace(c.level, c.target, c.count, c.old), c.place)
            << int(c.level) << " " << c.target << " " << c.count << " " << c.old;

    EXPECT_EQ(ObjectDropPosition(L::Slide, -1, 4), 4) << "on a slide: the end of its design order";
    EXPECT_EQ(ObjectDropPosition(L::Object, 1, 4), 2) << "on an object: after it";
    EXPECT_EQ(ObjectDropPosition(L::Object, 3, 4), 4);
    EXPECT_EQ(PositionAfterTakingOut(3, {0, 4}), 2) << "only the old places before it count";
    EXPECT_EQ(PositionAfterTakingOut(0, {0}), 0);

    EXPECT_EQ(DropPointFor(QPoint(100, 50), 0), QPoint(100, 50));
    EXPECT_EQ(DropPointFor(QPoint(100, 50), 2), QPoint(140, 90));
    EXPECT_EQ(DropPointFor(NoDropPoint, 3), NoDropPoint) << "a drop without a surface point gives none";
}

class SlideMoveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(c());
        AuthoringSchemaCheck(c());
        ASSERT_TRUE(work.isValid());
        c().setTempFilePrefix(work.path() + QLatin1Char('/'));
        books = std::make_unique<TDbClearBookList>(c());
        ASSERT_TRUE(books->LoadClearBooks());
        tour = books->CreateClearBook("Tour", "");
        extras = books->CreateClearBook("Extras", "");
        ASSERT_TRUE(tour && extras);
        for (const char *t : {"A", "B", "C"})
            add(tour, t);
        add(extras, "X");
    }
    Connection &c() { return src.connection; }

    // A stored slide with a button and a flag.
    TDbSlide *add(TDbClearBook *cb, const QString &title)
    {
        EditedSlide edited(*books);
        TDbSlide *s = edited.openNew(cb, title, "");
        TsObject r;
        r.Obj_TypeId = ObjectKind::Button;
        r.Title = title + QStringLiteral(" button");
        r.Left = r.Top = 10;
        r.Width = 100;
        r.Height = 30;
        r.Left_S = r.Top_S = 10;
        r.Width_S = 100;
        r.Height_S = 30;
        r.Bar_Left = 0;
        r.Bar_Width = 500;
        r.Tag = 0;
        edited.requestAddObject(r);
        TsFlag f;
        f.Kind = FlagKind::Label;
        f.Flag_Name = title + QStringLiteral("Label");
        f.Flag_StartTime = 100;
        edited.requestAddFlag(f);
        EXPECT_TRUE(edited.save());
        edited.close();
        return s;
    }
    static QString titles(const TDbClearBook *cb)
    {
        QStringList out;
        for (const TDbSlide *s : cb->Slides)
            out << s->Rec.Slide_Title;
        return out.join(',');
    }
    // The model as a restart finds it.
    void reload()
    {
        books = std::make_unique<TDbClearBookList>(c());
        ASSERT_TRUE(books->LoadClearBooks());
        tour = books->ClearBooks.value(0);
        extras = books->ClearBooks.value(1);
    }
    QStringList flagNames(TDbSlide *s)
    {
        TDbFlagList flags(c());
        EXPECT_TRUE(flags.LoadFlags(s));
        QStringList out;
        for (const TDbFlag *f : flags.Flags)
            out << f->Rec.Flag_Name;
        return out;
    }

    TempDataSource src;
    QTemporaryDir work;
    std::unique_ptr<TDbClearBookList> books;
    TDbClearBook *tour = nullptr, *extras = nullptr;
};

TEST_F(SlideMoveTest, AReorderedSlideIsStoredInOrder)
{
    TDbSlide *b = tour->Slides[1];
    ASSERT_TRUE(books->MoveSlideTo(b, tour, SlideDropPlace(NodeLevel::ClearBook, 0, 3, 1)));
    EXPECT_EQ(titles(tour), QStringLiteral("A,C,B"));
    ASSERT_TRUE(books->MoveSlideTo(tour->Slides[2], tour, 0));
    EXPECT_EQ(titles(tour), QStringLiteral("B,A,C"));
    reload();
    EXPECT_EQ(titles(tour), QStringLiteral("B,A,C")) << "after a restart";
}

TEST_F(SlideMoveTest, ASlideMovedIntoAnotherClearBookTakesItsObjectsFlagsAndLinks)
{
    // A's button leads to B, and C ends with a jump to B: both follow B into the other book.
    TDbSlide *a = tour->Slides[0], *b = tour->Slides[1], *cs = tour->Slides[2];
    ASSERT_TRUE(books->SetLinkRow(a->Objects.Objects[0]->Rec.OID, tour->Rec.CB_Id, b->Rec.Slide_Id));
    SlideProperties p = SlidePropertiesOf(cs->Rec);
    p.jumpCB = tour->Rec.CB_Id;
    p.jumpSlide = b->Rec.Slide_Id;
    ASSERT_TRUE(books->SetSlideProperties(cs, p));
    reload();
    b = tour->Slides[1];
    const int id = b->Rec.Slide_Id;
    ASSERT_TRUE(books->MoveSlideTo(b, extras, 0));
    EXPECT_EQ(titles(tour), QStringLiteral("A,C"));
    EXPECT_EQ(titles(extras), QStringLiteral("B,X"));
    reload();
    EXPECT_EQ(titles(extras), QStringLiteral("B,X")) << "after a restart";
    TDbSlide *moved = extras->Slides[0];
    EXPECT_EQ(moved->Rec.Slide_Id, id);
    ASSERT_EQ(moved->Objects.Objects.size(), 1);
    EXPECT_EQ(moved->Objects.Objects[0]->Rec.CB_Id, extras->Rec.CB_Id);
    EXPECT_EQ(flagNames(moved), QStringList{"BLabel"}) << "the flags went with the slide";
    const TsObject &link = tour->Slides[0]->Objects.Objects[0]->Rec;
    EXPECT_EQ(link.Obj_Link_CBId, extras->Rec.CB_Id);
    EXPECT_EQ(link.Obj_Link_SlideId, id);
    EXPECT_EQ(tour->Slides[1]->Rec.Jump_CB_Id, extras->Rec.CB_Id);
    EXPECT_EQ(tour->Slides[1]->Rec.Jump_Slide_Id, id);
}

TEST_F(SlideMoveTest, ACopyKeepsItsLinksInsideTheBookAndItsFlags)
{
    TDbSlide *a = tour->Slides[0], *c3 = tour->Slides[2];
    ASSERT_TRUE(books->SetLinkRow(a->Objects.Objects[0]->Rec.OID, tour->Rec.CB_Id, c3->Rec.Slide_Id));
    SlideProperties p = SlidePropertiesOf(a->Rec);
    p.jumpSlide = EndingAction::Repeat;
    p.color = QStringLiteral("clNavy");
    ASSERT_TRUE(books->SetSlideProperties(a, p));
    reload();
    a = tour->Slides[0];
    TDbSlide *inBook = books->CopySlideTo(a, tour, 1);
    ASSERT_TRUE(inBook);
    TDbSlide *elsewhere = books->CopySlideTo(a, extras, 5);
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(titles(tour), QStringLiteral("A,A,B,C"));
    EXPECT_EQ(titles(extras), QStringLiteral("X,A"));
    reload();
    EXPECT_EQ(titles(tour), QStringLiteral("A,A,B,C"));
    EXPECT_EQ(titles(extras), QStringLiteral("X,A"));
    const int cId = tour->Slides[3]->Rec.Slide_Id;
    for (TDbSlide *copy : {tour->Slides[1], extras->Slides[1]}) {
        ASSERT_EQ(copy->Objects.Objects.size(), 1);
        EXPECT_EQ(copy->Objects.Objects[0]->Rec.Obj_Link_CBId, tour->Rec.CB_Id);
        EXPECT_EQ(copy->Objects.Objects[0]->Rec.Obj_Link_SlideId, cId) << "still leads to C of the Tour";
        EXPECT_EQ(copy->Rec.Jump_Slide_Id, EndingAction::Repeat);
        EXPECT_EQ(copy->Rec.Slide_BColor, QStringLiteral("clNavy"));
        EXPECT_EQ(flagNames(copy), QStringList{"ALabel"});
        EXPECT_NE(copy->Rec.Slide_Id, tour->Slides[0]->Rec.Slide_Id);
    }
    EXPECT_EQ(tour->Slides[0]->Objects.Objects.size(), 1) << "the original keeps its object";
}

TEST_F(SlideMoveTest, SettingAnotherSlidesPropertiesWritesThemAtOnce)
{
    TDbSlide *b = tour->Slides[1];
    SlideProperties p = SlidePropertiesOf(b->Rec);
    p.title = QStringLiteral("Bee");
    p.gradient = 1;
    p.jumpSlide = EndingAction::Sequence;
    const QString text = QStringLiteral("notes");
    ASSERT_TRUE(books->SetSlideProperties(b, p, &text));
    p.style = QStringLiteral("9");
    EXPECT_FALSE(books->SetSlideProperties(b, p)) << "refused";
    EXPECT_EQ(src.ui.messages.value(0), QStringLiteral("The picture style is Center, Full or Tile."));
    reload();
    const TsSlide &r = tour->Slides[1]->Rec;
    EXPECT_EQ(r.Slide_Title, QStringLiteral("Bee"));
    EXPECT_EQ(r.Slide_Gradient, 1);
    EXPECT_EQ(r.Slide_BGroundX, QStringLiteral("0"));
    EXPECT_EQ(r.Jump_Slide_Id, EndingAction::Sequence);
    QString stored;
    ASSERT_TRUE(ReadDescription(c(), r.OID, RecordKind::Slide, &stored));
    EXPECT_EQ(stored, text);
}

} // namespace
