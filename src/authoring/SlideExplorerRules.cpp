#include "SlideExplorerRules.h"

#include <algorithm>

namespace vk {

int DropKindOf(DragSource source, bool folderNodeIsMedia)
{
    switch (source) {
    case DragSource::SurfaceObject:
    case DragSource::ObjectNode:
        return 4;
    case DragSource::FolderWindowMedia:
        return 1;
    case DragSource::FolderExplorerNode:
        return folderNodeIsMedia ? 1 : 0;
    case DragSource::ClearBookNode:
        return 2;
    case DragSource::SlideNode:
        return 3;
    case DragSource::Other:
        break;
    }
    return 0;
}

bool AcceptsDrop(DragSource source, NodeLevel level, bool folderNodeIsMedia)
{
    if (level == NodeLevel::None)
        return false;
    const bool onSlideOrObject = level == NodeLevel::Slide || level == NodeLevel::Object;
    switch (source) {
    case DragSource::SurfaceObject:
    case DragSource::ObjectNode:
        return onSlideOrObject;
    case DragSource::FolderWindowMedia:
        return true;
    case DragSource::FolderExplorerNode:
        return folderNodeIsMedia && onSlideOrObject;
    case DragSource::ClearBookNode:
        return level == NodeLevel::ClearBook;
    case DragSource::SlideNode:
        return level == NodeLevel::ClearBook || level == NodeLevel::Slide;
    case DragSource::Other:
        return true;
    }
    return false;
}

int SlideDropPlace(NodeLevel level, int targetSlide, int count, int oldPlace)
{
    int place;
    if (level == NodeLevel::ClearBook)
        place = count;
    else if (level == NodeLevel::Slide)
        place = targetSlide + 1;
    else
        return -1;
    if (oldPlace < 0)
        return std::clamp(place, 0, count);
    if (level == NodeLevel::Slide && targetSlide == oldPlace)
        return -1;
    // Taken out first: a place after its old one moves up by one.
    if (place > oldPlace)
        --place;
    place = std::clamp(place, 0, count - 1);
    return place == oldPlace ? -1 : place;
}

int ObjectDropPosition(NodeLevel level, int targetObject, int designCount)
{
    if (level == NodeLevel::Object)
        return std::clamp(targetObject + 1, 0, designCount);
    return designCount;
}

int PositionAfterTakingOut(int position, const QList<int> &oldPositions)
{
    int p = position;
    for (int old : oldPositions)
        if (old < position)
            --p;
    return std::max(0, p);
}

QPoint DropPointFor(QPoint dropPoint, int index)
{
    if (dropPoint == NoDropPoint)
        return NoDropPoint;
    return dropPoint + QPoint(20 * index, 20 * index);
}

} // namespace vk
