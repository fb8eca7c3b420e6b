// What the frame asks of the windows it holds (folder windows, the authoring window)
// and of its tool windows: which kind of view each is, and which menus a child merges
// into the frame's menu bar while it is the active child.
#pragma once

#include "ViewKind.h"

#include <QList>

class QMenu;

namespace vk {

// The group index a merged menu takes its place by: the frame's "&Folder" menu is 0,
// its other menus 9; a child's menu replaces the frame's menus of the same index and
// stands before those of a higher one.
inline constexpr const char *MenuGroupProperty = "groupIndex";

class ChildWindow
{
public:
    virtual ~ChildWindow() = default;
    virtual ViewKind viewKind() const = 0;
    virtual QList<QMenu *> childMenus() const { return {}; }
};

} // namespace vk
