// The picture window: its scale arithmetic on its own, then the window's operations on
// a test card (load, turn, mirror, select, crop, draw, paint). Part of test_image.
#include "ImageWindow.h"
#include "ImageZoom.h"
#include "PictureFixtures.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace vk;
using namespace fixtures;

TEST(ImageZoom, EachFitStyleScalesThePictureToTheArea)
{
    const struct
    {
        const char *label;
        int style;
        QSize picture;
        QSize area;
        int verticalBar;
        int horizontalBar;
        double expected;
    } cases[] = {
        {"none keeps the zoom factor", fsNone, {800, 600}, {400, 300}, 0, 0, 1.0},
        {"width", fsWidth, {800, 600}, {400, 600}, 17, 17, 0.5},
        {"width leaves room for the bar the height needs", fsWidth, {400, 1000}, {400, 300}, 20, 0, 0.95},
        {"width without a vertical bar", fsWidth, {400, 1000}, {400, 300}, 0, 20, 1.0},
        {"height", fsHeight, {600, 800}, {600, 400}, 17, 17, 0.5},
        {"height leaves room for the bar the width needs", fsHeight, {1000, 400}, {300, 400}, 0, 20, 0.95},
        {"window shrinks to the tighter side", fsWindow, {800, 200}, {400, 400}, 17, 17, 0.5},
        {"window enlarges a small picture", fsWindow, {100, 50}, {400, 400}, 17, 17, 4.0},
        {"best never enlarges", fsBest, {100, 50}, {400, 400}, 17, 17, 1.0},
        {"best shrinks like window", fsBest, {800, 200}, {400, 400}, 17, 17, 0.5},
        {"enlarging stops at the largest scale", fsWindow, {1, 1}, {1000, 1000}, 0, 0, ImageZoom::MaxScale},
        {"shrinking stops at the smallest scale",
         fsWindow,
         {16000, 1},
         {100, 100},
         0,
         0,
         ImageZoom::MinScale},
        {"no picture", fsWindow, {0, 0}, {400, 400}, 0, 0, 1.0},
        {"no window yet", fsWindow, {100, 100}, {0, 0}, 0, 0, 1.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        ImageZoom zoom;
        zoom.setFitStyle(c.style);
        EXPECT_DOUBLE_EQ(zoom.scale(c.picture, c.area, c.verticalBar, c.horizontalBar), c.expected);
    }
}

TEST(ImageZoom, ZoomStepsStartFromTheZoomFactorOrFromTheFittedScale)
{
    ImageZoom zoom;   // fsNone, factor 1, step 25 %
    zoom.zoomIn(3.0); // the shown scale does not matter without a fit style
    EXPECT_DOUBLE_EQ(zoom.zoomFactor(), 1.25);
    zoom.zoomOut(3.0);
    EXPECT_DOUBLE_EQ(zoom.zoomFactor(), 0.9375);

    const struct
    {
        int style;
        bool in;
        double shown;
        double expected;
    } fitted[] = {
        {fsWindow, true, 0.5, 0.625},
        {fsBest, false, 0.5, 0.375},
        {fsWidth, true, 2.0, 2.5},
        {fsHeight, false, 0.8, 0.6},
    };
    for (const auto &c : fitted) {
        SCOPED_TRACE(c.style);
        ImageZoom z;
        z.setZoomFactor(3.0); // ignored: a fitted picture zooms from what is shown
        z.setFitStyle(c.style);
        c.in ? z.zoomIn(c.shown) : z.zoomOut(c.shown);
        EXPECT_DOUBLE_EQ(z.zoomFactor(), c.expected);
        EXPECT_EQ(z.fitStyle(), fsNone);
    }
}

TEST(ImageZoom, FactorAndIncrementStayWithinSenseAndResetIsActualSize)
{
    ImageZoom zoom;
    zoom.setZoomIncrement(10);
    for (int i = 0; i < 3; ++i)
        zoom.zoomIn(0);
    EXPECT_NEAR(zoom.zoomFactor(), 1.331, 1e-12);

    for (double nonsense : {0.0, -2.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        zoom.setZoomFactor(nonsense);
        zoom.setZoomIncrement(nonsense);
    }
    EXPECT_NEAR(zoom.zoomFactor(), 1.331, 1e-12);
    EXPECT_DOUBLE_EQ(zoom.zoomIncrement(), 10.0);

    zoom.setZoomFactor(1000);
    EXPECT_DOUBLE_EQ(zoom.zoomFactor(), ImageZoom::MaxScale);
    zoom.zoomIn(0);
    EXPECT_DOUBLE_EQ(zoom.zoomFactor(), ImageZoom::MaxScale);
    zoom.setZoomIncrement(100); // a full step out would reach nothing at all
    zoom.zoomOut(0);
    EXPECT_DOUBLE_EQ(zoom.zoomFactor(), ImageZoom::MinScale);

    zoom.setFitStyle(fsWindow);
    zoom.setFitStyle(7);
    EXPECT_EQ(zoom.fitStyle(), fsWindow);
    zoom.reset();
    EXPECT_DOUBLE_EQ(zoom.zoomFactor(), 1.0);
    EXPECT_EQ(zoom.fitStyle(), fsNone);
}

class PictureWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.setFrameShape(QFrame::NoFrame);
        QObject::connect(&m_window, &TImageWindow::OnPostLoad, [this] { ++m_postLoads; });
    }

    void showAt(int width, int height)
    {
        m_window.resize(width, height);
        m_window.show();
        QCoreApplication::processEvents();
    }

    void drag(QPoint from, QPoint to)
    {
        QWidget *view = m_window.viewport();
        QMouseEvent press(QEvent::MouseButtonPress, from, view->mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
        QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, view->mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &release);
    }

    QTemporaryDir m_dir;
    TImageWindow m_window;
    int m_postLoads = 0;
};

