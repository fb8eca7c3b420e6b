#include "QtCaptureDevice.h"

#include "Messages.h"
#include "WaitFor.h"

#include <QAudioDevice>
#include <QAudioInput>
#include <QCamera>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaRecorder>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>

namespace vk {

namespace {

// How long a camera may take to start, to give a still, and a recorder to close its file.
constexpr int StartTimeoutMs = 5000;

QString formatText(const QCameraFormat &f)
{
    return QStringLiteral("%1 x %2, %3 fps, %4")
        .arg(f.resolution().width())
        .arg(f.resolution().height())
        .arg(f.maxFrameRate(), 0, 'g', 3)
        .arg(QVideoFrameFormat::pixelFormatToString(f.pixelFormat()));
}

} // namespace

QtCaptureDevice::QtCaptureDevice() = default;

QtCaptureDevice::~QtCaptureDevice()
{
    disconnectDriver();
}

QList<CaptureDriver> QtCaptureDevice::drivers()
{
    m_devices = QMediaDevices::videoInputs();
    QList<CaptureDriver> out;
    for (int i = 0; i < m_devices.size() && i <= MaxCaptureDriver; ++i)
        out.append({i, m_devices[i].description()});
    return out;
}

bool QtCaptureDevice::connectDriver(int index)
{
    disconnectDriver();
    if (m_devices.isEmpty())
        m_devices = QMediaDevices::videoInputs();
    if (index < 0 || index >= m_devices.size())
        return false;
    m_problem.clear();
    m_session = std::make_unique<QMediaCaptureSession>();
    m_camera = std::make_unique<QCamera>(m_devices[index]);
    m_sink = std::make_unique<QVideoSink>();
    m_still = std::make_unique<QImageCapture>();
    m_recorder = std::make_unique<QMediaRecorder>();
    connect(m_camera.get(), &QCamera::errorOccurred, this,
            [this](QCamera::Error, const QString &text) { m_problem = text; });
    connect(m_sink.get(), &QVideoSink::videoFrameChanged, this, &QtCaptureDevice::frameArrived);
    m_session->setCamera(m_camera.get());
    m_session->setVideoOutput(m_sink.get());
    m_session->setImageCapture(m_still.get());
    m_session->setRecorder(m_recorder.get());
    connect(m_recorder.get(), &QMediaRecorder::errorOccurred, this,
            [this](QMediaRecorder::Error, const QString &text) { m_recordError = text; });
    connect(m_recorder.get(), &QMediaRecorder::durationChanged, this, [this](qint64 duration) {
        if (m_limitMs >= 0 && duration >= m_limitMs)
            m_recorder->stop();
    });
    connect(m_recorder.get(), &QMediaRecorder::recorderStateChanged, this,
            [this](QMediaRecorder::RecorderState state) {
                if (state == QMediaRecorder::StoppedState)
                    recorderStopped();
            });
    m_camera->start();
    waitFor(StartTimeoutMs, [this] { return m_camera->isActive() || !m_problem.isEmpty(); });
    if (!m_camera->isActive()) {
        disconnectDriver();
        return false;
    }
    m_driver = index;
    return true;
}

void QtCaptureDevice::disconnectDriver()
{
    if (m_recorder && m_recorder->recorderState() != QMediaRecorder::StoppedState)
        m_recorder->stop();
    if (m_camera)
        m_camera->stop();
    m_recorder.reset();
    m_still.reset();
    m_session.reset();
    m_camera.reset();
    m_sink.reset();
    m_audio.reset();
    m_driver = -1;
    m_last = QImage();
}

CaptureCapabilities QtCaptureDevice::capabilities() const
{
    CaptureCapabilities c;
    // The framework offers a choice of formats; it has no dialogs of the driver's own.
    c.hasVideoFormat = m_camera && m_camera->cameraDevice().videoFormats().size() > 1;
    return c;
}

QSize QtCaptureDevice::imageSize() const
{
    if (!m_last.isNull())
        return m_last.size();
    if (m_camera && !m_camera->cameraFormat().isNull())
        return m_camera->cameraFormat().resolution();
    return QSize(160, 120);
}

void QtCaptureDevice::frameArrived(const QVideoFrame &frame)
{
    if (!frame.isValid())
        return;
    m_last = frame.toImage();
    if (m_preview)
        emit previewFrame(m_last);
}

bool QtCaptureDevice::grabFrame(QImage &out, QString *error)
{
    if (!m_camera || !m_still) {
        if (error)
            *error = vkMessage("CaptureNoDevice");
        return false;
    }
    QImage taken;
    QString why;
    const auto got = connect(m_still.get(), &QImageCapture::imageCaptured, this,
                             [&](int, const QImage &image) { taken = image; });
    const auto failed = connect(m_still.get(), &QImageCapture::errorOccurred, this,
                                [&](int, QImageCapture::Error, const QString &text) { why = text; });
    waitFor(StartTimeoutMs, [this] { return m_still->isReadyForCapture(); });
    if (m_still->isReadyForCapture()) {
        m_still->capture();
        waitFor(StartTimeoutMs, [&] { return !taken.isNull() || !why.isEmpty(); });
    }
    disconnect(got);
    disconnect(failed);
    // A camera that cannot take stills still shows its pictures: the last one serves.
    if (taken.isNull())
        taken = m_last;
    if (taken.isNull()) {
        if (error)
            *error = why.isEmpty() ? vkMessage("CaptureNoFrame") : why;
        return false;
    }
    out = taken;
    return true;
}

bool QtCaptureDevice::startRecording(const QString &file, const CaptureParams &params, QString *error)
{
    if (!m_recorder) {
        if (error)
            *error = vkMessage("CaptureNoDevice");
        return false;
    }
    m_recordError.clear();
    m_recorded.clear();
    QMediaFormat format(QMediaFormat::AVI);
    format.setVideoCodec(QMediaFormat::VideoCodec::MotionJPEG);
    m_recorder->setMediaFormat(format);
    m_recorder->setVideoFrameRate(1000000.0 / std::max(params.microSecPerFrame, 1));
    m_recorder->setOutputLocation(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    m_audio.reset();
    if (params.captureAudio && !QMediaDevices::defaultAudioInput().isNull()) {
        m_audio = std::make_unique<QAudioInput>(QMediaDevices::defaultAudioInput());
        m_session->setAudioInput(m_audio.get());
    } else {
        m_session->setAudioInput(nullptr);
    }
    m_limitMs = params.timeLimitEnabled ? qint64(params.timeLimit) * 1000 : -1;
    m_recorder->record();
    if (!m_recordError.isEmpty()) {
        if (error)
            *error = m_recordError;
        return false;
    }
    return true;
}

void QtCaptureDevice::stopRecording()
{
    if (!m_recorder || m_recorder->recorderState() == QMediaRecorder::StoppedState)
        return;
    m_recorder->stop();
    waitFor(StartTimeoutMs, [this] { return m_recorder->recorderState() == QMediaRecorder::StoppedState; });
}

bool QtCaptureDevice::recording() const
{
    return m_recorder && m_recorder->recorderState() != QMediaRecorder::StoppedState;
}

void QtCaptureDevice::recorderStopped()
{
    m_limitMs = -1;
    m_recorded = m_recorder->actualLocation().toLocalFile();
    emit recordingDone(m_recordError);
}

QStringList QtCaptureDevice::videoFormats() const
{
    QStringList out;
    if (m_camera)
        for (const QCameraFormat &f : m_camera->cameraDevice().videoFormats())
            out << formatText(f);
    return out;
}

int QtCaptureDevice::videoFormat() const
{
    if (!m_camera)
        return -1;
    return int(m_camera->cameraDevice().videoFormats().indexOf(m_camera->cameraFormat()));
}

bool QtCaptureDevice::setVideoFormat(int index)
{
    if (!m_camera)
        return false;
    const QList<QCameraFormat> formats = m_camera->cameraDevice().videoFormats();
    if (index < 0 || index >= formats.size())
        return false;
    m_camera->setCameraFormat(formats[index]);
    m_last = QImage();
    return true;
}

} // namespace vk
