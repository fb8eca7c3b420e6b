// The command context: which window the frame's commands serve, what is selected in
// it, and from that which commands are available. Plain data and functions, no
// widgets: the frame fills `ViewFacts` from its windows, and the rules below decide
// the state of every toolbar button and menu item.
#pragma once

#include "ViewKind.h"

namespace vk {

class TDbFolder;
class TDbMedia;


// Kinds of a selected object besides the media types and slide-object kinds.
inline constexpr int NoKind = -1;
inline constexpr int RootFolderKind = -100;
inline constexpr int ClearBookKind = 401;
inline constexpr int SlideKind = 402;

// What the frame knows of its windows when it recomputes the context.
struct ViewFacts
{
    ViewKind activeView = ViewKind::Frame;
    bool noRootFolders = true;
    bool noChildWindows = true;
    bool authoringWindowExists = false;
    int workspaceMode = 1;
    bool folderExplorerShown = false;
    // The active MDI child is a folder window (not the authoring window).
    bool activeChildIsFolderWindow = false;

    // The folder window that is the active view.
    TDbFolder *windowFolder = nullptr;
    bool windowShowsSearchResult = false;
    bool windowFolderEmpty = true;
    TDbMedia *windowLastSelected = nullptr; // the most recently selected tile

    // The folder explorer's selected node: level -1 none, 0 a root folder, deeper a
    // media item or subfolder tile.
    int explorerNodeLevel = -1;
    TDbFolder *explorerFolder = nullptr;
    TDbMedia *explorerMedia = nullptr;

    // The authoring window and the slide explorer.
    bool slideOpen = false;
    bool slideObjectSelected = false; // the open slide has objects and one is selected
    void *openSlide = nullptr;
    void *lastSelectedObject = nullptr;
    int lastSelectedObjectKind = NoKind;
    int slideNodeLevel = -1; // 0 ClearBook, 1 slide, 2 object
    void *slideNodeItem = nullptr;
    int slideNodeObjectKind = NoKind;
};

struct CommandContext
{
    bool NoRootFolders = true;
    bool NoChildWindows = true;
    bool AuthoringOpen = false;
    bool LibraryView = false;
    bool AuthoringView = false;
    bool ExplorerView = false;
    bool FolderExplorerView = false;
    bool FolderWindowView = false;
    bool SearchResultView = false;
    bool FolderEmpty = true;
    bool NoSelection = true;
    bool SlideExplorerView = false;
    bool DesignView = false;
    bool NoSlide = true;
    bool NoObjectSelected = true;

    // The object the commands act on. A root folder (kind -100) is in SelectedFolder,
    // a library item (a media type or 301) in SelectedMedia, anything of the authoring
    // tool in SelectedOther.
    int SelectedKind = NoKind;
    TDbFolder *SelectedFolder = nullptr;
    TDbMedia *SelectedMedia = nullptr;
    void *SelectedOther = nullptr;

    // The folder of the active folder window.
    TDbFolder *WindowFolder = nullptr;
    bool FolderExplorerShown = false;
    bool ActiveChildIsFolderWindow = false;
};

CommandContext MakeCommandContext(const ViewFacts &facts);

struct ControlState
{
    bool visible = true;
    bool enabled = true;
    bool operator==(const ControlState &) const = default;
};

// The state of every control whose state depends on the context. Controls not named
// here (New Main Folder, Folder Preference, Media Display, Application Exit, ...) are
// always available.
struct MenuState
{
    // Toolbar buttons.
    ControlState NewSubFolder, MediaInsert, NewClearBook, NewSlide, Save;
    ControlState MediaAcquire, MediaCapture, CapImage;
    ControlState FolderOpen, FolderClose, Delete, Property;
    ControlState SearchMedia, FolderSort, MediaSort, SlideShowButton;
    ControlState ExplorerButton, AuthorBtn;
    // The window menu's four items.
    ControlState WindowItems;
    // The authoring toolbar: the selection and insert buttons, Play and the zoom box.
    ControlState DesignTools;
    // The Folder menu's items, set when the menu opens.
    ControlState FolderOpenItem, FolderRemoveItem, FolderCloseItem, FolderSaveAsItem;
    ControlState FolderPropertyItem, FolderSearch, SlideShowItem;
    // The Option menu's Preferences, set when the menu opens.
    ControlState OptionPreferencesItem;
};

MenuState EnablingRules(const CommandContext &c);

// The folder a folder command works on: in a folder window, its folder; in the folder
// explorer, the selected root folder (kind -100), the subfolder of a selected tile
// (kind 301) and, with `ownerAllowed`, the folder holding a selected media item.
TDbFolder *TargetFolder(const CommandContext &c, bool ownerAllowed);

} // namespace vk
