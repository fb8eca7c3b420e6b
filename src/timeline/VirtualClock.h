// A clock and timers that stand still until told to move: the play engine runs on it in tests
// and in `vkctl book play --trace`, tick by tick, with no real time passing.
#pragma once

#include "Clock.h"

#include <QList>

namespace vk {

class VirtualClock : public Clock, public TimerFactory
{
public:
    VirtualClock() = default;
    ~VirtualClock() override;
    VirtualClock(const VirtualClock &) = delete;
    VirtualClock &operator=(const VirtualClock &) = delete;

    qint64 now() const override { return m_now; }
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;

    // Moves the time forward (never back) without firing anything.
    void setNow(qint64 ms);
    // The time the next enabled timer is due, or -1 when none is enabled.
    qint64 nextDue() const;
    // Moves to the next due timer and fires it, unless that lies beyond `limit`. Timers due
    // at the same moment fire in the order they were armed. False when nothing fired.
    bool fireNext(qint64 limit);
    // Fires every timer due up to `ms` in order, then stands at `ms`.
    void advanceTo(qint64 ms);
    void advanceBy(qint64 ms) { advanceTo(m_now + ms); }

private:
    class VirtualTimer;
    friend class VirtualTimer;
    VirtualTimer *nextTimer() const;

    qint64 m_now = 0;
    quint64 m_sequence = 0;
    QList<VirtualTimer *> m_timers;
};

} // namespace vk
