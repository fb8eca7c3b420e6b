// The media slide show on a virtual clock: pictures scaled to the screen and brought on frame by
// frame, the show's end rules in both change options, items passed over, sound played to its
// end, and the option dialog putting everything back on Cancel.
#include "SlideShow.h"
#include "DbFolder.h"
#include "MPlayer.h"
#include "MediaTypes.h"
#include "RecordingUi.h"
#include "ScriptedMediaDevice.h"
#include "SlideOption.h"
#include "TransitionView.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vk;
using fixtures::ScriptedMediaDevice;

namespace {

QImage pattern(QSize size, int shade)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + shade) % 256, (y * 5 + shade) % 256, shade));
    return image;
}

TEST(TransitionView, BringsThePictureOnOverItsFrames)
{
    VirtualClock clock;
    TTransitionView view(nullptr, &clock);
    view.resize(64, 48);
    view.clear();
    const QImage picture = pattern(QSize(64, 48), 90);
    int finished = 0;
    QObject::connect(&view, &TTransitionView::finished, [&] { ++finished; });
    view.play(1, picture, 5);
    ASSERT_EQ(view.frameCount(), TTransitionView::FramesFor(5));
    EXPECT_EQ(view.frameCount(), 60); // a second at the usual speed
    clock.advanceBy(TTransitionView::FrameInterval * 30);
    EXPECT_TRUE(view.isPlaying());
    EXPECT_NE(view.canvas(), picture);
    clock.advanceBy(TTransitionView::FrameInterval * 30);
    EXPECT_FALSE(view.isPlaying());
    EXPECT_EQ(view.canvas(), picture);
    EXPECT_EQ(finished, 1);

    // No effect is one copy: one frame.
    view.clear();
    view.play(0, picture, 5);
    EXPECT_EQ(view.frameCount(), 1);
    EXPECT_EQ(TTransitionView::FramesFor(1), 300);
    EXPECT_EQ(TTransitionView::FramesFor(10), 30);
}

TEST(SlideShowScaling, LargerPicturesShrinkToTheScreen)
{
    const struct
    {
        QSize picture, screen, shown;
    } cases[] = {
        {{2000, 1000}, {1000, 800}, {1000, 500}}, {{500, 300}, {1000, 800}, {500, 300}},
        {{1000, 2000}, {1000, 800}, {400, 800}},  {{3000, 3000}, {1000, 800}, {800, 800}},
        {{1000, 800}, {1000, 800}, {1000, 800}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TSlideForm::FitToScreen(c.picture, c.screen), c.shown)
            << c.picture.width() << "x" << c.picture.height();
}

class SlideShowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tableBefore = mediaDeviceTable();
        installMediaDeviceTable(MediaDeviceTable::build({}, true));
        setMediaDeviceFactory([this] {
            auto d = std::make_unique<ScriptedMediaDevice>();
            d->scriptLength = 2000;
            lastDevice = d.get();
            return d;
        });
    }
    void TearDown() override
    {
        show.reset();
        for (TDbMedia *m : items)
            delete m;
        setMediaDeviceFactory({});
        installMediaDeviceTable(tableBefore);
    }

    TDbMedia *add(const QString &name, int type, const QByteArray &bytes = QByteArray())
    {
        auto *m = new TDbMedia;
        m->Rec.OID = QStringLiteral("%1").arg(items.size() + 1, 18, 10, QLatin1Char('0'));
        m->Rec.Title = name;
        m->Rec.MediaType = type;
        m->Rec.MediaFile = dir.filePath(name);
        if (!bytes.isNull()) {
            QFile f(m->Rec.MediaFile);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
        items << m;
        return m;
    }
    TDbMedia *addPicture(const QString &name, QSize size, int shade = 40)
    {
        TDbMedia *m = add(name, TypePng);
        pattern(size, shade).save(m->Rec.MediaFile, "PNG");
        return m;
    }
    void open()
    {
        show = std::make_unique<TSlideForm>([this] { return items; }, settings, &ui, &clock, &random);
        show->setScreenSize(QSize(1000, 800));
        show->show();
        show->start();
    }
    // From showing a picture to the end of its effect.
    void runEffect()
    {
        while (!show->isClosed() && (show->effectTimer().isEnabled() || show->PaintBox->isPlaying()))
            ASSERT_TRUE(clock.fireNext(clock.now() + 100000));
    }

    QTemporaryDir dir;
    QList<TDbMedia *> items;
    SlideShowSettings settings;
    RecordingUi ui;
    VirtualClock clock;
    SeededTransitionRandom random{3};
    std::unique_ptr<TSlideForm> show;
    MediaDeviceTable tableBefore;
    ScriptedMediaDevice *lastDevice = nullptr;
};

