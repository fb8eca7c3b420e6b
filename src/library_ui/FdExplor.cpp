#include "FdExplor.h"

#include "Connection.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "Icons.h"
#include "LibraryDrag.h"
#include "LibraryTreeModel.h"
#include "Messages.h"
#include "UiServices.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace vk {

// The tree view with the explorer's drag and drop and keys.
class TFolderdExplorer::Tree : public QTreeView
{
public:
    Tree(TFolderdExplorer &explorer, QWidget *parent) : QTreeView(parent), m_explorer(explorer)
    {
        setHeaderHidden(true);
        setIndentation(19);
        setDragEnabled(true);
        setAcceptDrops(true);
        setDropIndicatorShown(true);
        setDragDropMode(QAbstractItemView::DragDrop);
        setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setUniformRowHeights(true);
        m_scroll.setInterval(200);
        connect(&m_scroll, &QTimer::timeout, this,
                [this] { verticalScrollBar()->setValue(verticalScrollBar()->value() + m_scrollBy); });
    }

    bool editing() const { return state() == QAbstractItemView::EditingState; }

    // Where a point lies on its node: on the expand button or in the indentation, or on the label.
    DropPlace placeAt(QPoint p, QModelIndex *at) const
    {
        *at = indexAt(p);
        if (!at->isValid())
            return DropPlace::OnFolder;
        const bool beside = p.x() < visualRect(*at).left();
        if (beside)
            return DropPlace::Beside;
        return m_explorer.model()->openedFolder(*at) ? DropPlace::OnFolder : DropPlace::OnItem;
    }

protected:
    void startDrag(Qt::DropActions) override
    {
        const QModelIndex at = currentIndex();
        if (!at.isValid())
            return;
        LibraryTreeModel *m = m_explorer.model();
        QMimeData *data = m->folderAt(at)
                              ? LibraryDrag::begin(LibraryDrag::RootFolder, m->folderAt(at), {}, this)
                              : LibraryDrag::begin(LibraryDrag::ExplorerItem, nullptr, {m->itemAt(at)}, this);
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        const bool copy = QApplication::keyboardModifiers() & Qt::ControlModifier;
        drag->exec(Qt::MoveAction | Qt::CopyAction, copy ? Qt::CopyAction : Qt::MoveAction);
        LibraryDrag::endAfterDrop();
    }
    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (LibraryDrag::isLibraryDrag(event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dragMoveEvent(QDragMoveEvent *event) override
    {
        QModelIndex at;
        const DropPlace place = placeAt(event->position().toPoint(), &at);
        // Near the top or the bottom the tree scrolls.
        const int y = event->position().toPoint().y();
        m_scrollBy = y < 20 ? -1 : (y > viewport()->height() - 60 ? 1 : 0);
        if (m_scrollBy != 0 && !m_scroll.isActive())
            m_scroll.start();
        else if (m_scrollBy == 0)
            m_scroll.stop();
        if (LibraryDrag::isLibraryDrag(event->mimeData()) && m_explorer.canDrop(at, place)) {
            event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction
                                                                            : Qt::MoveAction);
            event->accept(visualRect(at));
        } else {
            event->ignore(visualRect(at));
        }
    }
    void focusInEvent(QFocusEvent *event) override
    {
        QTreeView::focusInEvent(event);
        // Reached with the keys (Tab, or the focus coming back) the explorer is the active view.
        m_explorer.m_host.viewActivated(&m_explorer);
    }
    void dragLeaveEvent(QDragLeaveEvent *event) override
    {
        m_scroll.stop();
        QTreeView::dragLeaveEvent(event);
    }
    void dropEvent(QDropEvent *event) override
    {
        m_scroll.stop();
        QModelIndex at;
        const DropPlace place = placeAt(event->position().toPoint(), &at);
        if (!LibraryDrag::isLibraryDrag(event->mimeData()) || !m_explorer.canDrop(at, place)) {
            event->ignore();
            return;
        }
        const bool copy = (event->modifiers() & Qt::ControlModifier) || event->dropAction() == Qt::CopyAction;
        event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
        event->accept();
        const QPersistentModelIndex target(at);
        QMetaObject::invokeMethod(
            this, [this, target, place, copy] { m_explorer.drop(target, place, copy); },
            Qt::QueuedConnection);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (state() != QAbstractItemView::EditingState) {
            if (event->key() == Qt::Key_Delete) {
                m_explorer.Delete();
                return;
            }
            if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
                m_explorer.Property();
                return;
            }
        }
        QTreeView::keyPressEvent(event);
    }

private:
    TFolderdExplorer &m_explorer;
    QTimer m_scroll;
    int m_scrollBy = 0;
};

