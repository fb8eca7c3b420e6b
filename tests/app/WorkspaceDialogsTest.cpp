// The workspace dialogs and what the frame does with them: the folder dialogs' validation, the
// display options' arithmetic and checks, the preferences applied only on OK, the zoom's range,
// the desktop wallpaper asked of the desktop portal, the frame background taking only
// pictures, and the open windows coming back at the next start.
#include "AT_ZoomDlg.h"
#include "Childwin.h"
#include "ClientArea.h"
#include "CommandContext.h"
#include "DbFolder.h"
#include "DesktopWallpaper.h"
#include "Display.h"
#include "LibraryDrag.h"
#include "Main.h"
#include "MediaTypes.h"
#include "NewFold.h"
#include "OpenFold.h"
#include "OptionStore.h"
#include "PrefDlg.h"
#include "RecordStatements.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDBusArgument>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

using namespace vk;

namespace {

TEST(NewFolderDialog, TheDateMustBeADayOfTheCalendar)
{
    struct Case
    {
        const char *text;
        bool ok;
        bool empty;
    };
    const Case cases[] = {
        {"2026-02-28", true, false},  {"2024-02-29", true, false},
        {"2026-02-29", false, false}, {"2026-13-01", false, false},
        {"2026-00-10", false, false}, {"2026-05-", false, false},
        {"--", true, true},           {"", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        DateValue d = 0;
        EXPECT_EQ(TNewFolder::parseDate(QString::fromLatin1(c.text), &d), c.ok);
        if (c.ok) {
            EXPECT_EQ(d < 0, c.empty);
        }
    }
}

TEST(NewFolderDialog, OkNeedsATitleAndASoundDate)
{
    RecordingUi ui;
    TNewFolder dialog(ui, nullptr, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "New Folder");
    EXPECT_FALSE(dialog.OK->isEnabled());
    EXPECT_EQ(dialog.txtDate->inputMask(), "0000-00-99;_");
    EXPECT_EQ(dialog.txtTitle->maxLength(), 127);
    dialog.txtTitle->setText("Trips");
    EXPECT_TRUE(dialog.OK->isEnabled());
    EXPECT_FALSE(dialog.dateChanged() || dialog.authorChanged() || dialog.descriptionChanged());

    // A date typed that is no day is refused and the dialog stays.
    dialog.txtDate->selectAll();
    QTest::keyClicks(dialog.txtDate, "20261340");
    EXPECT_TRUE(dialog.dateChanged());
    dialog.accept();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(ui.messages, QStringList{"The date must be a day of the calendar, as year-month-day."});

    dialog.txtDate->selectAll();
    QTest::keyClicks(dialog.txtDate, "20260131");
    dialog.accept();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    EXPECT_EQ(dialog.date(), textToDate("2026-01-31"));

    // Clear asks first and keeps the text on No.
    dialog.meoDescription->setPlainText("notes");
    ui.answer = false;
    dialog.Clear();
    EXPECT_EQ(dialog.description(), "notes");
    ui.answer = true;
    dialog.Clear();
    EXPECT_TRUE(dialog.description().isEmpty());
}

TEST(NewFolderDialog, InsertTextRefusesWhatIsNoTextFile)
{
    RecordingUi ui;
    TNewFolder dialog(ui, nullptr, nullptr);
    dialog.meoDescription->setPlainText("kept");
    dialog.InsertText("/nonexistent/notes.txt");
    EXPECT_EQ(dialog.description(), "kept");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].startsWith("The file /nonexistent/notes.txt cannot be read"));

    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    ASSERT_TRUE(dialog.Export(path));
    dialog.meoDescription->clear();
    dialog.InsertText(path);
    EXPECT_EQ(dialog.description(), "kept");
}

