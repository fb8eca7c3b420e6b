#include "Authormain.h"

#include "AT_Schedule.h"
#include "AT_SlideExplorer.h"
#include "ClearBookWeb.h"

#include "Connection.h"
#include "DbFolder.h"
#include "MPlayer.h"
#include "ObjectKinds.h"
#include "QtClock.h"
#include "RecordStatements.h"
#include "SlideBack.h"
#include "UiServices.h"
#include "PlayEngine.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vk {

namespace {

QString titleOrNone(const QString &title, bool present)
{
    return present ? title : QStringLiteral("None");
}

// A small form: the fields of a new ClearBook or slide.
struct BookForm
{
    QDialog dialog;
    const QList<TDbClearBook *> *clearBooks = nullptr;
    QComboBox *books = nullptr;
    QLineEdit *title = nullptr;
    QLineEdit *author = nullptr;
    QPlainTextEdit *description = nullptr;

    BookForm(QWidget *parent, const QString &caption, const QList<TDbClearBook *> *list)
        : dialog(parent), clearBooks(list)
    {
        dialog.setWindowTitle(caption);
        auto *form = new QFormLayout(&dialog);
        if (clearBooks) {
            books = new QComboBox;
            for (TDbClearBook *cb : *clearBooks)
                books->addItem(cb->Rec.CB_Title);
            form->addRow(QStringLiteral("Clearbook :"), books);
        }
        title = new QLineEdit;
        title->setMaxLength(MaxAuthoringTitle);
        author = new QLineEdit;
        author->setMaxLength(MaxAuthoringTitle);
        description = new QPlainTextEdit;
        form->addRow(QStringLiteral("Title :"), title);
        form->addRow(QStringLiteral("Author :"), author);
        form->addRow(QStringLiteral("Description :"), description);
        // The title is what is typed first.
        title->setFocus();
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
    }
    // The ClearBook chosen, by its place in the list the form was made from.
    TDbClearBook *book() const { return books && clearBooks ? clearBooks->value(books->currentIndex()) : nullptr; }
};

// A library picture's own size, read from its header: a pasted picture keeps its proportions.
QSize pictureSizeOf(const QString &file, int kind)
{
    if (!isImageKind(kind))
        return QSize();
    QImageReader reader(file);
    return reader.size();
}

} // namespace

TAuthorMain::TAuthorMain(Connection &connection, UiServices &ui, const AuthoringFrame &frame, QWidget *parent)
    : QWidget(parent), m_connection(connection), m_ui(ui), m_frame(frame), m_books(connection), m_edited(m_books)
{
    setWindowTitle(QStringLiteral("Authoring Tool"));
    const QSize screen = designScreen();
    m_books.DesignScale = std::min(screen.width() / 800.0, screen.height() / 600.0);
    m_edited.setDefaultFontFamily(font().family());
    if (!m_books.LoadClearBooks())
        m_ui.showMessage(QStringLiteral("The ClearBooks could not all be read; what was read is shown."));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(false);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    // The slide above, the Timeline Table below it, the border between them movable.
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_scroll);
    m_schedule = new TfrmSchedule(m_edited, split);
    split->addWidget(m_schedule);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    m_schedule->hide();
    layout->addWidget(split);
    m_surface = new TSlideBack(m_edited);
    m_surface->resize(screen);
    m_surface->currentTool = [this] {
        return m_frame.currentTool ? m_frame.currentTool() : DrawTool::Select;
    };
    m_surface->toolDone = [this] {
        if (m_frame.releaseTool)
            m_frame.releaseTool();
    };
    m_surface->chooseMediaFile = [this](DrawTool tool) {
        return m_frame.chooseMediaFile ? m_frame.chooseMediaFile(tool) : QString();
    };
    m_scroll->setWidget(m_surface);
    m_surface->hide();
    // The cursor shows the slide as at its time.
    m_schedule->cursorMoved = [this](int t) {
        if (playing())
            return;
        m_surface->CursorTime = t;
        m_surface->RefreshVisibility();
        m_surface->update();
    };
    followModel();
    // The object's menu: what the Attributes offer for it, and the object commands.
    connect(m_surface, &TSlideBack::objectMenuRequested, this, [this](TDbObject *, QPoint at) {
        UpdateMenuItems();
        QMenu menu(this);
        const QStringList shown = visibleAttributes();
        for (const QString &item : shown)
            if (QAction *a = m_actions.value(QStringLiteral("muiAttr") + item)) {
                a->setVisible(true);
                menu.addAction(a);
            }
        menu.addSeparator();
        for (const char *name : {"muiBringToFront", "muiSendToBack", "muiCut", "muiCopy", "muiDeleteObject"})
            menu.addAction(m_actions.value(QLatin1String(name)));
        menu.exec(at);
    });
    createMenus();
    createSlideExplorer();
    wireAuthoringDialogs();
    setStatusTip(statusText());
    resize(800, 600);
    UpdateMenuItems();
}

