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
    : m_print(std::move(print)), m_book(std::make_unique<TBookPlay>(books, m_clock, m_clock, *this))
{
    m_audience = m_clock.createTimer([this] {
        m_audience->setEnabled(false);
        list().PauseInput(list().ResumeOnKey);
    });
}

PlayTrace::~PlayTrace() = default;

void PlayTrace::line(const QString &event, const QStringList &fields)
{
    QStringList all{QString::number(m_clock.now()), QString::number(m_book->list().PlayClock), event};
    for (const QString &f : fields)
        all.append(escapeField(f));
    m_print(all.join(QLatin1Char('\t')));
}

QStringList PlayTrace::objectFields(TDbObject *o) const
{
    return {QString::number(m_numbers.value(o)), o->Rec.Title};
}

void PlayTrace::slideStarting(TDbSlide *slide)
{
    if (slide->Owner != m_shownBook) {
        m_shownBook = slide->Owner;
        if (m_shownBook)
            line(QStringLiteral("book"), {m_shownBook->Rec.CB_Title});
    }
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
    // The last slide's media go now: the play list lets go of them as it is built.
    m_media.clear();
}

void PlayTrace::slideLeaving(TDbSlide *slide)
{
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        setObjectVisible(o, false);
}

void PlayTrace::linkFollowed(const QString &how, const QString &result)
{
    line(QStringLiteral("link"), result.isEmpty() ? QStringList{how} : QStringList{how, result});
}

bool PlayTrace::run(TDbSlide *slide)
{
    if (!m_book->start(slide))
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
    return m_book->allFlagsRead();
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
