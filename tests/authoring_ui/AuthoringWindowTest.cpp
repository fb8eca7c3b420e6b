// The gradient panel's pixels, the slide surface's arithmetic (zoom, hit tests, handles, new
// objects) and the authoring window's commands over a real data source.
#include "AT_GradPanel.h"
#include "AT_Schedule.h"
#include "Authormain.h"
#include "DbFolder.h"
#include "EditedSlide.h"
#include "MPlayer.h"
#include "MediaFixtures.h"
#include "ObjectKinds.h"
#include "Schema.h"
#include "SlideBack.h"
#include "SurfaceGeometry.h"
#include "TempDataSource.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

using namespace vk;

namespace {

QColor at(const QImage &img, int x, int y)
{
    return img.pixelColor(x, y);
}

TEST(GradientPanelTest, BandsColoursAndPictures)
{
    EXPECT_EQ(MulDiv(1, 1, 2), 1) << "a half rounds away from zero";
    EXPECT_EQ(MulDiv(-1, 1, 2), -1);
    EXPECT_EQ(MulDiv(3, 2, 4), 2);
    EXPECT_EQ(MulDiv(2, 1, 3), 1);
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000) << "a 64-bit product";

    TGradientPanel panel;
    panel.setBeginColor(0x0000FF); // red, 0x00BBGGRR
    panel.setEndColor(0xFF0000);   // blue
    panel.setNumberOfColors(1);
    QImage img = panel.render(QSize(20, 20));
    EXPECT_EQ(at(img, 10, 19), QColor(255, 0, 0)) << "one band: the start colour";
    panel.setFillDirection(fdBottomToTop);
    EXPECT_EQ(at(panel.render(QSize(20, 20)), 3, 3), QColor(0, 0, 255)) << "reversed: the end colour";

    panel.setFillDirection(fdTopToBottom);
    panel.setNumberOfColors(255);
    img = panel.render(QSize(100, 100));
    // With more bands than rows some bands are empty: the first row is band 1's colour.
    EXPECT_EQ(at(img, 50, 0), QColor(254, 0, 1));
    EXPECT_EQ(at(img, 50, 99), QColor(1, 0, 254));
    for (int y = 1; y < 100; ++y)
        EXPECT_LE(at(img, 50, y).red(), at(img, 50, y - 1).red()) << "every row painted, in order: " << y;
    panel.setFillDirection(fdLeftToRight);
    panel.setNumberOfColors(5);
    img = panel.render(QSize(100, 10));
    EXPECT_EQ(at(img, 0, 5), QColor(255, 0, 0)) << "band 0 is exactly the start colour";
    EXPECT_EQ(at(img, 50, 5), QColor(127, 0, 128)) << "halves away from zero: 255 - 128 and 0 + 128";
    EXPECT_EQ(at(img, 99, 5), QColor(0, 0, 255));

    panel.setEndColor(0x0000FF);
    img = panel.render(QSize(30, 30));
    EXPECT_EQ(at(img, 29, 29), QColor(255, 0, 0)) << "equal colours: solid";

    // A system colour is the palette's at the time of painting.
    panel.setBeginColor(ColorValue(0x8000000F)); // button face
    panel.setEndColor(ColorValue(0x8000000F));
    EXPECT_EQ(at(panel.render(QSize(5, 5)), 2, 2), panel.palette().color(QPalette::Button));

    QImage big(40, 40, QImage::Format_RGB32);
    big.fill(Qt::green);
    panel.Picture = big;
    panel.PictureStyle = 2;
    img = panel.render(QSize(30, 30));
    EXPECT_EQ(at(img, 29, 29), QColor(Qt::green)) << "one tile at (0,0) covers a smaller panel";
    QImage wide(31, 10, QImage::Format_RGB32);
    wide.fill(Qt::yellow);
    panel.Picture = wide;
    panel.PictureStyle = 0;
    img = panel.render(QSize(30, 30));
    EXPECT_EQ(at(img, 0, 15), QColor(Qt::yellow)) << "one pixel wider: placed at x = 0";
    EXPECT_NE(at(img, 0, 5), QColor(Qt::yellow));
}

