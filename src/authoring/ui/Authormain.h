// The authoring window ("Authoring Tool"): a child window of the workspace that holds the
// ClearBooks, the edited slide on its surface, and the Clearbook, Slide, Object and Edit menus.
// The models keep every rule: the ClearBook list (AT_DbClearbook) the tree of ClearBooks and
// slides, the edited slide (EditedSlide) the open slide. This window asks the person, turns
// gestures into the edited slide's requests and shows what came of them.
#pragma once

#include "AT_DbClearbook.h"
#include "ChildWindow.h"
#include "EditedSlide.h"
#include "PropertyText.h"
#include "SurfaceGeometry.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QScrollArea;

namespace vk {

class TfrmSchedule;
class TSlideExplorer;

class Clock;
class Connection;
class TimerFactory;
class TSlideBack;
class UiServices;

class TAuthorMain;

// The full-screen player of a ClearBook (made by the frame: it lives with the players).
class SlidePlayer
{
public:
    virtual ~SlidePlayer() = default;
    // Plays from the slide; false when it cannot start.
    virtual bool start(TDbSlide *slide) = 0;
    // Asks which slide to go back to for editing and closes; false when the person stays.
    virtual bool requestStop() = 0;
    virtual void restart() = 0;
    // Pauses until a key, or resumes.
    virtual void pauseCommand() = 0;
    virtual bool paused() const = 0;
};

// What the window needs of the workspace frame.
struct AuthoringFrame
{
    std::function<DrawTool()> currentTool;            // the "Media Object" tool that is down
    std::function<void()> releaseTool;                // puts the select tool down again
    std::function<void(DrawTool)> chooseTool;         // puts a tool down
    std::function<void(int zoom, bool fit)> showZoom; // writes the zoom into the zoom box
    std::function<QString(DrawTool)> chooseMediaFile;
    std::function<void()> changed; // the commands' state may have changed
    QSize screen;                  // the screen the slides are designed for
    // Empties the workspace clipboard: slide objects and library items alike.
    std::function<void()> clearClipboard;
    // The time a slide plays on: the system's unless given (tests give a virtual clock).
    Clock *playClock = nullptr;
    TimerFactory *playTimers = nullptr;
    // Makes the player of the Play command; none: the command does nothing.
    std::function<std::unique_ptr<SlidePlayer>(TAuthorMain &)> makePlayer;
    // A slide started or stopped playing (the workspace's mode and menus follow).
    std::function<void(bool playing)> playingChanged;
};

class TAuthorMain : public QWidget, public ChildWindow
{
    Q_OBJECT
public:
    TAuthorMain(Connection &connection, UiServices &ui, const AuthoringFrame &frame,
                QWidget *parent = nullptr);
    ~TAuthorMain() override;

    ViewKind viewKind() const override { return ViewKind::AuthoringWindow; }
    QList<QMenu *> childMenus() const override;

    TDbClearBookList &books() { return m_books; }
    EditedSlide &edited() { return m_edited; }
    TSlideBack *surface() const { return m_surface; }
    // The Timeline Table below the slide: shown and hidden by the View menu.
    TfrmSchedule *timeline() const { return m_schedule; }
    void ShowTimeline(bool shown);
    bool slideOpen() const { return m_books.ActiveSlide != nullptr; }
    QAction *action(const QString &name) const { return m_actions.value(name); }
    // "[ ActiveClearbook, ActiveSlide ] is[title, title]".
    QString statusText() const;

    // The screen the slides are designed for.
    QSize designScreen() const { return m_frame.screen.isValid() ? m_frame.screen : QSize(1024, 768); }
    Clock *playClock() const { return m_frame.playClock; }
    TimerFactory *playTimers() const { return m_frame.playTimers; }
    // The zoom: a typed percentage (10-1000), or Fit.
    void setZoom(int zoom);
    void setFitZoom();

    // The commands (the dialogs ask; tests fill the answers through these).
    TDbClearBook *NewClearBook(const QString &title, const QString &author, const QString &description);
    TDbSlide *NewSlide(TDbClearBook *cb, const QString &title, const QString &author,
                       const QString &description);
    bool OpenSlide(TDbSlide *slide);
    bool SaveSlide();
    TDbSlide *SaveSlideAs(TDbClearBook *target, const QString &title, const QString &author);
    // Closes the edited slide, asking to save it when it was changed; false when it could not be.
    bool CloseSlide();
    bool DeleteSlide();
    bool DeleteClearBook();
    // The active ClearBook as a web presentation in `dir` (Clearbook › Export as Web Page...,
    // which asks for the folder through chooseWebFolder when a test sets it).
    bool ExportWebPage(const QString &dir);
    std::function<QString()> chooseWebFolder;
    void DeleteObjects();
    void Cut();
    void Copy();
    void Paste();
    void SelectAll();
    // The slide's history: every change above is one step.
    bool Undo();
    bool Redo();
    void Nudge(int dx, int dy);
    void InsertTool(DrawTool tool);
    void UpdateMenuItems();

