// The property dialog over a real library and a scripted media device: what each subject shows
// (pictures, text, sound, video, the labels' formats, "[Lost]" keywords), the commit rules (the
// columns written for folders and media, another subject committing the one before, a search
// result's tile editing its library item, a failed commit keeping the subject), the date checks,
// the keyword list's drops and deletes, pinning and losing the focus, playing, sizes and places,
// and subjects that leave the library.
#include "ConnectChecks.h"
#include "DbFolder.h"
#include "Engine.h"
#include "FolderWindowHost.h"
#include "ImageWindow.h"
#include "KeyWords.h"
#include "MPlayer.h"
#include "MediaTypes.h"
#include "OptionStore.h"
#include "PptDialog.h"
#include "ScriptedMediaDevice.h"
#include "SearchMedia.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>

using namespace vk;
using fixtures::ScriptedMediaDevice;

namespace {

class Host : public FolderWindowHost
{
public:
    explicit Host(TempDataSource &src) : m_src(src), m_roots(src.connection) { m_roots.Load(80, 100, 3); }
    TDbFolderList &roots() override { return m_roots; }
    TSelectedList &clipboard() override { return m_clipboard; }
    UiServices &ui() override { return m_src.ui; }
    void runCommand(const QString &name) override { commands << name; }
    void openFolder(TDbFolder *) override {}
    void showProperties(TDbMedia *, TDbFolder *) override {}
    void viewActivated(QWidget *) override {}
    void selectInExplorer(TDbFolder *, TDbMedia *) override {}
    TDbMedia *importPaths(TDbFolder *, const QStringList &) override { return nullptr; }
    bool showExternalMark() const override { return true; }
    QString workDirectory() const override { return m_src.dir() + QLatin1Char('/'); }

    QStringList commands;

private:
    TempDataSource &m_src;
    TDbFolderList m_roots;
    TSelectedList m_clipboard;
};

class PropertyDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        ConnectChecks checks;
        ASSERT_TRUE(RunConnectChecks(c(), checks)); // the keywords' table
        tableBefore = mediaDeviceTable();
        installMediaDeviceTable(MediaDeviceTable::build({}, true));
        setMediaDeviceFactory([] { return std::make_unique<ScriptedMediaDevice>(); });
        host = std::make_unique<Host>(src);
        ASSERT_TRUE(keywords.Load(c()));
        folder = roots().AddRootFolder("trip", 80, 3, 100);
        dialog = std::make_unique<TPropertyDialog>(*host, keywords);
        dialog->setDisplayOptions(&options);
    }
    void TearDown() override
    {
        dialog.reset();
        setMediaDeviceFactory({});
        installMediaDeviceTable(tableBefore);
    }
    Connection &c() { return src.connection; }
    TDbFolderList &roots() { return host->roots(); }
    ScriptedMediaDevice &device()
    {
        return static_cast<ScriptedMediaDevice &>(dialog->MediaPlayer()->device());
    }
    template <typename T> T *child(const char *name) { return dialog->findChild<T *>(QLatin1String(name)); }
    QString label(const char *name) { return child<QLabel>(name)->text(); }
    // A person typing into a field: the text and its modified mark.
    void type(const char *name, const QString &text)
    {
        if (auto *line = child<QLineEdit>(name)) {
            line->setText(text);
            line->setModified(true);
        } else {
            auto *memo = child<QPlainTextEdit>(name);
            memo->setPlainText(text);
            memo->document()->setModified(true);
        }
    }
    TDbMedia *import(const QString &name, const QByteArray &bytes, int mode = 0)
    {
        return roots().InsertMediaFile(folder, src.writeFile(name, bytes), mode);
    }
    QStringList row(const QString &text, const QString &oid)
    {
        Statement st(c(), text);
        st.bind(oid);
        st.execute();
        QStringList out;
        st.fetch(out);
        return out;
    }
    QStringList logged(const std::function<void()> &run)
    {
        QStringList texts;
        vkdb::DbSetStatementLog(c().handle(), [&](const vkdb::DbLogEntry &e) {
            if (QString::fromStdString(e.text).startsWith("update"))
                texts << QString::fromStdString(e.text);
        });
        run();
        vkdb::DbSetStatementLog(c().handle(), {});
        return texts;
    }
    void dropKeyword(const QString &oid)
    {
        QWidget *list = child<QListWidget>("lstMediaKeyWords")->viewport();
        QMimeData data;
        data.setData(KeywordMimeType, oid.toUtf8());
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &drop);
    }
    QString png(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = src.dir() + QStringLiteral("/pic%1x%2.png").arg(width).arg(height);
        image.save(path);
        return path;
    }

    TempDataSource src;
    MediaDeviceTable tableBefore;
    std::unique_ptr<Host> host;
    TDbKeyWordList keywords;
    DisplayOptions options;
    TDbFolder *folder = nullptr;
    std::unique_ptr<TPropertyDialog> dialog;
};