TFolderdExplorer::TFolderdExplorer(FolderWindowHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setWindowTitle(QStringLiteral("Folder Explorer"));
    resize(250, 350);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    m_toolBar = new QToolBar(this);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->hide();
    layout->addWidget(m_toolBar);
    m_model = new LibraryTreeModel(host.roots(), this);
    m_model->renamer = [this](const QModelIndex &index, const QString &title) {
        return Rename(index, title);
    };
    m_tree = new Tree(*this, this);
    m_tree->setModel(m_model);
    layout->addWidget(m_tree);

    m_toolBar->addAction(makeAction("BtDel", "Remove", "delete", "Remove|Remove Folder, SubFolder or Media"));
    m_toolBar->addAction(makeAction("BtNew", "New", "folder-new", "New|New Folder"));
    m_toolBar->addAction(
        makeAction("BtnNewSub", "New SubFolder", "folder-sub", "New SubFolder|New SubFolder"));
    m_toolBar->addAction(makeAction("BtNewMedia", "Import Media", "media-import", "Import Media"));
    m_toolBar->addAction(makeAction("BtOpen", "Open", "folder-open", "Open|Open Folder"));
    m_toolBar->addAction(makeAction("BtProperty", "Property", "properties", "Property|Show Property"));
    m_toolBar->addAction(makeAction("SortMediaBtn", "Sort", "sort-media", "Sort|Sort media and SubFolders"));
    m_toolBar->addAction(
        makeAction("SortFolder", "Folders Sort", "sort-folders", "Folders Sort|Sort Folders on Level One"));
    connect(action("BtDel"), &QAction::triggered, this, &TFolderdExplorer::Delete);
    connect(action("BtNew"), &QAction::triggered, this, &TFolderdExplorer::NewFolder);
    connect(action("BtnNewSub"), &QAction::triggered, this, &TFolderdExplorer::NewSubFolder);
    connect(action("BtNewMedia"), &QAction::triggered, this, [this] {
        TDbFolder *target = targetFolder();
        if (!target)
            return;
        const QStringList files =
            QFileDialog::getOpenFileNames(this, QStringLiteral("Import Media"), QString(), QString(), nullptr,
                                          QFileDialog::DontUseNativeDialog);
        if (!files.isEmpty())
            m_host.importPaths(target, files);
    });
    connect(action("BtOpen"), &QAction::triggered, this, &TFolderdExplorer::Open);
    connect(action("BtProperty"), &QAction::triggered, this, &TFolderdExplorer::Property);
    connect(action("SortMediaBtn"), &QAction::triggered, this, &TFolderdExplorer::SortMedia);
    connect(action("SortFolder"), &QAction::triggered, this, &TFolderdExplorer::SortFolders);

    m_mediaMenu = new QMenu(this);
    m_folderMenu = new QMenu(this);
    m_treeMenu = new QMenu(this);
    auto add = [this](QMenu *menu, const char *name, const char *text, const QKeySequence &keys = {}) {
        QAction *a = makeAction(QLatin1String(name), QLatin1String(text));
        if (!keys.isEmpty())
            a->setShortcut(keys);
        menu->addAction(a);
        return a;
    };
    connect(add(m_mediaMenu, "imuMediaProperty", "&Property..."), &QAction::triggered, this,
            &TFolderdExplorer::Property);
    connect(add(m_mediaMenu, "imuMediaPropertyEditor", "Property &Editor..."), &QAction::triggered, this,
            &TFolderdExplorer::PropertyEditor);
    connect(add(m_mediaMenu, "imuMediaDelete", "&Delete"), &QAction::triggered, this,
            &TFolderdExplorer::Delete);
    connect(add(m_mediaMenu, "imuMeidaCopy", "&Copy", QKeySequence::Copy), &QAction::triggered, this,
            &TFolderdExplorer::Copy);
    connect(add(m_mediaMenu, "imuMediaCut", "C&ut", QKeySequence::Cut), &QAction::triggered, this,
            &TFolderdExplorer::Cut);
    connect(add(m_mediaMenu, "imuMediaPaste", "Pas&te", QKeySequence::Paste), &QAction::triggered, this,
            &TFolderdExplorer::Paste);
    connect(add(m_folderMenu, "imuFolderProperty", "&Property..."), &QAction::triggered, this,
            &TFolderdExplorer::Property);
    connect(add(m_folderMenu, "imuFolderPropertyEditor", "Property &Editor..."), &QAction::triggered, this,
            &TFolderdExplorer::PropertyEditor);
    connect(add(m_folderMenu, "imuFolderOpen", "&Open"), &QAction::triggered, this, &TFolderdExplorer::Open);
    connect(add(m_folderMenu, "imuFolderDelete", "&Delete"), &QAction::triggered, this,
            &TFolderdExplorer::Delete);
    connect(add(m_folderMenu, "imuSortMedia", "&Sort Media"), &QAction::triggered, this,
            &TFolderdExplorer::SortMedia);
    connect(add(m_folderMenu, "imuFolderCopy", "Copy"), &QAction::triggered, this, &TFolderdExplorer::Copy);
    connect(add(m_folderMenu, "imuFolderCut", "Cut"), &QAction::triggered, this, &TFolderdExplorer::Cut);
    connect(add(m_folderMenu, "imuFolderPaste", "Paste", QKeySequence::Paste), &QAction::triggered, this,
            &TFolderdExplorer::Paste);
    QAction *dock = add(m_treeMenu, "Dock", "Dock");
    dock->setCheckable(true);
    dock->setChecked(true);
    connect(add(m_treeMenu, "muiSortFolder", "Sort MainFolder"), &QAction::triggered, this,
            &TFolderdExplorer::SortFolders);
    QAction *speed = add(m_treeMenu, "muiSpeedButtons", "Speed Buttons");
    speed->setCheckable(true);
    connect(speed, &QAction::toggled, m_toolBar, &QWidget::setVisible);
    // The keys work while the explorer has the focus.
    for (const char *name : {"imuMeidaCopy", "imuMediaCut", "imuMediaPaste"}) {
        action(QLatin1String(name))->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action(QLatin1String(name)));
    }

    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &TFolderdExplorer::popup);
    connect(m_tree, &QAbstractItemView::pressed, this, &TFolderdExplorer::pressed);
    connect(m_tree, &QAbstractItemView::doubleClicked, this, &TFolderdExplorer::doubleClicked);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        UpdateMenuItems();
        // A node reached with the keys is what the frame's commands act on.
        if (m_tree->hasFocus())
            m_host.viewActivated(this);
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { UpdateMenuItems(); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateMenuItems(); });
    UpdateMenuItems();
}

