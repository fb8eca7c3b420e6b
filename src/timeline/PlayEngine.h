// The play engine.
//
// The engine walks a time-ordered list of entries built from the slide's object bars and its
// flags (FlagList.h), on a clock that a 100 ms timer advances. Time, timers, the visuals and the
// media players are handed to it (Clock.h, PlayViews, MediaPlayback), so the same engine drives
// the player window, the preview and `vkctl book play --trace`, and a test drives it tick by tick.
//
// All times are integers in hundredths of a second (cs) unless a name says milliseconds.
#pragma once

#include "Clock.h"
#include "FlagList.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace vk {

class TDbObject;
class TDbSlide;

// The play engine

// An audio or video object's player as the engine needs it. Positions in milliseconds.
class MediaPlayback
{
public:
    virtual ~MediaPlayback() = default;
    // 0 or less when not known.
    virtual qint64 length() const = 0;
    // Played to its end, or not started: its mode is stopped.
    virtual bool isStopped() const = 0;
    virtual void setNotify(bool on) = 0;
    virtual void seek(qint64 ms) = 0;
    // Plays from the position (a paused medium resumes).
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
};

enum class EntryKind : quint8
{
    LoopStart = 0,
    LoopEnd = 1,
    Jump = 2,
    Label = 3,
    Delay = 4,
    Pause = 5,
    Stop = 6,
    ObjectShow = 7,
    ObjectHide = 8,
};

struct PlayEntry
{
    TDbFlag *Flag = nullptr;     // a flag's entry
    TDbObject *Object = nullptr; // an object's show or hide
    int Time = 0;
    EntryKind Kind = EntryKind::Label;
    // LoopStart: its LoopEnd's entry; LoopEnd: its LoopStart's; Jump: its destination's.
    PlayEntry *Link = nullptr;
    int Position = 0; // in the play list
};

// One active loop.
struct TLoopStack
{
    qint64 Credit = 0; // cs credited by delays and by the loop timer
    int Remaining = 0; // passes left (counted) or the time limit (time-limited)
    int EndTime = 0;
    bool ByCount = false;
    qint64 StartTick = 0; // ms when its start was passed
    PlayEntry *EndEntry = nullptr;
};

// What the engine tells, beside showing, hiding and playing (for traces and status texts).
enum class PlayEvent
{
    LoopStart,   // value: count or time limit
    LoopAgain,   // back to the loop's start; value: passes left (counted) or -1
    LoopOut,     // a counted loop ran out
    LoopExpired, // a time-limited loop's time is up
    Jump,        // value: the destination's position in the play list
    JumpNowhere, // its label is gone
    Label,
    Delay,    // value: the hold
    DelayEnd, // the hold is over
    Pause,    // value: 1 when a key resumes, 0 a click (flag null: the Pause command)
    Resume,
    Stop,
    End, // the clock reached the timeline's end
    Restart,
};

// What the engine does to the screen and asks of the player window. Every hook does nothing
// unless a view overrides it.
class PlayViews
{
public:
    virtual ~PlayViews() = default;
    // The visual of an image, text, button, memo or shape, or a video's display.
    virtual void setObjectVisible(TDbObject *, bool /*visible*/) {}
    // An audio or video object's media opened for play: its player (owned by the view, alive
    // until the next BuildPlayList), or null when it cannot be opened; the view has then said
    // why, and play leaves the object out.
    virtual MediaPlayback *openMedia(TDbObject *) { return nullptr; }
    // The clock moved: the timeline's cursor and current-time box follow.
    virtual void clockMoved(int /*playClock*/) {}
    virtual void hideSelectionOutlines() {}
    // The clock reached the end of a slide that has a link of its own: follow it.
    virtual void followLink() {}
    virtual void playEvent(PlayEvent, const TDbFlag *, int /*value*/) {}
};

// The play list of a slide and everything that plays it: the entries in time order, the loop
// stack, the clock and the two timers (play 100 ms, loop 20 ms).
class TPlayList
{
public:
    TPlayList(Clock &clock, TimerFactory &timers, PlayViews &views);
    ~TPlayList();
    TPlayList(const TPlayList &) = delete;
    TPlayList &operator=(const TPlayList &) = delete;