    // The attributes of the selected objects (each rewrites their property text and marks the
    // slide modified). The menu items ask through dialogs and call these.
    void SetObjectsDisabled(bool on);
    void SetTransparent(bool on);
    void SetObjectsFont(const QFont &font);
    void SetObjectsColor(const QColor &color);
    void SetCaption(const QString &caption); // labels and buttons
    void SetMemoText(const QString &text);
    using SizeRule = PictureSize;
    void ResizeToPicture(SizeRule rule);
    void SetLink(int cbId, int slideId);
    // Pen, brush, arrow heads and touch of the selected shapes.
    void SetGraphicAttributes(const ObjectProperties &props);
    // Plays the first selected sound or clip on a player of its own (a clip on the slide, where
    // the object lies); Stop ends it. Answers whether it plays.
    bool PreviewMedia();
    void StopPreview(TDbObject *o = nullptr);
    bool previewing(const TDbObject *o) const { return m_previews.contains(o); }

    // Plays a slide full screen in the ClearBook player, following its links; editing waits
    // until it stops. Without one: the slide chosen in the slide explorer when that is the
    // active view, else the edited slide. StopPlaying asks which slide to go back to (false:
    // play goes on).
    bool PlaySlide(TDbSlide *slide = nullptr);
    bool StopPlaying();
    bool playing() const { return m_player != nullptr; }
    SlidePlayer *player() const { return m_player.get(); }
    // The player closed (it calls this): editing goes on, on the slide it left open.
    void PlayingEnded();
    // The Attributes items that show for the selection now.
    QStringList visibleAttributes() const;

    // The workspace clipboard the window cuts to and pastes from.
    TSelectedList *clipboard = nullptr;
    // Media of the library to paste as objects (ObjectFromMedia), by clipboard entry.

    // --- The slide explorer and the authoring dialogs (AuthoringDialogs.cpp)
    // The explorer: docked by the frame, made and freed with this window.
    TSlideExplorer *slideExplorer() const;
    // Whether the explorer is the view the person works in (else this window is).
    bool explorerActive() const;
    // The slide the Slide commands act on: the explorer's selected slide while it is the
    // active view, else the open slide.
    TDbSlide *targetSlide() const;
    void newSlideDialogFor(TDbClearBook *cb);
    bool OpenClearBookDialog();
    bool SlidePropertyDialog(TDbSlide *slide);
    bool ClearBookPropertyDialog(TDbClearBook *cb);
    bool MediaPropertyDialog(TDbObject *o);
    // For the object, or for the open slide's selection when none is given.
    bool LinkToDialog(TDbObject *o = nullptr);
    bool PreferenceDialog();
    // "Graphic Attribute" for the selected shapes; what it chose is one step of the slide's
    // history. SetGraphicChoice tells a refused value.
    bool GraphicAttributeDialog();
    bool SetGraphicChoice(const GraphicChoice &choice);
    // A slide's properties from its dialogs: the open slide's through its history, another
    // slide's written at once.
    bool SetSlideProperties(TDbSlide *slide, const SlideProperties &p, const QString *description = nullptr);
    bool RenameObject(TDbObject *o, const QString &title);
    // The link of objects of a slide that is not open, written at once.
    bool SetObjectLink(TDbObject *o, int cbId, int slideId);

signals:
    void closing();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    QAction *addAction(QMenu *menu, const QString &name, const QString &text, const QKeySequence &keys = {});
    void slideShown();
    void placeSurface();
    QList<TDbObject *> selected() const;
    void clearClipboard();
    void followModel();
    void createSlideExplorer();
    void wireAuthoringDialogs();
    void updateDialogItems();

public:
    // The dialogs of the commands (the frame's toolbar buttons open them too).
    void newClearBookDialog();
    void newSlideDialog();
    void openSlideDialog();
    void saveAsDialog();

private:
    Connection &m_connection;
    UiServices &m_ui;
    AuthoringFrame m_frame;
    TDbClearBookList m_books;
    EditedSlide m_edited;
    QScrollArea *m_scroll = nullptr;
    TSlideBack *m_surface = nullptr;
    TfrmSchedule *m_schedule = nullptr;
    QHash<QString, QAction *> m_actions;
    QMenu *m_clearBookMenu = nullptr, *m_slideMenu = nullptr, *m_objectMenu = nullptr, *m_editMenu = nullptr;
    QHash<const TDbObject *, class TMediaPlayer *> m_previews;
    std::unique_ptr<SlidePlayer> m_player;
    QPointer<TSlideExplorer> m_explorer;
    bool m_fixedZoom = false;
    int m_zoom = 100;
};

} // namespace vk
