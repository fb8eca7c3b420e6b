#include "AT_SlideExplorer.h"

#include "AT_Schedule.h"
#include "AT_SlidePropertyDlg.h"
#include "Authormain.h"
#include "Connection.h"
#include "DbFolder.h"
#include "EditedSlide.h"
#include "Icons.h"
#include "LibraryDrag.h"
#include "ObjectKinds.h"
#include "UiServices.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace vk {

namespace {

QList<TDbObject *> shownObjects(const TDbSlide *s)
{
    QList<TDbObject *> list;
    for (TDbObject *o : s->Objects.DesignOrder)
        if (!o->Rec.Removed)
            list.append(o);
    return list;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The tree model

SlideTreeModel::SlideTreeModel(TDbClearBookList &books, QObject *parent) : QAbstractItemModel(parent), m_books(books)
{
    rebuild();
}

SlideTreeModel::~SlideTreeModel() = default;

SlideTreeModel::Node *SlideTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : const_cast<Node *>(&m_root);
}

QModelIndex SlideTreeModel::indexOfNode(const Node *node) const
{
    if (!node || node == &m_root || !node->parent)
        return {};
    const auto &siblings = node->parent->children;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == node)
            return createIndex(int(i), 0, const_cast<Node *>(node));
    return {};
}

SlideTreeModel::Node *SlideTreeModel::find(const void *item) const
{
    if (!item)
        return nullptr;
    std::function<Node *(const Node *)> walk = [&](const Node *n) -> Node * {
        for (const auto &c : n->children) {
            if (c->item == item)
                return c.get();
            if (Node *found = walk(c.get()))
                return found;
        }
        return nullptr;
    };
    return walk(&m_root);
}

QModelIndex SlideTreeModel::indexOf(const void *item) const
{
    return indexOfNode(find(item));
}

void SlideTreeModel::fill(Node *node)
{
    node->children.clear();
    auto add = [node](NodeLevel level, void *item) {
        auto child = std::make_unique<Node>();
        child->level = level;
        child->item = item;
        child->parent = node;
        node->children.push_back(std::move(child));
    };
    if (node == &m_root) {
        for (TDbClearBook *cb : std::as_const(m_books.ClearBooks))
            add(NodeLevel::ClearBook, cb);
    } else if (node->level == NodeLevel::ClearBook) {
        for (TDbSlide *s : std::as_const(static_cast<TDbClearBook *>(node->item)->Slides))
            add(NodeLevel::Slide, s);
    } else if (node->level == NodeLevel::Slide) {
        for (TDbObject *o : shownObjects(static_cast<TDbSlide *>(node->item)))
            add(NodeLevel::Object, o);
    }
    node->fetched = true;
}

void SlideTreeModel::rebuild()
{
    beginResetModel();
    fill(&m_root);
    endResetModel();
}

QModelIndex SlideTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const Node *p = nodeOf(parent);
    if (column != 0 || row < 0 || size_t(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex SlideTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    return indexOfNode(nodeOf(child)->parent);
}

int SlideTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(nodeOf(parent)->children.size());
}

bool SlideTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *n = nodeOf(parent);
    if (n == &m_root || n->fetched)
        return !n->children.empty();
    if (n->level == NodeLevel::ClearBook)
        return !static_cast<TDbClearBook *>(n->item)->Slides.isEmpty();
    if (n->level == NodeLevel::Slide)
        return !shownObjects(static_cast<TDbSlide *>(n->item)).isEmpty();
    return false;
}

bool SlideTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *n = nodeOf(parent);
    return n != &m_root && !n->fetched && n->level != NodeLevel::Object;
}

void SlideTreeModel::fetchMore(const QModelIndex &parent)
{
    Node *n = nodeOf(parent);
    if (n == &m_root || n->fetched)
        return;
    // Read into a scratch node first, so that the rows are announced before they exist.
    Node scratch;
    scratch.level = n->level;
    scratch.item = n->item;
    fill(&scratch);
    if (scratch.children.empty()) {
        n->fetched = true;
        return;
    }
    beginInsertRows(parent, 0, int(scratch.children.size()) - 1);
    n->children = std::move(scratch.children);
    for (auto &c : n->children)
        c->parent = n;
    n->fetched = true;
    endInsertRows();
}

QVariant SlideTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const Node *n = nodeOf(index);
    switch (n->level) {
    case NodeLevel::ClearBook: {
        const auto *cb = static_cast<const TDbClearBook *>(n->item);
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return cb->Rec.CB_Title;
        if (role == Qt::DecorationRole)
            return vkIcon(QStringLiteral("authoring"));
        if (role == Qt::ToolTipRole)
            return cb->Rec.CB_Author.isEmpty() ? QVariant() : QVariant(QStringLiteral("by ") + cb->Rec.CB_Author);
        break;
    }
    case NodeLevel::Slide: {
        const auto *s = static_cast<const TDbSlide *>(n->item);
        if (role == Qt::DisplayRole) {
            // The open slide's unsaved changes are told beside its title.
            const bool changed = s == m_books.ActiveSlide && m_books.SlideModified;
            return s->Rec.Slide_Title + (changed ? QStringLiteral(" *") : QString());
        }
        if (role == Qt::EditRole)
            return s->Rec.Slide_Title;
        if (role == Qt::DecorationRole)
            return vkIcon(QStringLiteral("slide-new"));
        if (role == Qt::FontRole && s == m_books.ActiveSlide) {
            QFont f;
            f.setBold(true);
            return f;
        }
        break;
    }
    case NodeLevel::Object: {
        const auto *o = static_cast<const TDbObject *>(n->item);
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return o->Rec.Title;
        if (role == Qt::DecorationRole)
            return ObjectKindIcon(o->kind());
        break;
    }
    case NodeLevel::None:
        break;
    }
    return {};
}

