// The workspace frame over a real folder tree: sorting, folder windows and the commands
// that work on them, the view state, menus merged from a child window, the background,
// and the resources the frame names.
#include "ChildWindow.h"
#include "Childwin.h"
#include "ClientArea.h"
#include "Engine.h"
#include "FdExplor.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "LibrarySort.h"
#include "LibraryTreeModel.h"
#include "Main.h"
#include "PptDialog.h"
#include "SlideOption.h"
#include "SlideShow.h"
#include "Statement.h"
#include "TempDataSource.h"

#include <gtest/gtest.h>

#include <optional>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

using namespace vk;

namespace {

class LibraryFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        roots = std::make_unique<TDbFolderList>(src.connection);
        ASSERT_TRUE(roots->Load(80, 100, 3));
    }

    QString value(const QString &text, const QString &oid)
    {
        Statement st(src.connection, text);
        st.bind(oid);
        st.execute();
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }

    TDbMedia *addMedia(TDbFolder *folder, const QString &name)
    {
        int mode = 1;
        return roots->InsertMediaFile(folder, src.writeFile(name, "RIFF sound"), mode);
    }

    static QStringList titles(const QList<TDbFolder *> &folders)
    {
        QStringList out;
        for (TDbFolder *f : folders)
            out << f->Rec.Title;
        return out;
    }
    static QStringList titles(const QList<TDbMedia *> &items)
    {
        QStringList out;
        for (TDbMedia *m : items)
            out << (m->SubFolder ? m->SubFolder->Rec.Title : m->Rec.Title);
        return out;
    }

    TempDataSource src;
    std::unique_ptr<TDbFolderList> roots;
};

TEST_F(LibraryFixture, SortingMainFoldersWritesOnlyTheIndexAsPositionTimes32)
{
    for (const char *t : {"beta", "alpha", "Zulu", "alpha"})
        ASSERT_NE(roots->AddRootFolder(t, 80, 3, 100), nullptr);
    TDbFolder *firstAlpha = roots->Folders[1];
    std::vector<vkdb::DbLogEntry> log;
    vkdb::DbSetStatementLog(src.connection.handle(), [&](const vkdb::DbLogEntry &e) { log.push_back(e); });
    ASSERT_TRUE(SortMainFolders(*roots));
    vkdb::DbSetStatementLog(src.connection.handle(), nullptr);

    // Case-sensitive, in character-code order; equal titles keep their order.
    EXPECT_EQ(titles(roots->Folders), QStringList({"Zulu", "alpha", "alpha", "beta"}));
    EXPECT_EQ(roots->Folders[1], firstAlpha);
    int updates = 0;
    for (const auto &e : log)
        if (e.text.rfind("update", 0) == 0) {
            EXPECT_EQ(e.text, "update Folder set index=? where OID=?");
            ++updates;
        }
    EXPECT_EQ(updates, 4);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(value("select index from Folder where OID=?", roots->Folders[n]->Rec.OID).toDouble(),
                  n * 32.0);

    // The next start reads them in that order.
    TDbFolderList again(src.connection);
    ASSERT_TRUE(again.Load(80, 100, 3));
    EXPECT_EQ(titles(again.Folders), QStringList({"Zulu", "alpha", "alpha", "beta"}));
}

TEST_F(LibraryFixture, SortingAFolderOrdersMediaAndSubfoldersAlike)
{
    TDbFolder *folder = roots->AddRootFolder("photos", 80, 3, 100);
    ASSERT_TRUE(addMedia(folder, "pear.wav"));
    TDbMedia *tile = roots->AddSubFolder(folder, "mango", 80, 100, 3);
    ASSERT_TRUE(tile);
    ASSERT_TRUE(addMedia(folder, "apple.wav"));
    ASSERT_TRUE(SortFolderItems(*roots, folder));

    const QList<TDbMedia *> &items = folder->MediaList->Items;
    ASSERT_EQ(titles(items), QStringList({"apple.wav", "mango", "pear.wav"}));
    for (int n = 0; n < items.size(); ++n) {
        EXPECT_EQ(items[n]->Rec.Index, n * 32.0);
        const QString stored =
            items[n]->SubFolder ? value("select index from Folder where OID=?", items[n]->SubFolder->Rec.OID)
                                : value("select index from MediaData where OID=?", items[n]->Rec.OID);
        EXPECT_EQ(stored.toDouble(), n * 32.0) << n;
    }
    EXPECT_EQ(tile->SubFolder->Rec.Index, 32.0);

    TDbFolderList again(src.connection);
    ASSERT_TRUE(again.Load(80, 100, 3));
    ASSERT_EQ(again.Folders.size(), 1);
    EXPECT_EQ(titles(again.Folders[0]->MediaList->Items), QStringList({"apple.wav", "mango", "pear.wav"}));
}

