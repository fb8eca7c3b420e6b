// The selection of a folder window: its tiles in the order they were selected, and the rules
// by which clicks, Shift and Ctrl, the rubber band and the keys change it. Plain data over the
// folder's item list; the window draws what it says.
#pragma once

#include <QList>
#include <QRect>

namespace vk {

class TDbMedia;
struct TileLayout;

class TileSelection
{
public:
    // In the order selected; the last is the window's current item.
    QList<TDbMedia *> items;
    // The Shift anchor is the first selected tile (after a Shift-click) rather than the last.
    bool rangeFromFirst = false;
    // A Ctrl-press on a tile that was selected already: the release takes it out again.
    bool toggleOnRelease = false;
    // A plain press on a tile of a selected group keeps the group while a drag may start; the
    // release without a drag leaves that tile alone selected.
    bool reduceOnRelease = false;
    // The tile kept when a band starts.
    TDbMedia *anchor = nullptr;

    bool contains(const TDbMedia *item) const { return items.contains(const_cast<TDbMedia *>(item)); }
    TDbMedia *last() const { return items.isEmpty() ? nullptr : items.last(); }

    void clear() { items.clear(); }
    void selectOnly(TDbMedia *item);
    void add(TDbMedia *item);
    void remove(TDbMedia *item);
    void keepLast();
    void selectAll(const QList<TDbMedia *> &list);
    // Items that left the list leave the selection too.
    void retain(const QList<TDbMedia *> &list);

    enum class Press
    {
        Plain,
        Ctrl,
        Shift,
        Right
    };
    // A press on the tile at `position` of `list`.
    void press(const QList<TDbMedia *> &list, int position, Press how);
    // The release after a press on the tile, when no drag started.
    void release(TDbMedia *item);
    // The rubber band (content coordinates): every tile that meets it joins the end of the
    // selection, every other tile leaves it; the anchor stays when nothing else is selected.
    void band(const QList<TDbMedia *> &list, const TileLayout &layout, QPoint start, QPoint end);

    // The items in list order.
    QList<TDbMedia *> inListOrder(const QList<TDbMedia *> &list) const;
};

} // namespace vk