bool SlideTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !renamed)
        return false;
    if (!renamed(index, value.toString()))
        return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags SlideTreeModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = Qt::ItemIsDropEnabled;
    if (!index.isValid())
        return f;
    return f | Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEditable;
}

QStringList SlideTreeModel::mimeTypes() const
{
    return {QLatin1String(MimeType), QLatin1String(LibraryDrag::MimeType), QLatin1String(SurfaceObjectsMimeType)};
}

QMimeData *SlideTreeModel::mimeData(const QModelIndexList &indexes) const
{
    // The nodes themselves stay here: the drag names them by their model objects.
    QByteArray bytes;
    for (const QModelIndex &i : indexes) {
        const Node *n = nodeOf(i);
        bytes += QByteArray::number(int(n->level)) + ':' + QByteArray::number(quintptr(n->item)) + ';';
    }
    auto *data = new QMimeData;
    data->setData(QLatin1String(MimeType), bytes);
    return data;
}

DragSource SlideTreeModel::sourceOf(const QMimeData *data, bool *folderNodeIsMedia) const
{
    *folderNodeIsMedia = true;
    if (data->hasFormat(QLatin1String(MimeType))) {
        const QByteArray bytes = data->data(QLatin1String(MimeType));
        const int level = bytes.left(bytes.indexOf(':')).toInt();
        switch (NodeLevel(level)) {
        case NodeLevel::ClearBook:
            return DragSource::ClearBookNode;
        case NodeLevel::Slide:
            return DragSource::SlideNode;
        case NodeLevel::Object:
            return DragSource::ObjectNode;
        default:
            return DragSource::Other;
        }
    }
    if (data->hasFormat(QLatin1String(SurfaceObjectsMimeType)))
        return DragSource::SurfaceObject;
    if (LibraryDrag::isLibraryDrag(data)) {
        const LibraryDrag &d = LibraryDrag::current();
        if (d.kind == LibraryDrag::WindowSelection)
            return DragSource::FolderWindowMedia;
        *folderNodeIsMedia = d.kind == LibraryDrag::ExplorerItem && !d.items.isEmpty() &&
                             d.items.first()->Rec.MediaType != 301;
        return DragSource::FolderExplorerNode;
    }
    return DragSource::Other;
}

// The node a drop between rows lands on: after the row above it (or on the parent above the
// first row).
static NodeLevel dropLevel(const SlideTreeModel &m, const QModelIndex &parent, int row, QModelIndex *target)
{
    if (row < 0) {
        *target = parent;
        return m.levelOf(parent);
    }
    const QModelIndex above = m.index(row - 1, 0, parent);
    *target = above.isValid() ? above : parent;
    if (!target->isValid())
        *target = m.index(0, 0, parent);
    return m.levelOf(*target);
}

bool SlideTreeModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int row, int, const QModelIndex &parent) const
{
    bool media = true;
    const DragSource source = sourceOf(data, &media);
    QModelIndex target;
    const NodeLevel level = dropLevel(*this, parent, row, &target);
    return AcceptsDrop(source, level, media);
}

bool SlideTreeModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                  const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent) || !dropped)
        return false;
    QModelIndex target;
    const NodeLevel level = dropLevel(*this, parent, row, &target);
    return dropped(data, action, level, target, row < 0 ? -1 : row);
}

NodeLevel SlideTreeModel::levelOf(const QModelIndex &index) const
{
    return index.isValid() ? nodeOf(index)->level : NodeLevel::None;
}

TDbClearBook *SlideTreeModel::clearBookOf(const QModelIndex &index) const
{
    return levelOf(index) == NodeLevel::ClearBook ? static_cast<TDbClearBook *>(nodeOf(index)->item) : nullptr;
}

TDbSlide *SlideTreeModel::slideOf(const QModelIndex &index) const
{
    return levelOf(index) == NodeLevel::Slide ? static_cast<TDbSlide *>(nodeOf(index)->item) : nullptr;
}

TDbObject *SlideTreeModel::objectOf(const QModelIndex &index) const
{
    return levelOf(index) == NodeLevel::Object ? static_cast<TDbObject *>(nodeOf(index)->item) : nullptr;
}

void SlideTreeModel::clearBookAdded(TDbClearBook *cb)
{
    if (find(cb))
        return;
    const int at = int(std::clamp<qsizetype>(m_books.ClearBooks.indexOf(cb), 0, qsizetype(m_root.children.size())));
    beginInsertRows({}, at, at);
    auto node = std::make_unique<Node>();
    node->level = NodeLevel::ClearBook;
    node->item = cb;
    node->parent = &m_root;
    m_root.children.insert(m_root.children.begin() + at, std::move(node));
    endInsertRows();
}

