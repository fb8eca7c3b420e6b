// The media player control: the device type each media type opens as, the refusals (no sound
// output, a closed device, a failed open), AutoRewind, Notify and Wait for one command, the
// completions, the buttons and MediaTime, on a scripted device; then real WAV, MIDI, MP3, AVI and
// MPEG files played to their end through Qt Multimedia.
#include "MPlayer.h"
#include "MediaFixtures.h"
#include "QtMediaDevice.h"
#include "ScriptedMediaDevice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>

using namespace vk;
using fixtures::ScriptedMediaDevice;

namespace {

// A device table for one test; the one in use before comes back afterwards.
class TableInUse
{
public:
    explicit TableInUse(const MediaDeviceTable &table) : m_before(mediaDeviceTable())
    {
        installMediaDeviceTable(table);
    }
    ~TableInUse() { installMediaDeviceTable(m_before); }

private:
    MediaDeviceTable m_before;
};

// A player on a scripted device, with every completion it tells of.
struct Scripted
{
    Scripted()
    {
        auto owned = std::make_unique<ScriptedMediaDevice>();
        device = owned.get();
        player = std::make_unique<TMediaPlayer>(nullptr, std::move(owned));
        QObject::connect(player.get(), &TMediaPlayer::OnNotify,
                         [this] { notified << player->NotifyValue(); });
    }
    void open(const QString &file = QStringLiteral("/clips/sea.wav"))
    {
        player->setFileName(file);
        player->Open();
        device->log.clear();
    }
    // The clock moves on, and the event loop delivers what the device and the player posted.
    void run(qint64 ms)
    {
        device->advance(ms);
        device->deliver();
        QCoreApplication::processEvents();
    }

