#include "TileSelection.h"

#include "DbFolder.h"
#include "TileLayout.h"

#include <algorithm>

namespace vk {

void TileSelection::selectOnly(TDbMedia *item)
{
    items.clear();
    if (item)
        items.append(item);
}

void TileSelection::add(TDbMedia *item)
{
    if (item && !items.contains(item))
        items.append(item);
}

void TileSelection::remove(TDbMedia *item)
{
    items.removeAll(item);
}

void TileSelection::keepLast()
{
    if (items.size() > 1)
        items = {items.last()};
}

void TileSelection::selectAll(const QList<TDbMedia *> &list)
{
    items = list;
}

void TileSelection::retain(const QList<TDbMedia *> &list)
{
    items.erase(
        std::remove_if(items.begin(), items.end(), [&list](TDbMedia *m) { return !list.contains(m); }),
        items.end());
    if (anchor && !list.contains(anchor))
        anchor = nullptr;
}

void TileSelection::press(const QList<TDbMedia *> &list, int position, Press how)
{
    if (position < 0 || position >= list.size())
        return;
    TDbMedia *item = list[position];
    toggleOnRelease = false;
    reduceOnRelease = false;
    switch (how) {
    case Press::Shift: {
        TDbMedia *from = items.isEmpty() ? item : (rangeFromFirst ? items.first() : items.last());
        int at = int(list.indexOf(from));
        if (at < 0) {
            from = item;
            at = position;
        }
        selectOnly(from);
        rangeFromFirst = true;
        const int step = position >= at ? 1 : -1;
        for (int i = at + step; i != position + step; i += step)
            add(list[i]);
        break;
    }
    case Press::Ctrl:
        rangeFromFirst = false;
        if (contains(item))
            toggleOnRelease = true;
        else
            add(item);
        break;
    case Press::Plain:
        rangeFromFirst = false;
        if (!contains(item))
            selectOnly(item);
        else if (items.size() > 1)
            reduceOnRelease = true;
        break;
    case Press::Right:
        rangeFromFirst = false;
        if (!contains(item))
            selectOnly(item);
        break;
    }
}

void TileSelection::release(TDbMedia *item)
{
    if (toggleOnRelease && items.size() > 1)
        remove(item);
    else if (reduceOnRelease && contains(item))
        selectOnly(item);
    toggleOnRelease = false;
    reduceOnRelease = false;
}

void TileSelection::band(const QList<TDbMedia *> &list, const TileLayout &layout, QPoint start, QPoint end)
{
    const QRect band = QRect(start, end).normalized();
    QList<TDbMedia *> kept;
    QList<TDbMedia *> added;
    int first = 0, last = -1;
    layout.rowsIn(band.top(), band.bottom(), &first, &last);
    for (int i = std::max(first, 0); i <= last && i < list.size(); ++i) {
        if (!layout.tileRect(i).intersects(band))
            continue;
        if (contains(list[i]))
            kept.append(list[i]);
        else
            added.append(list[i]);
    }
    QList<TDbMedia *> now;
    for (TDbMedia *m : std::as_const(items))
        if (kept.contains(m))
            now.append(m);
    now.append(added);
    items = now;
}

QList<TDbMedia *> TileSelection::inListOrder(const QList<TDbMedia *> &list) const
{
    QList<TDbMedia *> out;
    if (items.isEmpty())
        return out;
    for (TDbMedia *m : list)
        if (items.contains(m))
            out.append(m);
    return out;
}

} // namespace vk
