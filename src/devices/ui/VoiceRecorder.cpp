#include "VoiceRecorder.h"

#include "Messages.h"
#include "UiServices.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <algorithm>

namespace vk {

namespace {

constexpr int TrackSteps = 40;
// While recording, two minutes fill the bar.
constexpr qint64 RecordingBarMs = 120000;

// "h:nn:ss", as the labels show it; "0:00" before anything was measured.
QString timeText(const QTime &t)
{
    return MediaTimeText(t);
}

} // namespace

TfrmVoiceRecorder::TfrmVoiceRecorder(UiServices &ui, const QString &workDir,
                                     std::unique_ptr<MediaDevice> device, QWidget *parent)
    : QDialog(parent), m_ui(ui), m_workDir(workDir)
{
    setWindowTitle(QStringLiteral("Voice Recorder"));
    m_player = new TMediaPlayer(this, std::move(device));
    m_player->setVisible(false);
    m_player->AutoEnable = false;
    m_player->AutoRewind = false;
    m_player->DeviceType = dtWaveAudio;

    labStatus = new QLabel(QStringLiteral("Idle"), this);
    labStatus->setObjectName(QStringLiteral("Status"));
    labStatus->setFrameShape(QFrame::Panel);
    labStatus->setFrameShadow(QFrame::Sunken);
    labTotalLength = new QLabel(QStringLiteral("0:00"), this);
    labTime = new QLabel(QStringLiteral("0:00"), this);
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setRange(0, TrackSteps);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setTickInterval(4);
    // A position indicator only: the person does not move it.
    TrackBar->setAttribute(Qt::WA_TransparentForMouseEvents);
    TrackBar->setFocusPolicy(Qt::NoFocus);
    btnRecord = new QPushButton(QStringLiteral("Record"), this);
    btnStop = new QPushButton(QStringLiteral("Stop"), this);
    btnPlay = new QPushButton(QStringLiteral("Play"), this);
    btnPause = new QPushButton(QStringLiteral("Pause"), this);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(labStatus, 0, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Total Length:"), this), 1, 0);
    grid->addWidget(labTotalLength, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Time:"), this), 1, 2);
    grid->addWidget(labTime, 1, 3);
    grid->addWidget(TrackBar, 2, 0, 1, 4);
    auto *transport = new QHBoxLayout;
    for (QPushButton *b : {btnRecord, btnStop, btnPlay, btnPause})
        transport->addWidget(b);
    grid->addLayout(transport, 3, 0, 1, 4);
    auto *closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(btnOK);
    closing->addWidget(btnCancel);
    grid->addLayout(closing, 4, 0, 1, 4);

    connect(btnRecord, &QPushButton::clicked, this, &TfrmVoiceRecorder::RecordClick);
    connect(btnStop, &QPushButton::clicked, this, &TfrmVoiceRecorder::StopClick);
    connect(btnPlay, &QPushButton::clicked, this, &TfrmVoiceRecorder::PlayClick);
    connect(btnPause, &QPushButton::clicked, this, &TfrmVoiceRecorder::PauseClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmVoiceRecorder::OKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    tmrPosition = new QTimer(this);
    tmrPosition->setInterval(250);
    connect(tmrPosition, &QTimer::timeout, this, &TfrmVoiceRecorder::PositionTimerTimer);
    // A recording whose input broke off is said so at once; the window goes to Stopped, and
    // OK then refuses to store what it holds.
    connect(m_player, &TMediaPlayer::OnNotify, this, [this] {
        if (m_player->NotifyValue() == nvFailure && Recording) {
            tmrPosition->stop();
            setState(State::Stopped);
            showDeviceError();
        }
    });

    // The empty recording, from the program's resources.
    const QString empty = EmptyVoiceFile();
    QFile::remove(empty);
    if (!QFile::copy(QStringLiteral(":/vellumark/empty_voice.wav"), empty)) {
        m_ui.showMessage(
            vkMessage("MediaSaveFailed").arg(empty, QStringLiteral("the work directory cannot be written")),
            UiServices::Icon::Error);
    } else {
        QFile::setPermissions(empty, QFile::ReadOwner | QFile::WriteOwner);
        m_player->setFileName(empty);
        m_opened = openElement();
    }
    setState(State::Idle);
    if (!m_opened)
        btnRecord->setEnabled(false);
}

TfrmVoiceRecorder::~TfrmVoiceRecorder()
{
    tmrPosition->stop();
    if (m_player->DeviceID() != 0) {
        try {
            m_player->Close();
        } catch (const EMCIDeviceError &) {
        }
    }
    QFile::remove(EmptyVoiceFile());
}

bool TfrmVoiceRecorder::openElement()
{
    try {
        m_player->Open();
        return true;
    } catch (const EMCIDeviceError &e) {
        m_ui.showMessage(e.text(), UiServices::Icon::Error);
        return false;
    }
}

void TfrmVoiceRecorder::showDeviceError()
{
    const QString text = m_player->ErrorMessage();
    m_ui.showMessage(text.isEmpty() ? vkMessage("MediaRecordFailed").arg(QString()) : text,
                     UiServices::Icon::Error);
}

void TfrmVoiceRecorder::setButtons(bool record, bool stop, bool play, bool pause, bool save, bool cancel)
{
    btnRecord->setEnabled(record && m_opened);
    btnStop->setEnabled(stop);
    btnPlay->setEnabled(play);
    btnPause->setEnabled(pause);
    btnOK->setEnabled(save);
    btnCancel->setEnabled(cancel);
}

void TfrmVoiceRecorder::setState(State state)
{
    switch (state) {
    case State::Idle:
        setButtons(true, false, false, false, false, true);
        labStatus->setText(QStringLiteral("Idle"));
        TrackBar->setValue(0);
        break;
    case State::Busy:
        setButtons(false, true, false, true, false, false);
        break;
    case State::Stopped:
        setButtons(true, false, true, false, true, true);
        labStatus->setText(QStringLiteral("Stop"));
        break;
    }
}

void TfrmVoiceRecorder::RecordClick()
{
    setState(State::Busy);
    labStatus->setText(QStringLiteral("Recording..."));
    // Every new recording starts from the empty file.
    try {
        if (m_player->DeviceID() != 0)
            m_player->Close();
    } catch (const EMCIDeviceError &) {
    }
    if (!(m_opened = openElement())) {
        setState(State::Idle);
        return;
    }
    Recording = true;
    tmrPosition->start();
    m_player->StartRecording();
    if (m_player->Error() != MediaOk) {
        // No input to record from (or one that refused): said, and nothing recorded.
        tmrPosition->stop();
        Recording = false;
        setState(State::Idle);
        showDeviceError();
    }
}

void TfrmVoiceRecorder::StopClick()
{
    setState(State::Stopped);
    try {
        m_player->Stop();
        m_player->Rewind();
    } catch (const EMCIDeviceError &) {
    }
    PositionTimerTimer();
    tmrPosition->stop();
    Recording = false;
}

void TfrmVoiceRecorder::PlayClick()
{
    setState(State::Busy);
    labStatus->setText(QStringLiteral("Playing..."));
    tmrPosition->start();
    Recording = false;
    try {
        m_player->Rewind();
        m_player->Play();
    } catch (const EMCIDeviceError &) {
    }
}

void TfrmVoiceRecorder::PauseClick()
{
    const int mode = m_player->DeviceID() != 0 ? m_player->Mode() : mpNotReady;
    try {
        if (mode == mpPaused || mode == mpStopped) {
            setState(State::Busy);
            tmrPosition->start();
            if (Recording) {
                labStatus->setText(QStringLiteral("Recording..."));
                m_player->Resume();
            } else {
                labStatus->setText(QStringLiteral("Playing..."));
                m_player->Resume();
            }
            return;
        }
        setButtons(false, true, false, true, !Recording, !Recording);
        labStatus->setText(QStringLiteral("Pause"));
        // A recording holds where it is and goes on later; a play pauses.
        m_player->Pause();
    } catch (const EMCIDeviceError &) {
    }
    PositionTimerTimer();
    tmrPosition->stop();
}

void TfrmVoiceRecorder::PositionTimerTimer()
{
    if (m_player->DeviceID() == 0)
        return;
    labTotalLength->setText(timeText(MediaTime(*m_player, 0)));
    labTime->setText(timeText(MediaTime(*m_player, 1)));
    const qint64 position = m_player->Position();
    const qint64 length = m_player->Length();
    if (Recording) {
        TrackBar->setValue(int(std::min<qint64>(position * TrackSteps / RecordingBarMs, TrackSteps)));
        return;
    }
    TrackBar->setValue(length > 0 ? int(position * TrackSteps / length) : 0);
    // Played to its end: stopped.
    if (tmrPosition->isActive() && position >= length && m_player->Mode() != mpPlaying) {
        setState(State::Stopped);
        tmrPosition->stop();
    }
}

void TfrmVoiceRecorder::OKClick()
{
    const QString file = RecordingFile();
    QFile::remove(file);
    m_player->setFileName(file);
    try {
        m_player->Save();
    } catch (const EMCIDeviceError &) {
    }
    if (m_player->Error() != MediaOk) {
        QFile::remove(file);
        showDeviceError();
        return;
    }
    accept();
}

} // namespace vk