TEST_F(PropertyDialogTest, ACommitWritesTheEditedColumnsOfMediaAndFolders)
{
    TDbMedia *item = import("beach.wav", "RIFF");
    ASSERT_TRUE(dialog->ShowMedia(item));
    EXPECT_EQ(dialog->ShownType(), TypeWav);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(logged([&] { EXPECT_TRUE(dialog->CommitEdits()); }).isEmpty()) << "nothing edited";

    type("MediaTitleEdit", "The beach");
    EXPECT_EQ(logged([&] { EXPECT_TRUE(dialog->CommitEdits()); }),
              QStringList{"update MediaData set title=? where OID=?"});
    type("MediaDateEdit", "2019-07-14");
    type("MediaAuthorEdit", "Ann");
    type("MediaDescription", "Sand\nand sea");
    EXPECT_EQ(logged([&] { EXPECT_TRUE(dialog->CommitEdits()); }),
              QStringList{"update MediaData set InsertDate=?, Author=?, description=? where OID=?"});
    EXPECT_EQ(row("select title, InsertDate, Author, description from MediaData where OID=?", item->Rec.OID),
              (QStringList{"The beach", "2019-07-14", "Ann", "Sand\nand sea"}));
    // Written fields are no longer edits.
    EXPECT_TRUE(logged([&] { EXPECT_TRUE(dialog->CommitEdits()); }).isEmpty());

    ASSERT_TRUE(dialog->ShowFolder(folder));
    EXPECT_EQ(dialog->ShownType(), FolderKind);
    EXPECT_EQ(dialog->SubjectMedia(), nullptr);
    QTabWidget *pages = child<QTabWidget>("PageControl");
    EXPECT_EQ(pages->currentWidget()->objectName(), "Folder");
    for (const char *page : {"Media", "Description", "tbsKeyWords"})
        EXPECT_FALSE(pages->isTabVisible(pages->indexOf(child<QWidget>(page)))) << page;
    type("FolderTitleEdit", "Trip 2019");
    type("FolderDateEdit", "2019-07-01");
    type("FolderAuthorEdit", "Bob");
    type("FolderMemo", "All of it");
    EXPECT_EQ(logged([&] { EXPECT_TRUE(dialog->CommitEdits()); }),
              QStringList{"update Folder set Title=?, InsertDate=?, Author=?, Description=? where OID=?"});
    EXPECT_EQ(row("select Title, InsertDate, Author, Description from Folder where OID=?", folder->Rec.OID),
              (QStringList{"Trip 2019", "2019-07-01", "Bob", "All of it"}));

    // Shown again, the fields come from the rows.
    ASSERT_TRUE(dialog->ShowMedia(item));
    EXPECT_EQ(child<QLineEdit>("MediaTitleEdit")->text(), "The beach");
    EXPECT_EQ(child<QLineEdit>("MediaDateEdit")->text(), "2019-07-14");
    EXPECT_EQ(child<QPlainTextEdit>("MediaDescription")->toPlainText(), "Sand\nand sea");
    EXPECT_EQ(pages->currentWidget()->objectName(), "Media");
    ASSERT_TRUE(dialog->ShowFolder(folder));
    EXPECT_EQ(child<QPlainTextEdit>("FolderMemo")->toPlainText(), "All of it");
}

