// The tile sizes offered by the preferences: a choice's width and height in pixels.
#pragma once

#include <QSize>

#include <optional>

namespace vk {

// 0: 80 × 100, 1: 100 × 120, 2: 120 × 140, 3: 75 × 60, 4: 120 × 94, 5: 90 × 120
// (width × height); nothing for any other choice.
std::optional<QSize> TileSizeOfChoice(int choice);
// The choice of a size, -1 when it is none of the six.
int TileChoiceOfSize(int width, int height);

} // namespace vk
