// What the capture windows ask of a video capture device: the drivers there are, connecting
// to one, its preview pictures, one still frame, and recording a clip into a file with the
// capture parameters. The workspace captures through Qt Multimedia (QtCaptureDevice: the
// system's cameras, V4L2 on Linux); tests drive a scripted double.
//
// Also the capture parameters and their setup rules, the still frame's picture formats and
// the names the captured files get.
#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vk {

// The driver indexes a window tries, and the one it reports when there is no device at all.
inline constexpr int MaxCaptureDriver = 10;
inline constexpr int NoCaptureDriver = 99;

struct CaptureDriver
{
    int index = 0;
    QString description;
};

struct CaptureCapabilities
{
    bool hasOverlay = false;
    bool hasVideoSource = false;
    bool hasVideoFormat = false;
    bool hasVideoDisplay = false;
};

// The sequence setup of a clip recording.
struct CaptureParams
{
    int microSecPerFrame = 66667; // 15 frames a second
    int videoBuffers = 5;
    bool useDosMemory = false;
    bool disableWriteCache = false;
    bool captureAudio = true;
    bool timeLimitEnabled = false;
    int timeLimit = 30; // seconds
};

class CaptureDevice : public QObject
{
    Q_OBJECT
public:
    ~CaptureDevice() override = default;

    // The installed drivers (indexes 0 to MaxCaptureDriver), in index order.
    virtual QList<CaptureDriver> drivers() = 0;
    virtual bool connectDriver(int index) = 0;
    virtual void disconnectDriver() = 0;
    // -1 when none is connected.
    virtual int connectedDriver() const = 0;
    virtual CaptureCapabilities capabilities() const = 0;
    // The size of the pictures the connected driver gives.
    virtual QSize imageSize() const = 0;

    // While on, each new picture comes as previewFrame.
    virtual void setPreview(bool on) = 0;
    virtual bool preview() const = 0;
    virtual void setOverlay(bool) {}

    // One still frame; false with the device's reason in *error.
    virtual bool grabFrame(QImage &out, QString *error) = 0;

    // Records a clip into `file` (its extension may be changed: recordedFile() says what was
    // written) until stopRecording or the time limit. recordingDone comes when it has ended.
    virtual bool startRecording(const QString &file, const CaptureParams &params, QString *error) = 0;
    virtual void stopRecording() = 0;
    virtual bool recording() const = 0;
    virtual QString recordedFile() const = 0;

    // The picture formats the connected driver offers, as a person reads them, and the one in use.
    virtual QStringList videoFormats() const { return {}; }
    virtual int videoFormat() const { return -1; }
    virtual bool setVideoFormat(int) { return false; }

    CaptureParams sequenceSetup() const { return m_params; }
    void setSequenceSetup(const CaptureParams &params) { m_params = params; }

signals:
    void previewFrame(const QImage &frame);
    // The recording ended: `error` empty when the clip was written whole.
    void recordingDone(const QString &error);

private:
    CaptureParams m_params;
};

// A new device of the kind the program captures on (Qt Multimedia), or whatever a test put in
// its place.
std::unique_ptr<CaptureDevice> createCaptureDevice();
using CaptureDeviceFactory = std::function<std::unique_ptr<CaptureDevice>()>;
void setCaptureDeviceFactory(CaptureDeviceFactory factory);

// The fields of the capture setup dialog, as typed.
struct CapSetupFields
{
    QString frameRate;
    QString videoBuffer;
    bool useDosMemory = false;
    bool disableWriteCache = false;
    bool captureAudio = false;
    bool timeLimitEnabled = false;
    QString timeLimit;
};

// The frame rate the dialog shows for a frame time, and the frame time a rate gives.
int FrameRateOf(int microSecPerFrame);
int MicroSecPerFrameOf(int frameRate);
CapSetupFields CapSetupFieldsOf(const CaptureParams &params);
// Whether the dialog may close with these fields: the video buffer and frame rate whole
// numbers (one that is not is replaced by "0" in `fields`), the rate 1 to 100, and with the
// limit on, the limit a whole number from 1 to 3600. On acceptance `params` gets the values.
bool AcceptCapSetup(CapSetupFields &fields, CaptureParams &params);

// A picture format a captured or scanned still is saved in, chosen by the ScanImageType option.
struct StillFormat
{
    QString extension; // ".jpg"
    int format;        // ImageFormat code
    int parameter;
};
// 0 JPG, 1 BMP, 2 PCX, 3 PNG, 4 TGA, 5 TIF, 6 GIF; anything else is taken as 0.
StillFormat StillFormatOf(int scanImageType);
// The file a still frame is saved to before it goes into the library: `prefix` (the work
// directory, ending with '/') + "CapImage" + the counter + the extension.
QString CaptureImageName(const QString &prefix, int counter, int scanImageType);

} // namespace vk
