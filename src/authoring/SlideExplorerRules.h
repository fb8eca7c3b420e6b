// The slide explorer's rules, apart from its tree: what a drop onto a node accepts, and where
// the dropped slides and objects go. Plain functions, so the rules are tested without a view.
#pragma once

#include <QList>
#include <QPoint>

namespace vk {

// The mime type of design objects dragged off the slide surface: the selection of the open
// slide, named by that slide (the objects themselves stay where they are until the drop).
inline constexpr const char *SurfaceObjectsMimeType = "application/x-vellumark-surface-objects";

// A node's level in the slide explorer's tree.
enum class NodeLevel
{
    None = -1, // nothing under the mouse
    ClearBook = 0,
    Slide = 1,
    Object = 2
};

// What is being dragged over the tree.
enum class DragSource
{
    SurfaceObject,     // design objects of the slide surface
    FolderWindowMedia, // library media items of a folder window
    FolderExplorerNode,
    ClearBookNode,
    SlideNode,
    ObjectNode,
    Other
};

// The drop kind a drag carries: 0 nothing, 1 media, 2 ClearBooks, 3 slides, 4 objects.
// A folder explorer node carries media only when it is a media item (not a root folder nor a
// sub-folder tile).
int DropKindOf(DragSource source, bool folderNodeIsMedia = true);

// Whether a drop of `source` onto a node of `level` is accepted. Nothing under the mouse
// refuses; a drag of something else is accepted (and moves nothing).
bool AcceptsDrop(DragSource source, NodeLevel level, bool folderNodeIsMedia = true);

// Where a slide dropped on a node goes, as its place in the target ClearBook's list after the
// drop: on a ClearBook node, at its end; on a slide node, after that slide. `targetSlide` is
// the slide node's place (ignored for a ClearBook node), `count` the target's slides before
// the drop, `oldPlace` the dragged slide's place when it is a slide of the same ClearBook and
// moved (-1 otherwise: a copy, or a slide of another ClearBook). -1 when the drop moves
// nothing (a slide dropped on itself).
int SlideDropPlace(NodeLevel level, int targetSlide, int count, int oldPlace);

// Where objects dropped on a node go in the target slide's design order: on a slide node at
// its end, on an object node after that object.
int ObjectDropPosition(NodeLevel level, int targetObject, int designCount);

// A move within the same slide: the dragged objects' old positions before `position` reduce
// it (each is taken out before it is placed again).
int PositionAfterTakingOut(int position, const QList<int> &oldPositions);

// The surface point the index-th dropped object is placed at: the drop point + 20 × index on
// both axes. A drop without a surface point (NoDropPoint) gives none.
inline constexpr QPoint NoDropPoint{-100, -100};
QPoint DropPointFor(QPoint dropPoint, int index);

} // namespace vk
