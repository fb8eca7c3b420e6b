// The frame's command context and enabling rules, as tables of contexts; the target
// folder of a command; the view state; the tile sizes.
#include "CommandContext.h"
#include "DbFolder.h"
#include "TileSizes.h"
#include "ViewState.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QStringList>

using namespace vk;

namespace {

QMap<QString, ControlState> controls(const MenuState &m)
{
    return {
        {"NewSubFolder", m.NewSubFolder},
        {"MediaInsert", m.MediaInsert},
        {"NewClearBook", m.NewClearBook},
        {"NewSlide", m.NewSlide},
        {"Save", m.Save},
        {"MediaAcquire", m.MediaAcquire},
        {"MediaCapture", m.MediaCapture},
        {"CapImage", m.CapImage},
        {"FolderOpen", m.FolderOpen},
        {"FolderClose", m.FolderClose},
        {"Delete", m.Delete},
        {"Property", m.Property},
        {"SearchMedia", m.SearchMedia},
        {"FolderSort", m.FolderSort},
        {"MediaSort", m.MediaSort},
        {"SlideShowButton", m.SlideShowButton},
        {"ExplorerButton", m.ExplorerButton},
        {"AuthorBtn", m.AuthorBtn},
        {"WindowItems", m.WindowItems},
        {"DesignTools", m.DesignTools},
        {"FolderOpenItem", m.FolderOpenItem},
        {"FolderRemoveItem", m.FolderRemoveItem},
        {"FolderCloseItem", m.FolderCloseItem},
        {"FolderSaveAsItem", m.FolderSaveAsItem},
        {"FolderPropertyItem", m.FolderPropertyItem},
        {"FolderSearch", m.FolderSearch},
        {"SlideShowItem", m.SlideShowItem},
        {"OptionPreferencesItem", m.OptionPreferencesItem},
    };
}

QStringList enabledOf(const MenuState &m)
{
    QStringList out;
    const auto all = controls(m);
    for (auto it = all.begin(); it != all.end(); ++it)
        if (it->visible && it->enabled)
            out.append(it.key());
    out.sort();
    return out;
}

QStringList hiddenOf(const MenuState &m)
{
    QStringList out;
    const auto all = controls(m);
    for (auto it = all.begin(); it != all.end(); ++it)
        if (!it->visible)
            out.append(it.key());
    out.sort();
    return out;
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

struct Library
{
    Library()
    {
        root.Rec.Title = "root";
        root.MediaList = std::make_unique<TDbMediaList>(80, 100, 3);
        sub.Rec.Title = "sub";
        sub.Rec.ParFolderId = "1";
        tile.Rec.MediaType = SubFolderType;
        tile.SubFolder = &sub;
        tile.Owner = &root;
        picture.Rec.MediaType = 3;
        picture.Owner = &root;
    }
    TDbFolder root, sub;
    TDbMedia tile, picture;
};

TEST(EnablingRules, TableOfContexts)
{
    Library lib;
    const QStringList authoringHidden = {"NewClearBook", "NewSlide", "Save"};
    struct Case
    {
        const char *name;
        ViewFacts facts;
        QStringList enabled;
        QStringList hidden;
    };
    auto facts = [](auto change) {
        ViewFacts f;
        f.noRootFolders = false;
        change(f);
        return f;
    };
    const QStringList always = {"AuthorBtn", "ExplorerButton"};
    const QStringList folderWindowButtons = {"NewSubFolder",    "MediaInsert", "MediaAcquire", "MediaCapture",
                                             "CapImage",        "FolderOpen",  "FolderClose",  "Delete",
                                             "Property",        "SearchMedia", "FolderSort",   "MediaSort",
                                             "SlideShowButton", "WindowItems"};
    const QStringList folderWindowMenu = {"FolderOpenItem",   "FolderRemoveItem",     "FolderCloseItem",
                                          "FolderSaveAsItem", "FolderPropertyItem",   "FolderSearch",
                                          "SlideShowItem",    "OptionPreferencesItem"};
    const Case cases[] = {
        {"fresh start: the frame, no folders", ViewFacts{}, always, authoringHidden},
        {"the frame with folders", facts([](ViewFacts &) {}), always + QStringList{"FolderOpen"},
         authoringHidden},
        {"library active without root folders", facts([](ViewFacts &f) {
             f.noRootFolders = true;
             f.activeView = ViewKind::FolderExplorer;
         }),
         always + QStringList{"FolderOpenItem", "FolderSearch"}, authoringHidden},
        {"a folder window without root folders (its folder is gone)", facts([&](ViewFacts &f) {
             f.noRootFolders = true;
             f.noChildWindows = false;
             f.activeView = ViewKind::FolderWindow;
             f.activeChildIsFolderWindow = true;
             f.windowFolder = &lib.root;
         }),
         always + QStringList{"WindowItems"} + folderWindowMenu, authoringHidden},
        {"a folder window", facts([&](ViewFacts &f) {
             f.noChildWindows = false;
             f.activeView = ViewKind::FolderWindow;
             f.activeChildIsFolderWindow = true;
             f.windowFolder = &lib.root;
         }),
         always + folderWindowButtons + folderWindowMenu, authoringHidden},
        {"a search result's window", facts([&](ViewFacts &f) {
             f.noChildWindows = false;
             f.activeView = ViewKind::FolderWindow;
             f.activeChildIsFolderWindow = true;
             f.windowFolder = &lib.root;
             f.windowShowsSearchResult = true;
         }),
         always + QStringList{"FolderOpen", "FolderClose", "Property", "SearchMedia", "FolderSort",
                              "MediaSort", "SlideShowButton", "WindowItems", "FolderOpenItem",
                              "FolderCloseItem", "FolderSaveAsItem", "FolderSearch", "SlideShowItem",
                              "OptionPreferencesItem"},
         authoringHidden},
        {"the folder explorer on a root folder", facts([&](ViewFacts &f) {
             f.activeView = ViewKind::FolderExplorer;
             f.folderExplorerShown = true;
             f.explorerNodeLevel = 0;
             f.explorerFolder = &lib.root;
         }),
         QStringList{"AuthorBtn", "NewSubFolder", "MediaInsert", "FolderOpen", "Delete", "Property",
                     "SearchMedia", "FolderSort", "MediaSort", "FolderOpenItem", "FolderRemoveItem",
                     "FolderSaveAsItem", "FolderPropertyItem", "FolderSearch"},
         authoringHidden},
        {"the folder explorer on a picture", facts([&](ViewFacts &f) {
             f.activeView = ViewKind::FolderExplorer;
             f.folderExplorerShown = true;
             f.explorerNodeLevel = 1;
             f.explorerMedia = &lib.picture;
         }),
         QStringList{"AuthorBtn", "NewSubFolder", "MediaInsert", "FolderOpen", "Delete", "Property",
                     "SearchMedia", "FolderSort", "MediaSort", "FolderOpenItem", "FolderSearch"},
         authoringHidden},
        {"the authoring window with a slide open",
         facts([](ViewFacts &f) {
             f.noChildWindows = false;
             f.authoringWindowExists = true;
             f.workspaceMode = 1 | 2;
             f.activeView = ViewKind::AuthoringWindow;
             f.slideOpen = true;
         }),
         QStringList{"ExplorerButton", "NewClearBook", "NewSlide", "Save", "FolderOpen", "Delete", "Property",
                     "WindowItems", "DesignTools"},
         {}},
        {"the slide explorer on a ClearBook, no slide open",
         facts([](ViewFacts &f) {
             f.noChildWindows = false;
             f.authoringWindowExists = true;
             f.workspaceMode = 1 | 2;
             f.activeView = ViewKind::SlideExplorer;
             f.slideNodeLevel = 0;
         }),
         QStringList{"ExplorerButton", "NewClearBook", "NewSlide", "FolderOpen", "Delete", "Property",
                     "WindowItems"},
         {}},
        {"authoring window made but the mode already cleared", facts([](ViewFacts &f) {
             f.authoringWindowExists = true;
             f.workspaceMode = 1;
         }),
         always + QStringList{"FolderOpen"}, authoringHidden},
    };
    for (const Case &c : cases) {
        const MenuState m = EnablingRules(MakeCommandContext(c.facts));
        EXPECT_EQ(enabledOf(m), sorted(c.enabled)) << c.name;
        EXPECT_EQ(hiddenOf(m), sorted(c.hidden)) << c.name;
    }
}

TEST(EnablingRules, ExplorerButtonOnlyWhileTheExplorerIsHidden)
{
    ViewFacts f;
    f.folderExplorerShown = true;
    EXPECT_FALSE(EnablingRules(MakeCommandContext(f)).ExplorerButton.enabled);
}

TEST(CommandContext, TheSelectedObjectOfEachView)
{
    Library lib;
    // A folder window: the most recently selected tile, whatever a slide has selected.
    ViewFacts f;
    f.noRootFolders = false;
    f.activeView = ViewKind::FolderWindow;
    f.windowFolder = &lib.root;
    f.windowFolderEmpty = false;
    f.slideOpen = true;
    f.windowLastSelected = &lib.tile;
    CommandContext c = MakeCommandContext(f);
    EXPECT_EQ(c.SelectedKind, SubFolderType);
    EXPECT_EQ(c.SelectedMedia, &lib.tile);
    EXPECT_EQ(c.SelectedOther, nullptr);
    EXPECT_FALSE(c.NoSelection);
    EXPECT_FALSE(c.FolderEmpty);
    f.windowLastSelected = nullptr;
    c = MakeCommandContext(f);
    EXPECT_EQ(c.SelectedKind, NoKind);
    EXPECT_TRUE(c.NoSelection);

    // Outside a folder window there is no selection and no empty folder to speak of.
    ViewFacts frame;
    frame.windowLastSelected = &lib.picture;
    frame.windowFolderEmpty = false;
    c = MakeCommandContext(frame);
    EXPECT_TRUE(c.NoSelection);
    EXPECT_TRUE(c.FolderEmpty);
    EXPECT_EQ(c.SelectedKind, NoKind);

    // An open slide: itself without a selected object, else the last selected object.
    ViewFacts design;
    design.activeView = ViewKind::AuthoringWindow;
    design.slideOpen = true;
    int slide = 0, object = 0;
    design.openSlide = &slide;
    c = MakeCommandContext(design);
    EXPECT_EQ(c.SelectedKind, SlideKind);
    EXPECT_EQ(c.SelectedOther, &slide);
    EXPECT_TRUE(c.NoObjectSelected);
    design.slideObjectSelected = true;
    design.lastSelectedObject = &object;
    design.lastSelectedObjectKind = 451;
    c = MakeCommandContext(design);
    EXPECT_EQ(c.SelectedKind, 451);
    EXPECT_EQ(c.SelectedOther, &object);

    // The slide explorer's node: 401, 402, or the object's kind by level.
    ViewFacts tree;
    tree.activeView = ViewKind::SlideExplorer;
    const std::pair<int, int> levels[] = {{0, ClearBookKind}, {1, SlideKind}, {2, 410}};
    for (auto [level, kind] : levels) {
        tree.slideNodeLevel = level;
        tree.slideNodeObjectKind = 410;
        EXPECT_EQ(MakeCommandContext(tree).SelectedKind, kind) << level;
    }
}

TEST(CommandContext, TargetFolderOfACommand)
{
    Library lib;
    struct Case
    {
        const char *name;
        ViewFacts facts;
        TDbFolder *target;       // owner not allowed
        TDbFolder *ownerAllowed; // owner allowed
    };
    auto explorer = [](int level, TDbFolder *folder, TDbMedia *media) {
        ViewFacts f;
        f.noRootFolders = false;
        f.activeView = ViewKind::FolderExplorer;
        f.explorerNodeLevel = level;
        f.explorerFolder = folder;
        f.explorerMedia = media;
        return f;
    };
    ViewFacts window;
    window.noRootFolders = false;
    window.activeView = ViewKind::FolderWindow;
    window.windowFolder = &lib.sub;
    window.windowLastSelected = &lib.picture; // a window's folder, whatever is selected in it
    const Case cases[] = {
        {"folder window", window, &lib.sub, &lib.sub},
        {"explorer: a root folder", explorer(0, &lib.root, nullptr), &lib.root, &lib.root},
        {"explorer: a subfolder tile", explorer(1, nullptr, &lib.tile), &lib.sub, &lib.sub},
        {"explorer: a media item", explorer(1, nullptr, &lib.picture), nullptr, &lib.root},
        {"explorer: nothing selected", explorer(-1, nullptr, nullptr), nullptr, nullptr},
        {"the frame", ViewFacts{}, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        const CommandContext ctx = MakeCommandContext(c.facts);
        EXPECT_EQ(TargetFolder(ctx, false), c.target) << c.name;
        EXPECT_EQ(TargetFolder(ctx, true), c.ownerAllowed) << c.name;
    }
}

TEST(ViewStateRules, ItemsToolbarsAndToolWindowsByMode)
{
    struct Case
    {
        const char *name;
        ViewStateInput in;
        ViewState expected;
    };
    auto input = [](auto change) {
        ViewStateInput in;
        in.slideExplorerExists = in.keyWordsWindowExists = in.timelineWindowExists = true;
        in.keyWordsChecked = in.timelineChecked = true;
        change(in);
        return in;
    };
    auto state = [](auto change) {
        ViewState v;
        change(v);
        return v;
    };
    const Case cases[] = {
        {"the workspace, no tool window of authoring", ViewStateInput{}, ViewState{}},
        {"library view with the keywords window", input([](ViewStateInput &i) { i.libraryView = true; }),
         state([](ViewState &v) { v.keyWordsItem = v.keyWordsWindow = true; })},
        {"main toolbar and folder explorer unchecked",
         input([](ViewStateInput &i) { i.mainToolbarChecked = i.folderExplorerChecked = false; }),
         state([](ViewState &v) { v.speedPanel = v.folderExplorer = false; })},
        {"authoring in the design view", input([](ViewStateInput &i) {
             i.workspaceMode = 1 | 2;
             i.authoringView = i.designView = true;
         }),
         state([](ViewState &v) {
             v.authoringToolbarItem = v.slideExplorerItem = v.timelineItem = v.zoomItem = true;
             v.mediaToolbar = v.slideExplorer = v.timelineWindow = true;
         })},
        {"authoring toolbar unchecked", input([](ViewStateInput &i) {
             i.workspaceMode = 1 | 2;
             i.authoringToolbarChecked = false;
         }),
         state([](ViewState &v) {
             v.authoringToolbarItem = v.slideExplorerItem = true;
             v.slideExplorer = true;
         })},
        {"a slide playing: explorers, keywords and timeline step aside", input([](ViewStateInput &i) {
             i.workspaceMode = 1 | 2 | 4;
             i.authoringView = true;
             i.libraryView = true; // not reachable together; shows that playing wins
         }),
         state([](ViewState &v) {
             v.authoringToolbarItem = v.slideExplorerItem = v.timelineItem = true;
             v.mediaToolbar = true;
             v.folderExplorer = false;
         })},
        {"a slide show from the library: the keywords window stays", input([](ViewStateInput &i) {
             i.workspaceMode = 1 | 8;
             i.libraryView = true;
         }),
         state([](ViewState &v) {
             v.keyWordsItem = v.keyWordsWindow = true;
             v.folderExplorer = false;
         })},
    };
    for (const Case &c : cases) {
        const ViewState v = ViewStateRules(c.in);
        EXPECT_EQ(v, c.expected) << c.name;
    }
}

TEST(TileSizes, TheSixChoicesAndNothingElse)
{
    const std::pair<int, QSize> sizes[] = {{0, {80, 100}}, {1, {100, 120}}, {2, {120, 140}},
                                           {3, {75, 60}},  {4, {120, 94}},  {5, {90, 120}}};
    for (const auto &[choice, size] : sizes) {
        ASSERT_TRUE(TileSizeOfChoice(choice).has_value()) << choice;
        EXPECT_EQ(*TileSizeOfChoice(choice), size) << choice;
        EXPECT_EQ(TileChoiceOfSize(size.width(), size.height()), choice);
    }
    for (int outside : {-1, 6, 100})
        EXPECT_FALSE(TileSizeOfChoice(outside).has_value()) << outside;
    EXPECT_EQ(TileChoiceOfSize(100, 80), -1);
}

} // namespace
