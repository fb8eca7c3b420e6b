#include "CommandContext.h"

#include "DbFolder.h"

namespace vk {

CommandContext MakeCommandContext(const ViewFacts &f)
{
    CommandContext c;
    c.NoRootFolders = f.noRootFolders;
    c.NoChildWindows = f.noChildWindows;
    c.AuthoringOpen = f.authoringWindowExists && (f.workspaceMode & 2);
    c.LibraryView = f.activeView == ViewKind::FolderExplorer || f.activeView == ViewKind::FolderWindow;
    c.AuthoringView = f.activeView == ViewKind::SlideExplorer || f.activeView == ViewKind::AuthoringWindow;
    c.ExplorerView = f.activeView == ViewKind::FolderExplorer || f.activeView == ViewKind::SlideExplorer;
    c.SlideExplorerView = c.AuthoringView && c.ExplorerView;
    c.DesignView = c.AuthoringView && !c.ExplorerView;
    c.NoSlide = !f.slideOpen;
    c.FolderExplorerShown = f.folderExplorerShown;
    c.ActiveChildIsFolderWindow = f.activeChildIsFolderWindow;

    // The open slide: itself when none of its objects is selected, else the last selected one.
    if (f.slideOpen) {
        c.NoObjectSelected = !f.slideObjectSelected;
        if (c.NoObjectSelected) {
            c.SelectedOther = f.openSlide;
            c.SelectedKind = SlideKind;
        } else {
            c.SelectedOther = f.lastSelectedObject;
            c.SelectedKind = f.lastSelectedObjectKind;
        }
    }
    if (c.SlideExplorerView && f.slideNodeLevel >= 0) {
        c.SelectedOther = f.slideNodeItem;
        c.SelectedKind = f.slideNodeLevel == 0   ? ClearBookKind
                         : f.slideNodeLevel == 1 ? SlideKind
                                                 : f.slideNodeObjectKind;
    }

    c.FolderWindowView = c.LibraryView && !c.ExplorerView;
    c.FolderExplorerView = c.LibraryView && c.ExplorerView;
    c.SearchResultView = c.FolderWindowView && f.windowShowsSearchResult;
    c.FolderEmpty = !c.FolderWindowView || f.windowFolderEmpty;
    c.NoSelection = !c.FolderWindowView || !f.windowLastSelected;
    if (c.FolderWindowView) {
        c.WindowFolder = f.windowFolder;
        c.SelectedOther = nullptr;
        c.SelectedMedia = f.windowLastSelected;
        c.SelectedKind = f.windowLastSelected ? f.windowLastSelected->Rec.MediaType : NoKind;
    }
    if (c.FolderExplorerView) {
        c.SelectedOther = nullptr;
        if (f.explorerNodeLevel < 0) {
            c.SelectedKind = NoKind;
        } else if (f.explorerNodeLevel == 0) {
            c.SelectedFolder = f.explorerFolder;
            c.SelectedKind = RootFolderKind;
        } else {
            c.SelectedMedia = f.explorerMedia;
            c.SelectedKind = f.explorerMedia ? f.explorerMedia->Rec.MediaType : NoKind;
        }
    }
    return c;
}

MenuState EnablingRules(const CommandContext &c)
{
    MenuState m;
    auto enabled = [](bool on) { return ControlState{true, on}; };
    const bool libraryTarget = c.LibraryView && !c.SearchResultView && !c.NoRootFolders;
    const bool authoringTarget = c.AuthoringView && c.SelectedKind != NoKind;
    const bool slideOpen = !c.NoSlide;

    m.NewSubFolder = m.MediaInsert = enabled(libraryTarget);
    m.NewClearBook = {c.AuthoringOpen, c.AuthoringOpen};
    m.NewSlide = {c.AuthoringOpen,
                  c.SelectedKind == ClearBookKind || c.SelectedKind == SlideKind || c.DesignView};
    m.Save = {c.AuthoringOpen, c.DesignView && slideOpen};
    m.MediaAcquire = m.MediaCapture = m.CapImage =
        enabled(c.FolderWindowView && !c.SearchResultView && !c.NoRootFolders);
    m.FolderOpen = enabled(!c.NoRootFolders);
    m.FolderClose = m.SlideShowButton = enabled(c.FolderWindowView && !c.NoRootFolders);
    m.Delete = enabled(libraryTarget || authoringTarget);
    m.Property = enabled((c.LibraryView && !c.NoRootFolders) || authoringTarget);
    m.SearchMedia = m.FolderSort = m.MediaSort = enabled(c.LibraryView && !c.NoRootFolders);
    m.WindowItems = enabled(!c.NoChildWindows);
    m.ExplorerButton = enabled(!c.FolderExplorerShown);
    // The Authoring Tool command is off while the authoring window is open.
    m.AuthorBtn = enabled(!c.AuthoringOpen);
    m.DesignTools = enabled(c.DesignView && slideOpen);

    const bool folderNode =
        c.FolderExplorerView && (c.SelectedKind == RootFolderKind || c.SelectedKind == SubFolderType);
    m.FolderOpenItem = enabled(c.LibraryView);
    m.FolderRemoveItem = m.FolderPropertyItem =
        enabled((c.FolderWindowView && !c.SearchResultView) || folderNode);
    m.FolderCloseItem = m.SlideShowItem = enabled(c.FolderWindowView);
    m.FolderSaveAsItem = enabled(c.FolderWindowView || folderNode);
    m.FolderSearch = enabled(c.LibraryView);
    m.OptionPreferencesItem = enabled(c.ActiveChildIsFolderWindow);
    return m;
}

TDbFolder *TargetFolder(const CommandContext &c, bool ownerAllowed)
{
    if (c.FolderWindowView)
        return c.WindowFolder;
    if (!c.FolderExplorerView)
        return nullptr;
    if (c.SelectedKind == RootFolderKind)
        return c.SelectedFolder;
    if (!c.SelectedMedia)
        return nullptr;
    if (c.SelectedKind == SubFolderType)
        return c.SelectedMedia->SubFolder;
    return ownerAllowed ? c.SelectedMedia->Owner : nullptr;
}

} // namespace vk
