// A ClearBook played on a virtual clock: links of slides and objects, the history the Backward
// link walks, and the edited slide playing with the flags as they are edited.
#include "AT_DbClearbook.h"
#include "BookPlay.h"
#include "Connection.h"
#include "RecordingUi.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

using namespace vk;

namespace {

class Screen : public BookPlayViews
{
public:
    void slideStarting(TDbSlide *s) override { said << QStringLiteral("slide ") + s->Rec.Slide_Title; }
    void slideLeaving(TDbSlide *s) override { said << QStringLiteral("leave ") + s->Rec.Slide_Title; }
    void linkFollowed(const QString &how, const QString &result) override
    {
        said << (QStringLiteral("link ") + how + (result.isEmpty() ? QString() : QLatin1Char(' ') + result));
    }
    void playEvent(PlayEvent what, const TDbFlag *flag, int) override
    {
        if (what == PlayEvent::Restart)
            said << QStringLiteral("restart");
        if (what == PlayEvent::Stop)
            said << QStringLiteral("stop ") + flag->Rec.Flag_Name;
    }
    QStringList said;
};

class BookPlayTest : public ::testing::Test
{
protected:
    BookPlayTest()
    {
        connection.setUi(&ui);
        for (int b = 0; b < 2; ++b) {
            auto *cb = new TDbClearBook;
            cb->Rec.CB_Id = 7 + b;
            books.ClearBooks << cb;
        }
        // A, B, C in the first book, D in the second; each 1 s long.
        for (const char *title : {"A", "B", "C", "D"}) {
            TDbClearBook *cb = books.ClearBooks[title[0] == 'D' ? 1 : 0];
            auto *s = new TDbSlide;
            s->Rec.Slide_Title = QLatin1String(title);
            s->Rec.Slide_Id = 10 + int(slides.size());
            s->Rec.CB_Id = cb->Rec.CB_Id;
            s->Owner = cb;
            cb->Slides << s;
            slides[QLatin1String(title)] = s;
            auto *o = new TDbObject;
            o->Rec.Title = QStringLiteral("button on ") + QLatin1String(title);
            o->Rec.Obj_TypeId = 3;
            o->Rec.Bar_Left = 0;
            o->Rec.Bar_Width = 100;
            o->RefCount = 1;
            o->Owner = s;
            s->Objects.Objects << o;
            s->Objects.DesignOrder << o;
        }
    }
    TDbObject *button(const char *slide, int cbId, int slideId)
    {
        TDbObject *o = slides[QLatin1String(slide)]->Objects.Objects.first();
        o->Rec.Obj_Link_CBId = cbId;
        o->Rec.Obj_Link_SlideId = slideId;
        return o;
    }
    QString playing() const { return play.playSlide() ? play.playSlide()->Rec.Slide_Title : QString(); }
    QStringList historyTitles() const
    {
        QStringList out;
        for (const TDbSlide *s : play.history())
            out << s->Rec.Slide_Title;
        return out;
    }

    RecordingUi ui;
    Connection connection;
    TDbClearBookList books{connection};
    QHash<QString, TDbSlide *> slides;
    VirtualClock clock;
    Screen screen;
    TBookPlay play{books, clock, clock, screen};
};

TEST_F(BookPlayTest, ObjectLinksMoveThroughTheBooksAndBackwardWalksTheHistory)
{
    play.start(slides["A"]);
    play.followLink(button("A", 0, -1)); // next: B
    play.followLink(button("B", 8, 13)); // into the other book: D
    EXPECT_EQ(playing(), "D");
    EXPECT_EQ(historyTitles(), (QStringList{"A", "B"}));

    // Backward returns to the slide left most recently, and does not grow the history.
    play.followLink(button("D", 0, -3));
    EXPECT_EQ(playing(), "B");
    EXPECT_EQ(historyTitles(), QStringList{"A"});
    play.followLink(button("B", 0, -3));
    EXPECT_EQ(playing(), "A");
    EXPECT_TRUE(play.history().isEmpty());
    // With nothing left behind, backward does nothing.
    play.followLink(button("A", 0, -3));
    EXPECT_EQ(playing(), "A");
    EXPECT_EQ(screen.said.last(), "link back none");
    EXPECT_EQ(screen.said.mid(0, 5),
              (QStringList{"slide A", "link next", "leave A", "slide B", "link slide"}));
}

TEST_F(BookPlayTest, TheEndsOfTheBookAMissingSlideAndReplayKeepTheSlide)
{
    struct Case
    {
        const char *from;
        int cbId, slideId;
        QString said;
    } cases[] = {
        {"C", 0, -1, "link next none"},
        {"A", 0, -2, "link previous none"},
        {"A", 7, 99, "link slide missing"},
        {"A", 0, -4, "restart"},
        {"A", 7, 10, "restart"}, // a link to the slide playing plays it again
        {"D", 0, -1, "link next none"}, // next stays inside the slide's own book
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(QStringLiteral("%1 → %2/%3").arg(k.from).arg(k.cbId).arg(k.slideId).toStdString());
        play.start(slides[QLatin1String(k.from)]);
        screen.said.clear();
        ui.messages.clear();
        play.followLink(button(k.from, k.cbId, k.slideId));
        EXPECT_EQ(playing(), QLatin1String(k.from));
        ASSERT_FALSE(screen.said.isEmpty());
        EXPECT_EQ(screen.said.last(), k.said);
        EXPECT_TRUE(play.history().isEmpty());
        EXPECT_EQ(ui.messages, k.slideId == 99 ? QStringList{"Cannot find the link slide!"} : QStringList());
    }
}

TEST_F(BookPlayTest, ASlidesOwnLinkIsFollowedWhenItsTimelineEnds)
{
    slides["A"]->Rec.Jump_Slide_Id = -1;
    play.start(slides["A"]);
    clock.advanceBy(900);
    EXPECT_EQ(playing(), "A");
    clock.advanceBy(300);
    EXPECT_EQ(playing(), "B");
    EXPECT_LT(play.list().PlayClock, 30);
    EXPECT_EQ(historyTitles(), QStringList{"A"});
}

TEST_F(BookPlayTest, TheEditedSlidePlaysItsFlagsAsEditedWhereverPlayComesFrom)
{
    TsFlag stop;
    stop.Kind = FlagKind::Stop;
    stop.Flag_Name = QStringLiteral("unsaved stop");
    stop.Flag_StartTime = 50;
    play.setEditedSlide(slides["B"], {stop});
    play.start(slides["A"]);
    EXPECT_TRUE(play.flags().Flags.isEmpty());
    play.followLink(button("A", 0, -1));
    ASSERT_EQ(play.flags().count(), 1);
    EXPECT_EQ(play.flags().at(0)->Rec.Flag_Name, "unsaved stop");
    clock.advanceBy(700);
    EXPECT_EQ(screen.said.last(), "stop unsaved stop");
}

} // namespace
