#include "TileSizes.h"

#include <array>

namespace vk {

namespace {
constexpr std::array<std::pair<int, int>, 6> Sizes = {
    {{80, 100}, {100, 120}, {120, 140}, {75, 60}, {120, 94}, {90, 120}}};
}

std::optional<QSize> TileSizeOfChoice(int choice)
{
    if (choice < 0 || choice >= int(Sizes.size()))
        return std::nullopt;
    return QSize(Sizes[choice].first, Sizes[choice].second);
}

int TileChoiceOfSize(int width, int height)
{
    for (int k = 0; k < int(Sizes.size()); ++k)
        if (Sizes[k].first == width && Sizes[k].second == height)
            return k;
    return -1;
}

} // namespace vk
