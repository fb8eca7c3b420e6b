#include "QtMediaDevice.h"

#include "Messages.h"
#include "WaitFor.h"

#include <QAudioDevice>
#include <QAudioInput>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QMediaRecorder>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QWidget>

#include <algorithm>

namespace vk {

namespace {

// How long a file may take to open, and a video to show its first picture.
constexpr int OpenTimeoutMs = 10000;
constexpr int FirstFrameTimeoutMs = 3000;
// A WAV file of this size or less holds no sound.
constexpr qint64 WaveHeaderBytes = 44;

// The device types one media framework serves alike; the others (discs, tapes, scanners)
// it has no device for.
const QStringList &servedTypes()
{
    static const QStringList types = {QStringLiteral("WaveAudio"), QStringLiteral("Sequencer"),
                                      QStringLiteral("AVIVideo"), QStringLiteral("DigitalVideo"),
                                      QStringLiteral("MpegVideo")};
    return types;
}

} // namespace

// The picture of the video, painted into the part of the display window it was given; it shows
// the last picture again whenever the window repaints.
class QtMediaDevice::View : public QWidget
{
public:
    explicit View(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setObjectName(QStringLiteral("VideoView"));
    }
    QImage frame;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        if (frame.isNull())
            p.fillRect(rect(), Qt::black);
        else
            p.drawImage(rect(), frame);
    }
};

struct QtMediaDevice::Recording
{
    QMediaCaptureSession session;
    QAudioInput input;
    QMediaRecorder recorder;
    QTemporaryDir dir;
    qint64 limit = -1;   // milliseconds to record, -1 until stopped
    QString problem;     // what the recorder said went wrong, if it did
    bool loaded = false; // the recorded file is the player's source
};

QtMediaDevice::QtMediaDevice() = default;

QtMediaDevice::~QtMediaDevice()
{
    release();
}

QStringList QtMediaDevice::deviceNames()
{
    QStringList names;
    for (const QString &type : servedTypes())
        names << type.toUpper();
    return names;
}

bool QtMediaDevice::canPlaySound()
{
    if (!QMediaDevices::audioOutputs().isEmpty())
        return true;
    const QByteArray backend = qgetenv("QT_MEDIA_BACKEND");
    return backend.isEmpty() || backend == "gstreamer";
}

int QtMediaDevice::fail(int code, const QString &text)
{
    m_errors[code] = text;
    return code;
}

QString QtMediaDevice::errorText(int code) const
{
    if (code <= MediaOk || code > MediaNotOpen)
        return QString();
    if (!m_errors[code].isEmpty())
        return m_errors[code];
    switch (code) {
    case MediaUnsupported:
        return vkMessage("MediaUnsupported");
    case MediaNoAudioInput:
        return vkMessage("MediaNoAudioInput");
    case MediaNotOpen:
        return vkMessage("NoMciDeviceOpen");
    default:
        return QString();
    }
}

void QtMediaDevice::release()
{
    if (m_recording) {
        m_recording->recorder.stop();
        m_recording.reset();
    }
    delete m_view;
    delete m_player;
    delete m_audio;
    delete m_sink;
    m_player = nullptr;
    m_audio = nullptr;
    m_sink = nullptr;
    m_frame = QImage();
    m_open = false;
    m_atEnd = false;
    m_endLength = 0;
    m_to = -1;
    m_mode = mpNotReady;
}