TEST_F(SlideShowTest, PictureIsCentredScaledAndEndsAsThePicture)
{
    addPicture("wide.png", QSize(2000, 1000));
    settings.Effect = 18;
    open();
    EXPECT_EQ(show->PaintBox->geometry(), QRect(0, 150, 1000, 500));
    clock.advanceBy(100 + TTransitionView::FrameInterval * 20);
    ASSERT_TRUE(show->PaintBox->isPlaying());
    const QImage shown =
        pattern(QSize(2000, 1000), 40).scaled(1000, 500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_NE(show->PaintBox->canvas(), shown);
    runEffect();
    EXPECT_FALSE(show->PaintBox->isPlaying());
    EXPECT_EQ(show->PaintBox->canvas(), shown);
    EXPECT_EQ(show->lastEffect(), 18);
    EXPECT_TRUE(show->labTitle->isVisibleTo(show.get()));
    EXPECT_EQ(show->labTitle->text(), "wide.png");
    EXPECT_EQ(show->labTitle->y(), 800 - 40);

    // A small picture keeps its size.
    show.reset();
    items.clear();
    addPicture("small.png", QSize(300, 200));
    open();
    EXPECT_EQ(show->PaintBox->geometry(), QRect(350, 300, 300, 200));

    // A photograph is decoded at about its size on the screen, and shown at exactly that size.
    show.reset();
    items.clear();
    TDbMedia *photo = add("photo.jpg", TypeJpg);
    ASSERT_TRUE(pattern(QSize(4000, 3000), 70).save(photo->Rec.MediaFile, "JPG"));
    open();
    EXPECT_EQ(show->PaintBox->geometry(), QRect(0, 25, 1000, 750));
    runEffect();
    EXPECT_EQ(show->PaintBox->canvas().size(), QSize(1000, 750));
}

TEST_F(SlideShowTest, AutomaticWithoutRepeatClosesAfterTheLastInterval)
{
    addPicture("a.png", QSize(100, 80), 10);
    addPicture("b.png", QSize(100, 80), 200);
    open();
    runEffect();
    clock.advanceBy(3000);
    EXPECT_EQ(show->ShowIndex, 1);
    runEffect();
    clock.advanceBy(2900);
    EXPECT_FALSE(show->isClosed());
    clock.advanceBy(100);
    EXPECT_TRUE(show->isClosed());
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(show->ShowCount, 2);
}

TEST_F(SlideShowTest, AutomaticWithRepeatGoesRoundAgain)
{
    addPicture("a.png", QSize(100, 80));
    addPicture("b.png", QSize(100, 80));
    settings.RepeatPlay = true;
    settings.IntervalSeconds = 1;
    open();
    for (int i = 0; i < 5; ++i) {
        runEffect();
        clock.advanceBy(1000);
    }
    EXPECT_FALSE(show->isClosed());
    EXPECT_EQ(show->ShowCount, 6);
    EXPECT_EQ(show->ShowIndex, 1);
}

TEST_F(SlideShowTest, UserClickMovesOnlyAtKeysAndClicks)
{
    addPicture("a.png", QSize(100, 80));
    addPicture("b.png", QSize(100, 80));
    addPicture("c.png", QSize(100, 80));
    settings.ChangeOption = SlideShowSettings::UserClick;
    open();
    EXPECT_TRUE(show->pmiBackward->isVisible());
    clock.advanceBy(60000);
    EXPECT_EQ(show->ShowIndex, 0);
    QTest::keyClick(show.get(), Qt::Key_Up); // not before the first
    EXPECT_EQ(show->ShowIndex, 0);
    QTest::keyClick(show.get(), Qt::Key_Space);
    EXPECT_EQ(show->ShowIndex, 1);
    QTest::keyClick(show.get(), Qt::Key_Shift); // a modifier alone is no key
    EXPECT_EQ(show->ShowIndex, 1);
    QTest::mouseClick(show.get(), Qt::LeftButton);
    EXPECT_EQ(show->ShowIndex, 2);
    QTest::keyClick(show.get(), Qt::Key_Up);
    EXPECT_EQ(show->ShowIndex, 1);
    show->NextClick();
    clock.advanceBy(60000);
    EXPECT_EQ(show->ShowIndex, 2);
    QTest::keyClick(show.get(), Qt::Key_Right); // after the last
    EXPECT_TRUE(show->isClosed());
}

TEST_F(SlideShowTest, AutomaticIgnoresKeysButEscape)
{
    addPicture("a.png", QSize(100, 80));
    addPicture("b.png", QSize(100, 80));
    open();
    EXPECT_FALSE(show->pmiBackward->isVisible());
    QTest::keyClick(show.get(), Qt::Key_Space);
    QTest::mouseClick(show.get(), Qt::LeftButton);
    EXPECT_EQ(show->ShowIndex, 0);
    QTest::keyClick(show.get(), Qt::Key_Escape);
    EXPECT_TRUE(show->isClosed());
}

TEST_F(SlideShowTest, ItemsThatCannotShowArePassedOver)
{
    add("gone.png", TypePng); // missing: passed over without a word
    add("broken.png", TypePng, QByteArray("not a picture"));
    add("notes.txt", TypeText, QByteArray("text"));
    addPicture("fine.png", QSize(50, 50));
    open();
    EXPECT_EQ(show->ShowIndex, 3);
    EXPECT_EQ(ui.messages, QStringList{"Media open failed!"});
    EXPECT_FALSE(show->isClosed());
}

TEST_F(SlideShowTest, ShowWithNothingToShowEndsAfterOneRound)
{
    const struct
    {
        bool repeat;
        int change;
    } cases[] = {{true, SlideShowSettings::Automatic},
                 {true, SlideShowSettings::UserClick},
                 {false, SlideShowSettings::Automatic}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "repeat " << c.repeat << " change " << c.change);
        show.reset();
        qDeleteAll(items);
        items.clear();
        ui.messages.clear();
        add("gone.png", TypePng);
        add("notes.txt", TypeText, QByteArray("text"));
        add("gone.wav", TypeWav);
        settings.RepeatPlay = c.repeat;
        settings.ChangeOption = c.change;
        open();
        EXPECT_TRUE(show->isClosed());
        EXPECT_EQ(ui.messages,
                  QStringList{"None of the media in this slide show could be shown, so the show ends."});
    }
}

