// The edited slide's requests: each one made or refused by the model's own rules, a made one
// one step that undo and redo take back and forth, a refused one no step and no change.
#include "EditedSlide.h"

#include "DbFolder.h"
#include "ObjectKinds.h"
#include "RecordStatements.h"
#include "Schema.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <functional>

using namespace vk;

namespace {

class EditedSlideTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(c());
        AuthoringSchemaCheck(c());
        ASSERT_TRUE(work.isValid());
        c().setTempFilePrefix(work.path() + QLatin1Char('/'));
        ASSERT_TRUE(books.LoadClearBooks());
        cb = books.CreateClearBook("Book", "");
        ASSERT_TRUE(cb);
    }
    Connection &c() { return src.connection; }

    static TsObject record(int kind, const QString &title, int barLeft = 0, int barWidth = 500)
    {
        TsObject r;
        r.Obj_TypeId = kind;
        r.Title = title;
        r.Bar_Left = barLeft;
        r.Bar_Width = barWidth;
        r.Left = r.Top = 10;
        r.Width = 120;
        r.Height = 60;
        r.Left_S = r.Top_S = 10;
        r.Width_S = 120;
        r.Height_S = 60;
        r.Tag = 0;
        return r;
    }

    QString picture(const QString &name, int w = 8, int h = 6)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::red);
        const QString path = work.filePath(name);
        img.save(path, "PNG");
        return path;
    }

    // Everything a person sees of the slide and its flags, one text.
    QString state() const
    {
        QStringList out;
        for (const TDbObject *o : edited.objects())
            out << QStringLiteral("%1 %2,%3 %4x%5 bar %6+%7 kind %8 caption=%9 memo=%10 disabled=%11 link=%12/%13 "
                                  "props=%14")
                       .arg(o->Rec.Title)
                       .arg(o->Rec.Left)
                       .arg(o->Rec.Top)
                       .arg(o->Rec.Width)
                       .arg(o->Rec.Height)
                       .arg(o->Rec.Bar_Left)
                       .arg(o->Rec.Bar_Width)
                       .arg(o->Rec.Obj_TypeId)
                       .arg(o->Rec.Caption, o->MemoText)
                       .arg(o->Disabled)
                       .arg(o->Rec.Obj_Link_CBId)
                       .arg(o->Rec.Obj_Link_SlideId)
                       .arg(o->Rec.Spec_Property2);
        QStringList design;
        if (edited.slide())
            for (const TDbObject *o : edited.slide()->Objects.DesignOrder)
                design << o->Rec.Title;
        return out.join('|') + QStringLiteral(" design:") + design.join(',') + QStringLiteral(" flags:") +
               flags().join(',');
    }
    QStringList flags() const
    {
        QStringList out;
        for (const TDbFlag *f : edited.flags().Flags)
            out << QStringLiteral("%1@%2/%3").arg(f->Rec.Flag_Name).arg(f->Rec.Flag_StartTime).arg(f->Rec.Loop_EndTime);
        return out;
    }
    QString bars() const
    {
        QStringList out;
        for (const TDbObject *o : edited.objects())
            out << QStringLiteral("%1+%2").arg(o->Rec.Bar_Left).arg(o->Rec.Bar_Width);
        return out.join(' ');
    }
    static TsFlag flag(FlagKind kind, const QString &name, int time, int loopEnd = 0, int associated = 0)
    {
        TsFlag f;
        f.Kind = kind;
        f.Flag_Name = name;
        f.Flag_StartTime = time;
        f.Loop_EndTime = loopEnd;
        f.Time_Associated = associated;
        f.FlagActive = kind == FlagKind::LoopStart; // loops here are counted
        return f;
    }

    TempDataSource src;
    QTemporaryDir work;
    TDbClearBookList books{src.connection};
    EditedSlide edited{books};
    TDbClearBook *cb = nullptr;
};