TEST_F(PictureWindow, WithoutAPictureEverythingAnswersSafely)
{
    EXPECT_EQ(m_window.ImageWidth(), 0);
    EXPECT_EQ(m_window.ImageHeight(), 0);
    EXPECT_DOUBLE_EQ(m_window.ScaleX(), 1.0);
    EXPECT_DOUBLE_EQ(m_window.ScaleY(), 1.0);
    QImage paper(10, 10, QImage::Format_RGB32);
    QPainter painter(&paper);
    const std::pair<const char *, std::function<bool()>> operations[] = {
        {"Rotate", [&] { return m_window.Rotate(90); }},
        {"Flip", [&] { return m_window.Flip(true); }},
        {"Crop", [&] { return m_window.Crop(); }},
        {"SaveImage", [&] { return m_window.SaveImage(m_dir.filePath("x.png"), ifPNG, 0); }},
        {"DrawTo", [&] { return m_window.DrawTo(painter, paper.rect()); }},
    };
    for (const auto &[name, operation] : operations) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(operation());
        EXPECT_FALSE(m_window.lastError().isEmpty());
    }
    m_window.zoomIn();
    EXPECT_DOUBLE_EQ(m_window.ZoomFactor(), 1.25);
}

TEST_F(PictureWindow, LoadsUnderImagePathAndTellsAfterEveryLoad)
{
    writeFile(m_dir.filePath("card.png"), qtEncoded(testCard(200, 100), "png"));
    m_window.setImagePath(m_dir.path());

    EXPECT_TRUE(m_window.setImageName("card.png"));
    EXPECT_EQ(m_postLoads, 1);
    EXPECT_EQ(m_window.ImageWidth(), 200);
    EXPECT_EQ(m_window.ImageHeight(), 100);
    EXPECT_TRUE(m_window.lastError().isEmpty());

    // A failed load empties the window rather than leave the last picture standing in.
    EXPECT_FALSE(m_window.setImageName("missing.png"));
    EXPECT_EQ(m_postLoads, 2);
    EXPECT_EQ(m_window.ImageWidth(), 0);
    EXPECT_TRUE(m_window.lastError().contains("does not exist"));

    m_window.setImagePath("/nowhere");
    EXPECT_TRUE(m_window.setImageName(m_dir.filePath("card.png"))); // absolute: ImagePath not used
    EXPECT_EQ(m_window.ImageWidth(), 200);

    EXPECT_TRUE(m_window.setImageName(QString()));
    EXPECT_EQ(m_postLoads, 4);
    EXPECT_FALSE(m_window.hasPicture());
}