int QtMediaDevice::open(const QString &deviceType, const QString &element, bool)
{
    release();
    if (!deviceType.isEmpty() && !servedTypes().contains(deviceType, Qt::CaseInsensitive))
        return fail(MediaNoSuchDevice, vkMessage("MediaNoSuchDevice").arg(deviceType));
    m_type = deviceType;
    m_element = element;
    if (element.isEmpty()) {
        // A new recording: only sound is recorded.
        if (deviceType.compare(QLatin1String("WaveAudio"), Qt::CaseInsensitive) != 0)
            return MediaUnsupported;
        m_open = true;
        m_mode = mpStopped;
        return MediaOk;
    }
    if (!QFileInfo(element).isFile())
        return fail(MediaFileMissing, vkMessage("MediaFileMissing").arg(element));
    m_player = new QMediaPlayer;
    m_audio = new QAudioOutput;
    m_sink = new QVideoSink;
    m_player->setAudioOutput(m_audio);
    m_player->setVideoSink(m_sink);
    m_problem.clear();
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString &text) {
        m_problem = text;
        if (m_open && (m_mode == mpPlaying || m_mode == mpPaused)) {
            m_mode = mpStopped;
            emit failed(fail(MediaCannotPlay, vkMessage("MediaCannotPlay").arg(m_element, text)));
        }
    });
    watchPlayedEnd();
    connect(m_sink, &QVideoSink::videoFrameChanged, this, &QtMediaDevice::frameArrived);
    m_player->setSource(QUrl::fromLocalFile(QFileInfo(element).absoluteFilePath()));
    const bool settled = waitFor(OpenTimeoutMs, [&] {
        const QMediaPlayer::MediaStatus s = m_player->mediaStatus();
        return !m_problem.isEmpty() || s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::InvalidMedia ||
               s == QMediaPlayer::BufferedMedia;
    });
    if (!m_problem.isEmpty() || m_player->mediaStatus() == QMediaPlayer::InvalidMedia) {
        const QString why = m_problem.isEmpty() ? m_player->errorString() : m_problem;
        release();
        return fail(MediaCannotPlay, vkMessage("MediaCannotPlay").arg(element, why));
    }
    if (!settled) {
        release();
        return fail(MediaOpenTimedOut, vkMessage("MediaOpenTimedOut").arg(element));
    }
    if (m_player->hasVideo()) {
        // A video shows its first picture once open, as a still: played silently until it comes.
        m_audio->setMuted(true);
        m_player->play();
        waitFor(FirstFrameTimeoutMs, [this] { return !m_frame.isNull(); });
        m_player->pause();
        m_player->setPosition(0);
        m_audio->setMuted(false);
    }
    m_open = true;
    m_mode = mpStopped;
    return MediaOk;
}

int QtMediaDevice::close()
{
    release();
    return MediaOk;
}

MediaCapabilities QtMediaDevice::capabilities() const
{
    MediaCapabilities c;
    if (!m_open)
        return c;
    c.canPlay = m_player != nullptr;
    c.canRecord = m_type.compare(QLatin1String("WaveAudio"), Qt::CaseInsensitive) == 0 &&
                  !QMediaDevices::audioInputs().isEmpty();
    c.hasVideo = m_player && m_player->hasVideo();
    c.canStep = c.hasVideo;
    if (c.hasVideo) {
        c.naturalSize = m_frame.size();
        if (c.naturalSize.isEmpty())
            c.naturalSize = m_player->metaData().value(QMediaMetaData::Resolution).toSize();
    }
    return c;
}

void QtMediaDevice::frameArrived(const QVideoFrame &frame)
{
    if (!frame.isValid())
        return;
    m_frame = frame.toImage();
    if (m_view) {
        m_view->frame = m_frame;
        m_view->update();
    }
}

void QtMediaDevice::arrivedAtEnd()
{
    // A stream that never told its length (a short MP3 without a header saying it) is as long
    // as it played.
    if (m_player && m_player->duration() <= 0)
        m_endLength = std::max(m_endLength, m_player->position());
    m_atEnd = true;
    m_to = -1;
    if (m_mode == mpPlaying || m_mode == mpPaused) {
        m_mode = mpStopped;
        emit reachedEnd();
    }
}

int QtMediaDevice::play(qint64 from, qint64 to)
{
    if (!m_open || !m_player)
        return fail(MediaNotOpen, QString());
    if (from >= 0) {
        m_player->setPosition(from);
        m_atEnd = false;
    }
    m_to = to;
    m_mode = mpPlaying;
    if (m_atEnd) {
        // At the end already: nothing to play, done at once.
        QTimer::singleShot(0, this, [this] {
            if (m_mode == mpPlaying) {
                m_mode = mpStopped;
                emit reachedEnd();
            }
        });
        return MediaOk;
    }
    m_player->setPlaybackRate(m_rate);
    m_player->play();
    return MediaOk;
}

int QtMediaDevice::pause()
{
    if (!m_open)
        return fail(MediaNotOpen, QString());
    if (m_mode == mpPlaying && m_player) {
        m_player->pause();
        m_mode = mpPaused;
    } else if (m_mode == mpRecording && m_recording) {
        m_recording->recorder.pause();
        m_mode = mpPaused;
    }
    return MediaOk;
}

int QtMediaDevice::resume()
{
    if (m_mode != mpPaused)
        return MediaUnsupported;
    if (m_recording && m_recording->recorder.recorderState() == QMediaRecorder::PausedState) {
        m_recording->recorder.record();
        m_mode = mpRecording;
        return MediaOk;
    }
    m_player->play();
    m_mode = mpPlaying;
    return MediaOk;
}

