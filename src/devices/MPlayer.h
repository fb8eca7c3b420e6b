// TMediaPlayer: the program's control for playing and recording sound and video. Every place
// that plays uses it: the property dialog, the property editor, slide objects, slide shows and
// the voice recorder. It is a bar of nine buttons (most places hide them and drive it by its
// operations) over a media device (MediaDevice.h).
//
// Its commands keep the rules those places rely on: Play, Record and Resume ask to be told
// when they complete and do not wait; every other command waits and tells only when asked.
// Notify and Wait apply to the next command only. A completion (successful, superseded by a
// newer command that asked to be told, aborted by one that broke it off, or a failure) comes
// later through the event loop, as OnNotify. Opening fails with EMCIDeviceError carrying the
// device's own text; any command but the status, time format and display ones on a closed
// control fails with "No MCI device open".
#pragma once

#include "MediaDevice.h"

#include <QTime>
#include <QWidget>

#include <memory>
#include <stdexcept>

namespace vk {

class EMCIDeviceError : public std::runtime_error
{
public:
    explicit EMCIDeviceError(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// The buttons, in bar order.
enum TMPBtnType : int
{
    btPlay,
    btPause,
    btStop,
    btNext,
    btPrev,
    btStep,
    btBack,
    btRecord,
    btEject,
};
inline constexpr int ButtonCount = 9;
// A set of buttons, one bit each.
using TButtonSet = quint16;
constexpr TButtonSet buttonBit(TMPBtnType button)
{
    return TButtonSet(1u << button);
}
inline constexpr TButtonSet AllButtons = (1u << ButtonCount) - 1;

// How the last completion ended.
enum TMPNotifyValues : int
{
    nvSuccessful,
    nvSuperseded,
    nvAborted,
    nvFailure,
};

class TMediaPlayer : public QWidget
{
    Q_OBJECT
public:
    // Plays on `device`, or on a new device of the program's kind (createMediaDevice).
    explicit TMediaPlayer(QWidget *parent = nullptr, std::unique_ptr<MediaDevice> device = nullptr);
    // An open device is closed first.
    ~TMediaPlayer() override;

    MediaDevice &device() const { return *m_device; }
    // The device table Open names device types from (the workspace's, unless set).
    void setDeviceTable(const MediaDeviceTable &table) { m_table = table; }

    // The published settings.
    TButtonSet VisibleButtons() const { return m_visible; }
    void setVisibleButtons(TButtonSet buttons);
    TButtonSet EnabledButtons() const { return m_enabled; }
    void setEnabledButtons(TButtonSet buttons);
    TButtonSet ColoredButtons() const { return m_colored; }
    void setColoredButtons(TButtonSet buttons);
    bool AutoEnable = true;
    bool AutoOpen = false; // open as soon as FileName is set
    bool AutoRewind = true;
    int DeviceType = dtAutoSelect;
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name);
    bool Shareable = false;
    QWidget *Display() const { return m_display; }
    void setDisplay(QWidget *window);

    // The run-time values.
    int DeviceID() const { return m_deviceId; }
    int Error() const { return m_error; }
    QString ErrorMessage() const;
    // For the next command only.
    void setNotify(bool notify);
    void setWait(bool wait);
    // For the next play or record only.
    void setStartPos(qint64 position) { m_startPos = position; }
    void setEndPos(qint64 position) { m_endPos = position; }
    int TimeFormat();
    void setTimeFormat(int format);
    qint64 Position();
    void setPosition(qint64 position);
    qint64 Length();
    int Tracks();
    int Mode();
    int NotifyValue() const { return m_notifyValue; }
    QRect DisplayRect();
    void setDisplayRect(const QRect &rect);
    const MediaCapabilities &capabilities() const { return m_caps; }
    qint64 stepSize() const { return m_stepSize; }

    // The commands.
    void Open();
    void Close();
    void Play();
    void Pause();
    void Resume();
    void Stop();
    void Next();
    void Previous();
    void Step();
    void Back();
    void StartRecording();
    void Save();
    void Eject();
    void Rewind();

    // A press of a button, as a click or the Space key makes it.
    void click(TMPBtnType button);
    QRect buttonRect(TMPBtnType button) const;
    // The enabled state the buttons take from the mode (with AutoEnable).
    TButtonSet autoEnabledButtons();

    QSize sizeHint() const override { return QSize(240, 30); }

signals:
    // Before a button's command; clearing `doDefault` cancels it.
    void OnClick(vk::TMPBtnType button, bool &doDefault);
    void OnPostClick(vk::TMPBtnType button);
    void OnNotify();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Flags
    {
        bool notify, wait;
    };
    // The one-command settings, taken by a command (`playLike`: Play, Record, Resume).
    Flags takeFlags(bool playLike);
    void requireOpen() const;
    // A command that breaks off the play or recording under way ends its completion as aborted.
    void abortPending();
    // Runs after a command's device call.
    void finish(int result, const Flags &flags, bool completes);
    void postNotify(int value);
    void deviceReachedEnd();
    void deviceFailed(int code);
    void updateButtons();

    std::unique_ptr<MediaDevice> m_device;
    MediaDeviceTable m_table;
    TButtonSet m_visible, m_enabled, m_colored;
    QString m_fileName;
    QWidget *m_display = nullptr;
    int m_deviceId = 0;
    int m_error = 0;
    bool m_notify = false, m_notifySet = false;
    bool m_wait = false, m_waitSet = false;
    qint64 m_startPos = -1, m_endPos = -1;
    int m_notifyValue = nvSuccessful;
    bool m_pending = false; // a command's completion is still to come
    MediaCapabilities m_caps;
    qint64 m_stepSize = 0;
    int m_focus = btPlay;
};

// The device type of a media type set, the file given and the player opened; false when the
// system has no sound output (nothing is asked of the device then) or the open failed, with
// the player's own text in *error.
bool OpenMediaFile(const QString &fileName, int mediaType, TMediaPlayer &player, QString *error = nullptr);
// MP3 (the MPEG audio player of old): opened as above and started at once.
bool OpenMpegAudio(const QString &fileName, TMediaPlayer &player, QString *error = nullptr);

// The length (`which` 0) or position (1) as hours, minutes and seconds, fractions dropped;
// 0:00:00 when the device keeps a time format other than milliseconds.
QTime MediaTime(TMediaPlayer &player, int which);
// "h:nn:ss".
QString MediaTimeText(const QTime &time);

} // namespace vk