TEST(DisplayOptionsDialog, SizesAndPlacesFollowTheScreen)
{
    const QSize screen(1400, 1000), panel(140, 100), working(700, 250), picture(350, 500);
    using D = TOptionDisplay;
    EXPECT_EQ(D::editSize(D::HalfScreen, screen, working, picture), QSize(1000, 714));
    EXPECT_EQ(D::editSize(D::QuarterScreen, screen, working, picture), QSize(700, 500));
    EXPECT_EQ(D::editSize(D::SixteenthScreen, screen, working, picture), QSize(350, 250));
    EXPECT_EQ(D::editSize(D::CustomSize, screen, working, picture), working);
    EXPECT_EQ(D::editSize(D::ActualSize, screen, working, picture), picture);
    EXPECT_EQ(D::previewSize(D::HalfScreen, panel, screen, working, picture), QSize(100, 71));
    EXPECT_EQ(D::previewSize(D::CustomSize, panel, screen, working, picture), QSize(70, 25));
    EXPECT_EQ(D::previewSize(D::ActualSize, panel, screen, working, picture), QSize(35, 50));
    const QSize small(40, 20);
    const QPoint places[] = {{0, 0}, {0, 80}, {100, 0}, {100, 80}, {50, 40}};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(D::previewPosition(i, panel, small), places[i]) << i;
}

TEST(DisplayOptionsDialog, ASideIsANumberInsideTheScreen)
{
    struct Case
    {
        const char *text;
        bool width;
        const char *message; // empty: accepted
    };
    const Case cases[] = {
        {"", true, "Unable to input empty width value!"},
        {"", false, "Unable to input empty height value!!"},
        {"12a", true, "Invalid data! Please insert number."},
        {"0", true, "Display width exceeds maximum viewable area!"},
        {"1025", true, "Display width exceeds maximum viewable area!"},
        {"769", false, "Display height exceeds maximum viewable area!"},
        {"1024", true, ""},
        {"1", false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        int v = -1;
        EXPECT_EQ(TOptionDisplay::checkSide(c.text, c.width ? 1024 : 768, c.width, &v), QString(c.message));
        if (!*c.message) {
            EXPECT_EQ(v, QString(c.text).toInt());
        }
    }
}

TEST(DisplayOptionsDialog, OkStoresTheChoiceAndCancelNothing)
{
    RecordingUi ui;
    DisplayOptions o;
    o.CustomDisplayWidth = 300;
    o.CustomDisplayHeight = 200;
    {
        TOptionDisplay dialog(o, ui, QSize(1024, 768));
        dialog.sizeButton(TOptionDisplay::QuarterScreen)->click();
        dialog.positionButton(2)->click();
        dialog.reject();
    }
    EXPECT_EQ(o.SizeOptionChecked, 0);
    EXPECT_EQ(o.CustomDisplayWidth, 300);
    {
        TOptionDisplay dialog(o, ui, QSize(1024, 768));
        dialog.sizeButton(TOptionDisplay::CustomSize)->click();
        EXPECT_TRUE(dialog.WidthEdit->isEnabled());
        EXPECT_EQ(dialog.WidthEdit->text(), "300");
        // A custom size beyond the screen is refused and nothing is stored.
        dialog.WidthEdit->setText("5000");
        dialog.accept();
        EXPECT_EQ(dialog.result(), 0);
        EXPECT_EQ(ui.messages.value(0), "Display width exceeds maximum viewable area!");
        dialog.WidthEdit->setText("640");
        dialog.HeightEdit->setText("480");
        dialog.positionButton(1)->click();
        dialog.accept();
        EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    }
    EXPECT_EQ(o.SizeOptionChecked, TOptionDisplay::CustomSize);
    EXPECT_EQ(QSize(o.CustomDisplayWidth, o.CustomDisplayHeight), QSize(640, 480));
    EXPECT_EQ(o.PosOptionChecked, 1);
}

TEST(PreferencesDialog, TheSizeChoiceOfATile)
{
    struct Case
    {
        int width, height, choice;
    };
    for (const Case &c : {Case{80, 100, 0}, Case{100, 120, 1}, Case{90, 120, 5}, Case{77, 120, 5},
                          Case{120, 140, 2}, Case{75, 60, 3}, Case{120, 94, 4}, Case{80, 101, -1}})
        EXPECT_EQ(TPreference::sizeChoiceOf(c.width, c.height), c.choice) << c.width << "x" << c.height;
}

TEST(PreferencesDialog, ChangesAreCountedAndOnlyReadAfterwards)
{
    PreferenceValues in;
    in.tileWidth = 90;
    in.tileHeight = 120;
    in.wallPaperChecked = 1;
    {
        TPreference dialog(in);
        EXPECT_EQ(dialog.sizeChoice(), 5);
        EXPECT_FALSE(dialog.desktopStyleBox->isEnabled()) << "the desktop has no wallpaper of ours";
        EXPECT_FALSE(dialog.changed());
        // The external media mark alone is a change the frame applies.
        dialog.ckbShowExtMark->click();
        EXPECT_TRUE(dialog.changed());
        EXPECT_FALSE(dialog.wallpaperChanged());
        EXPECT_TRUE(dialog.values().showExternalMark);
    }
    {
        TPreference dialog(in);
        dialog.WallPaperRadioGroup->button(0)->click();
        EXPECT_FALSE(dialog.frameStyleBox->isEnabled());
        EXPECT_TRUE(dialog.wallpaperChanged());
        EXPECT_EQ(dialog.values().wallPaperChecked, 0);
        dialog.SizeGroup->button(2)->click();
        EXPECT_EQ(QSize(dialog.values().tileWidth, dialog.values().tileHeight), QSize(120, 140));
        EXPECT_EQ(dialog.sampleTile->size(), QSize(120, 140));
        dialog.BorderGroup->button(4)->click();
        EXPECT_EQ(dialog.values().tileBorder, 5);
    }
}

// The frame over a temporary library, with a recording portal.
class OptionsFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        auto roots = std::make_unique<TDbFolderList>(src.connection);
        ASSERT_TRUE(roots->Load(80, 100, 3));
        frame = std::make_unique<TMainForm>();
        frame->setUiServices(&src.ui);
        frame->startup().workspaceMode = ModeWorkspace;
        frame->startup().rootFolders = std::move(roots);
        frame->AttachRootFolders();
        frame->setDesktopWallpaper(std::make_unique<DesktopWallpaper>([this](const QDBusMessage &call) {
            calls.append(call);
            return portalAnswer ? portalAnswer(call) : call.createReply(QVariantList{QVariant()});
        }));
    }
    void TearDown() override { frame.reset(); }

    TDbMedia *addFile(TDbFolder *folder, const QString &name, const QByteArray &bytes)
    {
        int mode = 1;
        return frame->startup().rootFolders->InsertMediaFile(folder, src.writeFile(name, bytes), mode);
    }
    TDbMedia *addPicture(TDbFolder *folder, const QString &name, QColor colour)
    {
        QImage picture(30, 20, QImage::Format_RGB32);
        picture.fill(colour);
        const QString path = src.dir() + "/" + name;
        picture.save(path);
        int mode = 1;
        return frame->startup().rootFolders->InsertMediaFile(folder, path, mode);
    }

    TempDataSource src;
    std::unique_ptr<TMainForm> frame;
    QList<QDBusMessage> calls;
    std::function<QDBusMessage(const QDBusMessage &)> portalAnswer;
};