TEST(SurfaceGeometryTest, ZoomHitsHandlesAndNewObjects)
{
    // Fit keeps the screen's aspect inside the client with 20 pixels to spare.
    SurfacePlacement fit = fitPlacement(QSize(820, 700), QSize(1024, 768));
    EXPECT_EQ(fit.surface.width(), 800);
    EXPECT_EQ(fit.surface.height(), 600);
    EXPECT_EQ(fit.zoom, 61);
    EXPECT_EQ(fitPlacement(QSize(100, 80), QSize(1024, 768)).zoom, 10) << "never below 10";
    SurfacePlacement fixed = fixedPlacement(QSize(500, 400), QSize(1024, 768), 100);
    EXPECT_TRUE(fixed.horizontalBar && fixed.verticalBar);
    EXPECT_EQ(fixed.surface.size(), QSize(1024, 768));

    // Hit tests within max(5, pen / 2).
    ShapeHit ellipse{4, QRect(0, 0, 100, 60), 1, false, false, {}};
    struct Case
    {
        const char *name;
        ShapeHit shape;
        QPointF at;
        bool hit;
    };
    ShapeHit filled = ellipse;
    filled.filled = true;
    ShapeHit rect{0, QRect(0, 0, 100, 60), 1, false, false, {}};
    ShapeHit thick = rect;
    thick.penWidth = 20;
    ShapeHit line{6, QRect(0, 0, 100, 100), 1, false, false, {}};
    ShapeHit up{7, QRect(0, 0, 100, 100), 1, false, false, {}};
    ShapeHit poly{8, QRect(10, 10, 100, 100), 1, false, false, {{0, 0}, {50, 0}, {50, 50}}};
    const Case cases[] = {
        {"hollow ellipse, centre", ellipse, {50, 30}, false},
        {"hollow ellipse, on the outline", ellipse, {50, 2}, true},
        {"hollow ellipse, just outside", ellipse, {50, -4}, true},
        {"filled ellipse, centre", filled, {50, 30}, true},
        {"hollow rectangle, inside", rect, {50, 30}, false},
        {"hollow rectangle, near an edge", rect, {50, 4}, true},
        {"thick pen widens the tolerance", thick, {50, 9}, true},
        {"line, on it", line, {50, 52}, true},
        {"line, off it", line, {80, 20}, false},
        {"rising line", up, {80, 20}, true},
        {"polyline, on a segment", poly, {60, 30}, true},
        {"polyline, inside but hollow", poly, {45, 20}, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(hitShape(c.shape, c.at), c.hit) << c.name;

    // Handles: eight, or a line's two; dragging past the opposite edge turns the box round.
    EXPECT_EQ(handleAt(QRect(0, 0, 50, 50), QPoint(2, 2)), HandleTopLeft);
    EXPECT_EQ(handleAt(QRect(0, 0, 50, 50), QPoint(25, 47)), HandleBottom);
    EXPECT_EQ(handleAt(QRect(0, 0, 50, 50), QPoint(25, 47), 6), HandleNone);
    bool fx = false, fy = false;
    EXPECT_EQ(resizedRect(QRect(10, 10, 50, 50), HandleRight, QPoint(-70, 0), &fx, &fy),
              QRect(-10, 10, 20, 50));
    EXPECT_TRUE(fx);
    EXPECT_FALSE(fy);

    // New objects: default sizes on a click, lines by the drag's direction, polygons.
    NewObjectInput in;
    in.tool = DrawTool::Memo;
    in.bandStart = in.bandEnd = QPoint(40, 50);
    std::optional<TsObject> memo = prepareNewObject(in);
    ASSERT_TRUE(memo);
    EXPECT_EQ(QRect(memo->Left, memo->Top, memo->Width, memo->Height), QRect(40, 50, 150, 100));
    EXPECT_EQ(memo->Title, "Memo");
    in.tool = DrawTool::Line;
    in.bandEnd = QPoint(140, 10);
    EXPECT_EQ(prepareNewObject(in)->Obj_TypeId, ObjectKind::LineUp);
    in.bandEnd = QPoint(10, 20);
    EXPECT_EQ(prepareNewObject(in)->Obj_TypeId, ObjectKind::LineDown)
        << "left and up is the falling diagonal";
    in.tool = DrawTool::PolyLine;
    in.polygon = {{100, 100}, {200, 100}, {150, 180}};
    std::optional<TsObject> poly3 = prepareNewObject(in);
    ASSERT_TRUE(poly3);
    EXPECT_EQ(propertyTextLines(poly3->Spec_Property2).size(), 15);
    for (int i = 0; i < 130; ++i)
        in.polygon << QPointF(i, i % 7);
    EXPECT_EQ(propertyTextLines(prepareNewObject(in)->Spec_Property2).value(0), "120") << "cut back to 120";
    in.tool = DrawTool::Select;
    EXPECT_FALSE(prepareNewObject(in));

    // The Attributes items that apply to every selected kind.
    struct Items
    {
        QList<int> kinds;
        QStringList shown;
    };
    const Items items[] = {
        {{3, ObjectKind::Button}, {"LinkTo", "Disable"}},
        {{101}, {"Preview", "Stop", "Disable"}},
        {{101, 102}, {"Disable"}},
        {{ObjectKind::Text}, {"LinkTo", "Font", "Color", "InsertLabelText", "Transparent", "Disable"}},
        {{ObjectKind::Text, ObjectKind::Memo}, {"LinkTo", "Font", "Color", "Disable"}},
        {{451, 456}, {"LinkTo", "GraphicAttribute", "Disable"}},
        {{}, {}},
    };
    for (const Items &i : items)
        EXPECT_EQ(attributeItems(i.kinds), i.shown);
}

class AuthoringWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(src.connection);
        AuthoringSchemaCheck(src.connection);
        ASSERT_TRUE(work.isValid());
        src.connection.setTempFilePrefix(work.path());
        frame.currentTool = [this] { return tool; };
        frame.releaseTool = [this] { tool = DrawTool::Select; };
        frame.chooseTool = [this](DrawTool t) { tool = t; };
        frame.screen = QSize(1024, 768);
        window = std::make_unique<TAuthorMain>(src.connection, src.ui, frame);
        window->clipboard = &clipboard;
        window->resize(900, 700);
        window->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        if (window)
            window->books().ClipboardClear(clipboard);
        window.reset();
    }
    void reopen()
    {
        window.reset();
        window = std::make_unique<TAuthorMain>(src.connection, src.ui, frame);
        window->clipboard = &clipboard;
        window->resize(900, 700);
        window->show();
        QCoreApplication::processEvents();
    }

    TempDataSource src;
    QTemporaryDir work;
    AuthoringFrame frame;
    DrawTool tool = DrawTool::Select;
    TSelectedList clipboard;
    std::unique_ptr<TAuthorMain> window;
};

