// The voice recorder on a scripted media device: its button states, every recording starting
// from the empty recording, the track bar, Pause, and OK refusing what the device cannot save.
#include "VoiceRecorder.h"
#include "ScriptedMediaDevice.h"

#include "RecordingUi.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

using namespace vk;
using fixtures::ScriptedMediaDevice;

namespace {

class VoiceRecorderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto device = std::make_unique<ScriptedMediaDevice>();
        device->scriptLength = 600000;
        d = device.get();
        recorder = std::make_unique<TfrmVoiceRecorder>(ui, work.path() + QLatin1Char('/'), std::move(device));
    }
    // Record, Stop, Play, Pause, Save, Cancel, and the status.
    QString state() const
    {
        QString s;
        for (QPushButton *b : {recorder->btnRecord, recorder->btnStop, recorder->btnPlay, recorder->btnPause,
                               recorder->btnOK, recorder->btnCancel})
            s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s + QLatin1Char(' ') + recorder->labStatus->text();
    }

    QTemporaryDir work;
    RecordingUi ui;
    ScriptedMediaDevice *d = nullptr;
    std::unique_ptr<TfrmVoiceRecorder> recorder;
};

TEST_F(VoiceRecorderTest, ButtonsFollowTheStateTable)
{
    EXPECT_EQ(state(), "100001 Idle");
    EXPECT_EQ(recorder->TrackBar->value(), 0);
    EXPECT_EQ(recorder->labTotalLength->text(), "0:00");
    EXPECT_EQ(recorder->labTime->text(), "0:00");
    const struct
    {
        void (TfrmVoiceRecorder::*press)();
        const char *after;
    } steps[] = {
        {&TfrmVoiceRecorder::RecordClick, "010100 Recording..."},
        {&TfrmVoiceRecorder::PauseClick, "010100 Pause"}, // recording: no Save, no Cancel
        {&TfrmVoiceRecorder::PauseClick, "010100 Recording..."},
        {&TfrmVoiceRecorder::StopClick, "101011 Stop"},
        {&TfrmVoiceRecorder::PlayClick, "010100 Playing..."},
        {&TfrmVoiceRecorder::PauseClick, "010111 Pause"}, // playing: Save and Cancel too
        {&TfrmVoiceRecorder::PauseClick, "010100 Playing..."},
        {&TfrmVoiceRecorder::StopClick, "101011 Stop"},
    };
    for (const auto &step : steps) {
        (recorder.get()->*step.press)();
        EXPECT_EQ(state(), QString::fromUtf8(step.after));
    }
}

TEST_F(VoiceRecorderTest, EveryRecordingStartsFromTheEmptyFile)
{
    const QString empty = recorder->EmptyVoiceFile();
    EXPECT_TRUE(QFile::exists(empty));
    EXPECT_EQ(empty, work.path() + "/vk_empty_voice.wav");
    EXPECT_EQ(d->log, QStringList{"open WaveAudio " + empty});
    d->log.clear();
    recorder->RecordClick();
    d->advance(5000);
    recorder->StopClick();
    recorder->RecordClick();
    const QStringList opens = d->log.filter("open ");
    EXPECT_EQ(opens, (QStringList{"open WaveAudio " + empty, "open WaveAudio " + empty}));
    EXPECT_EQ(d->log.filter("close").size(), 2);
    EXPECT_EQ(d->log.last(), "record -1 -1");
    // The second recording is at its start.
    recorder->PositionTimerTimer();
    EXPECT_EQ(recorder->TrackBar->value(), 0);
    recorder.reset();
    EXPECT_FALSE(QFile::exists(empty));
}

TEST_F(VoiceRecorderTest, TwoMinutesOfRecordingFillTheBar)
{
    recorder->RecordClick();
    EXPECT_TRUE(recorder->tmrPosition->isActive());
    EXPECT_EQ(recorder->tmrPosition->interval(), 250);
    d->advance(60000);
    recorder->PositionTimerTimer();
    EXPECT_EQ(recorder->TrackBar->value(), 20);
    EXPECT_EQ(recorder->labTime->text(), "0:01:00");
    d->advance(100000);
    recorder->PositionTimerTimer();
    EXPECT_EQ(recorder->TrackBar->value(), 40);
}

TEST_F(VoiceRecorderTest, PauseWhileRecordingGoesOnWithTheSameRecording)
{
    recorder->RecordClick();
    d->advance(3000);
    d->log.clear();
    recorder->PauseClick();
    EXPECT_FALSE(recorder->tmrPosition->isActive());
    d->advance(3000); // paused: nothing is recorded
    recorder->PauseClick();
    EXPECT_TRUE(recorder->tmrPosition->isActive());
    EXPECT_TRUE(recorder->Recording);
    EXPECT_EQ(d->log, (QStringList{"pause", "resume"}));
    d->advance(2000);
    EXPECT_EQ(d->position(), 5000);
}

TEST_F(VoiceRecorderTest, PlaybackToTheEndStops)
{
    d->scriptLength = 8000;
    recorder->RecordClick();
    d->advance(8000);
    recorder->StopClick();
    recorder->PlayClick();
    d->advance(4000);
    recorder->PositionTimerTimer();
    EXPECT_EQ(recorder->TrackBar->value(), 20);
    d->advance(4000);
    recorder->PositionTimerTimer();
    EXPECT_EQ(state(), "101011 Stop");
    EXPECT_FALSE(recorder->tmrPosition->isActive());
}

TEST_F(VoiceRecorderTest, OkSavesTheRecordingOrRefusesWithTheDevicesMessage)
{
    recorder->show();
    recorder->RecordClick();
    d->advance(2000);
    recorder->StopClick();
    d->saveResult = MediaRecordFailed;
    d->saveText = QStringLiteral("Recording failed: the sound input failed");
    recorder->OKClick();
    EXPECT_EQ(ui.messages, QStringList{"Recording failed: the sound input failed"});
    EXPECT_TRUE(recorder->isVisible());
    EXPECT_EQ(state(), "101011 Stop");

    d->saveResult = MediaOk;
    recorder->OKClick();
    EXPECT_EQ(d->log.last(), "save " + work.path() + "/vkvoice.wav");
    EXPECT_EQ(recorder->result(), QDialog::Accepted);
}

TEST_F(VoiceRecorderTest, ARecordingThatCannotStartIsSaid)
{
    auto device = std::make_unique<ScriptedMediaDevice>();
    device->openResult = MediaNoAudioInput;
    device->openText = QStringLiteral("There is no sound input to record from.");
    TfrmVoiceRecorder broken(ui, work.path() + QLatin1Char('/'), std::move(device));
    EXPECT_FALSE(broken.opened());
    EXPECT_EQ(ui.messages, QStringList{"There is no sound input to record from."});
    EXPECT_FALSE(broken.btnRecord->isEnabled());
    EXPECT_TRUE(broken.btnCancel->isEnabled());
}

} // namespace
