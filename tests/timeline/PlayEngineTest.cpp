// The play engine driven tick by tick on a virtual clock: what is shown, hidden, started and
// stopped, and when, for every kind of flag.
#include "AT_DbClearbook.h"
#include "LinkTarget.h"
#include "ObjectKinds.h"
#include "TempDataSource.h"
#include "VirtualClock.h"
#include "PlayEngine.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <map>

using namespace vk;

namespace {

struct Happening
{
    qint64 ms;
    int clock;
    QString what;
};

// Records what the engine does to the screen and the media, with the time of each.
class Recorder : public PlayViews
{
public:
    class Medium : public MediaPlayback
    {
    public:
        Medium(Recorder &r, QString name) : m_recorder(r), m_name(std::move(name)) {}
        qint64 length() const override { return lengthMs; }
        bool isStopped() const override { return stopped; }
        void setNotify(bool) override {}
        void seek(qint64 ms) override
        {
            position = ms;
            m_recorder.note(QStringLiteral("seek %1 %2").arg(m_name).arg(ms));
        }
        void play() override
        {
            stopped = false;
            m_recorder.note(QStringLiteral("play %1").arg(m_name));
        }
        void pause() override { m_recorder.note(QStringLiteral("pause %1").arg(m_name)); }
        void stop() override
        {
            if (!stopped)
                m_recorder.note(QStringLiteral("stop %1").arg(m_name));
            stopped = true;
        }

        qint64 lengthMs = 100000;
        qint64 position = 0;
        bool stopped = true;

    private:
        Recorder &m_recorder;
        QString m_name;
    };

    explicit Recorder(const Clock &clock) : m_clock(clock) {}

    // Only changes are noted, as the audience sees them.
    void setObjectVisible(TDbObject *o, bool visible) override
    {
        if (visibility[o] == visible)
            return;
        visibility[o] = visible;
        note((visible ? QStringLiteral("show ") : QStringLiteral("hide ")) + o->Rec.Title);
    }
    MediaPlayback *openMedia(TDbObject *o) override
    {
        if (unopenable.contains(o->Rec.Title))
            return nullptr;
        auto &m = media[o->Rec.Title];
        m = std::make_unique<Medium>(*this, o->Rec.Title);
        return m.get();
    }
    void followLink() override
    {
        ++linksFollowed;
        note(QStringLiteral("link"));
    }
    void playEvent(PlayEvent what, const TDbFlag *flag, int value) override
    {
        static const char *const names[] = {"loop",         "loop-again", "loop-out", "loop-expired", "jump",
                                            "jump-nowhere", "label",      "delay",    "delay-end",    "pause",
                                            "resume",       "stop",       "end",      "restart"};
        QString text = QLatin1String(names[int(what)]);
        if (flag)
            text += QLatin1Char(' ') + flag->Rec.Flag_Name;
        if (what == PlayEvent::LoopAgain && value >= 0)
            text += QStringLiteral(" left %1").arg(value);
        note(text);
    }

    void note(const QString &what) { log.append({m_clock.now(), play ? play->PlayClock : 0, what}); }

    QStringList whats() const
    {
        QStringList out;
        for (const Happening &h : log)
            out << h.what;
        return out;
    }
    // When the n-th such happening came, -1 when it did not.
    qint64 when(const QString &what, int nth = 0) const
    {
        for (const Happening &h : log)
            if (h.what == what && nth-- == 0)
                return h.ms;
        return -1;
    }
    int times(const QString &what) const { return int(whats().count(what)); }

    TPlayList *play = nullptr;
    QList<Happening> log;
    std::map<TDbObject *, bool> visibility;
    std::map<QString, std::unique_ptr<Medium>> media;
    QStringList unopenable;
    int linksFollowed = 0;

private:
    const Clock &m_clock;
};

// A slide, its flags and a play list on a virtual clock.
struct Rig
{
    explicit Rig(Connection &connection) : recorder(clock), flags(connection), play(clock, clock, recorder)
    {
        recorder.play = &play;
    }

