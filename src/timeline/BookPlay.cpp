#include "BookPlay.h"

#include "AT_DbClearbook.h"
#include "Connection.h"
#include "LinkTarget.h"
#include "Messages.h"

namespace vk {

// The engine's hooks go to the views, but for the slide's own link at its end, which the book
// follows itself.
class TBookPlay::Forward : public PlayViews
{
public:
    Forward(TBookPlay &book, BookPlayViews &views) : m_book(book), m_views(views) {}
    void setObjectVisible(TDbObject *o, bool visible) override { m_views.setObjectVisible(o, visible); }
    MediaPlayback *openMedia(TDbObject *o) override { return m_views.openMedia(o); }
    void clockMoved(int playClock) override { m_views.clockMoved(playClock); }
    void hideSelectionOutlines() override { m_views.hideSelectionOutlines(); }
    void followLink() override { m_book.followLink(nullptr); }
    void playEvent(PlayEvent what, const TDbFlag *flag, int value) override { m_views.playEvent(what, flag, value); }

private:
    TBookPlay &m_book;
    BookPlayViews &m_views;
};

QString linkWord(int slideId)
{
    switch (slideId) {
    case -1:
        return QStringLiteral("next");
    case -2:
        return QStringLiteral("previous");
    case -3:
        return QStringLiteral("back");
    case -4:
        return QStringLiteral("replay");
    default:
        return QStringLiteral("slide");
    }
}

TBookPlay::TBookPlay(TDbClearBookList &books, Clock &clock, TimerFactory &timers, BookPlayViews &views)
    : m_books(books), m_views(views), m_forward(std::make_unique<Forward>(*this, views)),
      m_flags(books.connection()), m_list(std::make_unique<TPlayList>(clock, timers, *m_forward))
{
    m_list->PlayMode = true;
}

TBookPlay::~TBookPlay()
{
    // The play list points at the flags and at the views' media: it goes first (the views'
    // owner frees the media after it).
    m_list.reset();
}

void TBookPlay::setEditedSlide(TDbSlide *slide, const QList<TsFlag> &flags)
{
    m_edited = slide;
    m_editedFlags = slide ? flags : QList<TsFlag>();
}

bool TBookPlay::start(TDbSlide *slide)
{
    m_history.clear();
    m_flagsRead = true;
    return startSlide(slide);
}

bool TBookPlay::startSlide(TDbSlide *slide)
{
    m_list->PlayClock = 0;
    m_views.slideStarting(slide);
    bool loaded = true;
    if (slide == m_edited) {
        // The edited slide plays as it is edited, unsaved flags and all.
        m_flags.ReplaceFlags(m_editedFlags);
    } else if (!slide->isStored()) {
        m_flags.ClearFlags(); // nothing is stored for it yet
    } else {
        loaded = m_flags.LoadFlags(slide);
        m_flagsRead = m_flagsRead && loaded;
    }
    m_list->BuildPlayList(slide, m_flags);
    m_list->LinkPlayList();
    m_list->StartPlay();
    return loaded;
}

void TBookPlay::followLink(const TDbObject *object)
{
    TDbSlide *from = m_list->PlaySlide;
    if (!from)
        return;
    const int cbId = object ? object->Rec.Obj_Link_CBId : from->Rec.Jump_CB_Id;
    const int slideId = object ? object->Rec.Obj_Link_SlideId : from->Rec.Jump_Slide_Id;
    if (slideId == 0)
        return;
    const LinkTarget target = ResolveLink(m_books, from, m_history, cbId, slideId);
    const QString how = linkWord(slideId);
    switch (target.action) {
    case LinkTarget::Nothing:
        m_views.linkFollowed(how, QStringLiteral("none"));
        return;
    case LinkTarget::Missing:
        m_views.linkFollowed(how, QStringLiteral("missing"));
        m_books.connection().report(vkMessage("CannotFindLinkSlide"));
        return;
    case LinkTarget::Restart:
        m_views.linkFollowed(how, QString());
        m_list->RestartPlay();
        return;
    case LinkTarget::Slide:
        m_views.linkFollowed(how, QString());
        if (!target.backward)
            m_history.append(from);
        m_list->StopPlay();
        m_views.slideLeaving(from);
        m_flags.ClearFlags();
        startSlide(target.slide);
        return;
    }
}

void TBookPlay::stop()
{
    m_list->StopPlay();
}

} // namespace vk
