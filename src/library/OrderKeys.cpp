#include "OrderKeys.h"

#include <cmath>

namespace vk {

OrderSlot orderSlot(const QList<double> &keys, int position)
{
    OrderSlot s;
    const int count = int(keys.size());
    if (count == 0) {
        s.index = 0;
        s.position = 0;
    } else if (position <= 0) {
        s.index = keys.first() - 32;
        s.position = 0;
    } else if (position < count) {
        s.index = (keys[position - 1] + keys[position]) / 2;
        s.position = position;
        // Two equal neighbours leave no room between them either.
        if (s.index == keys[position - 1] || s.index == keys[position])
            s.renumber = true;
    } else {
        s.index = keys.last() + 32;
        s.position = count;
    }
    s.renumber = s.renumber || s.index < 0 || s.index != std::floor(s.index);
    return s;
}

} // namespace vk
