// A ClearBook played on a virtual clock with nothing on a screen: every event written as one
// line, for `vkctl book play --trace` (scripts, and checking a ClearBook's timing).
//
// Each line is tab-separated: the virtual milliseconds since play began, the timeline clock in
// 1/100 s at that moment, the event, then its fields (a tab, line break or backslash inside a
// value written \t, \n, \\):
//
//   book TITLE                 the ClearBook whose slides follow (at the start, and when a link
//                              leads into another)
//   slide N TITLE              slide N (its place in its ClearBook, from 1) starts playing
//   show N TITLE, hide N TITLE object N (its number in `vkctl book show`) appears, disappears
//   media-play N TITLE MS      an audio or video object plays from MS into its medium
//   media-pause N TITLE        ... pauses (a delay or a pause)
//   media-stop N TITLE         ... stops
//   loop NAME count N | limit T    a loop begins: N more passes, or for T cs
//   loop-again NAME [left N]   back to the loop's start (left: passes still to come)
//   loop-out NAME              a counted loop has run out
//   loop-expired NAME          a time-limited loop's time is up; play goes on after its end
//   jump NAME LABEL            a jump to its label
//   jump-nowhere NAME LABEL    a jump whose label is gone: nothing happens
//   label NAME
//   delay NAME T, delay-end NAME   a hold of T cs, and its end
//   pause NAME key|click       a pause that a key press or a click ends (NAME empty: a command)
//   resume
//   stop NAME                  play ends at a Stop flag
//   end                        the clock reached the slide's end
//   link next|previous|back|replay|slide [none|missing]
//                              the slide's own link followed at its end; "none" when there is
//                              no slide that way, "missing" when the slide linked to is gone
//   restart                    the slide plays again from its start
//   limit                      the trace's time limit was reached
//
// Visuals start as the slide surface puts them: those whose bars contain time 0 are shown at 0.
// Media are virtual: one is as long as its object's bar and plays until it is stopped. A pause
// is ended as its flag says (key or click) after a set time.
#pragma once

#include "BookPlay.h"
#include "VirtualClock.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vk {

class TDbClearBook;
class TDbClearBookList;

class PlayTrace : public BookPlayViews
{
public:
    PlayTrace(TDbClearBookList &books, std::function<void(const QString &)> print);
    ~PlayTrace() override;

    // Virtual milliseconds after which the trace ends (default 600 s).
    void setLimit(qint64 ms) { m_limit = ms; }
    // How long a pause waits for its key or click (default 1 s).
    void setResumeAfter(qint64 ms) { m_resumeAfter = qMax<qint64>(1, ms); }

    // Plays from the slide until play ends or the limit is reached. False when a slide's flags
    // could not be read (told through the connection).
    bool run(TDbSlide *slide);

    // BookPlayViews
    void setObjectVisible(TDbObject *o, bool visible) override;
    MediaPlayback *openMedia(TDbObject *o) override;
    void playEvent(PlayEvent what, const TDbFlag *flag, int value) override;
    void slideStarting(TDbSlide *slide) override;
    void slideLeaving(TDbSlide *slide) override;
    void linkFollowed(const QString &how, const QString &result) override;

    // One trace line now: the time, the clock, the event and its fields.
    void line(const QString &event, const QStringList &fields = {});
    QStringList objectFields(TDbObject *o) const;

private:
    class Medium;
    TPlayList &list() { return m_book->list(); }

    std::function<void(const QString &)> m_print;
    VirtualClock m_clock;
    const TDbClearBook *m_shownBook = nullptr;
    QHash<TDbObject *, bool> m_visible;
    QHash<TDbObject *, int> m_numbers;
    std::vector<std::unique_ptr<Medium>> m_media;
    // After the media: the play list points at them.
    std::unique_ptr<TBookPlay> m_book;
    std::unique_ptr<Timer> m_audience; // ends a pause
    qint64 m_limit = 600000;
    qint64 m_resumeAfter = 1000;
    bool m_ok = true;
};

} // namespace vk