int QtMediaDevice::stop()
{
    if (!m_open)
        return fail(MediaNotOpen, QString());
    if (m_recording && m_recording->recorder.recorderState() != QMediaRecorder::StoppedState)
        stopRecording();
    // A stopped device stays where it is (Qt's own stop goes back to the start).
    if (m_player && (m_mode == mpPlaying || m_mode == mpPaused))
        m_player->pause();
    m_to = -1;
    m_mode = mpStopped;
    return MediaOk;
}

int QtMediaDevice::seek(qint64 to)
{
    if (!m_open || !m_player)
        return fail(MediaNotOpen, QString());
    if (m_mode == mpPlaying)
        m_player->pause();
    const qint64 end = length();
    to = std::clamp<qint64>(to, 0, end > 0 ? end : std::max<qint64>(to, 0));
    m_player->setPosition(to);
    m_atEnd = end > 0 && to >= end;
    m_to = -1;
    m_mode = mpStopped;
    return MediaOk;
}

int QtMediaDevice::step(qint64 by)
{
    if (!m_open || !m_player || !m_player->hasVideo())
        return MediaUnsupported;
    m_player->pause();
    const qint64 end = length();
    const qint64 to = std::clamp<qint64>(position() + by, 0, std::max<qint64>(end, 0));
    m_player->setPosition(to);
    m_atEnd = end > 0 && to >= end;
    m_mode = mpPaused;
    return MediaOk;
}

int QtMediaDevice::record(qint64 from, qint64 to)
{
    if (!m_open)
        return fail(MediaNotOpen, QString());
    if (m_type.compare(QLatin1String("WaveAudio"), Qt::CaseInsensitive) != 0)
        return MediaUnsupported;
    const QAudioDevice input = QMediaDevices::defaultAudioInput();
    if (input.isNull())
        return MediaNoAudioInput;
    m_recording = std::make_unique<Recording>();
    Recording &r = *m_recording;
    if (!r.dir.isValid())
        return fail(MediaRecordFailed, vkMessage("MediaRecordFailed").arg(r.dir.errorString()));
    r.input.setDevice(input);
    r.session.setAudioInput(&r.input);
    r.session.setRecorder(&r.recorder);
    QMediaFormat format(QMediaFormat::Wave);
    format.setAudioCodec(QMediaFormat::AudioCodec::Wave);
    r.recorder.setMediaFormat(format);
    r.recorder.setOutputLocation(QUrl::fromLocalFile(r.dir.filePath(QStringLiteral("recording.wav"))));
    r.limit = to >= 0 ? to - std::max<qint64>(from, 0) : -1;
    connect(&r.recorder, &QMediaRecorder::durationChanged, this, [this](qint64 duration) {
        if (m_recording && m_recording->limit >= 0 && duration >= m_recording->limit &&
            m_mode == mpRecording) {
            stopRecording();
            m_mode = mpStopped;
            emit reachedEnd();
        }
    });
    connect(&r.recorder, &QMediaRecorder::errorOccurred, this,
            [this](QMediaRecorder::Error, const QString &text) {
                if (m_recording)
                    m_recording->problem = text.isEmpty() ? QStringLiteral("the sound input failed") : text;
                if (m_mode == mpRecording) {
                    m_mode = mpStopped;
                    emit failed(fail(MediaRecordFailed, vkMessage("MediaRecordFailed").arg(text)));
                }
            });
    r.recorder.record();
    m_mode = mpRecording;
    return MediaOk;
}

void QtMediaDevice::stopRecording()
{
    if (!m_recording)
        return;
    QMediaRecorder &recorder = m_recording->recorder;
    if (recorder.recorderState() != QMediaRecorder::StoppedState) {
        recorder.stop();
        // The file is whole once the recorder says it has stopped.
        waitFor(OpenTimeoutMs, [&] { return recorder.recorderState() == QMediaRecorder::StoppedState; });
    }
    loadRecording();
}

void QtMediaDevice::watchPlayedEnd()
{
    // The end of the medium, or the end of a range played with an end position.
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia)
            arrivedAtEnd();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (m_to >= 0 && position >= m_to && m_mode == mpPlaying) {
            m_player->pause();
            m_to = -1;
            m_mode = mpStopped;
            emit reachedEnd();
        }
    });
}

