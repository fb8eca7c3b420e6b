#include "Childwin.h"

#include "Capture.h"
#include "DbFolder.h"
#include "FolderWindowHost.h"
#include "Icons.h"
#include "LibraryDrag.h"
#include "MediaExport.h"
#include "MediaFiles.h"
#include "MediaTypes.h"
#include "Messages.h"
#include "PictureFiles.h"
#include "PptDialog.h"
#include "RecordStatements.h"
#include "SearchMedia.h"
#include "Thumb.h"
#include "ThumbnailCache.h"
#include "UiServices.h"
#include "VoiceRecorder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace vk {

namespace {

const QColor WindowColor(0, 128, 128); // teal
const QColor SelectionColor(0, 0, 255);
constexpr int TitleHeight = 16;

QString titleOf(const TDbMedia *item)
{
    return item->SubFolder ? item->SubFolder->Rec.Title : item->Rec.Title;
}

// The picture area of a tile: inside the border and bevel, above the title.
QRect pictureArea(const QRect &tile, int border)
{
    const int inset = std::max(0, border) + 4;
    return tile.adjusted(inset, inset, -inset, -inset - TitleHeight);
}

} // namespace

TFolder::TFolder(FolderWindowHost &host, TDbFolder *folder, bool searchResult, QWidget *parent)
    : QAbstractScrollArea(parent), m_host(host), m_folder(folder)
{
    IsLibraryFolder = !searchResult;
    setWindowTitle(folder->Rec.Title);
    setWindowIcon(vkIcon(searchResult ? QStringLiteral("search") : QStringLiteral("folder")));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, WindowColor);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    QFont f = font();
    f.setFamily(QStringLiteral("Times New Roman"));
    f.setPixelSize(13);
    setFont(f);
    resize(429, 238);

    tmrChildwinScroll.setInterval(200);
    connect(&tmrChildwinScroll, &QTimer::timeout, this, [this] {
        viewport()->update();
        verticalScrollBar()->setValue(verticalScrollBar()->value() + m_scrollStep);
        tmrChildwinScroll.stop();
    });
    m_thumbnailTimer.setSingleShot(true);
    m_thumbnailTimer.setInterval(30);
    connect(&m_thumbnailTimer, &QTimer::timeout, this, &TFolder::requestThumbnails);
    connect(&ThumbnailCache::shared(), &ThumbnailCache::pictureReady, viewport(),
            qOverload<>(&QWidget::update));

    TDbFolderList &roots = m_host.roots();
    connect(&roots, &TDbFolderList::itemInserted, this, [this](TDbFolder *f, TDbMedia *, int) {
        if (f == m_folder)
            listChanged();
    });
    // Another program changed the folder or its items: the same items, laid out again.
    connect(&roots, &TDbFolderList::itemsRefreshed, this, [this](TDbFolder *f) {
        if (f && f == m_folder)
            refresh();
    });
    // Another program deleted the folder: it is about to be freed.
    connect(&roots, &TDbFolderList::folderDeletedElsewhere, this, [this](TDbFolder *f) {
        if (f == m_folder && IsLibraryFolder)
            detachFolder();
    });
    // A removal is told before the item leaves the list: it leaves the selection now, and the
    // window is laid out once the list has changed.
    connect(&roots, &TDbFolderList::itemRemoved, this, [this](TDbFolder *f, TDbMedia *item) {
        if (f != m_folder)
            return;
        Selection.remove(item);
        if (CurrentTile == item)
            CurrentTile = nullptr;
        if (Selection.anchor == item)
            Selection.anchor = nullptr;
        LibraryDrag::forget(item);
        QMetaObject::invokeMethod(this, &TFolder::listChanged, Qt::QueuedConnection);
    });

    createMenus();
    updateScrollBars();
    const QList<TDbMedia *> list = items();
    if (!list.isEmpty()) {
        CurrentTile = list.last();
        Selection.selectOnly(CurrentTile);
        scrollToTile(int(list.size()) - 1);
        if (IsLibraryFolder)
            m_host.selectInExplorer(m_folder, CurrentTile);
    }
    setStatusTip(statusHint().section(QLatin1Char('|'), 1)); // the long part of the hint
    m_thumbnailTimer.start();
}

TFolder::~TFolder()
{
    if (LibraryDrag::current().source == this)
        LibraryDrag::end();
    // A search result belongs to its window.
    if (!IsLibraryFolder && m_folder)
        ReleaseResultFolder(m_host.roots(), m_folder);
}

QList<TDbMedia *> TFolder::items() const
{
    return m_folder && m_folder->MediaList ? m_folder->MediaList->Items : QList<TDbMedia *>();
}

QList<TDbMedia *> TFolder::selectedInListOrder() const
{
    return Selection.inListOrder(items());
}

TileLayout TFolder::layout() const
{
    TileLayout l;
    l.clientWidth = viewport()->width();
    if (m_folder && m_folder->MediaList) {
        l.tileWidth = std::max(1, m_folder->MediaList->TileWidth);
        l.tileHeight = std::max(1, m_folder->MediaList->TileHeight);
        l.count = m_folder->MediaList->count();
    }
    return l;
}

QRect TFolder::tileRectInView(int position) const
{
    return layout().tileRect(position).translated(0, -verticalScrollBar()->value());
}

int TFolder::tileAtView(QPoint p) const
{
    return layout().tileAt(p + QPoint(0, verticalScrollBar()->value()));
}

int TFolder::dropPositionAtView(QPoint p) const
{
    return layout().dropPosition(p + QPoint(0, verticalScrollBar()->value()));
}

QString TFolder::statusHint() const
{
    return QStringLiteral("|") + QString::number(items().size()) + vkMessage("MediaInThisFolder");
}