TEST_F(AuthoringWindowTest, MessagesWithoutAClearBookOrASlide)
{
    EXPECT_EQ(window->books().DesignScale, 1.28);
    window->openSlideDialog();
    EXPECT_EQ(src.ui.messages.value(0), "No clearbook,You must create a clearbook first.");
    window->InsertTool(DrawTool::Image);
    EXPECT_EQ(src.ui.messages.value(1),
              "No active slide, Please open an existing slide, or create a new slide.");
    EXPECT_EQ(window->statusText(), "[ ActiveClearbook, ActiveSlide ] is[None, None]");
    frame.screen = QSize(640, 480);
    reopen();
    EXPECT_EQ(window->books().DesignScale, 0.8);
}

TEST_F(AuthoringWindowTest, DrawSaveAndFindItAgain)
{
    TDbClearBook *cb = window->NewClearBook("Tour", "Ann", "the book");
    ASSERT_TRUE(cb);
    TDbSlide *slide = window->NewSlide(cb, "Welcome", "Ann", "first page");
    ASSERT_TRUE(slide);
    EXPECT_EQ(window->statusText(), "[ ActiveClearbook, ActiveSlide ] is[Tour, Welcome]");
    TSlideBack *surface = window->surface();
    TDbObject *rect = surface->drawObject(DrawTool::Rectangle, QPoint(20, 20), QPoint(120, 80));
    TDbObject *text = surface->drawObject(DrawTool::Text, QPoint(200, 200), QPoint(201, 201));
    ASSERT_TRUE(rect && text);
    EXPECT_EQ(tool, DrawTool::Select) << "the select tool goes down again";
    EXPECT_FALSE(rect->Rec.Spec_Property2.isEmpty()) << "the first state is written into the property text";
    EXPECT_EQ(surface->objectAt(QPoint(20, 50)), rect);
    EXPECT_EQ(surface->objectAt(QPoint(70, 50)), rect) << "a new rectangle has a white solid brush";
    EXPECT_EQ(surface->objectAt(QPoint(300, 400)), nullptr);

    // Ctrl+arrows move the selection by a pixel; the held float follows.
    window->edited().selectOnly(rect);
    const double leftBefore = rect->Rec.Left_S;
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier);
    QApplication::sendEvent(window.get(), &right);
    EXPECT_EQ(rect->Rec.Left, 21);
    EXPECT_NEAR(rect->Rec.Left_S, leftBefore + 1 / linearZoom(surface->SurfaceZoom), 1e-9);

    // Attributes go into the property text.
    window->edited().selectOnly(text);
    window->SetCaption(QStringLiteral("Hello"));
    QFont serif(QStringLiteral("Serif"));
    serif.setPointSize(30);
    serif.setBold(true);
    window->SetObjectsFont(serif);
    window->SetTransparent(false);
    window->edited().selectOnly(rect);
    ObjectProperties pen;
    pen.PenColor = 0x0000FF;
    pen.BrushColor = 0x00FF00;
    pen.BrushStyle = 1;
    pen.PenWidth = 4;
    pen.Arrow = 0;
    pen.WithTouch = true;
    window->SetGraphicAttributes(pen);
    EXPECT_TRUE(rect->Rec.Spec_Property2.startsWith("PenColor=clRed\r\nBrushColor=clLime\r\nPenStyle=0\r\n"
                                                    "BrushStyle=1\r\nPenWidth=4\r\n"))
        << rect->Rec.Spec_Property2.toStdString();
    EXPECT_EQ(surface->objectAt(QPoint(70, 50)), rect) << "a hollow shape with touch reacts inside";
    const double movedLeft = rect->Rec.Left_S;
    ASSERT_TRUE(window->SaveSlide());
    EXPECT_FALSE(window->edited().isModified());
    ASSERT_TRUE(window->CloseSlide());
    EXPECT_TRUE(src.ui.questions.isEmpty()) << "nothing to ask after a save";

    reopen();
    ASSERT_EQ(window->books().ClearBooks.size(), 1);
    TDbSlide *again = window->books().ClearBooks[0]->Slides.value(0);
    ASSERT_TRUE(again);
    ASSERT_TRUE(window->OpenSlide(again));
    ASSERT_EQ(again->Objects.Objects.size(), 2);
    EXPECT_EQ(again->Objects.Objects[0]->Rec.Title, "Rectangle");
    EXPECT_NEAR(again->Objects.Objects[0]->Rec.Left_S, movedLeft, 1e-6);
    const TDbObject *label = again->Objects.Objects[1];
    EXPECT_EQ(label->Rec.Caption, "Hello");
    EXPECT_TRUE(label->Rec.Spec_Property2.startsWith("Font_Name=Serif\r\n"))
        << label->Rec.Spec_Property2.toStdString();
    EXPECT_TRUE(label->Rec.Spec_Property2.contains("Font_Style=0,\r\nTransparent=False"));
}