TEST_F(OptionsFixture, TheDesktopWallpaperIsAskedOfThePortal)
{
    TDbFolder *f = frame->startup().rootFolders->AddRootFolder("pictures", 80, 3, 100);
    TDbMedia *picture = addPicture(f, "sea.png", Qt::blue);
    ASSERT_TRUE(picture);
    ASSERT_TRUE(frame->SetWallpaperFromMedia(picture, true));
    ASSERT_EQ(calls.size(), 1);
    const QDBusMessage &call = calls[0];
    EXPECT_EQ(call.service(), "org.freedesktop.portal.Desktop");
    EXPECT_EQ(call.path(), "/org/freedesktop/portal/desktop");
    EXPECT_EQ(call.interface(), "org.freedesktop.portal.Wallpaper");
    EXPECT_EQ(call.member(), "SetWallpaperURI");
    ASSERT_EQ(call.arguments().size(), 3);
    EXPECT_EQ(call.arguments()[1].toString(),
              QUrl::fromLocalFile(TMainForm::desktopWallpaperPath()).toString());
    EXPECT_EQ(call.arguments()[2].toMap().value("set-on").toString(), "background");
    QImage written(TMainForm::desktopWallpaperPath());
    EXPECT_EQ(written.size(), QSize(30, 20));
    EXPECT_EQ(QSettings().value("Control Panel/Desktop/WallPaper").toString(),
              TMainForm::desktopWallpaperPath());
    EXPECT_TRUE(src.ui.messages.isEmpty());

    // A desktop without the portal, and a portal that refuses, are told apart.
    struct Case
    {
        const char *error;
        const char *message;
    };
    const Case cases[] = {
        {"org.freedesktop.DBus.Error.ServiceUnknown", "This desktop offers no way"},
        {"org.freedesktop.DBus.Error.UnknownMethod", "This desktop offers no way"},
        {"org.freedesktop.portal.Error.Failed", "The desktop did not set the wallpaper: not today"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error);
        src.ui.messages.clear();
        portalAnswer = [&c](const QDBusMessage &m) { return m.createErrorReply(c.error, "not today"); };
        EXPECT_FALSE(frame->SetWallpaperFromMedia(picture, true));
        ASSERT_EQ(src.ui.messages.size(), 1);
        EXPECT_TRUE(src.ui.messages[0].startsWith(c.message)) << src.ui.messages[0].toStdString();
    }
}

