#include "LibraryTreeModel.h"

#include "DbFolder.h"
#include "Icons.h"

#include <QIcon>

namespace vk {

struct LibraryTreeModel::Node
{
    TDbFolder *folder = nullptr; // a root node
    TDbMedia *item = nullptr;    // an item node
    Node *parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    bool loaded = false;

    int row() const
    {
        if (!parent)
            return 0;
        for (size_t i = 0; i < parent->children.size(); ++i)
            if (parent->children[i].get() == this)
                return int(i);
        return -1;
    }
};

namespace {

// The icon of a node by the type of what it carries.
QIcon nodeIcon(int type, bool open)
{
    if (type == FolderKind || type == SubFolderType)
        return vkIcon(open ? QStringLiteral("folder-open") : QStringLiteral("folder"));
    if (type >= 0 && type < 99)
        return vkIcon(QStringLiteral("image"));
    if (type == 99)
        return vkIcon(QStringLiteral("text"));
    if (type >= 100 && type <= 199)
        return vkIcon(QStringLiteral("audio"));
    if (type >= 200 && type <= 299)
        return vkIcon(QStringLiteral("video"));
    return vkIcon(QStringLiteral("document"));
}

} // namespace

LibraryTreeModel::LibraryTreeModel(TDbFolderList &roots, QObject *parent)
    : QAbstractItemModel(parent), m_roots(roots), m_top(std::make_unique<Node>())
{
    reload();
    connect(&roots, &TDbFolderList::rootInserted, this, &LibraryTreeModel::rootInserted);
    connect(&roots, &TDbFolderList::rootRemoved, this, &LibraryTreeModel::rootRemoved);
    connect(&roots, &TDbFolderList::itemInserted, this, &LibraryTreeModel::itemInserted);
    connect(&roots, &TDbFolderList::itemRemoved, this, &LibraryTreeModel::itemRemoved);
    connect(&roots, &TDbFolderList::itemsRefreshed, this, &LibraryTreeModel::itemsRefreshed);
}

LibraryTreeModel::~LibraryTreeModel() = default;

void LibraryTreeModel::reload()
{
    beginResetModel();
    m_byData.clear();
    m_byOpened.clear();
    m_top = std::make_unique<Node>();
    for (TDbFolder *f : m_roots.Folders) {
        auto node = std::make_unique<Node>();
        node->folder = f;
        node->parent = m_top.get();
        m_byData.insert(f, node.get());
        m_byOpened.insert(f, node.get());
        m_top->children.push_back(std::move(node));
    }
    m_top->loaded = true;
    endResetModel();
}

const QList<TDbMedia *> *LibraryTreeModel::childList(const Node *node) const
{
    const TDbFolder *f = node->folder ? node->folder : (node->item ? node->item->SubFolder : nullptr);
    return f && f->MediaList ? &f->MediaList->Items : nullptr;
}

std::unique_ptr<LibraryTreeModel::Node> LibraryTreeModel::makeItemNode(TDbMedia *item, Node *parent) const
{
    auto node = std::make_unique<Node>();
    node->item = item;
    node->parent = parent;
    m_byData.insert(item, node.get());
    if (item->SubFolder)
        m_byOpened.insert(item->SubFolder, node.get());
    return node;
}

void LibraryTreeModel::load(Node *node) const
{
    if (node->loaded)
        return;
    node->loaded = true;
    if (const QList<TDbMedia *> *list = childList(node))
        for (TDbMedia *item : *list)
            node->children.push_back(makeItemNode(item, node));
}

void LibraryTreeModel::forget(Node *node)
{
    for (auto &c : node->children)
        forget(c.get());
    if (node->folder) {
        m_byData.remove(node->folder);
        m_byOpened.remove(node->folder);
    }
    if (node->item) {
        if (m_byData.value(node->item) == node)
            m_byData.remove(node->item);
        if (node->item->SubFolder && m_byOpened.value(node->item->SubFolder) == node)
            m_byOpened.remove(node->item->SubFolder);
    }
}

LibraryTreeModel::Node *LibraryTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : m_top.get();
}

