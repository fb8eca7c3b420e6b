// The Timeline Table and the flag dialogs over an edited slide: the time scale, bars dragged and
// typed, flags placed from the ruler, dragged and edited in their dialogs, each change one step
// of the slide's history and each refusal leaving everything as it was.
#include "AT_Schedule.h"
#include "DelayFormFile.h"
#include "EditedSlide.h"
#include "JumpUnit.h"
#include "LoopUnit.h"
#include "ObjectKinds.h"
#include "PauseFormFile.h"
#include "Schema.h"
#include "TempDataSource.h"
#include "TimeScale.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using namespace vk;

namespace {

TEST(TimeScaleTest, PixelsAndTimesAtEveryUnit)
{
    const struct
    {
        int unit;
        qint64 time;
        int pixels;
        int backToTime; // the time the pixel stands for
    } cases[] = {
        {30, 250, 50, 250}, {30, 100, 20, 100}, {60, 250, 100, 250}, {60, 100, 40, 100},
        {30, 123, 24, 120}, // cut toward zero both ways
        {12, 100, 8, 100},  {1, 100, 0, 0},     {1, 1500, 10, 1500}, {4, 99, 2, 75},
        {30, 0, 0, 0},      {30, 360000, 72000, 360000},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(testing::Message() << "unit " << k.unit << " time " << k.time);
        EXPECT_EQ(TimeToPixels(k.time, k.unit), k.pixels);
        EXPECT_EQ(PixelsToTime(k.pixels, k.unit), k.backToTime);
    }
    // The zoom steps stop at both ends of the table.
    EXPECT_EQ(ExpandedZoomIndex(0), 0);
    EXPECT_EQ(ExpandedZoomIndex(1), 0);
    EXPECT_EQ(ContractedZoomIndex(7), 7);
    EXPECT_EQ(TimeScaleUnits[InitialZoomIndex], 30);
}

class ScheduleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(src.connection);
        AuthoringSchemaCheck(src.connection);
        ASSERT_TRUE(books.LoadClearBooks());
        cb = books.CreateClearBook("Book", "");
        ASSERT_TRUE(edited.openNew(cb, "slide", ""));
        table.resize(900, 320);
        table.show();
        // Dialogs are answered by the tests, never shown.
        table.runDialog = [this](TFlagForm *form, TDbFlag *flag, int time) {
            form->Prepare(flag, time);
            return answer ? answer(form) : false;
        };
    }

    TDbObject *add(int kind, const QString &title, int start, int length)
    {
        TsObject r;
        r.Obj_TypeId = kind;
        r.Title = title;
        r.Bar_Left = start;
        r.Bar_Width = length;
        r.Left = r.Top = r.Left_S = r.Top_S = 10;
        r.Width = r.Height = r.Width_S = r.Height_S = 50;
        return edited.requestAddObject(r);
    }
    QString bars() const
    {
        QStringList out;
        for (const TDbObject *o : edited.objects())
            out << QStringLiteral("%1+%2").arg(o->Rec.Bar_Left).arg(o->Rec.Bar_Width);
        return out.join(' ');
    }
    QStringList flags() const
    {
        QStringList out;
        for (const TDbFlag *f : edited.flags().Flags)
            out << QStringLiteral("%1@%2").arg(f->Rec.Flag_Name).arg(f->Rec.Flag_StartTime);
        return out;
    }
    TsFlag flag(FlagKind kind, const QString &name, int time, int end = 0) const
    {
        TsFlag f;
        f.Kind = kind;
        f.Flag_Name = name;
        f.Flag_StartTime = time;
        f.Loop_EndTime = end;
        f.FlagActive = kind == FlagKind::LoopStart;
        f.Time_Associated = kind == FlagKind::LoopStart ? 1 : 0;
        return f;
    }
    QWidget *view() const { return reinterpret_cast<QWidget *>(table.view()); }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {})
    {
        QTest::mousePress(view(), Qt::LeftButton, mods, from);
        QTest::mouseMove(view(), (from + to) / 2);
        QTest::mouseMove(view(), to);
        QTest::mouseRelease(view(), Qt::LeftButton, mods, to);
    }

    TempDataSource src;
    TDbClearBookList books{src.connection};
    EditedSlide edited{books};
    TfrmSchedule table{edited};
    TDbClearBook *cb = nullptr;
    std::function<bool(TFlagForm *)> answer;
};