TEST_F(OptionsFixture, AFolderWindowOffersItsPicturesAsWallpaper)
{
    TDbFolder *f = frame->startup().rootFolders->AddRootFolder("mixed", 80, 3, 100);
    TDbMedia *sound = addFile(f, "bell.wav", "RIFF");
    TDbMedia *picture = addPicture(f, "blue.png", Qt::blue);
    frame->startup().checks.options.WallPaperChecked = 1;
    frame->LoadBackground();
    TFolder *window = frame->OpenFolderWindow(f);
    ASSERT_TRUE(window);
    window->selectItem(sound);
    window->UpdateMenuItems();
    EXPECT_FALSE(window->action("muiDisplayAsDesktopWallpaper")->isEnabled());
    EXPECT_FALSE(window->action("muiDisplayAsVellumarkWallpaper")->isEnabled());
    window->selectItem(picture);
    window->UpdateMenuItems();
    ASSERT_TRUE(window->action("muiDisplayAsDesktopWallpaper")->isEnabled());
    window->action("muiDisplayAsDesktopWallpaper")->trigger();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].member(), "SetWallpaperURI");
    window->action("muiDisplayAsVellumarkWallpaper")->trigger();
    EXPECT_EQ(frame->startup().checks.options.WallPaperChecked, 2);
    EXPECT_EQ(frame->clientArea()->backImage().toImage().pixelColor(1, 1), QColor(Qt::blue));
}