TEST_F(LibraryFixture, SortingAnEmptyListWritesNothing)
{
    TDbFolder *folder = roots->AddRootFolder("empty", 80, 3, 100);
    std::vector<vkdb::DbLogEntry> log;
    vkdb::DbSetStatementLog(src.connection.handle(), [&](const vkdb::DbLogEntry &e) { log.push_back(e); });
    EXPECT_TRUE(SortFolderItems(*roots, folder));
    EXPECT_TRUE(SortFolderItems(*roots, nullptr));
    TDbFolderList none(src.connection);
    EXPECT_TRUE(SortMainFolders(none));
    vkdb::DbSetStatementLog(src.connection.handle(), nullptr);
    EXPECT_TRUE(log.empty());
}

// The frame over the fixture's folder tree (its own start-up is not run).
class FrameFixture : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        frame = std::make_unique<TMainForm>();
        frame->setUiServices(&src.ui);
        frame->startup().workspaceMode = ModeWorkspace;
        frame->startup().rootFolders = std::move(roots);
        frame->AttachRootFolders();
    }
    void TearDown() override
    {
        // The tree belongs to the test's data source, not to a connection the frame made.
        frame.reset();
    }
    TDbFolderList &tree() { return *frame->startup().rootFolders; }
    bool enabled(const char *name) { return frame->action(name)->isEnabled(); }

    std::unique_ptr<TMainForm> frame;
};