// Every attribute request on the objects it is for is one step; on objects it is not for, or
// when it would change nothing, it is refused and leaves no step.
TEST_F(EditedSlideTest, EachRequestIsOneStepOrRefusedWithNothingChanged)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    TDbObject *rect = edited.requestAddObject(record(ObjectKind::Rectangle, "rect"));
    TDbObject *text = edited.requestAddObject(record(ObjectKind::Text, "text"));
    TDbObject *memo = edited.requestAddObject(record(ObjectKind::Memo, "memo"));
    TDbObject *button = edited.requestAddObject(record(ObjectKind::Button, "button"));
    ASSERT_TRUE(rect && text && memo && button);
    ObjectProperties pen = newObjectProperties(ObjectKind::Rectangle);
    pen.PenWidth = 5;
    pen.BrushStyle = 1;
    auto widthOnly = [](int width) {
        GraphicChoice c;
        c.penWidth = width;
        return c;
    };

    using Request = std::function<bool()>;
    const struct
    {
        const char *what;
        QList<TDbObject *> selected;
        Request request;
        bool made;
    } cases[] = {
        {"caption of a text", {text}, [&] { return edited.requestSetCaption("Hello"); }, true},
        {"caption of a button", {button}, [&] { return edited.requestSetCaption("Go"); }, true},
        {"caption of a shape", {rect}, [&] { return edited.requestSetCaption("no"); }, false},
        {"the same caption again", {text}, [&] { return edited.requestSetCaption("Hello"); }, false},
        {"transparent text", {text}, [&] { return edited.requestSetTransparent(false); }, true},
        {"transparent shape", {rect}, [&] { return edited.requestSetTransparent(false); }, false},
        {"font of text and button",
         {text, button},
         [&] { return edited.requestSetFont({"Serif", 30, true, false, false, false}); },
         true},
        {"font of a shape", {rect}, [&] { return edited.requestSetFont({"Serif", 30}); }, false},
        {"colour of a memo", {memo}, [&] { return edited.requestSetColor(0x00FF00); }, true},
        {"colour of a button", {button}, [&] { return edited.requestSetColor(0x00FF00); }, false},
        {"memo text", {memo}, [&] { return edited.requestSetMemoText("a long note"); }, true},
        {"memo text of a text", {text}, [&] { return edited.requestSetMemoText("no"); }, false},
        {"pen and brush", {rect}, [&] { return edited.requestSetGraphicAttributes(pen); }, true},
        {"pen of a text", {text}, [&] { return edited.requestSetGraphicAttributes(pen); }, false},
        {"disabled", {rect, text}, [&] { return edited.requestSetDisabled(true); }, true},
        {"disabled again", {rect, text}, [&] { return edited.requestSetDisabled(true); }, false},
        {"a link", {button}, [&] { return edited.requestSetLink(0, -1); }, true},
        {"the same link", {button}, [&] { return edited.requestSetLink(0, -1); }, false},
        {"moved", {rect, memo}, [&] { return edited.requestMove({rect, memo}, 7, -3); }, true},
        {"moved by nothing", {rect}, [&] { return edited.requestMove({rect}, 0, 0); }, false},
        {"resized", {rect}, [&] { return edited.requestResize(rect, QRect(5, 5, 40, 30)); }, true},
        {"resized to nothing", {rect}, [&] { return edited.requestResize(rect, QRect(5, 5, 0, 30)); }, false},
        {"to the front", {rect}, [&] { return edited.requestBringToFront(); }, true},
        {"to the back", {button}, [&] { return edited.requestSendToBack(); }, true},
        {"to the front with nothing selected", {}, [&] { return edited.requestBringToFront(); }, false},
        {"a bar", {}, [&] { return edited.requestSetBar(text, 250, 100); }, true},
        {"a bar before 0", {}, [&] { return edited.requestSetBar(text, -1, 100); }, false},
        {"a bar of no length", {}, [&] { return edited.requestSetBar(text, 0, 0); }, false},
        {"a shape to its picture's size",
         {rect},
         [&] { return edited.requestResizeToPicture(PictureSize::Actual, [](const TDbObject *) { return QSize(8, 6); }); },
         false},
        {"pen width alone", {rect, text}, [&] { return edited.requestSetGraphicAttributes(widthOnly(3)); }, true},
        {"the same pen width", {rect}, [&] { return edited.requestSetGraphicAttributes(widthOnly(3)); }, false},
        {"a pen width beyond the list", {rect}, [&] { return edited.requestSetGraphicAttributes(widthOnly(7)); }, false},
        {"a pen width of a text", {text}, [&] { return edited.requestSetGraphicAttributes(widthOnly(2)); }, false},
        {"first in the design order", {}, [&] { return edited.requestReorder({button}, 0); }, true},
        {"where it is already", {}, [&] { return edited.requestReorder({button}, 0); }, false},
        {"two to the end of the design order", {}, [&] { return edited.requestReorder({rect, text}, 4); }, true},
        {"one object twice", {}, [&] { return edited.requestReorder({memo, memo}, 0); }, false},
        {"removed", {}, [&] { return edited.requestRemoveObjects({memo}); }, true},
        {"removed again", {}, [&] { return edited.requestRemoveObjects({memo}); }, false},
        {"a removed one reordered", {}, [&] { return edited.requestReorder({memo}, 0); }, false},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.what);
        edited.setSelection(k.selected);
        const QString before = state();
        const bool couldUndo = edited.canUndo();
        ASSERT_EQ(k.request(), k.made);
        const QString after = state();
        if (!k.made) {
            EXPECT_EQ(after, before);
            // The refused request left no step: an undo now takes back the step before it.
            EXPECT_EQ(edited.canUndo(), couldUndo);
            continue;
        }
        EXPECT_NE(after, before);
        ASSERT_TRUE(edited.undo());
        EXPECT_EQ(state(), before);
        EXPECT_TRUE(edited.canRedo());
        ASSERT_TRUE(edited.redo());
        EXPECT_EQ(state(), after);
        EXPECT_FALSE(edited.canRedo());
    }
    // The attributes live in the property text, as the slide stores them.
    EXPECT_TRUE(text->Rec.Spec_Property2.startsWith("Font_Name=Serif\r\n")) << text->Rec.Spec_Property2.toStdString();
    EXPECT_TRUE(rect->Rec.Spec_Property2.contains("BrushStyle=1\r\nPenWidth=3\r\n")) << rect->Rec.Spec_Property2.toStdString();
    EXPECT_TRUE(rect->Rec.Spec_Property2.contains("DisableFlag=True")) << rect->Rec.Spec_Property2.toStdString();
}