    TDbObject *object(const QString &title, int left, int width, int kind = ObjectKind::Rectangle)
    {
        auto *o = new TDbObject;
        o->Rec.Title = title;
        o->Rec.Obj_TypeId = kind;
        o->Rec.Bar_Left = left;
        o->Rec.Bar_Width = width;
        o->RefCount = 1;
        o->Owner = &slide;
        slide.Objects.Objects.append(o);
        slide.Objects.DesignOrder.append(o);
        return o;
    }
    TDbObject *audio(const QString &title, int left, int width) { return object(title, left, width, 101); }

    TDbFlag *flag(FlagKind kind, const QString &name, int start, int value = 0, bool active = false,
                  const QString &jumpTo = QString())
    {
        TsFlag r;
        r.Kind = kind;
        r.Flag_Name = name;
        r.Flag_StartTime = start;
        r.Time_Associated = value;
        r.FlagActive = active;
        r.Jump_To_MarkName = jumpTo;
        auto *f = new TDbFlag(r);
        flags.AddFlag(f);
        return f;
    }
    // A loop and its end: counted (`value` more passes) or time-limited (`value` cs).
    TDbFlag *loop(const QString &name, int start, int end, bool counted, int value)
    {
        TDbFlag *f = flag(FlagKind::LoopStart, name, start, value, counted);
        f->Rec.Loop_EndTime = end;
        flags.AddFlag(new TDbFlag(LoopEndOf(f->Rec)));
        return f;
    }

    void start()
    {
        play.BuildPlayList(&slide, flags);
        play.LinkPlayList();
        play.StartPlay();
    }
    Recorder::Medium &medium(const QString &title) { return *recorder.media.at(title); }

    VirtualClock clock;
    Recorder recorder;
    TDbSlide slide;
    TDbFlagList flags;
    TPlayList play; // last: it points at all the rest
};

class PlayEngineTest : public ::testing::Test
{
protected:
    PlayEngineTest() { connection.setUi(&ui); }

    // The first tick after which an entry at `time` has been passed, when play started at
    // 0 ms: the first tick reads 0, the n-th (n > 1) reads 10·n.
    static qint64 passedAt(int time) { return (time / 10 + 1) * 100; }