TFolderdExplorer::~TFolderdExplorer() = default;

QAction *TFolderdExplorer::makeAction(const QString &name, const QString &text, const QString &icon,
                                      const QString &hint)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    if (!icon.isEmpty())
        a->setIcon(vkIcon(icon));
    if (!hint.isEmpty()) {
        a->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
        a->setStatusTip(hint.section(QLatin1Char('|'), -1));
    }
    m_actions.insert(name, a);
    return a;
}

int TFolderdExplorer::selectedLevel() const
{
    const QModelIndex at = m_tree->currentIndex();
    if (!at.isValid())
        return -1;
    int level = 0;
    for (QModelIndex p = at.parent(); p.isValid(); p = p.parent())
        ++level;
    return level;
}

TDbFolder *TFolderdExplorer::selectedFolder() const
{
    return m_model->folderAt(m_tree->currentIndex());
}

TDbMedia *TFolderdExplorer::selectedItem() const
{
    return m_model->itemAt(m_tree->currentIndex());
}

void TFolderdExplorer::SelectedNode(TDbFolder *folder, TDbMedia *item)
{
    const QModelIndex at = item ? m_model->indexOfItem(item) : m_model->indexOfFolder(folder);
    if (!at.isValid())
        return;
    m_tree->setCurrentIndex(at);
    m_tree->scrollTo(at);
}

