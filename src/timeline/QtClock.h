// The system's millisecond tick and Qt's timers, for the play engine in the workspace.
#pragma once

#include "Clock.h"

#include <QElapsedTimer>

namespace vk {

class SystemClock : public Clock
{
public:
    SystemClock() { m_elapsed.start(); }
    qint64 now() const override { return m_elapsed.elapsed(); }

private:
    QElapsedTimer m_elapsed; // monotonic: a change of the wall clock does not move play
};

// Timers driven by the thread's event loop, precise to the millisecond.
class QtTimerFactory : public TimerFactory
{
public:
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;
};

} // namespace vk