void SlideTreeModel::clearBookRemoved(TDbClearBook *cb)
{
    const QModelIndex i = indexOf(cb);
    if (!i.isValid())
        return;
    beginRemoveRows({}, i.row(), i.row());
    m_root.children.erase(m_root.children.begin() + i.row());
    endRemoveRows();
}

void SlideTreeModel::clearBookRefreshed(TDbClearBook *cb)
{
    const QModelIndex i = indexOf(cb);
    if (i.isValid())
        emit dataChanged(i, i);
}

void SlideTreeModel::slideInserted(TDbSlide *s, int position)
{
    if (find(s))
        return;
    Node *book = find(s->Owner);
    if (!book)
        return;
    const QModelIndex bi = indexOfNode(book);
    if (!book->fetched) {
        emit dataChanged(bi, bi); // it may have children now
        return;
    }
    const int at = std::clamp(position, 0, int(book->children.size()));
    beginInsertRows(bi, at, at);
    auto node = std::make_unique<Node>();
    node->level = NodeLevel::Slide;
    node->item = s;
    node->parent = book;
    book->children.insert(book->children.begin() + at, std::move(node));
    endInsertRows();
}

void SlideTreeModel::removeItem(const void *item)
{
    Node *n = find(item);
    if (!n)
        return;
    const QModelIndex i = indexOfNode(n);
    Node *parent = n->parent;
    beginRemoveRows(i.parent(), i.row(), i.row());
    parent->children.erase(parent->children.begin() + i.row());
    endRemoveRows();
}

void SlideTreeModel::slideRemoved(TDbSlide *s)
{
    Node *n = find(s);
    if (!n)
        return;
    const QModelIndex i = indexOfNode(n);
    Node *book = n->parent;
    beginRemoveRows(i.parent(), i.row(), i.row());
    book->children.erase(book->children.begin() + i.row());
    endRemoveRows();
}

void SlideTreeModel::slideRefreshed(TDbSlide *s)
{
    Node *n = find(s);
    if (!n)
        return;
    const QModelIndex i = indexOfNode(n);
    if (n->fetched) {
        if (!n->children.empty()) {
            beginRemoveRows(i, 0, int(n->children.size()) - 1);
            n->children.clear();
            endRemoveRows();
        }
        n->fetched = false;
        fetchMore(i);
    }
    emit dataChanged(i, i);
}

// ---------------------------------------------------------------------------------------------
// The explorer

TSlideExplorer::TSlideExplorer(TAuthorMain &author, QWidget *parent)
    : QWidget(parent), m_author(author), m_books(author.books())
{
    setWindowTitle(QStringLiteral("Slide Explorer"));
    setObjectName(QStringLiteral("SlideExplorer"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("SETreeView"));
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(19);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->setDropIndicatorShown(true);
    m_tree->setDragDropMode(QAbstractItemView::DragDrop);
    m_tree->setDefaultDropAction(Qt::MoveAction);
    // Renaming is F2 or the menu's Rename, never a click that meant a drag.
    m_tree->setEditTriggers(QAbstractItemView::EditKeyPressed);
    m_tree->setContextMenuPolicy(Qt::NoContextMenu);
    m_model = new SlideTreeModel(m_books, this);
    m_model->dropped = [this](const QMimeData *data, Qt::DropAction action, NodeLevel level,
                              const QModelIndex &target, int row) {
        return drop(data, action, level, target, row);
    };
    m_model->renamed = [this](const QModelIndex &index, const QString &text) { return rename(index, text); };
    m_tree->setModel(m_model);
    layout->addWidget(m_tree);
    resize(250, 350);
    buildMenus();
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        // An object of the open slide is selected alone on it too.
        if (TDbObject *o = selectedObject(); o && o->Owner && o->Owner == m_books.ActiveSlide)
            m_author.edited().selectOnly(o);
        // Following the open slide (the tree selects its node) does not make the explorer the
        // view in use: only the person's choice in the tree does.
        if (m_tree->hasFocus())
            setActive(true);
        emit selectionChanged();
    });
    connect(m_tree, &QTreeView::doubleClicked, this, [this](const QModelIndex &) { NodeOpenClick(); });
    // Whether the explorer is the view in use follows the focus among the authoring views.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (!now || now->window() != window())
            return; // a dialog or a popup: the view stays what it was
        if (isAncestorOf(now))
            setActive(true);
        else
            setActive(false);
    });
    // The open slide's changes reach its node.
    EditedSlide &edited = m_author.edited();
    connect(&edited, &EditedSlide::reset, this, [this] { refreshSlide(m_books.ActiveSlide); });
    connect(&edited, &EditedSlide::slideChanged, this, [this] {
        m_tree->viewport()->update();
        if (m_books.ActiveSlide)
            select(m_books.ActiveSlide);
    });
    connect(&edited, &EditedSlide::stateChanged, m_tree->viewport(), qOverload<>(&QWidget::update));
    connect(&edited, &EditedSlide::objectGone, this, [this](TDbObject *o) { objectRemoved(o); });
    edited.setTreeViews(this);
}