void TFolderdExplorer::reload()
{
    m_model->reload();
    UpdateMenuItems();
}

// The folder the selected node stands for, for commands that put something into a folder: a
// root folder, a subfolder, or the folder holding a media item.
TDbFolder *TFolderdExplorer::targetFolder() const
{
    const QModelIndex at = m_tree->currentIndex();
    if (TDbFolder *f = m_model->openedFolder(at))
        return f;
    return m_model->ownerOf(at);
}

void TFolderdExplorer::pressed(const QModelIndex &index)
{
    EditingLabel = false;
    // The folder windows follow: a root folder's window comes forward, an item is selected alone
    // in its folder's window.
    if (TDbFolder *f = m_model->folderAt(index))
        m_host.followExplorer(f, nullptr);
    else if (TDbMedia *item = m_model->itemAt(index))
        m_host.followExplorer(item->Owner, item);
    m_host.viewActivated(this);
    UpdateMenuItems();
}

void TFolderdExplorer::doubleClicked(const QModelIndex &index)
{
    if (TDbFolder *f = m_model->openedFolder(index))
        m_host.openFolder(f);
    else if (TDbMedia *item = m_model->itemAt(index))
        m_host.showProperties(item->MirrorOf ? item->MirrorOf : item, nullptr);
}

void TFolderdExplorer::popup(const QPoint &pos)
{
    const QModelIndex at = m_tree->indexAt(pos);
    if (at.isValid())
        m_tree->setCurrentIndex(at);
    UpdateMenuItems();
    QMenu *menu = !at.isValid() ? m_treeMenu : (m_model->openedFolder(at) ? m_folderMenu : m_mediaMenu);
    menu->popup(m_tree->viewport()->mapToGlobal(pos));
}

// ---------------------------------------------------------------------------------------------
// Commands

void TFolderdExplorer::NewFolder()
{
    TDbFolder *f = m_host.roots().AddRootFolder(vkMessage("NewFolderTitle"), m_host.roots().DefaultWidth,
                                                m_host.roots().DefaultBorder, m_host.roots().DefaultHeight);
    if (!f)
        return;
    const QModelIndex at = m_model->indexOfFolder(f);
    m_tree->setCurrentIndex(at);
    m_tree->edit(at);
    EditingLabel = true;
}

void TFolderdExplorer::NewSubFolder()
{
    TDbFolder *parent = targetFolder();
    if (!parent)
        return;
    TDbFolderList &roots = m_host.roots();
    TDbMedia *tile = roots.AddSubFolder(parent, vkMessage("NewFolderTitle"), roots.DefaultWidth,
                                        roots.DefaultHeight, roots.DefaultBorder);
    if (!tile)
        return;
    const QModelIndex at = m_model->indexOfItem(tile);
    m_tree->setCurrentIndex(at);
    m_tree->edit(at);
    EditingLabel = true;
}

