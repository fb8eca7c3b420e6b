#include "VirtualClock.h"

#include <utility>

namespace vk {

class VirtualClock::VirtualTimer : public Timer
{
public:
    VirtualTimer(VirtualClock &clock, std::function<void()> onTimeout)
        : m_clock(clock), m_onTimeout(std::move(onTimeout))
    {
        m_clock.m_timers.append(this);
    }
    ~VirtualTimer() override { m_clock.m_timers.removeOne(this); }

    void setInterval(int ms) override
    {
        m_interval = qMax(1, ms);
        if (m_enabled)
            arm();
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool on) override
    {
        if (on == m_enabled)
            return;
        m_enabled = on;
        if (on)
            arm();
    }
    bool isEnabled() const override { return m_enabled; }

    void arm()
    {
        due = m_clock.m_now + m_interval;
        sequence = ++m_clock.m_sequence;
    }
    void fire()
    {
        // The next interval counts from this one's end, as a repeating timer's does; the
        // callback may disable or re-arm the timer.
        sequence = ++m_clock.m_sequence;
        due += m_interval;
        if (m_onTimeout)
            m_onTimeout();
    }

    qint64 due = 0;
    quint64 sequence = 0;

private:
    VirtualClock &m_clock;
    std::function<void()> m_onTimeout;
    int m_interval = 1000;
    bool m_enabled = false;
};

VirtualClock::~VirtualClock() = default;

std::unique_ptr<Timer> VirtualClock::createTimer(std::function<void()> onTimeout)
{
    return std::make_unique<VirtualTimer>(*this, std::move(onTimeout));
}

void VirtualClock::setNow(qint64 ms)
{
    m_now = qMax(m_now, ms);
}

VirtualClock::VirtualTimer *VirtualClock::nextTimer() const
{
    VirtualTimer *next = nullptr;
    for (VirtualTimer *t : m_timers)
        if (t->isEnabled() &&
            (!next || t->due < next->due || (t->due == next->due && t->sequence < next->sequence)))
            next = t;
    return next;
}

qint64 VirtualClock::nextDue() const
{
    const VirtualTimer *t = nextTimer();
    return t ? t->due : -1;
}

bool VirtualClock::fireNext(qint64 limit)
{
    VirtualTimer *t = nextTimer();
    if (!t || t->due > limit)
        return false;
    m_now = qMax(m_now, t->due);
    t->fire();
    return true;
}

void VirtualClock::advanceTo(qint64 ms)
{
    while (fireNext(ms)) {
    }
    setNow(ms);
}

} // namespace vk
