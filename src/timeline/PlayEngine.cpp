// The play engine: the play list of a slide, its clock, loops, holds and links.
#include "PlayEngine.h"

#include "AT_DbClearbook.h"
#include "ObjectKinds.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace vk {

namespace {

int saturated(qint64 value)
{
    return int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The play engine

namespace {

bool isPlayedMedia(const TDbObject *o)
{
    return isAudioKind(o->kind()) || isVideoKind(o->kind());
}

// Marks the play timer's work as running until the scope ends.
class TickMark
{
public:
    explicit TickMark(bool &mark) : m_mark(mark) { m_mark = true; }
    ~TickMark() { m_mark = false; }

private:
    bool &m_mark;
};

} // namespace

TPlayList::TPlayList(Clock &clock, TimerFactory &timers, PlayViews &views) : m_clock(clock), m_views(views)
{
    m_playTimer = timers.createTimer([this] { ClockTick(); });
    m_playTimer->setInterval(PlayInterval);
    m_loopTimer = timers.createTimer([this] { LoopTimerTick(); });
    m_loopTimer->setInterval(LoopInterval);
    m_holdTimer = timers.createTimer([this] {
        if (m_holding && m_clock.now() >= m_holdUntil)
            endHold();
    });
}

TPlayList::~TPlayList() = default;

void TPlayList::clearEntries()
{
    m_entries.clear();
    m_loops.clear();
    m_players.clear();
    PlayingMedia.clear();
    CurrentIndex = 0;
    CurrentEntry = nullptr;
}

void TPlayList::setCurrent(qsizetype index)
{
    CurrentIndex = index;
    CurrentEntry = entryAt(index);
}

void TPlayList::BuildPlayList(TDbSlide *slide, TDbFlagList &flags)
{
    m_holding = false;
    m_holdFlag = nullptr;
    m_holdTimer->setEnabled(false);
    clearEntries();
    PlaySlide = slide;
    SlideFlags = &flags;
    MaxTime = SlideMaxTime(slide);
    // Each entry goes after every entry of its time already in: objects before flags, and
    // each in its own order.
    const auto insert = [this](std::unique_ptr<PlayEntry> e) {
        const auto at =
            std::upper_bound(m_entries.begin(), m_entries.end(), e->Time,
                             [](int time, const std::unique_ptr<PlayEntry> &x) { return time < x->Time; });
        m_entries.insert(at, std::move(e));
    };
    if (slide) {
        for (TDbObject *o : std::as_const(slide->Objects.Objects)) {
            if (o->Rec.Removed || o->Disabled)
                continue;
            if (isPlayedMedia(o)) {
                MediaPlayback *player = m_views.openMedia(o);
                if (!player)
                    continue;
                m_players.insert(o, player);
            }
            auto show = std::make_unique<PlayEntry>();
            show->Object = o;
            show->Time = o->Rec.Bar_Left;
            show->Kind = EntryKind::ObjectShow;
            auto hide = std::make_unique<PlayEntry>();
            hide->Object = o;
            hide->Time = saturated(qint64(o->Rec.Bar_Left) + o->Rec.Bar_Width);
            hide->Kind = EntryKind::ObjectHide;
            insert(std::move(show));
            insert(std::move(hide));
        }
    }
    for (TDbFlag *flag : std::as_const(flags.Flags)) {
        auto e = std::make_unique<PlayEntry>();
        e->Flag = flag;
        e->Time = flag->Rec.Flag_StartTime;
        e->Kind = EntryKind(flag->kind());
        insert(std::move(e));
    }
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_entries[i]->Position = int(i);
    m_loopTimer->setEnabled(false);
    m_loops.clear();
    setCurrent(0);
}

void TPlayList::LinkPlayList()
{
    QHash<const TDbFlag *, PlayEntry *> byFlag;
    for (const auto &e : m_entries)
        if (e->Flag)
            byFlag.insert(e->Flag, e.get());
    for (const auto &e : m_entries) {
        switch (e->Kind) {
        case EntryKind::Jump: {
            const TDbFlag *destination =
                SlideFlags ? SlideFlags->FindFlag(e->Flag->Rec.Jump_To_MarkName) : nullptr;
            e->Link = byFlag.value(destination);
            e->Flag->Rec.Time_Associated = e->Link ? e->Link->Position : -1;
            break;
        }
        case EntryKind::LoopStart:
        case EntryKind::LoopEnd:
            // A loop without its end (rows stored by hand) plays as no loop.
            e->Link = SlideFlags ? byFlag.value(SlideFlags->Partner(e->Flag)) : nullptr;
            break;
        default:
            break;
        }
    }
}

void TPlayList::StartPlay()
{
    setCurrent(0);
    ClockOffset = 0;
    ResetClock = true;
    PlayClock = 0;
    m_holding = false;
    m_holdFlag = nullptr;
    m_holdTimer->setEnabled(false);
    m_loops.clear();
    m_loopTimer->setEnabled(false);
    // Play starts with no media playing: each starts when the clock passes its bar's start.
    PlayingMedia.clear();
    Paused = false;
    LoopStartTick = 0;
    m_views.hideSelectionOutlines();
    m_inTick = false;
    m_playing = true;
    m_playTimer->setEnabled(true);
    StartTick = m_clock.now();
}

void TPlayList::RestartPlay()
{
    event(PlayEvent::Restart);
    m_playTimer->setEnabled(false);
    m_loopTimer->setEnabled(false);
    m_holding = false;
    m_holdFlag = nullptr;
    m_holdTimer->setEnabled(false);
    ClockOffset = 0;
    m_loops.clear();
    LoopStartTick = 0;
    setCurrent(0);
    PlayClock = 0;
    for (const auto &e : m_entries) {
        if (e->Kind != EntryKind::ObjectShow || e->Object->Rec.Removed)
            continue;
        TDbObject *o = e->Object;
        if (isPlayedMedia(o)) {
            if (isVideoKind(o->kind()))
                m_views.setObjectVisible(o, false);
            // Rewound and silent: a medium still playing would go on sounding outside its bar.
            if (MediaPlayback *player = m_players.value(o)) {
                player->stop();
                player->seek(0);
            }
        } else {
            const qint64 left = o->Rec.Bar_Left;
            m_views.setObjectVisible(o, !o->Disabled && left <= 0 && 0 <= left + o->Rec.Bar_Width);
        }
    }
    StartTick = m_clock.now();
    PlayingMedia.clear();
    ResetClock = true;
    Paused = false;
    m_playing = true;
    m_playTimer->setEnabled(true);
}

void TPlayList::PausePlay(bool resumeOnKey)
{
    // A play that has stopped stays stopped: only a restart or a link plays it again.
    if (Paused || !m_playing)
        return;
    m_loopTimer->setEnabled(false);
    m_playTimer->setEnabled(false);
    const qint64 now = m_clock.now();
    if (m_holding) {
        // The hold waits with everything else; its media are paused already.
        m_holdLeft = qMax<qint64>(0, m_holdUntil - now);
        m_holdTimer->setEnabled(false);
    } else {
        for (TDbObject *o : std::as_const(PlayingMedia))
            if (MediaPlayback *player = m_players.value(o))
                player->pause();
    }
    ResumeOnKey = resumeOnKey;
    PauseTick = now;
    Paused = true;
}

void TPlayList::ResumePlay()
{
    if (!Paused)
        return;
    const qint64 now = m_clock.now();
    ClockOffset += PauseTick - now;
    if (!m_loops.empty())
        m_loopTimer->setEnabled(true);
    m_playTimer->setEnabled(true);
    Paused = false;
    event(PlayEvent::Resume);
    if (m_holding) {
        m_holdUntil = now + m_holdLeft;
        m_holdTimer->setInterval(saturated(qMax<qint64>(1, m_holdLeft)));
        m_holdTimer->setEnabled(true);
    } else {
        for (TDbObject *o : std::as_const(PlayingMedia))
            if (MediaPlayback *player = m_players.value(o))
                player->play();
    }
}

void TPlayList::PauseInput(bool keyDown)
{
    if (Paused && keyDown == ResumeOnKey)
        ResumePlay();
}

void TPlayList::PauseCommand()
{
    if (Paused) {
        ResumePlay();
    } else if (m_playing) {
        event(PlayEvent::Pause, nullptr, 1);
        PausePlay(true);
    }
}

void TPlayList::DelayPlay(int hold)
{
    // A negative hold would move the clock on; it holds nothing.
    hold = qMax(0, hold);
    for (const auto &loop : m_loops)
        loop->Credit += hold;
    if (hold == 0)
        return;
    for (TDbObject *o : std::as_const(PlayingMedia))
        if (MediaPlayback *player = m_players.value(o)) {
            player->setNotify(false);
            player->pause();
        }
    // The hold ends on its own timer, or at the first play tick past it, whichever comes first.
    const qint64 ms = qint64(hold) * 10;
    m_holding = true;
    m_holdUntil = m_clock.now() + ms;
    m_holdTimer->setEnabled(false);
    m_holdTimer->setInterval(saturated(ms));
    m_holdTimer->setEnabled(true);
}

void TPlayList::endHold()
{
    m_holding = false;
    m_holdTimer->setEnabled(false);
    for (TDbObject *o : std::as_const(PlayingMedia))
        if (MediaPlayback *player = m_players.value(o)) {
            player->setNotify(true);
            player->play();
        }
    event(PlayEvent::DelayEnd, std::exchange(m_holdFlag, nullptr));
}

void TPlayList::StopPlay()
{
    if (PlaySlide)
        for (TDbObject *o : std::as_const(PlaySlide->Objects.Objects))
            if (MediaPlayback *player = m_players.value(o)) {
                player->setNotify(false);
                player->stop();
            }
    PlayingMedia.clear();
    m_playTimer->setEnabled(false);
    m_loopTimer->setEnabled(false);
    m_holding = false;
    m_holdFlag = nullptr;
    m_holdTimer->setEnabled(false);
    m_inTick = false;
    Paused = false;
    m_playing = false;
}

void TPlayList::joinPlaying(TDbObject *o)
{
    if (!PlayingMedia.contains(o))
        PlayingMedia.append(o);
}

void TPlayList::leavePlaying(TDbObject *o)
{
    PlayingMedia.removeAll(o);
}

void TPlayList::showObject(TDbObject *o, bool startMedia)
{
    if (!isPlayedMedia(o)) {
        m_views.setObjectVisible(o, true);
        return;
    }
    // An audio object's icon stays hidden while playing; a video shows its display.
    if (isVideoKind(o->kind()))
        m_views.setObjectVisible(o, true);
    MediaPlayback *player = m_players.value(o);
    if (!player)
        return;
    if (startMedia) {
        player->setNotify(true);
        player->play();
    }
    joinPlaying(o);
}

void TPlayList::hideObject(TDbObject *o)
{
    if (!isPlayedMedia(o)) {
        m_views.setObjectVisible(o, false);
        return;
    }
    if (MediaPlayback *player = m_players.value(o)) {
        player->stop();
        player->seek(0);
    }
    leavePlaying(o);
    if (isVideoKind(o->kind()))
        m_views.setObjectVisible(o, false);
}

void TPlayList::SeekEntry(PlayEntry *target)
{
    if (!target || target->Position >= count() || entryAt(target->Position) != target)
        return;
    const qsizetype t = target->Position;
    const qsizetype c = CurrentEntry ? CurrentEntry->Position : count() - 1;
    if (t < c) {
        for (qsizetype i = c; i >= t; --i) {
            PlayEntry *e = entryAt(i);
            if (e->Kind == EntryKind::ObjectHide && e->Object->Rec.Bar_Left <= target->Time)
                showObject(e->Object, false);
            else if (e->Kind == EntryKind::ObjectShow)
                hideObject(e->Object);
        }
    } else {
        for (qsizetype i = c; i <= t; ++i) {
            PlayEntry *e = entryAt(i);
            if (e->Kind == EntryKind::ObjectShow &&
                qint64(e->Object->Rec.Bar_Left) + e->Object->Rec.Bar_Width >= target->Time)
                showObject(e->Object, false);
            else if (e->Kind == EntryKind::ObjectHide)
                hideObject(e->Object);
        }
    }
    for (TDbObject *o : std::as_const(PlayingMedia)) {
        MediaPlayback *player = m_players.value(o);
        if (!player)
            continue;
        qint64 position = qMax<qint64>(0, (qint64(target->Time) - o->Rec.Bar_Left) * 10);
        const qint64 length = player->length();
        // A medium of no known length starts over; any other is taken round as often as it fits.
        if (length <= 0)
            position = 0;
        else if (position > length)
            position = (position - 1) % length + 1;
        player->seek(position);
        player->play();
    }
    setCurrent(t);
    ClockOffset += (qint64(target->Time) - PlayClock) * 10;
    PlayClock = target->Time;
}

std::unique_ptr<TLoopStack> TPlayList::PopExpiredLoops(qint64 tick)
{
    std::unique_ptr<TLoopStack> taken;
    while (!m_loops.empty()) {
        const TLoopStack &loop = *m_loops.back();
        if (loop.ByCount || tick - loop.StartTick < qint64(loop.Remaining) * 10)
            break;
        taken = std::move(m_loops.back());
        m_loops.pop_back();
    }
    return taken;
}

namespace {

// The loop's own flag, for telling about it.
const TDbFlag *loopFlag(const TLoopStack &loop)
{
    return loop.EndEntry && loop.EndEntry->Link ? loop.EndEntry->Link->Flag : nullptr;
}

} // namespace

void TPlayList::ClockTick()
{
    if (m_inTick)
        return;
    TickMark mark(m_inTick);
    const qint64 tick = m_clock.now();
    if (m_holding) {
        // As if the thread had been held: nothing moves until the hold is over.
        if (tick < m_holdUntil)
            return;
        endHold();
    }
    PlayClock = saturated(qMin<qint64>((tick + ClockOffset - StartTick) / 10, MaxTime));
    if (ResetClock) {
        PlayClock = 0;
        ResetClock = false;
    }
    m_views.clockMoved(PlayClock);

    // Media repeat for as long as their bars last.
    for (TDbObject *o : QList<TDbObject *>(PlayingMedia))
        if (MediaPlayback *player = m_players.value(o); player && player->isStopped()) {
            player->seek(0);
            player->play();
        }

    if (std::unique_ptr<TLoopStack> expired = PopExpiredLoops(tick); expired && expired->EndEntry) {
        event(PlayEvent::LoopExpired, loopFlag(*expired));
        SeekEntry(expired->EndEntry);
        setCurrent(expired->EndEntry->Position + 1);
    }

    // A Delay, Pause or Stop ends the walk: what else is due waits until play goes on.
    const auto going = [this] { return m_playing && !Paused && !m_holding; };
    while (going() && CurrentEntry && CurrentEntry->Time < PlayClock) {
        process(CurrentEntry, tick);
        setCurrent(CurrentIndex + 1);
    }

    if (going() && PlayClock >= MaxTime) {
        m_playTimer->setEnabled(false);
        PlayClock = MaxTime;
        m_loopTimer->setEnabled(false);
        m_playing = false;
        event(PlayEvent::End);
        if (PlaySlide && PlaySlide->Rec.Jump_Slide_Id != 0)
            m_views.followLink();
    }
}

void TPlayList::process(PlayEntry *e, qint64 tick)
{
    const TDbFlag *flag = e->Flag;
    switch (e->Kind) {
    case EntryKind::LoopStart: {
        if (!e->Link)
            break;
        LoopStartTick = m_clock.now();
        auto loop = std::make_unique<TLoopStack>();
        loop->Remaining = flag->Rec.Time_Associated;
        loop->EndTime = flag->Rec.Loop_EndTime;
        loop->ByCount = flag->Rec.FlagActive;
        loop->StartTick = LoopStartTick;
        loop->EndEntry = e->Link;
        m_loops.push_back(std::move(loop));
        event(PlayEvent::LoopStart, flag, flag->Rec.Time_Associated);
        break;
    }
    case EntryKind::LoopEnd: {
        // Only the end of the innermost loop turns back; any other is passed.
        if (!e->Link || m_loops.empty() || m_loops.back()->EndEntry != e)
            break;
        TLoopStack &loop = *m_loops.back();
        const TDbFlag *start = e->Link->Flag;
        if (loop.ByCount && --loop.Remaining < 0) {
            m_loops.pop_back();
            event(PlayEvent::LoopOut, start);
            if (std::unique_ptr<TLoopStack> outer = PopExpiredLoops(tick); outer && outer->EndEntry) {
                event(PlayEvent::LoopExpired, loopFlag(*outer));
                SeekEntry(outer->EndEntry);
                CurrentIndex = outer->EndEntry->Position;
            }
            break;
        }
        event(PlayEvent::LoopAgain, start, loop.ByCount ? loop.Remaining : -1);
        SeekEntry(e->Link);
        CurrentIndex = e->Link->Position;
        break;
    }
    case EntryKind::Jump:
        if (e->Link) {
            event(PlayEvent::Jump, flag, e->Link->Position);
            SeekEntry(e->Link);
            CurrentIndex = e->Link->Position;
        } else {
            event(PlayEvent::JumpNowhere, flag);
        }
        break;
    case EntryKind::Label:
        event(PlayEvent::Label, flag);
        break;
    case EntryKind::Delay: {
        const int hold = qMax(0, flag->Rec.Time_Associated);
        event(PlayEvent::Delay, flag, hold);
        m_holdFlag = flag;
        DelayPlay(hold);
        // The clock does not advance over the hold.
        ClockOffset -= qint64(hold) * 10;
        break;
    }
    case EntryKind::Pause:
        event(PlayEvent::Pause, flag, flag->Rec.FlagActive ? 1 : 0);
        PausePlay(flag->Rec.FlagActive);
        break;
    case EntryKind::Stop:
        event(PlayEvent::Stop, flag);
        StopPlay();
        break;
    case EntryKind::ObjectShow:
    case EntryKind::ObjectHide:
        if (e->Object->Rec.Removed || e->Object->Disabled)
            break;
        if (e->Kind == EntryKind::ObjectShow)
            showObject(e->Object, true);
        else
            hideObject(e->Object);
        break;
    }
}

void TPlayList::LoopTimerTick()
{
    // Nothing moves during a hold, as nothing could while the thread was held.
    if (m_holding || Paused || !m_playing)
        return;
    if (m_loops.empty()) {
        m_loopTimer->setEnabled(false);
        return;
    }
    const TLoopStack &inner = *m_loops.back();
    const qint64 elapsed = (m_clock.now() - LoopStartTick) / 10 + inner.Credit;
    if (inner.ByCount || elapsed < inner.Remaining)
        return;
    for (size_t i = 0; i + 2 < m_loops.size(); ++i)
        m_loops[i]->Credit += elapsed;
    std::unique_ptr<TLoopStack> loop = std::move(m_loops.back());
    m_loops.pop_back();
    // Play goes on after the loop's own end, as when the play timer finds its time is up.
    if (loop->EndEntry) {
        event(PlayEvent::LoopExpired, loopFlag(*loop));
        SeekEntry(loop->EndEntry);
        setCurrent(loop->EndEntry->Position + 1);
    }
    if (m_loops.empty())
        m_loopTimer->setEnabled(false);
}

} // namespace vk
