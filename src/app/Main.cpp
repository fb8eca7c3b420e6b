#include "Main.h"

#include "AT_PlayForm.h"
#include "AT_SlideExplorer.h"

#include "AT_ZoomDlg.h"
#include "AboutBox.h"
#include "Authormain.h"
#include "ChildWindow.h"
#include "Childwin.h"
#include "ClientArea.h"
#include "DataSrcDlg.h"
#include "DesktopWallpaper.h"
#include "Display.h"
#include "FdExplor.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "ImageCodec.h"
#include "KeyWords.h"
#include "KeyWordsEditor.h"
#include "LibraryDrag.h"
#include "LibrarySort.h"
#include "LibraryTreeModel.h"
#include "LiveRefresh.h"
#include "MediaImport.h"
#include "MediaProperties.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "NewFold.h"
#include "OpenFold.h"
#include "Paths.h"
#include "PictureFiles.h"
#include "PptDialog.h"
#include "PptEditor.h"
#include "PrefDlg.h"
#include "PrintDlg.h"
#include "QtUiServices.h"
#include "RemoteCommandServer.h"
#include "RemoteMacro.h"
#include "RecordStatements.h"
#include "Schema.h"
#include "SearchMediaDialog.h"
#include "SlideOption.h"
#include "SlideShow.h"
#include "Splash.h"
#include "TileSizes.h"
#include "VideoFrames.h"
#include "VkDialog.h"
#include "smart.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace vk {

namespace {

// The maker's pages opened by the Help menu.
const char *const MakerWebAddress = "https://www.halvorn.example/";
const char *const ProductWebAddress = "https://www.halvorn.example/vellumark/";

// Where the toolbars' positions are kept (QMainWindow's own layout record).
const char *const ToolbarStateKey = "Toolbars/Layout";

constexpr int FolderMenuGroup = 0;
constexpr int OtherMenuGroup = 9;

class Hourglass
{
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass &) = delete;
    Hourglass &operator=(const Hourglass &) = delete;
};

// A hint's short part is the tooltip; the part after '|' (or the whole) goes to the status bar.
void setHint(QAction *a, const QString &hint)
{
    if (hint.isEmpty())
        return;
    const int bar = hint.indexOf(QLatin1Char('|'));
    a->setToolTip(bar < 0 ? hint : hint.left(bar));
    a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

} // namespace

const QSet<QString> &TMainForm::waitingCommands()
{
    // Each waits for its window: scanning.
    static const QSet<QString> names = {
        QStringLiteral("MediaAcquire"),
    };
    return names;
}

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Vellumark Workspace"));
    setWindowIcon(applicationIcon());
    resize(1024, 720);
    m_mdiArea = new TClientArea(this);
    setCentralWidget(m_mdiArea);
    m_ui = std::make_unique<QtUiServices>(this);
    // The shared prompt dialog exists before the load sequence: the integration check shows
    // its lost files in it.
    PromptDialog = new TfrmVkDialog(this);
    m_ui->setPromptDialog(PromptDialog);
    m_uiServices = m_ui.get();

    createActions();
    createMenus();
    createToolbars();
    createStatusBar();
    m_activeView = this;
    m_desktopWallpaper = std::make_unique<DesktopWallpaper>();
    m_mdiArea->acceptsDrop = [this] { return frameAcceptsDrop(); };
    m_mdiArea->dropped = [this] { frameDropped(); };

    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *sub) {
        mergeChildMenus(sub ? sub->widget() : nullptr);
        ViewActivated(sub ? sub->widget() : this);
    });

    Startup::Hooks hooks;
    hooks.ui = m_ui.get();
    hooks.status = [](const QString &text) { ShowStartupStatus(text); };
    hooks.repairWizard = [this](Connection &c) {
        const DatabaseSettings &db = m_startup->settings.database;
        TRepair wizard(c, m_startup->configPath, db.dataSource, db.userName, db.password,
                       m_startup->connectError, this);
        wizard.setRepairable(m_startup->databaseRepairable);
        return wizard.exec() == QDialog::Accepted;
    };
    hooks.chooseDataSource = [this](QString &name) {
        TDataSourceForm dialog(m_startup->configPath, name, *m_ui, this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        name = dialog.currentDataSource();
        return true;
    };
    m_startup = std::make_unique<Startup>(std::move(hooks), configFilePath());
    UpdateMenuItems();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

QMdiArea *TMainForm::mdiArea() const
{
    return m_mdiArea;
}

// --- Building the frame -----------------------------------------------------------

QAction *TMainForm::makeAction(const QString &name, const QString &text, const QString &icon,
                               const QString &hint)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    if (!icon.isEmpty())
        a->setIcon(vkIcon(icon));
    setHint(a, hint);
    m_actions.insert(name, a);
    return a;
}

void TMainForm::createActions()
{
    auto on = [this](QAction *a, void (TMainForm::*command)()) {
        connect(a, &QAction::triggered, this, command);
    };
    // The main toolbar's buttons.
    on(makeAction("FolderNew", "New Main Folder", "folder-new", "New Main Folder"),
       &TMainForm::FolderNewClick);
    on(makeAction("btnNewSubFolder", "New Sub Folder", "folder-sub", "New Sub Folder"),
       &TMainForm::NewSubFolderClick);
    on(makeAction("MediaInsert", "Import Media", "media-import", "Import Media"),
       &TMainForm::MediaInsertClick);
    connect(makeAction("btnNewClearBook", "New ClearBook", "clearbook-new", "New ClearBook"),
            &QAction::triggered, this, [this] {
                if (m_author)
                    m_author->newClearBookDialog();
            });
    connect(makeAction("btnNewSlide", "New Slide", "slide-new", "New Slide"), &QAction::triggered, this,
            [this] {
                if (m_author)
                    m_author->newSlideDialog();
            });
    makeAction("MediaAcquire", "Acquire", "acquire", "Acquire");
    connect(makeAction("MediaCapture", "Capture Video Clip", "capture-video", "Capture Video Clip"),
            &QAction::triggered, this, [this] {
                if (auto *window = qobject_cast<TFolder *>(ActiveView()))
                    window->CaptureVideo();
            });
    connect(makeAction("CapImage", "Capture Video Image", "capture-image", "Capture Video Image"),
            &QAction::triggered, this, [this] {
                if (auto *window = qobject_cast<TFolder *>(ActiveView()))
                    window->CaptureImage();
            });
    connect(makeAction("btnSave", "Save", "save"), &QAction::triggered, this, [this] {
        if (m_author)
            m_author->SaveSlide();
    });
    on(makeAction("FolderOpen", "Open Folder", "folder-open", "Open Folder"), &TMainForm::FolderOpenClick);
    on(makeAction("FolderClose", "Close Folder", "folder", "Close Folder"), &TMainForm::FolderCloseClick);
    on(makeAction("btnDelete", "Delete", "delete", "Delete"), &TMainForm::DeleteClick);
    on(makeAction("btnProperty", "Folder Property", "properties", "Folder Property"),
       &TMainForm::PropertyClick);
    on(makeAction("SearchMedia", "Search Media", "search", "Search Media"), &TMainForm::SearchMediaClick);
    on(makeAction("btnFolderSort", "Folders Sort", "sort-folders", "Folders Sort|Sort Folders on Level One"),
       &TMainForm::FolderSortClick);
    on(makeAction("btnMediaSort", "Media Sort", "sort-media", "Media Sort|Sort media and SubFolders"),
       &TMainForm::MediaSortClick);
    on(makeAction("SlideShowButton", "SlideShow", "slide-show", "SlideShow"), &TMainForm::SlideShowClick);
    connect(makeAction("ExplorerButton", "Folder Explorer", "explorer", "Folder Explorer"),
            &QAction::triggered, this, [this] { m_actions.value("FolderExplorer")->toggle(); });
    on(makeAction("FolderPreference", "Folder Preference", "preferences", "Folder Preference"),
       &TMainForm::PreferencesClick);
    on(makeAction("MediaDisplay", "Media Display", "display", "Media Display"), &TMainForm::DisplayClick);
    on(makeAction("AuthorBtn", "AuthoringTool", "authoring", "AuthoringTool"),
       &TMainForm::AuthoringToolClick);
    connect(makeAction("ApplicationExit", "Application Exit", "exit", "Application Exit"),
            &QAction::triggered, this, &QWidget::close);

    // The authoring toolbar: the selection arrow and the insert tools are one group, one down.
    m_insertTools = new QActionGroup(this);
    m_insertTools->setExclusive(true);
    const std::pair<const char *, const char *> tools[] = {
        {"ReleaseBtn", "Release"},         {"VideoObject", "Insert Video"},
        {"AudioObject", "Insert Audio"},   {"ButtonObject", "Insert Button"},
        {"TextObject", "Insert Text"},     {"ImageObject", "Insert Image"},
        {"MemoObject", "Insert Memo"},     {"DrawRectangle", "Insert Rectangle"},
        {"DrawEllipse", "Insert Ellipse"}, {"DrawRoundRect", "Insert Round Rectangle"},
        {"DrawLine", "Insert Line"},       {"DrawPolyLine", "Insert Polygon"},
    };
    const char *toolIcons[] = {"release", "video",     "audio",   "button",    "font", "image",
                               "memo",    "rectangle", "ellipse", "roundrect", "line", "polyline"};
    int k = 0;
    for (const auto &[name, hint] : tools) {
        QAction *a = makeAction(name, hint, toolIcons[k++], hint);
        a->setCheckable(true);
        m_insertTools->addAction(a);
    }
    m_actions.value("ReleaseBtn")->setChecked(true);
    QAction *play = makeAction("PlayBtn", "Play slide", "play", "Play slide");
    play->setCheckable(true); // pressed while the slide plays
    connect(play, &QAction::triggered, this, [this] {
        if (!m_author)
            return;
        if (m_author->playing())
            m_author->StopPlaying();
        else
            m_author->PlaySlide();
    });

    // Menu items.
    on(makeAction("muiNewMainFolder", "Main Folder", "folder-new"), &TMainForm::FolderNewClick);
    on(makeAction("muiNewSubFolder", "Sub Folder", "folder-sub"), &TMainForm::NewSubFolderClick);
    on(makeAction("FolderOpenItem", "&Open...", "folder-open", "Open an existing folder"),
       &TMainForm::FolderOpenClick);
    on(makeAction("FolderRemoveItem", "&Delete", "delete", "Delete Current Folder from Database"),
       &TMainForm::FolderRemoveItemClick);
    on(makeAction("FolderCloseItem", "&Close", QString(), "Close current folder"),
       &TMainForm::FolderCloseClick);
    on(makeAction("FolderSaveAsItem", "Save &As...", QString(), "Save search result as a new  folder "),
       &TMainForm::FolderSaveAsClick);
    on(makeAction("FolderPropertyItem", "&Property...", "properties", "Folder's property"),
       &TMainForm::FolderPropertyClick);
    on(makeAction("FolderSearch", "&Search...", "search", "Search media"), &TMainForm::SearchMediaClick);
    on(makeAction("muiFolderSort", "Sort Main Folders", "sort-folders"), &TMainForm::FolderSortClick);
    on(makeAction("SlideShow", "Slide Show...", "slide-show", "Media viewer"), &TMainForm::SlideShowClick);
    on(makeAction("AuthoringTool", "Authoring &Tool", "authoring"), &TMainForm::AuthoringToolClick);
    connect(makeAction("FolderExitItem", "E&xit", "exit", "Exit the application"), &QAction::triggered, this,
            &QWidget::close);

    on(makeAction("OptionPreferencesItem", "&Preferences...", "preferences", "Config folder media  setting"),
       &TMainForm::PreferencesClick);
    on(makeAction("OptionDisplayItem", "&Display...", "display", "Config display setting"),
       &TMainForm::DisplayClick);
    on(makeAction("WallPaper", "Vellumark &WallPaper...", "wallpaper", "Set Vellumark wallpaper"),
       &TMainForm::WallPaperClick);
    on(makeAction("ClearDesktopWallpaper", "&Clear Desktop Wallpaper"),
       &TMainForm::ClearDesktopWallpaperClick);
    // The data source of the next start; the frame stays on the one it is connected to.
    on(makeAction("ChangeDataSource", "Data&base...", QString(), "Choose, add or delete a data source"),
       &TMainForm::ChangeDataSourceClick);

    QAction *cascade = makeAction("WindowCascadeItem", "&Cascade", QString(), "Arrange windows to overlap");
    cascade->setCheckable(true);
    cascade->setChecked(true);
    on(cascade, &TMainForm::WindowCascadeItemClick);
    QAction *tile = makeAction("WindowTileItem", "&Tile", QString(), "Arrange windows without overlap");
    tile->setCheckable(true);
    on(tile, &TMainForm::WindowTileItemClick);
    // The arrangement in use is marked as one of two choices, not as two check boxes.
    auto *arrangement = new QActionGroup(this);
    arrangement->setExclusive(true);
    arrangement->addAction(cascade);
    arrangement->addAction(tile);
    on(makeAction("WindowArrangeItem", "&Arrange Icons", QString(),
                  "Arrange window icons at bottom of main window"),
       &TMainForm::WindowArrangeItemClick);
    on(makeAction("WindowMinimizeItem", "&Minimize All", QString(), "Minimize all windows"),
       &TMainForm::WindowMinimizeItemClick);

    QAction *mainToolbar = makeAction("MainToolbar", "&Main Toolbar");
    mainToolbar->setCheckable(true);
    mainToolbar->setChecked(true);
    on(mainToolbar, &TMainForm::MainToolbarClick);
    QAction *atToolbar = makeAction("AtToolbar", "&Authoring Toolbar");
    atToolbar->setCheckable(true);
    atToolbar->setChecked(true);
    atToolbar->setVisible(false);
    on(atToolbar, &TMainForm::AtToolbarClick);
    QAction *timeline = makeAction("TimelineTable", "&Timeline Table");
    timeline->setCheckable(true);
    timeline->setVisible(false);
    connect(timeline, &QAction::toggled, this, [this] {
        if (!m_applyingViewState)
            ApplyViewState();
    });
    QAction *slideExplorer = makeAction("SlideExplorerMu", "&Slide Explorer");
    slideExplorer->setCheckable(true);
    slideExplorer->setChecked(true);
    slideExplorer->setVisible(false);
    QAction *explorer = makeAction("FolderExplorer", "Folder &Explorer");
    explorer->setCheckable(true);
    explorer->setChecked(true);
    connect(explorer, &QAction::toggled, this, [this](bool shown) {
        if (m_applyingViewState)
            return;
        m_startup->settings.folderExplorer.visible = shown;
        ApplyViewState();
        if (shown && m_explorer)
            ViewActivated(m_explorer);
    });
    QAction *zoom = makeAction("Zoom", "Zoom...");
    zoom->setVisible(false);
    on(zoom, &TMainForm::ZoomClick);
    QAction *keyWords = makeAction("muiKeyWords", "Key Words", "keywords");
    keyWords->setCheckable(true);
    on(keyWords, &TMainForm::KeyWordsClick);

    on(makeAction("muiContentIndex", "Contents and Index", "help", "Help topics"),
       &TMainForm::ContentIndexClick);
    connect(makeAction("HalvornWebItem", "Halvorn on the Web...", "web"), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QLatin1String(MakerWebAddress))); });
    connect(makeAction("VkHPageItem", "Vellumark Home Page", "web"), &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QLatin1String(ProductWebAddress))); });
    on(makeAction("HelpAboutItem", "&About...", "about", "About this application"),
       &TMainForm::HelpAboutItemClick);
}

