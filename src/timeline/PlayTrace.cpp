#include "PlayTrace.h"

#include "AT_DbClearbook.h"
#include "ClearBookJson.h"
#include "Connection.h"
#include "LinkTarget.h"
#include "Messages.h"
#include "ObjectKinds.h"

#include <climits>
#include <utility>

namespace vk {

// A medium as long as its object's bar, which plays until it is stopped and writes what it does.
class PlayTrace::Medium : public MediaPlayback
{
public:
    Medium(PlayTrace &trace, TDbObject *o, const Clock &clock) : m_trace(trace), m_object(o), m_clock(clock)
    {
    }

    qint64 length() const override { return qint64(m_object->Rec.Bar_Width) * 10; }
    bool isStopped() const override { return m_state == Stopped; }
    void setNotify(bool) override {}
    void seek(qint64 ms) override
    {
        m_position = ms;
        m_since = m_clock.now();
    }
    void play() override
    {
        m_position = position();
        m_since = m_clock.now();
        m_state = Playing;
        m_trace.line(QStringLiteral("media-play"), m_trace.objectFields(m_object)
                                                       << QString::number(m_position));
    }
    void pause() override
    {
        if (m_state != Playing)
            return;
        m_position = position();
        m_state = Paused;
        m_trace.line(QStringLiteral("media-pause"), m_trace.objectFields(m_object));
    }
    void stop() override
    {
        if (m_state == Stopped)
            return;
        m_position = position();
        m_state = Stopped;
        m_trace.line(QStringLiteral("media-stop"), m_trace.objectFields(m_object));
    }

private:
    enum State
    {
        Stopped,
        Playing,
        Paused
    };
    qint64 position() const
    {
        return m_state == Playing ? m_position + (m_clock.now() - m_since) : m_position;
    }