    ScriptedMediaDevice *device;
    std::unique_ptr<TMediaPlayer> player;
    QList<int> notified;
};

TEST(MediaPlayer, EachMediaTypeOpensAsItsDeviceTypeWithTheDevicesPresent)
{
    struct Case
    {
        int mediaType;
        QStringList system;
        const char *opened;
    };
    const QStringList both{"MPEGVIDEO", "ACTIVEMOVIE"};
    const Case cases[] = {
        {101, {}, "WaveAudio"},
        {102, {}, "Sequencer"},
        {103, {}, "Sequencer"},
        {104, {}, "-"},
        {100, {}, "-"},
        {200, {}, "-"},
        {201, {}, "AVIVideo"},
        {202, both, "MpegVideo"},
        {202, {"mpegvideo"}, "MpegVideo"},
        {202, {"ACTIVEMOVIE"}, "ActiveMovie"},
        {202, {}, "-"},
    };
    for (const Case &c : cases) {
        TableInUse table(MediaDeviceTable::build(c.system, true));
        Scripted s;
        QString error;
        ASSERT_TRUE(OpenMediaFile("/clips/x", c.mediaType, *s.player, &error)) << error.toStdString();
        EXPECT_EQ(s.device->log.value(0), QStringLiteral("open %1 /clips/x").arg(QLatin1String(c.opened)))
            << c.mediaType << " " << c.system.join(',').toStdString();
        EXPECT_NE(s.player->DeviceID(), 0);
    }
}

TEST(MediaPlayer, WithoutASoundOutputNothingIsOpenedAndTheDeviceIsNotAsked)
{
    TableInUse table(MediaDeviceTable::build({"MPEGVIDEO"}, false));
    for (int type : {101, 104, 201, 202}) {
        Scripted s;
        QString error;
        EXPECT_FALSE(OpenMediaFile("/clips/x", type, *s.player, &error));
        EXPECT_FALSE(OpenMpegAudio("/clips/x", *s.player, &error));
        EXPECT_TRUE(s.device->log.isEmpty()) << s.device->log.join('|').toStdString();
        EXPECT_EQ(error, "There is no sound output to play on.");
        EXPECT_EQ(s.player->DeviceID(), 0);
    }
}

TEST(MediaPlayer, AFailedOpenRaisesTheDevicesOwnText)
{
    struct Case
    {
        QString text, expected;
    };
    for (const Case &c : {Case{"The file cannot be played: damaged.", "The file cannot be played: damaged."},
                          Case{"", "Unknown error code"}}) {
        Scripted s;
        s.device->openResult = 277;
        s.device->openText = c.text;
        s.player->setFileName("/clips/bad.wav");
        try {
            s.player->Open();
            ADD_FAILURE() << "no error raised";
        } catch (const EMCIDeviceError &e) {
            EXPECT_EQ(e.text(), c.expected);
        }
        EXPECT_EQ(s.player->DeviceID(), 0);
        EXPECT_EQ(s.player->Error(), 277);
        // The callers' way: false, with the text for their own message.
        QString error;
        EXPECT_FALSE(OpenMediaFile("/clips/bad.wav", 101, *s.player, &error));
        EXPECT_EQ(error, c.expected);
    }
}

TEST(MediaPlayer, CommandsOnAClosedDeviceRaiseButStatusAnswers)
{
    Scripted s;
    const std::function<void(TMediaPlayer &)> commands[] = {
        &TMediaPlayer::Play,   &TMediaPlayer::Pause,
        &TMediaPlayer::Resume, &TMediaPlayer::Stop,
        &TMediaPlayer::Next,   &TMediaPlayer::Previous,
        &TMediaPlayer::Step,   &TMediaPlayer::Back,
        &TMediaPlayer::Close,  &TMediaPlayer::StartRecording,
        &TMediaPlayer::Save,   &TMediaPlayer::Eject,
        &TMediaPlayer::Rewind, [](TMediaPlayer &p) { p.setPosition(10); },
    };
    s.open();
    s.player->Close();
    for (const auto &command : commands) {
        try {
            command(*s.player);
            ADD_FAILURE() << "no error raised";
        } catch (const EMCIDeviceError &e) {
            EXPECT_EQ(e.text(), "No MCI device open");
        }
    }
    EXPECT_EQ(s.device->log, QStringList{"close"});
    EXPECT_EQ(s.player->Mode(), mpNotReady);
    EXPECT_EQ(s.player->Position(), 0);
    EXPECT_EQ(s.player->Length(), 0);
    EXPECT_EQ(s.player->TimeFormat(), tfMilliseconds);
}

TEST(MediaPlayer, PlayAtTheEndStartsAgainWithAutoRewind)
{
    for (bool autoRewind : {true, false}) {
        Scripted s;
        s.player->AutoRewind = autoRewind;
        s.open();
        s.player->Play();
        s.run(10000);
        ASSERT_EQ(s.player->Position(), s.player->Length());
        s.device->log.clear();
        s.player->Play();
        const QStringList expected =
            autoRewind ? QStringList{"seek 0", "play -1 -1"} : QStringList{"play -1 -1"};
        EXPECT_EQ(s.device->log, expected) << autoRewind;
    }
    // A start or end position given for the play is played as given.
    Scripted s;
    s.open();
    s.player->Play();
    s.run(10000);
    s.device->log.clear();
    s.player->setStartPos(2000);
    s.player->Play();
    s.player->Play(); // the positions were for one play only
    EXPECT_EQ(s.device->log, (QStringList{"play 2000 -1", "play -1 -1"}));
}

TEST(MediaPlayer, NotifyAndWaitApplyToTheNextCommandOnly)
{
    Scripted s;
    s.open();
    // Play tells when it ends, and does not wait.
    s.player->Play();
    EXPECT_EQ(s.player->Mode(), mpPlaying);
    s.run(4000);
    EXPECT_EQ(s.player->Position(), 4000);
    EXPECT_TRUE(s.notified.isEmpty());
    s.run(6000);
    EXPECT_EQ(s.notified, QList<int>{nvSuccessful});

    // Told not to, it does not; the play after is told again.
    s.notified.clear();
    s.player->setNotify(false);
    s.player->Play();
    s.run(10000);
    EXPECT_TRUE(s.notified.isEmpty());
    s.player->Play();
    s.run(10000);
    EXPECT_EQ(s.notified, QList<int>{nvSuccessful});

    // Told to wait, it returns once played; the play after does not wait.
    s.notified.clear();
    s.device->log.clear();
    s.player->setWait(true);
    s.player->Play();
    EXPECT_EQ(s.device->log, (QStringList{"seek 0", "play -1 -1", "wait"}));
    EXPECT_EQ(s.player->Mode(), mpStopped);
    s.run(0);
    EXPECT_EQ(s.notified, QList<int>{nvSuccessful});
    s.device->log.clear();
    s.player->Play();
    EXPECT_EQ(s.device->log, (QStringList{"seek 0", "play -1 -1"}));

    // Other commands tell only when asked to.
    s.notified.clear();
    s.player->Pause();
    s.run(0);
    EXPECT_TRUE(s.notified.isEmpty());
    s.player->setNotify(true);
    s.player->Stop();
    s.run(0);
    // The stop broke the play off: its completion is aborted; the stop's own is successful.
    EXPECT_EQ(s.notified, (QList<int>{nvAborted, nvSuccessful}));
}

TEST(MediaPlayer, CompletionsAreSupersededAbortedOrFailed)
{
    struct Case
    {
        const char *name;
        std::function<void(Scripted &)> after;
        QList<int> told;
    };
    const Case cases[] = {
        {"play to the end", [](Scripted &s) { s.run(10000); }, {nvSuccessful}},
        {"stopped", [](Scripted &s) { s.player->Stop(); }, {nvAborted}},
        {"moved", [](Scripted &s) { s.player->setPosition(500); }, {nvAborted}},
        {"closed", [](Scripted &s) { s.player->Close(); }, {nvAborted}},
        {"played again", [](Scripted &s) { s.player->Play(); }, {nvAborted}},
        {"paused and resumed",
         [](Scripted &s) {
             s.player->Pause();
             s.player->Resume();
             s.run(10000);
         },
         {nvSuperseded, nvSuccessful}},
        {"broken off", [](Scripted &s) { s.device->breakOff(MediaCannotPlay); }, {nvFailure}},
    };
    for (const Case &c : cases) {
        Scripted s;
        s.open();
        s.player->Play();
        s.run(1000);
        c.after(s);
        s.run(0);
        EXPECT_EQ(s.notified, c.told) << c.name;
    }
}

TEST(MediaPlayer, ButtonsFollowTheModeAndRunTheirCommands)
{
    Scripted s;
    s.player->resize(240, 30);
    EXPECT_EQ(s.player->EnabledButtons(), 0); // closed
    s.open();
    EXPECT_EQ(s.player->EnabledButtons(),
              buttonBit(btPlay) | buttonBit(btRecord) | buttonBit(btNext) | buttonBit(btPrev));
    auto press = [&](TMPBtnType b) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(s.player->buttonRect(b).center()),
                          QPointF(s.player->buttonRect(b).center()), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(s.player.get(), &event);
    };
    QList<TMPBtnType> posted;
    bool cancel = false;
    QObject::connect(s.player.get(), &TMediaPlayer::OnClick,
                     [&](TMPBtnType, bool &doDefault) { doDefault = !cancel; });
    QObject::connect(s.player.get(), &TMediaPlayer::OnPostClick, [&](TMPBtnType b) { posted << b; });
    press(btPlay);
    EXPECT_EQ(s.device->log, QStringList{"play -1 -1"});
    EXPECT_EQ(s.player->EnabledButtons(),
              buttonBit(btPause) | buttonBit(btStop) | buttonBit(btNext) | buttonBit(btPrev));
    press(btPlay); // disabled while playing
    cancel = true;
    press(btStop); // cancelled by OnClick
    EXPECT_EQ(s.device->log, QStringList{"play -1 -1"});
    cancel = false;
    // The keyboard: the arrows move among the buttons, Space presses.
    s.player->setFocus();
    for (int key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Space}) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(s.player.get(), &event);
    }
    EXPECT_EQ(s.device->log, (QStringList{"play -1 -1", "stop"}));
    EXPECT_EQ(posted, (QList<TMPBtnType>{btPlay, btStop, btStop}));
    // The end re-enables Play.
    s.player->Play();
    s.run(10000);
    EXPECT_TRUE(s.player->EnabledButtons() & buttonBit(btPlay));
    // Hidden buttons take no room.
    s.player->setVisibleButtons(buttonBit(btPlay) | buttonBit(btPause) | buttonBit(btStop));
    EXPECT_EQ(s.player->buttonRect(btStop), QRect(160, 0, 80, 30));
    EXPECT_TRUE(s.player->buttonRect(btNext).isEmpty());
}