    RecordingUi ui;
    Connection connection;
    Rig r{connection};
};

TEST_F(PlayEngineTest, EntriesAreInTimeOrderWithObjectsBeforeFlagsAtEqualTimes)
{
    r.flag(FlagKind::Label, "late label", 100);
    r.object("Box", 100, 200);
    r.object("Off", 0, 50)->Disabled = true;
    r.object("Gone", 0, 50)->Rec.Removed = true;
    r.audio("Broken", 0, 50);
    r.recorder.unopenable << "Broken";
    r.flag(FlagKind::Delay, "early delay", 100, 10);
    r.object("Frame", 100, 100);
    r.play.BuildPlayList(&r.slide, r.flags);

    QStringList order;
    for (const auto &e : r.play.entries())
        order << QStringLiteral("%1 %2").arg(e->Time).arg(
            e->Flag ? e->Flag->Rec.Flag_Name
                    : e->Object->Rec.Title + (e->Kind == EntryKind::ObjectShow ? " show" : " hide"));
    EXPECT_EQ(order, QStringList({"100 Box show", "100 Frame show", "100 late label", "100 early delay",
                                  "200 Frame hide", "300 Box hide"}));
    EXPECT_EQ(r.play.MaxTime, 300); // the disabled and the unopened count, the removed does not
}

TEST_F(PlayEngineTest, AnEntryIsPassedOnTheFirstTickWhoseClockIsPastItsTimeObjectsFirst)
{
    r.object("Box", 100, 400);
    r.flag(FlagKind::Label, "Here", 100);
    r.start();

    r.clock.advanceTo(100);
    EXPECT_EQ(r.play.PlayClock, 0); // the first tick reads 0
    r.clock.advanceTo(1000);
    EXPECT_EQ(r.play.PlayClock, 100);
    EXPECT_TRUE(r.recorder.log.isEmpty()) << "strictly past its time, not at it";
    r.clock.advanceTo(1100);
    EXPECT_EQ(r.recorder.whats(), QStringList({"show Box", "label Here"}));
    EXPECT_EQ(r.recorder.when("show Box"), passedAt(100));
}

TEST_F(PlayEngineTest, ACountedLoopOfNPlaysItsStretchNPlusOneTimes)
{
    r.object("Back", 0, 1000);
    r.object("Blink", 120, 30);
    r.loop("L", 100, 200, true, 2);
    r.start();
    r.clock.advanceTo(20000);

    EXPECT_EQ(r.recorder.times("show Blink"), 3);
    EXPECT_EQ(r.recorder.times("hide Blink"), 3);
    EXPECT_EQ(r.recorder.whats().filter(QRegularExpression("^loop")),
              QStringList({"loop L", "loop-again L left 1", "loop-again L left 0", "loop-out L"}));
    // Each pass takes the stretch's own time: back at 100 each time the clock passes 200.
    EXPECT_EQ(r.recorder.when("loop-again L left 1"), passedAt(200));
    EXPECT_EQ(r.recorder.when("loop-again L left 0"), passedAt(200) + 1100);
    EXPECT_EQ(r.recorder.when("loop-out L"), passedAt(200) + 2200);
    EXPECT_TRUE(r.play.loopStack().empty());
}

TEST_F(PlayEngineTest, ATimeLimitedLoopEndsAtTheFirstTickAtOrAfterItsLimit)
{
    // The loop's start is passed at 1100 ms; its time counts from there.
    const struct
    {
        int limit;
        qint64 endsAt;
    } cases[] = {{250, 3600}, {255, 3700}, {100, 2100}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.limit);
        Rig t(connection);
        t.object("Back", 0, 1000);
        t.loop("T", 100, 200, false, k.limit);
        t.flag(FlagKind::Label, "After", 250);
        t.start();

        t.clock.advanceTo(k.endsAt - 1);
        EXPECT_EQ(t.recorder.when("loop-expired T"), -1);
        t.clock.advanceTo(k.endsAt);
        EXPECT_EQ(t.recorder.when("loop-expired T"), k.endsAt);
        EXPECT_EQ(t.play.PlayClock, 200); // at its end, not back at its start
        const int turns = t.recorder.times("loop-again T");
        t.clock.advanceTo(k.endsAt + 1000);
        EXPECT_EQ(t.recorder.times("loop-again T"), turns);
        EXPECT_EQ(t.recorder.when("label After"), k.endsAt + 600);
    }
}

TEST_F(PlayEngineTest, ADelayHoldsWithoutBlockingAndLeavesTheClockWhereItWas)
{
    r.audio("Tune", 0, 1000);
    r.flag(FlagKind::Delay, "D", 200, 150);
    r.object("Late", 205, 100); // due in the same tick as the delay, but after it
    r.start();

    r.clock.advanceTo(2100);
    EXPECT_EQ(r.play.PlayClock, 210);
    EXPECT_TRUE(r.play.isHolding());
    EXPECT_EQ(r.recorder.when("pause Tune"), 2100);
    EXPECT_EQ(r.recorder.when("show Late"), -1) << "what comes after the delay waits for its end";

    r.clock.advanceTo(3599);
    EXPECT_EQ(r.play.PlayClock, 210);
    EXPECT_EQ(r.recorder.when("show Late"), -1);
    r.clock.advanceTo(3600);
    EXPECT_FALSE(r.play.isHolding());
    EXPECT_EQ(r.recorder.when("delay-end D"), 3600);
    EXPECT_EQ(r.recorder.when("play Tune", 1), 3600);
    EXPECT_EQ(r.play.PlayClock, 210) << "the clock goes on from where the delay found it";
    EXPECT_EQ(r.recorder.when("show Late"), 3600);
    r.clock.advanceTo(3700);
    EXPECT_EQ(r.play.PlayClock, 220);
}

TEST_F(PlayEngineTest, APauseDuringADelayKeepsWhatIsLeftOfTheHold)
{
    r.object("Back", 0, 1000);
    r.flag(FlagKind::Delay, "D", 200, 100);
    r.start();
    r.clock.advanceTo(2500); // the hold began at 2100 and has 600 ms left
    r.play.PauseCommand();
    r.clock.advanceTo(9000);
    r.play.PauseCommand();
    r.clock.advanceTo(9599);
    EXPECT_TRUE(r.play.isHolding());
    r.clock.advanceTo(9600);
    EXPECT_EQ(r.recorder.when("delay-end D"), 9600);
    r.clock.advanceTo(9700);
    EXPECT_EQ(r.play.PlayClock, 220);
}