TEST_F(PropertyDialogTest, AnotherSubjectCommitsTheOneBeforeAndAFailureKeepsIt)
{
    TDbMedia *a = import("a.wav", "RIFF");
    TDbMedia *b = import("b.wav", "RIFF");
    QList<TDbMedia *> told;
    QObject::connect(dialog.get(), &TPropertyDialog::committed,
                     [&](TDbMedia *item, TDbFolder *) { told << item; });
    ASSERT_TRUE(dialog->ShowMedia(a));
    type("MediaTitleEdit", "first");
    ASSERT_TRUE(dialog->ShowMedia(b));
    EXPECT_EQ(row("select title from MediaData where OID=?", a->Rec.OID), QStringList{"first"});
    EXPECT_EQ(told, QList<TDbMedia *>{a});
    EXPECT_EQ(dialog->SubjectMedia(), b);
    EXPECT_EQ(child<QLineEdit>("MediaTitleEdit")->text(), "b.wav");

    // The database refuses: the subject and the edit stay, the next subject is not shown.
    ASSERT_LT(vkdb::DbExecDirect(c().handle(), "create trigger refuse before update on MediaData "
                                               "begin select raise(abort, 'refused'); end"),
              2);
    type("MediaTitleEdit", "second");
    EXPECT_FALSE(dialog->ShowMedia(a));
    EXPECT_EQ(dialog->SubjectMedia(), b);
    EXPECT_EQ(child<QLineEdit>("MediaTitleEdit")->text(), "second");
    EXPECT_EQ(b->Rec.Title, "b.wav");
    EXPECT_FALSE(src.ui.messages.isEmpty());
    // Losing the focus does not close it either: closing would lose the edit.
    dialog->FormDeactivate();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->SubjectMedia(), b);
    ASSERT_LT(vkdb::DbExecDirect(c().handle(), "drop trigger refuse"), 2);
    dialog->FormDeactivate();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->SubjectMedia(), nullptr);
    EXPECT_EQ(row("select title from MediaData where OID=?", b->Rec.OID), QStringList{"second"});
}

TEST_F(PropertyDialogTest, ASearchResultTileEditsTheLibraryItemItMirrors)
{
    TDbMedia *item = import("sea.wav", "RIFF");
    TDbFolder *result = MakeResultFolder("found", 80, 100, 3);
    SearchQuery query{
        "select OID, FolderId, title, filename(media), MediaType, filename(MediaNail), KeyWords, "
        "InsertDate, Author from MediaData",
        {},
        "found",
        {}};
    ASSERT_TRUE(RunSearch(c(), query, result, &roots()));
    TDbMedia *mirror = result->MediaList->Items.value(0);
    ASSERT_TRUE(mirror && mirror->MirrorOf == item);
    ASSERT_TRUE(dialog->ShowMedia(mirror));
    EXPECT_EQ(dialog->SubjectMedia(), item);
    type("MediaAuthorEdit", "Cy");
    ASSERT_TRUE(dialog->CommitEdits());
    EXPECT_EQ(item->Rec.Author, "Cy");
    EXPECT_EQ(row("select Author from MediaData where OID=?", item->Rec.OID), QStringList{"Cy"});
    dialog->releaseSubject();
    ReleaseResultFolder(roots(), result);
}

TEST_F(PropertyDialogTest, DatesThatNameNoDayAreRefused)
{
    TDbMedia *item = import("sea.wav", "RIFF");
    item->Rec.InsertDate = textToDate("2020-02-29");
    item->Changed = MediaInsertDate;
    ASSERT_TRUE(item->Update(c(), false));
    auto leave = [&](const char *name) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(child<QLineEdit>(name), &out);
    };
    ASSERT_TRUE(dialog->ShowFolder(folder));
    // Clearing the folder date and leaving it.
    type("FolderDateEdit", "");
    leave("FolderDateEdit");
    EXPECT_EQ(src.ui.messages, QStringList{"Date Format Error."});
    // Leaving it for another window says nothing yet; the commit refuses it.
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(child<QLineEdit>("FolderDateEdit"), &away);
    EXPECT_EQ(src.ui.messages.size(), 1);
    EXPECT_FALSE(dialog->CommitEdits());
    type("FolderDateEdit", "2021-03-04");
    ASSERT_TRUE(dialog->ShowMedia(item));

    // The media date is checked as the folder's: a typo no longer wipes the stored date.
    src.ui.messages.clear();
    type("MediaDateEdit", "2020-13-45");
    leave("MediaDateEdit");
    EXPECT_EQ(src.ui.messages, QStringList{"Date Format Error."});
    EXPECT_FALSE(dialog->CommitEdits());
    EXPECT_EQ(row("select InsertDate from MediaData where OID=?", item->Rec.OID), QStringList{"2020-02-29"});
    EXPECT_EQ(dateToText(item->Rec.InsertDate), "2020-02-29");
}