TAuthorMain::~TAuthorMain()
{
    m_player.reset();
    StopPreview();
    delete m_explorer; // it may be docked elsewhere; it follows this window's models
    // The clipboard lets go of the objects the window's lists own before they go.
    if (clipboard)
        m_books.ClipboardClear(*clipboard);
}

// The surface and the menus follow the edited slide.
void TAuthorMain::followModel()
{
    connect(&m_edited, &EditedSlide::objectShown, this, [this](TDbObject *o) { m_surface->BuildVisual(o); });
    connect(&m_edited, &EditedSlide::objectHidden, this, [this](TDbObject *o) { m_surface->HideVisual(o); });
    connect(&m_edited, &EditedSlide::objectGone, this, [this](TDbObject *o) {
        StopPreview(o);
        m_surface->DestroyVisual(o);
    });
    connect(&m_edited, &EditedSlide::objectsChanged, m_surface, qOverload<>(&QWidget::update));
    connect(&m_edited, &EditedSlide::restacked, m_surface, qOverload<>(&QWidget::update));
    connect(&m_edited, &EditedSlide::reset, this, [this] {
        m_surface->Rebuild();
        UpdateMenuItems();
    });
    connect(&m_edited, qOverload<>(&EditedSlide::selectionChanged), this, [this] {
        m_surface->update();
        UpdateMenuItems();
    });
    connect(&m_edited, &EditedSlide::stateChanged, this, &TAuthorMain::UpdateMenuItems);
    connect(&m_edited, &EditedSlide::slideChanged, this, [this] {
        if (!m_edited.isOpen() && m_surface->slide()) {
            m_surface->ClearSlide();
            m_surface->hide();
        }
        setStatusTip(statusText());
    });
}

QString TAuthorMain::statusText() const
{
    return QStringLiteral("[ ActiveClearbook, ActiveSlide ] is") + QLatin1Char('[') +
           titleOrNone(m_books.ActiveClearBook ? m_books.ActiveClearBook->Rec.CB_Title : QString(),
                       m_books.ActiveClearBook) +
           QStringLiteral(", ") +
           titleOrNone(m_books.ActiveSlide ? m_books.ActiveSlide->Rec.Slide_Title : QString(),
                       m_books.ActiveSlide) +
           QLatin1Char(']');
}

// ---------------------------------------------------------------------------------------------
// Zoom

void TAuthorMain::placeSurface()
{
    const QSize screen = designScreen();
    const QSize client = m_scroll->viewport()->size();
    SurfacePlacement place =
        m_fixedZoom ? fixedPlacement(client, screen, m_zoom) : fitPlacement(client, screen);
    m_zoom = place.zoom;
    m_surface->SurfaceZoom = place.zoom;
    m_edited.setZoom(place.zoom);
    m_surface->resize(place.surface.size());
    if (m_frame.showZoom)
        m_frame.showZoom(place.zoom, !m_fixedZoom);
    for (TDbObject *o : m_edited.objects())
        m_surface->BuildVisual(o);
}

void TAuthorMain::setZoom(int zoom)
{
    m_fixedZoom = true;
    m_zoom = std::clamp(zoom, 10, 1000);
    placeSurface();
}

void TAuthorMain::setFitZoom()
{
    m_fixedZoom = false;
    placeSurface();
}

void TAuthorMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeSurface();
}

// ---------------------------------------------------------------------------------------------
// ClearBooks and slides

TDbClearBook *TAuthorMain::NewClearBook(const QString &title, const QString &author,
                                        const QString &description)
{
    m_ui.setHourglass(true);
    TDbClearBook *cb = m_books.CreateClearBook(title, author);
    m_ui.setHourglass(false);
    if (!cb)
        return nullptr;
    if (!description.isEmpty())
        WriteDescription(m_connection, cb->Rec.OID, description, RecordKind::ClearBook);
    if (m_edited.isOpen()) {
        if (m_ui.askYesNo(
                QStringLiteral("Do you want to close the active slide and open a new clearbook?"))) {
            if (CloseSlide())
                m_edited.setClearBook(cb);
        }
    } else if (m_edited.clearBook()) {
        if (m_ui.askYesNo(
                QStringLiteral("Do you want to close the active clearbook and open a new clearbook?")))
            m_edited.setClearBook(cb);
    } else {
        m_edited.setClearBook(cb);
    }
    setStatusTip(statusText());
    UpdateMenuItems();
    return cb;
}

TDbSlide *TAuthorMain::NewSlide(TDbClearBook *cb, const QString &title, const QString &author,
                                const QString &description)
{
    if (!cb || !CloseSlide())
        return nullptr;
    TDbSlide *slide = m_edited.openNew(cb, title, author, description);
    if (!slide)
        return nullptr;
    slideShown();
    UpdateMenuItems();
    return slide;
}