TEST_F(FrameFixture, FolderCommandsFollowTheActiveFolderWindow)
{
    EXPECT_FALSE(enabled("FolderOpen")); // no root folders
    EXPECT_TRUE(enabled("FolderNew"));
    EXPECT_TRUE(enabled("ApplicationExit"));
    TDbFolder *folder = tree().AddRootFolder("trips", 80, 3, 100);
    EXPECT_TRUE(enabled("FolderOpen"));
    // The folder explorer is the view from the start, so the Folder menu has a folder to act on.
    EXPECT_EQ(frame->ActiveView(), static_cast<QWidget *>(frame->folderExplorer()));

    TFolder *window = frame->OpenFolderWindow(folder);
    ASSERT_TRUE(window);
    EXPECT_EQ(frame->ActiveView(), window);
    // Coming back to the frame from another program keeps the folder window as the view.
    frame->ViewActivated(frame.get());
    EXPECT_EQ(frame->ActiveView(), window);
    for (const char *name : {"btnNewSubFolder", "MediaInsert", "FolderClose", "btnDelete", "btnFolderSort",
                             "btnMediaSort", "WindowCascadeItem"})
        EXPECT_TRUE(enabled(name)) << name;
    // Commands whose windows are still to come stay visibly disabled.
    for (const QString &name : TMainForm::waitingCommands()) {
        ASSERT_TRUE(frame->action(name)) << name.toStdString();
        EXPECT_FALSE(frame->action(name)->isEnabled()) << name.toStdString();
    }
    // A second request brings the same window forward.
    EXPECT_EQ(frame->OpenFolderWindow(folder), nullptr);
    EXPECT_EQ(frame->mdiArea()->subWindowList().size(), 1);

    // New sub folder: a "New Folder" tile in the window's folder, selected.
    frame->action("btnNewSubFolder")->trigger();
    ASSERT_EQ(folder->MediaList->count(), 1);
    TDbMedia *tile = folder->MediaList->Items[0];
    EXPECT_EQ(tile->SubFolder->Rec.Title, "New Folder");
    EXPECT_EQ(window->lastSelected(), tile);
    EXPECT_EQ(frame->Context().SelectedKind, SubFolderType);

    // The sub folder opens in a window of its own; deleting it (after the question) closes
    // that window and takes the tile out of its parent.
    TFolder *subWindow = frame->OpenFolderWindow(tile->SubFolder);
    ASSERT_TRUE(subWindow);
    src.ui.answer = true;
    frame->action("FolderRemoveItem")->trigger();
    EXPECT_EQ(src.ui.questions, QStringList{"Are you sure you want to delete a folder?\n\r, 'New Folder'"});
    EXPECT_EQ(folder->MediaList->count(), 0);
    EXPECT_EQ(subWindow->folder(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->mdiArea()->subWindowList().size(), 1);
}

// From a fresh start, with the keyboard only: the explorer is the view, its first folder is
// what the Folder menu's commands act on.
TEST_F(FrameFixture, SlideShowAsksForItsOptionsThenShowsTheActiveFolderWindow)
{
    TDbFolder *folder = tree().AddRootFolder("trips", 80, 3, 100);
    ASSERT_TRUE(frame->OpenFolderWindow(folder));
    EXPECT_TRUE(enabled("SlideShow"));
    EXPECT_TRUE(enabled("SlideShowButton"));
    auto answer = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto *options = qobject_cast<TSlideOpForm *>(QApplication::activeModalWidget());
            ASSERT_TRUE(options);
            options->effectButton(22)->click();
            ok ? options->accept() : options->reject();
        });
    };
    answer(false);
    frame->action("SlideShow")->trigger();
    EXPECT_EQ(frame->slideShow(), nullptr);
    EXPECT_EQ(frame->slideShowSettings(), SlideShowSettings());

    // The folder is empty: the show says so and ends, and the workspace is back as it was.
    answer(true);
    frame->action("SlideShowButton")->trigger();
    EXPECT_EQ(frame->slideShowSettings().Effect, 22);
    EXPECT_EQ(src.ui.messages, QStringList{"No media selected!"});
    EXPECT_EQ(frame->startup().workspaceMode & ModeSlideShow, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame->slideShow(), nullptr);
}

TEST_F(FrameFixture, AtStartTheExplorerServesTheFolderCommands)
{
    tree().AddRootFolder("first", 80, 3, 100);
    tree().AddRootFolder("second", 80, 3, 100);
    frame->folderExplorer()->SelectedNode(tree().Folders.first(), nullptr);
    frame->resize(900, 600);
    frame->show();
    // The frame comes forward: with no child window the explorer keeps (or takes) the view.
    frame->ViewActivated(frame.get());
    EXPECT_EQ(frame->ActiveView(), static_cast<QWidget *>(frame->folderExplorer()));
    EXPECT_EQ(frame->Context().SelectedKind, RootFolderKind);
    for (const char *name : {"FolderOpenItem", "FolderRemoveItem", "FolderPropertyItem", "FolderSearch"})
        EXPECT_TRUE(enabled(name)) << name;
    // Even when something else had made the frame the view.
    frame->ViewActivated(frame->folderExplorer());
    frame->ViewActivated(frame.get());
    EXPECT_EQ(frame->ActiveView(), static_cast<QWidget *>(frame->folderExplorer()));
}

TEST(ChildPlacement, NewChildWindowsCascadeInsideTheClientArea)
{
    const QSize client(800, 500);
    struct Case
    {
        const char *name;
        QSize wanted;
        std::optional<QRect> last;
        QRect expected;
    };
    const Case cases[] = {
        {"the first at the top left", {560, 380}, std::nullopt, {0, 0, 560, 380}},
        {"the next one step on", {560, 380}, QRect(0, 0, 560, 380), {24, 24, 560, 380}},
        {"back at the top left when it would leave the area",
         {560, 380},
         QRect(240, 120, 560, 380),
         {0, 0, 560, 380}},
        {"a window larger than the area is made to fit", {900, 650}, std::nullopt, {0, 0, 800, 500}},
        {"after a window moved off the left edge", {300, 200}, QRect(-50, -10, 300, 200), {24, 24, 300, 200}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QRect r = TMainForm::childPlace(client, c.wanted, c.last ? &*c.last : nullptr);
        EXPECT_EQ(r, c.expected);
        EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(r));
    }
}

