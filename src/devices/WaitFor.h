// Waiting on a device from a command in hand, for the Qt Multimedia devices.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace vk {

// Runs the events (never the person's input: a command is in hand) until `done` or the time is up.
template <typename Done> bool waitFor(int timeoutMs, Done done)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

} // namespace vk