TEST_F(ScheduleTest, BarsArePlacedByTheScaleAndTheScaleStopsAtItsEnds)
{
    TDbObject *o = add(ObjectKind::Rectangle, "rect", 250, 100);
    const QRect at30 = table.barRect(o);
    EXPECT_EQ(at30.width(), 20);
    ASSERT_TRUE(table.ZoomIn());
    EXPECT_EQ(table.unit(), 60);
    const QRect at60 = table.barRect(o);
    EXPECT_EQ(at60.width(), 40);
    EXPECT_EQ(at60.left() - table.barRect(o).left(), 0);
    EXPECT_EQ(at60.left() - at30.left(), 50) << "from pixel 50 to pixel 100";
    EXPECT_FALSE(table.ZoomIn());
    while (table.ZoomOut()) {
    }
    EXPECT_EQ(table.unit(), 1);
    EXPECT_EQ(table.MaxTimeEdit->text(), "3.50");
}

// A bar dragged by the mouse moves (keeping its length) or is resized at either end; the
// selected bars move together, and the whole drag is one step.
TEST_F(ScheduleTest, DraggedBarsMoveOrResizeAsOneStep)
{
    TDbObject *a = add(ObjectKind::Rectangle, "a", 250, 123);
    TDbObject *b = add(ObjectKind::Ellipse, "b", 500, 500);
    edited.setSelection({a, b});
    const QString before = bars();
    const QRect bar = table.barRect(a);
    // 20 pixels at unit 30 are a second.
    drag(bar.center(), bar.center() + QPoint(20, 0));
    EXPECT_EQ(bars(), "350+123 600+500");
    EXPECT_EQ(table.StartTime->text(), "3.50");
    EXPECT_EQ(table.ObjectTimeLength->text(), "1.23");
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(bars(), before);

    const struct
    {
        const char *what;
        int dx;
        bool rightEnd;
        const char *bars;
    } cases[] = {
        {"longer at the right end", 10, true, "250+173 500+500"},
        {"shorter at the right end, never below 1", -400, true, "250+1 500+500"},
        {"the left end later, the right end kept", 10, false, "300+73 500+500"},
        {"the left end not before 0", -400, false, "0+373 500+500"},
        {"the left end not past the right", 300, false, "348+25 500+500"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.what);
        edited.selectOnly(a);
        const QRect r = table.barRect(a);
        const QPoint from(k.rightEnd ? r.right() : r.left(), r.center().y());
        drag(from, from + QPoint(k.dx, 0));
        EXPECT_EQ(bars(), k.bars);
        ASSERT_TRUE(edited.undo());
        EXPECT_EQ(bars(), before);
    }
    // A plain click is no change; Escape during a drag puts it back.
    edited.selectOnly(a);
    QTest::mouseClick(view(), Qt::LeftButton, {}, table.barRect(a).center());
    EXPECT_EQ(bars(), before);
    QTest::mousePress(view(), Qt::LeftButton, {}, table.barRect(a).center());
    QTest::mouseMove(view(), table.barRect(a).center() + QPoint(40, 0));
    QTest::keyClick(view(), Qt::Key_Escape);
    QTest::mouseRelease(view(), Qt::LeftButton, {}, table.barRect(a).center() + QPoint(40, 0));
    EXPECT_EQ(bars(), before);
}