// The Graphic Attribute dialog on several shapes changes only what was chosen in it: each shape
// keeps its own other attributes. A reorder keeps the objects chosen.
TEST_F(EditedSlideTest, AGraphicChoiceChangesOnlyWhatWasChosenAndAReorderKeepsTheSelection)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    TDbObject *red = edited.requestAddObject(record(ObjectKind::Rectangle, "red"));
    TDbObject *blue = edited.requestAddObject(record(ObjectKind::Ellipse, "blue"));
    ASSERT_TRUE(red && blue);
    ObjectProperties p = red->Props;
    p.BrushColor = 0x0000FF;
    p.PenStyle = 2;
    edited.setSelection({red});
    ASSERT_TRUE(edited.requestSetGraphicAttributes(p));
    p.BrushColor = 0xFF0000;
    p.PenStyle = 0;
    edited.setSelection({blue});
    ASSERT_TRUE(edited.requestSetGraphicAttributes(p));

    edited.setSelection({red, blue});
    GraphicChoice c;
    c.penWidth = 4;
    c.arrow = 3;
    ASSERT_TRUE(edited.requestSetGraphicAttributes(c));
    EXPECT_EQ(red->Props.PenWidth, 4);
    EXPECT_EQ(blue->Props.PenWidth, 4);
    EXPECT_EQ(red->Props.BrushColor, 0x0000FF);
    EXPECT_EQ(blue->Props.BrushColor, 0xFF0000);
    EXPECT_EQ(red->Props.PenStyle, 2);
    EXPECT_EQ(blue->Props.PenStyle, 0);
    EXPECT_TRUE(red->Rec.Spec_Property2.contains("PenWidth=4\r\n")) << red->Rec.Spec_Property2.toStdString();
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(red->Props.PenWidth, 1);
    EXPECT_EQ(red->Props.Arrow, 0);

    edited.setSelection({red, blue});
    ASSERT_TRUE(edited.requestReorder({blue}, 0));
    EXPECT_EQ(edited.slide()->Objects.DesignOrder, (QList<TDbObject *>{blue, red}));
    EXPECT_EQ(edited.selection().size(), 2);
    EXPECT_TRUE(red->Selected && blue->Selected);
    // The stack is not the design order: the ellipse still lies above.
    EXPECT_EQ(edited.objects(), (QList<TDbObject *>{red, blue}));
}

