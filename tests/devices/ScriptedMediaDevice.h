// A media device for tests: it plays a file of the length it is given on a fake clock that
// moves only when the test says, queues the completions it would post until the test delivers
// them, and logs every command it is given, one a line.
#pragma once

#include "MediaDevice.h"

#include <QList>
#include <QStringList>

#include <algorithm>

namespace fixtures {

class ScriptedMediaDevice : public vk::MediaDevice
{
public:
    // The script.
    qint64 scriptLength = 10000;
    bool video = false;
    QSize natural{320, 240};
    int openResult = 0;  // what open answers
    QString openText;    // and the text of that result (empty: a code the device does not know)
    int keptFormat = -1; // a time format the device keeps, refusing any other (-1: takes any)
    int saveResult = 0;  // what save answers, and its text
    QString saveText;

    // What it was told.
    QStringList log;
    QList<QWidget *> displays;

    // Moves the fake clock; a play that reaches its end stops there and queues its completion.
    void advance(qint64 ms)
    {
        if (m_mode != vk::mpPlaying && m_mode != vk::mpRecording)
            return;
        const qint64 end = m_to >= 0 ? std::min(m_to, scriptLength) : scriptLength;
        m_position = std::min(m_position + ms, end);
        if (m_position >= end) {
            m_mode = vk::mpStopped;
            m_to = -1;
            m_queued.append(true);
        }
    }
    // Delivers the queued completions, as the message loop would.
    void deliver()
    {
        const QList<bool> queued = std::exchange(m_queued, {});
        for (bool end : queued)
            if (end)
                emit reachedEnd();
    }
    // The play under way breaks off.
    void breakOff(int code)
    {
        m_mode = vk::mpStopped;
        emit failed(code);
    }

    int open(const QString &deviceType, const QString &element, bool) override
    {
        log << QStringLiteral("open %1 %2")
                   .arg(deviceType.isEmpty() ? QStringLiteral("-") : deviceType, element);
        if (openResult)
            return openResult;
        m_open = true;
        m_mode = vk::mpStopped;
        m_position = 0;
        return 0;
    }
    int close() override
    {
        log << QStringLiteral("close");
        m_open = false;
        m_mode = vk::mpNotReady;
        return 0;
    }
    QString errorText(int code) const override
    {
        return code == openResult ? openText : code == saveResult ? saveText : QString();
    }
    vk::MediaCapabilities capabilities() const override
    {
        vk::MediaCapabilities c;
        c.canPlay = m_open;
        c.canRecord = m_open && !video;
        c.hasVideo = m_open && video;
        c.canStep = c.hasVideo;
        if (c.hasVideo)
            c.naturalSize = natural;
        return c;
    }
    int play(qint64 from, qint64 to) override
    {
        log << QStringLiteral("play %1 %2").arg(from).arg(to);
        if (from >= 0)
            m_position = std::min(from, scriptLength);
        m_to = to;
        m_mode = vk::mpPlaying;
        if (m_position >= scriptLength)
            advance(0);
        return 0;
    }
    int pause() override
    {
        log << QStringLiteral("pause");
        if (m_mode == vk::mpPlaying || m_mode == vk::mpRecording) {
            m_pausedRecording = m_mode == vk::mpRecording;
            m_mode = vk::mpPaused;
        }
        return 0;
    }
    int resume() override
    {
        log << QStringLiteral("resume");
        if (m_mode != vk::mpPaused)
            return vk::MediaUnsupported;
        m_mode = m_pausedRecording ? vk::mpRecording : vk::mpPlaying;
        return 0;
    }
    int stop() override
    {
        log << QStringLiteral("stop");
        m_mode = vk::mpStopped;
        return 0;
    }
    int seek(qint64 to) override
    {
        log << QStringLiteral("seek %1").arg(to);
        m_position = std::clamp<qint64>(to, 0, scriptLength);
        m_mode = vk::mpStopped;
        return 0;
    }
    int step(qint64 by) override
    {
        log << QStringLiteral("step %1").arg(by);
        m_position = std::clamp<qint64>(m_position + by, 0, scriptLength);
        m_mode = vk::mpPaused;
        return 0;
    }
    int record(qint64 from, qint64 to) override
    {
        log << QStringLiteral("record %1 %2").arg(from).arg(to);
        m_mode = vk::mpRecording;
        return 0;
    }
    int save(const QString &file) override
    {
        log << QStringLiteral("save %1").arg(file);
        return saveResult;
    }
    int setTimeFormat(int format) override
    {
        log << QStringLiteral("time format %1").arg(format);
        if (keptFormat >= 0 && format != keptFormat)
            return vk::MediaUnsupported;
        m_format = format;
        return 0;
    }
    int timeFormat() const override { return keptFormat >= 0 ? keptFormat : m_format; }
    qint64 length() const override { return m_open ? scriptLength : 0; }
    qint64 position() const override { return m_position; }
    int mode() const override { return m_mode; }
    int setDisplay(QWidget *window) override
    {
        log << QStringLiteral("display");
        displays << window;
        return 0;
    }
    int setDisplayRect(const QRect &rect) override
    {
        m_rect = rect;
        return 0;
    }
    QRect displayRect() const override { return m_rect; }
    void waitUntilDone() override
    {
        log << QStringLiteral("wait");
        advance(scriptLength);
    }

private:
    bool m_open = false;
    int m_mode = vk::mpNotReady;
    bool m_pausedRecording = false;
    qint64 m_position = 0, m_to = -1;
    int m_format = 0;
    QRect m_rect;
    QList<bool> m_queued;
};

} // namespace fixtures