TEST_F(PictureWindow, ImageTypeReadsATargaWhoseNameDoesNotSaySo)
{
    writeFile(m_dir.filePath("frame.dat"), magickEncoded(testCard(30, 20), "TGA"));
    EXPECT_FALSE(m_window.setImageName(m_dir.filePath("frame.dat")));
    m_window.setImageType(itTarga);
    EXPECT_TRUE(m_window.setImageName(m_dir.filePath("frame.dat"))) << m_window.lastError().toStdString();
    expectTestCard(m_window.picture());
}

TEST_F(PictureWindow, ACapturedFrameIsShownAsALoad)
{
    m_window.setImageName(m_dir.filePath("missing.png"));
    ASSERT_TRUE(m_window.LoadFromImage(testCard(64, 32)));
    EXPECT_EQ(m_postLoads, 2);
    EXPECT_EQ(m_window.ImageWidth(), 64);
    EXPECT_TRUE(m_window.ImageName().isEmpty());
    EXPECT_TRUE(m_window.lastError().isEmpty());
    EXPECT_FALSE(m_window.LoadFromImage(QImage()));
    EXPECT_EQ(m_window.ImageWidth(), 64);
}

TEST_F(PictureWindow, TurningAndMirroringMoveTheCorners)
{
    const struct
    {
        const char *label;
        std::function<bool(TImageWindow &)> operation;
        bool works;
        QSize size;
        QColor topLeft, topRight, bottomLeft, bottomRight;
    } cases[] = {
        {"quarter turn",
         [](TImageWindow &w) { return w.Rotate(90); },
         true,
         {100, 200},
         Blue,
         Red,
         Yellow,
         Green},
        {"half turn",
         [](TImageWindow &w) { return w.Rotate(180); },
         true,
         {200, 100},
         Yellow,
         Blue,
         Green,
         Red},
        {"three quarters",
         [](TImageWindow &w) { return w.Rotate(270); },
         true,
         {100, 200},
         Green,
         Yellow,
         Red,
         Blue},
        {"back a quarter",
         [](TImageWindow &w) { return w.Rotate(-90); },
         true,
         {100, 200},
         Green,
         Yellow,
         Red,
         Blue},
        {"once round and a quarter",
         [](TImageWindow &w) { return w.Rotate(450); },
         true,
         {100, 200},
         Blue,
         Red,
         Yellow,
         Green},
        {"left to right",
         [](TImageWindow &w) { return w.Flip(true); },
         true,
         {200, 100},
         Green,
         Red,
         Yellow,
         Blue},
        {"top to bottom",
         [](TImageWindow &w) { return w.Flip(false); },
         true,
         {200, 100},
         Blue,
         Yellow,
         Red,
         Green},
        {"not a right angle",
         [](TImageWindow &w) { return w.Rotate(45); },
         false,
         {200, 100},
         Red,
         Green,
         Blue,
         Yellow},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        m_window.LoadFromImage(testCard(200, 100));
        m_window.setSelection(QRect(10, 10, 20, 20));
        EXPECT_EQ(c.operation(m_window), c.works);
        EXPECT_EQ(m_window.lastError().isEmpty(), c.works);
        const QImage &p = m_window.picture();
        ASSERT_EQ(p.size(), c.size);
        EXPECT_EQ(QSize(m_window.ImageWidth(), m_window.ImageHeight()), c.size);
        const int w = p.width(), h = p.height();
        EXPECT_TRUE(colourNear(p, w / 4, h / 4, c.topLeft, 0));
        EXPECT_TRUE(colourNear(p, 3 * w / 4, h / 4, c.topRight, 0));
        EXPECT_TRUE(colourNear(p, w / 4, 3 * h / 4, c.bottomLeft, 0));
        EXPECT_TRUE(colourNear(p, 3 * w / 4, 3 * h / 4, c.bottomRight, 0));
        // A selection made on the old shape would point at the wrong pixels.
        EXPECT_EQ(m_window.Selection().isEmpty(), c.works);
    }
}

