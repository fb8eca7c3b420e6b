// A ClearBook as it plays: the slide playing, the play list that runs its timeline, the slides
// left by links (for the Backward link), and the flags the edited slide has while it is being
// edited. Following a link changes the slide; what that looks like is the views' affair
// (BookPlayViews), so the full-screen player, the trace of `vkctl book play` and a test on a
// virtual clock all play a book the same way.
#pragma once

#include "PlayEngine.h"

#include <QList>
#include <QString>

#include <memory>

namespace vk {

class TDbClearBookList;

class BookPlayViews : public PlayViews
{
public:
    // The slide is about to play: its objects go on the screen as the timeline shows them at
    // time 0, prepared for play.
    virtual void slideStarting(TDbSlide *) {}
    // The slide stopped playing because a link leads elsewhere: its media are let go of and
    // its objects leave the screen.
    virtual void slideLeaving(TDbSlide *) {}
    // A link was followed; `how` is "next", "previous", "back", "replay" or "slide", `result`
    // empty when it led somewhere, "none" when there is no slide that way, "missing" when the
    // slide linked to is not there (the person has then been told).
    virtual void linkFollowed(const QString & /*how*/, const QString & /*result*/) {}
};

class TBookPlay
{
public:
    TBookPlay(TDbClearBookList &books, Clock &clock, TimerFactory &timers, BookPlayViews &views);
    ~TBookPlay();
    TBookPlay(const TBookPlay &) = delete;
    TBookPlay &operator=(const TBookPlay &) = delete;

    // The slide open for editing and its flags as edited (unsaved changes included): a link
    // to that slide plays them rather than the stored ones. Set before `start`.
    void setEditedSlide(TDbSlide *slide, const QList<TsFlag> &flags);
    TDbSlide *editedSlide() const { return m_edited; }

    // Plays `slide` from time 0. False when its flags could not be read (it plays without
    // them; the person has been told).
    bool start(TDbSlide *slide);
    // A link: an object's (pressed during play), or with none the playing slide's own.
    void followLink(const TDbObject *object = nullptr);
    void stop();

    TDbSlide *playSlide() const { return m_list->PlaySlide; }
    TPlayList &list() { return *m_list; }
    TDbFlagList &flags() { return m_flags; }
    // The slides left by following links, most recent last.
    const QList<TDbSlide *> &history() const { return m_history; }
    // Whether every slide played so far had its flags read whole.
    bool allFlagsRead() const { return m_flagsRead; }

private:
    bool startSlide(TDbSlide *slide);
    class Forward;

    TDbClearBookList &m_books;
    BookPlayViews &m_views;
    std::unique_ptr<Forward> m_forward;
    TDbFlagList m_flags;
    std::unique_ptr<TPlayList> m_list;
    QList<TDbSlide *> m_history;
    TDbSlide *m_edited = nullptr;
    QList<TsFlag> m_editedFlags;
    bool m_flagsRead = true;
};

// The word a link's slide part is told by: "next", "previous", "back", "replay", "slide".
QString linkWord(int slideId);

} // namespace vk
