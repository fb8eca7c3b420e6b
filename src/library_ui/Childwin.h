// A folder's window in the workspace: its items as tiles (thumbnail, title, the external and
// lost marks, the selection frame), in list order, with the media commands, selection by mouse
// and keyboard, drag and drop among folder windows, the explorer and the desktop, and the
// workspace clipboard. The same window shows a search result, whose items mirror library items.
//
// The tiles are drawn, not made of widgets: a folder of 10,000 items costs its list and the
// thumbnails on screen. Thumbnails come from the shared cache, made off the user-interface
// thread for the tiles in view.
#pragma once

#include "ChildWindow.h"
#include "TileLayout.h"
#include "TileSelection.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>

class QAction;
class QMenu;

namespace vk {

class FolderWindowHost;
class TDbFolder;
class TDbMedia;

class TFolder : public QAbstractScrollArea, public ChildWindow
{
    Q_OBJECT
public:
    TFolder(FolderWindowHost &host, TDbFolder *folder, bool searchResult, QWidget *parent = nullptr);
    ~TFolder() override;

    ViewKind viewKind() const override { return ViewKind::FolderWindow; }
    QList<QMenu *> childMenus() const override;

    TDbFolder *folder() const { return m_folder; }
    bool isSearchResult() const { return !IsLibraryFolder; }
    bool IsLibraryFolder = true;
    bool isEmpty() const { return Selection.items.isEmpty(); }
    // The last selected tile (the workspace's current item), null when none.
    TDbMedia *lastSelected() const { return Selection.last(); }
    // The selected items in selection order, and in list order.
    QList<TDbMedia *> selectedItems() const { return Selection.items; }
    QList<TDbMedia *> selectedInListOrder() const;
    const TileSelection &selection() const { return Selection; }
    TDbMedia *CurrentTile = nullptr;

    // Makes the item at a position (clamped to the list) the only selection, in view.
    void selectAt(int position);
    void selectItem(TDbMedia *item);
    void selectItems(const QList<TDbMedia *> &items);
    // The list changed in a way no signal told: lay it out again.
    void refresh();
    // The folder is going away: the window lets go of it and shows nothing.
    void detachFolder();
    // The hint: "|" + count + "Media in this folder"; its long part (after "|") is what the
    // status bar shows.
    QString statusHint() const;
    // The tile size of the folder's list, applied and stored.
    bool ApplyTileSize(int width, int height, int border);

    // Geometry, for the view and its tests.
    TileLayout layout() const;
    QRect tileRectInView(int position) const;
    int tileAtView(QPoint viewPoint) const;
    int dropPositionAtView(QPoint viewPoint) const;
    void scrollToTile(int position);

    // The commands of the window's menus.
    void Copy();
    void Cut();
    void Paste();
    void SelectAll();
    void ImportFromClipboard();
    // Media > Capture: a video clip or still frames from a capture device, and a voice
    // recording, into this folder.
    void CaptureVideo();
    void CaptureImage();
    void VoiceRecorder();
    // A captured or recorded file stored in the folder as a database file and shown there;
    // the file itself is left for the caller to delete.
    // Stores a recorded or captured work file in the folder and removes it; one that cannot be
    // stored is kept elsewhere and the person is told where.
    void storeCapturedFile(const QString &path);
    TDbMedia *insertCapturedFile(const QString &path);
    void Relink(const QString &path = QString());
    void StoreAsDatabaseFile();
    void Export();
    // The print layout for a picture; anything else is said to be no single picture.
    void printItem(TDbMedia *item);
    // Drops: what is being dragged in the library, or files from the desktop.
    bool dropLibrary(int position, bool copy);
    bool dropPaths(const QStringList &paths);
    // The enabled state of the window's own commands, by component name.
    void UpdateMenuItems();
    QAction *action(const QString &name) const { return m_actions.value(name); }

signals:
    void selectionChanged();
    void openFolderRequested(vk::TDbFolder *folder);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void createMenus();
    QAction *addAction(QMenu *menu, const QString &name, const QString &text,
                       const QString &hint = QString());
    void updateScrollBars();
    void requestThumbnails();
    void changedSelection();
    void paintTile(QPainter &p, int position, const QRect &rect);
    void startDrag();
    void autoScroll(QPoint viewPoint);
    void activate();
    QList<TDbMedia *> items() const;
    void listChanged();
    void contextMenu(QPoint globalPos, TDbMedia *item);
    void pasteAt(int position);

    FolderWindowHost &m_host;
    TDbFolder *m_folder;
    TileSelection Selection;
    QHash<QString, QAction *> m_actions;
    QMenu *m_mediaMenu = nullptr;
    QMenu *m_editMenu = nullptr;
    QMenu *m_tileMenu = nullptr;
    QMenu *m_folderMenu = nullptr;

    // Pressing and dragging.
    QPoint PressPoint;
    bool DragPending = false;
    bool DragStarted = false;
    bool Banding = false;
    QPoint BandStart, BandEnd; // content coordinates
    int m_dropMarker = -1;     // the drop position the marker shows, -1 hidden
    QTimer tmrChildwinScroll;
    int m_scrollStep = 0;
    QTimer m_thumbnailTimer;
};

} // namespace vk