// A drag held past the table's right edge scrolls on; the bar keeps following the pointer.
TEST_F(ScheduleTest, ADragHeldPastTheEdgeScrollsOn)
{
    TDbObject *a = add(ObjectKind::Rectangle, "a", 0, 20000);
    edited.selectOnly(a);
    const int y = table.barRect(a).center().y();
    const QPoint from(100, y), edge(view()->width() - 2, y);
    QTest::mousePress(view(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view(), edge);
    QTest::qWait(800);
    QTest::mouseRelease(view(), Qt::LeftButton, {}, edge);
    EXPECT_GT(a->Rec.Bar_Left, table.pixelsToTime(edge.x() - from.x()))
        << "the table scrolled on under the held pointer";
    EXPECT_EQ(a->Rec.Bar_Width, 20000);
}

TEST_F(ScheduleTest, ClicksSelectBarsAsTheSurfaceDoes)
{
    TDbObject *a = add(ObjectKind::Rectangle, "a", 0, 500);
    TDbObject *b = add(ObjectKind::Text, "b", 100, 500);
    QTest::mouseClick(view(), Qt::LeftButton, {}, table.barRect(a).center());
    EXPECT_EQ(edited.selection(), QList<TDbObject *>{a});
    QTest::mouseClick(view(), Qt::LeftButton, Qt::ShiftModifier, table.barRect(b).center());
    EXPECT_EQ(edited.selection(), (QList<TDbObject *>{a, b}));
    QTest::mouseClick(view(), Qt::LeftButton, Qt::ShiftModifier, table.barRect(a).center());
    EXPECT_EQ(edited.selection(), QList<TDbObject *>{b});
    // The empty part of a row clears the selection and the boxes.
    QTest::mouseClick(view(), Qt::LeftButton, {}, table.barRect(b).center() + QPoint(400, 0));
    EXPECT_TRUE(edited.selection().isEmpty());
    EXPECT_TRUE(table.StartTime->text().isEmpty());
}

// Typed times are seconds; a typed length is never shorter than half a second.
TEST_F(ScheduleTest, TypedTimesSetTheSelectedBars)
{
    TDbObject *a = add(ObjectKind::Rectangle, "a", 100, 400);
    edited.selectOnly(a);
    const struct
    {
        QLineEdit *box;
        const char *text;
        const char *bars;
    } cases[] = {
        {table.ObjectTimeLength, "0.2", "100+50"},
        {table.ObjectTimeLength, "2.3", "100+230"}, // not 229
        {table.StartTime, "3", "300+50"},           // the end 330 kept would leave 30
        {table.EndTime, "10.5", "300+750"},
        {table.StartTime, "1", "100+950"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.text);
        k.box->setFocus();
        k.box->selectAll();
        QTest::keyClicks(k.box, QString::fromLatin1(k.text));
        QTest::keyClick(k.box, Qt::Key_Return);
        EXPECT_EQ(bars(), k.bars);
    }
    for (size_t i = 0; i < std::size(cases); ++i)
        ASSERT_TRUE(edited.undo());
    EXPECT_EQ(bars(), "100+400");
}

// A press on the ruler with a flag button down opens that kind's dialog at the press's time;
// OK makes the flag, the button goes up.
TEST_F(ScheduleTest, AFlagButtonAndARulerPressPlaceAFlag)
{
    add(ObjectKind::Rectangle, "a", 0, 1000);
    QToolButton *delay = table.flagButton(FlagKind::Delay);
    delay->click();
    EXPECT_TRUE(delay->isChecked());
    table.flagButton(FlagKind::Pause)->click();
    EXPECT_FALSE(delay->isChecked()) << "one flag button down at a time";
    int opened = -1;
    answer = [&](TFlagForm *form) {
        opened = form->StartTime->Seconds->value() * 100 + form->StartTime->Hundredths->value();
        return form->Ok();
    };
    // 40 pixels right of time 0 at unit 30: two seconds.
    const int zero = table.barRect(edited.objects()[0]).left();
    QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(zero + 40, 36));
    EXPECT_EQ(opened, 200);
    EXPECT_EQ(flags(), QStringList({"Pause1@200"}));
    EXPECT_FALSE(table.flagButton(FlagKind::Pause)->isChecked());
    EXPECT_EQ(edited.flags().Selected, edited.flags().at(0));
    ASSERT_TRUE(edited.undo());
    EXPECT_TRUE(flags().isEmpty());

    // From the keyboard: the button down, then Enter in the table places the flag at the cursor;
    // Enter on a selected flag opens its dialog.
    table.setCursorTime(450);
    table.flagButton(FlagKind::Label)->click();
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(flags(), QStringList({"Label1@450"}));
    opened = -1;
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(opened, 450) << "the selected flag's dialog";
}