// Clearbook › Export as Web Page... writes the active ClearBook, placed in the page's reference
// units whatever screen it was designed on.
TEST_F(AuthoringWindowTest, ExportAsWebPageWritesTheActiveClearBook)
{
    QTemporaryDir out;
    window->chooseWebFolder = [&] { return out.path() + "/web"; };
    window->action("muiExportWebPage")->trigger();
    EXPECT_EQ(src.ui.messages.value(0), "Open a ClearBook first.");
    EXPECT_FALSE(QFile::exists(out.path() + "/web/index.html"));

    TDbClearBook *cb = window->NewClearBook("Tour", "Ann", QString());
    ASSERT_TRUE(cb && window->NewSlide(cb, "Welcome", "Ann", QString()));
    TDbObject *text = window->surface()->drawObject(DrawTool::Text, QPoint(128, 64), QPoint(384, 192));
    ASSERT_TRUE(text);
    window->edited().selectOnly(text);
    window->SetCaption(QStringLiteral("Hello"));
    QFont serif(QStringLiteral("Serif"));
    serif.setPointSize(30);
    serif.setBold(true);
    window->SetObjectsFont(serif);
    ASSERT_TRUE(window->SaveSlide());
    window->action("muiExportWebPage")->trigger();
    QFile page(out.path() + "/web/index.html");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    const QString json = QRegularExpression(R"re(id="clearbook">(.*?)</script>)re",
                                            QRegularExpression::DotMatchesEverythingOption)
                             .match(html)
                             .captured(1);
    const QJsonObject object = QJsonDocument::fromJson(json.toUtf8())
                                   .object()
                                   .value("slides")[0]
                                   .toObject()
                                   .value("objects")[0]
                                   .toObject();
    EXPECT_EQ(object.value("caption").toString(), "Hello");
    EXPECT_NEAR(object.value("left").toDouble(), text->Rec.Left_S / 1.28, 1e-6);
    const QJsonObject font = object.value("look").toObject().value("font").toObject();
    EXPECT_EQ(font.value("family").toString(), "Serif");
    EXPECT_TRUE(font.value("bold").toBool());
    EXPECT_NEAR(font.value("size").toDouble(), text->Props.FontSize / 1.28, 1e-4);
    EXPECT_TRUE(QFile::exists(out.path() + "/web/player.js"));
}

