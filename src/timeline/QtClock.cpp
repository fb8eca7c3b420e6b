#include "QtClock.h"

#include <QTimer>

#include <utility>

namespace vk {

namespace {

class QtTimer : public Timer
{
public:
    explicit QtTimer(std::function<void()> onTimeout)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [f = std::move(onTimeout)] {
            if (f)
                f();
        });
    }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool on) override
    {
        if (on && !m_timer.isActive())
            m_timer.start();
        else if (!on)
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

std::unique_ptr<Timer> QtTimerFactory::createTimer(std::function<void()> onTimeout)
{
    return std::make_unique<QtTimer>(std::move(onTimeout));
}

} // namespace vk