// The dialogs: default names by kind, times from three boxes, and OK refused (the dialog stays
// open, the reason shown) whenever the slide's rules or the boxes say no.
TEST_F(ScheduleTest, FlagDialogsNameTimeAndRefuse)
{
    add(ObjectKind::Rectangle, "a", 0, 20000);
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::Delay, "Delay1", 100)));
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::Delay, "Delay3", 300)));
    auto *delay = static_cast<TDelayForm *>(table.dialogFor(FlagKind::Delay));
    delay->Prepare(nullptr, 500);
    EXPECT_EQ(delay->MarkName->text(), "Delay4") << "Delay3 is taken";
    EXPECT_EQ(delay->HoldTime->Seconds->value(), 1) << "a new delay holds a second";
    // Typed values go beyond the spin limits: 1 min 75 sec 120 is 13 620.
    delay->StartTime->Minutes->setValue(1);
    delay->StartTime->Seconds->setValue(75);
    delay->StartTime->Hundredths->setValue(120);
    ASSERT_TRUE(delay->Ok());
    EXPECT_EQ(delay->Flag()->Rec.Flag_StartTime, 13620);
    EXPECT_EQ(delay->Flag()->Rec.Time_Associated, 100);

    const struct
    {
        const char *what;
        std::function<void(TFlagForm *)> set;
        QString message;
    } refusals[] = {
        {"a name taken", [](TFlagForm *f) { static_cast<QLineEdit *>(f->MarkName)->setText("Delay1"); },
         "Duplicated Flag Name"},
        {"past the slide's end", [](TFlagForm *f) { f->StartTime->Minutes->setValue(4); }, "Exceed MaxTime"},
        {"a negative time", [](TFlagForm *f) { f->StartTime->Seconds->setValue(-1); }, "A time cannot be negative."},
        {"a time too long", [](TFlagForm *f) { f->StartTime->Minutes->setValue(9999999); },
         "The time is too long for a timeline."},
    };
    for (const auto &k : refusals) {
        SCOPED_TRACE(k.what);
        delay->Prepare(nullptr, 500);
        k.set(delay);
        const QStringList before = flags();
        src.ui.messages.clear();
        EXPECT_FALSE(delay->Ok());
        EXPECT_EQ(src.ui.messages, QStringList({k.message}));
        EXPECT_EQ(flags(), before);
        EXPECT_NE(delay->result(), QDialog::Accepted) << "the dialog stays open";
    }

    // A pause: Mouse Down unless Press Any Key is chosen.
    auto *pause = static_cast<TPauseForm *>(table.dialogFor(FlagKind::Pause));
    pause->Prepare(nullptr, 700);
    EXPECT_EQ(pause->MarkName->text(), "Pause4");
    EXPECT_TRUE(pause->MouseDown->isChecked());
    pause->AnyKey->setChecked(true);
    ASSERT_TRUE(pause->Ok());
    EXPECT_TRUE(pause->Flag()->Rec.FlagActive);

    // A jump with no label chosen has nowhere to go.
    auto *jump = static_cast<TJumpForm *>(table.dialogFor(FlagKind::Jump));
    jump->Prepare(nullptr, 900);
    EXPECT_EQ(jump->MarkList->count(), 0);
    src.ui.messages.clear();
    EXPECT_FALSE(jump->Ok());
    EXPECT_EQ(src.ui.messages, QStringList({"No Jump Destination"}));
}

// The loop's dialog edits the loop and its end together: renamed, the end is renamed too.
TEST_F(ScheduleTest, TheLoopDialogKeepsTheEndWithTheLoop)
{
    add(ObjectKind::Rectangle, "a", 0, 2000);
    auto *loop = static_cast<TLoopForm *>(table.dialogFor(FlagKind::LoopStart));
    loop->Prepare(nullptr, 200);
    EXPECT_EQ(loop->MarkName->text(), "Loop1");
    EXPECT_TRUE(loop->LimitTimeButton->isChecked());
    loop->EndTime->setTime(800);
    loop->LimitTime->setTime(1200);
    ASSERT_TRUE(loop->Ok());
    EXPECT_EQ(flags(), QStringList({"Loop1@200", "Loop1(End)@800"}));

    // Opened on the end, the dialog edits the loop.
    TDbFlag *end = edited.flags().at(1);
    loop->Prepare(end, 0);
    EXPECT_EQ(loop->MarkName->text(), "Loop1");
    EXPECT_EQ(loop->LimitTime->Seconds->value(), 12);
    loop->MarkName->setText("Chorus");
    loop->TimesButton->setChecked(true);
    loop->Count->setValue(3);
    ASSERT_TRUE(loop->Ok());
    EXPECT_EQ(flags(), QStringList({"Chorus@200", "Chorus(End)@800"}));
    EXPECT_TRUE(edited.flags().at(0)->Rec.FlagActive);
    EXPECT_EQ(edited.flags().at(1)->Rec.Time_Associated, 3);
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(flags(), QStringList({"Loop1@200", "Loop1(End)@800"}));
}