void TMainForm::createMenus()
{
    auto menu = [this](const char *name, const QString &title, int group, const QString &hint) {
        auto *m = new QMenu(title, this);
        m->setObjectName(QLatin1String(name));
        m->setProperty(MenuGroupProperty, group);
        m->menuAction()->setStatusTip(hint);
        m_frameMenus.append(m);
        menuBar()->addMenu(m);
        return m;
    };
    auto add = [this](QMenu *m, const char *name) { m->addAction(m_actions.value(QLatin1String(name))); };

    QMenu *folder = menu("FolderMenu", "&Folder", FolderMenuGroup, "Folder related commands");
    QMenu *newMenu = folder->addMenu(QStringLiteral("&New"));
    newMenu->setObjectName(QStringLiteral("FolderNewItem"));
    newMenu->menuAction()->setStatusTip(QStringLiteral("Create a new folder"));
    add(newMenu, "muiNewMainFolder");
    add(newMenu, "muiNewSubFolder");
    for (const char *name : {"FolderOpenItem", "FolderRemoveItem", "FolderCloseItem", "FolderSaveAsItem"})
        add(folder, name);
    folder->addSeparator();
    add(folder, "FolderPropertyItem");
    add(folder, "FolderSearch");
    folder->addSeparator();
    add(folder, "muiFolderSort");
    add(folder, "SlideShow");
    folder->addSeparator();
    add(folder, "AuthoringTool");
    folder->addSeparator();
    add(folder, "FolderExitItem");
    connect(folder, &QMenu::aboutToShow, this, [this] {
        const MenuState m = EnablingRules(m_context);
        setControl(QStringLiteral("FolderOpenItem"), m.FolderOpenItem);
        setControl(QStringLiteral("FolderRemoveItem"), m.FolderRemoveItem);
        setControl(QStringLiteral("FolderPropertyItem"), m.FolderPropertyItem);
        setControl(QStringLiteral("FolderCloseItem"), m.FolderCloseItem);
        setControl(QStringLiteral("SlideShow"), m.SlideShowItem);
        setControl(QStringLiteral("FolderSaveAsItem"), m.FolderSaveAsItem);
        setControl(QStringLiteral("FolderSearch"), m.FolderSearch);
    });

    QMenu *option = menu("OptionMenu", "&Option", OtherMenuGroup, "About property and folder media setting");
    add(option, "OptionPreferencesItem");
    add(option, "OptionDisplayItem");
    option->addSeparator();
    add(option, "WallPaper");
    add(option, "ClearDesktopWallpaper");
    option->addSeparator();
    add(option, "ChangeDataSource");
    connect(option, &QMenu::aboutToShow, this, [this] {
        setControl(QStringLiteral("OptionPreferencesItem"), EnablingRules(m_context).OptionPreferencesItem);
    });

    m_windowMenu =
        menu("WindowMenu", "&Window", OtherMenuGroup, "Window related commands such as Tile and Cascade");
    for (const char *name :
         {"WindowCascadeItem", "WindowTileItem", "WindowArrangeItem", "WindowMinimizeItem"})
        add(m_windowMenu, name);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &TMainForm::fillWindowList);

    QMenu *view = menu("View", "&View", OtherMenuGroup, QString());
    for (const char *name : {"MainToolbar", "AtToolbar", "TimelineTable", "SlideExplorerMu", "FolderExplorer",
                             "Zoom", "muiKeyWords"})
        add(view, name);

    QMenu *help = menu("HelpMenu", "&Help", OtherMenuGroup, QString());
    add(help, "muiContentIndex");
    help->addSeparator();
    add(help, "HalvornWebItem");
    add(help, "VkHPageItem");
    help->addSeparator();
    add(help, "HelpAboutItem");
}

void TMainForm::createToolbars()
{
    auto add = [this](QToolBar *bar, std::initializer_list<const char *> names) {
        for (const char *name : names) {
            if (!*name)
                bar->addSeparator();
            else
                bar->addAction(m_actions.value(QLatin1String(name)));
        }
    };
    m_speedPanel = new QToolBar(QStringLiteral("Toolbar"), this);
    m_speedPanel->setObjectName(QStringLiteral("SpeedPanel"));
    m_speedPanel->setIconSize(QSize(22, 22));
    add(m_speedPanel, {"FolderNew",
                       "btnNewSubFolder",
                       "MediaInsert",
                       "btnNewClearBook",
                       "btnNewSlide",
                       "",
                       "MediaAcquire",
                       "MediaCapture",
                       "CapImage",
                       "",
                       "btnSave",
                       "FolderOpen",
                       "FolderClose",
                       "btnDelete",
                       "",
                       "btnProperty",
                       "SearchMedia",
                       "btnFolderSort",
                       "btnMediaSort",
                       "SlideShowButton",
                       "",
                       "ExplorerButton",
                       "FolderPreference",
                       "MediaDisplay",
                       "",
                       "AuthorBtn",
                       "",
                       "ApplicationExit"});
    addToolBar(Qt::TopToolBarArea, m_speedPanel);

    m_mediaToolbar = new QToolBar(QStringLiteral("Media Object"), this);
    m_mediaToolbar->setObjectName(QStringLiteral("MediaToolbar"));
    m_mediaToolbar->setIconSize(QSize(22, 22));
    add(m_mediaToolbar, {"ReleaseBtn", "", "VideoObject", "AudioObject", "ButtonObject", "TextObject",
                         "ImageObject", "MemoObject", "DrawRectangle", "DrawEllipse", "DrawRoundRect",
                         "DrawLine", "DrawPolyLine", "", "PlayBtn", ""});
    m_fitComboBox = new QComboBox(m_mediaToolbar);
    m_fitComboBox->setObjectName(QStringLiteral("FitComboBox"));
    m_fitComboBox->setEditable(true);
    m_fitComboBox->addItems({"33", "50", "66", "100", "200", "Fit"});
    m_fitComboBox->setCurrentText(QStringLiteral("100"));
    m_fitComboBox->setMinimumContentsLength(4);
    connect(m_fitComboBox, &QComboBox::textActivated, this, &TMainForm::applyZoomText);
    m_mediaToolbar->addWidget(m_fitComboBox);
    m_mediaToolbar->addWidget(new QLabel(QStringLiteral("%"), m_mediaToolbar));
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_mediaToolbar);
    m_mediaToolbar->hide();

    // Hiding a toolbar from the frame's own toolbar menu clears its View menu mark.
    connect(m_speedPanel->toggleViewAction(), &QAction::triggered, this, [this](bool shown) {
        m_actions.value("MainToolbar")->setChecked(shown);
        m_startup->settings.speedPanelVisible = shown;
        ApplyViewState();
    });
    connect(m_mediaToolbar->toggleViewAction(), &QAction::triggered, this, [this](bool shown) {
        m_actions.value("AtToolbar")->setChecked(shown);
        m_startup->settings.mediaToolbarVisible = shown;
        ApplyViewState();
    });
}

void TMainForm::createStatusBar()
{
    QStatusBar *bar = statusBar();
    m_progressBar = new QProgressBar(bar);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setMaximumWidth(240);
    m_progressBar->hide();
    bar->addPermanentWidget(m_progressBar);
    m_ui->setStatusSink([bar](const QString &text) { bar->showMessage(text); });
}

// --- Start-up and shutdown --------------------------------------------------------

bool TMainForm::FormCreate()
{
    Startup &s = *m_startup;
    // The configuration file; on a first start it gets the default data source.
    if (!s.installDefaultDataSource(defaultDataSourceDirectory(QLatin1String(DefaultDataSource))))
        return false;
    s.checks.integration = IntegrationState();
    s.workspaceMode = ModeWorkspace;
    // The database settings.
    ShowStartupStatus(vkMessage("ConnectDatabase"));
    QSettings settings;
    s.readDatabaseSettings(settings);
    s.chooseDataSource();
    // The connection, with its recovery and failure branches.
    if (!s.connectDatabase())
        return false;
    // The integration check, the schema check, the display options and the SpeedPanel and
    // MediaManage settings.
    setCursor(Qt::WaitCursor);
    const bool checked = s.checkAndInitialize(settings);
    unsetCursor();
    if (!checked)
        return false;
    m_activeView = this;
    m_actions.value("MainToolbar")->setChecked(s.settings.speedPanelVisible);
    // (The slide-show settings get their defaults here once slide shows exist.)
    // The work directory.
    s.prepareWorkDirectory(privateTempDirectory(), QDir::currentPath());
    // The folder tree with its media, and the keywords.
    if (!s.loadData())
        return false;
    AttachRootFolders();

    // The prompt dialog exists from the start. The tool windows dock beside the client area
    // (the frame's dock areas take the place of a fixed docking panel).
    // The folder explorer's settings (its window comes with the library windows; the values
    // are kept so that they are written back unchanged).
    ReadSettings(settings, SettingsGroup::FolderExplorer, s.settings);
    m_actions.value("FolderExplorer")->setChecked(s.settings.folderExplorer.visible);
    // (The property editor and the print layout window are made here once they exist; the
    // keywords editor is made on demand. The property dialog comes with the library.)
    RegisterCursors();
    TypeBitmaps::load();
    LoadBackground();
    // The workspace clipboard lives with the start-up state (Startup::clipboard).
    // The toolbars where they were left.
    restoreState(settings.value(QLatin1String(ToolbarStateKey)).toByteArray());
    // The client area paints the background itself (TClientArea).
    ApplyViewState();
    UpdateMenuItems();
    m_loaded = true;
    StartRemoteCommandServer();
    // Maximised at start; without a window manager to do it, fill the screen ourselves.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    // The windows of the last run come back once the frame is on screen and the client area
    // has its size.
    QTimer::singleShot(0, this, [this] {
        QSettings settings;
        RestoreOpenWindows(settings);
    });
    return true;
}