bool TAuthorMain::OpenSlide(TDbSlide *slide)
{
    if (!slide || !CloseSlide())
        return false;
    if (!m_edited.open(slide))
        return false;
    slideShown();
    UpdateMenuItems();
    return true;
}

void TAuthorMain::slideShown()
{
    m_surface->CursorTime = 0;
    m_surface->show();
    placeSurface();
    m_surface->ShowSlide(m_edited.slide());
    setStatusTip(statusText());
}

bool TAuthorMain::SaveSlide()
{
    if (!m_edited.isOpen())
        return false;
    m_ui.setHourglass(true);
    const bool ok = m_edited.save();
    m_ui.setHourglass(false);
    m_surface->update();
    UpdateMenuItems();
    return ok;
}

TDbSlide *TAuthorMain::SaveSlideAs(TDbClearBook *target, const QString &title, const QString &author)
{
    TDbSlide *source = m_edited.slide();
    if (!source || !target)
        return nullptr;
    m_ui.setHourglass(true);
    QString description;
    const bool hasDescription =
        source->isStored() &&
        ReadDescription(m_connection, source->Rec.OID, RecordKind::Slide, &description) &&
        !description.isEmpty();
    TDbSlide *copy =
        m_books.SaveSlideAs(source, target, title, author, hasDescription ? &description : nullptr);
    m_ui.setHourglass(false);
    if (!copy)
        return nullptr;
    OpenSlide(copy);
    return copy;
}

bool TAuthorMain::CloseSlide()
{
    if (!m_edited.isOpen())
        return true;
    if (playing())
        return false; // the player goes back to editing first
    StopPreview();
    if (!m_edited.close()) {
        // The save failed: the slide stays open with its changes.
        m_surface->ShowSlide(m_edited.slide());
        return false;
    }
    m_surface->ClearSlide();
    m_surface->hide();
    setStatusTip(statusText());
    UpdateMenuItems();
    return true;
}

bool TAuthorMain::DeleteSlide()
{
    TDbSlide *slide = m_edited.slide();
    if (!slide || !slide->Owner)
        return false;
    if (!m_ui.askYesNo(QStringLiteral("Are you sure you want to delete this slide?") +
                       QStringLiteral("\n\r'") + slide->Rec.Slide_Title + QLatin1Char('\'')))
        return false;
    m_surface->ClearSlide();
    if (!m_books.RemoveSlide(slide->Owner->Slides, slide)) {
        m_surface->ShowSlide(slide);
        return false;
    }
    m_surface->hide();
    setStatusTip(statusText());
    UpdateMenuItems();
    return true;
}

bool TAuthorMain::ExportWebPage(const QString &dir)
{
    const WebExport done = ExportClearBookWeb(m_edited, m_edited.clearBook(), dir);
    if (!done.ok) {
        m_ui.showMessage(done.error);
        return false;
    }
    if (!done.notes.isEmpty())
        m_ui.showMessage(done.notes.join(QLatin1Char('\n')));
    return true;
}