TEST(MediaPlayer, AVideoShowsInItsDisplayAndStepsByATenth)
{
    Scripted s;
    s.device->video = true;
    QWidget display;
    s.player->setDisplay(&display);
    s.open("/clips/clip.avi");
    EXPECT_EQ(s.device->displays, QList<QWidget *>{&display});
    EXPECT_EQ(s.player->stepSize(), 1000);
    EXPECT_TRUE(s.player->EnabledButtons() & buttonBit(btStep));
    s.player->Step();
    s.player->Step();
    s.player->Back();
    EXPECT_EQ(s.device->log, (QStringList{"step 1000", "step 1000", "step -1000"}));
    EXPECT_EQ(s.player->Position(), 1000);
}

TEST(MediaPlayer, MediaTimeIsHoursMinutesAndSecondsOfMilliseconds)
{
    Scripted s;
    s.device->scriptLength = 125400;
    s.open();
    EXPECT_EQ(MediaTimeText(MediaTime(*s.player, 0)), "0:02:05");
    s.player->Play();
    s.run(61999);
    EXPECT_EQ(MediaTimeText(MediaTime(*s.player, 1)), "0:01:01");
    // A device in another format is asked in milliseconds and put back.
    s.player->setTimeFormat(tfFrames);
    s.device->log.clear();
    EXPECT_EQ(MediaTimeText(MediaTime(*s.player, 0)), "0:02:05");
    EXPECT_EQ(s.device->log, (QStringList{"time format 0", "time format 3"}));
    // One that keeps its own format gives no time.
    s.device->keptFormat = tfFrames;
    EXPECT_EQ(MediaTimeText(MediaTime(*s.player, 0)), "0:00:00");
    s.device->keptFormat = -1;
    s.device->scriptLength = 3 * 3600 * 1000 + 7 * 60 * 1000 + 9999;
    EXPECT_EQ(MediaTimeText(MediaTime(*s.player, 0)), "3:07:09");
}

