#include "FolderWindow.h"

#include "DbFolder.h"
#include "Icons.h"
#include "MediaTypes.h"

#include <QListWidget>
#include <QPixmapCache>
#include <QVBoxLayout>

namespace vk {

namespace {

// The item's stored thumbnail, or the bitmap of its type when it has none.
QPixmap tilePicture(const TDbMedia *item)
{
    if (!item->SubFolder && !item->Rec.NailFile.isEmpty()) {
        QPixmap thumb;
        if (!QPixmapCache::find(item->Rec.NailFile, &thumb) && thumb.load(item->Rec.NailFile))
            QPixmapCache::insert(item->Rec.NailFile, thumb);
        if (!thumb.isNull())
            return thumb;
    }
    return TypeBitmaps::bitmap(TypeBitmaps::nameOfMediaType(item->Rec.MediaType));
}

} // namespace

TFolderWindow::TFolderWindow(TDbFolderList &roots, TDbFolder *folder, bool searchResult, QWidget *parent)
    : QWidget(parent), m_roots(roots), m_folder(folder), m_searchResult(searchResult)
{
    setWindowTitle(folder->Rec.Title);
    setWindowIcon(vkIcon(QStringLiteral("folder")));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_list = new QListWidget(this);
    m_list->setViewMode(QListView::IconMode);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The folder's tile size: the picture above, the title below.
    const int width = folder->Rec.Width > 0 ? folder->Rec.Width : 80;
    const int height = folder->Rec.Height > 0 ? folder->Rec.Height : 100;
    m_list->setIconSize(QSize(width - 8, height - 36));
    m_list->setGridSize(QSize(width + 12, height + 8));
    m_list->setSpacing(4);
    m_list->setWordWrap(true);
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &TFolderWindow::syncSelection);
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem *row) {
        auto *item = static_cast<TDbMedia *>(row->data(Qt::UserRole).value<void *>());
        if (item && item->SubFolder)
            emit openFolderRequested(item->SubFolder);
    });
    auto changed = [this](TDbFolder *f) {
        if (f == m_folder)
            refresh();
    };
    connect(&roots, &TDbFolderList::itemInserted, this,
            [changed](TDbFolder *f, TDbMedia *, int) { changed(f); });
    // Removal is announced before the item leaves the list: show the list once it has.
    connect(&roots, &TDbFolderList::itemRemoved, this, [this](TDbFolder *f, TDbMedia *item) {
        if (f != m_folder)
            return;
        m_selectionOrder.removeAll(item);
        QMetaObject::invokeMethod(this, &TFolderWindow::refresh, Qt::QueuedConnection);
    });
    refresh();
}

bool TFolderWindow::isEmpty() const
{
    return !m_folder || !m_folder->MediaList || m_folder->MediaList->Items.isEmpty();
}

TDbMedia *TFolderWindow::lastSelected() const
{
    return m_selectionOrder.isEmpty() ? nullptr : m_selectionOrder.last();
}

QList<TDbMedia *> TFolderWindow::selectedItems() const
{
    QList<TDbMedia *> out;
    if (isEmpty())
        return out;
    for (TDbMedia *item : m_folder->MediaList->Items)
        if (m_selectionOrder.contains(item))
            out.append(item);
    return out;
}

void TFolderWindow::refresh()
{
    m_filling = true;
    m_list->clear();
    QList<TDbMedia *> keep;
    if (!isEmpty()) {
        for (TDbMedia *item : m_folder->MediaList->Items) {
            const QString title = item->SubFolder ? item->SubFolder->Rec.Title : item->Rec.Title;
            auto *row = new QListWidgetItem(QIcon(tilePicture(item)), title, m_list);
            row->setData(Qt::UserRole, QVariant::fromValue(static_cast<void *>(item)));
            row->setToolTip(TypeLabel(item->Rec.MediaType).isEmpty()
                                ? title
                                : TypeLabel(item->Rec.MediaType) + title);
            if (m_selectionOrder.contains(item)) {
                row->setSelected(true);
                keep.append(item);
            }
        }
    }
    // Keep the order of selection for the items still there.
    QList<TDbMedia *> order;
    for (TDbMedia *item : m_selectionOrder)
        if (keep.contains(item))
            order.append(item);
    m_selectionOrder = order;
    m_filling = false;
    emit selectionChanged();
}

void TFolderWindow::detachFolder()
{
    m_folder = nullptr;
    m_selectionOrder.clear();
    m_filling = true;
    m_list->clear();
    m_filling = false;
}

void TFolderWindow::selectAt(int position)
{
    if (isEmpty()) {
        m_list->clearSelection();
        return;
    }
    const int count = m_folder->MediaList->count();
    position = std::clamp(position, 0, count - 1);
    selectItem(m_folder->MediaList->Items.at(position));
}

void TFolderWindow::selectItem(TDbMedia *item)
{
    for (int k = 0; k < m_list->count(); ++k) {
        QListWidgetItem *row = m_list->item(k);
        if (row->data(Qt::UserRole).value<void *>() == item) {
            m_list->setCurrentItem(row, QItemSelectionModel::ClearAndSelect);
            m_list->scrollToItem(row);
            return;
        }
    }
}

void TFolderWindow::syncSelection()
{
    if (m_filling)
        return;
    QList<TDbMedia *> now;
    for (int k = 0; k < m_list->count(); ++k) {
        QListWidgetItem *row = m_list->item(k);
        auto *item = static_cast<TDbMedia *>(row->data(Qt::UserRole).value<void *>());
        item->Selected = row->isSelected();
        if (item->Selected)
            now.append(item);
    }
    // Items that stay selected keep their place in the order; new ones go last, the current
    // one last of all (it is the one the person clicked).
    QList<TDbMedia *> order;
    for (TDbMedia *item : m_selectionOrder)
        if (now.contains(item))
            order.append(item);
    for (TDbMedia *item : now)
        if (!order.contains(item))
            order.append(item);
    if (QListWidgetItem *current = m_list->currentItem(); current && current->isSelected()) {
        auto *item = static_cast<TDbMedia *>(current->data(Qt::UserRole).value<void *>());
        if (order.removeOne(item))
            order.append(item);
    }
    m_selectionOrder = order;
    emit selectionChanged();
}

} // namespace vk