TEST_F(PictureWindow, CropKeepsTheSelectionClippedToThePicture)
{
    m_window.LoadFromImage(testCard(200, 100));
    EXPECT_FALSE(m_window.Crop());
    EXPECT_FALSE(m_window.lastError().isEmpty());

    m_window.setSelection(QRect(150, 50, 100, 100)); // runs off the bottom right
    EXPECT_EQ(m_window.Selection(), QRect(150, 50, 50, 50));
    ASSERT_TRUE(m_window.Crop());
    EXPECT_EQ(m_window.picture().size(), QSize(50, 50));
    EXPECT_TRUE(colourNear(m_window.picture(), 0, 0, Yellow, 0));
    EXPECT_TRUE(colourNear(m_window.picture(), 49, 49, Yellow, 0));
    EXPECT_TRUE(m_window.Selection().isEmpty());

    m_window.setSelection(QRect(60, 60, 10, 10)); // wholly outside
    EXPECT_TRUE(m_window.Selection().isEmpty());
}

TEST_F(PictureWindow, DraggingSelectsInPicturePixelsThroughZoomScrollAndCentring)
{
    showAt(200, 150);
    m_window.LoadFromImage(testCard(400, 300));
    m_window.setZoomFactor(2.0); // zooms about the middle of the view...
    QCoreApplication::processEvents();
    m_window.horizontalScrollBar()->setValue(0); // ...so start from the top left
    m_window.verticalScrollBar()->setValue(0);

    drag({20, 20}, {60, 40});
    EXPECT_TRUE(m_window.Selection().isEmpty()) << "selecting is off until enabled";

    m_window.setSelectionEnabled(true);
    drag({60, 40}, {20, 20}); // dragged up and left
    EXPECT_EQ(m_window.Selection(), QRect(10, 10, 20, 10));

    ASSERT_GT(m_window.horizontalScrollBar()->maximum(), 100);
    m_window.horizontalScrollBar()->setValue(100);
    drag({0, 0}, {20, 20});
    EXPECT_EQ(m_window.Selection(), QRect(50, 0, 10, 10));

    drag({20, 20}, {5000, 5000}); // beyond the picture: clipped to its edge
    EXPECT_EQ(m_window.Selection(), QRect(60, 10, 340, 290));

    // A picture smaller than the view sits in its middle.
    m_window.LoadFromImage(testCard(100, 50));
    m_window.ResetZoom();
    QCoreApplication::processEvents();
    drag({40, 40}, {100, 75}); // the picture's top left is at (50, 50)
    EXPECT_EQ(m_window.Selection(), QRect(0, 0, 50, 25));
}

