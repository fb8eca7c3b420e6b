// The voice recorder on the program's own media device, recording from a private PulseAudio
// daemon's null source: what is recorded plays back with its length and OK saves it. A binary
// of its own, so that the sound server is there before the media framework first looks.
#include "PulseAudioServer.h"
#include "VoiceRecorder.h"

#include "RecordingUi.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace vk;

namespace {

// Runs the events until `done` or the deadline.
template <typename Done> bool waitFor(int ms, Done done)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

TEST(RealRecording, RecordsFromTheNullSourcePlaysItBackAndSavesIt)
{
    fixtures::PulseAudioServer pulse;
    const QString why = pulse.start();
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    qputenv("PULSE_SERVER", pulse.clientEnvironment().value("PULSE_SERVER").toLocal8Bit());
    QTemporaryDir work;
    RecordingUi ui;
    TfrmVoiceRecorder recorder(ui, work.path() + QLatin1Char('/'));
    ASSERT_TRUE(recorder.opened()) << ui.messages.join('\n').toStdString();
    recorder.show();
    recorder.RecordClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join('\n').toStdString();
    ASSERT_TRUE(waitFor(10000, [&] { return recorder.player().Position() >= 1500; }));
    recorder.StopClick();
    EXPECT_EQ(recorder.labStatus->text(), "Stop");
    const qint64 length = recorder.player().Length();
    EXPECT_GE(length, 1500);
    EXPECT_LE(length, 4000);
    EXPECT_EQ(recorder.labTotalLength->text(), MediaTimeText(MediaTime(recorder.player(), 0)));
    recorder.OKClick();
    ASSERT_TRUE(ui.messages.isEmpty()) << ui.messages.join('\n').toStdString();
    EXPECT_EQ(recorder.result(), QDialog::Accepted);
    EXPECT_GT(QFileInfo(recorder.RecordingFile()).size(), 44 + 44100 * 2);
}

} // namespace
