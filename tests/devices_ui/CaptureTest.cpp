// The capture windows on a scripted capture device: the setup dialog's checks, the driver
// menu, a clip recorded into a work file of its own, still frames named and stored in a
// folder, and what the windows and the folder window do when there is no device at all.
#include "Capture.h"
#include "CSetup.h"
#include "Childwin.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "ImageCodec.h"
#include "ScriptedCaptureDevice.h"
#include "TempDataSource.h"
#include "Thumb.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

using namespace vk;
using fixtures::ScriptedCaptureDevice;

namespace {

struct SetupCase
{
    const char *frameRate;
    const char *videoBuffer;
    bool limitOn;
    const char *limit;
    bool accepted;
    const char *frameRateAfter; // as the field shows it afterwards
    const char *videoBufferAfter;
};

class CapSetupTest : public ::testing::TestWithParam<SetupCase>
{
};

TEST_P(CapSetupTest, OkClosesOnlyOnGoodFields)
{
    const SetupCase &k = GetParam();
    CaptureParams before;
    before.timeLimit = 30;
    TCapSetup dialog(before);
    dialog.edtFrameRate->setText(QString::fromUtf8(k.frameRate));
    dialog.edtVideoBuffer->setText(QString::fromUtf8(k.videoBuffer));
    dialog.ckbTimeLimit->setChecked(k.limitOn);
    dialog.edtTimeLimit->setText(QString::fromUtf8(k.limit));
    dialog.show();
    dialog.btnOKClick();
    EXPECT_EQ(dialog.result() == QDialog::Accepted, k.accepted);
    EXPECT_EQ(dialog.isVisible(), !k.accepted);
    EXPECT_EQ(dialog.edtFrameRate->text(), QString::fromUtf8(k.frameRateAfter));
    EXPECT_EQ(dialog.edtVideoBuffer->text(), QString::fromUtf8(k.videoBufferAfter));
    if (k.accepted) {
        EXPECT_EQ(dialog.params().microSecPerFrame,
                  MicroSecPerFrameOf(QString::fromUtf8(k.frameRate).toInt()));
        EXPECT_EQ(dialog.params().timeLimitEnabled, k.limitOn);
    } else {
        // Refused: the values stay as they were.
        EXPECT_EQ(dialog.params().microSecPerFrame, before.microSecPerFrame);
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, CapSetupTest,
                         ::testing::Values(SetupCase{"15", "5", false, "30", true, "15", "5"},
                                           SetupCase{"1", "5", false, "", true, "1", "5"},
                                           SetupCase{"100", "5", true, "3600", true, "100", "5"},
                                           SetupCase{"0", "5", false, "30", false, "0", "5"},
                                           SetupCase{"101", "5", false, "30", false, "101", "5"},
                                           SetupCase{"fast", "5", false, "30", false, "0", "5"},
                                           SetupCase{"15", "many", false, "30", false, "15", "0"},
                                           SetupCase{"15", "5", true, "3601", false, "15", "5"},
                                           SetupCase{"15", "5", true, "0", false, "15", "5"},
                                           SetupCase{"15", "5", true, "ten", false, "15", "5"},
                                           // A limit that is off is not checked.
                                           SetupCase{"15", "5", false, "3601", true, "15", "5"}));

TEST(CapSetup, ShowsTheFrameRateOfTheFrameTimeAndTheLimitOnlyWhenOn)
{
    EXPECT_EQ(FrameRateOf(66667), 15);
    EXPECT_EQ(FrameRateOf(33333), 30);
    EXPECT_EQ(MicroSecPerFrameOf(15), 66667);
    EXPECT_EQ(MicroSecPerFrameOf(30), 33333);
    CaptureParams p;
    p.microSecPerFrame = 40000;
    p.timeLimitEnabled = false;
    TCapSetup dialog(p);
    EXPECT_EQ(dialog.edtFrameRate->text(), "25");
    EXPECT_FALSE(dialog.edtTimeLimit->isEnabled());
    dialog.ckbTimeLimit->setChecked(true);
    EXPECT_TRUE(dialog.edtTimeLimit->isEnabled());
    EXPECT_TRUE(dialog.labSeconds->isEnabled());
}

std::unique_ptr<ScriptedCaptureDevice> camera(int drivers = 1)
{
    auto d = std::make_unique<ScriptedCaptureDevice>();
    for (int i = 0; i < drivers; ++i)
        d->installed.append({i, QStringLiteral("Camera %1").arg(i)});
    return d;
}

class CaptureWindowTest : public ::testing::Test
{
protected:
    QTemporaryDir work;
    RecordingUi ui;
    QString workDir() const { return work.path() + QLatin1Char('/'); }
};

TEST_F(CaptureWindowTest, WithoutADeviceOnlyCancelIsLeft)
{
    TCaptureVideo clip(ui, workDir(), camera(0));
    EXPECT_EQ(clip.DriverIndex(), NoCaptureDriver);
    EXPECT_FALSE(clip.hasDevice());
    for (QPushButton *b : {clip.btnRecord, clip.btnStop, clip.btnSave})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(clip.btnCancel->isEnabled());
    EXPECT_TRUE(clip.driverItems().isEmpty());

    TThumbShoot stills(ui, workDir(), 0, nullptr, camera(0));
    EXPECT_EQ(stills.DriverIndex(), NoCaptureDriver);
    EXPECT_FALSE(stills.btnShoot->isEnabled());
    stills.ShootClick();
    EXPECT_EQ(stills.imgFrame->text(), "(None)");
}

TEST_F(CaptureWindowTest, ConnectsTheFirstDriverThatAcceptsAndFollowsTheMenu)
{
    auto device = camera(3);
    device->refused = {0};
    ScriptedCaptureDevice *d = device.get();
    TCaptureVideo clip(ui, workDir(), std::move(device));
    EXPECT_EQ(clip.DriverIndex(), 1);
    ASSERT_EQ(clip.driverItems().size(), 3);
    EXPECT_EQ(clip.driverItems()[0]->text(), "0. Camera 0");
    EXPECT_FALSE(clip.driverItems()[0]->isChecked());
    EXPECT_TRUE(clip.driverItems()[1]->isChecked());
    EXPECT_TRUE(d->preview());

    clip.driverItems()[2]->trigger();
    EXPECT_EQ(clip.DriverIndex(), 2);
    EXPECT_TRUE(clip.driverItems()[2]->isChecked());
    EXPECT_FALSE(clip.driverItems()[1]->isChecked());
    // A driver that refuses leaves the previous one connected again.
    d->log.clear();
    clip.DriverClick(0);
    EXPECT_EQ(clip.DriverIndex(), 2);
    EXPECT_TRUE(clip.driverItems()[2]->isChecked());
    EXPECT_EQ(d->log, (QStringList{"connect 0", "connect 2"}));
}

TEST_F(CaptureWindowTest, PreviewShowsTheDevicesPictures)
{
    auto device = camera(2);
    ScriptedCaptureDevice *d = device.get();
    TCaptureVideo clip(ui, workDir(), std::move(device));
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(QColor(0x34, 0x65, 0xa4));
    emit d->previewFrame(picture);
    EXPECT_EQ(clip.captureWindow()->frame(), picture);
    EXPECT_EQ(clip.captureWindow()->objectName(), "Capture Window");
    // Turned off in the menu, no more pictures come.
    clip.action("Preview")->setChecked(false);
    EXPECT_FALSE(d->preview());
    // VK_SCREENSHOT_DIR keeps a picture of the window, for a person to look at.
    const QString shots = qEnvironmentVariable("VK_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        clip.show();
        clip.popupMenu()->popup(clip.mapToGlobal(QPoint(100, 100)));
        QCoreApplication::processEvents();
        clip.grab().save(shots + "/capture-window.png");
        clip.popupMenu()->grab().save(shots + "/capture-menu.png");
        TThumbShoot stills(ui, workDir(), 0, nullptr, camera(1));
        stills.show();
        emit stills.device().previewFrame(picture);
        stills.ShootClick();
        QCoreApplication::processEvents();
        stills.grab().save(shots + "/capture-image.png");
    }
}

TEST_F(CaptureWindowTest, DialogItemsFollowTheDriversCapabilities)
{
    auto device = camera();
    device->caps.hasVideoFormat = false;
    TCaptureVideo without(ui, workDir(), std::move(device));
    for (const char *name : {"VideoFormat", "VideoSource", "VideoDisplay", "Overlay"})
        EXPECT_FALSE(without.action(QLatin1String(name))->isEnabled()) << name;
    EXPECT_TRUE(without.action("CaptureSetting")->isEnabled());
    EXPECT_TRUE(without.action("Preview")->isChecked());

    auto formats = camera();
    formats->caps.hasVideoFormat = true;
    TThumbShoot with(ui, workDir(), 0, nullptr, std::move(formats));
    EXPECT_TRUE(with.action("VideoFormat")->isEnabled());
    EXPECT_FALSE(with.action("VideoSource")->isEnabled());
}

TEST_F(CaptureWindowTest, WindowFitsTheVideoWithTheButtonsBeside)
{
    auto device = camera();
    device->size = QSize(320, 240);
    TCaptureVideo clip(ui, workDir(), std::move(device));
    EXPECT_EQ(clip.captureWindow()->size(), QSize(320, 240));
    EXPECT_EQ(clip.btnRecord->x(), 320 + 15);
    EXPECT_EQ(clip.width(), 320 + clip.btnCancel->width() + 30);
    EXPECT_GE(clip.height(), 240 + 10);
}

TEST_F(CaptureWindowTest, ClipGoesIntoAUniqueWorkFileAndSaveHandsItOver)
{
    auto device = camera();
    ScriptedCaptureDevice *d = device.get();
    auto clip = std::make_unique<TCaptureVideo>(ui, workDir(), std::move(device));
    // Save before anything was recorded says so and keeps the window.
    clip->show();
    clip->SaveClick();
    EXPECT_EQ(ui.messages, QStringList{"No video clip has been recorded yet."});
    EXPECT_TRUE(clip->isVisible());

    CaptureParams p;
    p.microSecPerFrame = 40000;
    p.timeLimitEnabled = true;
    p.timeLimit = 5;
    d->setSequenceSetup(p);
    clip->RecordClick();
    EXPECT_FALSE(clip->btnRecord->isEnabled());
    EXPECT_EQ(d->log.last(), "record 40000 5");
    d->finishRecording(QString()); // the time limit ended it
    const QString file = clip->CaptureFile();
    EXPECT_EQ(QFileInfo(file).absolutePath(), work.path());
    EXPECT_TRUE(QFileInfo(file).fileName().startsWith("capture"));
    EXPECT_NE(QFileInfo(file).fileName(), "capture.avi");
    EXPECT_TRUE(QFile::exists(file));

    // A second window never takes the first one's file.
    TCaptureVideo other(ui, workDir(), camera());
    other.RecordClick();
    EXPECT_NE(static_cast<ScriptedCaptureDevice &>(other.device()).recordedFile(), file);

    clip->SaveClick();
    EXPECT_EQ(clip->result(), QDialog::Accepted);
    clip.reset();
    // Handed over: the caller imports it and deletes it.
    EXPECT_TRUE(QFile::exists(file));
}

TEST_F(CaptureWindowTest, AClipThatBrokeOffIsSaidAndNotHandedOver)
{
    auto device = camera();
    ScriptedCaptureDevice *d = device.get();
    TCaptureVideo clip(ui, workDir(), std::move(device));
    clip.RecordClick();
    d->finishRecording(QStringLiteral("the device went away"));
    EXPECT_EQ(ui.messages, QStringList{"The video clip could not be recorded: the device went away"});
    EXPECT_TRUE(clip.CaptureFile().isEmpty());
}

// The workspace, as a folder window sees it, on a real library.
class Host : public FolderWindowHost
{
public:
    Host(TempDataSource &src, const QString &work) : m_src(src), m_roots(src.connection), m_work(work)
    {
        m_roots.Load(80, 100, 3);
    }
    TDbFolderList &roots() override { return m_roots; }
    TSelectedList &clipboard() override { return m_clipboard; }
    UiServices &ui() override { return m_src.ui; }
    void runCommand(const QString &) override {}
    void openFolder(TDbFolder *) override {}
    void showProperties(TDbMedia *, TDbFolder *) override {}
    void viewActivated(QWidget *) override {}
    void selectInExplorer(TDbFolder *, TDbMedia *item) override { selected << item; }
    TDbMedia *importPaths(TDbFolder *, const QStringList &) override { return nullptr; }
    bool showExternalMark() const override { return false; }
    QString workDirectory() const override { return m_work; }
    int scanImageType() const override { return scan; }

    int scan = 0;
    QList<TDbMedia *> selected;

private:
    TempDataSource &m_src;
    TDbFolderList m_roots;
    TSelectedList m_clipboard;
    QString m_work;
};

class CaptureIntoFolderTest : public CaptureWindowTest
{
protected:
    void SetUp() override { ASSERT_TRUE(src.created); }
    TempDataSource src;
};

TEST_F(CaptureIntoFolderTest, StillsAreNumberedFromNoughtAndStoredInTheFolder)
{
    Host host(src, workDir());
    TDbFolder *folder = host.roots().AddRootFolder("Stills", 80, 3, 100);
    TFolder window(host, folder, false);
    QStringList written;
    TThumbShoot stills(
        src.ui, workDir(), 0,
        [&](const QString &path) {
            written << path;
            EXPECT_TRUE(QFile::exists(path));
            return window.insertCapturedFile(path) != nullptr;
        },
        camera());
    EXPECT_FALSE(stills.btnSave->isEnabled());
    for (int i = 0; i < 3; ++i) {
        stills.ShootClick();
        EXPECT_TRUE(stills.btnSave->isEnabled());
        stills.SaveClick();
        EXPECT_FALSE(stills.btnSave->isEnabled());
    }
    EXPECT_EQ(written, (QStringList{workDir() + "CapImage0.jpg", workDir() + "CapImage1.jpg",
                                    workDir() + "CapImage2.jpg"}));
    ASSERT_EQ(folder->MediaList->count(), 3);
    for (int i = 0; i < 3; ++i) {
        const TDbMedia *m = folder->MediaList->Items[i];
        EXPECT_EQ(m->Rec.Title, QStringLiteral("CapImage%1.jpg").arg(i));
        EXPECT_EQ(m->Rec.MediaType, 3);
        EXPECT_FALSE(m->External);
        // The work file went; the library keeps its own copy.
        EXPECT_FALSE(QFile::exists(written[i]));
        QImage stored;
        ASSERT_TRUE(loadImage(m->Rec.MediaFile, stored, nullptr));
        EXPECT_EQ(stored.size(), QSize(320, 240));
    }
    EXPECT_EQ(window.lastSelected(), folder->MediaList->Items[2]);
    ASSERT_FALSE(host.selected.isEmpty());
    EXPECT_EQ(host.selected.last(), folder->MediaList->Items[2]);
}

TEST(CaptureNaming, TheScanImageTypeChoosesTheFormat)
{
    const struct
    {
        int type;
        const char *name;
        int format;
    } cases[] = {{0, "/w/CapImage4.jpg", ifJPG}, {1, "/w/CapImage4.bmp", ifBMP},
                 {2, "/w/CapImage4.pcx", ifPCX}, {3, "/w/CapImage4.png", ifPNG},
                 {4, "/w/CapImage4.tga", ifTGA}, {5, "/w/CapImage4.tif", ifTIF},
                 {6, "/w/CapImage4.gif", ifGIF}, {9, "/w/CapImage4.jpg", ifJPG}};
    for (const auto &k : cases) {
        EXPECT_EQ(CaptureImageName("/w/", 4, k.type), QString::fromUtf8(k.name)) << k.type;
        EXPECT_EQ(StillFormatOf(k.type).format, k.format) << k.type;
    }
}

TEST_F(CaptureIntoFolderTest, EachFormatIsWrittenAsItsNameSays)
{
    Host host(src, workDir());
    TDbFolder *folder = host.roots().AddRootFolder("Formats", 80, 3, 100);
    TFolder window(host, folder, false);
    const int types[] = {1, 2, 3, 4, 5, 6};
    const int mediaTypes[] = {1, 4, 5, 6, 7, 8};
    for (int i = 0; i < 6; ++i) {
        TThumbShoot stills(
            src.ui, workDir(), types[i],
            [&](const QString &path) { return window.insertCapturedFile(path) != nullptr; }, camera());
        stills.ShootClick();
        stills.SaveClick();
        ASSERT_EQ(folder->MediaList->count(), i + 1);
        const TDbMedia *m = folder->MediaList->Items[i];
        EXPECT_EQ(m->Rec.MediaType, mediaTypes[i]) << types[i];
        QImage stored;
        EXPECT_TRUE(loadImage(m->Rec.MediaFile, stored, nullptr)) << types[i];
    }
    EXPECT_TRUE(src.ui.messages.isEmpty()) << src.ui.messages.join('\n').toStdString();
}

TEST_F(CaptureIntoFolderTest, FolderWindowSaysWhenThereIsNoCaptureCard)
{
    setCaptureDeviceFactory([] { return camera(0); });
    Host host(src, workDir());
    TDbFolder *folder = host.roots().AddRootFolder("Nothing", 80, 3, 100);
    TFolder window(host, folder, false);
    window.CaptureVideo();
    window.CaptureImage();
    setCaptureDeviceFactory(nullptr);
    EXPECT_EQ(src.ui.messages, (QStringList{"Capture card not found!", "Capture card not found!"}));
    EXPECT_EQ(folder->MediaList->count(), 0);
}

} // namespace
