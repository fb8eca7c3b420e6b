// The device the workspace plays on: Qt Multimedia (its GStreamer back end), which plays every
// audio and video type the library holds and records from a sound input.
#pragma once

#include "MediaDevice.h"

#include <QImage>
#include <QPointer>

#include <memory>

class QAudioOutput;
class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

namespace vk {

class QtMediaDevice : public MediaDevice
{
    Q_OBJECT
public:
    QtMediaDevice();
    ~QtMediaDevice() override;

    int open(const QString &deviceType, const QString &element, bool shareable) override;
    int close() override;
    QString errorText(int code) const override;
    MediaCapabilities capabilities() const override;
    int play(qint64 from, qint64 to) override;
    int pause() override;
    int resume() override;
    int stop() override;
    int seek(qint64 to) override;
    int step(qint64 by) override;
    int record(qint64 from, qint64 to) override;
    int save(const QString &file) override;
    int setTimeFormat(int format) override;
    int timeFormat() const override { return tfMilliseconds; }
    qint64 length() const override;
    qint64 position() const override;
    int mode() const override { return m_mode; }
    int setDisplay(QWidget *window) override;
    int setDisplayRect(const QRect &rect) override;
    QRect displayRect() const override;
    void waitUntilDone() override;

    // Plays faster (or slower) from the next play on, and at once when playing; for tests that
    // play real files. Some files (an MP3 whose length shows only while it plays) keep their pace.
    void setRate(double rate);
    // The picture the video shows now (null before the first).
    QImage currentFrame() const { return m_frame; }

    // The device types this back end opens, as the system names them.
    static QStringList deviceNames();
    // Whether sound can be played: a sound output is listed, or the back end plays without one
    // (GStreamer does, into a stand-in sink; the FFmpeg back end would crash).
    static bool canPlaySound();

private:
    int fail(int code, const QString &text);
    void release();
    void frameArrived(const QVideoFrame &frame);
    void arrivedAtEnd();
    void watchPlayedEnd();
    void stopRecording();
    void loadRecording();
    bool recordingUnderWay() const;

    class View;
    struct Recording;
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QVideoSink *m_sink = nullptr;
    std::unique_ptr<Recording> m_recording;
    QPointer<QWidget> m_display;
    QPointer<View> m_view;
    QRect m_displayRect;
    QImage m_frame;
    QString m_type, m_element;
    QString m_problem; // what the framework said went wrong while opening
    QString m_errors[MediaNotOpen + 1];
    int m_mode = mpNotReady;
    bool m_open = false;
    bool m_atEnd = false;
    qint64 m_to = -1;
    qint64 m_endLength = 0; // the length of a stream that did not tell it, once played to its end
    double m_rate = 1.0;
};

} // namespace vk
