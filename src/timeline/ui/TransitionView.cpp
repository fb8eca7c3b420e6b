#include "TransitionView.h"

#include "QtClock.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace vk {

int TTransitionView::FramesFor(int blockSize)
{
    const int b = std::max(1, blockSize);
    return std::clamp((300 + b / 2) / b, 6, 300);
}

TTransitionView::TTransitionView(QWidget *parent, TimerFactory *timers) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!timers) {
        m_ownTimers = std::make_unique<QtTimerFactory>();
        timers = m_ownTimers.get();
    }
    m_timer = timers->createTimer([this] { advanceFrame(); });
    m_timer->setInterval(FrameInterval);
    m_canvas = QImage(QSize(std::max(1, width()), std::max(1, height())), QImage::Format_RGB32);
    m_canvas.fill(m_background);
}

TTransitionView::~TTransitionView() = default;

void TTransitionView::clear()
{
    m_timer->setEnabled(false);
    m_playing = false;
    m_picture = QImage();
    m_steps = TransitionSteps();
    fitCanvas(); // a hidden view is told of its new size only when shown
    m_canvas.fill(m_background);
    update();
}

void TTransitionView::play(int effect, const QImage &picture, int blockSize, TransitionRandom *random)
{
    m_timer->setEnabled(false);
    fitCanvas();
    m_picture = picture.convertToFormat(QImage::Format_RGB32);
    m_steps = TransitionPattern(effect, m_picture.size(), blockSize, random);
    m_frames = std::min(FramesFor(blockSize), std::max(1, m_steps.copyCount()));
    m_frame = 0;
    m_drawn = 0;
    m_playing = true;
    m_timer->setEnabled(true);
}

bool TTransitionView::advanceFrame()
{
    if (!m_playing)
        return false;
    ++m_frame;
    const qint64 total = m_steps.copyCount();
    const int upTo = m_frame >= m_frames ? int(total) : int((total * m_frame + m_frames - 1) / m_frames);
    drawCopies(m_drawn, upTo);
    if (m_drawn >= total)
        end();
    return m_playing;
}

void TTransitionView::finishNow()
{
    if (!m_playing)
        return;
    drawCopies(m_drawn, m_steps.copyCount());
    end();
}

void TTransitionView::drawCopies(int from, int to)
{
    if (to <= from)
        return;
    QRect dirty;
    {
        QPainter p(&m_canvas);
        ApplyTransitionCopies(m_steps, from, to, m_picture, p);
    }
    // Only what changed is repainted: the copies of a frame lie close together in most effects.
    for (int i = from; i < to; ++i)
        dirty |= m_steps.targetRect(m_steps.copies[size_t(i)]);
    m_drawn = to;
    update(dirty & rect());
}

void TTransitionView::end()
{
    m_timer->setEnabled(false);
    m_playing = false;
    emit finished();
}

void TTransitionView::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.drawImage(event->rect().topLeft(), m_canvas, event->rect());
}

void TTransitionView::resizeEvent(QResizeEvent *)
{
    fitCanvas();
}

void TTransitionView::fitCanvas()
{
    if (m_canvas.size() == size().expandedTo(QSize(1, 1)))
        return;
    QImage canvas(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    canvas.fill(m_background);
    {
        QPainter p(&canvas);
        p.drawImage(0, 0, m_canvas);
    }
    m_canvas = canvas;
}

} // namespace vk