    static constexpr int PlayInterval = 100;
    static constexpr int LoopInterval = 20;

    const std::vector<std::unique_ptr<PlayEntry>> &entries() const { return m_entries; }
    qsizetype count() const { return qsizetype(m_entries.size()); }
    PlayEntry *entryAt(qsizetype i) const
    {
        return i >= 0 && i < count() ? m_entries[size_t(i)].get() : nullptr;
    }
    const std::vector<std::unique_ptr<TLoopStack>> &loopStack() const { return m_loops; }
    Timer &playTimer() const { return *m_playTimer; }
    Timer &loopTimer() const { return *m_loopTimer; }

    // The entries of the slide's objects (neither removed nor disabled; audio and video only
    // when their media opens) and of the flags, in time order: at equal times objects before
    // flags, objects in slide order and flags in list order. The flags and objects must
    // outlive the entries. Empties the loop stack.
    void BuildPlayList(TDbSlide *slide, TDbFlagList &flags);
    // Links loops with their ends and jumps with their labels (a jump's Time_Associated
    // becomes its destination's position, -1 when its label is gone).
    void LinkPlayList();
    // Plays from the start, with no media playing and the clock at 0 on the first tick.
    void StartPlay();
    void RestartPlay();
    void PausePlay(bool resumeOnKey);
    void ResumePlay();
    // Holds the timeline for `hold` cs without blocking: media pause, no tick moves the clock
    // or passes an entry until the hold is over, and the clock then goes on from where it was.
    void DelayPlay(int hold);
    void StopPlay();
    void SeekEntry(PlayEntry *target);
    std::unique_ptr<TLoopStack> PopExpiredLoops(qint64 tick);
    // The play timer's work and the loop timer's.
    void ClockTick();
    void LoopTimerTick();

    // While paused, a key press resumes when the pause waits for a key, a left click when it
    // waits for a click.
    void PauseInput(bool keyDown);
    // The authoring window's Pause command: resumes when paused, else pauses until a key.
    void PauseCommand();

    bool isPlaying() const { return m_playing; }
    bool isHolding() const { return m_holding; }
    MediaPlayback *playerOf(TDbObject *o) const { return m_players.value(o); }

    // The play state.
    TDbSlide *PlaySlide = nullptr;
    TDbFlagList *SlideFlags = nullptr;
    int MaxTime = 0; // the timeline's length, set from the slide by BuildPlayList
    int PlayClock = 0;
    qint64 ClockOffset = 0; // ms added to the tick
    qsizetype CurrentIndex = 0;
    PlayEntry *CurrentEntry = nullptr;
    qint64 LoopStartTick = 0;
    QList<TDbObject *> PlayingMedia;
    bool ResetClock = false;
    bool PlayMode = false;
    qint64 PauseTick = 0;
    qint64 StartTick = 0;
    bool Paused = false;
    bool ResumeOnKey = false;

private:
    void clearEntries();
    void setCurrent(qsizetype index);
    void process(PlayEntry *e, qint64 tick);
    void showObject(TDbObject *o, bool startMedia);
    void hideObject(TDbObject *o);
    void joinPlaying(TDbObject *o);
    void leavePlaying(TDbObject *o);
    void endHold();
    void event(PlayEvent what, const TDbFlag *flag = nullptr, int value = 0)
    {
        m_views.playEvent(what, flag, value);
    }

    Clock &m_clock;
    PlayViews &m_views;
    std::unique_ptr<Timer> m_playTimer;
    std::unique_ptr<Timer> m_loopTimer;
    std::unique_ptr<Timer> m_holdTimer;
    std::vector<std::unique_ptr<PlayEntry>> m_entries;
    std::vector<std::unique_ptr<TLoopStack>> m_loops;
    QHash<TDbObject *, MediaPlayback *> m_players;
    bool m_inTick = false; // the play timer's re-entry mark
    bool m_playing = false;
    bool m_holding = false;
    const TDbFlag *m_holdFlag = nullptr;
    qint64 m_holdUntil = 0;
    qint64 m_holdLeft = 0; // of a hold interrupted by a pause, in ms
};

} // namespace vk
