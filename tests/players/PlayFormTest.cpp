// The ClearBook player over a real data source on a virtual clock: it plays the edited slide
// full screen, follows button links, goes back to editing on the slide chosen, and shows what
// `vkctl book render` draws.
#include "AT_PlayForm.h"
#include "AT_Schedule.h"
#include "AT_SlideExplorer.h"
#include "Authormain.h"
#include "EditedSlide.h"
#include "Schema.h"
#include "SlideBack.h"
#include "TempDataSource.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

using namespace vk;

namespace {

class PlayFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        StartupSchemaCheck(src.connection);
        AuthoringSchemaCheck(src.connection);
        ASSERT_TRUE(work.isValid());
        src.connection.setTempFilePrefix(work.path());
        frame.screen = QSize(1024, 768);
        frame.playClock = &clock;
        frame.playTimers = &clock;
        frame.makePlayer = [this](TAuthorMain &author) -> std::unique_ptr<SlidePlayer> {
            auto form = std::make_unique<TPlayForm>(author);
            form->askReturn = [this](bool open) {
                askedWithEditedSlide = open;
                ++asked;
                return answer;
            };
            player = form.get();
            return form;
        };
        frame.playingChanged = [this](bool on) { playingChanges << on; };
        window = std::make_unique<TAuthorMain>(src.connection, src.ui, frame);
        window->resize(900, 700);
        window->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    // A ClearBook of three slides; each has a rectangle from the start, an ellipse from 3 s, and
    // a button linked to the next slide. Slide 1 stays open.
    void makeBook()
    {
        book = window->NewClearBook("Tour", "", "");
        for (int i = 0; i < 3; ++i) {
            TDbSlide *s = window->NewSlide(book, QStringLiteral("slide %1").arg(i + 1), "", "");
            ASSERT_TRUE(s);
            TSlideBack *surface = window->surface();
            surface->drawObject(DrawTool::Rectangle, QPoint(10, 10), QPoint(60, 60));
            TDbObject *later = surface->drawObject(DrawTool::Ellipse, QPoint(100, 100), QPoint(160, 160));
            ASSERT_TRUE(window->edited().requestSetBar(later, 300, later->Rec.Bar_Width));
            TDbObject *button = surface->drawObject(DrawTool::Button, QPoint(300, 300), QPoint(400, 340));
            window->edited().selectOnly(button);
            ASSERT_TRUE(window->edited().requestSetLink(0, -1));
            slides << s;
            ASSERT_TRUE(window->SaveSlide());
            ASSERT_TRUE(window->CloseSlide());
        }
        ASSERT_TRUE(window->OpenSlide(slides[0]));
    }
    TDbObject *buttonOf(TDbSlide *s) const
    {
        for (TDbObject *o : s->Objects.Objects)
            if (o->Rec.Obj_Link_SlideId != 0)
                return o;
        return nullptr;
    }
    void press(TDbObject *o)
    {
        emit player->surface()->playPressed(o, Qt::LeftButton, QPoint());
    }
    void key(int k)
    {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(player, &e);
    }

    TempDataSource src;
    QTemporaryDir work;
    VirtualClock clock;
    AuthoringFrame frame;
    std::unique_ptr<TAuthorMain> window;
    TPlayForm *player = nullptr;
    std::optional<ReturnChoice> answer = ReturnChoice::OriginalSlide;
    bool askedWithEditedSlide = false;
    int asked = 0;
    QList<bool> playingChanges;
    TDbClearBook *book = nullptr;
    QList<TDbSlide *> slides;
};