TEST_F(FrameFixture, FolderWindowsOpenWhollyInsideTheFrame)
{
    frame->resize(700, 500);
    frame->show();
    QCoreApplication::processEvents();
    const QRect client(QPoint(0, 0), frame->mdiArea()->viewport()->size());
    for (int i = 0; i < 8; ++i) {
        TDbFolder *f = tree().AddRootFolder(QStringLiteral("f%1").arg(i), 80, 3, 100);
        ASSERT_TRUE(frame->OpenFolderWindow(f));
        QMdiSubWindow *sub = frame->mdiArea()->activeSubWindow();
        ASSERT_TRUE(sub);
        EXPECT_TRUE(client.contains(sub->geometry())) << i;
    }
}

TEST_F(FrameFixture, TheMenusShowOnlyWhatIsThere)
{
    frame->startup().workspaceMode = ModeWorkspace | ModeAuthoring;
    frame->ApplyViewState();
    // No slide explorer or timeline window in this workspace: their items claim none.
    for (const char *name : {"SlideExplorerMu", "TimelineTable"}) {
        EXPECT_FALSE(frame->action(name)->isChecked()) << name;
        EXPECT_FALSE(frame->action(name)->isEnabled()) << name;
    }
    // Cascade and Tile are one choice of two.
    QAction *cascade = frame->action("WindowCascadeItem");
    ASSERT_TRUE(cascade->actionGroup());
    EXPECT_TRUE(cascade->actionGroup()->isExclusive());
    EXPECT_EQ(cascade->actionGroup(), frame->action("WindowTileItem")->actionGroup());
}