namespace {
const char *const OpenWindowsGroup = "OpenWindows";
} // namespace

void TMainForm::SaveOpenWindows(QSettings &settings) const
{
    settings.remove(QLatin1String(OpenWindowsGroup));
    settings.beginWriteArray(QLatin1String(OpenWindowsGroup));
    int n = 0;
    // Bottom to top, so that the one in front comes back in front.
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList(QMdiArea::StackingOrder)) {
        QString kind, oid, slide;
        if (auto *w = qobject_cast<TFolder *>(sub->widget())) {
            // A search result is made anew by a search; only stored folders come back.
            if (w->isSearchResult() || !w->folder())
                continue;
            kind = QStringLiteral("folder");
            oid = w->folder()->Rec.OID;
        } else if (sub->widget() && sub->widget() == m_author) {
            kind = QStringLiteral("authoring");
            if (TDbSlide *open = m_author->books().ActiveSlide)
                slide = open->Rec.OID;
        } else {
            continue;
        }
        settings.setArrayIndex(n++);
        settings.setValue(QStringLiteral("Kind"), kind);
        settings.setValue(QStringLiteral("Folder"), oid);
        settings.setValue(QStringLiteral("Slide"), slide);
        const QRect g = sub->isMaximized() || sub->isMinimized() ? sub->normalGeometry() : sub->geometry();
        settings.setValue(QStringLiteral("Geometry"), g.isValid() ? g : sub->geometry());
        settings.setValue(QStringLiteral("State"), sub->isMaximized()   ? QStringLiteral("maximized")
                                                   : sub->isMinimized() ? QStringLiteral("minimized")
                                                                        : QStringLiteral("normal"));
    }
    settings.endArray();
}

void TMainForm::RestoreOpenWindows(QSettings &settings)
{
    if (!m_startup->rootFolders)
        return;
    const int count = settings.beginReadArray(QLatin1String(OpenWindowsGroup));
    struct Entry
    {
        QString kind, folder, slide, state;
        QRect geometry;
    };
    QList<Entry> entries;
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        entries.append({settings.value(QStringLiteral("Kind")).toString(),
                        settings.value(QStringLiteral("Folder")).toString(),
                        settings.value(QStringLiteral("Slide")).toString(),
                        settings.value(QStringLiteral("State")).toString(),
                        settings.value(QStringLiteral("Geometry")).toRect()});
    }
    settings.endArray();
    const QSize client = m_mdiArea->viewport()->size();
    for (const Entry &e : entries) {
        QWidget *window = nullptr;
        if (e.kind == QLatin1String("folder")) {
            // A folder deleted since (by vkctl, say) simply does not come back.
            if (TDbFolder *folder = m_startup->rootFolders->FindFolderByOid(e.folder))
                window = OpenFolderWindow(folder);
        } else if (e.kind == QLatin1String("authoring") && !m_author) {
            AuthoringToolClick();
            window = m_author;
            if (m_author && !e.slide.isEmpty())
                for (TDbClearBook *cb : m_author->books().ClearBooks)
                    for (TDbSlide *slide : cb->Slides)
                        if (slide->Rec.OID == e.slide)
                            m_author->OpenSlide(slide);
        }
        auto *sub = window ? qobject_cast<QMdiSubWindow *>(window->parentWidget()) : nullptr;
        if (!sub)
            continue;
        // The place it had, kept whole inside the client area as it is now.
        if (e.geometry.isValid()) {
            QRect g(e.geometry.topLeft(), e.geometry.size().boundedTo(client));
            if (g.right() >= client.width())
                g.moveLeft(std::max(0, client.width() - g.width()));
            if (g.bottom() >= client.height())
                g.moveTop(std::max(0, client.height() - g.height()));
            g.moveTopLeft(QPoint(std::max(0, g.left()), std::max(0, g.top())));
            sub->setGeometry(g);
        }
        if (e.state == QLatin1String("maximized"))
            sub->showMaximized();
        else if (e.state == QLatin1String("minimized"))
            sub->showMinimized();
    }
}

void TMainForm::AttachRootFolders()
{
    TDbFolderList *roots = m_startup->rootFolders.get();
    if (!roots)
        return;
    roots->closeWindows = [this](TDbFolder *folder) { closeFolderWindows(folder); };
    // The folder explorer, docked at the left; it becomes the view at start, so that the
    // Folder menu's commands have a folder to work on.
    if (!m_explorer) {
        m_explorer = new TFolderdExplorer(*this);
        m_explorerDock = new QDockWidget(QStringLiteral("Folder Explorer"), this);
        m_explorerDock->setObjectName(QStringLiteral("FolderExplorerDock"));
        m_explorerDock->setWidget(m_explorer);
        addDockWidget(Qt::LeftDockWidgetArea, m_explorerDock);
        resizeDocks({m_explorerDock}, {250}, Qt::Horizontal);
        connect(m_explorerDock, &QDockWidget::visibilityChanged, this, [this](bool shown) {
            // (The frame going away hides the dock too: that is no choice of the person's.)
            if (!m_applyingViewState && !shown && isVisible() && !isMinimized() &&
                m_explorerDock->isFloating() == false && m_loaded)
                m_actions.value("FolderExplorer")->setChecked(false);
        });
        if (!roots->Folders.isEmpty())
            m_explorer->SelectedNode(roots->Folders.first(), nullptr);
        m_activeView = m_explorer;
    }
    // The property dialog, for the whole run.
    if (!m_propertyDialog) {
        m_propertyDialog = new TPropertyDialog(*this, m_startup->keyWords, this);
        m_propertyDialog->setDisplayOptions(&m_startup->checks.options);
        connect(m_propertyDialog, &TPropertyDialog::committed, this, &TMainForm::PropertiesCommitted);
        m_propertyDialog->setKeywordsEditor([this] {
            if (!m_keyWordsWindow)
                m_actions.value("muiKeyWords")->trigger();
        });
        m_propertyDialog->setPrintPicture(
            [this](const QImage &picture, const QString &title) { PrintPicture(picture, title); });
        connect(m_propertyDialog, &TPropertyDialog::keywordRowsChanged, this, [this] {
            if (m_keyWordsWindow && m_propertyDialog->isVisible())
                m_keyWordsWindow->SetDownStates(KeywordText(m_propertyDialog->keywordRowOids()));
        });
    }
    // The property editor, for the whole run.
    if (!m_propertyEditor) {
        m_propertyEditor = new TPropertyEditor(*this, this);
        connect(m_propertyEditor, &TPropertyEditor::committed, this, &TMainForm::PropertiesCommitted);
        m_propertyEditor->aboutToShow = [this] {
            // The property dialog gives way to the editor.
            if (m_propertyDialog && m_propertyDialog->isVisible() && m_propertyDialog->CommitEdits()) {
                m_propertyDialog->releaseSubject();
                m_propertyDialog->hide();
            }
        };
        m_propertyEditor->printPicture = [this](const QImage &picture, const QString &title) {
            PrintPicture(picture, title);
        };
    }
    connect(roots, &TDbFolderList::rootInserted, this, [this] { UpdateMenuItems(); });
    // What other programs commit shows while the workspace runs; a window whose folder another
    // program deleted closes, and the person is told once the tree is in step again.
    if (!m_liveRefresh) {
        m_liveRefresh = new LiveRefresh(*roots, this);
        // Not while a dialog runs its own loop or something is being dragged: they may hold
        // items a refresh would free. The changes wait for the next look.
        m_liveRefresh->mayRefresh = [] {
            return !QApplication::activeModalWidget() && !QApplication::activePopupWidget() &&
                   QGuiApplication::mouseButtons() == Qt::NoButton;
        };
        connect(roots, &TDbFolderList::folderDeletedElsewhere, this, [this](TDbFolder *folder) {
            const bool shown = !folderWindows(folder).isEmpty();
            closeFolderWindows(folder);
            if (shown)
                QMetaObject::invokeMethod(
                    this,
                    [this, title = folder->Rec.Title] {
                        m_uiServices->showMessage(vkMessage("FolderDeletedElsewhere").arg(title));
                    },
                    Qt::QueuedConnection);
        });
        connect(m_liveRefresh, &LiveRefresh::refreshed, this, [this] { UpdateMenuItems(); });
        // Keywords made, renamed or deleted elsewhere: the list is read again, and an open
        // keywords editor (whose buttons stand for the keywords) is made again from it.
        connect(m_liveRefresh, &LiveRefresh::keywordsChanged, this, [this] {
            const bool editorOpen = m_keyWordsWindow;
            delete m_keyWordsWindow;
            RefreshKeywords(m_startup->connection, m_startup->keyWords);
            if (editorOpen)
                KeyWordsClick();
            if (m_propertyDialog && m_propertyDialog->isVisible())
                m_propertyDialog->update();
        });
        m_liveRefresh->start();
    }
    // Announced before the folder leaves the list: count the roots once it has.
    connect(roots, &TDbFolderList::rootRemoved, this,
            [this] { QMetaObject::invokeMethod(this, &TMainForm::UpdateMenuItems, Qt::QueuedConnection); });
    UpdateMenuItems();
}

QString TMainForm::customWallpaperPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Vellumark_MWallPaper.bmp");
}

void TMainForm::LoadBackground()
{
    DisplayOptions &o = m_startup->checks.options;
    m_mdiArea->setWallPaperStyle(o.WallPaperStyle);
    const QPixmap builtIn(QStringLiteral(":/vellumark/wallpaper.png"));
    switch (o.WallPaperChecked) {
    case 0:
        m_mdiArea->setBackImageVisible(false);
        break;
    case 1:
        m_mdiArea->setBackImage(builtIn);
        m_mdiArea->setBackImageVisible(true);
        break;
    case 2: {
        m_mdiArea->setBackImageVisible(true);
        QPixmap custom;
        if (QFileInfo::exists(customWallpaperPath()))
            custom.load(customWallpaperPath());
        if (custom.isNull()) {
            // A missing file, and one that no longer reads as a picture, fall back alike.
            m_uiServices->showMessage(vkMessage("CustomWallpaperMissing"), UiServices::Icon::Warning);
            m_mdiArea->setBackImage(builtIn);
            o.WallPaperChecked = 1;
        } else {
            m_mdiArea->setBackImage(custom);
        }
        break;
    }
    default:
        break;
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // What is open now opens again at the next start (kept before the windows close; a close
    // that is then refused only wrote what is still true).
    if (m_loaded && m_startup->connection.isConnected()) {
        QSettings settings;
        SaveOpenWindows(settings);
    }
    // The authoring tool asks to save a changed slide first; when that save fails the slide
    // stays open, and so does the workspace.
    // The slide explorer's place is kept while everything still shows as the person left it.
    SaveSlideExplorerPlace();
    m_slideExplorerPlaceKept = m_author != nullptr;
    if (m_author)
        if (auto *sub = qobject_cast<QMdiSubWindow *>(m_author->parentWidget()); sub && !sub->close()) {
            m_slideExplorerPlaceKept = false;
            event->ignore();
            return;
        }
    FormClose();
    event->accept();
}

void TMainForm::FormClose()
{
    // The property dialog's and the editor's edits are written, and they let go of what shutdown
    // frees.
    if (m_keyWordsWindow)
        m_keyWordsWindow->close();
    if (m_propertyEditor) {
        m_propertyEditor->Apply();
        m_propertyEditor->releaseItem();
        m_propertyEditor->hide();
    }
    if (m_propertyDialog) {
        m_propertyDialog->CommitEdits();
        m_propertyDialog->releaseSubject();
        m_propertyDialog->hide();
    }
    // Child windows go first: they show folders that shutdown frees.
    m_mdiArea->closeAllSubWindows();
    m_startup->close();
}

void TMainForm::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    // No macro runs while the library goes.
    delete m_remoteServer;
    m_remoteServer = nullptr;
    if (!m_nextDataSource.isEmpty())
        m_startup->settings.database.dataSource = m_nextDataSource;
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
        delete sub;
    QSettings settings;
    if (m_startup->connection.isConnected() && m_loaded)
        settings.setValue(QLatin1String(ToolbarStateKey), saveState());
    m_startup->destroy(settings);
}

