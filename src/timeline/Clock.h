// What the play engine reads time from and what drives it: a millisecond tick and repeating
// timers. The workspace gives it the system's (QtClock.h); tests and `vkctl book play --trace`
// give it a virtual clock (VirtualClock.h) that moves only when told to.
#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace vk {

class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds from some fixed moment; never goes back.
    virtual qint64 now() const = 0;
};

// A repeating timer that is enabled or not, as the class library's timers are: enabling a
// disabled timer starts its interval from now, enabling an enabled one changes nothing.
class Timer
{
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
};

class TimerFactory
{
public:
    virtual ~TimerFactory() = default;
    // A disabled timer that calls onTimeout each time its interval has passed.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) = 0;
};

} // namespace vk