// A drag is one step however many moves it makes; cancelled, it puts everything back.
TEST_F(EditedSlideTest, ADragIsOneStepAndACancelledDragLeavesNothing)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    TDbObject *rect = edited.requestAddObject(record(ObjectKind::Rectangle, "rect"));
    const QString before = state();

    edited.beginDrag();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(edited.requestMove({rect}, 3, 2));
    ASSERT_TRUE(edited.requestSetBar(rect, 100, 300));
    EXPECT_FALSE(edited.undo()) << "no undo in the middle of a drag";
    edited.endDrag();
    EXPECT_EQ(rect->Rec.Left, 25);
    EXPECT_EQ(rect->Rec.Bar_Left, 100);
    const QString after = state();
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(state(), before);
    ASSERT_TRUE(edited.redo());
    EXPECT_EQ(state(), after);

    // Cancelled (Escape during the drag): back where it was, no step.
    edited.beginDrag();
    edited.requestMove({rect}, 40, 40);
    edited.cancelDrag();
    EXPECT_EQ(state(), after);
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(state(), before) << "the undo takes back the drag before, not the cancelled one";

    // A drag that ends where it began is no step.
    ASSERT_TRUE(edited.redo());
    edited.beginDrag();
    edited.requestMove({rect}, 5, 0);
    edited.requestMove({rect}, -5, 0);
    edited.endDrag();
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(state(), before);
}

TEST_F(EditedSlideTest, TypedBarTimesAndAlignment)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    TDbObject *a = edited.requestAddObject(record(ObjectKind::Rectangle, "a", 100, 200));
    TDbObject *b = edited.requestAddObject(record(ObjectKind::Ellipse, "b", 0, 500));
    TDbObject *c = edited.requestAddObject(record(ObjectKind::Text, "c", 300, 50));
    ASSERT_EQ(bars(), "100+200 0+500 300+50");

    // Typed times: never shorter than half a second; a typed start keeps the end.
    edited.setSelection({a});
    ASSERT_TRUE(edited.requestSetBarLength(10));
    EXPECT_EQ(bars(), "100+50 0+500 300+50");
    ASSERT_TRUE(edited.requestSetBarStart(120));
    EXPECT_EQ(bars(), "120+50 0+500 300+50") << "the end 150 would leave 30: raised to 50";
    ASSERT_TRUE(edited.requestSetBarEnd(400));
    EXPECT_EQ(bars(), "120+280 0+500 300+50");
    EXPECT_FALSE(edited.requestSetBarStart(-1));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(edited.undo());
    ASSERT_EQ(bars(), "100+200 0+500 300+50");

    // The first bar selected is the measure; the others follow in the order they were selected.
    const struct
    {
        BarAlignment how;
        const char *bars;
    } cases[] = {
        {BarAlignment::LeftEdges, "100+200 100+500 100+50"},
        {BarAlignment::RightEdges, "100+200 0+500 250+50"}, // b would start at -200: at 0
        {BarAlignment::LengthEqual, "100+200 0+200 300+200"},
        {BarAlignment::ObjectsEqual, "100+200 100+200 100+200"},
        {BarAlignment::Series, "100+200 300+500 800+50"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(int(k.how));
        edited.setSelection({a, b, c});
        ASSERT_TRUE(edited.requestAlignBars(k.how));
        EXPECT_EQ(bars(), k.bars);
        ASSERT_TRUE(edited.undo());
        EXPECT_EQ(bars(), "100+200 0+500 300+50");
    }
    edited.setSelection({a});
    EXPECT_FALSE(edited.requestAlignBars(BarAlignment::LeftEdges)) << "one bar has nothing to align to";
    EXPECT_EQ(edited.maxTime(), 500);
}

