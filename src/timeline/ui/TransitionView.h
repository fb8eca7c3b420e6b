// The transition player: a canvas that brings a picture on with an effect over successive
// frames, so the effect is seen. Used for the slide show's pictures and the option dialog's
// preview.
//
// Pacing: the effect's copies (Transitions.h) are shared evenly over FramesFor(blockSize)
// frames, one every FrameInterval ms (about 60 a second). The number of frames is 300 divided
// by the block size, from 6 to 300: the usual block size 5 takes a second, "Fast" (10) half a
// second, "Slow" (1) five seconds, whatever the picture's size. So the "Display Speed" setting
// keeps its meaning, the block size, and a larger block still means a faster effect. Sharing
// copies rather than steps keeps effects made of few large steps (Spray, Checkerboard) as
// smooth as the others; within a frame the copies keep their order.
#pragma once

#include "Transitions.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <memory>

namespace vk {

class Timer;
class TimerFactory;

class TTransitionView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FrameInterval = 16;
    static int FramesFor(int blockSize);

    // Frames come from `timers` (Qt's timers when none is given).
    explicit TTransitionView(QWidget *parent = nullptr, TimerFactory *timers = nullptr);
    ~TTransitionView() override;

    // The colour the canvas is cleared to.
    void setBackground(const QColor &color) { m_background = color; }
    // Stops any effect and fills the canvas with the background.
    void clear();
    // Starts bringing `picture` (drawn from the canvas's top-left) on with `effect`.
    void play(int effect, const QImage &picture, int blockSize, TransitionRandom *random = nullptr);
    // Draws what is left of the effect at once.
    void finishNow();
    bool isPlaying() const { return m_playing; }

    // One frame's share of the copies (what the timer does); false once the effect is done.
    bool advanceFrame();
    int frameCount() const { return m_frames; }
    int framesDrawn() const { return m_frame; }
    const TransitionSteps &steps() const { return m_steps; }

    const QImage &canvas() const { return m_canvas; }

signals:
    void finished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void drawCopies(int from, int to);
    void fitCanvas();
    void end();

    std::unique_ptr<TimerFactory> m_ownTimers;
    std::unique_ptr<Timer> m_timer;
    QColor m_background = Qt::black;
    QImage m_canvas;
    QImage m_picture;
    TransitionSteps m_steps;
    int m_frames = 0;
    int m_frame = 0;
    int m_drawn = 0; // copies made so far
    bool m_playing = false;
};

} // namespace vk