QModelIndex LibraryTreeModel::indexOfNode(const Node *node) const
{
    if (!node || node == m_top.get())
        return QModelIndex();
    return createIndex(node->row(), 0, const_cast<Node *>(node));
}

QModelIndex LibraryTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    Node *p = nodeOf(parent);
    load(p);
    if (column != 0 || row < 0 || row >= int(p->children.size()))
        return QModelIndex();
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex LibraryTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return QModelIndex();
    return indexOfNode(nodeOf(child)->parent);
}

int LibraryTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    Node *p = nodeOf(parent);
    load(p);
    return int(p->children.size());
}

int LibraryTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool LibraryTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *p = nodeOf(parent);
    if (p == m_top.get())
        return !p->children.empty();
    if (p->loaded)
        return !p->children.empty();
    const QList<TDbMedia *> *list = childList(p);
    return list && !list->isEmpty();
}

QVariant LibraryTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const Node *n = nodeOf(index);
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (n->folder)
            return n->folder->Rec.Title;
        return n->item->SubFolder ? n->item->SubFolder->Rec.Title : n->item->Rec.Title;
    }
    if (role == Qt::DecorationRole)
        return nodeIcon(n->folder ? FolderKind : n->item->Rec.MediaType, false);
    return QVariant();
}

bool LibraryTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !renamer)
        return false;
    if (!renamer(index, value.toString()))
        return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags LibraryTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}

TDbFolder *LibraryTreeModel::folderAt(const QModelIndex &index) const
{
    return index.isValid() ? nodeOf(index)->folder : nullptr;
}

TDbMedia *LibraryTreeModel::itemAt(const QModelIndex &index) const
{
    return index.isValid() ? nodeOf(index)->item : nullptr;
}

TDbFolder *LibraryTreeModel::openedFolder(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    const Node *n = nodeOf(index);
    return n->folder ? n->folder : n->item->SubFolder;
}

TDbFolder *LibraryTreeModel::ownerOf(const QModelIndex &index) const
{
    TDbMedia *item = itemAt(index);
    return item ? item->Owner : nullptr;
}

QModelIndex LibraryTreeModel::indexOfFolder(const TDbFolder *folder) const
{
    return indexOfNode(m_byOpened.value(folder));
}

QModelIndex LibraryTreeModel::indexOfItem(const TDbMedia *item)
{
    if (Node *n = m_byData.value(item))
        return indexOfNode(n);
    // Open the nodes from the root down to the item's folder.
    QList<const TDbFolder *> chain;
    for (const TDbFolder *f = item->Owner; f; f = (f->Tile ? f->Tile->Owner : nullptr)) {
        chain.prepend(f);
        if (f->isRoot())
            break;
    }
    for (const TDbFolder *f : chain)
        if (Node *n = m_byOpened.value(f))
            load(n);
    return indexOfNode(m_byData.value(item));
}

void LibraryTreeModel::refreshTitles(const QModelIndex &from)
{
    const int rows = rowCount(from);
    if (rows > 0)
        emit dataChanged(index(0, 0, from), index(rows - 1, 0, from));
}

// ---------------------------------------------------------------------------------------------
// The library changed

void LibraryTreeModel::rootInserted(TDbFolder *folder, int position)
{
    position = std::clamp(position, 0, int(m_top->children.size()));
    beginInsertRows(QModelIndex(), position, position);
    auto node = std::make_unique<Node>();
    node->folder = folder;
    node->parent = m_top.get();
    m_byData.insert(folder, node.get());
    m_byOpened.insert(folder, node.get());
    m_top->children.insert(m_top->children.begin() + position, std::move(node));
    endInsertRows();
}

void LibraryTreeModel::rootRemoved(TDbFolder *folder)
{
    Node *n = m_byData.value(folder);
    if (!n || n->parent != m_top.get())
        return;
    const int row = n->row();
    beginRemoveRows(QModelIndex(), row, row);
    forget(n);
    m_top->children.erase(m_top->children.begin() + row);
    endRemoveRows();
}