TEST_F(AuthoringWindowTest, ClosingAsksDeletingListsAndTheClipboardCopies)
{
    TDbClearBook *cb = window->NewClearBook("Book", "", "");
    window->NewSlide(cb, "new", "", "");
    // A new slide closed at once asks to be saved; No throws it away.
    src.ui.answer = false;
    ASSERT_TRUE(window->CloseSlide());
    EXPECT_EQ(src.ui.questions.value(0), "Do you want to save the changes to this slide?");
    EXPECT_TRUE(cb->Slides.isEmpty());

    TDbSlide *slide = window->NewSlide(cb, "objects", "", "");
    TSlideBack *surface = window->surface();
    TDbObject *a = surface->drawObject(DrawTool::Ellipse, QPoint(10, 10), QPoint(60, 60));
    TDbObject *b = surface->drawObject(DrawTool::Button, QPoint(100, 100), QPoint(180, 140));
    a->Rec.Title = "A";
    b->Rec.Title = "B";
    window->edited().selectAll();
    src.ui.questions.clear();
    src.ui.answer = false;
    window->DeleteObjects();
    EXPECT_EQ(src.ui.questions.value(0), "Are you sure you want to remove these from the slide?\n\rA\n\rB");
    EXPECT_EQ(slide->Objects.DesignOrder.size(), 2);

    // Copy and paste: new objects at the end, selected.
    window->edited().selectOnly(b);
    window->Copy();
    window->Paste();
    EXPECT_EQ(slide->Objects.DesignOrder.size(), 3);
    EXPECT_EQ(slide->Selection.size(), 1);
    EXPECT_NE(slide->Selection[0], b);
    EXPECT_EQ(slide->Selection[0]->Rec.Title, "B");
    // Cut marks the object removed on the slide and holds a copy.
    window->edited().selectOnly(a);
    window->Cut();
    EXPECT_TRUE(a->Rec.Removed);
    ASSERT_EQ(clipboard.size(), 1);
    EXPECT_NE(clipboard[0].SlideObject, a);
    src.ui.answer = true;
    ASSERT_TRUE(window->SaveSlide());
    EXPECT_EQ(window->edited().objects().size(), 2) << "the cut object is kept only for its undo";

    // Closing the window with a changed slide: Cancel keeps the window, the slide and its change.
    window->edited().selectOnly(b);
    window->Nudge(5, 0);
    const int left = b->Rec.Left;
    src.ui.questions.clear();
    src.ui.cancel = true;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(src.ui.questions, QStringList({"Do you want to save the changes to this slide?"}));
    EXPECT_EQ(window->edited().slide(), slide);
    EXPECT_TRUE(window->edited().isModified());
    EXPECT_EQ(b->Rec.Left, left);
    EXPECT_EQ(window->edited().selection(), QList<TDbObject *>{b}) << "the selection stays too";
    src.ui.cancel = false;
    src.ui.answer = false; // No: closes without storing the move
    EXPECT_TRUE(window->close());
}