TEST_F(PropertyDialogTest, KeywordsAreDroppedDeletedAndLost)
{
    TsKeyWord sea, sun, gone;
    sea.Name = "Sea";
    sun.Name = "Sun";
    gone.Name = "Gone";
    ASSERT_GE(AddKeyword(c(), keywords, sea), 0);
    ASSERT_GE(AddKeyword(c(), keywords, sun), 0);
    ASSERT_GE(AddKeyword(c(), keywords, gone), 0);
    TDbKeyWord *kSea = keywords.Items[0], *kSun = keywords.Items[1], *kGone = keywords.Items[2];
    const QString goneOid = kGone->Rec.OID;
    TDbMedia *item = import("sea.wav", "RIFF");
    item->Rec.KeyWords = KeywordText({kSea->Rec.OID, goneOid});
    item->Changed = MediaKeyWords;
    ASSERT_TRUE(item->Update(c(), false));
    // The keyword is deleted; the item still names it.
    ASSERT_TRUE(kGone->Delete(c()));
    keywords.Items.removeOne(kGone);
    delete kGone;

    ASSERT_TRUE(dialog->ShowMedia(item));
    EXPECT_EQ(dialog->keywordRows(), (QStringList{"Sea", "[Lost]"}));
    auto reference = [&](TDbKeyWord *k) {
        return row("select Reference from KeyWords_Table where OID=?", k->Rec.OID).value(0);
    };
    // A drop adds a keyword not yet listed, and counts it at once.
    dropKeyword(kSun->Rec.OID);
    dropKeyword(kSun->Rec.OID);
    dropKeyword("000000000000999999"); // no such keyword
    EXPECT_EQ(dialog->keywordRows(), (QStringList{"Sea", "[Lost]", "Sun"}));
    EXPECT_EQ(reference(kSun), "1");
    // Delete removes the selected row and counts it off.
    auto *list = child<QListWidget>("lstMediaKeyWords");
    list->setCurrentRow(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &del);
    EXPECT_EQ(dialog->keywordRows(), (QStringList{"[Lost]", "Sun"}));
    EXPECT_EQ(reference(kSea), "-1"); // it was never counted for this item
    // The commit writes the known keywords only: the lost one goes.
    ASSERT_TRUE(dialog->CommitEdits());
    EXPECT_EQ(row("select KeyWords from MediaData where OID=?", item->Rec.OID),
              QStringList{kSun->Rec.OID + "\r\n"});
    EXPECT_EQ(dialog->keywordRows(), QStringList{"Sun"});
    EXPECT_TRUE(child<QPushButton>("btnDelete")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("btnEditor")->isEnabled()) << "no keywords editor to open";
}

