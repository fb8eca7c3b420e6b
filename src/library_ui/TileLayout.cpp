#include "TileLayout.h"

#include <algorithm>

namespace vk {

int TileLayout::columns() const
{
    const int pitch = tileWidth + Gap;
    if (pitch <= 0)
        return 1;
    // The k-th tile of a row (from 0) ends at Gap + k * pitch + tileWidth, which must stay
    // below the client width.
    const int room = clientWidth - Gap - tileWidth - 1;
    return room < 0 ? 1 : 1 + room / pitch;
}

int TileLayout::rows() const
{
    const int cols = columns();
    return count <= 0 ? 0 : (count + cols - 1) / cols;
}

int TileLayout::contentHeight() const
{
    return Gap + rows() * (tileHeight + Gap);
}

QRect TileLayout::tileRect(int position) const
{
    const int cols = columns();
    const int row = position / cols, col = position % cols;
    return QRect(Gap + col * (tileWidth + Gap), Gap + row * (tileHeight + Gap), tileWidth, tileHeight);
}

int TileLayout::tileAt(QPoint p) const
{
    if (p.x() < Gap || p.y() < Gap)
        return -1;
    const int col = (p.x() - Gap) / (tileWidth + Gap), row = (p.y() - Gap) / (tileHeight + Gap);
    if (col >= columns())
        return -1;
    const int position = row * columns() + col;
    if (position >= count || !tileRect(position).contains(p))
        return -1;
    return position;
}

int TileLayout::dropPosition(QPoint p) const
{
    if (count <= 0)
        return 0;
    const int cols = columns();
    // Each tile's slot starts at the gap before it; a point right of the last column belongs
    // after the row's last tile.
    const int col = std::clamp(p.x() / (tileWidth + Gap), 0, cols);
    const int row = std::max(0, p.y() / (tileHeight + Gap));
    const qint64 position = qint64(row) * cols + col;
    return int(std::min<qint64>(position, count));
}

QRect TileLayout::markerRect(int position) const
{
    if (count <= 0)
        return QRect(Gap, Gap, 3, 0);
    if (position >= count) {
        const QRect last = tileRect(count - 1);
        return QRect(last.right() + 1 + 4, last.top(), 3, tileHeight);
    }
    const QRect at = tileRect(position);
    return QRect(at.left() - 6, at.top(), 3, tileHeight);
}

void TileLayout::rowsIn(int top, int bottom, int *first, int *last) const
{
    const int pitch = tileHeight + Gap;
    const int fromRow = std::max(0, (top - Gap) / pitch);
    const int toRow = std::max(0, (bottom - Gap) / pitch);
    *first = fromRow * columns();
    *last = std::min(count - 1, (toRow + 1) * columns() - 1);
}

int TileLayout::left(int position) const
{
    return std::max(0, position - 1);
}

int TileLayout::right(int position) const
{
    return std::min(count - 1, position + 1);
}

int TileLayout::up(int position) const
{
    const int above = position - columns();
    return above >= 0 ? above : std::max(0, position - 1);
}

int TileLayout::down(int position) const
{
    const int below = position + columns();
    if (below < count)
        return below;
    return position + 1 < count ? position + 1 : position;
}

} // namespace vk