void TMainForm::ChangeDataSourceClick()
{
    const QString shown = m_nextDataSource.isEmpty() ? m_startup->settings.database.dataSource : m_nextDataSource;
    const QString connected =
        m_startup->connection.isConnected() ? m_startup->settings.database.dataSource : QString();
    TDataSourceForm dialog(m_startup->configPath, shown, *m_uiServices, this, connected);
    if (dialog.exec() == QDialog::Accepted)
        m_nextDataSource = dialog.currentDataSource();
}

void TMainForm::StartRemoteCommandServer()
{
    if (m_remoteServer)
        return;
    m_remoteServer = new TRemoteCommandServer(
        [this](const QList<QByteArray> &lines) { return svcRemoteCommandServerExecuteMacro(lines); }, this);
    QString why;
    const QString path = remoteCommandSocketPath(&why);
    // Without the server the workspace runs on; other programs are told by their own side.
    if (path.isEmpty() || !m_remoteServer->listen(path, &why))
        qWarning("Vellumark: no remote commands: %s", qPrintable(why));
}

QByteArray TMainForm::svcRemoteCommandServerExecuteMacro(const QList<QByteArray> &lines)
{
    QString why;
    const std::optional<NewMediaMacro> macro = ParseNewMediaMacro(lines, &why);
    if (!macro)
        return "ignored: " + why.toUtf8();
    if (!m_startup->rootFolders)
        return QByteArrayLiteral("failed: the library is not loaded");
    const NewMediaResult result = ExecuteNewMedia(*m_startup->rootFolders, *macro, m_startup->checks.options);
    UpdateMenuItems();
    if (result.ignored)
        return "ignored: " + result.reason.toUtf8();
    if (!result.item)
        return "failed: " + result.reason.toUtf8();
    if (macro->deleteAfter && !result.fileDeleted)
        return "failed: " + result.reason.toUtf8();
    return "imported " + result.item->Rec.OID.toUtf8();
}

void TMainForm::comeForward()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TMainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        statusBar()->setSizeGripEnabled(!isMaximized());
    else if (event->type() == QEvent::ActivationChange && isActiveWindow())
        ViewActivated(this);
}

// --- The command context ----------------------------------------------------------

QWidget *TMainForm::ActiveView() const
{
    return m_activeView ? m_activeView.data() : const_cast<TMainForm *>(this);
}

ViewKind TMainForm::kindOf(QWidget *window) const
{
    if (auto *child = dynamic_cast<ChildWindow *>(window))
        return child->viewKind();
    return ViewKind::Frame;
}

TFolder *TMainForm::activeFolderWindow() const
{
    QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    return sub ? qobject_cast<TFolder *>(sub->widget()) : nullptr;
}

ViewFacts TMainForm::viewFacts() const
{
    ViewFacts f;
    QWidget *view = ActiveView();
    f.activeView = kindOf(view);
    f.noRootFolders = !m_startup->rootFolders || m_startup->rootFolders->Folders.isEmpty();
    f.noChildWindows = m_mdiArea->subWindowList().isEmpty();
    f.authoringWindowExists = m_author != nullptr;
    if (m_author) {
        TDbSlide *slide = m_author->books().ActiveSlide;
        f.slideOpen = slide != nullptr;
        f.openSlide = slide;
        f.slideObjectSelected = slide && !slide->Selection.isEmpty();
        f.lastSelectedObject = f.slideObjectSelected ? slide->Selection.last() : nullptr;
        f.lastSelectedObjectKind = f.slideObjectSelected ? slide->Selection.last()->kind() : NoKind;
    }
    f.workspaceMode = m_startup->workspaceMode;
    f.folderExplorerShown = m_explorerDock && m_explorerDock->isVisible();
    if (view == m_explorer && m_explorer) {
        f.explorerNodeLevel = m_explorer->selectedLevel();
        f.explorerFolder = m_explorer->selectedFolder();
        f.explorerMedia = m_explorer->selectedItem();
    }
    if (m_author && view == m_author->slideExplorer() && view) {
        TSlideExplorer *e = m_author->slideExplorer();
        f.slideNodeLevel = int(e->selectedLevel());
        f.slideNodeItem = f.slideNodeLevel == 0   ? static_cast<void *>(e->selectedClearBook())
                          : f.slideNodeLevel == 1 ? static_cast<void *>(e->selectedSlide())
                                                  : static_cast<void *>(e->selectedObject());
        f.slideNodeObjectKind = e->selectedObject() ? e->selectedObject()->kind() : NoKind;
    }
    f.activeChildIsFolderWindow = activeFolderWindow() != nullptr;
    if (auto *window = qobject_cast<TFolder *>(view)) {
        f.windowFolder = window->folder();
        f.windowShowsSearchResult = window->isSearchResult();
        f.windowFolderEmpty = window->isEmpty();
        f.windowLastSelected = window->lastSelected();
    }
    return f;
}

void TMainForm::setControl(const QString &name, const ControlState &state)
{
    QAction *a = m_actions.value(name);
    if (!a)
        return;
    a->setVisible(state.visible);
    a->setEnabled(state.enabled && !waitingCommands().contains(name));
}

void TMainForm::UpdateMenuItems()
{
    m_context = MakeCommandContext(viewFacts());
    const MenuState m = EnablingRules(m_context);
    const std::pair<const char *, const ControlState *> controls[] = {
        {"btnNewSubFolder", &m.NewSubFolder},
        {"MediaInsert", &m.MediaInsert},
        {"btnNewClearBook", &m.NewClearBook},
        {"btnNewSlide", &m.NewSlide},
        {"btnSave", &m.Save},
        {"MediaAcquire", &m.MediaAcquire},
        {"MediaCapture", &m.MediaCapture},
        {"CapImage", &m.CapImage},
        {"FolderOpen", &m.FolderOpen},
        {"FolderClose", &m.FolderClose},
        {"SlideShowButton", &m.SlideShowButton},
        {"btnDelete", &m.Delete},
        {"btnProperty", &m.Property},
        {"SearchMedia", &m.SearchMedia},
        {"btnFolderSort", &m.FolderSort},
        {"btnMediaSort", &m.MediaSort},
        {"ExplorerButton", &m.ExplorerButton},
        {"AuthorBtn", &m.AuthorBtn},
        {"AuthoringTool", &m.AuthorBtn},
        {"WindowCascadeItem", &m.WindowItems},
        {"WindowTileItem", &m.WindowItems},
        {"WindowArrangeItem", &m.WindowItems},
        {"WindowMinimizeItem", &m.WindowItems},
        {"FolderOpenItem", &m.FolderOpenItem},
        {"FolderRemoveItem", &m.FolderRemoveItem},
        {"FolderPropertyItem", &m.FolderPropertyItem},
        {"FolderCloseItem", &m.FolderCloseItem},
        {"SlideShow", &m.SlideShowItem},
        {"FolderSaveAsItem", &m.FolderSaveAsItem},
        {"FolderSearch", &m.FolderSearch},
        {"OptionPreferencesItem", &m.OptionPreferencesItem},
    };
    for (const auto &[name, state] : controls)
        setControl(QLatin1String(name), *state);
    for (QAction *a : m_insertTools->actions())
        setControl(a->objectName(), m.DesignTools);
    setControl(QStringLiteral("PlayBtn"), m.DesignTools);
    m_actions.value(QStringLiteral("PlayBtn"))->setChecked(m_author && m_author->playing());
    m_fitComboBox->setEnabled(m.DesignTools.enabled);
    // Commands that are always available, unless their window is still to come.
    for (const char *name : {"FolderNew", "muiNewMainFolder", "muiNewSubFolder", "muiFolderSort",
                             "FolderPreference", "MediaDisplay", "OptionDisplayItem", "WallPaper",
                             "ClearDesktopWallpaper", "FolderExplorer", "muiKeyWords"})
        setControl(QLatin1String(name),
                   ControlState{m_actions.value(QLatin1String(name))->isVisible(), true});
    // The zoom dialog works on the authoring window's surface.
    m_actions.value("Zoom")->setEnabled(m_author != nullptr);
}

void TMainForm::ApplyViewState()
{
    m_applyingViewState = true;
    ViewStateInput in;
    in.workspaceMode = m_startup->workspaceMode;
    in.authoringView = m_context.AuthoringView;
    in.designView = m_context.DesignView;
    in.libraryView = m_context.LibraryView;
    in.mainToolbarChecked = m_actions.value("MainToolbar")->isChecked();
    in.authoringToolbarChecked = m_actions.value("AtToolbar")->isChecked();
    in.timelineChecked = m_actions.value("TimelineTable")->isChecked();
    in.timelineWindowExists = m_author != nullptr;
    in.slideExplorerChecked = m_slideExplorerChecked;
    in.slideExplorerExists = m_slideExplorerDock != nullptr;
    in.folderExplorerChecked = m_actions.value("FolderExplorer")->isChecked();
    in.keyWordsChecked = m_keyWordsChecked;
    in.keyWordsWindowExists = m_keyWordsWindow != nullptr;
    const ViewState v = ViewStateRules(in);
    m_actions.value("MainToolbar")->setVisible(v.mainToolbarItem);
    m_actions.value("AtToolbar")->setVisible(v.authoringToolbarItem);
    m_actions.value("TimelineTable")->setVisible(v.timelineItem);
    m_actions.value("SlideExplorerMu")->setVisible(v.slideExplorerItem);
    // The Slide Explorer comes and goes with the Authoring Tool; without it its item claims no
    // window (the person's choice is kept for the next one).
    QAction *slideExplorerItem = m_actions.value("SlideExplorerMu");
    slideExplorerItem->setCheckable(m_slideExplorerDock != nullptr);
    if (m_slideExplorerDock)
        slideExplorerItem->setChecked(m_slideExplorerChecked);
    slideExplorerItem->setEnabled(m_slideExplorerDock != nullptr);
    if (m_slideExplorerDock)
        m_slideExplorerDock->setVisible(v.slideExplorer);
    // The Timeline Table lives in the Authoring Tool: there is one while that window is open.
    m_actions.value("TimelineTable")->setEnabled(m_author != nullptr);
    m_actions.value("FolderExplorer")->setVisible(v.folderExplorerItem);
    m_actions.value("Zoom")->setVisible(v.zoomItem);
    m_actions.value("muiKeyWords")->setVisible(v.keyWordsItem);
    m_speedPanel->setVisible(v.speedPanel);
    m_mediaToolbar->setVisible(v.mediaToolbar);
    if (m_explorerDock)
        m_explorerDock->setVisible(v.folderExplorer);
    if (m_author)
        m_author->ShowTimeline(v.timelineWindow);
    if (m_keyWordsWindow)
        m_keyWordsWindow->setVisible(v.keyWordsWindow);
    // (The slide explorer follows v once it exists.)
    m_applyingViewState = false;
}

