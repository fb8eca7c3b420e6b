// Folder windows and the folder explorer over a real library: where tiles lie and drops land,
// the selection rules, the commands' enabling, drags between windows, the clipboard, desktop
// drops, the explorer's drop rule and renames, and thumbnails made only for what is in view.
#include "Childwin.h"
#include "DbFolder.h"
#include "FdExplor.h"
#include "FolderWindowHost.h"
#include "KeyWords.h"
#include "LibraryDrag.h"
#include "LibraryTreeModel.h"
#include "LiveRefresh.h"
#include "MediaImport.h"
#include "Messages.h"
#include "SearchMediaDialog.h"
#include "Statement.h"
#include "TempDataSource.h"
#include "ThumbnailCache.h"
#include "TileLayout.h"
#include "TileSelection.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <atomic>

using namespace vk;

namespace {

// The workspace as the library windows see it.
class FakeHost : public FolderWindowHost
{
public:
    FakeHost(TempDataSource &src) : m_src(src), m_roots(src.connection) { m_roots.Load(80, 100, 3); }
    TDbFolderList &roots() override { return m_roots; }
    TSelectedList &clipboard() override { return m_clipboard; }
    UiServices &ui() override { return m_src.ui; }
    void runCommand(const QString &name) override { commands << name; }
    void openFolder(TDbFolder *folder) override { opened << folder; }
    void showProperties(TDbMedia *, TDbFolder *) override {}
    void viewActivated(QWidget *) override {}
    void selectInExplorer(TDbFolder *, TDbMedia *) override {}
    TDbMedia *importPaths(TDbFolder *folder, const QStringList &paths) override
    {
        TDbMedia *last = nullptr;
        MediaImport import(m_roots);
        import.recursive = true;
        import.imported = [&last](TDbMedia * m) { last = m;
    };
    import.Run(folder, paths, 1);
    return last;
} bool showExternalMark() const override
{
    return true;
}
QString workDirectory() const override
{
    return QDir::tempPath() + QLatin1Char('/');
}

QStringList commands;
QList<TDbFolder *> opened;

private:
TempDataSource &m_src;
TDbFolderList m_roots;
TSelectedList m_clipboard;
}; // namespace

class FolderWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(src.created);
        host = std::make_unique<FakeHost>(src);
    }
    void TearDown() override
    {
        windows.clear();
        host->roots().ClipboardClear(host->clipboard());
    }

    TDbFolder *folder(const char *title, int items)
    {
        TDbFolder *f = host->roots().AddRootFolder(title, 80, 3, 100);
        for (int i = 0; i < items; ++i) {
            int mode = 1;
            host->roots().InsertMediaFile(
                f, src.writeFile(QStringLiteral("%1-%2.wav").arg(QLatin1String(title)).arg(i), "RIFF"), mode);
        }
        return f;
    }
    TFolder *window(TDbFolder *f, bool searchResult = false, QSize size = QSize(400, 300))
    {
        windows.push_back(std::make_unique<TFolder>(*host, f, searchResult));
        TFolder *w = windows.back().get();
        w->resize(size);
        w->show();
        QCoreApplication::processEvents();
        return w;
    }
    QString folderIdOf(const TDbMedia *m)
    {
        Statement st(src.connection, QStringLiteral("select FolderId from MediaData where OID = ?"));
        st.bind(m->Rec.OID);
        st.execute();
        QStringList row;
        st.fetch(row);
        return row.value(0);
    }
    QStringList titles(const TDbFolder *f)
    {
        QStringList out;
        for (const TDbMedia *m : f->MediaList->Items)
            out << (m->SubFolder ? m->SubFolder->Rec.Title : m->Rec.Title);
        return out;
    }

    TempDataSource src;
    std::unique_ptr<FakeHost> host;
    std::vector<std::unique_ptr<TFolder>> windows;
};

