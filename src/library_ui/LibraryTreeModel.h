// The whole library as a tree for the folder explorer: root folders at the top level, below
// each folder its items in list order, subfolder tiles opening onto their folders' items.
// Children are read from the library when a node is first opened, and kept in step with it
// through the folder list's signals afterwards.
#pragma once

#include <QAbstractItemModel>
#include <QHash>

#include <functional>
#include <memory>
#include <vector>

namespace vk {

class TDbFolder;
class TDbFolderList;
class TDbMedia;

class LibraryTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit LibraryTreeModel(TDbFolderList &roots, QObject *parent = nullptr);
    ~LibraryTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }

    // What a node carries: a root folder (level 0), or an item (a media item or a subfolder tile).
    TDbFolder *folderAt(const QModelIndex &index) const;
    TDbMedia *itemAt(const QModelIndex &index) const;
    // The folder a node opens onto: a root folder, or a subfolder tile's folder; null for media.
    TDbFolder *openedFolder(const QModelIndex &index) const;
    // The folder whose list holds a node's item (null for a root node).
    TDbFolder *ownerOf(const QModelIndex &index) const;

    QModelIndex indexOfFolder(const TDbFolder *folder) const;
    // The item's node, opening the nodes above it.
    QModelIndex indexOfItem(const TDbMedia *item);

    // Titles and order changed without a signal (a sort, a rename elsewhere): read them again.
    void reload();
    void refreshTitles(const QModelIndex &from = QModelIndex());

    // A rename: true when stored. An empty title is refused with the person told; the node
    // keeps its old title.
    std::function<bool(const QModelIndex &index, const QString &title)> renamer;

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOfNode(const Node *node) const;
    void load(Node *node) const;
    const QList<TDbMedia *> *childList(const Node *node) const;
    std::unique_ptr<Node> makeItemNode(TDbMedia *item, Node *parent) const;
    void forget(Node *node);

    void rootInserted(TDbFolder *folder, int position);
    void rootRemoved(TDbFolder *folder);
    void itemInserted(TDbFolder *folder, TDbMedia *item, int position);
    void itemRemoved(TDbFolder *folder, TDbMedia *item);
    void itemsRefreshed(TDbFolder *folder);

    TDbFolderList &m_roots;
    std::unique_ptr<Node> m_top;
    mutable QHash<const void *, Node *> m_byData;        // folder or item -> its node
    mutable QHash<const TDbFolder *, Node *> m_byOpened; // folder -> the node that opens onto it
};

} // namespace vk