TSlideExplorer::~TSlideExplorer()
{
    m_author.edited().setTreeViews(nullptr);
}

void TSlideExplorer::setActive(bool on)
{
    if (m_active == on)
        return;
    m_active = on;
    if (on)
        emit activated();
    emit selectionChanged();
}

NodeLevel TSlideExplorer::selectedLevel() const
{
    return m_model->levelOf(m_tree->currentIndex());
}

TDbClearBook *TSlideExplorer::selectedClearBook() const
{
    return m_model->clearBookOf(m_tree->currentIndex());
}

TDbSlide *TSlideExplorer::selectedSlide() const
{
    return m_model->slideOf(m_tree->currentIndex());
}

TDbObject *TSlideExplorer::selectedObject() const
{
    return m_model->objectOf(m_tree->currentIndex());
}

void TSlideExplorer::select(const void *item)
{
    // The node's parents are opened (and read) on the way.
    QList<const void *> chain;
    if (auto *s = static_cast<const TDbSlide *>(item); m_model->indexOf(item).isValid() == false) {
        for (TDbClearBook *cb : std::as_const(m_books.ClearBooks)) {
            if (cb->Slides.contains(const_cast<TDbSlide *>(s))) {
                const QModelIndex bi = m_model->indexOf(cb);
                if (m_model->canFetchMore(bi))
                    m_model->fetchMore(bi);
            }
            for (TDbSlide *x : std::as_const(cb->Slides))
                if (x->Objects.DesignOrder.contains(static_cast<TDbObject *>(const_cast<void *>(item)))) {
                    const QModelIndex bi = m_model->indexOf(cb);
                    if (m_model->canFetchMore(bi))
                        m_model->fetchMore(bi);
                    const QModelIndex si = m_model->indexOf(x);
                    if (m_model->canFetchMore(si))
                        m_model->fetchMore(si);
                }
        }
    }
    const QModelIndex i = m_model->indexOf(item);
    if (!i.isValid())
        return;
    m_tree->expand(i.parent());
    m_tree->setCurrentIndex(i);
    m_tree->scrollTo(i);
}

void TSlideExplorer::refreshSlide(TDbSlide *s)
{
    if (s)
        m_model->slideRefreshed(s);
}

// --- Hooks

void TSlideExplorer::clearBookAdded(TDbClearBook *cb)
{
    m_model->clearBookAdded(cb);
    select(cb);
}

void TSlideExplorer::clearBookRemoved(TDbClearBook *cb)
{
    m_model->clearBookRemoved(cb);
    emit selectionChanged();
}

void TSlideExplorer::clearBookRefreshed(TDbClearBook *cb)
{
    m_model->clearBookRefreshed(cb);
}

void TSlideExplorer::slideInserted(TDbSlide *s, int position)
{
    m_model->slideInserted(s, position);
    select(s);
}

void TSlideExplorer::slideRemoved(TDbSlide *s)
{
    m_model->slideRemoved(s);
    emit selectionChanged();
}

void TSlideExplorer::slideRefreshed(TDbSlide *s)
{
    m_model->slideRefreshed(s);
}

void TSlideExplorer::objectInserted(TDbObject *o, int)
{
    // The slide's object nodes are read again once the model has placed it.
    if (o && o->Owner)
        QMetaObject::invokeMethod(
            this,
            [this, s = o->Owner] {
                if (m_model->indexOf(s).isValid())
                    m_model->slideRefreshed(s);
            },
            Qt::QueuedConnection);
}

void TSlideExplorer::objectRemoved(TDbObject *o)
{
    // The node goes at once: the object may be freed next.
    m_model->removeItem(o);
}

// --- Drops