TEST_F(PlayFormTest, TheEditedSlidePlaysFullScreenOnItsTimeline)
{
    makeBook();
    const double editingZoom = window->books().SurfaceZoom;
    const QRect editedRect = QRect(slides[0]->Objects.Objects[0]->Rec.Left, slides[0]->Objects.Objects[0]->Rec.Top,
                                   slides[0]->Objects.Objects[0]->Rec.Width,
                                   slides[0]->Objects.Objects[0]->Rec.Height);
    ASSERT_TRUE(window->PlaySlide());
    ASSERT_TRUE(player);
    EXPECT_TRUE(window->playing());
    EXPECT_TRUE(player->isVisible());
    EXPECT_EQ(player->size(), player->screen()->size()) << "the whole screen";
    EXPECT_TRUE(window->action("muiPlaySlide")->isChecked());
    EXPECT_EQ(window->action("muiPlaySlide")->text(), "Stop Play");
    EXPECT_EQ(playingChanges, QList<bool>{true});
    // The slide fills the screen as far as its proportions let it, centred.
    const QRect surface = player->surface()->geometry();
    EXPECT_EQ(surface, showPlacement(player->size(), QSize(1024, 768)).surface);
    EXPECT_TRUE(surface.width() == player->width() || surface.height() == player->height());

    TDbSlide *s = slides[0];
    TDbObject *now = s->Objects.Objects[0], *later = s->Objects.Objects[1];
    clock.advanceBy(350);
    EXPECT_TRUE(player->surface()->visualOf(now)->Visible);
    EXPECT_FALSE(player->surface()->visualOf(later)->Visible) << "it comes at 3 s";
    clock.advanceBy(3000);
    EXPECT_TRUE(player->surface()->visualOf(later)->Visible);

    // Escape asks which slide to go back to; Cancel plays on.
    answer = std::nullopt;
    key(Qt::Key_Escape);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(askedWithEditedSlide);
    EXPECT_TRUE(window->playing());
    answer = ReturnChoice::OriginalSlide;
    key(Qt::Key_Escape);
    EXPECT_FALSE(window->playing());
    EXPECT_EQ(playingChanges, (QList<bool>{true, false}));
    EXPECT_EQ(window->edited().slide(), slides[0]);
    EXPECT_EQ(window->books().SurfaceZoom, editingZoom) << "editing goes on at its own zoom";
    EXPECT_EQ(QRect(now->Rec.Left, now->Rec.Top, now->Rec.Width, now->Rec.Height), editedRect);
    EXPECT_FALSE(window->action("muiPlaySlide")->isChecked());
    EXPECT_TRUE(window->surface()->visualOf(now)->Visible);
}

TEST_F(PlayFormTest, ButtonLinksLeadOnAndTheReturnDialogChoosesTheSlideToEdit)
{
    makeBook();
    ASSERT_TRUE(window->PlaySlide());
    clock.advanceBy(200);
    press(buttonOf(slides[0]));
    EXPECT_EQ(player->book().playSlide(), slides[1]);
    EXPECT_EQ(player->surface()->slide(), slides[1]);
    press(buttonOf(slides[1]));
    EXPECT_EQ(player->book().playSlide(), slides[2]);
    press(buttonOf(slides[2])); // the last slide: nothing further
    EXPECT_EQ(player->book().playSlide(), slides[2]);
    EXPECT_EQ(player->book().history(), (QList<TDbSlide *>{slides[0], slides[1]}));
    // A press beside every link does nothing.
    press(nullptr);
    EXPECT_EQ(player->book().playSlide(), slides[2]);

    // Going back to the slide playing: the edited one closes (asked to be saved when changed).
    window->edited().selectOnly(slides[0]->Objects.Objects[0]);
    ASSERT_TRUE(window->edited().requestMove({slides[0]->Objects.Objects[0]}, 5, 5));
    answer = ReturnChoice::CurrentSlide;
    src.ui.answer = false;
    key(Qt::Key_Escape);
    EXPECT_FALSE(window->playing());
    EXPECT_EQ(src.ui.questions.value(src.ui.questions.size() - 1), "Do you want to save the changes to this slide?");
    EXPECT_EQ(window->edited().slide(), slides[2]);
    EXPECT_EQ(window->surface()->slide(), slides[2]);
}