TEST_F(PictureWindow, ZoomingFromAFittedPictureStartsAtItsShownScale)
{
    showAt(200, 150);
    m_window.LoadFromImage(testCard(400, 300));
    m_window.setFitStyle(fsWindow);
    EXPECT_DOUBLE_EQ(m_window.ScaleX(), 0.5);
    EXPECT_FALSE(m_window.horizontalScrollBar()->isVisible());

    m_window.zoomIn();
    EXPECT_EQ(m_window.FitStyle(), fsNone);
    EXPECT_DOUBLE_EQ(m_window.ZoomFactor(), 0.625);
    EXPECT_DOUBLE_EQ(m_window.ScaleY(), 0.625);

    m_window.ResetZoom();
    EXPECT_DOUBLE_EQ(m_window.ScaleX(), 1.0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_window.horizontalScrollBar()->isVisible());

    m_window.setShowHorzScroll(false);
    m_window.setShowVertScroll(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_window.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(m_window.verticalScrollBar()->isVisible());
}

TEST_F(PictureWindow, PaintsThePictureCentredOnItsBackground)
{
    showAt(300, 200);
    m_window.setBackGroundColor(Qt::magenta);
    m_window.LoadFromImage(testCard(100, 50));
    QImage shot = m_window.viewport()->grab().toImage();
    EXPECT_TRUE(colourNear(shot, 5, 5, Qt::magenta, 0));
    EXPECT_TRUE(colourNear(shot, 100 + 25, 75 + 12, Red, 0));
    EXPECT_TRUE(colourNear(shot, 100 + 75, 75 + 37, Yellow, 0));

    m_window.setZoomFactor(2.0); // now 200 x 100 from (50, 50)
    shot = m_window.viewport()->grab().toImage();
    EXPECT_TRUE(colourNear(shot, 45, 45, Qt::magenta, 0));
    EXPECT_TRUE(colourNear(shot, 60, 60, Red, 0));
    EXPECT_TRUE(colourNear(shot, 240, 140, Yellow, 0));
}

TEST_F(PictureWindow, DrawToPaintsTheSourceIntoTheDestination)
{
    m_window.LoadFromImage(testCard(200, 100));
    auto drawn = [&](QRect source, int mode, bool expectOk = true) {
        QImage paper(100, 100, QImage::Format_RGB32);
        paper.fill(Qt::white);
        QPainter painter(&paper);
        EXPECT_EQ(m_window.DrawTo(painter, QRect(0, 0, 100, 100), source, mode), expectOk);
        return paper;
    };

    const QImage stretched = drawn(QRect(), TImageWindow::dmStretch);
    expectTestCard(stretched, 0);

    const QImage redOnly = drawn(QRect(0, 0, 100, 50), TImageWindow::dmStretch);
    EXPECT_TRUE(colourNear(redOnly, 90, 90, Red, 0));

    // Kept proportions: 200 x 100 becomes 100 x 50, centred, the rest untouched.
    const QImage kept = drawn(QRect(), TImageWindow::dmKeepAspect);
    EXPECT_TRUE(colourNear(kept, 50, 10, Qt::white, 0));
    EXPECT_TRUE(colourNear(kept, 50, 90, Qt::white, 0));
    EXPECT_TRUE(colourNear(kept, 25, 35, Red, 0));
    EXPECT_TRUE(colourNear(kept, 75, 65, Yellow, 0));

    drawn(QRect(), 9, false);
    drawn(QRect(500, 500, 10, 10), TImageWindow::dmStretch, false);
}

TEST_F(PictureWindow, SavesThePictureAsItNowIs)
{
    m_window.LoadFromImage(testCard(200, 100));
    m_window.Rotate(90);
    const QString file = m_dir.filePath("turned.pcx");
    ASSERT_TRUE(m_window.SaveImage(file, ifPCX, 0)) << m_window.lastError().toStdString();
    QImage back;
    QString error;
    ASSERT_TRUE(loadImage(file, back, &error)) << error.toStdString();
    EXPECT_EQ(back.size(), QSize(100, 200));
    EXPECT_TRUE(colourNear(back, 25, 50, Blue, 0));

    EXPECT_FALSE(m_window.SaveImage(m_dir.filePath("no/such/folder.png"), ifPNG, 0));
    EXPECT_FALSE(m_window.lastError().isEmpty());
}

} // namespace