bool TSlideExplorer::drop(const QMimeData *data, Qt::DropAction action, NodeLevel level, const QModelIndex &target,
                          int row)
{
    const bool copy = action == Qt::CopyAction;
    if (data->hasFormat(QLatin1String(SlideTreeModel::MimeType))) {
        QList<void *> items;
        NodeLevel dragged = NodeLevel::None;
        for (const QByteArray &part : data->data(QLatin1String(SlideTreeModel::MimeType)).split(';')) {
            const qsizetype colon = part.indexOf(':');
            if (colon < 0)
                continue;
            void *item = reinterpret_cast<void *>(quintptr(part.mid(colon + 1).toULongLong()));
            // Only what the tree still shows is taken.
            if (!m_model->indexOf(item).isValid())
                return false;
            dragged = NodeLevel(part.left(colon).toInt());
            items.append(item);
        }
        if (items.isEmpty())
            return false;
        if (dragged == NodeLevel::Slide) {
            auto *slide = static_cast<TDbSlide *>(items.first());
            TDbClearBook *cb = level == NodeLevel::ClearBook ? m_model->clearBookOf(target)
                                                             : m_model->slideOf(target)->Owner;
            if (!cb)
                return false;
            const int old = !copy && slide->Owner == cb ? int(cb->Slides.indexOf(slide)) : -1;
            int place;
            if (level == NodeLevel::ClearBook && row == 0) {
                // Dropped above a ClearBook's first slide: it goes first.
                place = old == 0 ? -1 : 0;
            } else {
                const int targetSlide =
                    level == NodeLevel::Slide ? int(cb->Slides.indexOf(m_model->slideOf(target))) : 0;
                place = SlideDropPlace(level, targetSlide, int(cb->Slides.size()), old);
            }
            if (place < 0)
                return false;
            return DropSlide(slide, cb, place, copy);
        }
        if (dragged == NodeLevel::Object) {
            TDbSlide *slide = level == NodeLevel::Slide ? m_model->slideOf(target) : m_model->slideOf(target.parent());
            if (!slide)
                return false;
            const QList<TDbObject *> order = shownObjects(slide);
            // Dropped above a slide's first object: they go first.
            const int position = level == NodeLevel::Slide && row == 0
                                     ? 0
                                     : ObjectDropPosition(level, int(order.indexOf(m_model->objectOf(target))),
                                                          int(order.size()));
            QList<TDbObject *> objects;
            for (void *item : std::as_const(items))
                objects.append(static_cast<TDbObject *>(item));
            return DropObjects(objects, slide, position, copy);
        }
        return false; // a ClearBook moves nowhere: their order is fixed
    }
    if (data->hasFormat(QLatin1String(SurfaceObjectsMimeType))) {
        // The selected objects of the open slide, as long as it is the slide they came from.
        TDbSlide *open = m_books.ActiveSlide;
        const quintptr from = data->data(QLatin1String(SurfaceObjectsMimeType)).toULongLong();
        if (!open || from != quintptr(open))
            return false;
        TDbSlide *slide = level == NodeLevel::Slide    ? m_model->slideOf(target)
                          : level == NodeLevel::Object ? m_model->slideOf(target.parent())
                                                       : nullptr;
        if (!slide)
            return false;
        const QList<TDbObject *> objects = m_author.edited().selectionInStackOrder();
        if (objects.isEmpty())
            return false;
        const QList<TDbObject *> order = shownObjects(slide);
        const int position = level == NodeLevel::Slide && row == 0
                                 ? 0
                                 : ObjectDropPosition(level, int(order.indexOf(m_model->objectOf(target))),
                                                      int(order.size()));
        return DropObjects(objects, slide, position, copy);
    }
    if (LibraryDrag::isLibraryDrag(data)) {
        TDbSlide *slide = level == NodeLevel::Slide    ? m_model->slideOf(target)
                          : level == NodeLevel::Object ? m_model->slideOf(target.parent())
                                                       : nullptr;
        if (!slide)
            return false; // library items on a ClearBook node: nothing
        const QList<TDbObject *> order = shownObjects(slide);
        const int position = ObjectDropPosition(level, int(order.indexOf(m_model->objectOf(target))), int(order.size()));
        const QList<TDbMedia *> items = LibraryDrag::current().items;
        const bool done = DropMedia(items, slide, position);
        LibraryDrag::end();
        return done;
    }
    return false;
}

bool TSlideExplorer::DropSlide(TDbSlide *slide, TDbClearBook *target, int place, bool copy)
{
    if (!slide || !target)
        return false;
    if (copy) {
        TDbSlide *made = m_books.CopySlideTo(slide, target, place);
        if (made)
            select(made);
        return made != nullptr;
    }
    if (slide->Owner == target) {
        if (!m_books.MoveSlide(target->Slides, slide, place))
            return false;
        select(slide);
        return true;
    }
    // Into another ClearBook: the open slide is closed first (asking to save it), and a slide
    // that was never saved has nothing to move.
    if (slide == m_books.ActiveSlide && !m_author.CloseSlide())
        return false;
    bool known = false;
    for (TDbClearBook *cb : std::as_const(m_books.ClearBooks))
        known = known || cb->Slides.contains(slide);
    if (!known || !slide->isStored())
        return false;
    if (!m_books.MoveSlideTo(slide, target, place))
        return false;
    select(slide);
    return true;
}