void QtMediaDevice::loadRecording()
{
    // What was recorded is what plays back from now on.
    Recording &r = *m_recording;
    const QString recorded = r.recorder.actualLocation().toLocalFile();
    if (r.loaded || !r.problem.isEmpty() || recorded.isEmpty() || !QFileInfo(recorded).isFile())
        return;
    r.loaded = true;
    if (!m_player) {
        m_player = new QMediaPlayer;
        m_audio = new QAudioOutput;
        m_player->setAudioOutput(m_audio);
        watchPlayedEnd();
    }
    m_player->setSource(QUrl::fromLocalFile(recorded));
    waitFor(OpenTimeoutMs, [&] {
        const QMediaPlayer::MediaStatus s = m_player->mediaStatus();
        return s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::InvalidMedia ||
               s == QMediaPlayer::BufferedMedia;
    });
    m_atEnd = false;
    m_endLength = 0;
}

bool QtMediaDevice::recordingUnderWay() const
{
    return m_recording && m_recording->recorder.recorderState() != QMediaRecorder::StoppedState;
}

int QtMediaDevice::save(const QString &file)
{
    if (!m_open)
        return fail(MediaNotOpen, QString());
    if (!m_recording)
        return MediaUnsupported;
    stopRecording();
    // A recording whose input failed, or that holds no sound, is refused with what went wrong
    // rather than stored as an empty clip.
    if (!m_recording->problem.isEmpty())
        return fail(MediaRecordFailed, vkMessage("MediaRecordFailed").arg(m_recording->problem));
    // The recorder may have chosen another extension: the file it actually wrote counts.
    const QString recorded = m_recording->recorder.actualLocation().toLocalFile();
    if (recorded.isEmpty() || QFileInfo(recorded).size() <= WaveHeaderBytes)
        return fail(MediaRecordFailed, vkMessage("MediaRecordFailed").arg(vkMessage("RecordingEmpty")));
    QFile::remove(file);
    if (recorded.isEmpty() || !QFile::copy(recorded, file))
        return fail(MediaSaveFailed, vkMessage("MediaSaveFailed").arg(file, QFile(recorded).errorString()));
    return MediaOk;
}

int QtMediaDevice::setTimeFormat(int format)
{
    return format == tfMilliseconds ? MediaOk : MediaUnsupported;
}

qint64 QtMediaDevice::length() const
{
    if (recordingUnderWay())
        return m_recording->recorder.duration();
    if (!m_player)
        return m_recording ? m_recording->recorder.duration() : 0;
    return m_player->duration() > 0 ? m_player->duration() : m_endLength;
}

qint64 QtMediaDevice::position() const
{
    if (recordingUnderWay())
        return m_recording->recorder.duration();
    if (!m_player)
        return m_recording ? m_recording->recorder.duration() : 0;
    const qint64 end = length();
    if (m_atEnd)
        return end;
    return end > 0 ? std::min(m_player->position(), end) : m_player->position();
}

int QtMediaDevice::setDisplay(QWidget *window)
{
    if (!m_open || !m_player || !m_player->hasVideo())
        return MediaUnsupported;
    delete m_view;
    m_display = window;
    if (!window)
        return MediaOk;
    m_view = new View(window);
    m_view->frame = m_frame;
    const QSize natural = capabilities().naturalSize;
    m_view->setGeometry(m_displayRect.isValid() ? m_displayRect : QRect(QPoint(0, 0), natural));
    m_view->show();
    return MediaOk;
}

int QtMediaDevice::setDisplayRect(const QRect &rect)
{
    // A rectangle without a size asks for the natural size at its corner.
    m_displayRect = rect.isEmpty() ? QRect(rect.topLeft(), capabilities().naturalSize) : rect;
    if (m_view)
        m_view->setGeometry(m_displayRect);
    return MediaOk;
}

QRect QtMediaDevice::displayRect() const
{
    if (m_view)
        return m_view->geometry();
    return m_displayRect.isValid() ? m_displayRect : QRect(QPoint(0, 0), capabilities().naturalSize);
}

void QtMediaDevice::waitUntilDone()
{
    if (m_mode != mpPlaying && m_mode != mpRecording)
        return;
    // However long the rest is at this pace, and then some; a recording without an end waits
    // for as long as a file may take to open.
    qint64 rest = length() > 0 ? qint64((length() - position()) / std::max(m_rate, 0.01)) : 0;
    if (m_mode == mpRecording && m_recording && m_recording->limit >= 0)
        rest = std::max<qint64>(m_recording->limit - m_recording->recorder.duration(), 0);
    waitFor(int(std::min<qint64>(rest + OpenTimeoutMs, 24 * 3600 * 1000)),
            [this] { return m_mode != mpPlaying && m_mode != mpRecording; });
}

void QtMediaDevice::setRate(double rate)
{
    m_rate = rate > 0 ? rate : 1.0;
    if (m_player && m_mode == mpPlaying)
        m_player->setPlaybackRate(m_rate);
}

} // namespace vk