TEST_F(SlideShowTest, EmptyListSaysNoMediaSelected)
{
    open();
    EXPECT_TRUE(show->isClosed());
    EXPECT_EQ(ui.messages, QStringList{"No media selected!"});
}

TEST_F(SlideShowTest, SoundPlaysToItsEndBeforeTheInterval)
{
    add("tune.wav", TypeWav, QByteArray("RIFF"));
    addPicture("after.png", QSize(40, 40));
    open();
    ASSERT_NE(lastDevice, nullptr);
    EXPECT_TRUE(lastDevice->log.contains(QStringLiteral("play -1 -1")));
    clock.advanceBy(100);
    EXPECT_TRUE(show->PaintBox->isVisibleTo(show.get()));
    EXPECT_EQ(show->PaintBox->size(), QSize(150, 200));
    clock.advanceBy(10000); // the show waits for the sound, not the clock
    EXPECT_EQ(show->ShowIndex, 0);
    lastDevice->advance(2000);
    lastDevice->deliver();
    QCoreApplication::processEvents(); // the completion comes through the event loop
    clock.advanceBy(3000);
    EXPECT_EQ(show->ShowIndex, 1);
}

TEST_F(SlideShowTest, SoundThatCannotOpenSaysSo)
{
    add("tune.wav", TypeWav, QByteArray("RIFF"));
    addPicture("after.png", QSize(40, 40));
    setMediaDeviceFactory([] {
        auto d = std::make_unique<ScriptedMediaDevice>();
        d->openResult = 263;
        d->openText = QStringLiteral("The specified device is not open or is not recognized by MCI.");
        return d;
    });
    open();
    EXPECT_EQ(ui.messages, QStringList{"Media open failed!"});
    EXPECT_EQ(show->ShowIndex, 1);
}