TEST_F(PropertyDialogTest, EachTypeShowsInItsViewerWithItsLabels)
{
    QFile file(png(300, 400));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const qint64 pictureBytes = file.size();
    int linked = 1;
    TDbMedia *picture = roots().InsertMediaFile(folder, file.fileName(), linked);
    ASSERT_TRUE(dialog->ShowMedia(picture));
    EXPECT_TRUE(dialog->ImageWindow()->hasPicture());
    EXPECT_EQ(label("labFileSize"), FileSizeLabel(pictureBytes));
    EXPECT_EQ(label("labFileLoc"), file.fileName());
    child<QAction>("FitRelease")->trigger();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    for (int i = 0; i < 5 && label("labMediaSize") != "300x400"; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(label("labMediaSize"), "300x400");

    TDbMedia *text = import("notes.txt", "one\ntwo\nthree");
    ASSERT_TRUE(dialog->ShowMedia(text));
    EXPECT_EQ(label("labMediaSize"), "3 lines");
    EXPECT_EQ(label("labFileLoc"), "(Internal)");
    EXPECT_EQ(child<QPlainTextEdit>("MediaText")->toPlainText(), "one\ntwo\nthree");

    TDbMedia *sound = import("long.wav", "RIFF");
    dialog->MediaPlayer()->device(); // the scripted device plays 125.4 seconds
    device().scriptLength = 125400;
    ASSERT_TRUE(dialog->ShowMedia(sound));
    EXPECT_EQ(label("labMediaSize"), "0:02:05");
    EXPECT_EQ(device().log.value(0), QStringLiteral("open WaveAudio %1").arg(sound->Rec.MediaFile));
    EXPECT_EQ(child<QSlider>("TrackBar")->maximum(), 125400);
    EXPECT_EQ(child<QSlider>("TrackBar")->tickInterval(), 1254);
    EXPECT_FALSE(child<QLabel>("labMediaError")->isVisible());

    TDbMedia *video = import("clip.avi", "RIFF");
    device().video = true;
    ASSERT_TRUE(dialog->ShowMedia(video));
    EXPECT_TRUE(child<QWidget>("VideoPanel")->isVisible());
    EXPECT_EQ(device().displays.value(0), child<QWidget>("VideoPanel"));
    EXPECT_TRUE(device().log.contains("close")) << "the sound before was closed";

    // Failures show "-" and the reason.
    device().video = false;
    device().openResult = 277;
    device().openText = "The file cannot be played: no decoder.";
    TDbMedia *broken = import("broken.mid", "MThd");
    ASSERT_TRUE(dialog->ShowMedia(broken));
    EXPECT_EQ(label("labMediaSize"), "-");
    EXPECT_EQ(label("labFileSize"), "-");
    EXPECT_EQ(label("labMediaError"), "The file cannot be played: no decoder.");
    EXPECT_TRUE(child<QLabel>("labMediaError")->isVisible());
    const QString lostPath = src.writeFile("lost.png", "PNG");
    TDbMedia *lost = roots().InsertMediaFile(folder, lostPath, linked);
    QFile::remove(lostPath);
    ASSERT_TRUE(dialog->ShowMedia(lost));
    EXPECT_EQ(label("labMediaError"), "Media Load Error!");
}

TEST(PropertyDialogLabels, FileSizesAreKilobytesWithOneDecimalAtMost)
{
    const std::pair<qint64, const char *> cases[] = {{0, "0K"},       {1024, "1K"},   {1075, "1K"},
                                                     {1127, "1.1K"},  {2048, "2K"},   {1536, "1.5K"},
                                                     {10188, "9.9K"}, {10230, "10K"}, {1048576, "1024K"}};
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(FileSizeLabel(bytes), text) << bytes;
}

TEST_F(PropertyDialogTest, ThePinKeepsItOpenWhenItLosesTheFocus)
{
    TDbMedia *item = import("sea.wav", "RIFF");
    ASSERT_TRUE(dialog->ShowMedia(item));
    type("MediaTitleEdit", "kept");
    dialog->setPinned(true);
    dialog->FormDeactivate();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->SubjectMedia(), item);
    EXPECT_EQ(row("select title from MediaData where OID=?", item->Rec.OID), QStringList{"sea.wav"});
    EXPECT_TRUE(child<QWidget>("RD_Image")->isVisibleTo(dialog.get()));
    // Hiding unpins.
    dialog->hide();
    EXPECT_FALSE(dialog->Pinned());
    EXPECT_TRUE(child<QWidget>("WH_Image")->isVisibleTo(dialog.get()));
    dialog->show();
    dialog->FormDeactivate();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->SubjectMedia(), nullptr);
    EXPECT_EQ(row("select title from MediaData where OID=?", item->Rec.OID), QStringList{"kept"});
}