TEST_F(PlayEngineTest, APauseStopsTheClockUntilItsKeyOrClick)
{
    for (const bool byKey : {true, false}) {
        SCOPED_TRACE(byKey);
        Rig t(connection);
        t.flag(FlagKind::Pause, "P", 200, 0, byKey);
        t.audio("Tune", 0, 1000);
        t.object("Late", 205, 100); // due in the pause's tick
        t.start();

        t.clock.advanceTo(2100);
        EXPECT_TRUE(t.play.Paused);
        EXPECT_FALSE(t.play.playTimer().isEnabled());
        EXPECT_EQ(t.recorder.when("pause Tune"), 2100);
        EXPECT_EQ(t.recorder.when("show Late"), -1);
        t.clock.advanceTo(60000);
        EXPECT_EQ(t.play.PlayClock, 210);
        t.play.PauseInput(!byKey); // the other way does not resume
        EXPECT_TRUE(t.play.Paused);
        t.play.PauseInput(byKey);
        EXPECT_FALSE(t.play.Paused);
        EXPECT_EQ(t.recorder.when("play Tune", 1), 60000);
        t.clock.advanceTo(60100);
        EXPECT_EQ(t.play.PlayClock, 220) << "a pause of any length does not advance the clock";
        EXPECT_EQ(t.recorder.when("show Late"), 60100);
    }
}

TEST_F(PlayEngineTest, ThePauseCommandPausesUntilAKeyAndResumes)
{
    r.object("Back", 0, 1000);
    r.start();
    r.clock.advanceTo(500);
    r.play.PauseCommand();
    EXPECT_TRUE(r.play.Paused);
    EXPECT_TRUE(r.play.ResumeOnKey);
    r.clock.advanceTo(5000);
    r.play.PauseCommand();
    EXPECT_FALSE(r.play.Paused);
    r.clock.advanceTo(5100);
    EXPECT_EQ(r.play.PlayClock, 60);
}

TEST_F(PlayEngineTest, AtTheEndTheSlidesOwnLinkIsFollowedOnce)
{
    const struct
    {
        int link, followed;
    } cases[] = {{EndingAction::Sequence, 1}, {EndingAction::Repeat, 1}, {EndingAction::Pause, 0}, {12, 1}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.link);
        Rig t(connection);
        t.object("Box", 0, 300);
        t.slide.Rec.Jump_Slide_Id = k.link;
        t.start();
        t.clock.advanceTo(2900);
        EXPECT_EQ(t.recorder.linksFollowed, 0);
        t.clock.advanceTo(3000);
        EXPECT_EQ(t.play.PlayClock, 300);
        EXPECT_EQ(t.recorder.when("end"), 3000);
        EXPECT_EQ(t.recorder.linksFollowed, k.followed);
        EXPECT_FALSE(t.play.playTimer().isEnabled());
        EXPECT_EQ(t.recorder.when("hide Box"), -1) << "the clock stops at the end, not past it";
        t.clock.advanceTo(10000);
        EXPECT_EQ(t.recorder.linksFollowed, k.followed);
    }
}

TEST_F(PlayEngineTest, JumpsGoToTheirLabelAndAJumpWhoseLabelIsGoneDoesNothing)
{
    r.object("Back", 0, 1000);
    r.object("Skipped", 250, 10);
    TDbFlag *lost = r.flag(FlagKind::Jump, "Lost", 100, 0, false, "Gone");
    TDbFlag *jump = r.flag(FlagKind::Jump, "J", 200, 0, false, "Here");
    r.flag(FlagKind::Label, "Here", 400);
    r.start();
    EXPECT_EQ(lost->Rec.Time_Associated, -1);
    ASSERT_NE(r.play.entryAt(jump->Rec.Time_Associated), nullptr);
    EXPECT_EQ(r.play.entryAt(jump->Rec.Time_Associated)->Flag->Rec.Flag_Name, "Here");

    r.clock.advanceTo(passedAt(100));
    EXPECT_EQ(r.recorder.whats(), QStringList({"show Back", "jump-nowhere Lost"}));
    r.clock.advanceTo(passedAt(100) + 100);
    EXPECT_EQ(r.play.PlayClock, 120);

    r.clock.advanceTo(passedAt(200));
    EXPECT_EQ(r.recorder.whats().last(), "jump J");
    EXPECT_EQ(r.play.PlayClock, 400);
    r.clock.advanceTo(passedAt(200) + 100);
    EXPECT_EQ(r.play.PlayClock, 410);
    EXPECT_EQ(r.recorder.times("show Skipped"), 0);
}