void TFolderdExplorer::Delete()
{
    const QModelIndex at = m_tree->currentIndex();
    if (!at.isValid() || static_cast<Tree *>(m_tree)->editing())
        return;
    TDbFolderList &roots = m_host.roots();
    UiServices &ui = m_host.ui();
    const QString title = m_model->data(at).toString();
    const QString suffix = QStringLiteral("\n\r'") + title + QLatin1Char('\'');
    if (TDbFolder *f = m_model->folderAt(at)) {
        if (ui.askYesNo(vkMessage("DeleteFolderQuestion") + suffix))
            roots.RemoveRootFolder(f);
    } else if (TDbMedia *item = m_model->itemAt(at)) {
        const QString question =
            item->SubFolder ? vkMessage("DeleteFolderQuestion") : vkMessage("RemoveMediaQuestion");
        if (ui.askYesNo(question + suffix))
            roots.RemoveMedia(item);
    }
    UpdateMenuItems();
    m_host.viewActivated(this);
}

void TFolderdExplorer::Open()
{
    if (TDbFolder *f = m_model->openedFolder(m_tree->currentIndex()))
        m_host.openFolder(f);
}

void TFolderdExplorer::Property()
{
    const QModelIndex at = m_tree->currentIndex();
    if (TDbFolder *f = m_model->openedFolder(at))
        m_host.showProperties(nullptr, f);
    else if (TDbMedia *item = m_model->itemAt(at))
        m_host.showProperties(item->MirrorOf ? item->MirrorOf : item, nullptr);
}

void TFolderdExplorer::PropertyEditor()
{
    const QModelIndex at = m_tree->currentIndex();
    if (TDbFolder *f = m_model->openedFolder(at))
        m_host.showInEditor(nullptr, f);
    else if (TDbMedia *item = m_model->itemAt(at))
        m_host.showInEditor(item->MirrorOf ? item->MirrorOf : item, nullptr);
}

void TFolderdExplorer::Copy()
{
    const QModelIndex at = m_tree->currentIndex();
    if (!at.isValid())
        return;
    m_host.clearClipboard();
    if (TDbFolder *f = m_model->folderAt(at))
        m_host.roots().ClipboardAdd(m_host.clipboard(), f);
    else if (TDbMedia *item = m_model->itemAt(at))
        m_host.roots().ClipboardAdd(m_host.clipboard(), item);
    UpdateMenuItems();
}

void TFolderdExplorer::Cut()
{
    const QModelIndex at = m_tree->currentIndex();
    if (!at.isValid())
        return;
    TDbFolderList &roots = m_host.roots();
    m_host.clearClipboard();
    if (TDbFolder *f = m_model->folderAt(at)) {
        roots.ClipboardAdd(m_host.clipboard(), f);
        roots.DetachRootFolder(f, true);
    } else if (TDbMedia *item = m_model->itemAt(at)) {
        roots.ClipboardAdd(m_host.clipboard(), item);
        roots.Detach(item, true);
    }
    UpdateMenuItems();
}

void TFolderdExplorer::Paste()
{
    const QModelIndex at = m_tree->currentIndex();
    TDbFolder *target = m_model->openedFolder(at);
    int position = target && target->MediaList ? target->MediaList->count() : 0;
    if (!target) {
        TDbMedia *item = m_model->itemAt(at);
        if (!item || !item->Owner)
            return;
        target = item->Owner;
        position = target->MediaList->indexOf(item) + 1;
    }
    TDbFolderList &roots = m_host.roots();
    int refused = 0;
    const TSelectedList entries = m_host.clipboard();
    for (const ClipboardEntry &e : entries) {
        if (e.IsObject) {
            ++refused;
            continue;
        }
        if (e.Kind == FolderKind) {
            if (roots.CopyFolderInto(e.Folder, target, position))
                ++position;
            continue;
        }
        position += int(roots.CopyItems({e.Media}, target, position).size());
    }
    if (refused)
        m_host.ui().showMessage(vkMessage("ObjectsCannotSaveAsMedia"));
    UpdateMenuItems();
}

void TFolderdExplorer::SortFolders()
{
    m_host.runCommand(QStringLiteral("btnFolderSort"));
}

void TFolderdExplorer::SortMedia()
{
    if (TDbFolder *f = targetFolder()) {
        SelectedNode(f, nullptr);
        m_host.runCommand(QStringLiteral("btnMediaSort"));
    }
}