TEST_F(PlayFormTest, TheSlideExplorersPlayPlaysTheSlideChosenThere)
{
    makeBook();
    ASSERT_TRUE(window->slideExplorer());
    emit window->slideExplorer()->playRequested(slides[2]);
    ASSERT_TRUE(window->playing());
    EXPECT_EQ(player->book().playSlide(), slides[2]);
    EXPECT_EQ(window->edited().slide(), slides[0]) << "the edited slide stays open meanwhile";
    answer = ReturnChoice::OriginalSlide;
    key(Qt::Key_Escape);
    EXPECT_FALSE(window->playing());
    EXPECT_EQ(window->edited().slide(), slides[0]);
}

TEST_F(PlayFormTest, WithoutAnEditedSlideOnlyTheCurrentSlideCanBeChosen)
{
    makeBook();
    TDbSlide *first = slides[0];
    ASSERT_TRUE(window->PlaySlide());
    // The slide closes under the player (another window could do that): play goes on.
    window->edited().close();
    press(buttonOf(first));
    answer = ReturnChoice::OriginalSlide; // what a test answers is overruled by the disabled group
    key(Qt::Key_Escape);
    EXPECT_FALSE(askedWithEditedSlide);
    EXPECT_EQ(window->edited().slide(), slides[1]);
}

TEST_F(PlayFormTest, TheRenderedSlideIsWhatThePlayerShows)
{
    makeBook();
    ASSERT_TRUE(window->PlaySlide());
    clock.advanceBy(3500);
    // Only the window's own pixels: the surface is repainted before it is grabbed.
    const QImage shown = player->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage rendered = RenderPlayedSlide(window->edited(), slides[0], player->book().list().PlayClock,
                                              player->size(), window->designScreen());
    ASSERT_EQ(shown.size(), rendered.size());
    EXPECT_EQ(shown, rendered);
    // At 1 s the ellipse is not there yet: the pictures differ.
    const QImage early = RenderPlayedSlide(window->edited(), slides[0], 100, player->size(), window->designScreen());
    EXPECT_NE(early, rendered);
    answer = ReturnChoice::OriginalSlide;
    key(Qt::Key_Escape);
}

TEST(ReturnFormTest, TheOriginalSlideIsOfferedOnlyWhileOneIsEdited)
{
    TReturnForm withSlide(true);
    EXPECT_EQ(withSlide.windowTitle(), "Return to Design Mode");
    EXPECT_EQ(withSlide.choice(), ReturnChoice::OriginalSlide);
    TReturnForm without(false);
    EXPECT_EQ(without.choice(), ReturnChoice::CurrentSlide);
}

TEST(ShowPlacementTest, TheSlideKeepsItsProportionsCentred)
{
    struct Case
    {
        QSize area, screen;
        QRect surface;
        int zoom;
    } cases[] = {
        {{1024, 768}, {1024, 768}, {0, 0, 1024, 768}, 100},
        {{1920, 1080}, {1024, 768}, {240, 0, 1440, 1080}, 198},
        {{800, 600}, {1024, 768}, {0, 0, 800, 600}, 61},
        {{1000, 2000}, {1000, 500}, {0, 750, 1000, 500}, 100},
        {{0, 0}, {1024, 768}, {}, 100},
    };
    for (const Case &k : cases) {
        const SurfacePlacement p = showPlacement(k.area, k.screen);
        EXPECT_EQ(p.zoom, k.zoom) << k.area.width() << "x" << k.area.height();
        // Within a pixel of the exact fit, and never outside the area.
        EXPECT_LE(std::abs(p.surface.width() - k.surface.width()), 1);
        EXPECT_LE(std::abs(p.surface.height() - k.surface.height()), 1);
        EXPECT_TRUE(k.area.isEmpty() || QRect(QPoint(), k.area).contains(p.surface));
    }
}

} // namespace
