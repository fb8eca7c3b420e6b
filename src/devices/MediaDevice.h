// What the media player control asks of the device that plays: open a file as a device type,
// play, pause, stop, seek, record and save, report length, position and mode, show video in a
// window, and tell when a play or a recording came to its end by itself. The workspace plays
// through Qt Multimedia (QtMediaDevice); tests drive a scripted double on a fake clock.
//
// Also the device table the workspace fills at start-up: the device type names, which media
// type opens as which device type, and whether there is any sound output at all.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

namespace vk {

// The device types, in this order.
enum TMPDeviceTypes : int
{
    dtAutoSelect,
    dtAVIVideo,
    dtCDAudio,
    dtDAT,
    dtDigitalVideo,
    dtMMMovie,
    dtOther,
    dtOverlay,
    dtScanner,
    dtSequencer,
    dtVCR,
    dtVideodisc,
    dtWaveAudio,
    dtNone,
    dtMpegVideo,
    dtActiveMovie,
};
inline constexpr int DeviceTypeCount = 16;

// The modes a device reports.
enum TMPModes : int
{
    mpNotReady,
    mpStopped,
    mpPlaying,
    mpRecording,
    mpSeeking,
    mpPaused,
    mpOpen,
};

// Time formats: milliseconds, and the tracks-minutes-seconds-frames of discs.
inline constexpr int tfMilliseconds = 0;
inline constexpr int tfFrames = 3;
inline constexpr int tfTMSF = 10;

// Results of device commands: 0 done, any other a failure whose text errorText() gives.
enum MediaResult : int
{
    MediaOk = 0,
    MediaFileMissing = 1,
    MediaCannotPlay,
    MediaOpenTimedOut,
    MediaUnsupported,
    MediaNoSuchDevice,
    MediaNoAudioInput,
    MediaRecordFailed,
    MediaSaveFailed,
    MediaNotOpen,
};

struct MediaCapabilities
{
    bool canPlay = false;
    bool canRecord = false;
    bool canEject = false;
    bool hasVideo = false;
    bool canStep = false; // a device that shows pictures moves by steps
    QSize naturalSize;    // of the video; empty without one
};

class MediaDevice : public QObject
{
    Q_OBJECT
public:
    ~MediaDevice() override = default;

    // Opens `element` (a file; empty for a new recording) as the device type of that name
    // (empty: chosen by the file).
    virtual int open(const QString &deviceType, const QString &element, bool shareable) = 0;
    virtual int close() = 0;
    // The text of a result; empty for a code the device does not know.
    virtual QString errorText(int code) const = 0;
    virtual MediaCapabilities capabilities() const = 0;

    // Positions in the time format (-1: none given).
    virtual int play(qint64 from, qint64 to) = 0;
    virtual int pause() = 0;
    // Fails unless paused.
    virtual int resume() = 0;
    // Stops where it is.
    virtual int stop() = 0;
    virtual int seek(qint64 to) = 0;
    // Moves by `by` (backwards when negative) and holds there.
    virtual int step(qint64 by) = 0;
    virtual int record(qint64 from, qint64 to) = 0;
    virtual int save(const QString &file) = 0;

    virtual int setTimeFormat(int format) = 0;
    virtual int timeFormat() const = 0;
    virtual qint64 length() const = 0;
    virtual qint64 position() const = 0;
    virtual int mode() const = 0;
    virtual int tracks() const { return 1; }

    // The window that shows the video (null: none), and the part of it the video fills.
    virtual int setDisplay(QWidget *window) = 0;
    virtual int setDisplayRect(const QRect &rect) = 0;
    virtual QRect displayRect() const = 0;

    // Returns once the play or recording under way has ended.
    virtual void waitUntilDone() = 0;

signals:
    // The play or recording under way reached its end position, or the end of the media.
    void reachedEnd();
    // It broke off.
    void failed(int code);
};

// The device types the workspace can open, named as the system names them, and which media
// type opens as which. Made once at start-up from what the system has.
struct MediaDeviceTable
{
    QString names[DeviceTypeCount];
    // Any sound output at all: without one nothing is opened.
    bool waveOutput = false;

    // The device type a media type opens as (audio 100-199, video 200-299; dtAutoSelect for others).
    int deviceTypeOf(int mediaType) const;
    // From the system's device list (upper-case names: "MPEGVIDEO", "ACTIVEMOVIE", ...).
    static MediaDeviceTable build(const QStringList &systemDevices, bool waveOutput);
};

// The table in use; made from the system the first time it is asked for, unless installed.
const MediaDeviceTable &mediaDeviceTable();
void installMediaDeviceTable(const MediaDeviceTable &table);

// A new device of the kind the program plays on (Qt Multimedia), or whatever a test put in its
// place.
std::unique_ptr<MediaDevice> createMediaDevice();
using MediaDeviceFactory = std::function<std::unique_ptr<MediaDevice>()>;
void setMediaDeviceFactory(MediaDeviceFactory factory);

} // namespace vk