TEST_F(AuthoringWindowTest, SoundsPreviewOnAPlayerOfTheirOwn)
{
    const MediaDeviceTable before = mediaDeviceTable();
    installMediaDeviceTable(MediaDeviceTable::build({"WAVEAUDIO", "SEQUENCER", "AVIVIDEO"}, true));
    const QString tone = work.filePath("tone.wav");
    QFile f(tone);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(fixtures::wavTone(3000));
    f.close();
    TDbClearBook *cb = window->NewClearBook("Book", "", "");
    window->NewSlide(cb, "sounds", "", "");
    TSlideBack *surface = window->surface();
    QString chosen = tone;
    surface->chooseMediaFile = [&chosen](DrawTool) { return chosen; };
    TDbObject *sound = surface->drawObject(DrawTool::Audio, QPoint(10, 10), QPoint(11, 11));
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->kind(), 101);
    EXPECT_TRUE(window->visibleAttributes().contains("Preview"));
    ASSERT_TRUE(window->PreviewMedia()) << src.ui.messages.join("|").toStdString();
    EXPECT_TRUE(window->previewing(sound));
    window->StopPreview();
    EXPECT_FALSE(window->previewing(sound));

    // A sound whose file is gone says so and plays nothing.
    QFile::remove(tone);
    src.ui.messages.clear();
    EXPECT_FALSE(window->PreviewMedia());
    EXPECT_FALSE(window->previewing(sound));
    EXPECT_EQ(src.ui.messages.size(), 1);
    installMediaDeviceTable(before);
}

