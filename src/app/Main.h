// The workspace frame: "Vellumark Workspace", a multiple-document window that holds
// the folder windows and the authoring window, with the menus and the two toolbars
// that carry every workspace command.
#pragma once

#include "CommandContext.h"
#include "FolderWindowHost.h"
#include "SlideShow.h"
#include "Startup.h"
#include "ViewState.h"

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QSet>

#include <memory>

class QActionGroup;
class QComboBox;
class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QProgressBar;
class QSettings;
class QToolBar;

namespace vk {

class QtUiServices;
class TClientArea;
class TFolder;
class TFolderdExplorer;
class LiveRefresh;
class TPropertyDialog;
class TPropertyEditor;
class TfrmKeyWords;
class TDbKeyWord;
class TAuthorMain;
class THelpWindow;

class TMainForm : public QMainWindow, public FolderWindowHost
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // The load sequence. False when the program must end (its message has been shown).
    bool FormCreate();

    Startup &startup() { return *m_startup; }
    QMdiArea *mdiArea() const;
    TClientArea *clientArea() const { return m_mdiArea; }

    // The shared prompt dialog.
    class TfrmVkDialog *PromptDialog = nullptr;

    // Brings the window to the front (a second copy asked for it).
    void comeForward();

    // The remote command server, listening once the library is loaded.
    void StartRemoteCommandServer();
    class TRemoteCommandServer *remoteServer() const { return m_remoteServer; }
    // One macro from another program; answers the reply line.
    QByteArray svcRemoteCommandServerExecuteMacro(const QList<QByteArray> &lines);
    // Option > Database...: the data source of the next start.
    void ChangeDataSourceClick();
    QString nextDataSource() const { return m_nextDataSource; }

    // The window the frame's menus and toolbars serve: the frame itself, a tool window
    // or a child window.
    QWidget *ActiveView() const;
    // Valid from one UpdateMenuItems to the next; commands read it, never recompute it.
    const CommandContext &Context() const { return m_context; }

    // Recomputes the command context and the state of every command.
    void UpdateMenuItems();
    // Shows or hides View menu items, toolbars and tool windows for the workspace mode.
    void ApplyViewState();
    // Every tool or child window calls this when it becomes active.
    void ViewActivated(QWidget *window);
    // Shows a folder in a child window. Answers the new window, or null when a window
    // already showed the folder (it is brought forward instead).
    TFolder *OpenFolderWindow(TDbFolder *folder, bool searchResult = false);
    // Adds a child window to the client area, placed inside it, and shows it.
    QMdiSubWindow *addChildWindow(QWidget *window, QSize wanted = QSize(560, 380));
    // The folder windows showing a folder.
    QList<TFolder *> folderWindows(const TDbFolder *folder = nullptr) const;

    // A command's action by its component name ("FolderNew", "FolderOpenItem", ...).
    QAction *action(const QString &name) const { return m_actions.value(name); }
    QStringList actionNames() const { return m_actions.keys(); }
    QToolBar *speedPanel() const { return m_speedPanel; }
    QToolBar *mediaToolbar() const { return m_mediaToolbar; }
    QActionGroup *insertTools() const { return m_insertTools; }
    // Commands whose windows are not part of the workspace yet: present and disabled.
    static const QSet<QString> &waitingCommands();

    // The background picture by the display options; a missing custom file falls back to
    // the built-in one (its message shown) and sets WallPaperChecked to 1.
    void LoadBackground();
    // The custom frame background file.
    static QString customWallpaperPath();
    // The picture handed to the desktop as its wallpaper.
    static QString desktopWallpaperPath();
    // Makes an image media the frame background (desktop false) or the desktop wallpaper.
    // False, with the reason told, when nothing changed: no picture, an unreadable file, or no
    // desktop that takes a wallpaper.
    bool SetWallpaperFromMedia(TDbMedia *media, bool desktop);
    // Makes a picture file the custom frame background ("Vellumark WallPaper...").
    bool SetFrameWallpaperFile(const QString &path);
    // The desktop portal's caller (the session bus unless set).
    void setDesktopWallpaper(std::unique_ptr<class DesktopWallpaper> portal);

    // Where a new child window of `wanted` size goes: inside the client area, one step right of
    // and below the last child, back at the top left when it would not fit.
    static QRect childPlace(QSize client, QSize wanted, const QRect *last);
    // The open child windows and their places are kept in the settings at exit and opened
    // again at the next start.
    void SaveOpenWindows(QSettings &settings) const;
    void RestoreOpenWindows(QSettings &settings);
    TAuthorMain *authoringWindow() const { return m_author; }
    // Save As: a copy of a folder, or a new main folder with a search result's media, titled and
    // described as the dialog says. Null when nothing was made.
    TDbFolder *SaveFolderAs(TDbFolder *source, bool searchResult, const class TNewFolder &dialog);

    // Where the frame's own messages and questions go (message boxes unless set).
    void setUiServices(UiServices *ui) { m_uiServices = ui; }
    // Ties the loaded folder tree to the frame's windows: a folder that goes away closes
    // its windows, and the commands follow the number of root folders.
    void AttachRootFolders();
    // The folder explorer (made with the library), docked at the left of the client area.
    TFolderdExplorer *folderExplorer() const { return m_explorer; }
    // The property dialog and the property editor (made with the library).
    TPropertyDialog *propertyDialog() const { return m_propertyDialog; }
    TPropertyEditor *propertyEditor() const { return m_propertyEditor; }
    // The keywords editor while it is open (View > Key Words).
    TfrmKeyWords *keyWordsWindow() const;
    // The print layout, modal, for a picture as its viewer holds it.
    void PrintPicture(const QImage &picture, const QString &title);
    // A keyword button of the keywords editor pressed (down) or released: the visible property
    // dialog's item, else the current item of the active folder window, gains or loses it.
    bool KeywordToggled(TDbKeyWord *keyword, bool down);