TEST_F(PlayEngineTest, SeekingTakesEachMediumRoundItsLengthAndStartsOneOfNoLengthOver)
{
    // Back at the loop's start, 500 ms into the medium's bar.
    const struct
    {
        qint64 length, position;
    } cases[] = {{0, 0}, {-1, 0}, {300, 200}, {250, 250}, {1000, 500}, {500, 500}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.length);
        Rig t(connection);
        t.loop("L", 100, 200, true, 1);
        t.audio("Tune", 50, 500);
        t.start();
        t.medium("Tune").lengthMs = k.length;
        t.clock.advanceTo(passedAt(200));
        EXPECT_EQ(t.recorder.when(QStringLiteral("seek Tune %1").arg(k.position)), passedAt(200));
    }
}

TEST_F(PlayEngineTest, AStopEndsPlayThereAndWhatIsDueAfterItInTheSameTickStaysUndone)
{
    r.object("Box", 0, 300);
    r.audio("Tune", 297, 3);
    r.flag(FlagKind::Stop, "S", 295);
    r.slide.Rec.Jump_Slide_Id = EndingAction::Sequence;
    r.start();
    r.clock.advanceTo(3000); // the clock reads 300, the end: the stop and the tune are both due
    EXPECT_EQ(r.recorder.whats(), QStringList({"show Box", "stop S"}));
    EXPECT_FALSE(r.play.isPlaying());
    EXPECT_FALSE(r.play.playTimer().isEnabled());
    EXPECT_EQ(r.recorder.linksFollowed, 0) << "a stopped play follows no link";

    // Stopped stays stopped: a pause and a resume do not play it again.
    r.play.PausePlay(true);
    EXPECT_FALSE(r.play.Paused);
    r.play.ResumePlay();
    r.clock.advanceTo(10000);
    EXPECT_EQ(r.recorder.whats(), QStringList({"show Box", "stop S"}));
}

TEST_F(PlayEngineTest, TimesBeyondThirtyTwoBitsKeepTheirMeaning)
{
    r.object("Back", 0, 1000);
    r.loop("Long", 100, 200, false, 300000000); // 3,000,000,000 ms
    r.start();
    r.clock.advanceTo(20000);
    EXPECT_EQ(r.recorder.when("loop-expired Long"), -1);
    EXPECT_GE(r.recorder.times("loop-again Long"), 2);
}

TEST_F(PlayEngineTest, MediaPlayedToTheirEndStartOverWhileTheirBarLasts)
{
    r.audio("Tune", 0, 1000);
    r.object("Back", 0, 2000);
    r.start();
    r.clock.advanceTo(200);
    EXPECT_EQ(r.recorder.whats(), QStringList({"play Tune", "show Back"}));
    r.medium("Tune").stopped = true; // played to its end
    r.clock.advanceTo(300);
    r.clock.advanceTo(passedAt(1000));
    EXPECT_EQ(r.recorder.whats(), QStringList({"play Tune", "show Back", "seek Tune 0", "play Tune",
                                               "stop Tune", "seek Tune 0"}));
}