// The Timeline Table edits the same slide: its changes are undone from the window's Edit menu,
// and its cursor shows the slide as at its time.
TEST_F(AuthoringWindowTest, TheTimelineTableEditsTheOpenSlide)
{
    TDbClearBook *cb = window->NewClearBook("Book", "", "");
    window->NewSlide(cb, "timed", "", "");
    TSlideBack *surface = window->surface();
    TDbObject *now = surface->drawObject(DrawTool::Rectangle, QPoint(10, 10), QPoint(60, 60));
    TDbObject *later = surface->drawObject(DrawTool::Ellipse, QPoint(100, 100), QPoint(160, 160));
    TfrmSchedule *table = window->timeline();
    ASSERT_TRUE(table);
    window->edited().selectOnly(later);
    table->StartTime->setText("30");
    table->StartTime->setModified(true);
    emit table->StartTime->editingFinished();
    EXPECT_EQ(later->Rec.Bar_Left, 3000);
    TsFlag label;
    label.Kind = FlagKind::Label;
    label.Flag_Name = "Here";
    label.Flag_StartTime = 500;
    ASSERT_TRUE(window->edited().requestAddFlag(label));

    table->setCursorTime(1000);
    EXPECT_TRUE(surface->visualOf(now)->Visible);
    EXPECT_FALSE(surface->visualOf(later)->Visible) << "it comes at 30 s";

    window->action("muiUndo")->trigger();
    EXPECT_TRUE(window->edited().flags().Flags.isEmpty());
    window->action("muiUndo")->trigger();
    EXPECT_EQ(later->Rec.Bar_Left, 0);
}

TEST_F(AuthoringWindowTest, UndoAndRedoRestoreTheSlideExactly)
{
    TDbClearBook *cb = window->NewClearBook("Book", "", "");
    TDbSlide *slide = window->NewSlide(cb, "history", "", "");
    TSlideBack *surface = window->surface();
    EditedSlide &edited = window->edited();
    auto state = [slide] {
        QStringList out;
        // What the person sees: the objects not removed.
        for (const TDbObject *o : slide->Objects.Objects)
            if (!o->Rec.Removed)
                out << QStringLiteral("%1 %2,%3 %4x%5 index=%6 caption=%7 props=%8")
                           .arg(o->Rec.Title)
                           .arg(o->Rec.Left)
                           .arg(o->Rec.Top)
                           .arg(o->Rec.Width)
                           .arg(o->Rec.Height)
                           .arg(o->Rec.Index)
                           .arg(o->Rec.Caption, o->Rec.Spec_Property2);
        QStringList design;
        for (const TDbObject *o : slide->Objects.DesignOrder)
            design << o->Rec.Title;
        return out.join('|') + QStringLiteral(" design:") + design.join(',');
    };
    TDbObject *rect = nullptr, *text = nullptr;
    src.ui.answer = true;
    struct Step
    {
        const char *name;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"insert", [&] { rect = surface->drawObject(DrawTool::Rectangle, QPoint(10, 10), QPoint(90, 60)); }},
        {"insert another",
         [&] { text = surface->drawObject(DrawTool::Text, QPoint(100, 100), QPoint(101, 101)); }},
        {"move",
         [&] {
             window->edited().selectOnly(rect);
             window->Nudge(7, 3);
         }},
        {"a property",
         [&] {
             window->edited().selectOnly(text);
             window->SetCaption(QStringLiteral("changed"));
         }},
        {"reorder",
         [&] {
             window->edited().selectOnly(rect);
             window->action("muiBringToFront")->trigger();
         }},
        {"paste",
         [&] {
             window->edited().selectOnly(rect);
             window->Copy();
             window->Paste();
         }},
        {"delete",
         [&] {
             window->edited().selectOnly(text);
             window->DeleteObjects();
         }},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        const QString before = state();
        step.change();
        const QString after = state();
        ASSERT_NE(before, after);
        ASSERT_TRUE(window->Undo());
        EXPECT_EQ(state(), before);
        ASSERT_TRUE(window->Redo());
        EXPECT_EQ(state(), after);
    }

    // A refused change leaves everything as it was and no step.
    const QString before = state();
    ASSERT_TRUE(edited.canUndo());
    const int undoable = [&] {
        int n = 0;
        while (edited.canUndo() && n < 100) {
            edited.undo();
            ++n;
        }
        for (int i = 0; i < n; ++i)
            edited.redo();
        return n;
    }();
    EXPECT_EQ(state(), before);
    window->edited().selectOnly(rect);
    EXPECT_FALSE(edited.requestAlignBars(BarAlignment::Series)) << "one bar has nothing to align to";
    EXPECT_FALSE(edited.requestMove({rect}, 0, 0)) << "a move by nothing is no step";
    EXPECT_EQ(state(), before);

    EXPECT_EQ(undoable, 7);
    // Saving keeps the history (of the objects still on the slide); closing the slide ends it.
    window->edited().selectOnly(rect);
    const int left = rect->Rec.Left;
    window->Nudge(4, 0);
    ASSERT_TRUE(window->SaveSlide());
    EXPECT_TRUE(edited.canUndo());
    ASSERT_TRUE(window->Undo());
    EXPECT_EQ(rect->Rec.Left, left);
    EXPECT_TRUE(edited.isModified());
    ASSERT_TRUE(window->SaveSlide());
    ASSERT_TRUE(window->CloseSlide());
    EXPECT_FALSE(edited.canUndo());
    EXPECT_FALSE(edited.canRedo());
}