// Dragged icons: a loop's end never before its start, what the slide refuses snaps back, and a
// move is undone like any other step.
TEST_F(ScheduleTest, DraggedFlagsSnapBackWhenRefused)
{
    add(ObjectKind::Rectangle, "a", 0, 2000);
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::Label, "Back", 100)));
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::LoopStart, "Loop", 200, 600)));
    TsFlag jump = flag(FlagKind::Jump, "Jump", 700);
    jump.Jump_To_MarkName = "Back";
    ASSERT_TRUE(edited.requestAddFlag(jump));
    const QStringList before = flags();

    // The loop's end dragged far left stops a pixel after the loop's start.
    TDbFlag *end = edited.flags().at(2);
    ASSERT_EQ(end->kind(), FlagKind::LoopEnd);
    QRect icon = table.flagIconRect(end);
    drag(icon.center(), icon.center() - QPoint(300, 0));
    EXPECT_EQ(edited.flags().at(1)->Rec.Loop_EndTime, 205);
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(flags(), before);

    // The jump dragged into the loop would jump out of it: refused, back where it was.
    TDbFlag *j = edited.flags().at(3);
    icon = table.flagIconRect(j);
    src.ui.messages.clear();
    drag(icon.center(), icon.center() - QPoint(60, 0)); // to 4 s
    EXPECT_EQ(flags(), before);
    EXPECT_EQ(src.ui.messages.size(), 1);
    EXPECT_EQ(table.flagIconRect(j), icon);

    // Beyond the last bar's end an icon does not go.
    icon = table.flagIconRect(j);
    drag(icon.center(), icon.center() + QPoint(2000, 0));
    EXPECT_EQ(j->Rec.Flag_StartTime, 2000);
}

TEST_F(ScheduleTest, DeleteRemovesTheSelectedBarsAndTheSelectedFlag)
{
    TDbObject *a = add(ObjectKind::Rectangle, "a", 0, 1000);
    add(ObjectKind::Ellipse, "b", 0, 1000);
    ASSERT_TRUE(edited.requestAddFlag(flag(FlagKind::LoopStart, "Loop", 200, 600)));
    edited.selectOnly(a);
    edited.selectFlag(edited.flags().at(1)); // the loop's end takes the loop with it
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Delete);
    EXPECT_EQ(edited.objects().size(), 1);
    EXPECT_TRUE(flags().isEmpty());
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(flags().size(), 2);
    ASSERT_TRUE(edited.undo());
    EXPECT_EQ(edited.objects().size(), 2);
}

// The cursor shows the slide as at its time; while the slide plays nothing is edited here.
TEST_F(ScheduleTest, TheCursorDrivesTheSurfaceAndPlayLocksTheTable)
{
    add(ObjectKind::Rectangle, "a", 0, 1000);
    int shown = -1;
    table.cursorMoved = [&shown](int t) { shown = t; };
    table.CurrentTime->setFocus();
    table.CurrentTime->selectAll();
    QTest::keyClicks(table.CurrentTime, "4.5");
    QTest::keyClick(table.CurrentTime, Qt::Key_Return);
    EXPECT_EQ(shown, 450);
    table.setCursorTime(5000);
    EXPECT_EQ(table.cursorTime(), 1000) << "not past the timeline's end";

    table.setPlaying(true);
    EXPECT_TRUE(table.StartTime->isReadOnly());
    EXPECT_TRUE(table.flagButton(FlagKind::Delay)->isHidden());
    const QString before = bars();
    const QRect bar = table.barRect(edited.objects()[0]);
    drag(bar.center(), bar.center() + QPoint(40, 0));
    EXPECT_EQ(bars(), before);
    table.setPlaying(false);
    EXPECT_FALSE(table.StartTime->isReadOnly());
    EXPECT_FALSE(table.flagButton(FlagKind::Delay)->isHidden());
}

} // namespace