bool TSlideExplorer::DropObjects(const QList<TDbObject *> &objects, TDbSlide *target, int position, bool copy,
                                 QPoint dropPoint)
{
    if (objects.isEmpty() || !target)
        return false;
    EditedSlide &edited = m_author.edited();
    TDbSlide *open = m_books.ActiveSlide;
    TDbSlide *source = objects.first()->Owner;
    if (!copy && source == target) {
        if (target == open) {
            // One step of the open slide's history; the tree and the timeline follow it.
            QList<TDbObject *> ordered = objects;
            std::stable_sort(ordered.begin(), ordered.end(), [target](TDbObject *a, TDbObject *b) {
                return target->Objects.DesignOrder.indexOf(a) < target->Objects.DesignOrder.indexOf(b);
            });
            if (!edited.requestReorder(ordered, position))
                return false;
            m_model->slideRefreshed(target);
            select(ordered.first());
            return true;
        }
        // Taken out and placed again: the old positions before the target reduce it.
        QList<int> old;
        for (TDbObject *o : objects)
            old.append(int(target->Objects.DesignOrder.indexOf(o)));
        int at = PositionAfterTakingOut(position, old);
        bool ok = true;
        for (TDbObject *o : objects) {
            TDbObject *moving = o;
            m_books.TakeFromDesignOrder(target->Objects, moving, false);
            ok = m_books.PlaceObject(target->Objects, o, at++, target, false) && ok;
        }
        m_model->slideRefreshed(target);
        return ok;
    }
    bool ok = true;
    if (target == open) {
        // Onto the open slide: one step of its history, at the timeline cursor.
        TSelectedList held;
        for (TDbObject *o : objects)
            m_books.ClipboardAdd(held, o);
        const int made = edited.requestPaste(held, m_author.timeline() ? m_author.timeline()->cursorTime() : 0);
        m_books.ClipboardClear(held);
        ok = made > 0;
        if (ok && dropPoint != NoDropPoint) {
            const QList<TDbObject *> pasted = edited.selection();
            for (int i = 0; i < pasted.size(); ++i) {
                const QPoint p = DropPointFor(dropPoint, i);
                edited.requestMove({pasted[i]}, p.x() - pasted[i]->Rec.Left, p.y() - pasted[i]->Rec.Top);
            }
        }
    } else {
        int at = position;
        for (TDbObject *o : objects) {
            TDbObject *c = m_books.CopyObject(o, target);
            if (!c) {
                ok = false;
                break;
            }
            if (o->Owner != target)
                c->Rec.Bar_Left = 0;
            if (!m_books.PlaceObject(target->Objects, c, at++, target, true)) {
                ok = false;
                break;
            }
        }
        m_model->slideRefreshed(target);
    }
    if (ok && !copy) {
        // A move: the objects leave their slide (the open one through its history).
        if (source == open)
            ok = edited.requestRemoveObjects(objects);
        else if (source)
            for (TDbObject *o : objects)
                ok = m_books.RemoveObject(source->Objects, o, source) && ok;
        if (source)
            m_model->slideRefreshed(source);
    }
    return ok;
}

bool TSlideExplorer::DropMedia(const QList<TDbMedia *> &items, TDbSlide *target, int position)
{
    if (items.isEmpty() || !target)
        return false;
    if (target == m_books.ActiveSlide) {
        TSelectedList held;
        for (TDbMedia *m : items) {
            ClipboardEntry e;
            e.Kind = m->Rec.MediaType;
            e.Media = m;
            held.append(e);
        }
        return m_author.edited().requestPaste(held, 0) > 0;
    }
    bool ok = true;
    int at = position;
    for (TDbMedia *m : items) {
        TDbObject *o = m_books.ObjectFromMedia(m);
        if (!o)
            continue;
        o->Rec.Bar_Left = 0;
        if (!m_books.PlaceObject(target->Objects, o, at++, target, true)) {
            delete o;
            ok = false;
            break;
        }
    }
    m_model->slideRefreshed(target);
    return ok;
}

// --- Renaming

bool TSlideExplorer::rename(const QModelIndex &index, const QString &text)
{
    const QString title = text.trimmed();
    if (title.isEmpty() || title.size() > MaxAuthoringTitle)
        return false;
    if (TDbClearBook *cb = m_model->clearBookOf(index))
        return m_books.SetClearBookProperties(cb, title, cb->Rec.CB_Author);
    if (TDbSlide *s = m_model->slideOf(index)) {
        SlideProperties p = SlidePropertiesOf(s->Rec);
        p.title = title;
        if (s == m_books.ActiveSlide)
            return m_author.edited().requestSetSlideProperties(p) || p == SlidePropertiesOf(s->Rec);
        return m_books.SetSlideProperties(s, p);
    }
    if (TDbObject *o = m_model->objectOf(index))
        return m_author.RenameObject(o, title);
    return false;
}

// --- Menus and keys