TEST_F(AuthoringWindowTest, LibraryMediaPasteAsObjectsAndABandSelectsWhatItTouches)
{
    TDbFolderList library(src.connection);
    ASSERT_TRUE(library.Load(80, 100, 3));
    TDbFolder *folder = library.AddRootFolder("pictures", 80, 3, 100);
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    const QString path = work.filePath("green.png");
    img.save(path);
    int mode = 0;
    TDbMedia *a = library.InsertMediaFile(folder, path, mode);
    TDbMedia *b = library.InsertMediaFile(folder, path, mode);
    ASSERT_TRUE(a && b);
    // A media item, a folder and another item: only the first is pasted.
    library.ClipboardAdd(clipboard, a);
    library.ClipboardAdd(clipboard, folder);
    library.ClipboardAdd(clipboard, b);

    TDbClearBook *cb = window->NewClearBook("Book", "", "");
    TDbSlide *slide = window->NewSlide(cb, "pasted", "", "");
    window->Paste();
    ASSERT_EQ(slide->Objects.DesignOrder.size(), 1);
    TDbObject *pasted = slide->Objects.DesignOrder[0];
    EXPECT_EQ(pasted->Rec.Obj_Media, a->Rec.MediaFile);
    EXPECT_TRUE(pasted->Rec.Obj_Flag) << "the slide shares the library's file";
    EXPECT_EQ(slide->Selection, QList<TDbObject *>{pasted});
    ASSERT_TRUE(window->SaveSlide());
    EXPECT_EQ(pasted->Rec.Obj_Media, a->Rec.MediaFile);

    // A band touching a rectangle and a falling line's segment selects both, not the ellipse.
    TSlideBack *surface = window->surface();
    TDbObject *rect = surface->drawObject(DrawTool::Rectangle, QPoint(300, 300), QPoint(360, 340));
    TDbObject *line = surface->drawObject(DrawTool::Line, QPoint(400, 300), QPoint(500, 400));
    TDbObject *ellipse = surface->drawObject(DrawTool::Ellipse, QPoint(600, 300), QPoint(700, 380));
    surface->bandSelect(QRect(QPoint(340, 320), QPoint(455, 352)));
    EXPECT_TRUE(rect->Selected);
    EXPECT_TRUE(line->Selected);
    EXPECT_FALSE(ellipse->Selected);
    EXPECT_FALSE(pasted->Selected);
    // Inside a hollow ellipse's box but off its outline: not touched.
    ObjectProperties hollow = ellipse->Props;
    window->edited().selectOnly(ellipse);
    hollow.BrushStyle = 1;
    window->SetGraphicAttributes(hollow);
    surface->bandSelect(QRect(QPoint(640, 330), QPoint(660, 350)));
    EXPECT_FALSE(ellipse->Selected);
    surface->bandSelect(QRect(QPoint(595, 330), QPoint(610, 350)));
    EXPECT_TRUE(ellipse->Selected);
    library.ClipboardClear(clipboard);
}

} // namespace