void TFolder::updateScrollBars()
{
    const TileLayout l = layout();
    QScrollBar *bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(std::max(1, (l.tileHeight + TileLayout::Gap) / 2));
    bar->setRange(0, std::max(0, l.contentHeight() - viewport()->height()));
}

void TFolder::scrollToTile(int position)
{
    if (position < 0 || position >= layout().count)
        return;
    const QRect r = layout().tileRect(position);
    QScrollBar *bar = verticalScrollBar();
    const int top = bar->value(), bottom = top + viewport()->height();
    if (r.top() - TileLayout::Gap < top)
        bar->setValue(r.top() - TileLayout::Gap);
    else if (r.bottom() + TileLayout::Gap > bottom)
        bar->setValue(r.bottom() + TileLayout::Gap - viewport()->height() + 1);
}

void TFolder::listChanged()
{
    Selection.retain(items());
    updateScrollBars();
    viewport()->update();
    setStatusTip(statusHint().section(QLatin1Char('|'), 1)); // the long part of the hint
    m_thumbnailTimer.start();
    emit selectionChanged();
}

void TFolder::refresh()
{
    if (m_folder)
        setWindowTitle(m_folder->Rec.Title);
    listChanged();
}

void TFolder::detachFolder()
{
    m_folder = nullptr;
    Selection.clear();
    CurrentTile = nullptr;
    viewport()->update();
}

void TFolder::changedSelection()
{
    for (TDbMedia *m : items())
        m->Selected = Selection.contains(m);
    viewport()->update();
    emit selectionChanged();
    m_host.viewActivated(this);
}

void TFolder::selectAt(int position)
{
    const QList<TDbMedia *> list = items();
    if (list.isEmpty()) {
        Selection.clear();
        changedSelection();
        return;
    }
    position = std::clamp(position, 0, int(list.size()) - 1);
    selectItem(list[position]);
}

void TFolder::selectItem(TDbMedia *item)
{
    const int at = int(items().indexOf(item));
    if (at < 0)
        return;
    Selection.selectOnly(item);
    CurrentTile = item;
    scrollToTile(at);
    if (IsLibraryFolder)
        m_host.selectInExplorer(m_folder, item);
    changedSelection();
}

void TFolder::selectItems(const QList<TDbMedia *> &chosen)
{
    Selection.clear();
    for (TDbMedia *m : chosen)
        if (items().contains(m))
            Selection.add(m);
    if (!Selection.items.isEmpty())
        scrollToTile(int(items().indexOf(Selection.last())));
    changedSelection();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TFolder::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), WindowColor);
    if (!m_folder || !m_folder->MediaList)
        return;
    const TileLayout l = layout();
    const int scroll = verticalScrollBar()->value();
    int first = 0, last = -1;
    l.rowsIn(scroll + event->rect().top(), scroll + event->rect().bottom(), &first, &last);
    for (int i = first; i <= last; ++i) {
        const QRect r = l.tileRect(i).translated(0, -scroll);
        if (r.intersects(event->rect()))
            paintTile(p, i, r);
    }
    if (m_dropMarker >= 0) {
        const QRect marker = l.markerRect(m_dropMarker).translated(0, -scroll);
        p.fillRect(marker.adjusted(0, 0, 0, marker.height() == 0 ? l.tileHeight : 0), Qt::white);
        p.setPen(Qt::black);
        p.drawLine(marker.topRight(), marker.bottomRight());
    }
    if (Banding) {
        p.setPen(QPen(Qt::white, 1, Qt::DotLine));
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.drawRect(QRect(BandStart, BandEnd).normalized().translated(0, -scroll));
    }
}

void TFolder::paintTile(QPainter &p, int position, const QRect &r)
{
    TDbMedia *item = m_folder->MediaList->Items[position];
    const int border = std::max(0, m_folder->MediaList->TileBorder);
    const QPalette &pal = palette();
    // The raised panel.
    p.fillRect(r, pal.button());
    p.setPen(pal.light().color());
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(pal.shadow().color());
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());

    const QRect area = pictureArea(r, border);
    QImage image = ThumbnailCache::shared().picture(item, area.size());
    QPixmap bitmap;
    if (image.isNull())
        bitmap = TypeBitmaps::bitmap(
            TypeBitmaps::nameOfMediaType(item->isSubFolderTile() ? SubFolderType : item->Rec.MediaType));
    if (area.width() > 0 && area.height() > 0) {
        // A thumbnail keeps its size when it fits; the type's bitmap fills the picture area.
        const QSize natural = image.isNull() ? bitmap.size() : image.size();
        QSize fit = natural;
        if (image.isNull() || natural.width() > area.width() || natural.height() > area.height())
            fit = natural.scaled(area.size(), Qt::KeepAspectRatio);
        const QRect target(area.left() + (area.width() - fit.width()) / 2,
                           area.top() + (area.height() - fit.height()) / 2, fit.width(), fit.height());
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (!image.isNull())
            p.drawImage(target, image);
        else if (!bitmap.isNull())
            p.drawPixmap(target, bitmap);
    }
    // The title.
    const QRect titleRect(r.left() + border + 2, r.bottom() - border - TitleHeight - 1,
                          r.width() - 2 * border - 4, TitleHeight);
    QFont tf = font();
    tf.setPixelSize(11);
    p.setFont(tf);
    p.setPen(item->isSubFolderTile() ? QColor(Qt::blue) : pal.buttonText().color());
    p.drawText(titleRect, Qt::AlignCenter,
               QFontMetrics(tf).elidedText(titleOf(item), Qt::ElideMiddle, titleRect.width()));
    // Selection frame.
    if (Selection.contains(item)) {
        p.setPen(QPen(SelectionColor, 2));
        p.setBrush(Qt::NoBrush);
        const int in = border + 3;
        p.drawRect(r.adjusted(in, in, -in, -in));
    }
    // External mark: a small link at the bottom left.
    if (item->External && m_host.showExternalMark()) {
        const QRect mark(r.left() + border + 4, r.bottom() - border - 4 - 12, 12, 12);
        p.setPen(QPen(QColor(0, 0, 160), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(mark.adjusted(0, 3, -5, -2));
        p.drawEllipse(mark.adjusted(5, 2, 0, -3));
    }
    // Lost mark: a struck-out red circle.
    if (item->Lost) {
        const QPoint c(r.left() + r.width() - 16, r.top() + r.height() - 16);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 10, 10);
        p.setPen(QPen(Qt::red, 1));
        p.setBrush(Qt::red);
        p.drawEllipse(c, 9, 9);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(c + QPoint(-5, 5), c + QPoint(5, -5));
        p.setRenderHint(QPainter::Antialiasing, false);
    }
}