void TSlideExplorer::buildMenus()
{
    m_nodeMenu = new QMenu(this);
    m_objectMenu = new QMenu(this);
    m_treeMenu = new QMenu(this);
    auto add = [this](QMenu *menu, const char *name, const QString &text, auto slot) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(m_nodeMenu, "pmiNodeOpen", QStringLiteral("&Open"), &TSlideExplorer::NodeOpenClick);
    QAction *play = add(m_nodeMenu, "pmiNodePlay", QStringLiteral("Play"), [this] {
        if (TDbSlide *s = selectedSlide())
            emit playRequested(s);
    });
    play->setEnabled(false);
    add(m_nodeMenu, "pmiNodeClose", QStringLiteral("Close"), &TSlideExplorer::NodeCloseClick);
    m_nodeMenu->addSeparator();
    add(m_nodeMenu, "pmiNodeNew", QStringLiteral("&New..."), [this] {
        if (selectedLevel() == NodeLevel::ClearBook)
            m_author.newClearBookDialog();
        else if (TDbSlide *s = selectedSlide())
            m_author.newSlideDialogFor(s->Owner);
    });
    add(m_nodeMenu, "pmiNodeSave", QStringLiteral("&Save"), [this] {
        if (selectedSlide() == m_books.ActiveSlide)
            m_author.SaveSlide();
    });
    add(m_nodeMenu, "pmiNodeSaveAs", QStringLiteral("Save &As..."), [this] {
        if (selectedSlide() == m_books.ActiveSlide)
            m_author.saveAsDialog();
    });
    add(m_nodeMenu, "pmiNodePaste", QStringLiteral("Paste"), [this] {
        TDbSlide *s = selectedSlide();
        if (!s || !m_author.clipboard)
            return;
        if (s == m_books.ActiveSlide) {
            m_author.Paste();
            return;
        }
        QList<TDbObject *> objects;
        QList<TDbMedia *> media;
        for (const ClipboardEntry &e : std::as_const(*m_author.clipboard)) {
            if (e.IsObject && e.SlideObject)
                objects.append(e.SlideObject);
            else if (e.Kind == FolderKind)
                break;
            else if (e.Media)
                media.append(e.Media);
        }
        const int end = int(shownObjects(s).size());
        if (!objects.isEmpty())
            DropObjects(objects, s, end, true);
        if (!media.isEmpty())
            DropMedia(media, s, end);
    });
    m_nodeMenu->addSeparator();
    add(m_nodeMenu, "pmiNodeRename", QStringLiteral("Re&name"), &TSlideExplorer::NodeRenameClick);
    add(m_nodeMenu, "pmiNodeDelete", QStringLiteral("&Delete"), &TSlideExplorer::NodeDeleteClick);
    add(m_nodeMenu, "pmiNodeProperty", QStringLiteral("&Property..."), &TSlideExplorer::NodePropertyClick);

    add(m_objectMenu, "pmiObjLinkTo", QStringLiteral("&Link To..."), [this] {
        if (TDbObject *o = selectedObject())
            m_author.LinkToDialog(o);
    });
    // The open slide's object is chosen alone on it first: its commands act on the selection.
    auto onOpen = [this](const std::function<void()> &command) {
        TDbObject *o = selectedObject();
        if (!o || o->Owner != m_books.ActiveSlide)
            return;
        m_author.edited().selectOnly(o);
        command();
    };
    QAction *disable = add(m_objectMenu, "pmiObjDisable", QStringLiteral("Disa&ble"), [this, onOpen] {
        onOpen([this] { m_author.SetObjectsDisabled(!selectedObject()->Disabled); });
    });
    disable->setCheckable(true);
    add(m_objectMenu, "pmiObjCut", QStringLiteral("C&ut"), [this, onOpen] { onOpen([this] { m_author.Cut(); }); });
    add(m_objectMenu, "pmiObjCopy", QStringLiteral("&Copy"), [this, onOpen] { onOpen([this] { m_author.Copy(); }); });
    m_objectMenu->addSeparator();
    add(m_objectMenu, "pmiObjFront", QStringLiteral("Bring to &Front"), [this] { Restack(selectedObject(), true); });
    add(m_objectMenu, "pmiObjBack", QStringLiteral("Send to &Back"), [this] { Restack(selectedObject(), false); });
    m_objectMenu->addSeparator();
    add(m_objectMenu, "pmiObjRename", QStringLiteral("Re&name"), &TSlideExplorer::NodeRenameClick);
    add(m_objectMenu, "pmiObjDelete", QStringLiteral("&Delete"), &TSlideExplorer::NodeDeleteClick);
    add(m_objectMenu, "pmiObjProperty", QStringLiteral("&Property..."), &TSlideExplorer::NodePropertyClick);

    add(m_treeMenu, "pmiNewClearBook", QStringLiteral("&New Clearbook..."), [this] { m_author.newClearBookDialog(); });
}

void TSlideExplorer::popupFor(const QModelIndex &index, QPoint globalPos)
{
    const NodeLevel level = m_model->levelOf(index);
    if (level == NodeLevel::None) {
        m_treeMenu->exec(globalPos);
        return;
    }
    if (level == NodeLevel::Object) {
        // Disable, Cut and Copy are the open slide's commands.
        const TDbObject *o = m_model->objectOf(index);
        const bool onOpen = o && o->Owner == m_books.ActiveSlide;
        for (QAction *a : m_objectMenu->actions()) {
            const QString n = a->objectName();
            if (n == QLatin1String("pmiObjDisable") || n == QLatin1String("pmiObjCut") ||
                n == QLatin1String("pmiObjCopy"))
                a->setEnabled(onOpen && (n == QLatin1String("pmiObjDisable") || m_author.clipboard));
            if (n == QLatin1String("pmiObjDisable"))
                a->setChecked(o && o->Disabled);
        }
        m_objectMenu->exec(globalPos);
        return;
    }
    const bool slide = level == NodeLevel::Slide;
    const bool open = slide && selectedSlide() == m_books.ActiveSlide;
    for (QAction *a : m_nodeMenu->actions()) {
        const QString n = a->objectName();
        if (n == QLatin1String("pmiNodeSave") || n == QLatin1String("pmiNodeSaveAs") ||
            n == QLatin1String("pmiNodePaste") || n == QLatin1String("pmiNodeOpen") ||
            n == QLatin1String("pmiNodePlay") || n == QLatin1String("pmiNodeClose"))
            a->setVisible(slide);
        if (n == QLatin1String("pmiNodeOpen"))
            a->setEnabled(!open);
        if (n == QLatin1String("pmiNodeClose"))
            a->setEnabled(open);
        if (n == QLatin1String("pmiNodeSave") || n == QLatin1String("pmiNodeSaveAs"))
            a->setEnabled(open);
        if (n == QLatin1String("pmiNodePaste"))
            a->setEnabled(m_author.clipboard && !m_author.clipboard->isEmpty());
        if (n == QLatin1String("pmiNodePlay"))
            a->setEnabled(m_playEnabled);
    }
    m_nodeMenu->exec(globalPos);
}