void LibraryTreeModel::itemInserted(TDbFolder *folder, TDbMedia *item, int position)
{
    Node *parentNode = m_byOpened.value(folder);
    if (!parentNode)
        return;
    if (!parentNode->loaded) {
        const QList<TDbMedia *> *list = childList(parentNode);
        if (!list || list->size() != 1 || list->first() != item) {
            // It had children already (and an expander); they are read when it opens.
            const QModelIndex at = indexOfNode(parentNode);
            emit dataChanged(at, at);
            return;
        }
        // Its first child: a view learns of a new expander only from an inserted row, so the
        // node counts as read (empty until now) and takes the row the usual way.
        parentNode->loaded = true;
    }
    position = std::clamp(position, 0, int(parentNode->children.size()));
    beginInsertRows(indexOfNode(parentNode), position, position);
    parentNode->children.insert(parentNode->children.begin() + position, makeItemNode(item, parentNode));
    endInsertRows();
}

void LibraryTreeModel::itemRemoved(TDbFolder *folder, TDbMedia *item)
{
    Node *parentNode = m_byOpened.value(folder);
    if (!parentNode || !parentNode->loaded)
        return;
    for (size_t i = 0; i < parentNode->children.size(); ++i) {
        if (parentNode->children[i]->item != item)
            continue;
        beginRemoveRows(indexOfNode(parentNode), int(i), int(i));
        forget(parentNode->children[i].get());
        parentNode->children.erase(parentNode->children.begin() + long(i));
        endRemoveRows();
        return;
    }
}

// A folder's items (or the root folders) changed places or fields in place: the nodes follow
// the list's order, keeping the selection and the open nodes, and show their titles again.
void LibraryTreeModel::itemsRefreshed(TDbFolder *folder)
{
    Node *n = folder ? m_byOpened.value(folder) : m_top.get();
    if (!n)
        return;
    const QModelIndex at = indexOfNode(n);
    if (folder)
        emit dataChanged(at, at);
    if (!n->loaded || n->children.empty())
        return;
    // The order the list has now.
    QList<const void *> order;
    if (folder) {
        if (const QList<TDbMedia *> *list = childList(n))
            for (TDbMedia *m : *list)
                order.append(m);
    } else {
        for (TDbFolder *f : m_roots.Folders)
            order.append(f);
    }
    auto dataOf = [](const Node *c) -> const void * {
        return c->folder ? static_cast<const void *>(c->folder) : static_cast<const void *>(c->item);
    };
    bool same = order.size() == qsizetype(n->children.size());
    for (size_t k = 0; same && k < n->children.size(); ++k)
        same = dataOf(n->children[k].get()) == order[qsizetype(k)];
    if (!same) {
        QList<QPersistentModelIndex> parents;
        if (at.isValid())
            parents.append(QPersistentModelIndex(at));
        emit layoutAboutToBeChanged(parents, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<std::unique_ptr<Node>> sorted;
        sorted.reserve(n->children.size());
        for (const void *d : order)
            for (auto &c : n->children)
                if (c && dataOf(c.get()) == d) {
                    sorted.push_back(std::move(c));
                    break;
                }
        // (Nodes the list no longer names were taken out by their removal; any left keep the end.)
        for (auto &c : n->children)
            if (c)
                sorted.push_back(std::move(c));
        n->children = std::move(sorted);
        for (const QModelIndex &old : before) {
            Node *moved = static_cast<Node *>(old.internalPointer());
            if (moved && moved->parent == n)
                changePersistentIndex(old, createIndex(moved->row(), old.column(), moved));
        }
        emit layoutChanged(parents, QAbstractItemModel::VerticalSortHint);
    }
    emit dataChanged(index(0, 0, at), index(int(n->children.size()) - 1, 0, at));
}

} // namespace vk