// Flags from a dialog pass the strict rules; an icon dragged on the ruler the lenient ones. A
// loop comes and goes with its end; every flag change is a step.
TEST_F(EditedSlideTest, FlagsAreMadeMovedAndRemovedAsSteps)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    edited.requestAddObject(record(ObjectKind::Rectangle, "rect", 0, 1000));
    EXPECT_EQ(edited.newFlagName(FlagKind::Label), "Label1");

    src.ui.messages.clear();
    EXPECT_FALSE(edited.requestAddFlag(flag(FlagKind::Label, "Late", 1200)));
    EXPECT_EQ(src.ui.messages, QStringList({"Exceed MaxTime"}));
    EXPECT_EQ(edited.flags().count(), 0);

    TDbFlag *label = edited.requestAddFlag(flag(FlagKind::Label, "Here", 100));
    ASSERT_TRUE(label);
    EXPECT_EQ(edited.flags().Selected, label);
    EXPECT_EQ(edited.newFlagName(FlagKind::Delay), "Delay2");
    src.ui.messages.clear();
    EXPECT_FALSE(edited.requestAddFlag(flag(FlagKind::Delay, "Here", 200, 0, 50)));
    EXPECT_EQ(src.ui.messages, QStringList({"Duplicated Flag Name"}));
    EXPECT_FALSE(edited.requestAddFlag(flag(FlagKind::LoopEnd, "End", 200))) << "a loop's end comes with its loop";

    TDbFlag *loop = edited.requestAddFlag(flag(FlagKind::LoopStart, "Loop", 200, 600, 2));
    ASSERT_TRUE(loop);
    EXPECT_EQ(flags(), QStringList({"Here@100/0", "Loop@200/600", "Loop(End)@600/200"}));

    // Changed from its dialog: the end follows; a change the rules refuse changes nothing.
    TsFlag longer = loop->Rec;
    longer.Loop_EndTime = 700;
    longer.Time_Associated = 3;
    ASSERT_TRUE(edited.requestChangeFlag(loop, longer));
    EXPECT_EQ(flags(), QStringList({"Here@100/0", "Loop@200/700", "Loop(End)@700/200"}));
    TsFlag tooLong = longer;
    tooLong.Loop_EndTime = 1100;
    EXPECT_FALSE(edited.requestChangeFlag(loop, tooLong));
    TsFlag otherKind = longer;
    otherKind.Kind = FlagKind::Label;
    EXPECT_FALSE(edited.requestChangeFlag(loop, otherKind)) << "a dialog does not change a flag's kind";

    // Dragged: the time rules do not hold an icon back; the end's icon moves the loop's end.
    TDbFlag *end = edited.flags().at(2);
    ASSERT_EQ(end->kind(), FlagKind::LoopEnd);
    src.ui.messages.clear();
    EXPECT_FALSE(edited.requestMoveFlag(end, 150)) << "however freely dragged, a loop ends after it starts";
    EXPECT_EQ(src.ui.messages, QStringList({"loopstart must less than loopEnd"}));
    ASSERT_TRUE(edited.requestMoveFlag(end, 1500));
    EXPECT_EQ(flags(), QStringList({"Here@100/0", "Loop@200/1500", "Loop(End)@1500/200"}));
    ASSERT_TRUE(edited.requestMoveFlag(label, 1800));
    EXPECT_FALSE(edited.requestMoveFlag(label, -1));
    const QStringList moved = flags();

    // Removing a loop's end removes the loop; undo brings both back.
    ASSERT_TRUE(edited.requestRemoveFlag(edited.flags().at(2)));
    EXPECT_EQ(flags(), QStringList({"Here@1800/0"}));
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(flags(), moved);
    EXPECT_EQ(edited.flags().Partner(edited.flags().at(1)), edited.flags().at(2));
    // Every flag request was one step: back to a slide with no flags.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(edited.undo());
    EXPECT_TRUE(flags().isEmpty());
}