TEST_F(PropertyDialogTest, WhilePlayingItKeepsItsSize)
{
    TDbMedia *item = import("sea.wav", "RIFF");
    ASSERT_TRUE(dialog->ShowMedia(item));
    const QSize size = dialog->size();
    dialog->MediaPlayer()->click(btPlay);
    EXPECT_TRUE(dialog->Playing());
    EXPECT_EQ(dialog->minimumSize(), size);
    EXPECT_EQ(dialog->maximumSize(), size);
    device().advance(4000);
    dialog->tmrMediaPlayTimer();
    EXPECT_EQ(child<QSlider>("TrackBar")->value(), 4000);
    // The end: playing is over, and the bar goes back to the start.
    device().advance(6000);
    device().deliver();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog->Playing());
    EXPECT_EQ(dialog->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    dialog->tmrMediaPlayTimer();
    EXPECT_EQ(child<QSlider>("TrackBar")->value(), 0);
    EXPECT_EQ(dialog->MediaPlayer()->Position(), 0);
    // Another subject stops it.
    dialog->MediaPlayer()->click(btPlay);
    ASSERT_TRUE(dialog->ShowFolder(folder));
    EXPECT_FALSE(dialog->Playing());
    EXPECT_EQ(dialog->MediaPlayer()->DeviceID(), 0);
}

TEST_F(PropertyDialogTest, TheDisplayOptionsSizeAndPlaceIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    TDbMedia *sound = import("sea.wav", "RIFF");
    struct Case
    {
        int size, place;
        bool media;
        QSize expected;
        QPoint at;
    };
    const QSize half = screen.size() / 2;
    const Case cases[] = {
        {0, 0, true, QSize(309, 309), screen.topLeft()},
        {0, 3, false, QSize(320, 341), screen.bottomRight() + QPoint(1, 1) - QPoint(320, 341)},
        {2, 4, true, half, screen.center() - QPoint(half.width() / 2, half.height() / 2)},
        {4, 2, true, QSize(400, 350), QPoint(screen.right() + 1 - 400, screen.top())},
    };
    options.CustomDisplayWidth = 400;
    options.CustomDisplayHeight = 350;
    for (const Case &c : cases) {
        dialog->FormDeactivate();
        ASSERT_FALSE(dialog->isVisible());
        options.SizeOptionChecked = c.size;
        options.PosOptionChecked = c.place;
        ASSERT_TRUE(c.media ? dialog->ShowMedia(sound) : dialog->ShowFolder(folder));
        EXPECT_EQ(dialog->size(), c.expected) << c.size << " " << c.place;
        EXPECT_EQ(dialog->pos(), c.at) << c.size << " " << c.place;
    }
    // The keywords page makes room for its list, and the window stays on the screen.
    ASSERT_TRUE(dialog->ShowMedia(sound));
    dialog->move(screen.right() - 100, screen.bottom() - 100);
    auto *pages = child<QTabWidget>("PageControl");
    pages->setCurrentWidget(child<QWidget>("tbsKeyWords"));
    EXPECT_GE(dialog->width(), 220);
    EXPECT_GE(dialog->height(), 300);
    EXPECT_LE(dialog->pos().x() + dialog->width(), screen.right() + 1);
    EXPECT_LE(dialog->pos().y() + dialog->height(), screen.bottom() + 1);
}

TEST_F(PropertyDialogTest, ASubjectThatLeavesTheLibraryLeavesTheDialog)
{
    TDbMedia *moved = import("moved.wav", "RIFF");
    TDbMedia *removed = import("removed.wav", "RIFF");
    TDbFolder *other = roots().AddRootFolder("other", 80, 3, 100);
    ASSERT_TRUE(dialog->ShowMedia(moved));
    type("MediaTitleEdit", "still here");
    ASSERT_TRUE(roots().MoveItems({moved}, other, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->SubjectMedia(), moved) << "a move keeps the subject";
    EXPECT_TRUE(dialog->CommitEdits());
    EXPECT_EQ(moved->Rec.Title, "still here");

    ASSERT_TRUE(dialog->ShowMedia(removed));
    type("MediaTitleEdit", "going");
    ASSERT_GE(roots().RemoveMedia(removed), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->SubjectMedia(), nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->CommitEdits());

    ASSERT_TRUE(dialog->ShowFolder(other));
    ASSERT_TRUE(roots().RemoveRootFolder(other));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->SubjectFolder(), nullptr);
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
