// A capture device for tests: the drivers it is given (those in `refused` do not connect), a
// picture of the size it is given, a recording that ends when the test says, and a log of
// every command, one a line.
#pragma once

#include "CaptureDevice.h"

#include <QColor>
#include <QFile>
#include <QSet>
#include <QStringList>

namespace fixtures {

class ScriptedCaptureDevice : public vk::CaptureDevice
{
public:
    QList<vk::CaptureDriver> installed;
    QSet<int> refused;
    QSize size{320, 240};
    QStringList formats;
    vk::CaptureCapabilities caps;
    QColor colour = Qt::red; // of the pictures it gives
    QStringList log;

    QList<vk::CaptureDriver> drivers() override { return installed; }
    bool connectDriver(int index) override
    {
        log << QStringLiteral("connect %1").arg(index);
        if (refused.contains(index))
            return false;
        m_driver = index;
        return true;
    }
    void disconnectDriver() override
    {
        if (m_driver >= 0)
            log << QStringLiteral("disconnect");
        m_driver = -1;
    }
    int connectedDriver() const override { return m_driver; }
    vk::CaptureCapabilities capabilities() const override { return caps; }
    QSize imageSize() const override { return size; }
    void setPreview(bool on) override { m_preview = on; }
    bool preview() const override { return m_preview; }
    bool grabFrame(QImage &out, QString *) override
    {
        log << QStringLiteral("frame");
        if (m_driver < 0)
            return false;
        out = QImage(size, QImage::Format_RGB32);
        out.fill(colour);
        return true;
    }
    bool startRecording(const QString &file, const vk::CaptureParams &params, QString *) override
    {
        log << QStringLiteral("record %1 %2")
                   .arg(params.microSecPerFrame)
                   .arg(params.timeLimitEnabled ? params.timeLimit : 0);
        m_file = file;
        m_recording = true;
        return true;
    }
    void stopRecording() override
    {
        if (!m_recording)
            return;
        log << QStringLiteral("stop");
        finishRecording(QString());
    }
    // The recording ends by itself (its time limit), or breaks off with `error`.
    void finishRecording(const QString &error)
    {
        m_recording = false;
        if (error.isEmpty()) {
            QFile f(m_file);
            if (f.open(QIODevice::WriteOnly))
                f.write("RIFF....AVI ");
        }
        emit recordingDone(error);
    }
    bool recording() const override { return m_recording; }
    QString recordedFile() const override { return m_file; }
    QStringList videoFormats() const override { return formats; }

private:
    int m_driver = -1;
    bool m_preview = false;
    bool m_recording = false;
    QString m_file;
};

} // namespace fixtures
