// The capture device of the workspace: the system's cameras through Qt Multimedia (V4L2
// devices on Linux), previewed through a video sink, stills taken with QImageCapture and clips
// recorded with QMediaRecorder.
#pragma once

#include "CaptureDevice.h"

#include <QCameraDevice>

#include <memory>

class QAudioInput;
class QCamera;
class QImageCapture;
class QMediaCaptureSession;
class QMediaRecorder;
class QVideoFrame;
class QVideoSink;

namespace vk {

class QtCaptureDevice : public CaptureDevice
{
    Q_OBJECT
public:
    QtCaptureDevice();
    ~QtCaptureDevice() override;

    QList<CaptureDriver> drivers() override;
    bool connectDriver(int index) override;
    void disconnectDriver() override;
    int connectedDriver() const override { return m_driver; }
    CaptureCapabilities capabilities() const override;
    QSize imageSize() const override;
    void setPreview(bool on) override { m_preview = on; }
    bool preview() const override { return m_preview; }
    bool grabFrame(QImage &out, QString *error) override;
    bool startRecording(const QString &file, const CaptureParams &params, QString *error) override;
    void stopRecording() override;
    bool recording() const override;
    QString recordedFile() const override { return m_recorded; }
    QStringList videoFormats() const override;
    int videoFormat() const override;
    bool setVideoFormat(int index) override;

private:
    void frameArrived(const QVideoFrame &frame);
    void recorderStopped();

    QList<QCameraDevice> m_devices;
    int m_driver = -1;
    bool m_preview = false;
    QString m_problem; // what the camera said went wrong
    QString m_recordError;
    QString m_recorded;
    qint64 m_limitMs = -1;
    QImage m_last;
    std::unique_ptr<QMediaCaptureSession> m_session;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QVideoSink> m_sink;
    std::unique_ptr<QImageCapture> m_still;
    std::unique_ptr<QMediaRecorder> m_recorder;
    std::unique_ptr<QAudioInput> m_audio;
};

} // namespace vk
