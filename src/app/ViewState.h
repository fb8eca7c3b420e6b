// Which View menu items, toolbars and tool windows are visible, from the workspace
// mode, the active view and the View menu's check marks. A plain function: the frame
// applies its answer to the widgets.
#pragma once

namespace vk {

struct ViewStateInput
{
    int workspaceMode = 1;
    bool authoringView = false;
    bool designView = false;
    bool libraryView = false;
    // The View menu's check marks.
    bool mainToolbarChecked = true;
    bool authoringToolbarChecked = true;
    bool timelineChecked = false;
    bool slideExplorerChecked = true;
    bool folderExplorerChecked = true;
    bool keyWordsChecked = false;
    // Tool windows that exist (the folder explorer lives for the whole run once it is made).
    bool slideExplorerExists = false;
    bool keyWordsWindowExists = false;
    bool timelineWindowExists = false;
};

struct ViewState
{
    // View menu items.
    bool mainToolbarItem = true;
    bool authoringToolbarItem = false;
    bool timelineItem = false;
    bool slideExplorerItem = false;
    bool folderExplorerItem = true;
    bool zoomItem = false;
    bool keyWordsItem = false;
    // Toolbars and tool windows shown.
    bool speedPanel = true;
    bool mediaToolbar = false;
    bool folderExplorer = true;
    bool slideExplorer = false;
    bool keyWordsWindow = false;
    bool timelineWindow = false;
    bool operator==(const ViewState &) const = default;
};

ViewState ViewStateRules(const ViewStateInput &in);

} // namespace vk