bool TFolderdExplorer::Rename(const QModelIndex &index, const QString &title)
{
    TDbFolderList &roots = m_host.roots();
    Connection &c = roots.connection();
    EditingLabel = false;
    if (TDbFolder *f = m_model->openedFolder(index)) {
        if (title.isEmpty()) {
            m_host.ui().showMessage(vkMessage("FolderTitleEmpty"));
            // The old title stays, and the label is edited again.
            const QPersistentModelIndex again(index);
            QTimer::singleShot(0, this, [this, again] {
                if (!again.isValid())
                    return;
                m_tree->setCurrentIndex(again);
                m_tree->edit(again);
                EditingLabel = true;
            });
            return false;
        }
        if (title == f->Rec.Title)
            return false;
        const QString old = f->Rec.Title;
        f->Rec.Title = title;
        f->Changed = FolderTitle;
        if (!f->Update(c)) {
            f->Rec.Title = old;
            return false;
        }
        if (f->Tile)
            CopyFolderToTile(f, f->Tile);
        m_host.folderChanged(f);
        m_host.viewActivated(this);
        return true;
    }
    TDbMedia *item = m_model->itemAt(index);
    if (!item || title == item->Rec.Title || title.isEmpty())
        return false;
    const QString old = item->Rec.Title;
    item->Rec.Title = title;
    item->Changed = MediaTitle;
    if (!item->Update(c, false)) {
        item->Rec.Title = old;
        return false;
    }
    m_host.folderChanged(item->Owner);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Drops

bool TFolderdExplorer::canDrop(const QModelIndex &at, DropPlace place) const
{
    const LibraryDrag &drag = LibraryDrag::current();
    if (!at.isValid() || drag.kind == LibraryDrag::None)
        return false;
    const bool onItem = place == DropPlace::OnItem;
    bool beside = place == DropPlace::Beside;
    // A subfolder's tile from a folder window is not put at the root level.
    if (beside && m_model->folderAt(at) && drag.kind == LibraryDrag::WindowSelection)
        beside = false;
    bool mediaSource = false;
    if (drag.kind != LibraryDrag::RootFolder)
        for (const TDbMedia *m : drag.items)
            if (!m->SubFolder)
                mediaSource = true;
    return (beside && !mediaSource) || onItem;
}

bool TFolderdExplorer::drop(const QModelIndex &at, DropPlace place, bool copy)
{
    if (!canDrop(at, place))
        return false;
    const LibraryDrag drag = LibraryDrag::current();
    TDbFolderList &roots = m_host.roots();
    bool done = false;
    if (TDbFolder *root = m_model->folderAt(at)) {
        // Beside a root folder: the root level, right after it.
        done = DropAtRoot(roots, drag, int(roots.Folders.indexOf(root)) + 1, copy);
    } else if (TDbMedia *item = m_model->itemAt(at); item && item->Owner) {
        // On a media node, or beside a subfolder node: its folder, right after it.
        TDbFolder *target = item->Owner;
        done = DropIntoFolder(roots, drag, target, target->MediaList->indexOf(item) + 1, copy);
    }
    UpdateMenuItems();
    return done;
}

void TFolderdExplorer::UpdateMenuItems()
{
    const QModelIndex at = m_tree->currentIndex();
    const bool selected = at.isValid();
    const bool hasRoots = !m_host.roots().Folders.isEmpty();
    action("BtNew")->setEnabled(true);
    action("BtnNewSub")->setEnabled(true);
    action("BtDel")->setEnabled(selected);
    action("BtNewMedia")->setEnabled(selected);
    action("BtProperty")->setEnabled(selected);
    action("SortFolder")->setEnabled(hasRoots);
    action("SortMediaBtn")->setEnabled(hasRoots);
    action("BtOpen")->setEnabled(m_model->openedFolder(at) != nullptr);
    const bool pasteable = !m_host.clipboard().isEmpty();
    action("imuMediaPaste")->setEnabled(pasteable);
    action("imuFolderPaste")->setEnabled(pasteable);
}

} // namespace vk
