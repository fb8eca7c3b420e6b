// Order keys: the float `index` of folders, media and slides, spaced by 32. A new
// entry between two takes their mean; when that leaves no room (a negative or
// fractional key) the whole list is renumbered 0, 32, 64, ...
#pragma once

#include <QList>

namespace vk {

struct OrderSlot
{
    double index = 0;
    int position = 0;      // where the entry goes
    bool renumber = false; // the list must be renumbered after inserting
};

OrderSlot orderSlot(const QList<double> &keys, int position);
// The key of the k-th entry after renumbering.
inline double renumberedKey(int k)
{
    return 32.0 * k;
}

} // namespace vk
