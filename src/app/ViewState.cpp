#include "ViewState.h"

#include "Startup.h"

namespace vk {

ViewState ViewStateRules(const ViewStateInput &in)
{
    const bool authoring = in.workspaceMode & ModeAuthoring;
    const bool slidePlaying = in.workspaceMode & ModeSlidePlaying;
    const bool slideShow = in.workspaceMode & ModeSlideShow;
    ViewState v;
    v.mainToolbarItem = true;
    v.folderExplorerItem = true;
    v.authoringToolbarItem = authoring;
    v.slideExplorerItem = authoring;
    v.timelineItem = in.authoringView;
    v.zoomItem = in.designView;
    v.keyWordsItem = in.libraryView && !slidePlaying;

    v.speedPanel = v.mainToolbarItem && in.mainToolbarChecked;
    v.mediaToolbar = v.authoringToolbarItem && in.authoringToolbarChecked;
    // Tool windows step aside while a slide plays or a slide show runs.
    v.folderExplorer = v.folderExplorerItem && in.folderExplorerChecked && !slidePlaying && !slideShow;
    v.slideExplorer = in.slideExplorerExists && v.slideExplorerItem && in.slideExplorerChecked &&
                      !slidePlaying && !slideShow;
    v.keyWordsWindow = in.keyWordsWindowExists && v.keyWordsItem && in.keyWordsChecked;
    v.timelineWindow =
        in.timelineWindowExists && !slidePlaying && v.timelineItem && in.timelineChecked && !slideShow;
    return v;
}

} // namespace vk