void TMainForm::ViewActivated(QWidget *window)
{
    if (!window)
        window = this;
    if (window == ActiveView()) {
        UpdateMenuItems();
        return;
    }
    if (window == this) {
        // The frame passes activation on to its active child window, or, with none, to the
        // folder explorer while it is shown: the frame itself serves no folder commands. When
        // that window already is the active view (the person came back from another program),
        // it stays so.
        if (QMdiSubWindow *sub = m_mdiArea->activeSubWindow(); sub && sub->widget()) {
            window = sub->widget();
        } else if (m_explorer && m_explorerDock && !m_explorerDock->isHidden()) {
            window = m_explorer;
            if (window != ActiveView() && isActiveWindow())
                m_explorer->tree()->setFocus(Qt::ActiveWindowFocusReason);
        }
        if (window == ActiveView()) {
            UpdateMenuItems();
            return;
        }
    }
    // (Qt's MDI area draws the active child's title bar itself.)
    m_activeView = window;
    UpdateMenuItems();
    ApplyViewState();
}

// --- Child windows ----------------------------------------------------------------

QRect TMainForm::childPlace(QSize client, QSize wanted, const QRect *last)
{
    // Whole inside the client area, title bar and scroll bars included.
    QSize size = wanted;
    if (client.width() > 0 && client.height() > 0)
        size = wanted.boundedTo(client);
    QPoint at(0, 0);
    if (last) {
        // One title bar's height on from the last child.
        constexpr int Step = 24;
        at = QPoint(std::max(0, last->left()) + Step, std::max(0, last->top()) + Step);
        if (at.x() + size.width() > client.width() || at.y() + size.height() > client.height())
            at = QPoint(0, 0);
    }
    return QRect(at, size);
}

QMdiSubWindow *TMainForm::addChildWindow(QWidget *window, QSize wanted)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The last child still on show is where the cascade goes on from.
    std::optional<QRect> last;
    const QList<QMdiSubWindow *> before = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (auto it = before.rbegin(); it != before.rend(); ++it)
        if ((*it)->isVisible() && !(*it)->isMinimized() && !(*it)->isMaximized()) {
            last = (*it)->geometry();
            break;
        }
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(window);
    sub->setWindowIcon(window->windowIcon());
    sub->setGeometry(childPlace(m_mdiArea->viewport()->size(), wanted, last ? &*last : nullptr));
    connect(window, &QObject::destroyed, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { ViewActivated(this); }, Qt::QueuedConnection);
    });
    window->show();
    m_mdiArea->setActiveSubWindow(sub);
    return sub;
}

QList<TFolder *> TMainForm::folderWindows(const TDbFolder *folder) const
{
    QList<TFolder *> out;
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
        if (auto *w = qobject_cast<TFolder *>(sub->widget()))
            if (!folder || w->folder() == folder)
                out.append(w);
    return out;
}

TFolder *TMainForm::OpenFolderWindow(TDbFolder *folder, bool searchResult)
{
    if (!folder || !m_startup->rootFolders)
        return nullptr;
    Hourglass wait;
    // Every folder's items are loaded at start-up.
    for (TFolder *w : folderWindows(folder)) {
        QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
        if (sub && sub->isMinimized())
            sub->showNormal();
        m_mdiArea->setActiveSubWindow(sub);
        return nullptr;
    }
    auto *window = new TFolder(*this, folder, searchResult);
    connect(window, &TFolder::selectionChanged, this, [this, window] {
        if (window == ActiveView())
            UpdateMenuItems();
    });
    connect(window, &TFolder::openFolderRequested, this, [this](TDbFolder *f) { OpenFolderWindow(f); });
    addChildWindow(window, QSize(560, 380));
    window->refresh();
    return window;
}

void TMainForm::closeFolderWindows(TDbFolder *folder)
{
    for (TFolder *w : folderWindows(folder)) {
        // The folder is freed right after this: the window must not look at it again.
        w->detachFolder();
        if (QWidget *sub = w->parentWidget())
            sub->close();
    }
}

void TMainForm::mergeChildMenus(QWidget *child)
{
    QList<QMenu *> merged;
    if (auto *c = dynamic_cast<ChildWindow *>(child))
        merged = c->childMenus();
    if (merged == m_mergedMenus)
        return;
    m_mergedMenus = merged;
    // A child's menu replaces the frame's menus of its group and stands before the higher groups.
    QSet<int> replaced;
    for (QMenu *m : merged)
        replaced.insert(m->property(MenuGroupProperty).toInt());
    QList<QMenu *> bar;
    for (QMenu *m : m_frameMenus)
        if (!replaced.contains(m->property(MenuGroupProperty).toInt()))
            bar.append(m);
    for (QMenu *m : merged) {
        const int group = m->property(MenuGroupProperty).toInt();
        auto at = std::find_if(bar.begin(), bar.end(),
                               [group](QMenu *x) { return x->property(MenuGroupProperty).toInt() > group; });
        bar.insert(at, m);
    }
    menuBar()->clear();
    for (QMenu *m : bar)
        menuBar()->addMenu(m);
}

void TMainForm::fillWindowList()
{
    for (QAction *a : m_windowListActions)
        delete a;
    m_windowListActions.clear();
    const QList<QMdiSubWindow *> subs = m_mdiArea->subWindowList();
    if (subs.isEmpty())
        return;
    m_windowListActions.append(m_windowMenu->addSeparator());
    int n = 1;
    for (QMdiSubWindow *sub : subs) {
        QAction *a = m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(n++).arg(sub->windowTitle()));
        a->setCheckable(true);
        a->setChecked(sub == m_mdiArea->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] { m_mdiArea->setActiveSubWindow(sub); });
        m_windowListActions.append(a);
    }
}

// --- Commands -----------------------------------------------------------------------

