// The kinds of window the workspace frame serves with its commands.
#pragma once

namespace vk {

// The kind of window that is the frame's active view.
enum class ViewKind
{
    Frame,
    FolderExplorer,
    FolderWindow,
    SlideExplorer,
    AuthoringWindow
};

} // namespace vk
