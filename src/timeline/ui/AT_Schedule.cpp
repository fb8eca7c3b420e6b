#include "AT_Schedule.h"

#include "Connection.h"
#include "DelayFormFile.h"
#include "EditedSlide.h"
#include "Icons.h"
#include "JumpUnit.h"
#include "LabelUnit.h"
#include "LoopUnit.h"
#include "ObjectKinds.h"
#include "PauseFormFile.h"
#include "TimeScale.h"
#include "stopFormFile.h"

#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace vk {

namespace {

constexpr int LeftColumn = 30;  // the rows' icons
constexpr int ScaleHeight = 26; // the ruler's scale; the flag icons below it
constexpr int RulerHeight = 46;
constexpr int Origin = 8; // time 0 this far right of the left column, so flags at 0 show
constexpr int EdgeSlack = 4;

// The kinds in the order of the flag buttons.
constexpr std::array<FlagKind, 6> ButtonKinds{FlagKind::Delay, FlagKind::Pause, FlagKind::Stop,
                                              FlagKind::Jump,  FlagKind::Label, FlagKind::LoopStart};

QString secondsText(qint64 t)
{
    const QString sign = t < 0 ? QStringLiteral("-") : QString();
    t = qAbs(t);
    return sign + QString::number(t / 100) + QLatin1Char('.') + QStringLiteral("%1").arg(t % 100, 2, 10, QLatin1Char('0'));
}

// Seconds as typed ("12", "2.3", ".5") in hundredths, the further digits cut off; false when
// the text holds no number or one too long for a timeline.
bool hundredthsOf(const QString &text, int *t)
{
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? text : text.left(dot);
    QString fraction = dot < 0 ? QString() : text.mid(dot + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return false;
    fraction = (fraction + QStringLiteral("00")).left(2);
    bool ok = true;
    const qint64 seconds = whole.isEmpty() ? 0 : whole.toLongLong(&ok);
    if (!ok || whole.size() > 10)
        return false;
    const qint64 value = seconds * 100 + fraction.toInt();
    if (value > std::numeric_limits<int>::max())
        return false;
    *t = int(value);
    return true;
}

QString iconOfKind(int kind)
{
    if (isImageKind(kind))
        return QStringLiteral("image");
    if (isAudioKind(kind))
        return QStringLiteral("audio");
    if (isVideoKind(kind))
        return QStringLiteral("video");
    switch (kind) {
    case ObjectKind::Text:
        return QStringLiteral("text");
    case ObjectKind::Button:
        return QStringLiteral("button");
    case ObjectKind::Memo:
        return QStringLiteral("memo");
    case ObjectKind::Rectangle:
        return QStringLiteral("rectangle");
    case ObjectKind::RoundRectangle:
        return QStringLiteral("roundrect");
    case ObjectKind::Ellipse:
        return QStringLiteral("ellipse");
    case ObjectKind::LineDown:
    case ObjectKind::LineUp:
        return QStringLiteral("line");
    case ObjectKind::Polyline:
        return QStringLiteral("polyline");
    default:
        return QString();
    }
}

} // namespace

QColor TimelineBarColor(int kind)
{
    if (isImageKind(kind))
        return QColor(128, 128, 128);
    if (isAudioKind(kind))
        return QColor(0, 128, 0);
    if (isVideoKind(kind))
        return QColor(128, 128, 0);
    switch (kind) {
    case ObjectKind::Text:
        return QColor(255, 0, 255);
    case ObjectKind::Button:
        return QColor(0, 255, 0);
    case ObjectKind::Memo:
        return QColor(0, 255, 255);
    case ObjectKind::Rectangle:
        return QColor(128, 0, 0);
    case ObjectKind::RoundRectangle:
        return QColor(0, 0, 128);
    case ObjectKind::Ellipse:
        return QColor(128, 0, 128);
    case ObjectKind::LineDown:
        return QColor(0, 128, 128);
    case ObjectKind::LineUp:
        return QColor(255, 0, 0);
    case ObjectKind::Polyline:
        return QColor(0, 0, 255);
    default:
        return Qt::black;
    }
}

void PaintFlagIcon(QPainter &p, const QRect &r, FlagKind kind)
{
    QColor color;
    QString letter;
    switch (kind) {
    case FlagKind::Delay:
        color = QColor(230, 140, 0);
        letter = QStringLiteral("D");
        break;
    case FlagKind::Pause:
        color = QColor(30, 90, 220);
        letter = QStringLiteral("P");
        break;
    case FlagKind::Stop:
        color = QColor(200, 0, 0);
        letter = QStringLiteral("S");
        break;
    case FlagKind::LoopStart:
    case FlagKind::LoopEnd:
        color = QColor(0, 140, 60);
        letter = QStringLiteral("L");
        break;
    case FlagKind::Jump:
        color = QColor(130, 40, 170);
        letter = QStringLiteral("J");
        break;
    case FlagKind::Label:
        color = QColor(150, 120, 0);
        letter = QStringLiteral("A");
        break;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    // A pole at the flag's time and a pennant beside it; a loop's end points back.
    const bool back = kind == FlagKind::LoopEnd;
    const int pole = back ? r.right() - 1 : r.left() + 1;
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(pole, r.top(), pole, r.bottom());
    QPainterPath pennant;
    const int tip = back ? r.left() : r.right();
    pennant.moveTo(pole, r.top());
    pennant.lineTo(tip, r.top() + r.height() * 0.3);
    pennant.lineTo(pole, r.top() + r.height() * 0.65);
    pennant.closeSubpath();
    p.setBrush(color);
    p.drawPath(pennant);
    QFont f = p.font();
    f.setPixelSize(std::max(6, r.height() / 2));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    const QRect text(std::min(pole, tip), r.top(), std::abs(tip - pole), int(r.height() * 0.65));
    p.drawText(text, Qt::AlignCenter, letter);
    p.restore();
}

// ---------------------------------------------------------------------------------------------
// The ruler, the rows and their bars, painted from the edited slide.

class TTimelineView : public QWidget
{
public:
    explicit TTimelineView(TfrmSchedule &table) : QWidget(&table), t(table)
    {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumHeight(RulerHeight + 3 * 22);
        // A drag held past either edge scrolls the table on, a page at a time.
        edgeTimer.setInterval(300);
        connect(&edgeTimer, &QTimer::timeout, this, [this] { scrollAtEdge(); });
    }

    int hOffset = 0; // pixels scrolled to the right
    int topRow = 0;

    int timeX(qint64 time) const { return LeftColumn + Origin - hOffset + t.timeToPixels(time); }
    int xTime(int x) const { return t.pixelsToTime(std::max(0, x - LeftColumn - Origin + hOffset)); }
    int rowTop(int row) const { return RulerHeight + (row - topRow) * t.RowHeight; }
    int rowAt(int y) const
    {
        if (y < RulerHeight)
            return -1;
        const int row = topRow + (y - RulerHeight) / t.RowHeight;
        return row < t.rowCount() ? row : -1;
    }
    QRect barOf(const TDbObject *o, int row) const
    {
        qint64 left = o->Rec.Bar_Left, width = o->Rec.Bar_Width;
        if (const auto it = proposed.constFind(o); it != proposed.cend()) {
            left = it->first;
            width = it->second;
        }
        const int x = timeX(left);
        return QRect(x, rowTop(row) + t.BarTop, std::max(1, t.timeToPixels(left + width) - t.timeToPixels(left)),
                     t.BarHeight);
    }
    QRect iconOf(const TDbFlag *f) const
    {
        const int x = timeX(f->Rec.Flag_StartTime) + (f == dragFlag ? dragDx : 0);
        const int w = 12, h = RulerHeight - ScaleHeight - 4;
        return f->kind() == FlagKind::LoopEnd ? QRect(x - w + 1, ScaleHeight + 2, w, h)
                                              : QRect(x, ScaleHeight + 2, w, h);
    }
    TDbFlag *flagAt(QPoint p) const
    {
        const QList<TDbFlag *> &flags = t.m_edited.flags().Flags;
        for (qsizetype i = flags.size() - 1; i >= 0; --i)
            if (iconOf(flags[i]).adjusted(-2, -2, 2, 2).contains(p))
                return flags[i];
        return nullptr;
    }
    int maxRight() const
    {
        int right = 0;
        for (const TDbObject *o : t.rows())
            right = std::max(right, t.timeToPixels(qint64(o->Rec.Bar_Left) + o->Rec.Bar_Width));
        return right;
    }

    // A bar drag in progress: each selected object's proposed start and length.
    enum class Drag
    {
        None,
        Move,
        ResizeLeft,
        ResizeRight
    } drag = Drag::None;
    QHash<const TDbObject *, std::pair<qint64, qint64>> proposed;
    TDbObject *dragObject = nullptr;
    int dragX = 0;
    bool dragMoved = false;
    TDbFlag *dragFlag = nullptr;
    int dragDx = 0;
    bool cursorDragging = false;
    QTimer edgeTimer;
    int edgeDir = 0;
    QPoint lastPos;

    bool dragging() const { return dragFlag || cursorDragging || drag != Drag::None; }
    // Follows a drag to `pos`; false when nothing is being dragged.
    bool dragTo(QPoint pos);
    void scrollAtEdge();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void resizeEvent(QResizeEvent *) override { t.layoutScrollBars(); }

public:
    // The drags end, applied as one step, or put back (Escape, play starting).
    void endBarDrag(bool apply);
    void endFlagDrag(bool apply);

private:
    void paintRuler(QPainter &p);

    TfrmSchedule &t;
};

void TTimelineView::paintRuler(QPainter &p)
{
    const QPalette pal = palette();
    p.fillRect(QRect(0, 0, width(), RulerHeight), pal.button());
    p.setPen(pal.dark().color());
    p.drawLine(0, RulerHeight - 1, width(), RulerHeight - 1);
    p.drawLine(0, ScaleHeight, width(), ScaleHeight);
    // Ticks every second when they are far enough apart, figures where they fit.
    const int second = t.timeToPixels(100);
    int every = 1;
    while (t.timeToPixels(100 * every) < 6)
        every *= 2;
    int label = every;
    while (t.timeToPixels(100 * label) < 48)
        label += every;
    QFont f = font();
    f.setPointSizeF(std::max(6.0, f.pointSizeF() - 1 + t.m_fontDelta));
    p.setFont(f);
    p.setPen(pal.buttonText().color());
    const int first = std::max(0, xTime(LeftColumn) / 100 / every * every);
    for (int s = first;; s += every) {
        const int x = timeX(qint64(s) * 100);
        if (x > width())
            break;
        if (x < LeftColumn)
            continue;
        const bool figure = s % label == 0;
        p.drawLine(x, ScaleHeight - (figure ? 9 : 4), x, ScaleHeight);
        if (figure)
            p.drawText(QRect(x - 30, 2, 60, ScaleHeight - 11), Qt::AlignHCenter | Qt::AlignBottom,
                       QString::number(s));
        if (second >= 40) // half seconds too
            p.drawLine(x + second / 2, ScaleHeight - 2, x + second / 2, ScaleHeight);
    }
    // The flags, and the outlines of the selected one and its partner.
    const TDbFlagList &flags = t.m_edited.flags();
    for (const TDbFlag *flag : flags.Flags) {
        const QRect r = iconOf(flag);
        PaintFlagIcon(p, r, flag->kind());
        const TDbFlag *sel = flags.Selected;
        if (sel && (flag == sel || flag == flags.Partner(sel))) {
            p.setPen(QPen(Qt::red, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(-2, -1, 1, 0));
        }
    }
}

void TTimelineView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette pal = palette();
    p.fillRect(rect(), pal.base());
    const QList<TDbObject *> rows = t.rows();
    QFont titleFont = font();
    titleFont.setPointSizeF(std::max(6.0, titleFont.pointSizeF() + t.m_fontDelta));
    titleFont.setBold(false);
    for (int i = topRow; i < rows.size(); ++i) {
        const int top = rowTop(i);
        if (top > height())
            break;
        const TDbObject *o = rows[i];
        const QRect row(LeftColumn, top, width() - LeftColumn, t.RowHeight);
        p.fillRect(row, i % 2 ? pal.alternateBase() : pal.base());
        p.setPen(pal.mid().color());
        p.drawLine(row.bottomLeft(), row.bottomRight());
        const QRect bar = barOf(o, i);
        const bool selected = o->Selected;
        p.setPen(QPen(Qt::black, selected ? 3 : 1));
        p.setBrush(TimelineBarColor(o->kind()));
        p.drawRect(bar.adjusted(0, 0, -1, -1));
        p.setFont(titleFont);
        p.setPen(Qt::black);
        p.drawText(QRect(bar.right() + 6, top, 2000, t.RowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   QLatin1Char('[') + o->Rec.Title + QLatin1Char(']'));
        if (o->Disabled)
            p.fillRect(row, QBrush(Qt::black, Qt::BDiagPattern));
        // The kind's icon in the left column.
        const QRect cell(0, top, LeftColumn, t.RowHeight);
        p.fillRect(cell, o->Disabled ? QColor(128, 128, 128) : pal.button().color());
        const QString icon = iconOfKind(o->kind());
        if (!icon.isEmpty()) {
            const int h = t.BarHeight + 4, w = h * 4 / 3;
            vkIcon(icon).paint(&p, QRect((LeftColumn - w) / 2, top + (t.RowHeight - h) / 2, w, h));
        }
    }
    if (drag != Drag::None && dragMoved) {
        // The drag outlines over the bars.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(pal.color(QPalette::Inactive, QPalette::Highlight), 2));
        for (int i = 0; i < rows.size(); ++i)
            if (proposed.contains(rows[i]))
                p.drawRect(barOf(rows[i], i));
    }
    paintRuler(p);
    // The time cursor: a marker on the scale and a line down the rows.
    const int x = timeX(t.m_cursor);
    if (x >= LeftColumn) {
        p.setPen(QPen(QColor(200, 0, 0), 1));
        p.drawLine(x, ScaleHeight, x, height());
        QPolygon marker({QPoint(x - 5, 2), QPoint(x + 5, 2), QPoint(x, 10)});
        p.setBrush(QColor(200, 0, 0));
        p.drawPolygon(marker);
    }
    p.fillRect(QRect(0, 0, LeftColumn, RulerHeight), pal.window());
    if (hasFocus()) {
        p.setPen(QPen(pal.highlight().color(), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TTimelineView::mousePressEvent(QMouseEvent *e)
{
    setFocus(Qt::MouseFocusReason);
    if (t.m_playing || e->button() != Qt::LeftButton || !t.m_edited.isOpen())
        return;
    const QPoint pos = e->position().toPoint();
    EditedSlide &edited = t.m_edited;
    if (pos.y() < RulerHeight) {
        if (TDbFlag *flag = pos.y() >= ScaleHeight ? flagAt(pos) : nullptr) {
            edited.clearSelection();
            t.clearTimes();
            edited.selectFlag(flag);
            dragFlag = flag;
            dragX = pos.x();
            dragDx = 0;
            dragMoved = false;
            return;
        }
        if (const std::optional<FlagKind> kind = t.flagButtonDown()) {
            t.NewFlag(*kind, xTime(pos.x()));
            return;
        }
        cursorDragging = true;
        t.setCursorTime(xTime(pos.x()));
        return;
    }
    const int row = rowAt(pos.y());
    const QList<TDbObject *> rows = t.rows();
    TDbObject *o = row >= 0 ? rows[row] : nullptr;
    const QRect bar = o ? barOf(o, row) : QRect();
    if (!o || !bar.adjusted(-EdgeSlack, 0, EdgeSlack, 0).contains(pos)) {
        edited.clearSelection();
        edited.selectFlag(nullptr);
        t.clearTimes();
        return;
    }
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (shift) {
        if (o->Selected)
            edited.deselect(o);
        else
            edited.addToSelection(o);
    } else {
        if (!o->Selected)
            edited.selectOnly(o);
        t.showTimesOf(o);
    }
    edited.selectFlag(nullptr);
    if (!o->Selected || shift)
        return;
    if (std::abs(pos.x() - bar.left()) <= EdgeSlack && bar.width() > 2 * EdgeSlack)
        drag = Drag::ResizeLeft;
    else if (std::abs(pos.x() - bar.right()) <= EdgeSlack)
        drag = Drag::ResizeRight;
    else
        drag = Drag::Move;
    dragObject = o;
    dragX = pos.x();
    dragMoved = false;
    proposed.clear();
    for (const TDbObject *s : edited.selection())
        proposed.insert(s, {s->Rec.Bar_Left, s->Rec.Bar_Width});
}

void TTimelineView::scrollAtEdge()
{
    if (!dragging() || edgeDir == 0) {
        edgeTimer.stop();
        return;
    }
    const int before = t.m_hbar->value();
    t.m_hbar->setValue(before + edgeDir * t.m_hbar->pageStep());
    const int moved = t.m_hbar->value() - before;
    if (moved == 0) {
        edgeTimer.stop();
        return;
    }
    // What is dragged stays under the pointer while the table moves beneath it.
    dragX -= moved;
    dragTo(lastPos);
}

void TTimelineView::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    lastPos = pos;
    if ((e->buttons() & Qt::LeftButton) && dragging()) {
        edgeDir = pos.x() > width() - 8 ? 1 : pos.x() < LeftColumn + 4 ? -1 : 0;
        if (edgeDir == 0)
            edgeTimer.stop();
        else if (!edgeTimer.isActive())
            edgeTimer.start();
        dragTo(pos);
        return;
    }
    // The sizing cursor near either end of a bar.
    const int row = rowAt(pos.y());
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (row >= 0) {
        const QRect bar = barOf(t.rows()[row], row);
        if (bar.adjusted(-EdgeSlack, 0, EdgeSlack, 0).contains(pos) &&
            (std::abs(pos.x() - bar.left()) <= EdgeSlack || std::abs(pos.x() - bar.right()) <= EdgeSlack))
            shape = Qt::SizeHorCursor;
    }
    setCursor(shape);
}

bool TTimelineView::dragTo(QPoint pos)
{
    if (dragFlag) {
        // Between 0 and the last bar's end; a loop's start stays left of its end and the end
        // right of its start.
        const TDbFlagList &flags = t.m_edited.flags();
        const int from = timeX(dragFlag->Rec.Flag_StartTime);
        int x = std::clamp(from + pos.x() - dragX, timeX(0), std::max(timeX(0), LeftColumn + Origin - hOffset + maxRight()));
        if (const TDbFlag *partner = flags.Partner(dragFlag)) {
            const int other = timeX(partner->Rec.Flag_StartTime);
            x = dragFlag->kind() == FlagKind::LoopStart ? std::min(x, other - 1) : std::max(x, other + 1);
        }
        dragDx = x - from;
        dragMoved = dragMoved || dragDx != 0;
        update();
        return true;
    }
    if (cursorDragging) {
        t.setCursorTime(xTime(pos.x()));
        return true;
    }
    if (drag != Drag::None) {
        const qint64 dt = t.pixelsToTime(pos.x() - dragX);
        dragMoved = dragMoved || pos.x() != dragX;
        for (auto it = proposed.begin(); it != proposed.end(); ++it) {
            const TsObject &r = it.key()->Rec;
            const qint64 left = r.Bar_Left, width = r.Bar_Width, end = left + width;
            switch (drag) {
            case Drag::Move:
                // The bar keeps its length, whatever the scale rounds.
                it->first = std::max<qint64>(0, left + dt);
                it->second = width;
                break;
            case Drag::ResizeRight:
                it->first = left;
                it->second = std::max<qint64>(1, width + dt);
                break;
            case Drag::ResizeLeft:
                it->first = std::clamp<qint64>(left + dt, 0, std::max<qint64>(0, end - t.pixelsToTime(5)));
                it->second = std::max<qint64>(1, end - it->first);
                break;
            case Drag::None:
                break;
            }
        }
        if (const auto it = proposed.constFind(dragObject); it != proposed.cend())
            t.showTimes(int(it->first), int(it->second));
        update();
        return true;
    }
    return false;
}

void TTimelineView::endBarDrag(bool apply)
{
    edgeTimer.stop();
    EditedSlide &edited = t.m_edited;
    if (apply && dragMoved) {
        // Every selected bar together: one step.
        edited.beginDrag();
        for (auto it = proposed.cbegin(); it != proposed.cend(); ++it)
            edited.requestSetBar(const_cast<TDbObject *>(it.key()), int(it->first), int(std::max<qint64>(1, it->second)));
        edited.endDrag();
        if (t.cursorMoved)
            t.cursorMoved(t.m_cursor);
    }
    drag = Drag::None;
    proposed.clear();
    dragMoved = false;
    if (!edited.selection().isEmpty())
        t.showTimesOf(edited.selection().first());
    update();
}

void TTimelineView::endFlagDrag(bool apply)
{
    edgeTimer.stop();
    TDbFlag *flag = dragFlag;
    const int x = flag ? timeX(flag->Rec.Flag_StartTime) + dragDx : 0;
    const bool moved = dragMoved;
    dragFlag = nullptr;
    dragDx = 0;
    dragMoved = false;
    // What the slide refuses goes back where it was: the icon is drawn from the flag.
    if (apply && moved && flag)
        t.m_edited.requestMoveFlag(flag, xTime(x));
    update();
}

void TTimelineView::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    cursorDragging = false;
    edgeTimer.stop();
    if (dragFlag)
        endFlagDrag(true);
    if (drag != Drag::None)
        endBarDrag(true);
}

void TTimelineView::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (t.m_playing || e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    if (TDbFlag *flag = pos.y() >= ScaleHeight && pos.y() < RulerHeight ? flagAt(pos) : nullptr) {
        dragFlag = nullptr;
        t.EditFlag(flag);
    }
}

void TTimelineView::contextMenuEvent(QContextMenuEvent *e)
{
    if (t.m_playing || rowAt(e->pos().y()) < 0)
        return;
    const bool two = t.m_edited.selection().size() >= 2;
    for (QAction *a : t.m_rowMenu->actions())
        a->setEnabled(two);
    t.m_rowMenu->popup(e->globalPos());
}

void TTimelineView::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && (drag != Drag::None || dragFlag)) {
        endBarDrag(false);
        endFlagDrag(false);
        return;
    }
    if (t.m_playing) {
        QWidget::keyPressEvent(e);
        return;
    }
    const int step = std::max(1, t.pixelsToTime(1));
    switch (e->key()) {
    case Qt::Key_Delete:
        t.DeleteSelected();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Insert:
        // From the keyboard: a flag of the kind whose button is down at the cursor, or the
        // selected flag's dialog.
        if (const std::optional<FlagKind> kind = t.flagButtonDown())
            t.NewFlag(*kind, t.m_cursor);
        else if (TDbFlag *selected = t.m_edited.flags().Selected)
            t.EditFlag(selected);
        break;
    case Qt::Key_Left:
        t.setCursorTime(t.m_cursor - step);
        break;
    case Qt::Key_Right:
        t.setCursorTime(t.m_cursor + step);
        break;
    case Qt::Key_Home:
        t.setCursorTime(0);
        break;
    case Qt::Key_End:
        t.setCursorTime(t.m_edited.maxTime());
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        t.ZoomIn();
        break;
    case Qt::Key_Minus:
        t.ZoomOut();
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}

void TTimelineView::wheelEvent(QWheelEvent *e)
{
    QScrollBar *bar = (e->modifiers() & Qt::ShiftModifier) || e->angleDelta().x() ? t.m_hbar : t.m_vbar;
    const int delta = e->angleDelta().y() ? e->angleDelta().y() : e->angleDelta().x();
    bar->setValue(bar->value() - (delta > 0 ? 1 : -1) * (bar == t.m_hbar ? 50 : 1));
}

// ---------------------------------------------------------------------------------------------
// The table

TfrmSchedule::TfrmSchedule(EditedSlide &edited, QWidget *parent) : QWidget(parent), m_edited(edited)
{
    setWindowTitle(QStringLiteral("Timeline Table"));
    QFont bold = font();
    bold.setBold(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto tool = [this](const QString &hint, const QIcon &icon, const QString &text) {
        auto *b = new QToolButton(this);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        if (icon.isNull())
            b->setText(text);
        else
            b->setIcon(icon);
        b->setAutoRaise(true);
        return b;
    };
    // The top strip: delete, the zooms, the cursor's time and the flag buttons.
    auto *strip = new QHBoxLayout;
    m_delete = tool(QStringLiteral("Delete Object"), vkIcon(QStringLiteral("delete")), QStringLiteral("Del"));
    m_zoomOut = tool(QStringLiteral("Contract Table Scale"), QIcon(), QStringLiteral("-"));
    m_zoomIn = tool(QStringLiteral("Expand Table Scale"), QIcon(), QStringLiteral("+"));
    m_vzoomOut = tool(QStringLiteral("Decrease Timeline Height"), QIcon(), QStringLiteral("\u2193"));
    m_vzoomIn = tool(QStringLiteral("Increase Timeline Height"), QIcon(), QStringLiteral("\u2191"));
    for (QToolButton *b : {m_delete, m_zoomOut, m_zoomIn, m_vzoomOut, m_vzoomIn})
        strip->addWidget(b);
    connect(m_delete, &QToolButton::clicked, this, &TfrmSchedule::DeleteSelected);
    connect(m_zoomOut, &QToolButton::clicked, this, &TfrmSchedule::ZoomOut);
    connect(m_zoomIn, &QToolButton::clicked, this, &TfrmSchedule::ZoomIn);
    connect(m_vzoomOut, &QToolButton::clicked, this, &TfrmSchedule::VZoomOut);
    connect(m_vzoomIn, &QToolButton::clicked, this, &TfrmSchedule::VZoomIn);
    auto *validator = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), this);
    auto timeBox = [this, validator](bool readOnly) {
        auto *box = new QLineEdit(this);
        box->setValidator(validator);
        box->setReadOnly(readOnly);
        box->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000.00")) + 12);
        if (!readOnly) {
            connect(box, &QLineEdit::editingFinished, this, [this, box] { applyTimeBox(box); });
            connect(box, &QLineEdit::returnPressed, box, &QLineEdit::selectAll);
        }
        return box;
    };
    strip->addSpacing(12);
    CurrentTime = timeBox(false);
    CurrentTime->setAccessibleName(QStringLiteral("Cursor time"));
    auto *seconds = new QLabel(QStringLiteral("seconds"), this);
    seconds->setBuddy(CurrentTime);
    strip->addWidget(CurrentTime);
    strip->addWidget(seconds);
    strip->addSpacing(12);
    for (size_t i = 0; i < ButtonKinds.size(); ++i) {
        const FlagKind kind = ButtonKinds[i];
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            PaintFlagIcon(p, QRect(2, 1, 12, 14), kind);
        }
        QToolButton *b = tool(FlagKindWord(kind), QIcon(pm), FlagKindWord(kind));
        b->setCheckable(true);
        // At most one is down, and a second click puts it up again.
        connect(b, &QToolButton::toggled, this, [this, b](bool down) {
            if (!down)
                return;
            for (QToolButton *other : m_flagButtons)
                if (other && other != b)
                    other->setChecked(false);
        });
        m_flagButtons[size_t(kind)] = b;
        strip->addWidget(b);
    }
    strip->addStretch();
    layout->addLayout(strip);

    // The edit strip: the selected bars' times.
    auto *edits = new QHBoxLayout;
    auto labelled = [this, edits](const QString &text, QLineEdit *box) {
        auto *label = new QLabel(text, this);
        label->setBuddy(box);
        edits->addWidget(label);
        edits->addWidget(box);
        edits->addSpacing(8);
    };
    StartTime = timeBox(false);
    EndTime = timeBox(false);
    ObjectTimeLength = timeBox(false);
    MaxTimeEdit = timeBox(true);
    MaxTimeEdit->setFocusPolicy(Qt::ClickFocus);
    labelled(QStringLiteral("&Start:"), StartTime);
    labelled(QStringLiteral("&End:"), EndTime);
    labelled(QStringLiteral("Len&gth:"), ObjectTimeLength);
    labelled(QStringLiteral("Total Time:"), MaxTimeEdit);
    edits->addStretch();
    layout->addLayout(edits);

    auto *grid = new QGridLayout;
    grid->setSpacing(0);
    m_view = new TTimelineView(*this);
    m_view->setAccessibleName(QStringLiteral("Timeline"));
    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_hbar->setSingleStep(10);
    m_hbar->setPageStep(50);
    grid->addWidget(m_view, 0, 0);
    grid->addWidget(m_vbar, 0, 1);
    grid->addWidget(m_hbar, 1, 0);
    layout->addLayout(grid, 1);
    connect(m_hbar, &QScrollBar::valueChanged, this, [this](int v) {
        m_view->hOffset = v;
        m_view->update();
    });
    connect(m_vbar, &QScrollBar::valueChanged, this, [this](int v) {
        m_view->topRow = v;
        m_view->update();
    });

    m_rowMenu = new QMenu(this);
    const struct
    {
        const char *text;
        BarAlignment how;
    } aligns[] = {{"Align &Left Edges", BarAlignment::LeftEdges},
                  {"Align &Right Edges", BarAlignment::RightEdges},
                  {"L&ength Equally", BarAlignment::LengthEqual},
                  {"&Objects Equally", BarAlignment::ObjectsEqual},
                  {"Objects &Series", BarAlignment::Series}};
    for (const auto &a : aligns) {
        const BarAlignment how = a.how;
        connect(m_rowMenu->addAction(QString::fromLatin1(a.text)), &QAction::triggered, this, [this, how] {
            m_edited.requestAlignBars(how);
        });
    }

    m_dialogs[size_t(FlagKind::Delay)] = std::make_unique<TDelayForm>(edited, this);
    m_dialogs[size_t(FlagKind::Pause)] = std::make_unique<TPauseForm>(edited, this);
    m_dialogs[size_t(FlagKind::Stop)] = std::make_unique<TStopForm>(edited, this);
    m_dialogs[size_t(FlagKind::LoopStart)] = std::make_unique<TLoopForm>(edited, this);
    m_dialogs[size_t(FlagKind::Jump)] = std::make_unique<TJumpForm>(edited, this);
    m_dialogs[size_t(FlagKind::Label)] = std::make_unique<TLabelForm>(edited, this);
    runDialog = [](TFlagForm *form, TDbFlag *flag, int time) { return form->Execute(flag, time); };

    followModel();
    refresh();
}

TfrmSchedule::~TfrmSchedule()
{
    // The dialogs are children too: let the owners go first.
    for (auto &d : m_dialogs)
        d.reset();
}

int TfrmSchedule::unit() const
{
    return TimeScaleUnits[size_t(std::clamp(ZoomIndex, 0, int(TimeScaleUnits.size()) - 1))];
}

int TfrmSchedule::timeToPixels(qint64 t) const
{
    return TimeToPixels(t, unit());
}

int TfrmSchedule::pixelsToTime(qint64 x) const
{
    return PixelsToTime(x, unit());
}

QList<TDbObject *> TfrmSchedule::rows() const
{
    return m_edited.objects();
}

int TfrmSchedule::rowCount() const
{
    return int(rows().size());
}

void TfrmSchedule::followModel()
{
    const auto again = [this] { refresh(); };
    connect(&m_edited, &EditedSlide::slideChanged, this, [this] {
        m_cursor = 0;
        m_view->topRow = 0;
        m_hbar->setValue(0);
        clearTimes();
        const TDbSlide *s = m_edited.slide();
        setWindowTitle(s ? s->Rec.Slide_Title + QStringLiteral(" - ") + QStringLiteral("Timeline Table")
                         : QStringLiteral("Timeline Table"));
        refresh();
    });
    connect(&m_edited, &EditedSlide::objectsChanged, this, [this] {
        if (!m_edited.selection().isEmpty())
            showTimesOf(m_edited.selection().first());
        refresh();
    });
    connect(&m_edited, &EditedSlide::reset, this, again);
    connect(&m_edited, &EditedSlide::objectShown, this, again);
    connect(&m_edited, &EditedSlide::objectGone, this, again);
    connect(&m_edited, &EditedSlide::objectHidden, this, again);
    connect(&m_edited, &EditedSlide::flagsChanged, this, again);
    connect(&m_edited, &EditedSlide::stateChanged, this, again);
    connect(&m_edited, qOverload<>(&EditedSlide::selectionChanged), this, [this] {
        const QList<TDbObject *> chosen = m_edited.selection();
        if (chosen.isEmpty())
            clearTimes();
        else
            showTimesOf(chosen.first());
        m_view->update();
    });
}

void TfrmSchedule::refresh()
{
    MaxTimeEdit->setText(secondsText(m_edited.maxTime()));
    if (!CurrentTime->hasFocus())
        CurrentTime->setText(secondsText(m_cursor));
    const bool rowsThere = rowCount() > 0;
    m_vzoomIn->setEnabled(rowsThere && BarHeight < 20);
    m_vzoomOut->setEnabled(rowsThere && BarHeight >= 5 + 4);
    m_zoomIn->setEnabled(ZoomIndex > 0);
    m_zoomOut->setEnabled(ZoomIndex < int(TimeScaleUnits.size()) - 1);
    m_delete->setEnabled(!m_playing && m_edited.isOpen() &&
                         (!m_edited.selection().isEmpty() || m_edited.flags().Selected));
    setFlagButtonsEnabled();
    layoutScrollBars();
    m_view->update();
}

void TfrmSchedule::layoutScrollBars()
{
    // Wide enough for the last bar and its title, and some room to drag beyond.
    const QFontMetrics fm(m_view->font());
    int right = m_view->maxRight() + 300;
    for (const TDbObject *o : rows())
        right = std::max(right, timeToPixels(qint64(o->Rec.Bar_Left) + o->Rec.Bar_Width) + 6 +
                                    fm.horizontalAdvance(QLatin1Char('[') + o->Rec.Title + QLatin1Char(']')) + 100);
    right = std::max(right, timeToPixels(m_cursor) + 100);
    const int visible = std::max(0, m_view->width() - LeftColumn - Origin);
    m_hbar->setRange(0, std::max(0, right - visible));
    m_vbar->setRange(0, std::max(0, rowCount() - 1));
}

void TfrmSchedule::setFlagButtonsEnabled()
{
    const bool can = m_edited.isOpen() && !m_playing;
    for (QToolButton *b : m_flagButtons)
        if (b) {
            if (!can)
                b->setChecked(false);
            b->setEnabled(can);
            b->setVisible(!m_playing);
        }
}

bool TfrmSchedule::ZoomIn()
{
    return setZoomIndex(ExpandedZoomIndex(ZoomIndex));
}

bool TfrmSchedule::ZoomOut()
{
    return setZoomIndex(ContractedZoomIndex(ZoomIndex));
}

bool TfrmSchedule::setZoomIndex(int index)
{
    if (index == ZoomIndex)
        return false;
    // Keep the cursor where it was on the screen.
    const int before = timeToPixels(m_cursor) - m_hbar->value();
    ZoomIndex = index;
    m_edited.selectFlag(nullptr);
    refresh();
    m_hbar->setValue(std::max(0, timeToPixels(m_cursor) - before));
    return true;
}

bool TfrmSchedule::VZoomIn()
{
    if (rowCount() == 0 || BarHeight >= 20)
        return false;
    RowHeight += 4;
    BarHeight += 4;
    m_fontDelta += 3;
    refresh();
    return true;
}

bool TfrmSchedule::VZoomOut()
{
    if (rowCount() == 0 || BarHeight < 5 + 4)
        return false;
    RowHeight -= 4;
    BarHeight -= 4;
    m_fontDelta -= 3;
    refresh();
    return true;
}

void TfrmSchedule::setCursorTime(int t, bool show)
{
    const int end = std::max(m_edited.maxTime(), 0);
    t = std::clamp(t, 0, m_playing ? std::max(t, 0) : end);
    if (t == m_cursor && CurrentTime->text() == secondsText(t))
        return;
    m_cursor = t;
    CurrentTime->setText(secondsText(t));
    // Keep the cursor in sight.
    const int x = timeToPixels(t);
    const int visible = std::max(1, m_view->width() - LeftColumn - Origin);
    if (x < m_hbar->value() || x > m_hbar->value() + visible) {
        layoutScrollBars();
        m_hbar->setValue(std::max(0, x - visible / 2));
    }
    if (show && cursorMoved)
        cursorMoved(t);
    m_view->update();
}

void TfrmSchedule::setPlaying(bool on)
{
    m_playing = on;
    for (QLineEdit *box : {StartTime, EndTime, ObjectTimeLength, CurrentTime})
        box->setReadOnly(on);
    if (on) {
        m_view->endBarDrag(false);
        m_view->endFlagDrag(false);
    }
    refresh();
}

void TfrmSchedule::showTimes(int start, int length)
{
    StartTime->setText(secondsText(start));
    EndTime->setText(secondsText(qint64(start) + length));
    ObjectTimeLength->setText(secondsText(length));
    for (QLineEdit *box : {StartTime, EndTime, ObjectTimeLength})
        box->setModified(false);
}

void TfrmSchedule::showTimesOf(const TDbObject *o)
{
    if (o)
        showTimes(o->Rec.Bar_Left, o->Rec.Bar_Width);
}

void TfrmSchedule::clearTimes()
{
    for (QLineEdit *box : {StartTime, EndTime, ObjectTimeLength}) {
        box->clear();
        box->setModified(false);
    }
}

void TfrmSchedule::applyTimeBox(QLineEdit *box)
{
    if (!box->isModified() || m_playing)
        return;
    box->setModified(false);
    int t = 0;
    const bool number = hundredthsOf(box->text(), &t);
    if (box == CurrentTime) {
        if (number)
            setCursorTime(t);
        else
            CurrentTime->setText(secondsText(m_cursor));
        return;
    }
    if (m_edited.selection().isEmpty()) {
        box->clear();
        return;
    }
    if (!number) {
        if (!box->text().isEmpty())
            m_edited.books().connection().report(QStringLiteral("'%1' is not a valid time in seconds.").arg(box->text()));
        showTimesOf(m_edited.selection().first());
        return;
    }
    if (box == StartTime)
        m_edited.requestSetBarStart(t);
    else if (box == EndTime)
        m_edited.requestSetBarEnd(t);
    else if (box == ObjectTimeLength)
        m_edited.requestSetBarLength(t);
    showTimesOf(m_edited.selection().first());
    if (cursorMoved)
        cursorMoved(m_cursor);
}

void TfrmSchedule::DeleteSelected()
{
    if (m_playing || !m_edited.isOpen())
        return;
    const QList<TDbObject *> chosen = m_edited.selection();
    if (!chosen.isEmpty()) {
        m_edited.clearSelection();
        m_edited.requestRemoveObjects(chosen);
        clearTimes();
    }
    if (TDbFlag *flag = m_edited.flags().Selected)
        m_edited.requestRemoveFlag(flag);
    m_edited.selectFlag(nullptr);
}

QToolButton *TfrmSchedule::flagButton(FlagKind kind) const
{
    return m_flagButtons[size_t(kind == FlagKind::LoopEnd ? FlagKind::LoopStart : kind)];
}

std::optional<FlagKind> TfrmSchedule::flagButtonDown() const
{
    for (FlagKind kind : ButtonKinds)
        if (m_flagButtons[size_t(kind)]->isChecked())
            return kind;
    return std::nullopt;
}

TFlagForm *TfrmSchedule::dialogFor(FlagKind kind) const
{
    return m_dialogs[size_t(kind == FlagKind::LoopEnd ? FlagKind::LoopStart : kind)].get();
}

bool TfrmSchedule::NewFlag(FlagKind kind, int time)
{
    if (m_playing || !m_edited.isOpen())
        return false;
    TFlagForm *form = dialogFor(kind);
    const bool made = runDialog(form, nullptr, std::max(0, time));
    if (made) {
        if (QToolButton *b = flagButton(kind))
            b->setChecked(false);
        m_edited.selectFlag(form->Flag());
    }
    refresh();
    return made;
}

bool TfrmSchedule::EditFlag(TDbFlag *flag)
{
    if (m_playing || !flag)
        return false;
    const bool changed = runDialog(dialogFor(flag->kind()), flag, flag->Rec.Flag_StartTime);
    refresh();
    return changed;
}

QRect TfrmSchedule::barRect(const TDbObject *o) const
{
    const int row = int(rows().indexOf(const_cast<TDbObject *>(o)));
    return row < 0 ? QRect() : m_view->barOf(o, row);
}

QRect TfrmSchedule::flagIconRect(const TDbFlag *flag) const
{
    return flag ? m_view->iconOf(flag) : QRect();
}

} // namespace vk