// A jump knows its label's place in the list, whatever came or went before it.
TEST_F(EditedSlideTest, AJumpFollowsItsLabelsPlace)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    edited.requestAddObject(record(ObjectKind::Rectangle, "rect", 0, 1000));
    TDbFlag *early = edited.requestAddFlag(flag(FlagKind::Delay, "Wait", 50, 0, 100));
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::Label, "Back", 100)));
    TsFlag jump = flag(FlagKind::Jump, "Jump", 800);
    jump.Jump_To_MarkName = "Back";
    TDbFlag *j = edited.requestAddFlag(jump);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->Rec.Time_Associated, 1);
    ASSERT_TRUE(edited.requestRemoveFlag(early));
    EXPECT_EQ(edited.flags().at(1)->Rec.Time_Associated, 0);
    jump.Jump_To_MarkName = "Nowhere";
    src.ui.messages.clear();
    EXPECT_FALSE(edited.requestAddFlag(jump));
    EXPECT_EQ(src.ui.messages.size(), 1);
}

// Flags are stored with the slide, and read back when it is opened.
TEST_F(EditedSlideTest, FlagsAreSavedWithTheSlide)
{
    TDbSlide *s = edited.openNew(cb, "slide", "");
    edited.requestAddObject(record(ObjectKind::Rectangle, "rect", 0, 1000));
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::LoopStart, "Loop", 200, 600, 2)));
    ASSERT_TRUE(edited.save());
    ASSERT_TRUE(edited.close());
    EXPECT_TRUE(flags().isEmpty());
    ASSERT_TRUE(edited.open(s));
    EXPECT_EQ(flags(), QStringList({"Loop@200/600", "Loop(End)@600/200"}));
    EXPECT_FALSE(edited.isModified());
    EXPECT_FALSE(edited.canUndo()) << "opening a slide starts its history";
}

// Whether the slide is to be stored follows the steps, and the views hear of it.
TEST_F(EditedSlideTest, TheSlideIsModifiedByEveryStepAndNotByTheSelection)
{
    TDbSlide *s = edited.openNew(cb, "slide", "");
    EXPECT_TRUE(edited.isModified()) << "a new slide asks to be saved";
    TDbObject *rect = edited.requestAddObject(record(ObjectKind::Rectangle, "rect"));
    ASSERT_TRUE(edited.save());
    EXPECT_FALSE(edited.isModified());
    EXPECT_TRUE(edited.canUndo()) << "saving keeps the history";

    int changed = 0;
    QObject::connect(&edited, &EditedSlide::stateChanged, [&changed] { ++changed; });
    edited.selectAll();
    edited.clearSelection();
    EXPECT_FALSE(edited.isModified());
    ASSERT_TRUE(edited.requestMove({rect}, 1, 1));
    EXPECT_TRUE(edited.isModified());
    EXPECT_GE(changed, 1);
    ASSERT_TRUE(edited.save());
    ASSERT_TRUE(edited.undo());
    EXPECT_TRUE(edited.isModified()) << "undoing after a save changes what is stored";
    ASSERT_TRUE(edited.close()); // saves: the recording UI answers yes
    EXPECT_FALSE(edited.isOpen());
    EXPECT_FALSE(edited.canUndo());
    ASSERT_TRUE(edited.open(s));
    EXPECT_EQ(s->Objects.Objects.value(0)->Rec.Left, 10);
}