void TFolder::requestThumbnails()
{
    if (!m_folder || !m_folder->MediaList || !isVisible())
        return;
    const TileLayout l = layout();
    const int scroll = verticalScrollBar()->value(), h = viewport()->height();
    // What is on screen, nearest the middle first, then a screen above and below.
    int first = 0, last = -1;
    l.rowsIn(scroll - h, scroll + 2 * h, &first, &last);
    const QList<TDbMedia *> &list = m_folder->MediaList->Items;
    QList<int> order;
    for (int i = std::max(0, first); i <= last && i < list.size(); ++i)
        order.append(i);
    const int middle = scroll + h / 2;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return std::abs(l.tileRect(a).center().y() - middle) < std::abs(l.tileRect(b).center().y() - middle);
    });
    QList<const TDbMedia *> wanted;
    for (int i : order)
        wanted.append(list[i]);
    const QRect area = pictureArea(QRect(0, 0, l.tileWidth, l.tileHeight), m_folder->MediaList->TileBorder);
    ThumbnailCache::shared().request(wanted, area.size());
}

void TFolder::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    m_thumbnailTimer.start();
}

void TFolder::scrollContentsBy(int, int)
{
    viewport()->update();
    m_thumbnailTimer.start();
}

bool TFolder::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int at = tileAtView(help->pos());
        if (at >= 0) {
            TDbMedia *item = items()[at];
            QToolTip::showText(help->globalPos(), TypeLabel(item->Rec.MediaType) + titleOf(item), viewport());
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Mouse and keys

void TFolder::activate()
{
    setFocus(Qt::MouseFocusReason);
    m_host.viewActivated(this);
}

void TFolder::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    m_host.viewActivated(this);
}

void TFolder::mousePressEvent(QMouseEvent *event)
{
    if (!m_folder)
        return;
    const QList<TDbMedia *> list = items();
    const int at = tileAtView(event->position().toPoint());
    DragStarted = false;
    if (at >= 0) {
        TDbMedia *item = list[at];
        PressPoint = event->position().toPoint();
        CurrentTile = item;
        const Qt::KeyboardModifiers mods = event->modifiers();
        if (event->button() == Qt::RightButton) {
            Selection.press(list, at, TileSelection::Press::Right);
            if (IsLibraryFolder)
                m_host.selectInExplorer(m_folder, item);
            changedSelection();
            activate();
            contextMenu(event->globalPosition().toPoint(), item);
            return;
        }
        if (event->button() != Qt::LeftButton)
            return;
        if (mods & Qt::ShiftModifier) {
            Selection.press(list, at, TileSelection::Press::Shift);
        } else if (mods & Qt::ControlModifier) {
            Selection.press(list, at, TileSelection::Press::Ctrl);
            DragPending = true;
        } else {
            Selection.press(list, at, TileSelection::Press::Plain);
            DragPending = true;
            if (IsLibraryFolder)
                m_host.selectInExplorer(m_folder, item);
            m_host.tilePressed(item);
        }
        changedSelection();
        activate();
        return;
    }
    // The background: a band starts from the last selected tile.
    if (event->button() == Qt::RightButton) {
        activate();
        m_folderMenu->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    Banding = true;
    BandStart = BandEnd = event->position().toPoint() + QPoint(0, verticalScrollBar()->value());
    Selection.keepLast();
    Selection.anchor = Selection.last();
    if (IsLibraryFolder && Selection.anchor)
        m_host.selectInExplorer(m_folder, Selection.anchor);
    changedSelection();
    activate();
}

void TFolder::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (DragPending && (event->buttons() & Qt::LeftButton) &&
        (pos - PressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        DragPending = false;
        DragStarted = true;
        startDrag();
        return;
    }
    if (Banding) {
        BandEnd = pos + QPoint(0, verticalScrollBar()->value());
        Selection.band(items(), layout(), BandStart, BandEnd);
        autoScroll(pos);
        changedSelection();
    }
}

void TFolder::mouseReleaseEvent(QMouseEvent *event)
{
    if (Banding) {
        Banding = false;
        tmrChildwinScroll.stop();
        if (Selection.items.isEmpty() && Selection.anchor && items().contains(Selection.anchor))
            Selection.add(Selection.anchor);
        changedSelection();
        return;
    }
    if (!DragStarted && CurrentTile && tileAtView(event->position().toPoint()) >= 0)
        Selection.release(CurrentTile);
    Selection.toggleOnRelease = false;
    Selection.reduceOnRelease = false;
    DragPending = false;
    DragStarted = false;
    changedSelection();
}

void TFolder::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int at = tileAtView(event->position().toPoint());
    if (at < 0 || event->button() != Qt::LeftButton)
        return;
    TDbMedia *item = items()[at];
    if (item->SubFolder)
        emit openFolderRequested(item->SubFolder);
    else
        m_host.showProperties(item->MirrorOf ? item->MirrorOf : item, nullptr);
}

