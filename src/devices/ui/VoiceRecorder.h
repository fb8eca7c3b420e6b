// "Voice Recorder": records a sound from the sound input through the media player control,
// lets the person listen to it, and saves it as a WAV file that the folder window imports.
//
// Every recording starts from the program's empty voice recording (resources/), written into
// the work directory. The buttons follow three states: Idle, Recording or playing, Stopped
// (and Pause's own, see PauseClick).
#pragma once

#include "MPlayer.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace vk {

class UiServices;

class TfrmVoiceRecorder : public QDialog
{
    Q_OBJECT
public:
    // Records on `device`, or on a new device of the program's kind. The work files go into
    // `workDir` (ending with '/'); OK saves the recording as RecordingFile().
    TfrmVoiceRecorder(UiServices &ui, const QString &workDir, std::unique_ptr<MediaDevice> device = nullptr,
                      QWidget *parent = nullptr);
    ~TfrmVoiceRecorder() override;

    TMediaPlayer &player() const { return *m_player; }
    // Where OK saves the recording: the work directory + "vkvoice.wav".
    QString RecordingFile() const { return m_workDir + QStringLiteral("vkvoice.wav"); }
    // The empty recording every recording starts from.
    QString EmptyVoiceFile() const { return m_workDir + QStringLiteral("vk_empty_voice.wav"); }
    bool Recording = false;
    bool opened() const { return m_opened; }

    QLabel *labStatus = nullptr;
    QLabel *labTotalLength = nullptr;
    QLabel *labTime = nullptr;
    QSlider *TrackBar = nullptr;
    QPushButton *btnRecord = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnPlay = nullptr;
    QPushButton *btnPause = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer *tmrPosition = nullptr;

    void RecordClick();
    void StopClick();
    void PlayClick();
    void PauseClick();
    // Saves the recording as RecordingFile() and closes with OK; a recording the device cannot
    // save (its input failed, nothing was recorded) is refused with the device's message and
    // the window stays open.
    void OKClick();
    void PositionTimerTimer();

private:
    enum class State
    {
        Idle,
        Busy, // recording or playing
        Stopped,
    };
    void setState(State state);
    void setButtons(bool record, bool stop, bool play, bool pause, bool save, bool cancel);
    bool openElement();
    void showDeviceError();

    UiServices &m_ui;
    QString m_workDir;
    TMediaPlayer *m_player = nullptr;
    bool m_opened = false;
};

} // namespace vk