void TMainForm::FolderNewClick()
{
    if (!m_startup->rootFolders)
        return;
    TNewFolder dialog(*m_uiServices, &m_startup->rootFolders->connection(), nullptr, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const DisplayOptions &o = m_startup->checks.options;
    TDbFolder *folder = nullptr;
    {
        Hourglass wait;
        folder = m_startup->rootFolders->AddRootFolder(dialog.title(), o.DefaultPanelWidth,
                                                       o.DefaultPanelBorderWidth, o.DefaultPanelHeight);
        if (folder) {
            // Exactly the columns the person filled in are written.
            folder->Changed = 0;
            if (dialog.authorChanged()) {
                folder->Rec.Author = dialog.author();
                folder->Changed |= FolderAuthor;
            }
            if (dialog.dateChanged()) {
                folder->Rec.InsertDate = dialog.date();
                folder->Changed |= FolderInsertDate;
            }
            if (folder->Changed)
                folder->Update(m_startup->rootFolders->connection());
            if (dialog.descriptionChanged())
                WriteDescription(m_startup->rootFolders->connection(), folder->Rec.OID, dialog.description(),
                                 RecordKind::Folder);
            folder->Changed = 0;
        }
    }
    if (folder)
        OpenFolderWindow(folder);
    UpdateMenuItems();
}

void TMainForm::NewSubFolderClick()
{
    TDbFolder *target = TargetFolder(m_context, true);
    if (!target || m_context.SearchResultView || !m_startup->rootFolders)
        return;
    const DisplayOptions &o = m_startup->checks.options;
    TDbMedia *tile =
        m_startup->rootFolders->AddSubFolder(target, vkMessage("NewFolderTitle"), o.DefaultPanelWidth,
                                             o.DefaultPanelHeight, o.DefaultPanelBorderWidth);
    if (tile)
        for (TFolder *w : folderWindows(target))
            w->selectItem(tile);
    // (With the folder explorer active, editing the new node's text starts here.)
    UpdateMenuItems();
}

void TMainForm::FolderOpenClick()
{
    if (!m_startup->rootFolders)
        return;
    TOpenFolder dialog(*m_startup->rootFolders, &m_startup->rootFolders->connection(), this);
    if (dialog.exec() == QDialog::Accepted)
        if (TDbFolder *folder = dialog.selectedFolder())
            OpenFolderWindow(folder);
}

void TMainForm::FolderSaveAsClick()
{
    if (!m_startup->rootFolders)
        return;
    auto *window = qobject_cast<TFolder *>(ActiveView());
    const bool searchResult = m_context.SearchResultView;
    TDbFolder *source = nullptr;
    if (m_context.FolderWindowView && window)
        source = window->folder();
    else if (m_context.FolderExplorerView &&
             (m_context.SelectedKind == RootFolderKind || m_context.SelectedKind == SubFolderType))
        source = TargetFolder(m_context, false);
    if (!source || !source->MediaList)
        return;
    // A search result has no row of its own to read a description from.
    TNewFolder dialog(*m_uiServices, searchResult ? nullptr : &m_startup->rootFolders->connection(), source,
                      this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (TDbFolder *copy = SaveFolderAs(source, searchResult, dialog))
        OpenFolderWindow(copy);
    UpdateMenuItems();
}

TDbFolder *TMainForm::SaveFolderAs(TDbFolder *source, bool searchResult, const TNewFolder &dialog)
{
    if (!m_startup->rootFolders || !source || !source->MediaList)
        return nullptr;
    TDbFolderList &roots = *m_startup->rootFolders;
    TDbFolder *copy = nullptr;
    {
        Hourglass wait;
        if (searchResult) {
            // The found media are copied into a new main folder, as a paste would.
            const TDbMediaList &list = *source->MediaList;
            copy = roots.AddRootFolder(dialog.title(), list.TileWidth, list.TileBorder, list.TileHeight);
            QList<TDbMedia *> found;
            for (TDbMedia *m : list.Items)
                found.append(m->MirrorOf ? m->MirrorOf : m);
            if (copy && !found.isEmpty() && roots.CopyItems(found, copy, 0).isEmpty())
                m_uiServices->showMessage(vkMessage("NoMediaFound"));
            if (copy)
                copy->Changed = 0;
        } else {
            copy = roots.CopyFolderToRoot(source, int(roots.Folders.size()));
            if (copy) {
                copy->Rec.Title = dialog.title();
                copy->Changed = FolderTitle;
            }
        }
        if (copy) {
            if (dialog.authorChanged()) {
                copy->Rec.Author = dialog.author();
                copy->Changed |= FolderAuthor;
            }
            if (dialog.dateChanged()) {
                copy->Rec.InsertDate = dialog.date();
                copy->Changed |= FolderInsertDate;
            }
            if (copy->Changed)
                copy->Update(m_startup->rootFolders->connection());
            copy->Changed = 0;
            if (dialog.descriptionChanged())
                WriteDescription(m_startup->rootFolders->connection(), copy->Rec.OID, dialog.description(),
                                 RecordKind::Folder);
        }
    }
    if (copy && m_explorer)
        m_explorer->model()->refreshTitles();
    return copy;
}

void TMainForm::FolderCloseClick()
{
    if (TFolder *w = activeFolderWindow())
        w->parentWidget()->close();
}

void TMainForm::FolderRemoveItemClick()
{
    if (m_context.SearchResultView) {
        FolderCloseClick();
        return;
    }
    TDbFolder *folder = TargetFolder(m_context, false);
    if (!folder || !m_startup->rootFolders)
        return;
    const QString question =
        vkMessage("DeleteFolderQuestion") + QStringLiteral("\n\r, '") + folder->Rec.Title + QLatin1Char('\'');
    if (!m_uiServices->askYesNo(question))
        return;
    {
        Hourglass wait;
        if (!folder->isRoot() && folder->Tile)
            m_startup->rootFolders->RemoveMedia(folder->Tile);
        else
            m_startup->rootFolders->RemoveRootFolder(folder);
    }
    UpdateMenuItems();
}

void TMainForm::DeleteClick()
{
    TFolder *window = qobject_cast<TFolder *>(ActiveView());
    if (!window || !m_context.FolderWindowView || m_context.SearchResultView || !m_startup->rootFolders)
        return;
    const QList<TDbMedia *> selected = window->selectedItems();
    if (selected.isEmpty())
        return;
    QStringList titles;
    for (TDbMedia *item : selected)
        titles.append(item->SubFolder ? item->SubFolder->Rec.Title : item->Rec.Title);
    PromptSettings &p = PromptDialog->settings;
    p = PromptSettings();
    p.parts = PartInformation | PartPrompt;
    p.buttons = 2;
    p.focusButton = 0;
    p.informationLines = titles;
    p.promptText = vkMessage("RemoveMediaQuestion");
    int position = 0;
    if (PromptDialog->Execute() == QDialog::Accepted) {
        Hourglass wait;
        int lowest = -1;
        for (TDbMedia *item : selected) {
            const int at = m_startup->rootFolders->RemoveMedia(item);
            if (at >= 0 && (lowest < 0 || at < lowest))
                lowest = at;
        }
        position = std::max(lowest, 0);
    }
    window->refresh();
    window->selectAt(position);
    UpdateMenuItems();
}

void TMainForm::FolderSortClick()
{
    if (!m_startup->rootFolders)
        return;
    Hourglass wait;
    SortMainFolders(*m_startup->rootFolders);
    if (m_explorer)
        m_explorer->reload();
    // (The folder explorer shows its top level in the new order here.)
    UpdateMenuItems();
}

void TMainForm::MediaSortClick()
{
    if (m_context.SearchResultView || !m_startup->rootFolders)
        return;
    TDbFolder *folder = TargetFolder(m_context, true);
    if (!folder)
        return;
    Hourglass wait;
    if (!SortFolderItems(*m_startup->rootFolders, folder))
        return;
    if (m_explorer)
        m_explorer->reload();
    // The windows show the new order from the first item; what was selected stays selected.
    for (TFolder *w : folderWindows(folder))
        w->refresh();
    UpdateMenuItems();
}

void TMainForm::MediaInsertClick()
{
    if (m_context.SearchResultView || !m_startup->rootFolders)
        return;
    TDbFolder *folder = TargetFolder(m_context, true);
    if (!folder)
        return;
    // The program's own file dialog: it matches the filters whatever the letter case of the
    // extensions, which a native dialog may not.
    const QStringList files = QFileDialog::getOpenFileNames(
        this, vkMessage("ImportMediaCaption"), QString(),
        DialogFilters(ImportFilter()).join(QStringLiteral(";;")), nullptr, QFileDialog::DontUseNativeDialog);
    if (files.isEmpty())
        return;
    // Thumbnails are made on worker threads while the rows go in, in order; the progress
    // dialog can cancel, and what was imported before stays.
    TDbMedia *last = importPaths(folder, files);
    for (TFolder *w : folderWindows(folder)) {
        w->refresh();
        if (last)
            w->selectItem(last);
    }
    UpdateMenuItems();
}

void TMainForm::MainToolbarClick()
{
    m_startup->settings.speedPanelVisible = m_actions.value("MainToolbar")->isChecked();
    ApplyViewState();
}

void TMainForm::AtToolbarClick()
{
    m_startup->settings.mediaToolbarVisible = m_actions.value("AtToolbar")->isChecked();
    ApplyViewState();
}

void TMainForm::WindowCascadeItemClick()
{
    m_actions.value("WindowCascadeItem")->setChecked(true);
    m_actions.value("WindowTileItem")->setChecked(false);
    m_mdiArea->cascadeSubWindows();
}

void TMainForm::WindowTileItemClick()
{
    m_actions.value("WindowCascadeItem")->setChecked(false);
    m_actions.value("WindowTileItem")->setChecked(true);
    m_mdiArea->tileSubWindows();
}

void TMainForm::WindowArrangeItemClick()
{
    // Minimised child windows line up along the bottom edge.
    const QList<QMdiSubWindow *> subs = m_mdiArea->subWindowList();
    int x = 0;
    for (QMdiSubWindow *sub : subs) {
        if (!sub->isMinimized())
            continue;
        const QSize size = sub->size();
        sub->move(x, m_mdiArea->viewport()->height() - size.height());
        x += size.width();
    }
}

void TMainForm::WindowMinimizeItemClick()
{
    const QList<QMdiSubWindow *> subs = m_mdiArea->subWindowList();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it)
        (*it)->showMinimized();
}

void TMainForm::ContentIndexClick()
{
    if (!m_helpWindow) {
        m_helpWindow = new THelpWindow(this);
        m_helpWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_helpWindow->showPage(QStringLiteral("index.html"));
    }
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void TMainForm::HelpAboutItemClick()
{
    TAboutBox box(this);
    box.exec();
}

} // namespace vk

namespace vk {

// --- What the library windows need of the workspace ----------------------------------

TDbFolderList &TMainForm::roots()
{
    return *m_startup->rootFolders;
}

TSelectedList &TMainForm::clipboard()
{
    return m_startup->clipboard;
}

UiServices &TMainForm::ui()
{
    return *m_uiServices;
}

void TMainForm::runCommand(const QString &name)
{
    UpdateMenuItems();
    if (QAction *a = m_actions.value(name); a && a->isEnabled())
        a->trigger();
}

void TMainForm::openFolder(TDbFolder *folder)
{
    OpenFolderWindow(folder);
}

void TMainForm::AuthoringToolClick()
{
    if (m_author) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(m_author->parentWidget()))
            m_mdiArea->setActiveSubWindow(sub);
        return;
    }
    Connection &c = m_startup->connection;
    // The authoring tables, made or brought up to date when the tool first opens.
    AuthoringSchemaCheck(c);
    AuthoringFrame frame;
    frame.currentTool = [this] {
        QAction *checked = m_insertTools->checkedAction();
        return checked ? toolOfAction(checked->objectName()) : DrawTool::Select;
    };
    frame.releaseTool = [this] { m_actions.value("ReleaseBtn")->setChecked(true); };
    frame.chooseTool = [this](DrawTool tool) {
        for (QAction *a : m_insertTools->actions())
            if (toolOfAction(a->objectName()) == tool)
                a->setChecked(true);
    };
    frame.showZoom = [this](int zoom, bool fit) {
        m_zoom = zoom;
        m_zoomFixed = !fit;
        m_fitComboBox->setCurrentText(QString::number(zoom));
    };
    frame.clearClipboard = [this] { clearClipboard(); };
    frame.changed = [this] {
        if (m_author && m_author == ActiveView())
            UpdateMenuItems();
    };
    frame.chooseMediaFile = [this](DrawTool tool) {
        QString title, filter;
        if (tool == DrawTool::Video) {
            title = QStringLiteral("Insert Video");
            filter = QStringLiteral("AVI( *.avi)|*.avi|MPEG( *.mpg)|*.mpg");
        } else if (tool == DrawTool::Audio) {
            title = QStringLiteral("Insert Audio");
            filter = QStringLiteral(
                "Audio|*.wav;*.mid;*.rmi|WAV( *.wav)|*.wav|MIDI( *.mid)|*.mid|RMI( *.rmi)|*.rmi");
        } else {
            title = QStringLiteral("Insert Image");
            filter = QStringLiteral(
                "Image|*.bmp;*.jpg;*.pcx;*.png;*.tga;*.tif;*.gif|BMP( *.bmp)|*.bmp|JPG( *.jpg)|"
                "*.jpg|PCX( *.pcx)|*.pcx|PNG( *.png)|*.png|TGA( *.tga)|*.tga|TIF( *.tif)|*.tif|"
                "GIF( *.gif)|*.gif");
        }
        return QFileDialog::getOpenFileName(this, title, QString(),
                                            DialogFilters(filter).join(QStringLiteral(";;")), nullptr,
                                            QFileDialog::DontUseNativeDialog);
    };
    frame.makePlayer = [](TAuthorMain &author) -> std::unique_ptr<SlidePlayer> {
        return std::make_unique<TPlayForm>(author);
    };
    frame.playingChanged = [this](bool playing) {
        if (playing)
            m_startup->workspaceMode |= ModeSlidePlaying;
        else
            m_startup->workspaceMode &= ~ModeSlidePlaying;
        UpdateMenuItems();
        ApplyViewState();
    };
    if (QScreen *screen = QGuiApplication::primaryScreen())
        frame.screen = screen->size();
    m_author = new TAuthorMain(c, *m_uiServices, frame);
    m_author->clipboard = &m_startup->clipboard;
    m_startup->workspaceMode |= ModeAuthoring;
    connect(m_author, &TAuthorMain::closing, this, [this] {
        if (!m_slideExplorerPlaceKept)
            SaveSlideExplorerPlace();
        m_startup->workspaceMode &= ~ModeAuthoring;
        m_author = nullptr;
        QMetaObject::invokeMethod(
            this, [this] { ViewActivated(this); }, Qt::QueuedConnection);
    });
    connect(m_author, &QObject::destroyed, this, [this] { m_author = nullptr; });
    addChildWindow(m_author, QSize(900, 650));
    DockSlideExplorer();
    m_author->setFitZoom();
    ViewActivated(m_author);
    ApplyViewState();
}

// The authoring window's slide explorer, docked at the left below the folder explorer; it
// becomes the active view when the person works in it.
void TMainForm::DockSlideExplorer()
{
    TSlideExplorer *explorer = m_author ? m_author->slideExplorer() : nullptr;
    if (!explorer)
        return;
    m_slideExplorerDock = new QDockWidget(QStringLiteral("Slide Explorer"), this);
    m_slideExplorerDock->setObjectName(QStringLiteral("SlideExplorerDock"));
    m_slideExplorerDock->setWidget(explorer);
    addDockWidget(Qt::LeftDockWidgetArea, m_slideExplorerDock);
    if (m_explorerDock) {
        splitDockWidget(m_explorerDock, m_slideExplorerDock, Qt::Vertical);
        // The two explorers share the height.
        const int half = std::max(150, m_explorerDock->height() / 2);
        resizeDocks({m_explorerDock, m_slideExplorerDock}, {half, half}, Qt::Vertical);
    }
    RestoreSlideExplorerPlace();
    connect(explorer, &TSlideExplorer::activated, this, [this, explorer] { ViewActivated(explorer); });
    connect(explorer, &TSlideExplorer::selectionChanged, this, [this, explorer] {
        if (ActiveView() == explorer)
            UpdateMenuItems();
    });
    // (Made with the dock, gone with it.)
    connect(m_actions.value("SlideExplorerMu"), &QAction::toggled, m_slideExplorerDock, [this](bool shown) {
        if (m_applyingViewState)
            return;
        m_slideExplorerChecked = shown;
        ApplyViewState();
    });
    connect(m_slideExplorerDock, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (!m_applyingViewState && !shown && isVisible() && !isMinimized() && m_slideExplorerDock &&
            !m_slideExplorerDock->isFloating() && m_author)
            m_actions.value("SlideExplorerMu")->setChecked(false);
    });
    // The explorer goes with its window; so does its dock.
    connect(explorer, &QObject::destroyed, this, [this] {
        if (m_slideExplorerDock) {
            m_slideExplorerDock->deleteLater();
            m_slideExplorerDock = nullptr;
        }
    });
}

// Docked or floating, and the floating window's place, as the person left them; a stored place
// that lies on no screen any more gives the first one: 250 × 350 at the screen's bottom right.
void TMainForm::RestoreSlideExplorerPlace()
{
    if (!m_slideExplorerDock)
        return;
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const QRect first(avail.right() - 250, avail.bottom() - 350, 250, 350);
    ExplorerSettings &e = m_startup->settings.slideExplorer;
    e.geometry = first;
    QSettings settings;
    ReadSettings(settings, SettingsGroup::SlideExplorer, m_startup->settings);
    m_slideExplorerChecked = e.visible;
    QRect g = e.geometry;
    bool onScreen = false;
    for (const QScreen *sc : QGuiApplication::screens())
        onScreen = onScreen || sc->availableGeometry().intersects(g);
    if (!onScreen || g.width() < 100 || g.height() < 100 || g.width() > 10000 || g.height() > 10000)
        g = first;
    e.geometry = g;
    if (!e.dock) {
        m_slideExplorerDock->setFloating(true);
        m_slideExplorerDock->setGeometry(g);
    }
}

void TMainForm::SaveSlideExplorerPlace()
{
    if (!m_slideExplorerDock || !m_loaded || !m_startup->connection.isConnected())
        return;
    ExplorerSettings &e = m_startup->settings.slideExplorer;
    e.dock = !m_slideExplorerDock->isFloating();
    if (!e.dock)
        e.geometry = m_slideExplorerDock->geometry();
    e.visible = m_slideExplorerChecked;
    QSettings settings;
    WriteSlideExplorerSettings(settings, e);
}