    // What the library windows need of the workspace.
    TDbFolderList &roots() override;
    TSelectedList &clipboard() override;
    UiServices &ui() override;
    void runCommand(const QString &name) override;
    void openFolder(TDbFolder *folder) override;
    void showProperties(TDbMedia *item, TDbFolder *folder) override;
    void viewActivated(QWidget *window) override { ViewActivated(window); }
    void selectInExplorer(TDbFolder *folder, TDbMedia *item) override;
    void tilePressed(TDbMedia *item) override;
    void showInEditor(TDbMedia *item, TDbFolder *folder) override;
    bool editorShowing() const override;
    bool propertiesShowing() const override;
    void printMedia(TDbMedia *item) override;
    int tagItems(const QList<TDbMedia *> &items, const QString &keywordOid) override;
    void followExplorer(TDbFolder *folder, TDbMedia *item) override;
    void folderChanged(TDbFolder *folder) override;
    TDbMedia *importPaths(TDbFolder *folder, const QStringList &paths) override;
    void clearClipboard() override;
    bool showExternalMark() const override;
    QString workDirectory() const override;
    int scanImageType() const override;
    bool setWallpaper(TDbMedia *media, bool desktop) override;
    bool showsBackground() const override;

    // The media slide show's options, kept for the run; the show while one runs.
    SlideShowSettings &slideShowSettings() { return m_slideShowSettings; }
    TSlideForm *slideShow() const { return m_slideForm; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormClose();
    void FormDestroy();

    void createActions();
    void createMenus();
    void createToolbars();
    void createStatusBar();
    QAction *makeAction(const QString &name, const QString &text, const QString &icon = QString(),
                        const QString &hint = QString());
    void setControl(const QString &name, const ControlState &state);
    ViewFacts viewFacts() const;
    ViewKind kindOf(QWidget *window) const;
    void DockSlideExplorer();
    void RestoreSlideExplorerPlace();
    void SaveSlideExplorerPlace();
    TFolder *activeFolderWindow() const;
    void mergeChildMenus(QWidget *child);
    void fillWindowList();
    void closeFolderWindows(TDbFolder *folder);

    // Commands.
    void FolderNewClick();
    void NewSubFolderClick();
    void FolderOpenClick();
    void FolderCloseClick();
    void FolderSaveAsClick();
    void FolderRemoveItemClick();
    void DeleteClick();
    void FolderSortClick();
    void MediaSortClick();
    void MediaInsertClick();
    void SearchMediaClick();
    void PropertyClick();
    void FolderPropertyClick();
    void PropertiesCommitted(TDbMedia *item, TDbFolder *folder);
    void KeyWordsClick();
    void closePropertyEditor();
    void followKeywords(TDbMedia *item);
    void AuthoringToolClick();
    void MainToolbarClick();
    void AtToolbarClick();
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void WindowArrangeItemClick();
    void WindowMinimizeItemClick();
    void ContentIndexClick();
    void HelpAboutItemClick();
    void PreferencesClick();
    void DisplayClick();
    void WallPaperClick();
    void ClearDesktopWallpaperClick();
    void ZoomClick();
    void applyZoomText(const QString &text);
    bool frameAcceptsDrop() const;
    void frameDropped();
    void SlideShowClick();

    std::unique_ptr<QtUiServices> m_ui;
    std::unique_ptr<Startup> m_startup;
    UiServices *m_uiServices = nullptr;
    TClientArea *m_mdiArea = nullptr;
    QToolBar *m_speedPanel = nullptr;
    QToolBar *m_mediaToolbar = nullptr;
    QActionGroup *m_insertTools = nullptr;
    QComboBox *m_fitComboBox = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QHash<QString, QAction *> m_actions;
    QList<QMenu *> m_frameMenus;
    QList<QMenu *> m_mergedMenus;
    QMenu *m_windowMenu = nullptr;
    QList<QAction *> m_windowListActions;
    QPointer<QWidget> m_activeView;
    CommandContext m_context;
    QPointer<THelpWindow> m_helpWindow;
    TFolderdExplorer *m_explorer = nullptr;
    TPropertyDialog *m_propertyDialog = nullptr;
    TPropertyEditor *m_propertyEditor = nullptr;
    QPointer<TfrmKeyWords> m_keyWordsWindow;
    // Follows what other programs commit to the library while the workspace runs.
    LiveRefresh *m_liveRefresh = nullptr;
    TAuthorMain *m_author = nullptr;
    QDockWidget *m_explorerDock = nullptr;
    QPointer<QDockWidget> m_slideExplorerDock;
    bool m_slideExplorerChecked = true;
    bool m_slideExplorerPlaceKept = false; // written as the workspace closes
    std::unique_ptr<class DesktopWallpaper> m_desktopWallpaper;
    // What the authoring window last said of its zoom.
    int m_zoom = 100;
    bool m_zoomFixed = false;
    // The View menu's check marks that have no window of their own yet.
    bool m_keyWordsChecked = false;
    bool m_applyingViewState = false;
    bool m_loaded = false;
    bool m_destroyed = false;
    class TRemoteCommandServer *m_remoteServer = nullptr;
    QString m_nextDataSource;
    SlideShowSettings m_slideShowSettings;
    QPointer<TSlideForm> m_slideForm;
};

} // namespace vk