void TSlideExplorer::contextMenuEvent(QContextMenuEvent *event)
{
    const QPoint inView = m_tree->viewport()->mapFromGlobal(event->globalPos());
    QModelIndex index = m_tree->indexAt(inView);
    if (event->reason() == QContextMenuEvent::Keyboard) {
        index = m_tree->currentIndex();
        const QRect r = m_tree->visualRect(index);
        popupFor(index, m_tree->viewport()->mapToGlobal(index.isValid() ? r.bottomLeft() : QPoint(0, 0)));
        return;
    }
    if (index.isValid())
        m_tree->setCurrentIndex(index);
    popupFor(index, event->globalPos());
}

bool TSlideExplorer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu) {
        contextMenuEvent(static_cast<QContextMenuEvent *>(event));
        return true;
    }
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (key->modifiers() & Qt::AltModifier)
                NodePropertyClick();
            else
                NodeOpenClick();
            return true;
        case Qt::Key_Delete:
            NodeDeleteClick();
            return true;
        default:
            break;
        }
    }
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn)
        setActive(true);
    return QWidget::eventFilter(watched, event);
}

// --- Node commands

void TSlideExplorer::NodeOpenClick()
{
    if (TDbSlide *s = selectedSlide()) {
        if (s != m_books.ActiveSlide)
            m_author.OpenSlide(s);
        return;
    }
    if (TDbClearBook *cb = selectedClearBook()) {
        // The ClearBook becomes the one new slides go into; its slides show.
        if (m_books.ActiveSlide && m_books.ActiveSlide->Owner != cb && !m_author.CloseSlide())
            return;
        m_author.edited().setClearBook(cb);
        m_tree->expand(m_tree->currentIndex());
        return;
    }
    if (TDbObject *o = selectedObject()) {
        // An object of the open slide is selected on it; of another slide, its dialog opens.
        if (o->Owner == m_books.ActiveSlide)
            m_author.edited().selectOnly(o);
        else
            NodePropertyClick();
    }
}

bool TSlideExplorer::Restack(TDbObject *o, bool toFront)
{
    if (!o || !o->Owner)
        return false;
    if (o->Owner == m_books.ActiveSlide) {
        EditedSlide &edited = m_author.edited();
        edited.selectOnly(o);
        return toFront ? edited.requestBringToFront() : edited.requestSendToBack();
    }
    // Another slide's object is written at once.
    if (toFront)
        m_books.BringToFront(o);
    else
        m_books.SendToBack(o);
    return true;
}

void TSlideExplorer::NodeCloseClick()
{
    if (selectedSlide() && selectedSlide() == m_books.ActiveSlide)
        m_author.CloseSlide();
}

void TSlideExplorer::NodeRenameClick()
{
    if (m_tree->currentIndex().isValid())
        m_tree->edit(m_tree->currentIndex());
}

void TSlideExplorer::NodePropertyClick()
{
    if (TDbClearBook *cb = selectedClearBook())
        m_author.ClearBookPropertyDialog(cb);
    else if (TDbSlide *s = selectedSlide())
        m_author.SlidePropertyDialog(s);
    else if (TDbObject *o = selectedObject())
        m_author.MediaPropertyDialog(o);
}

void TSlideExplorer::NodeDeleteClick()
{
    UiServices *ui = m_books.connection().ui();
    if (TDbClearBook *cb = selectedClearBook()) {
        if (ui && !ui->askYesNo(QStringLiteral("Are you sure you want to delete this clearbook?") +
                                QStringLiteral("\n\r'") + cb->Rec.CB_Title + QLatin1Char('\'')))
            return;
        if (m_books.ActiveSlide && m_books.ActiveSlide->Owner == cb && !m_author.CloseSlide())
            return;
        m_books.DeleteClearBook(cb);
    } else if (TDbSlide *s = selectedSlide()) {
        if (ui && !ui->askYesNo(QStringLiteral("Are you sure you want to delete this slide?") +
                                QStringLiteral("\n\r'") + s->Rec.Slide_Title + QLatin1Char('\'')))
            return;
        if (s == m_books.ActiveSlide) {
            if (!m_author.CloseSlide())
                return;
            // A slide never saved is gone with its closing.
            bool known = false;
            for (TDbClearBook *cb : std::as_const(m_books.ClearBooks))
                known = known || cb->Slides.contains(s);
            if (!known)
                return;
        }
        m_books.RemoveSlide(s->Owner->Slides, s);
    } else if (TDbObject *o = selectedObject()) {
        if (ui && !ui->askYesNo(QStringLiteral("Are you sure you want to remove these from the slide?") +
                                QStringLiteral("\n\r") + o->Rec.Title))
            return;
        TDbSlide *s = o->Owner;
        if (s == m_books.ActiveSlide)
            m_author.edited().requestRemoveObjects({o});
        else if (s) {
            m_books.RemoveObject(s->Objects, o, s);
            m_model->slideRefreshed(s);
        }
    }
    m_author.UpdateMenuItems();
}

} // namespace vk