TEST_F(FrameFixture, DeletingARootFolderCanBeDeclined)
{
    TDbFolder *folder = tree().AddRootFolder("keep", 80, 3, 100);
    frame->OpenFolderWindow(folder);
    src.ui.answer = false;
    frame->action("FolderRemoveItem")->trigger();
    EXPECT_EQ(tree().Folders.size(), 1);
    src.ui.answer = true;
    frame->action("FolderRemoveItem")->trigger();
    EXPECT_TRUE(tree().Folders.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(enabled("FolderOpen"));
}

TEST_F(FrameFixture, ApplyViewStateShowsToolbarsByModeAndMarks)
{
    frame->ApplyViewState();
    EXPECT_FALSE(frame->speedPanel()->isHidden());
    EXPECT_TRUE(frame->mediaToolbar()->isHidden());
    EXPECT_FALSE(frame->action("AtToolbar")->isVisible());
    EXPECT_TRUE(frame->action("FolderExplorer")->isVisible());

    frame->action("MainToolbar")->trigger(); // unchecks it
    EXPECT_TRUE(frame->speedPanel()->isHidden());
    EXPECT_FALSE(frame->startup().settings.speedPanelVisible);

    frame->startup().workspaceMode = ModeWorkspace | ModeAuthoring;
    frame->ApplyViewState();
    EXPECT_TRUE(frame->action("AtToolbar")->isVisible());
    EXPECT_TRUE(frame->action("SlideExplorerMu")->isVisible());
    EXPECT_FALSE(frame->mediaToolbar()->isHidden());
    frame->action("AtToolbar")->trigger();
    EXPECT_TRUE(frame->mediaToolbar()->isHidden());
}

TEST_F(FrameFixture, TheInsertToolsAreOneGroupWithReleaseDown)
{
    const QList<QAction *> tools = frame->insertTools()->actions();
    ASSERT_EQ(tools.size(), 12);
    EXPECT_TRUE(frame->insertTools()->isExclusive());
    EXPECT_EQ(frame->insertTools()->checkedAction(), frame->action("ReleaseBtn"));
    // Without an open slide none of them can be used.
    for (QAction *a : tools)
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
}

class MediaChild : public QWidget, public ChildWindow
{
public:
    MediaChild()
    {
        for (const char *title : {"&Media", "&Edit"}) {
            auto *m = new QMenu(QString::fromLatin1(title), this);
            m->setProperty(MenuGroupProperty, 5);
            m_menus.append(m);
        }
    }
    ViewKind viewKind() const override { return ViewKind::FolderWindow; }
    QList<QMenu *> childMenus() const override { return m_menus; }

private:
    QList<QMenu *> m_menus;
};

QStringList menuTitles(QMenuBar *bar)
{
    QStringList out;
    for (QAction *a : bar->actions())
        out << a->text();
    return out;
}

TEST_F(FrameFixture, AChildsMenusAreMergedWhileItIsActive)
{
    const QStringList own = {"&Folder", "&Option", "&Window", "&View", "&Help"};
    EXPECT_EQ(menuTitles(frame->menuBar()), own);
    auto *child = new MediaChild;
    QMdiSubWindow *sub = frame->addChildWindow(child);
    EXPECT_EQ(menuTitles(frame->menuBar()),
              QStringList({"&Folder", "&Media", "&Edit", "&Option", "&Window", "&View", "&Help"}));
    sub->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(menuTitles(frame->menuBar()), own);
}

TEST_F(FrameFixture, AMissingCustomBackgroundFallsBackOnce)
{
    QFile::remove(TMainForm::customWallpaperPath());
    DisplayOptions &o = frame->startup().checks.options;
    o.WallPaperChecked = 2;
    frame->LoadBackground();
    EXPECT_EQ(src.ui.messages, QStringList{"Unable to find custom wallpaper!"});
    EXPECT_EQ(o.WallPaperChecked, 1);
    EXPECT_TRUE(frame->clientArea()->backImageVisible());
    EXPECT_FALSE(frame->clientArea()->backImage().isNull());
    frame->LoadBackground();
    EXPECT_EQ(src.ui.messages.size(), 1);

    o.WallPaperChecked = 0;
    frame->LoadBackground();
    EXPECT_FALSE(frame->clientArea()->backImageVisible());
}

TEST(ClientArea, TileAndCentrePlacements)
{
    // Tiles: one row and one column more than fit, even when the size divides exactly.
    EXPECT_EQ(TClientArea::placements({200, 100}, {100, 50}, 0).size(), 3 * 3);
    EXPECT_EQ(TClientArea::placements({250, 120}, {100, 50}, 0).size(), 3 * 3);
    EXPECT_EQ(TClientArea::placements({200, 100}, {100, 50}, 0).last(), QPoint(200, 100));
    EXPECT_EQ(TClientArea::placements({300, 200}, {100, 50}, 1), QList<QPoint>{QPoint(100, 75)});
    // A picture larger than the area is centred over it.
    EXPECT_EQ(TClientArea::placements({100, 100}, {300, 50}, 1), QList<QPoint>{QPoint(-100, 25)});
    EXPECT_TRUE(TClientArea::placements({300, 200}, {100, 50}, 2).isEmpty());
    EXPECT_TRUE(TClientArea::placements({300, 200}, {}, 0).isEmpty());
}

// The property dialog from a tile's double click, the Folder menu's Property and the toolbar's:
// what it writes shows in the tile, the explorer's node and the window's caption.
TEST_F(FrameFixture, ThePropertyCommandsOpenTheDialogAndItsEditsShowEverywhere)
{
    TDbFolder *folder = tree().AddRootFolder("trips", 80, 3, 100);
    int mode = 1;
    TDbMedia *item = tree().InsertMediaFile(folder, src.writeFile("notes.txt", "one line"), mode);
    ASSERT_TRUE(item);
    TFolder *window = frame->OpenFolderWindow(folder);
    ASSERT_TRUE(window);
    TPropertyDialog *dialog = frame->propertyDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(enabled("btnProperty"));
    EXPECT_TRUE(enabled("FolderPropertyItem"));
    auto edit = [&](const char *name, const QString &text) {
        auto *field = dialog->findChild<QLineEdit *>(QLatin1String(name));
        field->setText(text);
        field->setModified(true);
    };

    QTest::mouseDClick(window->viewport(), Qt::LeftButton, Qt::NoModifier,
                       window->tileRectInView(0).center());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->SubjectMedia(), item);
    edit("MediaTitleEdit", "Notes");
    frame->action("FolderPropertyItem")->trigger();
    EXPECT_EQ(dialog->SubjectFolder(), folder);
    EXPECT_EQ(value("select title from MediaData where OID=?", item->Rec.OID), "Notes");
    LibraryTreeModel *model = frame->folderExplorer()->model();
    EXPECT_EQ(model->data(model->indexOfItem(item)).toString(), "Notes");

    // While it is visible it follows the pressed tile, committing the folder first; a window that
    // shows its folder again does not move it.
    edit("FolderTitleEdit", "Trips 2019");
    window->refresh();
    EXPECT_EQ(dialog->SubjectFolder(), folder);
    QTest::mouseClick(window->viewport(), Qt::LeftButton, Qt::NoModifier, window->tileRectInView(0).center());
    EXPECT_EQ(dialog->SubjectMedia(), item);
    EXPECT_EQ(window->windowTitle(), "Trips 2019");
    EXPECT_EQ(model->data(model->indexOfFolder(folder)).toString(), "Trips 2019");

    dialog->FormDeactivate();
    EXPECT_FALSE(dialog->isVisible());
    frame->action("btnProperty")->trigger();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->SubjectMedia(), item);
}

