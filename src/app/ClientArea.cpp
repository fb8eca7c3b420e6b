#include "ClientArea.h"

#include "LibraryDrag.h"

#include <QDragEnterEvent>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>

namespace vk {

namespace {
const QColor Teal(0x00, 0x80, 0x80);
}

TClientArea::TClientArea(QWidget *parent) : QMdiArea(parent)
{
    setBackground(Teal);
    setAcceptDrops(true);
}

bool TClientArea::takes(const QDropEvent *event) const
{
    if (!LibraryDrag::isLibraryDrag(event->mimeData()) || !acceptsDrop)
        return false;
    // Child windows take their own drops; their frames and title bars take none.
    for (QMdiSubWindow *sub : subWindowList())
        if (sub->isVisible() && sub->geometry().contains(event->position().toPoint()))
            return false;
    return acceptsDrop();
}

void TClientArea::dragEnterEvent(QDragEnterEvent *event)
{
    if (LibraryDrag::isLibraryDrag(event->mimeData()) && acceptsDrop && acceptsDrop())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TClientArea::dragMoveEvent(QDragMoveEvent *event)
{
    if (takes(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TClientArea::dropEvent(QDropEvent *event)
{
    if (!takes(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The work waits until the drag is finished (it may show a message).
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (dropped)
                dropped();
        },
        Qt::QueuedConnection);
}

void TClientArea::setBackImage(const QPixmap &picture)
{
    m_backImage = picture;
    viewport()->update();
}

void TClientArea::setBackImageVisible(bool visible)
{
    m_visible = visible;
    viewport()->update();
}

void TClientArea::setWallPaperStyle(int style)
{
    m_style = style;
    viewport()->update();
}

QList<QPoint> TClientArea::placements(QSize client, QSize picture, int style)
{
    QList<QPoint> at;
    if (picture.isEmpty() || client.isEmpty())
        return at;
    if (style == 0) {
        // One row and one column more than fit whole, so the edges are always covered.
        const int rows = client.height() / picture.height() + 1;
        const int columns = client.width() / picture.width() + 1;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                at.append(QPoint(c * picture.width(), r * picture.height()));
    } else if (style == 1) {
        at.append(QPoint((client.width() - picture.width()) / 2, (client.height() - picture.height()) / 2));
    }
    return at;
}

void TClientArea::paintEvent(QPaintEvent *event)
{
    QMdiArea::paintEvent(event);
    if (!m_visible || m_backImage.isNull())
        return;
    QPainter p(viewport());
    p.setClipRegion(event->region());
    const QSize picture = m_backImage.deviceIndependentSize().toSize();
    for (const QPoint &at : placements(viewport()->size(), picture, m_style))
        p.drawPixmap(at, m_backImage);
}

} // namespace vk