// ---------------------------------------------------------------------------------------------
// Real files through Qt Multimedia

// Runs the event loop until `done`, for at most `timeoutMs` of real time.
bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

bool near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) < 40 && qAbs(qGreen(a) - b.green()) < 40 && qAbs(qBlue(a) - b.blue()) < 40;
}

TEST(MediaPlayerFiles, RealFilesPlayToTheirEnd)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int mediaType;
        qint64 length;
        double rate; // an MP3 whose length shows only while it plays keeps its own pace
        QColor picture;
    };
    const Case cases[] = {
        {"tone.wav", fixtures::wavTone(2000), 101, 2000, 4, QColor()},
        {"tune.mid", fixtures::midiTune(4), 102, 2000, 4, QColor()},
        {"quiet.mp3", fixtures::mp3Silence(800), 104, 800, 1, QColor()},
        {"clip.avi", fixtures::mjpegAvi(64, 48, QList<QColor>(20, Qt::blue)), 201, 2000, 4, Qt::blue},
        {"clip.mpg", fixtures::mpeg1Video(64, 48, QList<QColor>(50, Qt::red)), 202, 2000, 4, Qt::red},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile f(dir.filePath(QString::fromLatin1(c.name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        auto owned = std::make_unique<QtMediaDevice>();
        QtMediaDevice *device = owned.get();
        device->setRate(c.rate);
        TMediaPlayer player(nullptr, std::move(owned));
        QWidget display;
        display.resize(200, 200);
        player.setDisplay(&display);
        QString error;
        ASSERT_TRUE(OpenMediaFile(f.fileName(), c.mediaType, player, &error)) << error.toStdString();
        EXPECT_EQ(player.capabilities().hasVideo, c.picture.isValid());
        int told = 0;
        QObject::connect(&player, &TMediaPlayer::OnNotify, [&] { ++told; });
        player.Play();
        EXPECT_EQ(player.Mode(), mpPlaying);
        // The position moves while it plays.
        EXPECT_TRUE(runUntil([&] { return player.Position() > 0 || told; }, 5000));
        ASSERT_TRUE(runUntil([&] { return told > 0; }, 10000));
        EXPECT_EQ(player.NotifyValue(), nvSuccessful);
        EXPECT_EQ(player.Mode(), mpStopped);
        EXPECT_NEAR(double(player.Length()), double(c.length), 120);
        EXPECT_EQ(player.Position(), player.Length());
        if (c.picture.isValid()) {
            const QImage frame = device->currentFrame();
            ASSERT_FALSE(frame.isNull());
            EXPECT_EQ(frame.size(), QSize(64, 48));
            EXPECT_TRUE(near(frame.pixel(32, 24), c.picture)) << std::hex << frame.pixel(32, 24);
            EXPECT_EQ(player.DisplayRect(), QRect(0, 0, 64, 48));
        }
        // Played again from the start.
        told = 0;
        player.Play();
        EXPECT_EQ(player.Mode(), mpPlaying);
        player.Stop();
        EXPECT_TRUE(runUntil([&] { return told > 0; }, 2000));
        EXPECT_EQ(player.NotifyValue(), nvAborted);
        player.Close();
    }
}

TEST(MediaPlayerFiles, MissingAndDamagedFilesDoNotOpen)
{
    QTemporaryDir dir;
    QFile damaged(dir.filePath("damaged.avi"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("RIFF\x10\0\0\0AVI nothing here");
    damaged.close();
    for (const QString &path : {dir.filePath("missing.wav"), damaged.fileName()}) {
        TMediaPlayer player(nullptr, std::make_unique<QtMediaDevice>());
        QString error;
        EXPECT_FALSE(OpenMediaFile(path, path.endsWith("wav") ? 101 : 201, player, &error));
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_EQ(player.DeviceID(), 0);
    }
}

} // namespace