// An object removed and saved leaves the data source; undoing it stores it again, with its own
// copy of the picture the removal kept.
TEST_F(EditedSlideTest, UndoingARemovalAfterASaveStoresTheObjectAgain)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    TsObject r = record(3, "photo");
    r.Obj_Media = picture("photo.png");
    r.Obj_Flag = false; // the slide keeps its own copy
    TDbObject *photo = edited.requestAddObject(r);
    ASSERT_TRUE(photo);
    ASSERT_TRUE(edited.save());
    const QString stored = photo->Rec.Obj_Media;
    ASSERT_TRUE(QFile::exists(stored));

    ASSERT_TRUE(edited.requestRemoveObjects({photo}));
    ASSERT_TRUE(edited.save());
    EXPECT_TRUE(edited.objects().isEmpty());
    ASSERT_TRUE(edited.undo());
    ASSERT_EQ(edited.objects().size(), 1);
    ASSERT_TRUE(edited.save());
    ASSERT_TRUE(edited.close());

    // As a restart finds it.
    TDbClearBookList again(c());
    ASSERT_TRUE(again.LoadClearBooks());
    ASSERT_EQ(again.ClearBooks.size(), 1);
    TDbSlide *found = again.ClearBooks[0]->Slides.value(0);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->Objects.Objects.size(), 1);
    EXPECT_EQ(found->Objects.Objects[0]->Rec.Title, "photo");
    EXPECT_TRUE(QFile::exists(found->Objects.Objects[0]->Rec.Obj_Media));
}

// A library picture pasted onto the slide keeps its own proportions, landscape or portrait.
TEST_F(EditedSlideTest, APastedPictureKeepsItsProportions)
{
    ASSERT_TRUE(edited.openNew(cb, "slide", ""));
    const struct
    {
        int w, h;
        bool known;
        QSize size;
    } cases[] = {
        {640, 480, true, QSize(100, 75)},
        {480, 640, true, QSize(75, 100)},
        {64, 64, true, QSize(100, 100)},
        {640, 480, false, QSize(100, 100)}, // its size unknown: the square
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(k.w).arg(k.h).toStdString());
        TDbMedia item;
        item.Rec.MediaType = 3;
        item.Rec.Title = "picture";
        item.Rec.MediaFile = picture(QStringLiteral("p%1x%2.png").arg(k.w).arg(k.h), k.w, k.h);
        TSelectedList clipboard{ClipboardEntry{3, false, nullptr, &item, nullptr}};
        const auto own = [&k](const QString &file, int) { return k.known ? QImage(file).size() : QSize(); };
        ASSERT_EQ(edited.requestPaste(clipboard, 150, own), 1);
        ASSERT_EQ(edited.selection().size(), 1);
        const TDbObject *pasted = edited.selection()[0];
        EXPECT_EQ(QSize(pasted->Rec.Width, pasted->Rec.Height), k.size);
        EXPECT_EQ(pasted->Rec.Bar_Left, 150);
        EXPECT_TRUE(pasted->Rec.Obj_Flag) << "the slide shares the library's file";
    }
}

} // namespace