void TFolder::keyPressEvent(QKeyEvent *event)
{
    const QList<TDbMedia *> list = items();
    if (event->key() == Qt::Key_Delete && !Selection.items.isEmpty()) {
        m_host.runCommand(QStringLiteral("btnDelete"));
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    if (Selection.items.size() != 1 || list.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const TileLayout l = layout();
    const int at = int(list.indexOf(Selection.last()));
    int to = at;
    switch (event->key()) {
    case Qt::Key_Left:
        to = l.left(at);
        break;
    case Qt::Key_Right:
        to = l.right(at);
        break;
    case Qt::Key_Up:
        to = l.up(at);
        break;
    case Qt::Key_Down:
        to = l.down(at);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (to == at || to < 0)
        return;
    Selection.selectOnly(list[to]);
    CurrentTile = list[to];
    scrollToTile(to);
    if (IsLibraryFolder)
        m_host.selectInExplorer(m_folder, list[to]);
    m_host.tilePressed(list[to]);
    changedSelection();
}

void TFolder::autoScroll(QPoint p)
{
    if (!verticalScrollBar()->isVisible()) {
        tmrChildwinScroll.stop();
        return;
    }
    const int half = std::max(1, layout().tileHeight / 2);
    if (p.y() > viewport()->height() - 30)
        m_scrollStep = half;
    else if (p.y() < 30)
        m_scrollStep = -half;
    else {
        tmrChildwinScroll.stop();
        return;
    }
    if (!tmrChildwinScroll.isActive())
        tmrChildwinScroll.start();
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

void TFolder::startDrag()
{
    if (Selection.items.isEmpty())
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(LibraryDrag::begin(LibraryDrag::WindowSelection, m_folder, Selection.items, this));
    const Qt::DropAction preferred =
        (QApplication::keyboardModifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
    drag->exec(Qt::MoveAction | Qt::CopyAction, preferred);
    LibraryDrag::endAfterDrop();
    DragStarted = false;
}

namespace {

bool isKeywordDrag(const QMimeData *data)
{
    return data && data->hasFormat(QLatin1String(KeywordMimeType));
}

} // namespace

void TFolder::dragEnterEvent(QDragEnterEvent *event)
{
    // A keyword from the keywords editor tags the tiles it is dropped on.
    if (isKeywordDrag(event->mimeData()) && m_folder) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    if (IsLibraryFolder && m_folder &&
        (LibraryDrag::isLibraryDrag(event->mimeData()) || event->mimeData()->hasUrls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFolder::dragMoveEvent(QDragMoveEvent *event)
{
    const QPoint pos = event->position().toPoint();
    autoScroll(pos);
    if (isKeywordDrag(event->mimeData())) {
        const int at = tileAtView(pos);
        TDbMedia *item = at >= 0 ? items()[at] : nullptr;
        if (item && !item->SubFolder && !item->isSubFolderTile()) {
            event->setDropAction(Qt::CopyAction);
            event->accept(QRect(tileRectInView(at)));
        } else {
            event->ignore();
        }
        return;
    }
    const bool library = LibraryDrag::isLibraryDrag(event->mimeData());
    if (!IsLibraryFolder || !m_folder || (!library && !event->mimeData()->hasUrls())) {
        event->ignore();
        return;
    }
    // A subfolder's tile takes nothing; elsewhere the marker shows where the drop goes.
    const int at = tileAtView(pos);
    if (at >= 0 && items()[at]->SubFolder) {
        m_dropMarker = -1;
        viewport()->update();
        event->ignore(QRect(tileRectInView(at)));
        return;
    }
    if (library && LibraryDrag::current().carriesSubFolderOf(m_folder)) {
        event->ignore();
        return;
    }
    m_dropMarker = dropPositionAtView(pos);
    viewport()->update();
    if (!library) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void TFolder::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropMarker = -1;
    tmrChildwinScroll.stop();
    viewport()->update();
}

void TFolder::dropEvent(QDropEvent *event)
{
    const int position = dropPositionAtView(event->position().toPoint());
    m_dropMarker = -1;
    tmrChildwinScroll.stop();
    viewport()->update();
    if (isKeywordDrag(event->mimeData())) {
        const int at = tileAtView(event->position().toPoint());
        if (at < 0 || !m_folder)
            return;
        TDbMedia *item = items()[at];
        // Dropped on one of several selected tiles, it tags them all.
        const QList<TDbMedia *> targets =
            Selection.items.contains(item) ? Selection.items : QList<TDbMedia *>{item};
        const QString oid =
            QString::fromUtf8(event->mimeData()->data(QLatin1String(KeywordMimeType))).trimmed();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        QMetaObject::invokeMethod(
            this,
            [this, targets, oid] {
                m_host.tagItems(targets, oid);
                viewport()->update();
            },
            Qt::QueuedConnection);
        return;
    }
    if (!IsLibraryFolder || !m_folder)
        return;
    if (LibraryDrag::isLibraryDrag(event->mimeData())) {
        const bool copy = (event->modifiers() & Qt::ControlModifier) || event->dropAction() == Qt::CopyAction;
        event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
        event->accept();
        // The drop changes the library; the drag that carried it is done first.
        QMetaObject::invokeMethod(
            this, [this, position, copy] { dropLibrary(position, copy); }, Qt::QueuedConnection);
        return;
    }
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    if (paths.isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(
        this, [this, paths] { dropPaths(paths); }, Qt::QueuedConnection);
}

bool TFolder::dropLibrary(int position, bool copy)
{
    const LibraryDrag drag = LibraryDrag::current();
    if (!m_folder || drag.kind == LibraryDrag::None)
        return false;
    const int before = m_folder->MediaList->count();
    const bool done = DropIntoFolder(m_host.roots(), drag, m_folder, position, copy);
    if (done) {
        // The dropped items (or their copies) are what is selected afterwards.
        const QList<TDbMedia *> list = items();
        QList<TDbMedia *> dropped;
        const int added = int(list.size()) - before;
        if (added > 0) {
            const int from = std::clamp(position, 0, int(list.size()) - added);
            for (int i = 0; i < added; ++i)
                dropped.append(list[from + i]);
        } else {
            for (TDbMedia *m : drag.items)
                if (list.contains(m))
                    dropped.append(m);
        }
        selectItems(dropped);
    }
    listChanged();
    return done;
}

bool TFolder::dropPaths(const QStringList &paths)
{
    if (!m_folder || paths.isEmpty())
        return false;
    QApplication::setActiveWindow(window());
    TDbMedia *last = m_host.importPaths(m_folder, paths);
    listChanged();
    if (last)
        selectItem(last);
    return last != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Clipboard

void TFolder::Copy()
{
    if (Selection.items.isEmpty())
        return;
    m_host.clearClipboard();
    for (TDbMedia *m : Selection.items)
        m_host.roots().ClipboardAdd(m_host.clipboard(), m->MirrorOf ? m->MirrorOf : m);
    UpdateMenuItems();
}

void TFolder::Cut()
{
    if (Selection.items.isEmpty() || !IsLibraryFolder)
        return;
    m_host.clearClipboard();
    const QList<TDbMedia *> cut = Selection.items;
    int lowest = -1;
    for (TDbMedia *m : cut) {
        m_host.roots().ClipboardAdd(m_host.clipboard(), m);
        const int at = int(items().indexOf(m));
        if (lowest < 0 || at < lowest)
            lowest = at;
    }
    for (TDbMedia *m : cut)
        m_host.roots().Detach(m, true);
    Selection.clear();
    listChanged();
    if (!items().isEmpty())
        selectAt(lowest);
}

void TFolder::Paste()
{
    pasteAt(items().size());
}

void TFolder::pasteAt(int position)
{
    if (!m_folder || !IsLibraryFolder)
        return;
    TDbFolderList &roots = m_host.roots();
    const TSelectedList entries = m_host.clipboard();
    QList<TDbMedia *> pasted;
    int refused = 0;
    for (const ClipboardEntry &e : entries) {
        const int at = position + int(pasted.size());
        if (e.IsObject) {
            // Slide objects become library media only through the authoring tool.
            ++refused;
            continue;
        }
        if (e.Kind == FolderKind) {
            if (TDbFolder *copy = roots.CopyFolderInto(e.Folder, m_folder, at))
                pasted.append(copy->Tile);
            continue;
        }
        const QList<TDbMedia *> copies = roots.CopyItems({e.Media}, m_folder, at);
        pasted.append(copies);
    }
    listChanged();
    selectItems(pasted);
    if (refused)
        m_host.ui().showMessage(vkMessage("ObjectsCannotSaveAsMedia"));
}

void TFolder::SelectAll()
{
    Selection.selectAll(items());
    changedSelection();
}

// ---------------------------------------------------------------------------------------------
// Media commands

void TFolder::ImportFromClipboard()
{
    const QImage image = QApplication::clipboard()->image();
    if (image.isNull() || !m_folder || !IsLibraryFolder)
        return;
    const QString path = m_host.workDirectory() + QStringLiteral("_clipfile.bmp");
    QFile::remove(path);
    if (!image.save(path, "BMP")) {
        m_host.ui().showMessage(QStringLiteral("The picture on the clipboard could not be written to \"%1\".")
                                    .arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_host.ui().setHourglass(true);
    int mode = 0;
    TDbMedia *item = m_host.roots().InsertMediaFile(m_folder, path, mode);
    m_host.ui().setHourglass(false);
    QFile::remove(path);
    listChanged();
    if (item)
        selectItem(item);
}

void TFolder::storeCapturedFile(const QString &path)
{
    if (insertCapturedFile(path)) {
        QFile::remove(path);
        return;
    }
    // Not stored (the library said why): the recording is the person's, so it is kept out of
    // the work directory, which is cleared when the workspace ends.
    const QString kept = KeepUnstoredFile(path, UnstoredFilesDirectory());
    m_host.ui().showMessage(vkMessage("RecordingKept").arg(QDir::toNativeSeparators(kept)));
}

TDbMedia *TFolder::insertCapturedFile(const QString &path)
{
    if (!m_folder || !IsLibraryFolder)
        return nullptr;
    m_host.ui().setHourglass(true);
    int mode = 0; // always a database file: the captured file is a work file
    TDbMedia *item = m_host.roots().InsertMediaFile(m_folder, path, mode);
    m_host.ui().setHourglass(false);
    listChanged();
    // Selecting the new tile shows it in the folder explorer too.
    if (item)
        selectItem(item);
    return item;
}

void TFolder::CaptureVideo()
{
    if (!m_folder || !IsLibraryFolder)
        return;
    TCaptureVideo window(m_host.ui(), m_host.workDirectory(), nullptr, this);
    if (!window.hasDevice()) {
        m_host.ui().showMessage(vkMessage("CaptureCardNotFound"));
        return;
    }
    if (window.exec() != QDialog::Accepted)
        return;
    const QString file = window.CaptureFile();
    if (!file.isEmpty() && QFile::exists(file))
        storeCapturedFile(file);
}

void TFolder::CaptureImage()
{
    if (!m_folder || !IsLibraryFolder)
        return;
    TThumbShoot window(
        m_host.ui(), m_host.workDirectory(), m_host.scanImageType(),
        [this](const QString &path) { return insertCapturedFile(path) != nullptr; }, nullptr, this);
    if (!window.hasDevice()) {
        m_host.ui().showMessage(vkMessage("CaptureCardNotFound"));
        return;
    }
    window.exec();
}

void TFolder::VoiceRecorder()
{
    if (!m_folder || !IsLibraryFolder)
        return;
    if (!mediaDeviceTable().waveOutput) {
        m_host.ui().showMessage(vkMessage("SoundCardNotFound"));
        return;
    }
    TfrmVoiceRecorder recorder(m_host.ui(), m_host.workDirectory(), nullptr, this);
    if (recorder.exec() != QDialog::Accepted)
        return;
    const QString file = recorder.RecordingFile();
    if (QFile::exists(file))
        storeCapturedFile(file);
}

void TFolder::Relink(const QString &chosen)
{
    TDbMedia *item = Selection.last();
    if (!item || !item->Lost || !IsLibraryFolder)
        return;
    QString path = chosen;
    if (path.isEmpty())
        path = QFileDialog::getOpenFileName(this, QStringLiteral("Import Media"), item->Rec.MediaFile,
                                            QStringLiteral("All Files (*)"), nullptr,
                                            QFileDialog::DontUseNativeDialog);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    TDbFolderList &roots = m_host.roots();
    const TsMedia before = item->Rec;
    item->Rec.MediaFile = path;
    if (!roots.BuildThumbnail(item, false))
        item->Rec.NailFile.clear();
    item->Changed = MediaMedia | MediaNail;
    if (!item->Update(roots.connection(), !item->External)) {
        item->Rec = before;
        return;
    }
    TDbFolderList::CheckLost(item);
    viewport()->update();
    m_thumbnailTimer.start();
    UpdateMenuItems();
}

void TFolder::StoreAsDatabaseFile()
{
    QStringList already, lost;
    TDbFolderList &roots = m_host.roots();
    for (TDbMedia *m : Selection.items) {
        TDbMedia *item = m->MirrorOf ? m->MirrorOf : m;
        if (item->SubFolder)
            continue;
        if (!item->External) {
            already.append(item->Rec.Title);
            continue;
        }
        if (item->Lost) {
            lost.append(item->Rec.Title);
            continue;
        }
        item->Changed = MediaMedia;
        if (item->Update(roots.connection(), true))
            item->External = false;
    }
    QStringList lines;
    if (!already.isEmpty())
        lines << QStringLiteral("(") + vkMessage("NotNeedStoreAgain") + QStringLiteral(")") << already
              << QString();
    if (!lost.isEmpty())
        lines << QStringLiteral("(") + vkMessage("MediaLost") + QStringLiteral(")") << lost;
    if (!lines.isEmpty())
        m_host.ui().showInformation(QStringLiteral("Vellumark"), lines, QString());
    viewport()->update();
    UpdateMenuItems();
}

void TFolder::Export()
{
    for (TDbMedia *m : Selection.items) {
        const TDbMedia *item = m->MirrorOf ? m->MirrorOf : m;
        if (item->SubFolder || item->Rec.MediaType == 300)
            continue;
        if (!ExportMediaAsked(this, *item, m_host))
            return;
    }
}

// ---------------------------------------------------------------------------------------------
// Menus

QAction *TFolder::addAction(QMenu *menu, const QString &name, const QString &text, const QString &hint)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    if (!hint.isEmpty())
        a->setStatusTip(hint);
    if (menu)
        menu->addAction(a);
    m_actions.insert(name, a);
    return a;
}

void TFolder::createMenus()
{
    m_mediaMenu = new QMenu(QStringLiteral("&Media"), this);
    m_mediaMenu->setStatusTip(QStringLiteral("Media related commands"));
    m_mediaMenu->setProperty(MenuGroupProperty, 5);
    m_editMenu = new QMenu(QStringLiteral("&Edit"), this);
    m_editMenu->setProperty(MenuGroupProperty, 5);
    m_tileMenu = new QMenu(this);
    m_folderMenu = new QMenu(this);
    auto frame = [this](const char *command) {
        return [this, command] { m_host.runCommand(QLatin1String(command)); };
    };

    // The Media menu acts on the selection; the tile popup on the tile pressed.
    connect(addAction(m_mediaMenu, "muiMediaInsert", "&Import...", "Import media"), &QAction::triggered, this,
            frame("MediaInsert"));
    connect(addAction(m_mediaMenu, "muiMediaInsertClip", "Import from Clip&board"), &QAction::triggered, this,
            &TFolder::ImportFromClipboard);
    addAction(m_mediaMenu, "muiAcquire", "Ac&quire...", "Acquire media from Twain interface");
    QMenu *capture = m_mediaMenu->addMenu(QStringLiteral("&Capture.."));
    connect(addAction(capture, "muiCapVideo", "&Video Clip...", "Capture video"), &QAction::triggered, this,
            &TFolder::CaptureVideo);
    connect(addAction(capture, "muiCapImage", "Video I&mage...", "Capture image"), &QAction::triggered, this,
            &TFolder::CaptureImage);
    connect(addAction(m_mediaMenu, "muiVoiceRecorder", "&Voice Recorder..."), &QAction::triggered, this,
            &TFolder::VoiceRecorder);
    m_mediaMenu->addSeparator();
    connect(addAction(m_mediaMenu, "muiDelete", "&Delete", "Delete media"), &QAction::triggered, this,
            frame("btnDelete"));
    connect(addAction(m_mediaMenu, "muiRelinkFile", "Relink ..."), &QAction::triggered, this,
            [this] { Relink(); });
    connect(addAction(m_mediaMenu, "muiStoreAsDbFile", "Store as database file"), &QAction::triggered, this,
            &TFolder::StoreAsDatabaseFile);
    connect(addAction(m_mediaMenu, "muiProperty", "&Property...", "Media's property"), &QAction::triggered,
            this, [this] {
                if (TDbMedia *m = Selection.last())
                    m_host.showProperties(m->SubFolder ? nullptr : (m->MirrorOf ? m->MirrorOf : m),
                                          m->SubFolder);
            });
    connect(addAction(m_mediaMenu, "muiPropertyEditor", "Property &Editor...", "Media's property editor"),
            &QAction::triggered, this, [this] {
                if (TDbMedia *m = Selection.last())
                    m_host.showInEditor(m->SubFolder ? nullptr : (m->MirrorOf ? m->MirrorOf : m),
                                        m->SubFolder);
            });
    connect(addAction(m_mediaMenu, "muiExport", "E&xport...", "Export media as other file"),
            &QAction::triggered, this, &TFolder::Export);
    connect(addAction(m_mediaMenu, "muiPrint", "Pr&int...", "Print image"), &QAction::triggered, this,
            [this] { printItem(Selection.last()); });
    auto wallpaper = [this](bool desktop, bool ofTile) {
        return [this, desktop, ofTile] {
            TDbMedia *m = ofTile ? CurrentTile : Selection.last();
            if (m)
                m_host.setWallpaper(m->MirrorOf ? m->MirrorOf : m, desktop);
        };
    };
    connect(addAction(m_mediaMenu, "muiDisplayAsVellumarkWallpaper", "Display As &Vellumark Wallpaper"),
            &QAction::triggered, this, wallpaper(false, false));
    connect(addAction(m_mediaMenu, "muiDisplayAsDesktopWallpaper", "Display As Desktop &Wallpaper"),
            &QAction::triggered, this, wallpaper(true, false));
    connect(addAction(m_mediaMenu, "muiSortMedia", "&Sort Media"), &QAction::triggered, this,
            frame("btnMediaSort"));
    connect(addAction(m_mediaMenu, "muiOpen", "Open"), &QAction::triggered, this, [this] {
        if (TDbMedia *m = Selection.last(); m && m->SubFolder)
            emit openFolderRequested(m->SubFolder);
    });

    QAction *copy = addAction(m_editMenu, "MediaCopy", "&Copy");
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &TFolder::Copy);
    QAction *cut = addAction(m_editMenu, "MediaCut", "C&ut");
    cut->setShortcut(QKeySequence::Cut);
    connect(cut, &QAction::triggered, this, &TFolder::Cut);
    QAction *paste = addAction(m_editMenu, "MediaPaste", "&Paste");
    paste->setShortcut(QKeySequence::Paste);
    connect(paste, &QAction::triggered, this, &TFolder::Paste);
    QAction *all = addAction(m_editMenu, "MediaSelectAll", "Select &All");
    all->setShortcut(QKeySequence::SelectAll);
    connect(all, &QAction::triggered, this, &TFolder::SelectAll);
    for (QAction *a : {copy, cut, paste, all}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        QAbstractScrollArea::addAction(a);
    }

    // The tile popup.
    connect(addAction(m_tileMenu, "pmiMediaInsert", "&Import...", "Import media"), &QAction::triggered, this,
            frame("MediaInsert"));
    connect(addAction(m_tileMenu, "pmiMediaInsertClip", "Import from Clip&board"), &QAction::triggered, this,
            &TFolder::ImportFromClipboard);
    addAction(m_tileMenu, "pmiAcquire", "Ac&quire...", "Acquire media from Twain interface");
    QMenu *pcapture = m_tileMenu->addMenu(QStringLiteral("&Capture.."));
    connect(addAction(pcapture, "pmiCapVideo", "&Video Clip...", "Capture video"), &QAction::triggered, this,
            &TFolder::CaptureVideo);
    connect(addAction(pcapture, "pmiCapImage", "Video I&mage...", "Capture image"), &QAction::triggered, this,
            &TFolder::CaptureImage);
    connect(addAction(m_tileMenu, "pmiVoiceRecorder", "&Voice Recorder..."), &QAction::triggered, this,
            &TFolder::VoiceRecorder);
    m_tileMenu->addSeparator();
    connect(addAction(m_tileMenu, "pmiDelete", "&Delete", "Delete Media"), &QAction::triggered, this,
            frame("btnDelete"));
    connect(addAction(m_tileMenu, "pmiRelinkFile", "Relink ..."), &QAction::triggered, this,
            [this] { Relink(); });
    connect(addAction(m_tileMenu, "pmiStoreAsDbFile", "Store as database file"), &QAction::triggered, this,
            &TFolder::StoreAsDatabaseFile);
    connect(addAction(m_tileMenu, "pmiProperty", "&Property...", "Media Property"), &QAction::triggered, this,
            [this] {
                if (TDbMedia *m = CurrentTile)
                    m_host.showProperties(m->SubFolder ? nullptr : (m->MirrorOf ? m->MirrorOf : m),
                                          m->SubFolder);
            });
    connect(addAction(m_tileMenu, "pmiPropertyEditor", "Property E&ditor...", "Media's property editor"),
            &QAction::triggered, this, [this] {
                if (TDbMedia *m = CurrentTile)
                    m_host.showInEditor(m->SubFolder ? nullptr : (m->MirrorOf ? m->MirrorOf : m),
                                        m->SubFolder);
            });
    connect(addAction(m_tileMenu, "pmiExport", "&Export...", "Export media as other file"),
            &QAction::triggered, this, &TFolder::Export);
    connect(addAction(m_tileMenu, "pmiPrint", "Pr&int...", "Print image"), &QAction::triggered, this,
            [this] { printItem(CurrentTile); });
    connect(addAction(m_tileMenu, "pmiDisplayAsVellumarkWallpaper", "Display As &Vellumark Wallpaper"),
            &QAction::triggered, this, wallpaper(false, true));
    connect(addAction(m_tileMenu, "pmiDisplayAsDesktopWallpaper", "Display As Desktop &Wallpaper"),
            &QAction::triggered, this, wallpaper(true, true));
    connect(addAction(m_tileMenu, "pmiSortMedia", "&Sort Media"), &QAction::triggered, this,
            frame("btnMediaSort"));
    connect(addAction(m_tileMenu, "pmiOpen", "Open"), &QAction::triggered, this, [this] {
        if (CurrentTile && CurrentTile->SubFolder)
            emit openFolderRequested(CurrentTile->SubFolder);
    });
    m_tileMenu->addSeparator();
    m_tileMenu->addAction(copy);
    m_tileMenu->addAction(cut);
    m_tileMenu->addAction(paste);

    // The window's own popup.
    m_folderMenu->addAction(m_actions.value("pmiMediaInsert"));
    m_folderMenu->addAction(m_actions.value("pmiMediaInsertClip"));
    m_folderMenu->addAction(paste);
    m_folderMenu->addAction(all);
    m_folderMenu->addSeparator();
    connect(addAction(m_folderMenu, "pmiFolderProperty", "&Property"), &QAction::triggered, this,
            [this] { m_host.showProperties(nullptr, m_folder); });
    connect(addAction(m_folderMenu, "pmiSlideShow", "Slide Show"), &QAction::triggered, this,
            frame("SlideShow"));
    connect(m_mediaMenu, &QMenu::aboutToShow, this, &TFolder::UpdateMenuItems);
    connect(m_editMenu, &QMenu::aboutToShow, this, &TFolder::UpdateMenuItems);
    UpdateMenuItems();
}

QList<QMenu *> TFolder::childMenus() const
{
    return {m_mediaMenu, m_editMenu};
}

void TFolder::contextMenu(QPoint globalPos, TDbMedia *)
{
    UpdateMenuItems();
    m_tileMenu->popup(globalPos);
}

void TFolder::UpdateMenuItems()
{
    const bool library = IsLibraryFolder && m_folder;
    TDbMedia *current = Selection.last();
    const TDbMedia *cur = current ? (current->MirrorOf ? current->MirrorOf : current) : nullptr;
    const int type = cur ? (cur->SubFolder ? SubFolderType : cur->Rec.MediaType) : -1;
    auto set = [this](const char *name, bool enabled) {
        if (QAction *a = m_actions.value(QLatin1String(name)))
            a->setEnabled(enabled);
    };
    // Scanning waits for its window: present and disabled.
    set("muiAcquire", false);
    set("pmiAcquire", false);
    for (const char *name :
         {"muiCapVideo", "muiCapImage", "muiVoiceRecorder", "pmiCapVideo", "pmiCapImage", "pmiVoiceRecorder"})
        set(name, library);
    set("muiMediaInsert", library);
    set("pmiMediaInsert", library);
    set("muiMediaInsertClip", library && QApplication::clipboard()->mimeData() &&
                                  QApplication::clipboard()->mimeData()->hasImage());
    set("pmiMediaInsertClip", m_actions.value("muiMediaInsertClip")->isEnabled());
    set("muiDelete", cur != nullptr);
    set("muiRelinkFile", cur && cur->Lost && library);
    set("muiStoreAsDbFile", cur && cur->External && !cur->Lost && library);
    // Property and Property Editor: not the one while only the other shows.
    const bool editorOnly = m_host.editorShowing() && !m_host.propertiesShowing();
    const bool dialogOnly = m_host.propertiesShowing() && !m_host.editorShowing();
    set("muiProperty", cur != nullptr && !editorOnly);
    set("muiPropertyEditor", cur != nullptr && !dialogOnly);
    set("muiPrint", cur && type != SubFolderType);
    set("muiExport", cur && type != SubFolderType && type != 300);
    set("muiOpen", cur && type == SubFolderType);
    set("muiSortMedia", library);
    const TDbMedia *tile =
        CurrentTile ? (CurrentTile->MirrorOf ? CurrentTile->MirrorOf : CurrentTile) : nullptr;
    const int tileType = tile ? (tile->SubFolder ? SubFolderType : tile->Rec.MediaType) : -1;
    set("pmiDelete", tile != nullptr);
    set("pmiProperty", tile != nullptr && !editorOnly);
    set("pmiPropertyEditor", tile != nullptr && !dialogOnly);
    set("pmiPrint", tile && isPictureType(tileType));
    set("pmiOpen", tileType == SubFolderType);
    set("pmiExport", tile && tileType != SubFolderType && tileType != 300 && !tile->Lost);
    set("pmiRelinkFile", tile && tile->Lost && library);
    set("pmiStoreAsDbFile", tile && tile->External && !tile->Lost && library);
    set("pmiSortMedia", library);
    // A picture can be a wallpaper; the workspace's background only while it shows one.
    set("muiDisplayAsVellumarkWallpaper", cur && isPictureType(type) && m_host.showsBackground());
    set("muiDisplayAsDesktopWallpaper", cur && isPictureType(type));
    set("pmiDisplayAsVellumarkWallpaper", tile && isPictureType(tileType) && m_host.showsBackground());
    set("pmiDisplayAsDesktopWallpaper", tile && isPictureType(tileType));
    set("MediaCopy", cur != nullptr);
    set("MediaCut", cur != nullptr && library);
    set("MediaPaste", library && !m_host.clipboard().isEmpty());
    set("MediaSelectAll", !items().isEmpty());
}

void TFolder::printItem(TDbMedia *item)
{
    const TDbMedia *m = item ? (item->MirrorOf ? item->MirrorOf : item) : nullptr;
    if (!m || m->SubFolder || !isPictureType(m->Rec.MediaType)) {
        m_host.ui().showMessage(vkMessage("SelectSingleImage"), UiServices::Icon::Warning);
        return;
    }
    m_host.printMedia(item->MirrorOf ? item->MirrorOf : item);
}

bool TFolder::ApplyTileSize(int width, int height, int border)
{
    if (!m_folder || !m_folder->MediaList)
        return false;
    m_folder->MediaList->TileWidth = width;
    m_folder->MediaList->TileHeight = height;
    m_folder->MediaList->TileBorder = border;
    m_folder->Rec.Width = width;
    m_folder->Rec.Height = height;
    m_folder->Rec.BorderWidth = border;
    listChanged();
    return WriteFolderTileSize(m_host.roots().connection(), m_folder->Rec.OID, width, height, border);
}

} // namespace vk
