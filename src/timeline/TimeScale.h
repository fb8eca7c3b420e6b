// The timeline table's time scale: how many pixels a time takes at each zoom step, and back.
//
// Times are hundredths of a second. At scale unit u a time t lies ((2·t·u) div 3) div 100
// pixels from the start, and a pixel x stands for (150·x) div u hundredths: at the first
// unit, 30, a second is 20 pixels. Both cut toward zero, as the stored bars were placed.
#pragma once

#include <QtGlobal>

#include <array>

namespace vk {

inline constexpr std::array<int, 8> TimeScaleUnits{60, 30, 12, 6, 4, 3, 2, 1};
inline constexpr int InitialZoomIndex = 1;

constexpr int TimeToPixels(qint64 t, int unit)
{
    return int(((2 * t * unit) / 3) / 100);
}

constexpr int PixelsToTime(qint64 x, int unit)
{
    return unit > 0 ? int((150 * x) / unit) : 0;
}

// The zoom step after expanding (toward 60) or contracting (toward 1) the scale; the same
// step at either end.
constexpr int ExpandedZoomIndex(int index)
{
    return index > 0 ? index - 1 : 0;
}
constexpr int ContractedZoomIndex(int index)
{
    return index < int(TimeScaleUnits.size()) - 1 ? index + 1 : index;
}

} // namespace vk