bool TAuthorMain::DeleteClearBook()
{
    TDbClearBook *cb = m_edited.clearBook();
    if (!cb) {
        m_ui.showMessage(QStringLiteral("You must assign a clearbook first. Please open/create a clearbook"));
        return false;
    }
    if (!m_ui.askYesNo(QStringLiteral("Are you sure you want to delete this clearbook?") +
                       QStringLiteral("\n\r'") + cb->Rec.CB_Title + QLatin1Char('\'')))
        return false;
    const bool showing = m_edited.isOpen() && m_edited.slide()->Owner == cb;
    if (showing)
        m_surface->ClearSlide();
    if (!m_books.DeleteClearBook(cb)) {
        if (showing)
            m_surface->ShowSlide(m_edited.slide());
        return false;
    }
    if (showing)
        m_surface->hide();
    setStatusTip(statusText());
    UpdateMenuItems();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Objects

void TAuthorMain::DeleteObjects()
{
    const QList<TDbObject *> chosen = selected();
    if (chosen.isEmpty())
        return;
    QString question = QStringLiteral("Are you sure you want to remove these from the slide?");
    for (TDbObject *o : chosen)
        question += QStringLiteral("\n\r") + o->Rec.Title;
    if (!m_ui.askYesNo(question))
        return;
    m_edited.requestRemoveObjects(chosen);
    m_surface->update();
    UpdateMenuItems();
}

void TAuthorMain::Copy()
{
    if (selected().isEmpty() || !clipboard)
        return;
    clearClipboard();
    for (TDbObject *o : m_edited.selectionInStackOrder())
        m_books.ClipboardAdd(*clipboard, o);
    UpdateMenuItems();
}

void TAuthorMain::Cut()
{
    if (selected().isEmpty() || !clipboard)
        return;
    clearClipboard();
    m_edited.requestCut(*clipboard);
    m_surface->update();
    UpdateMenuItems();
}

void TAuthorMain::Paste()
{
    if (!m_edited.isOpen() || !clipboard)
        return;
    m_edited.requestPaste(*clipboard, m_surface->CursorTime, pictureSizeOf);
    m_surface->update();
    UpdateMenuItems();
}

bool TAuthorMain::Undo()
{
    const bool done = m_edited.undo();
    m_surface->update();
    UpdateMenuItems();
    return done;
}

bool TAuthorMain::Redo()
{
    const bool done = m_edited.redo();
    m_surface->update();
    UpdateMenuItems();
    return done;
}

void TAuthorMain::SelectAll()
{
    m_edited.selectAll();
}

void TAuthorMain::Nudge(int dx, int dy)
{
    m_edited.requestMove(selected(), dx, dy);
}

void TAuthorMain::InsertTool(DrawTool tool)
{
    if (!m_edited.isOpen()) {
        m_ui.showMessage(
            QStringLiteral("No active slide, Please open an existing slide, or create a new slide."));
        return;
    }
    if (m_frame.chooseTool)
        m_frame.chooseTool(tool);
}

// ---------------------------------------------------------------------------------------------
// Attributes

QList<TDbObject *> TAuthorMain::selected() const
{
    return m_edited.selection();
}

void TAuthorMain::clearClipboard()
{
    if (m_frame.clearClipboard)
        m_frame.clearClipboard();
    else if (clipboard)
        m_books.ClipboardClear(*clipboard);
}

QStringList TAuthorMain::visibleAttributes() const
{
    QList<int> kinds;
    for (const TDbObject *o : selected())
        kinds << o->kind();
    return attributeItems(kinds);
}

void TAuthorMain::SetObjectsDisabled(bool on)
{
    m_edited.requestSetDisabled(on);
    UpdateMenuItems();
}

void TAuthorMain::SetTransparent(bool on)
{
    m_edited.requestSetTransparent(on);
    UpdateMenuItems();
}

void TAuthorMain::SetObjectsFont(const QFont &font)
{
    FontChoice choice;
    choice.family = font.family();
    choice.size = float(font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize());
    choice.bold = font.bold();
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.strikeOut = font.strikeOut();
    m_edited.requestSetFont(choice);
}

void TAuthorMain::SetObjectsColor(const QColor &color)
{
    m_edited.requestSetColor(ColorValue(color.red() | (color.green() << 8) | (color.blue() << 16)));
}

void TAuthorMain::SetCaption(const QString &caption)
{
    m_edited.requestSetCaption(caption);
}

void TAuthorMain::SetMemoText(const QString &text)
{
    m_edited.requestSetMemoText(text);
}

void TAuthorMain::ResizeToPicture(SizeRule rule)
{
    m_edited.requestResizeToPicture(rule, [this](const TDbObject *o) {
        const TDesignVisual *v = m_surface->visualOf(o);
        return v ? v->Natural : QSize();
    });
    m_surface->update();
    UpdateMenuItems();
}

bool TAuthorMain::PreviewMedia()
{
    const QList<TDbObject *> chosen = selected();
    if (chosen.isEmpty())
        return false;
    TDbObject *o = chosen.first();
    const int kind = o->kind();
    if (!isAudioKind(kind) && !isVideoKind(kind))
        return false;
    StopPreview(o);
    auto *player = new TMediaPlayer(m_surface);
    player->hide();
    QWidget *display = nullptr;
    if (isVideoKind(kind)) {
        // The clip plays where the object lies on the slide.
        display = new QWidget(m_surface);
        display->setGeometry(
            QRect(o->Rec.Left, o->Rec.Top, std::max(1, o->Rec.Width), std::max(1, o->Rec.Height)));
        display->setAttribute(Qt::WA_NativeWindow, false);
        display->show();
        player->setDisplay(display);
        connect(player, &QObject::destroyed, display, &QObject::deleteLater);
    }
    QString error;
    bool opened = false;
    try {
        opened = OpenMediaFile(o->Rec.Obj_Media, kind, *player, &error);
        if (opened) {
            if (display)
                player->setDisplayRect(QRect(QPoint(0, 0), display->size()));
            player->Play();
        }
    } catch (const EMCIDeviceError &e) {
        error = e.text();
        opened = false;
    }
    if (!opened) {
        delete player;
        m_ui.showMessage(error.isEmpty()
                             ? QStringLiteral("The media file %1 cannot be played.").arg(o->Rec.Obj_Media)
                             : error);
        return false;
    }
    m_previews.insert(o, player);
    connect(player, &TMediaPlayer::OnNotify, this, [this, o] {
        // A play that ran to its end is over.
        if (TMediaPlayer *p = m_previews.value(o); p && p->NotifyValue() == nvSuccessful)
            StopPreview(o);
    });
    return true;
}

void TAuthorMain::StopPreview(TDbObject *o)
{
    const QList<const TDbObject *> targets =
        o ? QList<const TDbObject *>{o}
          : QList<const TDbObject *>(m_previews.keyBegin(), m_previews.keyEnd());
    for (const TDbObject *t : targets) {
        TMediaPlayer *player = m_previews.take(t);
        if (!player)
            continue;
        try {
            player->Stop();
            player->Close();
        } catch (const EMCIDeviceError &) {
            // A device that is gone has nothing left to stop.
        }
        player->deleteLater();
    }
}

void TAuthorMain::ShowTimeline(bool shown)
{
    if (shown == m_schedule->isVisible())
        return;
    m_schedule->setVisible(shown);
    if (auto *split = qobject_cast<QSplitter *>(m_schedule->parentWidget()); split && shown) {
        // Room for the strips, the ruler and five rows; the rest for the slide.
        const int table = std::min(split->height() / 2, m_schedule->minimumSizeHint().height() + 2 * m_schedule->RowHeight);
        split->setSizes({split->height() - table, table});
    }
}

bool TAuthorMain::PlaySlide(TDbSlide *slide)
{
    if (!slide)
        slide = targetSlide();
    if (!slide || m_player || !m_frame.makePlayer)
        return false;
    StopPreview();
    m_player = m_frame.makePlayer(*this);
    if (!m_player)
        return false;
    m_schedule->setPlaying(true);
    if (m_frame.playingChanged)
        m_frame.playingChanged(true);
    UpdateMenuItems();
    if (!m_player->start(slide)) {
        PlayingEnded();
        return false;
    }
    return true;
}

bool TAuthorMain::StopPlaying()
{
    return !m_player || m_player->requestStop();
}

void TAuthorMain::PlayingEnded()
{
    if (!m_player)
        return;
    // The player may still be on the stack that called this: it goes once that returns.
    SlidePlayer *player = m_player.release();
    QMetaObject::invokeMethod(
        this, [player] { delete player; }, Qt::QueuedConnection);
    m_schedule->setPlaying(false);
    m_surface->CursorTime = 0;
    m_schedule->setCursorTime(0, false);
    m_surface->RefreshVisibility();
    if (m_frame.playingChanged)
        m_frame.playingChanged(false);
    UpdateMenuItems();
}

void TAuthorMain::SetGraphicAttributes(const ObjectProperties &props)
{
    m_edited.requestSetGraphicAttributes(props);
    UpdateMenuItems();
}

void TAuthorMain::SetLink(int cbId, int slideId)
{
    m_edited.requestSetLink(cbId, slideId);
    UpdateMenuItems();
}

// ---------------------------------------------------------------------------------------------
// Keys, closing

void TAuthorMain::keyPressEvent(QKeyEvent *event)
{
    if (playing()) {
        // While the slide plays, Escape stops it and nothing is edited.
        if (event->key() == Qt::Key_Escape)
            StopPlaying();
        return;
    }
    const bool selection = !selected().isEmpty();
    if (event->key() == Qt::Key_Delete && selection) {
        DeleteObjects();
        return;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Left:
            Nudge(-1, 0);
            return;
        case Qt::Key_Right:
            Nudge(1, 0);
            return;
        case Qt::Key_Up:
            Nudge(0, -1);
            return;
        case Qt::Key_Down:
            Nudge(0, 1);
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void TAuthorMain::closeEvent(QCloseEvent *event)
{
    if (!CloseSlide()) {
        event->ignore();
        return;
    }
    emit closing();
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Menus and dialogs

QAction *TAuthorMain::addAction(QMenu *menu, const QString &name, const QString &text,
                                const QKeySequence &keys)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    if (!keys.isEmpty()) {
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        QWidget::addAction(a);
    }
    menu->addAction(a);
    m_actions.insert(name, a);
    return a;
}

void TAuthorMain::createMenus()
{
    m_clearBookMenu = new QMenu(QStringLiteral("&Clearbook"), this);
    m_slideMenu = new QMenu(QStringLiteral("&Slide"), this);
    m_objectMenu = new QMenu(QStringLiteral("&Object"), this);
    m_editMenu = new QMenu(QStringLiteral("&Edit"), this);
    for (QMenu *m : {m_clearBookMenu, m_slideMenu, m_objectMenu, m_editMenu})
        m->setProperty(MenuGroupProperty, 5);

    connect(addAction(m_clearBookMenu, "muiNewClearBook", "&New..."), &QAction::triggered, this,
            &TAuthorMain::newClearBookDialog);
    connect(addAction(m_clearBookMenu, "muiDeleteClearBook", "&Delete"), &QAction::triggered, this,
            &TAuthorMain::DeleteClearBook);
    addAction(m_clearBookMenu, "muiClearBookProperty", "&Property...")->setEnabled(false);
    connect(addAction(m_clearBookMenu, "muiExportWebPage", "Export as &Web Page..."), &QAction::triggered, this,
            [this] {
                if (!m_edited.clearBook()) {
                    m_ui.showMessage(QStringLiteral("Open a ClearBook first."));
                    return;
                }
                const QString dir = chooseWebFolder ? chooseWebFolder()
                                                    : QFileDialog::getExistingDirectory(
                                                          this, QStringLiteral("Export as Web Page"), QDir::homePath());
                if (!dir.isEmpty())
                    ExportWebPage(dir);
            });
    m_clearBookMenu->addSeparator();
    connect(addAction(m_clearBookMenu, "muiCloseAuthoring", "Close Authoring Tool"), &QAction::triggered,
            this, [this] {
                if (QWidget *sub = parentWidget())
                    sub->close();
                else
                    close();
            });

    connect(addAction(m_slideMenu, "muiNewSlide", "&New..."), &QAction::triggered, this,
            &TAuthorMain::newSlideDialog);
    connect(addAction(m_slideMenu, "muiOpenSlide", "&Open..."), &QAction::triggered, this,
            &TAuthorMain::openSlideDialog);
    connect(addAction(m_slideMenu, "muiSaveSlide", "&Save", QKeySequence::Save), &QAction::triggered, this,
            &TAuthorMain::SaveSlide);
    connect(addAction(m_slideMenu, "muiSaveSlideAs", "Save  &As"), &QAction::triggered, this,
            &TAuthorMain::saveAsDialog);
    connect(addAction(m_slideMenu, "muiDeleteSlide", "&Delete"), &QAction::triggered, this,
            &TAuthorMain::DeleteSlide);
    connect(addAction(m_slideMenu, "muiCloseSlide", "&Close"), &QAction::triggered, this,
            &TAuthorMain::CloseSlide);
    QAction *play = addAction(m_slideMenu, "muiPlaySlide", "&Play");
    // Checked while the slide plays, so that a slide whose objects are all there from the
    // start still shows it is playing.
    play->setCheckable(true);
    connect(play, &QAction::triggered, this, [this] {
        if (playing())
            StopPlaying();
        else
            PlaySlide();
    });
    addAction(m_slideMenu, "muiSlideProperty", "P&roperty...")->setEnabled(false);

    QMenu *insert = m_objectMenu->addMenu(QStringLiteral("&Insert"));
    const std::pair<const char *, DrawTool> tools[] = {{"Audio", DrawTool::Audio},
                                                       {"Video", DrawTool::Video},
                                                       {"Button", DrawTool::Button},
                                                       {"Text", DrawTool::Text},
                                                       {"Image", DrawTool::Image},
                                                       {"Memo", DrawTool::Memo},
                                                       {"Rectangle", DrawTool::Rectangle},
                                                       {"Circle", DrawTool::Ellipse},
                                                       {"Round Rectangle", DrawTool::RoundRect},
                                                       {"Line", DrawTool::Line},
                                                       {"Polygon", DrawTool::PolyLine}};
    for (const auto &[text, tool] : tools) {
        const DrawTool t = tool;
        connect(addAction(insert,
                          QStringLiteral("muiInsert") + QString::fromLatin1(text).remove(QLatin1Char(' ')),
                          QLatin1String(text)),
                &QAction::triggered, this, [this, t] { InsertTool(t); });
    }
    connect(addAction(m_objectMenu, "muiDeleteObject", "&Delete"), &QAction::triggered, this,
            &TAuthorMain::DeleteObjects);
    connect(addAction(m_objectMenu, "muiBringToFront", "Bring To Front"), &QAction::triggered, this, [this] {
        m_edited.requestBringToFront();
        m_surface->update();
        UpdateMenuItems();
    });
    connect(addAction(m_objectMenu, "muiSendToBack", "Send To Back"), &QAction::triggered, this, [this] {
        m_edited.requestSendToBack();
        m_surface->update();
        UpdateMenuItems();
    });
    QMenu *attributes = m_objectMenu->addMenu(QStringLiteral("Attributes"));
    m_actions.insert(QStringLiteral("muiAttributes"), attributes->menuAction());
    auto attr = [this, attributes](const char *item, const char *text) {
        return addAction(attributes, QStringLiteral("muiAttr") + QLatin1String(item), QLatin1String(text));
    };
    connect(attr("LinkTo", "Link To..."), &QAction::triggered, this, [this] {
        QStringList choices{QStringLiteral("None"), QStringLiteral("Next Slide"),
                            QStringLiteral("Previous Slide"), QStringLiteral("Backward"),
                            QStringLiteral("Replay")};
        QList<QPair<int, int>> targets{{0, 0}, {0, -1}, {0, -2}, {0, -3}, {0, -4}};
        for (TDbClearBook *cb : std::as_const(m_books.ClearBooks))
            for (TDbSlide *sl : std::as_const(cb->Slides))
                if (sl->isStored()) {
                    choices << cb->Rec.CB_Title + QStringLiteral(" / ") + sl->Rec.Slide_Title;
                    targets << qMakePair(cb->Rec.CB_Id, sl->Rec.Slide_Id);
                }
        bool ok = false;
        const QString chosen = QInputDialog::getItem(this, QStringLiteral("Link to"),
                                                     QStringLiteral("Link to :"), choices, 0, false, &ok);
        if (ok)
            SetLink(targets[choices.indexOf(chosen)].first, targets[choices.indexOf(chosen)].second);
    });
    connect(attr("ActualSize", "Actual Size"), &QAction::triggered, this,
            [this] { ResizeToPicture(SizeRule::Actual); });
    connect(attr("FitBest", "Fit Best"), &QAction::triggered, this,
            [this] { ResizeToPicture(SizeRule::FitBest); });
    connect(attr("FitToWidth", "Fit To Width"), &QAction::triggered, this,
            [this] { ResizeToPicture(SizeRule::FitToWidth); });
    connect(attr("FitToHeight", "Fit To Height"), &QAction::triggered, this,
            [this] { ResizeToPicture(SizeRule::FitToHeight); });
    connect(attr("Preview", "Preview"), &QAction::triggered, this, &TAuthorMain::PreviewMedia);
    connect(attr("Stop", "Stop"), &QAction::triggered, this, [this] { StopPreview(); });
    connect(attr("Font", "Font..."), &QAction::triggered, this, [this] {
        const QList<TDbObject *> chosen = selected();
        QFont initial;
        if (!chosen.isEmpty()) {
            initial.setFamily(chosen.first()->Props.FontName);
            initial.setPointSize(std::max(1, int(chosen.first()->Props.FontSize)));
        }
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, this);
        if (ok)
            SetObjectsFont(font);
    });
    connect(attr("Color", "Color..."), &QAction::triggered, this, [this] {
        const QColor c = QColorDialog::getColor(Qt::white, this);
        if (c.isValid())
            SetObjectsColor(c);
    });
    // A label's text and a button's caption are asked alike.
    auto askCaption = [this] {
        const QList<TDbObject *> chosen = selected();
        bool ok = false;
        const QString text =
            QInputDialog::getText(this, QStringLiteral("Text Editor"), QString(), QLineEdit::Normal,
                                  chosen.isEmpty() ? QString() : chosen.first()->Rec.Caption, &ok);
        if (ok)
            SetCaption(text);
    };
    connect(attr("InsertLabelText", "Insert Label Text..."), &QAction::triggered, this, askCaption);
    QAction *transparent = attr("Transparent", "Transparent");
    transparent->setCheckable(true);
    connect(transparent, &QAction::triggered, this, &TAuthorMain::SetTransparent);
    connect(attr("Caption", "&Caption..."), &QAction::triggered, this, askCaption);
    connect(attr("InsertMemoText", "Insert Memo Text..."), &QAction::triggered, this, [this] {
        const QList<TDbObject *> chosen = selected();
        bool ok = false;
        const QString text = QInputDialog::getMultiLineText(
            this, QStringLiteral("Memo Text"), QString(),
            chosen.isEmpty() ? QString()
                             : (chosen.first()->HasMemoText ? chosen.first()->MemoText : QString()),
            &ok);
        if (ok)
            SetMemoText(text);
    });
    connect(attr("GraphicAttribute", "Graphic Attribute..."), &QAction::triggered, this,
            &TAuthorMain::GraphicAttributeDialog);
    QAction *disable = attr("Disable", "Disable");
    disable->setCheckable(true);
    connect(disable, &QAction::triggered, this, &TAuthorMain::SetObjectsDisabled);
    connect(attributes, &QMenu::aboutToShow, this, [this, attributes] {
        const QStringList shown = visibleAttributes();
        for (QAction *a : attributes->actions())
            a->setVisible(shown.contains(a->objectName().mid(7)));
    });

    connect(addAction(m_editMenu, "muiUndo", "&Undo", QKeySequence::Undo), &QAction::triggered, this,
            &TAuthorMain::Undo);
    connect(addAction(m_editMenu, "muiRedo", "&Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)),
            &QAction::triggered, this, &TAuthorMain::Redo);
    m_editMenu->addSeparator();
    connect(addAction(m_editMenu, "muiCut", "C&ut", QKeySequence::Cut), &QAction::triggered, this,
            &TAuthorMain::Cut);
    connect(addAction(m_editMenu, "muiCopy", "C&opy", QKeySequence::Copy), &QAction::triggered, this,
            &TAuthorMain::Copy);
    connect(addAction(m_editMenu, "muiPaste", "&Paste", QKeySequence::Paste), &QAction::triggered, this,
            &TAuthorMain::Paste);
    connect(addAction(m_editMenu, "muiSelectAll", "Select All", QKeySequence::SelectAll), &QAction::triggered,
            this, &TAuthorMain::SelectAll);
    for (QMenu *m : {m_clearBookMenu, m_slideMenu, m_objectMenu, m_editMenu})
        connect(m, &QMenu::aboutToShow, this, &TAuthorMain::UpdateMenuItems);
}

QList<QMenu *> TAuthorMain::childMenus() const
{
    return {m_clearBookMenu, m_slideMenu, m_objectMenu, m_editMenu};
}

void TAuthorMain::UpdateMenuItems()
{
    TDbSlide *slide = m_books.ActiveSlide;
    const bool open = slide != nullptr;
    const bool selection = open && !slide->Selection.isEmpty();
    auto set = [this](const char *name, bool on) {
        if (QAction *a = m_actions.value(QLatin1String(name)))
            a->setEnabled(on);
    };
    set("muiDeleteClearBook", m_books.ActiveClearBook != nullptr);
    set("muiNewSlide", !m_books.ClearBooks.isEmpty());
    set("muiOpenSlide", !m_books.ClearBooks.isEmpty());
    for (const char *name :
         {"muiSaveSlide", "muiSaveSlideAs", "muiDeleteSlide", "muiCloseSlide"})
        set(name, open);
    set("muiPlaySlide", playing() || targetSlide() != nullptr);
    if (QAction *play = m_actions.value(QStringLiteral("muiPlaySlide")))
    {
        play->setText(playing() ? QStringLiteral("Stop Play") : QStringLiteral("&Play"));
        play->setChecked(playing());
    }
    set("muiDeleteObject", selection);
    set("muiBringToFront", selection);
    set("muiSendToBack", selection);
    set("muiAttributes", selection);
    set("muiCut", selection);
    set("muiCopy", selection);
    set("muiPaste", open && clipboard && !clipboard->isEmpty());
    set("muiSelectAll", open);
    set("muiUndo", open && m_edited.canUndo() && !playing());
    set("muiRedo", open && m_edited.canRedo() && !playing());
    if (selection) {
        bool disabled = true, transparent = true;
        for (const TDbObject *o : std::as_const(slide->Selection)) {
            disabled = disabled && o->Disabled;
            transparent = transparent && o->kind() == ObjectKind::Text && o->Props.Transparent;
        }
        m_actions.value(QStringLiteral("muiAttrDisable"))->setChecked(disabled);
        m_actions.value(QStringLiteral("muiAttrTransparent"))->setChecked(transparent);
    }
    setStatusTip(statusText());
    if (m_frame.changed)
        m_frame.changed();
}

void TAuthorMain::newClearBookDialog()
{
    BookForm form(this, QStringLiteral("New Clearbook"), nullptr);
    if (form.dialog.exec() != QDialog::Accepted)
        return;
    NewClearBook(form.title->text(), form.author->text(), form.description->toPlainText());
}

void TAuthorMain::newSlideDialog()
{
    BookForm form(this, QStringLiteral("New Slide"), &m_books.ClearBooks);
    if (m_books.ActiveClearBook)
        form.books->setCurrentIndex(int(m_books.ClearBooks.indexOf(m_books.ActiveClearBook)));
    if (form.dialog.exec() != QDialog::Accepted)
        return;
    NewSlide(form.book(), form.title->text(), form.author->text(), form.description->toPlainText());
}

void TAuthorMain::openSlideDialog()
{
    if (m_books.ClearBooks.isEmpty()) {
        m_ui.showMessage(QStringLiteral("No clearbook,You must create a clearbook first."));
        return;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Open Slide"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *books = new QComboBox;
    auto *slides = new QListWidget;
    for (TDbClearBook *cb : std::as_const(m_books.ClearBooks))
        books->addItem(cb->Rec.CB_Title);
    auto fill = [this, slides](int index) {
        slides->clear();
        if (index < 0 || index >= m_books.ClearBooks.size())
            return;
        for (TDbSlide *s : std::as_const(m_books.ClearBooks[index]->Slides))
            slides->addItem(s->Rec.Slide_Title);
        slides->setCurrentRow(0);
    };
    connect(books, &QComboBox::currentIndexChanged, &dialog, fill);
    if (m_books.ActiveClearBook)
        books->setCurrentIndex(int(m_books.ClearBooks.indexOf(m_books.ActiveClearBook)));
    fill(books->currentIndex());
    layout->addWidget(books);
    layout->addWidget(slides);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(slides, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int b = books->currentIndex(), s = slides->currentRow();
    if (b >= 0 && s >= 0 && s < m_books.ClearBooks[b]->Slides.size())
        OpenSlide(m_books.ClearBooks[b]->Slides[s]);
}

void TAuthorMain::saveAsDialog()
{
    TDbSlide *slide = m_books.ActiveSlide;
    if (!slide)
        return;
    BookForm form(this, QStringLiteral("Save as a new Slide"), &m_books.ClearBooks);
    form.title->setText(QStringLiteral("Copy of ") + slide->Rec.Slide_Title);
    form.author->setText(slide->Rec.Slide_Author);
    form.books->setCurrentIndex(int(m_books.ClearBooks.indexOf(slide->Owner)));
    form.description->setEnabled(false);
    if (form.dialog.exec() != QDialog::Accepted)
        return;
    SaveSlideAs(form.book(), form.title->text(), form.author->text());
}

} // namespace vk