TEST(TileLayoutTest, PlacingDroppingAndArrowsFollowOneRule)
{
    // 80-pixel tiles: a row holds a tile while its right edge stays left of the client width.
    struct Case
    {
        int width, columns;
    };
    for (const Case &c : {Case{50, 1}, Case{90, 1}, Case{100, 1}, Case{181, 2}, Case{180, 1}, Case{271, 3},
                          Case{270, 2}, Case{450, 4}}) {
        TileLayout l{c.width, 80, 100, 10};
        EXPECT_EQ(l.columns(), c.columns) << c.width;
        // The last tile of a row ends inside the window; the next would not.
        if (c.columns > 1 || c.width > 91) {
            EXPECT_LT(l.tileRect(c.columns - 1).right(), c.width) << c.width;
        }
    }

    TileLayout l{271, 80, 100, 7}; // three columns: 0 1 2 / 3 4 5 / 6
    EXPECT_EQ(l.dropPosition(QPoint(2, 50)), 0) << "in the gap before the first tile";
    EXPECT_EQ(l.dropPosition(QPoint(95, 50)), 1);
    EXPECT_EQ(l.dropPosition(QPoint(265, 50)), 2) << "over a tile: before it";
    EXPECT_EQ(l.dropPosition(QPoint(270, 50)), 3) << "right of the last column: after the row";
    EXPECT_EQ(l.dropPosition(QPoint(200, 300)), 7) << "after the last tile";
    EXPECT_EQ(l.dropPosition(QPoint(20, 900)), 7);
    EXPECT_EQ(l.markerRect(7).left(), l.tileRect(6).right() + 5);
    // A window narrower than one tile still has one column.
    TileLayout narrow{40, 80, 100, 3};
    EXPECT_EQ(narrow.columns(), 1);
    EXPECT_EQ(narrow.dropPosition(QPoint(35, 130)), 1);
    EXPECT_EQ(narrow.up(2), 1);
    // Up goes straight up, or to the previous tile from the first row; Down straight down, or to
    // the next tile when the row below is short.
    EXPECT_EQ(l.up(4), 1);
    EXPECT_EQ(l.up(1), 0);
    EXPECT_EQ(l.up(0), 0);
    EXPECT_EQ(l.down(1), 4);
    EXPECT_EQ(l.down(4), 5) << "no tile below: the next one";
    EXPECT_EQ(l.down(6), 6);
    EXPECT_EQ(l.right(6), 6);
    EXPECT_EQ(l.left(0), 0);
    EXPECT_EQ(l.tileAt(QPoint(5, 50)), -1);
    EXPECT_EQ(l.tileAt(QPoint(100, 120)), 4);
    EXPECT_EQ(l.tileAt(QPoint(100, 230)), -1) << "below the last row's tile 6 is only tile 6's column";
}