void TMainForm::clearClipboard()
{
    // Slide objects go back to the authoring model first; the library lets go of the rest.
    if (m_author)
        m_author->books().ClipboardClear(m_startup->clipboard);
    m_startup->rootFolders->ClipboardClear(m_startup->clipboard);
}

void TMainForm::SearchMediaClick()
{
    if (!m_startup->rootFolders)
        return;
    TMedSearch dialog(*m_startup->rootFolders, m_startup->keyWords, *m_uiServices, this);
    const DisplayOptions &o = m_startup->checks.options;
    dialog.tileWidth = o.DefaultPanelWidth;
    dialog.tileHeight = o.DefaultPanelHeight;
    dialog.tileBorder = o.DefaultPanelBorderWidth;
    if (dialog.exec() != QDialog::Accepted || !dialog.ResultFolder)
        return;
    TDbFolder *result = dialog.ResultFolder;
    if (result->MediaList->Items.isEmpty()) {
        m_uiServices->showMessage(vkMessage("NoMediaFound"));
        ReleaseResultFolder(*m_startup->rootFolders, result);
        return;
    }
    // The window owns its result folder from here on.
    OpenFolderWindow(result, true);
}

void TMainForm::showProperties(TDbMedia *item, TDbFolder *folder)
{
    if (!m_propertyDialog)
        return;
    // A visible property editor gives way to the dialog.
    closePropertyEditor();
    if (folder)
        m_propertyDialog->ShowFolder(folder);
    else if (item)
        m_propertyDialog->ShowMedia(item);
}

void TMainForm::tilePressed(TDbMedia *item)
{
    if (item && editorShowing())
        showInEditor(item->SubFolder ? nullptr : item, item->SubFolder);
    else if (item && m_propertyDialog && m_propertyDialog->isVisible())
        showProperties(item->SubFolder ? nullptr : item, item->SubFolder);
    followKeywords(item);
}

void TMainForm::followKeywords(TDbMedia *item)
{
    if (!m_keyWordsWindow)
        return;
    // The buttons show the keywords of the item the property dialog shows, else of the pressed one.
    if (m_propertyDialog && m_propertyDialog->isVisible() && m_propertyDialog->SubjectMedia()) {
        m_keyWordsWindow->SetDownStates(KeywordText(m_propertyDialog->keywordRowOids()));
        return;
    }
    const TDbMedia *m = item && item->MirrorOf ? item->MirrorOf : item;
    m_keyWordsWindow->SetDownStates(m && !m->SubFolder ? m->Rec.KeyWords : QString());
}

void TMainForm::showInEditor(TDbMedia *item, TDbFolder *folder)
{
    if (!m_propertyEditor)
        return;
    if (folder)
        m_propertyEditor->ShowFolder(folder);
    else if (item)
        m_propertyEditor->ShowItem(item);
}

bool TMainForm::editorShowing() const
{
    return m_propertyEditor && m_propertyEditor->isVisible();
}

bool TMainForm::propertiesShowing() const
{
    return m_propertyDialog && m_propertyDialog->isVisible();
}

void TMainForm::closePropertyEditor()
{
    if (!editorShowing())
        return;
    if (m_propertyEditor->Apply()) {
        m_propertyEditor->releaseItem();
        m_propertyEditor->hide();
    }
}

void TMainForm::PrintPicture(const QImage &picture, const QString &title)
{
    if (picture.isNull()) {
        m_uiServices->showMessage(vkMessage("SelectSingleImage"), UiServices::Icon::Warning);
        return;
    }
    TPrintForm form(*m_uiServices, this);
    form.setPicture(picture, title);
    form.exec();
}

void TMainForm::printMedia(TDbMedia *item)
{
    if (!item || item->SubFolder || !isPictureType(item->Rec.MediaType)) {
        m_uiServices->showMessage(vkMessage("SelectSingleImage"), UiServices::Icon::Warning);
        return;
    }
    QImage picture;
    QString error;
    setCursor(Qt::WaitCursor);
    const bool loaded = loadMediaPicture(item->Rec.MediaFile, item->Rec.MediaType, picture, &error);
    unsetCursor();
    if (!loaded) {
        m_uiServices->showMessage(error, UiServices::Icon::Warning);
        return;
    }
    PrintPicture(picture, item->Rec.Title);
}

int TMainForm::tagItems(const QList<TDbMedia *> &items, const QString &keywordOid)
{
    TDbKeyWord *keyword = FindKeyword(m_startup->keyWords, keywordOid);
    if (!keyword)
        return 0;
    int tagged = 0;
    for (TDbMedia *item : items)
        if (ToggleKeyword(m_startup->connection, keyword, item, true))
            ++tagged;
    // The buttons follow the current item.
    if (TFolder *w = activeFolderWindow())
        followKeywords(w->lastSelected());
    return tagged;
}

bool TMainForm::KeywordToggled(TDbKeyWord *keyword, bool down)
{
    if (m_propertyDialog && m_propertyDialog->isVisible() && m_propertyDialog->SubjectMedia())
        return down ? m_propertyDialog->addKeyword(keyword) : m_propertyDialog->removeKeyword(keyword);
    auto *w = qobject_cast<TFolder *>(ActiveView());
    if (!w || !w->lastSelected())
        return false;
    return ToggleKeyword(m_startup->connection, keyword, w->lastSelected(), down);
}

TfrmKeyWords *TMainForm::keyWordsWindow() const
{
    return m_keyWordsWindow;
}

void TMainForm::KeyWordsClick()
{
    m_keyWordsChecked = m_actions.value("muiKeyWords")->isChecked();
    if (m_keyWordsWindow) {
        m_keyWordsWindow->close();
        return;
    }
    m_keyWordsWindow = new TfrmKeyWords(m_startup->keyWords, m_startup->connection, *m_uiServices, this);
    TfrmKeyWords *editor = m_keyWordsWindow;
    editor->toggled = [this](TDbKeyWord *keyword, bool down) { return KeywordToggled(keyword, down); };
    connect(editor, &TfrmKeyWords::keywordChanged, this, [this] {
        if (m_propertyDialog && m_propertyDialog->isVisible())
            m_propertyDialog->update();
    });
    connect(editor, &TfrmKeyWords::keywordRemoving, this, [this](const QString &oid) {
        if (m_propertyDialog && m_propertyDialog->isVisible())
            m_propertyDialog->forgetKeyword(oid);
    });
    connect(editor, &TfrmKeyWords::mediaUntagged, this, [this](const QString &oid, const QString &keyWords) {
        // The items held in memory follow their rows.
        if (m_startup->rootFolders)
            if (TDbMedia *m = m_startup->rootFolders->FindMediaByOid(oid))
                m->Rec.KeyWords = keyWords;
    });
    connect(editor, &TfrmKeyWords::closed, this, [this] {
        m_keyWordsChecked = false;
        m_actions.value("muiKeyWords")->setChecked(false);
        if (m_propertyDialog)
            m_propertyDialog->setKeywordsEditorOpen(false);
    });
    m_actions.value("muiKeyWords")->setChecked(true);
    m_keyWordsChecked = true;
    if (m_propertyDialog)
        m_propertyDialog->setKeywordsEditorOpen(true);
    TFolder *w = qobject_cast<TFolder *>(ActiveView());
    followKeywords(w ? w->lastSelected() : nullptr);
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void TMainForm::PropertyClick()
{
    // In the library views: a folder, a subfolder tile's folder or a media item (the authoring
    // views' own property dialogs come with them).
    const CommandContext &c = m_context;
    if (!c.LibraryView)
        return;
    if (c.SelectedKind == RootFolderKind)
        showProperties(nullptr, c.SelectedFolder);
    else if (c.SelectedKind == SubFolderType && c.SelectedMedia)
        showProperties(nullptr, c.SelectedMedia->SubFolder);
    else if (c.SelectedMedia && c.SelectedKind <= TypeDocument)
        showProperties(c.SelectedMedia->MirrorOf ? c.SelectedMedia->MirrorOf : c.SelectedMedia, nullptr);
}

void TMainForm::FolderPropertyClick()
{
    if (TDbFolder *folder = TargetFolder(m_context, false))
        showProperties(nullptr, folder);
}

void TMainForm::PropertiesCommitted(TDbMedia *item, TDbFolder *folder)
{
    // The explorer's node, the tiles and the window captions show what was written; search
    // results that mirror the item show it too.
    if (m_explorer) {
        LibraryTreeModel *model = m_explorer->model();
        TDbMedia *node = item ? item : (folder ? folder->Tile : nullptr);
        model->refreshTitles((node ? model->indexOfItem(node) : model->indexOfFolder(folder)).parent());
    }
    if (folder)
        folderChanged(folder);
    if (!item)
        return;
    for (TFolder *w : folderWindows()) {
        if (!w->folder())
            continue;
        bool shows = w->folder() == item->Owner;
        for (TDbMedia *m : w->folder()->MediaList->Items)
            if (m->MirrorOf == item) {
                CopyEditedFields(*item, *m);
                shows = true;
            }
        if (shows)
            w->refresh();
    }
}

void TMainForm::selectInExplorer(TDbFolder *folder, TDbMedia *item)
{
    if (m_explorer)
        m_explorer->SelectedNode(folder, item);
}

void TMainForm::followExplorer(TDbFolder *folder, TDbMedia *item)
{
    if (editorShowing())
        showInEditor(item, item ? nullptr : folder);
    else if (m_propertyDialog && m_propertyDialog->isVisible())
        showProperties(item, item ? nullptr : folder);
    for (TFolder *w : folderWindows(folder)) {
        if (item && !w->selectedItems().contains(item))
            w->selectItem(item);
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            m_mdiArea->setActiveSubWindow(sub);
    }
    if (m_explorer)
        m_explorer->tree()->setFocus();
    if (item)
        followKeywords(item);
}

void TMainForm::folderChanged(TDbFolder *folder)
{
    if (!folder)
        return;
    for (TFolder *w : folderWindows(folder))
        w->refresh();
    if (folder->Tile && folder->Tile->Owner)
        for (TFolder *w : folderWindows(folder->Tile->Owner))
            w->refresh();
    fillWindowList();
}

TDbMedia *TMainForm::importPaths(TDbFolder *folder, const QStringList &paths)
{
    TDbMedia *last = nullptr;
    QStringList skipped;
    {
        Hourglass wait;
        initVideoFrames();
        MediaImport importer(*m_startup->rootFolders);
        const DisplayOptions &o = m_startup->checks.options;
        importer.recursive = true;
        importer.tileWidth = o.DefaultPanelWidth;
        importer.tileHeight = o.DefaultPanelHeight;
        importer.tileBorder = o.DefaultPanelBorderWidth;
        importer.imported = [&last](TDbMedia *m) { last = m; };
        importer.folderMade = [&last](TDbMedia *tile) { last = tile; };
        importer.skipped = [&skipped](const ImportSkip &skip) {
            skipped << QStringLiteral("%1: %2").arg(QFileInfo(skip.path).fileName(), skip.reason);
        };
        importer.Run(folder, paths, m_startup->settings.defaultImportType);
    }
    if (!skipped.isEmpty())
        m_ui->showInformation(vkMessage("ImportMediaCaption"), skipped,
                              QStringLiteral("These files were not imported:"));
    UpdateMenuItems();
    return last;
}

bool TMainForm::showExternalMark() const
{
    return m_startup->settings.showExternalMark;
}

int TMainForm::scanImageType() const
{
    return m_startup->checks.options.ScanImageType;
}

QString TMainForm::workDirectory() const
{
    const QString dir = m_startup->connection.tempFilePrefix();
    return dir.isEmpty() ? QDir::tempPath() + QLatin1Char('/') : dir;
}

} // namespace vk