TEST_F(PlayEngineTest, RestartSilencesAndRewindsMediaAndPlaysFromTheStart)
{
    r.object("Box", 0, 300);
    r.object("Late", 500, 100);
    r.object("Off", 0, 300)->Disabled = true;
    r.audio("Tune", 100, 800);
    r.loop("L", 400, 700, false, 600);
    r.start();
    r.clock.advanceTo(passedAt(500));
    ASSERT_EQ(r.play.loopStack().size(), 1u);
    r.recorder.log.clear();

    r.play.RestartPlay();
    EXPECT_EQ(r.recorder.whats(),
              QStringList({"restart", "show Box", "stop Tune", "seek Tune 0", "hide Late"}));
    EXPECT_TRUE(r.play.PlayingMedia.isEmpty());
    EXPECT_TRUE(r.play.loopStack().empty());
    r.clock.advanceBy(100);
    EXPECT_EQ(r.play.PlayClock, 0);
    r.clock.advanceBy(1000);
    EXPECT_EQ(r.play.PlayClock, 110);
    EXPECT_EQ(r.recorder.times("play Tune"), 1);
}

TEST_F(PlayEngineTest, AfterAResumeTheLoopTimerEndsATimedLoopAtItsOwnEnd)
{
    r.object("Back", 0, 1000);
    // A label made before the loop lies at the loop's end, ahead of the loop's end flag.
    r.flag(FlagKind::Label, "Mark", 200);
    r.loop("T", 100, 200, false, 250);
    r.flag(FlagKind::Label, "After", 300);
    r.start();
    r.clock.advanceTo(1500); // the loop began at 1100
    r.play.PausePlay(false);
    r.clock.advanceTo(2150);
    r.play.ResumePlay();
    EXPECT_TRUE(r.play.loopTimer().isEnabled());

    // 2500 ms after the loop began, seen by the loop timer (every 20 ms from the resume)
    // before the play timer's next tick at 3650.
    r.clock.advanceTo(3620);
    EXPECT_EQ(r.recorder.when("loop-expired T"), 3610);
    EXPECT_EQ(r.play.PlayClock, 200);
    EXPECT_FALSE(r.play.loopTimer().isEnabled());
    const int turns = r.recorder.times("loop-again T");
    r.clock.advanceTo(6000);
    EXPECT_EQ(r.recorder.times("loop-again T"), turns) << "the loop does not come back";
    EXPECT_EQ(r.recorder.when("label After"), 4650);
}

TEST(LinkTargetTest, LinksLeadWhereTheirSlidePartSays)
{
    Connection connection;
    TDbClearBookList books(connection);
    auto *cb = new TDbClearBook;
    cb->Rec.CB_Id = 7;
    auto *other = new TDbClearBook;
    other->Rec.CB_Id = 8;
    books.ClearBooks << cb << other;
    QList<TDbSlide *> s;
    for (int i = 0; i < 3; ++i) {
        auto *slide = new TDbSlide;
        slide->Rec.Slide_Id = 10 + i;
        slide->Owner = i < 2 ? cb : other;
        (i < 2 ? cb : other)->Slides.append(slide);
        s << slide;
    }
    struct Case
    {
        int from, cbId, slideId;
        LinkTarget::Action action;
        int to; // index into s, -1 none
        bool withHistory = false;
    } cases[] = {
        {0, 0, 0, LinkTarget::Nothing, -1},  {0, 0, -1, LinkTarget::Slide, 1},
        {1, 0, -1, LinkTarget::Nothing, -1}, {1, 0, -2, LinkTarget::Slide, 0},
        {0, 0, -2, LinkTarget::Nothing, -1}, {0, 0, -4, LinkTarget::Restart, -1},
        {0, 0, -3, LinkTarget::Nothing, -1}, {0, 0, -3, LinkTarget::Slide, 2, true},
        {0, 8, 12, LinkTarget::Slide, 2},    {0, 7, 12, LinkTarget::Missing, -1},
        {0, 7, 10, LinkTarget::Restart, 0},  {0, 0, -7, LinkTarget::Nothing, -1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(
            QStringLiteral("from %1 link %2/%3").arg(k.from).arg(k.cbId).arg(k.slideId).toStdString());
        QList<TDbSlide *> history;
        if (k.withHistory)
            history << s[2];
        const LinkTarget t = ResolveLink(books, s[k.from], history, k.cbId, k.slideId);
        EXPECT_EQ(t.action, k.action);
        if (k.action == LinkTarget::Slide) {
            EXPECT_EQ(t.slide, s[k.to]);
        }
        EXPECT_EQ(t.backward, k.withHistory);
        EXPECT_TRUE(history.isEmpty());
    }
}

} // namespace
