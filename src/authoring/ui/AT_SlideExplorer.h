// The slide explorer ("Slide Explorer"): every ClearBook, its slides and their objects as a
// three-level tree, docked beside the workspace. The person opens, deletes, renames and
// rearranges slides and objects here; each action goes to the ClearBook list's operations or,
// for the open slide, to the edited slide's requests. The tree follows both models through
// their hooks; a ClearBook's slides and a slide's objects are read when its node first opens.
#pragma once

#include "AT_DbClearbook.h"
#include "ChildWindow.h"
#include "SlideExplorerRules.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QWidget>

class QMenu;
class QTreeView;

namespace vk {

class TAuthorMain;

// The tree over the ClearBook list. A node's internal pointer is the node; its model object
// is a TDbClearBook, TDbSlide or TDbObject by its level.
class SlideTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    struct Node
    {
        NodeLevel level = NodeLevel::None;
        void *item = nullptr;
        Node *parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        bool fetched = false;
    };

    explicit SlideTreeModel(TDbClearBookList &books, QObject *parent = nullptr);
    ~SlideTreeModel() override;

    // The mime type of a node dragged within the tree.
    static constexpr const char *MimeType = "application/x-vellumark-slide-node";

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &) const override { return 1; }
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction | Qt::CopyAction; }
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    NodeLevel levelOf(const QModelIndex &index) const;
    TDbClearBook *clearBookOf(const QModelIndex &index) const;
    TDbSlide *slideOf(const QModelIndex &index) const;
    TDbObject *objectOf(const QModelIndex &index) const;
    QModelIndex indexOf(const void *item) const;

    // The hooks of the models, which keep the tree in step.
    void clearBookAdded(TDbClearBook *cb);
    void clearBookRemoved(TDbClearBook *cb);
    void clearBookRefreshed(TDbClearBook *cb);
    void slideInserted(TDbSlide *s, int position);
    void slideRemoved(TDbSlide *s);
    void slideRefreshed(TDbSlide *s);
    // A node and its children go (an object about to be freed).
    void removeItem(const void *item);
    // Everything read again (after an undo of the open slide, or a reload).
    void rebuild();

    // What a drop does; the explorer carries it out.
    std::function<bool(const QMimeData *, Qt::DropAction, NodeLevel, const QModelIndex &target, int row)> dropped;
    // What a rename asks for; the explorer carries it out.
    std::function<bool(const QModelIndex &, const QString &)> renamed;

private:
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOfNode(const Node *node) const;
    Node *find(const void *item) const;
    void fill(Node *node);
    DragSource sourceOf(const QMimeData *data, bool *folderNodeIsMedia) const;

    TDbClearBookList &m_books;
    Node m_root;
};

class TSlideExplorer : public QWidget, public AuthoringViews, public ChildWindow
{
    Q_OBJECT
public:
    TSlideExplorer(TAuthorMain &author, QWidget *parent = nullptr);
    ~TSlideExplorer() override;

    ViewKind viewKind() const override { return ViewKind::SlideExplorer; }

    QTreeView *tree() const { return m_tree; }
    SlideTreeModel *model() const { return m_model; }

    // The selected node: its level and model object (none when nothing is selected).
    NodeLevel selectedLevel() const;
    TDbClearBook *selectedClearBook() const; // a ClearBook node
    TDbSlide *selectedSlide() const;         // a slide node
    TDbObject *selectedObject() const;       // an object node
    void select(const void *item);
    // Whether the explorer is the view the person works in now (it had the focus last of the
    // authoring views).
    bool isActiveView() const { return m_active; }

    // The drop itself, as a drag onto the tree ends in it (tests call these directly).
    // A slide to a place of a ClearBook (copy: a stored copy there).
    bool DropSlide(TDbSlide *slide, TDbClearBook *target, int place, bool copy);
    // Objects into a slide at a design position; from the open slide, or onto it, through
    // the edited slide's requests.
    bool DropObjects(const QList<TDbObject *> &objects, TDbSlide *target, int position, bool copy,
                     QPoint dropPoint = NoDropPoint);
    // Library media as new objects of a slide.
    bool DropMedia(const QList<TDbMedia *> &items, TDbSlide *target, int position);

    // An object to the top or the bottom of its slide's stack (the open slide's as a step of
    // its history).
    bool Restack(TDbObject *o, bool toFront);

    // The node commands (the popups and keys run them).
    void NodeOpenClick();
    void NodeDeleteClick();
    void NodeRenameClick();
    void NodePropertyClick();
    void NodeCloseClick();

    // AuthoringViews: the models' hooks.
    void clearBookAdded(TDbClearBook *cb) override;
    void clearBookRemoved(TDbClearBook *cb) override;
    void clearBookRefreshed(TDbClearBook *cb) override;
    void slideInserted(TDbSlide *s, int position) override;
    void slideRemoved(TDbSlide *s) override;
    void slideRefreshed(TDbSlide *s) override;
    void objectInserted(TDbObject *o, int position) override;
    void objectRemoved(TDbObject *o) override;

signals:
    // The explorer's Play on a slide node: disabled until the player is connected
    // (setPlayEnabled), then emitted with the slide.
    void playRequested(vk::TDbSlide *slide);
    // The selected node changed, or the explorer became or stopped being the active view.
    void selectionChanged();
    void activated();

public slots:
    void setPlayEnabled(bool on) { m_playEnabled = on; }

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void popupFor(const QModelIndex &index, QPoint globalPos);
    bool drop(const QMimeData *data, Qt::DropAction action, NodeLevel level, const QModelIndex &target, int row);
    bool rename(const QModelIndex &index, const QString &text);
    void setActive(bool on);
    void refreshSlide(TDbSlide *s);

    TAuthorMain &m_author;
    TDbClearBookList &m_books;
    QTreeView *m_tree = nullptr;
    SlideTreeModel *m_model = nullptr;
    QMenu *m_nodeMenu = nullptr, *m_objectMenu = nullptr, *m_treeMenu = nullptr;
    bool m_active = false;
    bool m_playEnabled = false;
};

} // namespace vk