TEST(WorkspaceResources, EveryIconTypeBitmapAndCursorExists)
{
    TMainForm frame;
    for (const QString &name : frame.actionNames()) {
        QAction *a = frame.action(name);
        if (!a->icon().isNull()) {
            EXPECT_FALSE(a->icon().pixmap(22, 22).isNull()) << name.toStdString();
        }
    }
    EXPECT_FALSE(frame.action("FolderNew")->icon().isNull());
    for (const char *name : {"image", "folder", "Video", "Audio", "Text2", "Ole"})
        EXPECT_FALSE(TypeBitmaps::bitmap(name).isNull()) << name;
    const std::pair<int, const char *> types[] = {{3, "image"},   {99, "Text2"}, {104, "Audio"},
                                                  {202, "Video"}, {300, "Ole"},  {301, "folder"}};
    for (const auto &[type, name] : types)
        EXPECT_EQ(TypeBitmaps::nameOfMediaType(type), name) << type;
    for (int n : {crMove, crMSCopy, CrHand})
        EXPECT_NE(vkCursor(n).shape(), Qt::ArrowCursor) << n;
    EXPECT_EQ(vkCursor(10).shape(), Qt::ArrowCursor);
}

TEST(WorkspaceResources, EveryHelpLinkLeadsToAShippedPage)
{
    // Every page shipped, each window's among them; a link names a shipped page and, with an
    // anchor, a place on it.
    const QStringList pages = QDir(QStringLiteral(":/vellumark/help")).entryList({"*.html"});
    for (const char *needed : {"index.html", "workspace.html", "library.html", "commands.html", "files.html",
                               "windows.html", "authoring.html", "options.html"})
        EXPECT_TRUE(pages.contains(QLatin1String(needed))) << needed;
    auto read = [](const QString &page) {
        QFile f(":/vellumark/help/" + page);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    const QRegularExpression href(QStringLiteral("href=\"([^\"#]+)(?:#([^\"]+))?\""));
    for (const QString &page : pages) {
        const QString html = read(page);
        ASSERT_FALSE(html.isEmpty()) << page.toStdString();
        for (auto it = href.globalMatch(html); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QString target = m.captured(1), anchor = m.captured(2);
            EXPECT_TRUE(pages.contains(target)) << page.toStdString() << " -> " << target.toStdString();
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(read(target).contains(QStringLiteral("name=\"%1\"").arg(anchor)))
                    << page.toStdString() << " -> " << target.toStdString() << "#" << anchor.toStdString();
            }
        }
    }
    THelpWindow help;
    help.showPage("index.html");
    EXPECT_EQ(help.browser()->document()->metaInformation(QTextDocument::DocumentTitle), "Vellumark Help");
}

} // namespace