TEST_F(OptionsFixture, OnlyAPictureBecomesTheBackground)
{
    TDbFolder *f = frame->startup().rootFolders->AddRootFolder("mixed", 80, 3, 100);
    TDbMedia *sound = addFile(f, "bell.wav", "RIFF");
    TDbMedia *picture = addPicture(f, "red.png", Qt::red);
    ASSERT_TRUE(sound && picture);
    DisplayOptions &o = frame->startup().checks.options;
    o.WallPaperChecked = 1;
    frame->LoadBackground();

    // Dragged from a folder window: the sound is refused before the drop, the picture taken.
    std::unique_ptr<QMimeData> drag(LibraryDrag::begin(LibraryDrag::WindowSelection, f, {sound}, nullptr));
    EXPECT_FALSE(frame->clientArea()->acceptsDrop());
    EXPECT_FALSE(frame->SetWallpaperFromMedia(sound, false));
    EXPECT_EQ(o.WallPaperChecked, 1) << "a refused sound changes nothing";
    drag.reset(LibraryDrag::begin(LibraryDrag::WindowSelection, f, {picture}, nullptr));
    EXPECT_TRUE(frame->clientArea()->acceptsDrop());
    frame->clientArea()->dropped();
    LibraryDrag::end();
    EXPECT_EQ(o.WallPaperChecked, 2);
    EXPECT_EQ(frame->clientArea()->backImage().toImage().pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(QImage(TMainForm::customWallpaperPath()).size(), QSize(30, 20));

    // A folder, and two pictures at once, are not a background.
    drag.reset(LibraryDrag::begin(LibraryDrag::RootFolder, f, {}, nullptr));
    EXPECT_FALSE(frame->clientArea()->acceptsDrop());
    drag.reset(LibraryDrag::begin(LibraryDrag::WindowSelection, f, {picture, picture}, nullptr));
    EXPECT_FALSE(frame->clientArea()->acceptsDrop());
    LibraryDrag::end();
}

TEST_F(OptionsFixture, AWallpaperFileThatIsNoPictureKeepsTheOldOne)
{
    QFile::remove(TMainForm::customWallpaperPath());
    const QString good = src.dir() + "/good.png";
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    picture.save(good);
    ASSERT_TRUE(frame->SetFrameWallpaperFile(good));
    const QByteArray before = [] {
        QFile f(TMainForm::customWallpaperPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());

    const QString corrupt = src.writeFile("broken.png", "\x89PNG not really");
    const QString wrongType = src.writeFile("notes.txt", "text");
    EXPECT_FALSE(frame->SetFrameWallpaperFile(wrongType));
    EXPECT_FALSE(frame->SetFrameWallpaperFile(corrupt));
    ASSERT_EQ(src.ui.messages.size(), 2);
    EXPECT_EQ(src.ui.messages[0], "This format is invalid for wallpaper!");
    EXPECT_TRUE(src.ui.messages[1].startsWith("The picture"));
    QFile f(TMainForm::customWallpaperPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(ZoomDialog, TheZoomIsANumberFrom10To1000)
{
    struct Case
    {
        const char *text;
        const char *message;
    };
    const Case cases[] = {
        {"10", ""},
        {"1000", ""},
        {"9", "The zoom is a number from 10 to 1000."},
        {"1001", "The zoom is a number from 10 to 1000."},
        {"-50", "The zoom is a number from 10 to 1000."},
        {"abc", "Invalid data! Please insert number."},
        {"", "Invalid data! Please insert number."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        int z = -1;
        EXPECT_EQ(TZoomForm::checkZoom(c.text, &z), QString(c.message));
        if (!*c.message) {
            EXPECT_EQ(z, QString(c.text).toInt());
        }
    }
    EXPECT_EQ(TZoomForm::step(10, -1), 10);
    EXPECT_EQ(TZoomForm::step(1000, 1), 1000);
    EXPECT_EQ(TZoomForm::ratioOf(66), 2);
    EXPECT_EQ(TZoomForm::ratioOf(67), -1);

    RecordingUi ui;
    TZoomForm dialog(true, 50, ui);
    EXPECT_EQ(dialog.FitRadioGroup->checkedId(), 3);
    dialog.up->click();
    EXPECT_EQ(dialog.FitEdit->text(), "51");
    EXPECT_EQ(dialog.FitRadioGroup->checkedId(), -1);
    dialog.FitEdit->setText("5");
    dialog.accept();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(ui.messages, QStringList{"The zoom is a number from 10 to 1000."});
    dialog.FitRadioGroup->button(0)->click();
    dialog.accept();
    EXPECT_EQ(dialog.zoom(), 200);
}

TEST_F(OptionsFixture, TheOpenWindowsComeBackAtTheNextStart)
{
    TDbFolderList &roots = *frame->startup().rootFolders;
    TDbFolder *a = roots.AddRootFolder("a", 80, 3, 100);
    TDbFolder *b = roots.AddRootFolder("b", 80, 3, 100);
    TDbFolder *gone = roots.AddRootFolder("gone", 80, 3, 100);
    frame->resize(900, 700);
    frame->show();
    QCoreApplication::processEvents();
    frame->OpenFolderWindow(gone);
    frame->OpenFolderWindow(b);
    frame->OpenFolderWindow(a);
    frame->mdiArea()->activeSubWindow()->setGeometry(40, 30, 300, 200);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("workspace.ini"), QSettings::IniFormat);
    frame->SaveOpenWindows(settings);
    frame->mdiArea()->closeAllSubWindows();
    QCoreApplication::processEvents();
    ASSERT_TRUE(frame->mdiArea()->subWindowList().isEmpty());
    // A folder removed meanwhile (by another program) does not come back.
    ASSERT_TRUE(roots.RemoveRootFolder(gone));
    frame->RestoreOpenWindows(settings);
    QStringList shown;
    for (QMdiSubWindow *sub : frame->mdiArea()->subWindowList(QMdiArea::StackingOrder))
        shown << sub->windowTitle();
    EXPECT_EQ(shown, (QStringList{"b", "a"})) << "in their order, the front one in front";
    EXPECT_EQ(frame->mdiArea()->activeSubWindow()->geometry(), QRect(40, 30, 300, 200));

    // A place stored for a larger screen is brought inside the client area.
    frame->mdiArea()->closeAllSubWindows();
    settings.setValue("OpenWindows/1/Geometry", QRect(3000, 2000, 5000, 400));
    frame->RestoreOpenWindows(settings);
    const QRect client(QPoint(0, 0), frame->mdiArea()->viewport()->size());
    for (QMdiSubWindow *sub : frame->mdiArea()->subWindowList())
        EXPECT_TRUE(client.contains(sub->geometry())) << sub->windowTitle().toStdString();
}

TEST_F(OptionsFixture, SaveAsCopiesAFolderOrASearchResultUnderANewTitle)
{
    TDbFolderList &roots = *frame->startup().rootFolders;
    TDbFolder *trips = roots.AddRootFolder("trips", 80, 3, 100);
    TDbMedia *bell = addFile(trips, "bell.wav", "RIFF");
    addFile(trips, "horn.wav", "RIFF");
    frame->resize(900, 700);
    frame->show();
    TFolder *window = frame->OpenFolderWindow(trips);
    ASSERT_TRUE(window);
    frame->UpdateMenuItems();
    ASSERT_TRUE(frame->action("FolderSaveAsItem")->isEnabled());
    TNewFolder dialog(src.ui, &src.connection, trips);
    EXPECT_EQ(dialog.windowTitle(), "Save as a New Folder");
    EXPECT_EQ(dialog.title(), "trips");
    dialog.txtTitle->setText("trips again");
    ASSERT_TRUE(frame->SaveFolderAs(trips, false, dialog));
    ASSERT_EQ(roots.Folders.size(), 2);
    TDbFolder *copy = roots.Folders.last();
    EXPECT_EQ(copy->Rec.Title, "trips again");
    EXPECT_EQ(copy->MediaList->count(), 2);
    EXPECT_EQ(trips->Rec.Title, "trips") << "the source keeps its title";
    TDbFolderList reread(src.connection);
    ASSERT_TRUE(reread.Load(80, 100, 3));
    ASSERT_TRUE(reread.FindFolderByTitle("trips again"));

    // A search result: its media (the library's own, not the mirrors) go into a new folder.
    auto *result = new TDbFolder;
    result->Rec.Title = "Search result";
    result->MediaList = std::make_unique<TDbMediaList>(80, 100, 3);
    auto *mirror = new TDbMedia;
    mirror->Rec = bell->Rec;
    mirror->MirrorOf = bell;
    mirror->RefCount = 1;
    ++bell->RefCount;
    result->MediaList->Items << mirror;
    ASSERT_TRUE(frame->OpenFolderWindow(result, true));
    frame->UpdateMenuItems();
    ASSERT_TRUE(frame->Context().SearchResultView);
    TNewFolder resultDialog(src.ui, nullptr, result);
    resultDialog.txtTitle->setText("found");
    ASSERT_TRUE(frame->SaveFolderAs(result, true, resultDialog));
    ASSERT_EQ(roots.Folders.size(), 3);
    TDbFolder *found = roots.Folders.last();
    EXPECT_EQ(found->Rec.Title, "found");
    ASSERT_EQ(found->MediaList->count(), 1);
    EXPECT_EQ(found->MediaList->Items[0]->Rec.Title, "bell.wav");
    EXPECT_EQ(found->MediaList->Items[0]->MirrorOf, nullptr);
}

TEST_F(OptionsFixture, TheFolderChooserShowsEveryFolderAndItsDescription)
{
    TDbFolderList &roots = *frame->startup().rootFolders;
    TDbFolder *a = roots.AddRootFolder("a", 80, 3, 100);
    roots.AddSubFolder(a, "inner", 80, 100, 3);
    TDbFolder *b = roots.AddRootFolder("b", 80, 3, 100);
    ASSERT_TRUE(WriteDescription(src.connection, b->Rec.OID, "second folder", RecordKind::Folder));
    TOpenFolder dialog(roots, &src.connection);
    ASSERT_EQ(dialog.FolderTreeView->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.FolderTreeView->topLevelItem(0)->child(0)->text(0), "inner");
    EXPECT_EQ(dialog.selectedFolder(), a);
    EXPECT_TRUE(dialog.OKBtn->isEnabled());
    dialog.FolderTreeView->setCurrentItem(dialog.FolderTreeView->topLevelItem(1));
    EXPECT_EQ(dialog.FolderDescription->toPlainText(), "second folder");

    TDbFolderList none(src.connection);
    TOpenFolder empty(none, nullptr);
    EXPECT_FALSE(empty.OKBtn->isEnabled());
}

} // namespace
