// Where the tiles of a folder window lie: rows of tiles, 10 pixels apart and 10 from the
// window's top and left edges, as many to a row as fit wholly inside the client width (at
// least one). Placing, dropping and the arrow keys all use this one rule, so a drop lands where
// the marker shows and Up moves straight up, whatever the window's width.
#pragma once

#include <QPoint>
#include <QRect>

namespace vk {

struct TileLayout
{
    int clientWidth = 0;
    int tileWidth = 80;
    int tileHeight = 100;
    int count = 0;

    static constexpr int Gap = 10;

    // Tiles in a row: a tile goes on the row while its right edge stays left of the client
    // width; the first of a row always goes.
    int columns() const;
    int rows() const;
    // The height of all rows with the margins.
    int contentHeight() const;
    // A tile in content coordinates (no scrolling).
    QRect tileRect(int position) const;
    // The tile under a point in content coordinates; -1 over the background.
    int tileAt(QPoint content) const;
    // Where a drop at a point in content coordinates inserts: before the tile whose slot the
    // point is in, or after the last tile. In 0..count.
    int dropPosition(QPoint content) const;
    // The insertion marker for a drop position: 3 pixels wide and a tile high, in the gap before
    // the tile at that position, or right after the last tile.
    QRect markerRect(int position) const;
    // The first and last positions of the rows that meet the band from top to bottom (content
    // coordinates); an empty range (first > last) when none.
    void rowsIn(int top, int bottom, int *first, int *last) const;

    // The arrow keys from one tile: Left and Right step within the list (not past its ends), Up
    // goes one row up or else to the previous tile, Down one row down or else to the next
    // tile. Answers the new position (the same one when there is nowhere to go).
    int left(int position) const;
    int right(int position) const;
    int up(int position) const;
    int down(int position) const;
};

} // namespace vk