TEST(TileSelectionTest, ClicksWithShiftAndCtrl)
{
    std::vector<std::unique_ptr<TDbMedia>> owned;
    QList<TDbMedia *> list;
    for (int i = 0; i < 8; ++i) {
        owned.push_back(std::make_unique<TDbMedia>());
        list << owned.back().get();
    }
    auto positions = [&](const TileSelection &s) {
        QList<int> out;
        for (TDbMedia *m : s.items)
            out << int(list.indexOf(m));
        return out;
    };
    using P = TileSelection::Press;
    struct Step
    {
        P how;
        int at;
        bool release; // released without a drag
        QList<int> after;
    };
    struct Case
    {
        const char *name;
        QList<Step> steps;
    };
    const Case cases[] = {
        {"plain click selects alone", {{P::Plain, 2, true, {2}}, {P::Plain, 5, true, {5}}}},
        {"ctrl adds, ctrl on a selected tile unselects on release",
         {{P::Plain, 1, true, {1}}, {P::Ctrl, 3, true, {1, 3}}, {P::Ctrl, 1, true, {3}}}},
        {"ctrl on the only selected tile keeps it", {{P::Plain, 4, true, {4}}, {P::Ctrl, 4, true, {4}}}},
        {"shift ranges from the last selected",
         {{P::Plain, 2, true, {2}}, {P::Shift, 5, true, {2, 3, 4, 5}}}},
        {"shift after shift keeps the first anchor",
         {{P::Plain, 2, true, {2}}, {P::Shift, 4, true, {2, 3, 4}}, {P::Shift, 0, true, {2, 1, 0}}}},
        {"a plain click resets the anchor",
         {{P::Plain, 2, true, {2}},
          {P::Shift, 4, true, {2, 3, 4}},
          {P::Plain, 6, true, {6}},
          {P::Shift, 7, true, {6, 7}}}},
        {"a press on a selected tile keeps the selection for a drag",
         {{P::Plain, 1, true, {1}}, {P::Ctrl, 2, true, {1, 2}}, {P::Plain, 1, false, {1, 2}}}},
        {"a plain click on a tile of a group selects it alone",
         {{P::Plain, 1, true, {1}}, {P::Ctrl, 2, true, {1, 2}}, {P::Plain, 2, true, {2}}}},
        {"a plain click on a tile of a shift range selects it alone",
         {{P::Plain, 1, true, {1}}, {P::Shift, 4, true, {1, 2, 3, 4}}, {P::Plain, 3, true, {3}}}},
        {"a click on the only selected tile keeps it", {{P::Plain, 5, true, {5}}, {P::Plain, 5, true, {5}}}},
        {"right click on an unselected tile selects it alone",
         {{P::Plain, 1, true, {1}}, {P::Ctrl, 2, true, {1, 2}}, {P::Right, 5, false, {5}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TileSelection s;
        for (const Step &step : c.steps) {
            s.press(list, step.at, step.how);
            if (step.release)
                s.release(list[step.at]);
            EXPECT_EQ(positions(s), step.after);
        }
    }
    // The band selects what it meets and lets go of what it leaves.
    TileSelection s;
    TileLayout l{271, 80, 100, 8};
    s.selectOnly(list[7]);
    s.band(list, l, QPoint(5, 5), QPoint(180, 60));
    EXPECT_EQ(positions(s), (QList<int>{0, 1}));
    s.band(list, l, QPoint(5, 5), QPoint(100, 150));
    EXPECT_EQ(positions(s), (QList<int>{0, 1, 3, 4}));
    // A plain click on one tile of the band's group leaves that tile alone selected.
    s.press(list, 3, P::Plain);
    EXPECT_EQ(positions(s), (QList<int>{0, 1, 3, 4})) << "kept while a drag may start";
    s.release(list[3]);
    EXPECT_EQ(positions(s), (QList<int>{3}));
}

TEST_F(FolderWindowTest, TheMenusFollowTheWindowAndWhatIsSelected)
{
    TDbFolder *library = folder("library", 3);
    TFolder *w = window(library);
    EXPECT_EQ(w->statusHint(), "|3Media in this folder");
    w->selectAt(0);
    w->UpdateMenuItems();
    for (const char *name : {"muiMediaInsert", "muiDelete", "muiProperty", "muiPropertyEditor", "muiExport",
                             "muiPrint", "MediaCopy", "MediaCut", "muiSortMedia", "MediaSelectAll",
                             "muiCapVideo", "muiCapImage", "muiVoiceRecorder"})
        EXPECT_TRUE(w->action(name)->isEnabled()) << name;
    for (const char *name : {"muiRelinkFile", "muiOpen", "MediaPaste", "muiAcquire"})
        EXPECT_FALSE(w->action(name)->isEnabled()) << name;
    // A lost item can be relinked; a linked one stored in the database.
    library->MediaList->Items[0]->Lost = true;
    library->MediaList->Items[0]->External = true;
    w->UpdateMenuItems();
    EXPECT_TRUE(w->action("muiRelinkFile")->isEnabled());
    EXPECT_FALSE(w->action("muiStoreAsDbFile")->isEnabled());
    library->MediaList->Items[0]->Lost = false;
    w->UpdateMenuItems();
    EXPECT_TRUE(w->action("muiStoreAsDbFile")->isEnabled());

    // A search result: nothing goes into it.
    auto *result = new TDbFolder;
    result->Rec.Title = "Search result";
    result->MediaList = std::make_unique<TDbMediaList>(80, 100, 3);
    for (TDbMedia *m : library->MediaList->Items) {
        auto *mirror = new TDbMedia;
        mirror->Rec = m->Rec;
        mirror->MirrorOf = m;
        mirror->RefCount = 1;
        ++m->RefCount;
        result->MediaList->Items << mirror;
    }
    TFolder *r = window(result, true);
    r->selectAt(1);
    r->UpdateMenuItems();
    for (const char *name : {"muiMediaInsert", "muiMediaInsertClip", "muiRelinkFile", "MediaCut", "MediaPaste",
                             "muiCapVideo", "muiCapImage", "muiVoiceRecorder"})
        EXPECT_FALSE(r->action(name)->isEnabled()) << name;
    EXPECT_TRUE(r->action("MediaCopy")->isEnabled());
    EXPECT_FALSE(r->dropLibrary(0, false));
}

TEST_F(FolderWindowTest, DraggingBetweenWindowsMovesTheRows)
{
    TDbFolder *a = folder("a", 4);
    TDbFolder *b = folder("b", 2);
    TFolder *wa = window(a);
    TFolder *wb = window(b);
    TDbMedia *first = a->MediaList->Items[0];
    TDbMedia *third = a->MediaList->Items[2];
    wa->selectItems({third, first});
    LibraryDrag::begin(LibraryDrag::WindowSelection, a, wa->selectedItems(), wa);
    ASSERT_TRUE(wb->dropLibrary(1, false));
    LibraryDrag::end();
    EXPECT_EQ(titles(b), (QStringList{"b-0.wav", "a-2.wav", "a-0.wav", "b-1.wav"}));
    EXPECT_EQ(titles(a), (QStringList{"a-1.wav", "a-3.wav"}));
    EXPECT_EQ(folderIdOf(first), b->Rec.FolderId);
    EXPECT_EQ(wb->selectedItems(), (QList<TDbMedia *>{third, first}));
    QCoreApplication::processEvents();
    EXPECT_EQ(wa->statusHint(), "|2Media in this folder");

    // Copied back with Ctrl: the rows stay where they are and copies come in.
    wb->selectItems({first});
    LibraryDrag::begin(LibraryDrag::WindowSelection, b, wb->selectedItems(), wb);
    ASSERT_TRUE(wa->dropLibrary(0, true));
    LibraryDrag::end();
    EXPECT_EQ(titles(a).first(), "a-0.wav");
    EXPECT_NE(a->MediaList->Items[0], first);
    EXPECT_EQ(folderIdOf(first), b->Rec.FolderId);
}

TEST_F(FolderWindowTest, APlainClickOnAGroupLeavesTheClickedTileAlone)
{
    TDbFolder *a = folder("a", 4);
    TFolder *w = window(a);
    QList<TDbMedia *> &items = a->MediaList->Items;
    w->selectItems({items[0], items[1], items[2]});
    const QPoint centre = w->tileRectInView(1).center();
    QTest::mousePress(w->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(w->selectedItems().size(), 3) << "the group stays while a drag may start";
    QTest::mouseRelease(w->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(w->selectedItems(), (QList<TDbMedia *>{items[1]}));
}

// A real drag runs its own event loop; the drop hands its work to the main loop, which runs it
// only after that loop has returned and the drag's starter has said the drag is over.
TEST_F(FolderWindowTest, ADropStillMovesWhenTheDragEndsBeforeItsWorkRuns)
{
    TDbFolder *a = folder("a", 3);
    TDbFolder *b = folder("b", 1);
    TFolder *wa = window(a);
    TFolder *wb = window(b);
    TDbMedia *moving = a->MediaList->Items[1];
    wa->selectItems({moving});
    QMimeData *data = LibraryDrag::begin(LibraryDrag::WindowSelection, a, wa->selectedItems(), wa);
    const QPoint at = wb->tileRectInView(0).topLeft() + QPoint(2, 2);
    QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(wb->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(wb->viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(move.dropAction()); // as the drag hands on what the last move accepted
    QCoreApplication::sendEvent(wb->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    LibraryDrag::endAfterDrop(); // what follows QDrag::exec
    for (int i = 0; i < 5 && a->MediaList->Items.contains(moving); ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(titles(b), (QStringList{"a-1.wav", "b-0.wav"}));
    EXPECT_EQ(folderIdOf(moving), b->Rec.FolderId);
    EXPECT_EQ(LibraryDrag::current().kind, LibraryDrag::None) << "the drag is over once the drop is done";
    delete data;

    // A late end leaves a drag begun in the meantime alone.
    std::unique_ptr<QMimeData> first(LibraryDrag::begin(LibraryDrag::WindowSelection, b, {moving}, wb));
    LibraryDrag::endAfterDrop();
    QMimeData *next = LibraryDrag::begin(LibraryDrag::WindowSelection, b, {moving}, wb);
    QCoreApplication::processEvents();
    EXPECT_EQ(LibraryDrag::current().kind, LibraryDrag::WindowSelection);
    LibraryDrag::end();
    delete next;
}

TEST_F(FolderWindowTest, TheSearchDialogShowsEveryTabWhole)
{
    folder("a", 1);
    TDbKeyWordList keywords;
    TMedSearch dialog(host->roots(), keywords, src.ui);
    dialog.show();
    QCoreApplication::processEvents();
    auto *pages = dialog.findChild<QTabWidget *>("SearchPages");
    ASSERT_TRUE(pages);
    QTabBar *bar = pages->tabBar();
    ASSERT_GT(bar->count(), 1);
    for (int i = 0; i < bar->count(); ++i)
        EXPECT_LE(bar->tabRect(i).right(), bar->width()) << bar->tabText(i).toStdString();
    EXPECT_LE(bar->x() + bar->width(), pages->width());
}

TEST_F(FolderWindowTest, CutAndPasteAcrossFolders)
{
    TDbFolder *a = folder("a", 3);
    TDbFolder *b = folder("b", 1);
    TFolder *wa = window(a);
    TFolder *wb = window(b);
    TDbMedia *cut = a->MediaList->Items[1];
    wa->selectItems({cut});
    wa->Cut();
    EXPECT_EQ(titles(a), (QStringList{"a-0.wav", "a-2.wav"}));
    EXPECT_EQ(wa->lastSelected(), a->MediaList->Items[1]) << "the item now at the cut position";
    wb->UpdateMenuItems();
    EXPECT_TRUE(wb->action("MediaPaste")->isEnabled());
    wb->Paste();
    EXPECT_EQ(titles(b), (QStringList{"b-0.wav", "a-1.wav"}));
    TDbMedia *pasted = b->MediaList->Items[1];
    EXPECT_EQ(folderIdOf(pasted), b->Rec.FolderId);
    // Paste makes copies; the cut row goes when the clipboard lets go of it.
    const QString cutOid = cut->Rec.OID;
    host->roots().ClipboardClear(host->clipboard());
    Statement st(src.connection, QStringLiteral("select count(*) from MediaData where OID = ?"));
    st.bind(cutOid);
    st.execute();
    QStringList row;
    st.fetch(row);
    EXPECT_EQ(row.value(0), "0");
    EXPECT_EQ(folderIdOf(pasted), b->Rec.FolderId);
}

TEST_F(FolderWindowTest, FilesAndDirectoriesDroppedFromTheDesktop)
{
    TDbFolder *f = folder("drops", 0);
    TFolder *w = window(f);
    const QString file = src.writeFile("loose.wav", "RIFF");
    QDir(src.dir()).mkpath("holiday/day1");
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.save(src.dir() + "/holiday/beach.png");
    picture.save(src.dir() + "/holiday/day1/sea.png");
    EXPECT_TRUE(w->dropPaths({src.dir() + "/holiday", file}));
    EXPECT_EQ(titles(f), (QStringList{"holiday", "loose.wav"}));
    TDbFolder *holiday = f->MediaList->Items[0]->SubFolder;
    ASSERT_TRUE(holiday);
    EXPECT_EQ(titles(holiday), (QStringList{"beach.png", "day1"}));
    EXPECT_EQ(w->lastSelected(), f->MediaList->Items[1]);
}

TEST_F(FolderWindowTest, KeysMoveTheSelectionByTheSameRule)
{
    TDbFolder *f = folder("keys", 7);
    TFolder *w = window(f, false, QSize(300, 400));
    const int cols = w->layout().columns();
    ASSERT_GE(cols, 2);
    w->selectAt(cols + 1);
    QTest::keyClick(w, Qt::Key_Up);
    EXPECT_EQ(f->MediaList->indexOf(w->lastSelected()), 1);
    QTest::keyClick(w, Qt::Key_Down);
    EXPECT_EQ(f->MediaList->indexOf(w->lastSelected()), 1 + cols);
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w->selectedItems().size(), 7);
    QTest::keyClick(w, Qt::Key_Delete);
    EXPECT_EQ(host->commands, QStringList{"btnDelete"});
}

TEST_F(FolderWindowTest, ThumbnailsAreMadeOnlyForWhatIsInView)
{
    TDbFolder *f = host->roots().AddRootFolder("many", 80, 3, 100);
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    const QString path = src.dir() + "/p.png";
    picture.save(path);
    for (int i = 0; i < 400; ++i) {
        auto *m = new TDbMedia;
        m->Rec.Title = QString::number(i);
        m->Rec.MediaType = 5;
        m->Rec.MediaFile = path + QStringLiteral("?%1").arg(i); // a key of its own each
        m->Owner = f;
        m->RefCount = 1;
        f->MediaList->Items << m;
    }
    ThumbnailCache &cache = ThumbnailCache::shared();
    std::atomic<int> made{0};
    cache.setMaker([&made](const QString &, int, bool, QSize size) {
        ++made;
        QImage img(size, QImage::Format_RGB32);
        img.fill(Qt::green);
        return img;
    });
    TFolder *w = window(f, false, QSize(400, 300));
    QTest::qWait(100);
    cache.waitForDone();
    // Four columns, three rows in view, and a screen above and below.
    EXPECT_GT(made.load(), 0);
    EXPECT_LT(made.load(), 60);
    const int before = made.load();
    w->verticalScrollBar()->setValue(w->verticalScrollBar()->maximum());
    QTest::qWait(100);
    cache.waitForDone();
    EXPECT_GT(made.load(), before);
    EXPECT_LT(made.load(), 120);
    cache.setMaker({});
    windows.clear();
    for (TDbMedia *m : f->MediaList->Items)
        m->RefCount = 0;
}

// A tree view learns of a node's new expander only from an inserted row.
TEST_F(FolderWindowTest, AFolderThatGetsItsFirstItemTellsTheTreeOfIt)
{
    TDbFolder *a = folder("a", 1);
    TDbFolder *empty = folder("empty", 0);
    TFolderdExplorer explorer(*host);
    explorer.show();
    QCoreApplication::processEvents();
    LibraryTreeModel *m = explorer.model();
    const QModelIndex node = m->indexOfFolder(empty);
    EXPECT_FALSE(m->hasChildren(node));
    QSignalSpy inserted(m, &QAbstractItemModel::rowsInserted);
    ASSERT_FALSE(host->roots().CopyItems({a->MediaList->Items[0]}, empty, 0).isEmpty());
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][0].value<QModelIndex>(), node);
    EXPECT_TRUE(m->hasChildren(node));
    EXPECT_EQ(m->rowCount(node), 1);
    // The second goes in beside it, read once.
    ASSERT_FALSE(host->roots().CopyItems({a->MediaList->Items[0]}, empty, 1).isEmpty());
    EXPECT_EQ(m->rowCount(node), 2);
    EXPECT_EQ(titles(empty), (QStringList{"a-0.wav", "a-0.wav"}));
}

TEST_F(FolderWindowTest, TheExplorerFollowsTheLibraryAndItsRules)
{
    TDbFolder *a = folder("a", 2);
    TDbFolder *b = folder("b", 1);
    TFolderdExplorer explorer(*host);
    LibraryTreeModel *m = explorer.model();
    ASSERT_EQ(m->rowCount(), 2);
    const QModelIndex ai = m->indexOfFolder(a);
    EXPECT_EQ(m->rowCount(ai), 2);
    // A new item shows at its place.
    TDbMedia *sub = host->roots().AddSubFolder(a, "sub", 80, 100, 3);
    EXPECT_EQ(m->rowCount(ai), 3);
    EXPECT_EQ(m->data(m->index(2, 0, ai)).toString(), "sub");

    // An empty title is refused with the message and the old title stays.
    EXPECT_FALSE(m->setData(ai, QString()));
    EXPECT_EQ(src.ui.messages.value(0), "Folder title cannot be empty!");
    EXPECT_EQ(a->Rec.Title, "a");
    ASSERT_TRUE(m->setData(m->indexOfItem(sub), QStringLiteral("renamed")));
    EXPECT_EQ(sub->SubFolder->Rec.Title, "renamed");

    // The drop rule: media only on a media node; folders beside a node, not onto its label.
    using P = TFolderdExplorer::DropPlace;
    const QModelIndex media = m->index(0, 0, ai);
    const QModelIndex subNode = m->indexOfItem(sub);
    const QModelIndex root = m->indexOfFolder(b);
    struct Case
    {
        const char *name;
        LibraryDrag::Kind kind;
        QModelIndex at;
        P place;
        bool allowed;
    };
    const Case cases[] = {
        {"media onto a media node", LibraryDrag::WindowSelection, media, P::OnItem, true},
        {"media onto a folder's label", LibraryDrag::WindowSelection, root, P::OnFolder, false},
        {"media beside a folder", LibraryDrag::ExplorerItem, root, P::Beside, false},
        {"a root folder beside a root folder", LibraryDrag::RootFolder, root, P::Beside, true},
        {"a root folder onto a folder's label", LibraryDrag::RootFolder, root, P::OnFolder, false},
        {"a subfolder beside a subfolder node", LibraryDrag::ExplorerItem, subNode, P::Beside, true},
        {"a window's subfolder tile beside a root folder", LibraryDrag::WindowSelection, root, P::Beside,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool folderDrag = c.kind == LibraryDrag::RootFolder;
        const bool subDrag = QString(c.name).contains("subfolder");
        LibraryDrag::begin(c.kind, folderDrag ? a : nullptr,
                           folderDrag ? QList<TDbMedia *>{}
                                      : QList<TDbMedia *>{subDrag ? sub : b->MediaList->Items[0]},
                           nullptr);
        EXPECT_EQ(explorer.canDrop(c.at, c.place), c.allowed);
        LibraryDrag::end();
    }

    // A media item dropped on a media node lands right after it, in that node's folder.
    TDbMedia *moving = b->MediaList->Items[0];
    LibraryDrag::begin(LibraryDrag::ExplorerItem, nullptr, {moving}, nullptr);
    ASSERT_TRUE(explorer.drop(media, P::OnItem, false));
    LibraryDrag::end();
    EXPECT_EQ(a->MediaList->indexOf(moving), 1);
    EXPECT_EQ(m->rowCount(m->indexOfFolder(b)), 0);
    EXPECT_EQ(m->data(m->index(1, 0, m->indexOfFolder(a))).toString(), "b-0.wav");

    // A root folder dropped beside another goes after it at the root level.
    LibraryDrag::begin(LibraryDrag::RootFolder, a, {}, nullptr);
    ASSERT_TRUE(explorer.drop(m->indexOfFolder(b), P::Beside, false));
    LibraryDrag::end();
    EXPECT_EQ(host->roots().Folders, (QList<TDbFolder *>{b, a}));
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), "b");
}

} // namespace

namespace {

// Another program on the same data source imports into an open folder and makes a folder: the
// window shows the new tiles and the explorer the new node, with the selection and the scroll
// position where they were; a folder it deletes leaves its window showing nothing.
TEST_F(FolderWindowTest, WindowAndExplorerFollowAnotherProgramKeepingSelectionAndScroll)
{
    TDbFolder *f = folder("shared", 12);
    TFolder *w = window(f, false, QSize(200, 150));
    TFolderdExplorer explorer(*host);
    explorer.show();
    const QModelIndex node = explorer.model()->indexOfFolder(f);
    explorer.tree()->setCurrentIndex(node);
    w->selectAt(3);
    w->verticalScrollBar()->setValue(w->verticalScrollBar()->maximum() / 2);
    const int scrolled = w->verticalScrollBar()->value();
    TDbMedia *selected = w->lastSelected();
    ASSERT_NE(selected, nullptr);

    Connection other;
    other.setUi(&src.ui);
    ASSERT_EQ(other.connect(src.configPath(), src.name(), "SYSADM", ""), vkdb::DbOk);
    TDbFolderList vkctl(other);
    ASSERT_TRUE(vkctl.Load(80, 100, 3));
    LiveRefresh refresh(host->roots());
    refresh.start();
    int mode = 1;
    for (int i = 0; i < 2; ++i)
        ASSERT_NE(vkctl.InsertMediaFile(vkctl.FindFolderByOid(f->Rec.OID),
                                        src.writeFile(QStringLiteral("new-%1.wav").arg(i), "RIFF"), mode),
                  nullptr);
    ASSERT_NE(vkctl.AddRootFolder("made elsewhere", 80, 3, 100), nullptr);
    ASSERT_TRUE(refresh.poll());
    QCoreApplication::processEvents();

    EXPECT_EQ(w->layout().count, 14);
    EXPECT_EQ(w->selectedItems(), QList<TDbMedia *>{selected});
    EXPECT_EQ(w->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(w->statusHint(), "|14" + vkMessage("MediaInThisFolder"));
    LibraryTreeModel *model = explorer.model();
    const QModelIndex last = model->index(model->rowCount() - 1, 0);
    EXPECT_EQ(model->data(last).toString(), "made elsewhere");
    EXPECT_EQ(explorer.tree()->currentIndex(), model->indexOfFolder(f));
    EXPECT_EQ(model->rowCount(model->indexOfFolder(f)), 14);

    // Renamed elsewhere: the caption and the node follow.
    TDbFolder *theirs = vkctl.FindFolderByOid(f->Rec.OID);
    theirs->Rec.Title = "renamed";
    theirs->Changed = FolderTitle;
    ASSERT_TRUE(theirs->Update(other));
    ASSERT_TRUE(refresh.poll());
    EXPECT_EQ(w->windowTitle(), "renamed");
    EXPECT_EQ(model->data(model->indexOfFolder(f)).toString(), "renamed");

    ASSERT_TRUE(vkctl.RemoveRootFolder(theirs));
    ASSERT_TRUE(refresh.poll());
    QCoreApplication::processEvents();
    EXPECT_EQ(w->folder(), nullptr);
    EXPECT_EQ(model->rowCount(), int(host->roots().Folders.size()));
}

} // namespace