TEST_F(SlideShowTest, VideoPlaysCentredAndScaledToTheScreen)
{
    const struct
    {
        QSize natural;
        QRect panel;
    } cases[] = {{{320, 240}, {340, 280, 320, 240}}, {{2000, 1000}, {0, 150, 1000, 500}}};
    for (const auto &c : cases) {
        show.reset();
        qDeleteAll(items);
        items.clear();
        setMediaDeviceFactory([this, natural = c.natural] {
            auto d = std::make_unique<ScriptedMediaDevice>();
            d->video = true;
            d->natural = natural;
            d->scriptLength = 1000;
            lastDevice = d.get();
            return d;
        });
        add("clip.avi", TypeAvi, QByteArray("RIFF"));
        addPicture("after.png", QSize(40, 40));
        open();
        EXPECT_EQ(show->DisplayPanel->geometry(), c.panel);
        EXPECT_TRUE(show->DisplayPanel->isVisibleTo(show.get()));
        EXPECT_EQ(lastDevice->displays.value(0), show->DisplayPanel);
        lastDevice->advance(1000);
        lastDevice->deliver();
        QCoreApplication::processEvents();
        clock.advanceBy(3000);
        EXPECT_EQ(show->ShowIndex, 1);
        EXPECT_FALSE(show->DisplayPanel->isVisibleTo(show.get()));
    }
}

TEST(SlideOption, CancelPutsEverySettingBack)
{
    VirtualClock clock;
    SlideShowSettings settings;
    settings.Effect = 22;
    settings.Speed = 7;
    settings.IntervalSeconds = 6;
    settings.ChangeOption = SlideShowSettings::UserClick;
    settings.RepeatPlay = true;
    const SlideShowSettings before = settings;
    {
        TSlideOpForm form(settings, nullptr, &clock);
        EXPECT_EQ(form.windowTitle(), "Slide Option");
        EXPECT_EQ(form.labCurrentEffect->text(), "Double Diagonal TL-BR");
        EXPECT_EQ(form.tbSpeed->value(), 7);
        EXPECT_EQ(form.cbInterval->currentText(), "6");
        EXPECT_FALSE(form.cbInterval->isEnabled()); // only for Automatic
        EXPECT_TRUE(form.rdbUserClick->isChecked());

        form.effectButton(35)->click();
        EXPECT_EQ(settings.Effect, 35);
        EXPECT_EQ(form.labCurrentEffect->text(), "Random Block");
        EXPECT_TRUE(form.Preview->isPlaying());
        clock.advanceBy(10000);
        EXPECT_FALSE(form.Preview->isPlaying());
        form.tbSpeed->setValue(2);
        form.rdbAutomatic->setChecked(true);
        EXPECT_TRUE(form.cbInterval->isEnabled());
        form.cbInterval->setCurrentIndex(0);
        form.ckbRandom->setChecked(true);
        form.rdbSelected->setChecked(true);
        form.ckbRepeatPlay->setChecked(false);
        form.ckbDisplayTitle->setChecked(false);
        EXPECT_EQ(settings.Speed, 2);
        EXPECT_EQ(settings.IntervalSeconds, 1);
        EXPECT_EQ(settings.DisplaySet, SlideShowSettings::DisplaySelected);
        EXPECT_TRUE(settings.RandomEffect);
        form.btnCancel->click();
    }
    EXPECT_EQ(settings, before);

    {
        TSlideOpForm form(settings, nullptr, &clock);
        form.effectButton(40)->click();
        form.ckbDisplayTitle->setChecked(false);
        form.btnOK->click();
    }
    EXPECT_EQ(settings.Effect, 40);
    EXPECT_FALSE(settings.DisplayTitle);
    EXPECT_EQ(settings.Speed, 7);
}

} // namespace