namespace vk {

// --- Options, background, wallpaper and zoom --------------------------------------------

namespace {

// Where the desktop wallpaper's values are kept (in the workspace's own settings: the
// desktop itself is reached only through its portal).
const char *const DesktopWallpaperKey = "Control Panel/Desktop/WallPaper";
const char *const DesktopTileKey = "Control Panel/Desktop/TileWallPaper";

// The picture formats a wallpaper file may have (by its extension, upper-cased).
bool wallpaperExtension(const QString &path)
{
    static const QStringList allowed = {"BMP", "JPG", "PCX", "PNG", "TGA", "TIF", "GIF"};
    return allowed.contains(QFileInfo(path).suffix().toUpper());
}

QSize screenSize(const QWidget *w)
{
    const QScreen *screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

} // namespace

void TMainForm::setDesktopWallpaper(std::unique_ptr<DesktopWallpaper> portal)
{
    m_desktopWallpaper = std::move(portal);
}

QString TMainForm::desktopWallpaperPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Vellumark_WallPaper.bmp");
}

void TMainForm::PreferencesClick()
{
    DisplayOptions &o = m_startup->checks.options;
    TFolder *window = activeFolderWindow();
    PreferenceValues in;
    if (window && window->folder() && window->folder()->MediaList) {
        in.tileWidth = window->folder()->MediaList->TileWidth;
        in.tileHeight = window->folder()->MediaList->TileHeight;
        in.tileBorder = window->folder()->MediaList->TileBorder;
    } else {
        in.tileWidth = o.DefaultPanelWidth;
        in.tileHeight = o.DefaultPanelHeight;
        in.tileBorder = o.DefaultPanelBorderWidth;
    }
    in.showExternalMark = m_startup->settings.showExternalMark;
    in.importType = m_startup->settings.defaultImportType;
    in.embeddedPreviews = m_startup->settings.embeddedPreviews;
    in.scanImageType = o.ScanImageType;
    in.wallPaperChecked = o.WallPaperChecked;
    in.wallPaperStyle = o.WallPaperStyle;
    QSettings settings;
    const QString desktopPicture = settings.value(QLatin1String(DesktopWallpaperKey)).toString();
    in.desktopHasWallpaper = !desktopPicture.isEmpty();
    in.desktopTile =
        settings.value(QLatin1String(DesktopTileKey), QStringLiteral("1")).toString() != QLatin1String("0");

    TPreference dialog(in, this);
    // Cancel keeps everything as it was, the background choices too: they apply on OK only.
    if (dialog.exec() != QDialog::Accepted || !dialog.changed())
        return;
    const PreferenceValues out = dialog.values();
    const int choice = dialog.sizeChoice();
    std::optional<QSize> size = TileSizeOfChoice(choice);
    if (!size && choice != -1)
        m_uiServices->showMessage(vkMessage("OutsideRange"));
    if (!size)
        size = QSize(out.tileWidth, out.tileHeight);
    if (window)
        window->ApplyTileSize(size->width(), size->height(), out.tileBorder);
    o.ScanImageType = out.scanImageType;
    m_startup->settings.defaultImportType = out.importType;
    if (m_startup->settings.embeddedPreviews != out.embeddedPreviews) {
        m_startup->settings.embeddedPreviews = out.embeddedPreviews;
        if (m_startup->rootFolders)
            m_startup->rootFolders->thumbnailer = mediaThumbnailer(out.embeddedPreviews);
    }
    const bool markChanged = m_startup->settings.showExternalMark != out.showExternalMark;
    m_startup->settings.showExternalMark = out.showExternalMark;
    if (markChanged)
        for (TFolder *w : folderWindows())
            w->viewport()->update();
    if (dialog.wallpaperChanged()) {
        o.WallPaperChecked = out.wallPaperChecked;
        o.WallPaperStyle = out.wallPaperStyle;
        LoadBackground();
        settings.setValue(QLatin1String(DesktopTileKey),
                          out.desktopTile ? QStringLiteral("1") : QStringLiteral("0"));
        // The desktop takes its picture again with the chosen style, where it has one.
        if (in.desktopHasWallpaper && out.desktopTile != in.desktopTile && QFileInfo::exists(desktopPicture))
            m_desktopWallpaper->setWallpaper(desktopPicture);
    }
    if (out.saveAsDefault) {
        o.DefaultPanelWidth = size->width();
        o.DefaultPanelHeight = size->height();
        o.DefaultPanelBorderWidth = out.tileBorder;
    }
    UpdateMenuItems();
}

void TMainForm::DisplayClick()
{
    TOptionDisplay dialog(m_startup->checks.options, *m_uiServices, screenSize(this), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The property dialog reads the options each time it lays a picture out.
    if (m_propertyDialog && m_propertyDialog->isVisible())
        m_propertyDialog->update();
}

bool TMainForm::SetFrameWallpaperFile(const QString &path)
{
    if (!wallpaperExtension(path)) {
        m_uiServices->showMessage(vkMessage("WallpaperFormatInvalid"));
        return false;
    }
    QImage picture;
    QString error;
    {
        Hourglass wait;
        if (!loadImage(path, picture, &error) || picture.isNull()) {
            m_uiServices->showMessage(
                vkMessage("WallpaperUnreadable").arg(QDir::toNativeSeparators(path), error),
                UiServices::Icon::Warning);
            return false;
        }
        // Written beside and then moved over the old one, which stays when the disk is full.
        QDir().mkpath(QFileInfo(customWallpaperPath()).absolutePath());
        const QString part = customWallpaperPath() + QStringLiteral(".part");
        QFile::remove(part);
        if (!picture.save(part, "BMP") ||
            (QFile::exists(customWallpaperPath()) && !QFile::remove(customWallpaperPath())) ||
            !QFile::rename(part, customWallpaperPath())) {
            QFile::remove(part);
            m_uiServices->showMessage(
                vkMessage("WallpaperNotWritten").arg(QDir::toNativeSeparators(customWallpaperPath())),
                UiServices::Icon::Warning);
            return false;
        }
    }
    // The picture becomes the custom background; it shows while a custom background is in use.
    if (m_startup->checks.options.WallPaperChecked == 2)
        m_mdiArea->setBackImage(QPixmap::fromImage(picture));
    return true;
}

void TMainForm::WallPaperClick()
{
    const QString filter =
        QStringLiteral("BMP( *.bmp)|*.bmp|JPG( *.jpg)|*.jpg|PCX( *.pcx)|*.pcx|"
                       "PNG( *.png)|*.png|TGA( *.tga)|*.tga|TIF( *.tif)|*.tif|GIF( *.gif)|*.gif");
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import Wallpaper"), QString(),
                                                      DialogFilters(filter).join(QStringLiteral(";;")),
                                                      nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        SetFrameWallpaperFile(path);
}

bool TMainForm::SetWallpaperFromMedia(TDbMedia *media, bool desktop)
{
    if (!media)
        return false;
    if (!desktop && !m_mdiArea->backImageVisible())
        return false;
    // Only pictures: a sound or a clip has none to show.
    if (media->isSubFolderTile() || !isPictureType(media->Rec.MediaType)) {
        m_uiServices->showMessage(vkMessage("WallpaperNotPicture"));
        return false;
    }
    const QString source = media->Rec.MediaFile;
    QImage picture;
    QString error;
    Hourglass wait;
    if (!loadMediaPicture(source, media->Rec.MediaType, picture, &error) || picture.isNull()) {
        m_uiServices->showMessage(
            vkMessage("WallpaperUnreadable").arg(QDir::toNativeSeparators(source), error),
            UiServices::Icon::Warning);
        return false;
    }
    const QString target = desktop ? desktopWallpaperPath() : customWallpaperPath();
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    if (!picture.save(part, "BMP") || (QFile::exists(target) && !QFile::remove(target)) ||
        !QFile::rename(part, target)) {
        QFile::remove(part);
        m_uiServices->showMessage(vkMessage("WallpaperNotWritten").arg(QDir::toNativeSeparators(target)),
                                  UiServices::Icon::Warning);
        return false;
    }
    if (desktop) {
        QString why;
        switch (m_desktopWallpaper->setWallpaper(target, &why)) {
        case DesktopWallpaper::Result::Done: {
            QSettings settings;
            settings.setValue(QLatin1String(DesktopWallpaperKey), target);
            return true;
        }
        case DesktopWallpaper::Result::Unavailable:
            m_uiServices->showMessage(vkMessage("NoWallpaperPortal"), UiServices::Icon::Warning);
            return false;
        case DesktopWallpaper::Result::Failed:
            m_uiServices->showMessage(vkMessage("WallpaperPortalFailed").arg(why), UiServices::Icon::Warning);
            return false;
        }
        return false;
    }
    m_mdiArea->setBackImage(QPixmap::fromImage(picture));
    return true;
}

bool TMainForm::setWallpaper(TDbMedia *media, bool desktop)
{
    const bool done = SetWallpaperFromMedia(media, desktop);
    if (done && !desktop)
        m_startup->checks.options.WallPaperChecked = 2;
    return done;
}

bool TMainForm::showsBackground() const
{
    return m_mdiArea->backImageVisible();
}

void TMainForm::ClearDesktopWallpaperClick()
{
    // The portal can only set a picture; what the program remembers of its own is cleared,
    // and the person is told how the desktop's picture goes.
    QSettings settings;
    settings.setValue(QLatin1String(DesktopWallpaperKey), QString());
    m_uiServices->showMessage(vkMessage("DesktopWallpaperKept"));
}

bool TMainForm::frameAcceptsDrop() const
{
    if (!m_mdiArea->backImageVisible())
        return false;
    const LibraryDrag &drag = LibraryDrag::current();
    // Media tiles and media nodes of the explorer; not folders or subfolder tiles, and only
    // one item: a background is one picture.
    if (drag.kind != LibraryDrag::WindowSelection && drag.kind != LibraryDrag::ExplorerItem)
        return false;
    if (drag.items.size() != 1)
        return false;
    const TDbMedia *m = drag.items.first();
    return m && !m->isSubFolderTile() && isPictureType(m->Rec.MediaType);
}

void TMainForm::frameDropped()
{
    const LibraryDrag drag = LibraryDrag::current();
    if (drag.items.size() != 1)
        return;
    TDbMedia *m = drag.items.first();
    if (SetWallpaperFromMedia(m->MirrorOf ? m->MirrorOf : m, false))
        m_startup->checks.options.WallPaperChecked = 2;
}

void TMainForm::applyZoomText(const QString &text)
{
    if (!m_author)
        return;
    if (text == QLatin1String("Fit")) {
        m_author->setFitZoom();
        return;
    }
    int zoom = 0;
    if (!TZoomForm::checkZoom(text, &zoom).isEmpty()) {
        m_uiServices->showMessage(vkMessage("ZoomBoxOutOfRange"));
        if (QLineEdit *edit = m_fitComboBox->lineEdit())
            edit->selectAll();
        return;
    }
    m_author->setZoom(zoom);
}

void TMainForm::ZoomClick()
{
    if (!m_author)
        return;
    TZoomForm dialog(m_zoomFixed, m_zoom, *m_uiServices, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.fixed())
        m_author->setZoom(dialog.zoom());
    else
        m_author->setFitZoom();
}

void TMainForm::SlideShowClick()
{
    TFolder *window = activeFolderWindow();
    if (!window || m_slideForm)
        return;
    TSlideOpForm options(m_slideShowSettings, this);
    if (options.exec() != QDialog::Accepted)
        return;
    // The items are asked for again at each one: the window's list as it is now, nothing once
    // the window has gone.
    QPointer<TFolder> source(window);
    auto list = [this, source]() -> QList<TDbMedia *> {
        if (!source || !source->folder())
            return {};
        if (m_slideShowSettings.DisplaySet == SlideShowSettings::DisplaySelected)
            return source->selectedInListOrder();
        const auto &media = source->folder()->MediaList;
        return media ? media->Items : QList<TDbMedia *>();
    };
    // The show's messages stand over the show, which stays on top of everything else.
    auto *show = new TSlideForm(list, m_slideShowSettings, m_uiServices, nullptr, nullptr, this);
    if (m_uiServices == m_ui.get())
        show->adoptUi(std::make_unique<QtUiServices>(show));
    show->setAttribute(Qt::WA_DeleteOnClose);
    m_slideForm = show;
    m_startup->workspaceMode |= ModeSlideShow;
    UpdateMenuItems();
    ApplyViewState();
    connect(show, &TSlideForm::closed, this, [this] {
        m_startup->workspaceMode &= ~ModeSlideShow;
        UpdateMenuItems();
        ApplyViewState();
    });
    show->showFullScreen();
    show->activateWindow();
    show->start();
}

} // namespace vk