namespace {

// A slide's properties as its dialogs set them: one step of the open slide, refused by the
// model's rules with the reason told, and stored with the slide.
TEST_F(EditedSlideTest, SlidePropertiesAreOneStepAndRefusedByTheRules)
{
    ASSERT_TRUE(edited.openNew(cb, "first", ""));
    ASSERT_TRUE(edited.save());
    TDbSlide *s = edited.slide();
    const SlideProperties before = SlidePropertiesOf(s->Rec);

    SlideProperties p = before;
    p.color = QStringLiteral("clNavy");
    p.gradient = 1;
    p.jumpSlide = EndingAction::Repeat;
    p.background = picture("back.png");
    p.style = QStringLiteral("2");
    ASSERT_TRUE(edited.requestSetSlideProperties(p));
    EXPECT_TRUE(edited.isModified());
    EXPECT_EQ(SlidePropertiesOf(s->Rec), p);
    EXPECT_FALSE(edited.requestSetSlideProperties(p)) << "nothing would change: no step";
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(SlidePropertiesOf(s->Rec), before);
    ASSERT_TRUE(edited.redo());
    EXPECT_EQ(SlidePropertiesOf(s->Rec), p);

    struct Refused
    {
        std::function<void(SlideProperties &)> change;
        const char *text;
    };
    const Refused refused[] = {
        {[](SlideProperties &x) { x.title.clear(); }, "A slide needs a title."},
        {[](SlideProperties &x) { x.title = QString(128, 'x'); }, "A title or an author has at most 127 characters."},
        {[](SlideProperties &x) { x.author = QString(128, 'x'); }, "A title or an author has at most 127 characters."},
        {[](SlideProperties &x) { x.style = QStringLiteral("3"); }, "The picture style is Center, Full or Tile."},
        {[](SlideProperties &x) { x.color = QStringLiteral("no colour"); }, "'no colour' is not a colour."},
        {[this](SlideProperties &x) { x.background = picture("anim.gif"); }, "This format is invalid for wallpaper!"},
        {[this](SlideProperties &x) { x.background = work.filePath("gone.png"); }, nullptr},
        {[](SlideProperties &x) { x.jumpSlide = -2; }, "A slide ends with Pause, Repeat, Sequence or a jump to a slide."},
        {[](SlideProperties &x) {
             x.jumpCB = 999;
             x.jumpSlide = 5;
         },
         "The slide to jump to is not a stored slide of a ClearBook."},
    };
    for (const Refused &r : refused) {
        SlideProperties x = p;
        r.change(x);
        src.ui.messages.clear();
        EXPECT_FALSE(edited.requestSetSlideProperties(x));
        ASSERT_EQ(src.ui.messages.size(), 1);
        if (r.text) {
            EXPECT_EQ(src.ui.messages.first(), QLatin1String(r.text));
        }
        EXPECT_EQ(SlidePropertiesOf(s->Rec), p) << "refused: nothing changed";
    }
    // A title of exactly 127 characters is taken; a jump to the slide itself is one.
    SlideProperties longest = p;
    longest.title = QString(127, 't');
    longest.jumpCB = cb->Rec.CB_Id;
    longest.jumpSlide = s->Rec.Slide_Id;
    EXPECT_TRUE(edited.requestSetSlideProperties(longest));

    // Stored with the slide: the picture as a file of the data source's own.
    const QString description = QStringLiteral("About the slide");
    ASSERT_TRUE(edited.requestSetSlideProperties(longest, &description));
    ASSERT_TRUE(edited.save());
    TDbClearBookList again(c());
    ASSERT_TRUE(again.LoadClearBooks());
    const TsSlide &r = again.ClearBooks.first()->Slides.first()->Rec;
    EXPECT_EQ(r.Slide_Title, longest.title);
    EXPECT_EQ(r.Slide_BColor, QStringLiteral("clNavy"));
    EXPECT_EQ(r.Slide_Gradient, 1);
    EXPECT_EQ(r.Slide_BGroundX, QStringLiteral("2"));
    EXPECT_EQ(r.Jump_Slide_Id, s->Rec.Slide_Id);
    EXPECT_TRUE(QFileInfo(r.Slide_BGround).isFile());
    EXPECT_NE(QFileInfo(r.Slide_BGround).absoluteFilePath(), QFileInfo(p.background).absoluteFilePath());
    QString stored;
    ASSERT_TRUE(ReadDescription(c(), r.OID, RecordKind::Slide, &stored));
    EXPECT_EQ(stored, description);
}

// Each edited description goes to a work file of its own, so that an undo returns to the text
// it had.
TEST_F(EditedSlideTest, AnUndoneDescriptionKeepsItsText)
{
    ASSERT_TRUE(edited.openNew(cb, "first", ""));
    ASSERT_TRUE(edited.save());
    const SlideProperties p = SlidePropertiesOf(edited.slide()->Rec);
    const QString one = QStringLiteral("one"), two = QStringLiteral("two");
    ASSERT_TRUE(edited.requestSetSlideProperties(p, &one));
    const QString first = edited.slide()->Rec.Slide_Describe;
    ASSERT_TRUE(edited.requestSetSlideProperties(p, &two));
    EXPECT_NE(edited.slide()->Rec.Slide_Describe, first);
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(edited.slide()->Rec.Slide_Describe, first);
    ASSERT_TRUE(edited.save());
    QString stored;
    ASSERT_TRUE(ReadDescription(c(), edited.slide()->Rec.OID, RecordKind::Slide, &stored));
    EXPECT_EQ(stored, one);
}

} // namespace