    PlayTrace &m_trace;
    TDbObject *m_object;
    const Clock &m_clock;
    State m_state = Stopped;
    qint64 m_position = 0;
    qint64 m_since = 0;
};

PlayTrace::PlayTrace(TDbClearBookList &books, std::function<void(const QString &)> print)
    : m_books(books), m_print(std::move(print)), m_flags(books.connection())
{
    m_play = std::make_unique<TPlayList>(m_clock, m_clock, *this);
    m_play->PlayMode = true;
    m_audience = m_clock.createTimer([this] {
        m_audience->setEnabled(false);
        m_play->PauseInput(m_play->ResumeOnKey);
    });
}

PlayTrace::~PlayTrace()
{
    // The play list points at the flags and media: it goes first.
    m_play.reset();
}

void PlayTrace::line(const QString &event, const QStringList &fields)
{
    QStringList all{QString::number(m_clock.now()), QString::number(m_play->PlayClock), event};
    for (const QString &f : fields)
        all.append(escapeField(f));
    m_print(all.join(QLatin1Char('\t')));
}

QStringList PlayTrace::objectFields(TDbObject *o) const
{
    return {QString::number(m_numbers.value(o)), o->Rec.Title};
}

bool PlayTrace::startSlide(TDbSlide *slide)
{
    if (slide->Owner != m_book) {
        m_book = slide->Owner;
        if (m_book)
            line(QStringLiteral("book"), {m_book->Rec.CB_Title});
    }
    m_play->PlayClock = 0;
    line(QStringLiteral("slide"),
         {QString::number(slide->Owner ? slide->Owner->Slides.indexOf(slide) + 1 : 1),
          slide->Rec.Slide_Title});
    m_numbers.clear();
    m_visible.clear();
    const QList<TDbObject *> &order = slide->Objects.DesignOrder;
    for (qsizetype i = 0; i < order.size(); ++i)
        m_numbers.insert(order[i], int(i + 1));
    // The surface puts the objects up as the cursor at 0 shows them; a video's display and an
    // audio object's icon stay hidden until they play.
    for (TDbObject *o : std::as_const(slide->Objects.Objects)) {
        if (o->Rec.Removed || o->Disabled || isAudioKind(o->kind()) || isVideoKind(o->kind()))
            continue;
        const qint64 left = o->Rec.Bar_Left;
        if (left <= 0 && 0 <= left + o->Rec.Bar_Width)
            setObjectVisible(o, true);
    }
    const bool loaded = m_flags.LoadFlags(slide);
    m_ok = m_ok && loaded;
    // The last slide's media go now: the play list lets go of them as it is built.
    m_media.clear();
    m_play->BuildPlayList(slide, m_flags);
    m_play->LinkPlayList();
    m_play->StartPlay();
    return loaded;
}

bool PlayTrace::run(TDbSlide *slide)
{
    if (!startSlide(slide))
        return false;
    for (;;) {
        const qint64 due = m_clock.nextDue();
        if (due < 0)
            break; // play has ended: nothing is left to happen
        if (due > m_limit) {
            m_clock.setNow(m_limit);
            line(QStringLiteral("limit"));
            break;
        }
        m_clock.fireNext(m_limit);
    }
    // Left as play leaves them: what still shows stays up, what still plays plays on.
    return m_ok;
}

void PlayTrace::setObjectVisible(TDbObject *o, bool visible)
{
    if (m_visible.value(o) == visible)
        return;
    m_visible.insert(o, visible);
    line(visible ? QStringLiteral("show") : QStringLiteral("hide"), objectFields(o));
}

MediaPlayback *PlayTrace::openMedia(TDbObject *o)
{
    m_media.push_back(std::make_unique<Medium>(*this, o, m_clock));
    return m_media.back().get();
}

void PlayTrace::followLink()
{
    TDbSlide *from = m_play->PlaySlide;
    const int slideId = from->Rec.Jump_Slide_Id;
    const LinkTarget target = ResolveLink(m_books, from, m_history, from->Rec.Jump_CB_Id, slideId);
    const QString what = slideId == -1   ? QStringLiteral("next")
                         : slideId == -2 ? QStringLiteral("previous")
                         : slideId == -3 ? QStringLiteral("back")
                         : slideId == -4 ? QStringLiteral("replay")
                                         : QStringLiteral("slide");
    switch (target.action) {
    case LinkTarget::Nothing:
        line(QStringLiteral("link"), {what, QStringLiteral("none")});
        return;
    case LinkTarget::Missing:
        line(QStringLiteral("link"), {what, QStringLiteral("missing")});
        m_books.connection().report(vkMessage("CannotFindLinkSlide"));
        return;
    case LinkTarget::Restart:
        line(QStringLiteral("link"), {what});
        m_play->RestartPlay();
        return;
    case LinkTarget::Slide:
        line(QStringLiteral("link"), {what});
        if (!target.backward)
            m_history.append(from);
        m_play->StopPlay();
        for (TDbObject *o : std::as_const(from->Objects.Objects))
            setObjectVisible(o, false);
        m_flags.ClearFlags();
        startSlide(target.slide);
        return;
    }
}

void PlayTrace::playEvent(PlayEvent what, const TDbFlag *flag, int value)
{
    const QString name = flag ? flag->Rec.Flag_Name : QString();
    switch (what) {
    case PlayEvent::LoopStart:
        line(QStringLiteral("loop"),
             {name, (flag->Rec.FlagActive ? QStringLiteral("count ") : QStringLiteral("limit ")) +
                        QString::number(value)});
        break;
    case PlayEvent::LoopAgain:
        line(QStringLiteral("loop-again"),
             value >= 0 ? QStringList{name, QStringLiteral("left ") + QString::number(value)}
                        : QStringList{name});
        break;
    case PlayEvent::LoopOut:
        line(QStringLiteral("loop-out"), {name});
        break;
    case PlayEvent::LoopExpired:
        line(QStringLiteral("loop-expired"), {name});
        break;
    case PlayEvent::Jump:
        line(QStringLiteral("jump"), {name, flag->Rec.Jump_To_MarkName});
        break;
    case PlayEvent::JumpNowhere:
        line(QStringLiteral("jump-nowhere"), {name, flag->Rec.Jump_To_MarkName});
        break;
    case PlayEvent::Label:
        line(QStringLiteral("label"), {name});
        break;
    case PlayEvent::Delay:
        line(QStringLiteral("delay"), {name, QString::number(value)});
        break;
    case PlayEvent::DelayEnd:
        line(QStringLiteral("delay-end"), {name});
        break;
    case PlayEvent::Pause:
        line(QStringLiteral("pause"), {name, value ? QStringLiteral("key") : QStringLiteral("click")});
        m_audience->setEnabled(false);
        m_audience->setInterval(int(qMin<qint64>(m_resumeAfter, INT_MAX)));
        m_audience->setEnabled(true);
        break;
    case PlayEvent::Resume:
        m_audience->setEnabled(false);
        line(QStringLiteral("resume"));
        break;
    case PlayEvent::Stop:
        line(QStringLiteral("stop"), {name});
        break;
    case PlayEvent::End:
        line(QStringLiteral("end"));
        break;
    case PlayEvent::Restart:
        line(QStringLiteral("restart"));
        break;
    }
}

} // namespace vk
