#include "SlideBack.h"

#include "AT_DbClearbook.h"
#include "EditedSlide.h"
#include "Connection.h"
#include "Icons.h"
#include "MaskedStatement.h"
#include "MediaTypes.h"
#include "ObjectKinds.h"
#include "PictureFiles.h"
#include "SlideExplorerRules.h"
#include "UiServices.h"
#include "VideoFrames.h"

#include <QDrag>
#include <QLineF>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace vk {

namespace {

const QColor HandleColor(0, 128, 0);

QFont fontOf(const ObjectProperties &props, double zoom, bool memo)
{
    QFont f(props.FontName.isEmpty() ? QStringLiteral("Sans") : props.FontName);
    double size = std::trunc(props.FontSize * zoom);
    if (memo || size < 1)
        size = std::max(1.0, size);
    f.setPointSizeF(size);
    f.setBold(props.Bold);
    f.setItalic(props.Italic);
    f.setUnderline(props.Underline);
    f.setStrikeOut(props.StrikeOut);
    return f;
}

void drawArrowHead(QPainter &p, QPointF from, QPointF to, double size)
{
    const QLineF line(to, from);
    if (line.length() < 1)
        return;
    QLineF a = line, b = line;
    a.setLength(size);
    b.setLength(size);
    a.setAngle(line.angle() + 25);
    b.setAngle(line.angle() - 25);
    p.drawLine(a);
    p.drawLine(b);
}

} // namespace

Qt::PenStyle ShapePenStyle(int s)
{
    switch (s) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    case 5:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

Qt::BrushStyle ShapeBrushStyle(int s)
{
    switch (s) {
    case 1:
        return Qt::NoBrush;
    case 2:
        return Qt::HorPattern;
    case 3:
        return Qt::VerPattern;
    case 4:
        return Qt::FDiagPattern;
    case 5:
        return Qt::BDiagPattern;
    case 6:
        return Qt::CrossPattern;
    case 7:
        return Qt::DiagCrossPattern;
    default:
        return Qt::SolidPattern;
    }
}


// ---------------------------------------------------------------------------------------------
// View objects

QRect TDesignVisual::rect() const
{
    const TsObject &r = Object->Rec;
    return QRect(r.Left, r.Top, std::max(1, r.Width), std::max(1, r.Height));
}

bool TDesignVisual::hit(QPoint p) const
{
    const int kind = Object->kind();
    if (!isShapeKind(kind))
        return rect().contains(p);
    const ObjectProperties &props = Object->Props;
    ShapeHit s;
    s.code = shapeCodeOfKind(kind);
    s.rect = rect();
    s.penWidth = props.PenWidth;
    s.filled = props.BrushStyle != 1;
    s.withTouch = props.WithTouch;
    for (const QPointF &v : props.Points)
        s.points << v * linearZoom(Zoom);
    return hitShape(s, p);
}

void TDesignVisual::paint(QPainter &p, double zoom) const
{
    const QRect r = rect();
    const int kind = Object->kind();
    const double z = linearZoom(zoom);
    const ObjectProperties &props = Object->Props;
    p.save();
    if (isImageKind(kind) || isVideoKind(kind)) {
        if (!Picture.isNull())
            p.drawImage(r, Picture);
        else
            p.drawPixmap(r, vkIcon(isImageKind(kind) ? QStringLiteral("image") : QStringLiteral("video"))
                                .pixmap(std::min(r.width(), r.height())));
    } else if (isAudioKind(kind)) {
        const int side = std::min(r.width(), r.height());
        p.drawPixmap(QRect(r.left() + (r.width() - side) / 2, r.top() + (r.height() - side) / 2, side, side),
                     vkIcon(QStringLiteral("audio")).pixmap(side));
    } else if (kind == ObjectKind::Text) {
        if (!props.Transparent)
            p.fillRect(r, resolveColor(props.Color, QPalette()));
        p.setFont(fontOf(props, z, false));
        p.setPen(resolveColor(props.FontColor, QPalette()));
        p.drawText(r, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, Object->Rec.Caption);
    } else if (kind == ObjectKind::Button) {
        p.fillRect(r, QPalette().button());
        p.setPen(QPalette().light().color());
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(QPalette().shadow().color());
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setFont(fontOf(props, z, false));
        p.setPen(resolveColor(props.FontColor, QPalette()));
        p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, Object->Rec.Caption);
    } else if (kind == ObjectKind::Memo) {
        p.fillRect(r, resolveColor(props.Color, QPalette()));
        p.setPen(QPalette().dark().color());
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setFont(fontOf(props, z, true));
        p.setPen(resolveColor(props.FontColor, QPalette()));
        QString text = Object->HasMemoText ? Object->MemoText : readTextFile(Object->Rec.Obj_Media);
        if (!Object->HasMemoText && Object->Rec.Obj_Media.isEmpty())
            text = QStringLiteral("Memo");
        p.drawText(r.adjusted(3, 2, -3, -2), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    } else if (isShapeKind(kind)) {
        QPen pen(resolveColor(props.PenColor, QPalette()), std::max(1, props.PenWidth),
                 ShapePenStyle(props.PenStyle));
        p.setPen(pen);
        p.setBrush(QBrush(resolveColor(props.BrushColor, QPalette()), ShapeBrushStyle(props.BrushStyle)));
        p.setRenderHint(QPainter::Antialiasing, true);
        const int in = props.PenWidth / 2;
        const QRect box = r.adjusted(in, in, -in, -in);
        const double arrow = std::max(8.0, props.PenWidth * 3.0);
        switch (shapeCodeOfKind(kind)) {
        case 0:
            p.drawRect(box);
            break;
        case 2: {
            const int corner = std::min(box.width(), box.height()) / 4;
            p.drawRoundedRect(box, corner, corner);
            break;
        }
        case 4:
            p.drawEllipse(box);
            break;
        case 6:
        case 7: {
            const QPointF a =
                kind == ObjectKind::LineDown ? QPointF(box.topLeft()) : QPointF(box.bottomLeft());
            const QPointF b =
                kind == ObjectKind::LineDown ? QPointF(box.bottomRight()) : QPointF(box.topRight());
            p.drawLine(a, b);
            if (props.Arrow & 1)
                drawArrowHead(p, a, b, arrow);
            if (props.Arrow & 2)
                drawArrowHead(p, b, a, arrow);
            break;
        }
        case 8: {
            QPolygonF poly;
            for (const QPointF &v : props.Points)
                poly << QPointF(r.topLeft()) + v * z;
            if (props.BrushStyle != 1)
                p.drawPolygon(poly);
            else
                p.drawPolyline(poly);
            if (poly.size() >= 2) {
                if (props.Arrow & 1)
                    drawArrowHead(p, poly[poly.size() - 2], poly.last(), arrow);
                if (props.Arrow & 2)
                    drawArrowHead(p, poly[1], poly.first(), arrow);
            }
            break;
        }
        default:
            break;
        }
    }
    p.restore();
}

// ---------------------------------------------------------------------------------------------

TSlideBack::TSlideBack(EditedSlide &edited, QWidget *parent) : TGradientPanel(parent), m_edited(edited)
{
    setBeginColor(clWhite);
    setEndColor(clWhite);
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
}

TSlideBack::~TSlideBack() = default;

TDesignVisual *TSlideBack::visualOf(const TDbObject *o) const
{
    return m_visuals.value(o).get();
}

void TSlideBack::ShowSlide(TDbSlide *slide)
{
    ClearSlide();
    m_slide = slide;
    if (!slide)
        return;
    const ColorValue color = colorFromText(slide->Rec.Slide_BColor).value_or(clWhite);
    setBeginColor(color);
    setEndColor(slide->Rec.Slide_Gradient != 0 ? clWhite : color);
    PictureStyle = slide->Rec.Slide_BGroundX.toInt();
    m_background = QImage();
    Picture = QImage();
    if (!slide->Rec.Slide_BGround.isEmpty()) {
        QString error;
        if (!loadMediaPicture(slide->Rec.Slide_BGround, MediaTypeOfExtension(slide->Rec.Slide_BGround),
                              m_background, &error)) {
            if (UiServices *ui = m_edited.books().connection().ui())
                ui->showMessage(QStringLiteral("Cannot load wallpaper. The format may be invalid format!"));
            m_background = QImage();
        }
    }
    const double z = linearZoom(SurfaceZoom);
    if (!m_background.isNull())
        Picture = m_background.scaled(int(m_background.width() * z), int(m_background.height() * z),
                                      Qt::IgnoreAspectRatio, Qt::FastTransformation);
    for (TDbObject *o : std::as_const(slide->Objects.Objects))
        if (!o->Rec.Removed && !(PlayMode && o->Disabled))
            BuildVisual(o);
    update();
}

void TSlideBack::ClearSlide()
{
    m_visuals.clear();
    m_slide = nullptr;
    Drawing = false;
    m_polygon = false;
    PolyPoints.clear();
    update();
}

void TSlideBack::Rebuild()
{
    m_visuals.clear();
    if (m_slide)
        for (TDbObject *o : std::as_const(m_slide->Objects.Objects))
            if (!o->Rec.Removed && !(PlayMode && o->Disabled))
                BuildVisual(o);
    update();
}

void TSlideBack::BuildVisual(TDbObject *o)
{
    if (!o)
        return;
    auto &slot = m_visuals[o];
    if (!slot) {
        slot = std::make_shared<TDesignVisual>(o);
        const int kind = o->kind();
        TDesignVisual &v = *slot;
        if (isImageKind(kind)) {
            QString error;
            if (loadMediaPicture(o->Rec.Obj_Media, kind, v.Picture, &error))
                v.Natural = v.Picture.size();
        } else if (isVideoKind(kind)) {
            QString error;
            v.Picture = firstVideoFrame(o->Rec.Obj_Media, &error, 5000);
            v.Natural = v.Picture.size();
        }
    }
    slot->Zoom = SurfaceZoom;
    slot->Visible = o->Rec.Bar_Left <= CursorTime && CursorTime <= o->Rec.Bar_Left + o->Rec.Bar_Width;
    update();
}

void TSlideBack::DestroyVisual(TDbObject *o)
{
    m_visuals.remove(o);
    update();
}

void TSlideBack::HideVisual(TDbObject *o)
{
    if (TDesignVisual *v = visualOf(o))
        v->Visible = false;
    update();
}

void TSlideBack::RefreshVisibility()
{
    for (auto it = m_visuals.begin(); it != m_visuals.end(); ++it) {
        const TsObject &r = it.key()->Rec;
        it.value()->Visible = r.Bar_Left <= CursorTime && CursorTime <= r.Bar_Left + r.Bar_Width;
    }
    update();
}

// ---------------------------------------------------------------------------------------------
// Selection

TDbObject *TSlideBack::objectAt(QPoint p) const
{
    if (!m_slide)
        return nullptr;
    const QList<TDbObject *> &objects = m_slide->Objects.Objects;
    for (qsizetype i = objects.size() - 1; i >= 0; --i) {
        TDbObject *o = objects[i];
        const TDesignVisual *v = visualOf(o);
        if (v && v->Visible && !o->Rec.Removed && v->hit(p))
            return o;
    }
    return nullptr;
}

void TSlideBack::MoveSelection(int dx, int dy)
{
    if (!m_slide || m_slide->Selection.isEmpty())
        return;
    // A drag is one step of the history, begun at the press; a nudge is a step of its own.
    m_edited.requestMove(m_slide->Selection, dx, dy);
    update();
}

void TSlideBack::bandSelect(const QRect &band)
{
    if (!m_slide)
        return;
    QList<TDbObject *> touched;
    for (TDbObject *o : std::as_const(m_slide->Objects.Objects)) {
        const TDesignVisual *v = visualOf(o);
        if (!v || !v->Visible || o->Rec.Removed)
            continue;
        const int kind = o->kind();
        const QRect r = v->rect();
        bool touches = r.intersects(band);
        if (touches && (kind == ObjectKind::LineDown || kind == ObjectKind::LineUp)) {
            const QLineF line = kind == ObjectKind::LineDown ? QLineF(r.topLeft(), r.bottomRight())
                                                             : QLineF(r.bottomLeft(), r.topRight());
            const QLineF d1(band.topLeft(), band.bottomRight()), d2(band.bottomLeft(), band.topRight());
            touches = band.contains(line.p1().toPoint()) || band.contains(line.p2().toPoint()) ||
                      line.intersects(d1, nullptr) == QLineF::BoundedIntersection ||
                      line.intersects(d2, nullptr) == QLineF::BoundedIntersection;
        } else if (touches && kind == ObjectKind::Ellipse && o->Props.BrushStyle == 1 &&
                   !o->Props.WithTouch) {
            // A hollow ellipse is touched where the band meets its outline, not inside it.
            QPainterPath outline;
            outline.addEllipse(QRectF(r));
            const QPolygonF corners{QPointF(band.topLeft()), QPointF(band.topRight()),
                                    QPointF(band.bottomRight()), QPointF(band.bottomLeft())};
            bool allInside = true;
            for (const QPointF &c : corners)
                allInside = allInside && outline.contains(c);
            touches = !allInside;
        }
        if (touches)
            touched.append(o);
    }
    m_edited.setSelection(touched);
    update();
}

// ---------------------------------------------------------------------------------------------
// Drawing objects

TDbObject *TSlideBack::drawObject(DrawTool tool, QPoint from, QPoint to, const QList<QPointF> &polygon)
{
    if (!m_slide || tool == DrawTool::Select)
        return nullptr;
    NewObjectInput in;
    in.tool = tool;
    in.bandStart = from;
    in.bandEnd = to;
    in.zoom = SurfaceZoom;
    in.designScale = m_edited.books().DesignScale;
    in.cursorTime = CursorTime;
    in.polygon = polygon;
    if (tool == DrawTool::Video || tool == DrawTool::Audio || tool == DrawTool::Image) {
        in.mediaPath = chooseMediaFile ? chooseMediaFile(tool) : QString();
        if (in.mediaPath.isEmpty()) {
            if (toolDone)
                toolDone();
            return nullptr;
        }
    }
    std::optional<TsObject> rec = prepareNewObject(in);
    if (!rec) {
        if (toolDone)
            toolDone();
        return nullptr;
    }
    if (in.mediaPath.size())
        rec->Obj_TypeId = MediaTypeOfExtension(in.mediaPath);
    TDbObject *o = m_edited.requestAddObject(*rec);
    if (o && !visualOf(o))
        BuildVisual(o);
    if (toolDone)
        toolDone();
    return o;
}

void TSlideBack::finishPolygon()
{
    m_polygon = false;
    Drawing = false;
    QList<QPointF> vertices = PolyPoints;
    PolyPoints.clear();
    if (vertices.size() > MaxPolygonVertices) {
        if (UiServices *ui = m_edited.books().connection().ui())
            ui->showMessage(QStringLiteral("Exceeded points are ignored."));
        vertices = vertices.mid(0, MaxPolygonVertices);
    }
    if (vertices.size() >= 2)
        drawObject(DrawTool::PolyLine, vertices.first().toPoint(), vertices.last().toPoint(), vertices);
    update();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TSlideBack::mousePressEvent(QMouseEvent *event)
{
    if (PlayMode) {
        if (m_slide)
            emit playPressed(objectAt(event->position().toPoint()), event->button(),
                             event->globalPosition().toPoint());
        return;
    }
    if (!m_slide)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    const DrawTool tool = currentTool ? currentTool() : DrawTool::Select;
    if (tool == DrawTool::PolyLine) {
        if (event->button() != Qt::LeftButton)
            return;
        if (!m_polygon) {
            m_polygon = true;
            PolyPoints = {QPointF(p)};
            m_edited.clearSelection();
        } else {
            PolyPoints << QPointF(p);
            if (PolyPoints.size() == PolygonWarnAt)
                if (UiServices *ui = m_edited.books().connection().ui())
                    ui->showMessage(
                        QStringLiteral("You have drawn 115 points in Polygon, only 5 points can be added."));
        }
        Drawing = true;
        DownPoint = m_bandEnd = p;
        update();
        return;
    }
    if (event->button() == Qt::RightButton && tool == DrawTool::Select) {
        if (TDbObject *o = objectAt(p)) {
            if (!o->Selected)
                m_edited.selectOnly(o);
            emit objectMenuRequested(o, event->globalPosition().toPoint());
        }
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    DownPoint = m_bandEnd = p;
    if (tool != DrawTool::Select) {
        Drawing = true;
        m_edited.clearSelection();
        return;
    }
    // A handle of a selected object resizes it.
    for (TDbObject *o : std::as_const(m_slide->Selection)) {
        const TDesignVisual *v = visualOf(o);
        if (!v || !v->Visible)
            continue;
        const int line = o->kind() == ObjectKind::LineDown ? 6 : (o->kind() == ObjectKind::LineUp ? 7 : -1);
        const Handle h = handleAt(v->rect(), p, line);
        if (h != HandleNone) {
            m_handle = h;
            m_handleObject = o;
            m_handleStart = v->rect();
            m_edited.beginDrag();
            return;
        }
    }
    if (TDbObject *o = objectAt(p)) {
        if (event->modifiers() & Qt::ShiftModifier) {
            if (o->Selected)
                m_edited.deselect(o);
            else
                m_edited.addToSelection(o);
        } else if (!o->Selected) {
            m_edited.selectOnly(o);
        }
        m_moving = o->Selected;
        if (m_moving)
            m_edited.beginDrag();
        return;
    }
    Drawing = true; // a band
}

void TSlideBack::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (m_handle != HandleNone && m_handleObject) {
        bool fx = false, fy = false;
        const QRect r = resizedRect(m_handleStart, m_handle, p - DownPoint, &fx, &fy);
        m_edited.requestResize(m_handleObject, r);
        update();
        return;
    }
    if (m_moving && (event->buttons() & Qt::LeftButton)) {
        if (!visibleRegion().contains(p)) {
            dragOut();
            return;
        }
        const QPoint d = p - DownPoint;
        if (!d.isNull()) {
            MoveSelection(d.x(), d.y());
            DownPoint = p;
        }
        return;
    }
    if (Drawing) {
        m_bandEnd = p;
        update();
    }
}

void TSlideBack::dragOut()
{
    // The objects go back to where the drag found them: off the surface they are carried to
    // another view (the slide explorer's tree), which moves or copies them where they land.
    m_moving = false;
    const QList<TDbObject *> chosen = m_edited.selection();
    m_edited.cancelDrag();
    // (Putting the slide back lets go of the selection: the carried objects stay chosen.)
    m_edited.setSelection(chosen);
    update();
    if (!m_slide || m_slide->Selection.isEmpty())
        return;
    auto *data = new QMimeData;
    data->setData(QLatin1String(SurfaceObjectsMimeType), QByteArray::number(quintptr(m_slide)));
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void TSlideBack::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (m_handle != HandleNone && m_handleObject) {
        bool fx = false, fy = false;
        const QRect r = resizedRect(m_handleStart, m_handle, p - DownPoint, &fx, &fy);
        // The model turns a line pulled past one of its ends onto the other diagonal.
        m_edited.requestResize(m_handleObject, r, fx, fy);
        m_handle = HandleNone;
        m_handleObject = nullptr;
        m_edited.endDrag();
        update();
        return;
    }
    if (m_moving) {
        m_moving = false;
        m_edited.endDrag();
        return;
    }
    if (!Drawing || m_polygon)
        return;
    Drawing = false;
    const DrawTool tool = currentTool ? currentTool() : DrawTool::Select;
    const QRect band = QRect(DownPoint, p).normalized();
    if (tool == DrawTool::Select)
        bandSelect(band);
    else
        drawObject(tool, DownPoint, p);
    update();
}

void TSlideBack::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_polygon && (currentTool ? currentTool() : DrawTool::Select) == DrawTool::PolyLine) {
        PolyPoints << QPointF(event->position());
        finishPolygon();
    }
}

void TSlideBack::resizeEvent(QResizeEvent *event)
{
    TGradientPanel::resizeEvent(event);
    const double z = linearZoom(SurfaceZoom);
    if (!m_background.isNull())
        Picture = m_background.scaled(int(m_background.width() * z), int(m_background.height() * z),
                                      Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void TSlideBack::paintEvent(QPaintEvent *event)
{
    TGradientPanel::paintEvent(event);
    if (!m_slide)
        return;
    QPainter p(this);
    for (TDbObject *o : std::as_const(m_slide->Objects.Objects)) {
        const TDesignVisual *v = visualOf(o);
        if (v && v->Visible && !o->Rec.Removed)
            v->paint(p, SurfaceZoom);
    }
    // The handles of the selected objects.
    for (TDbObject *o : std::as_const(m_slide->Selection)) {
        const TDesignVisual *v = visualOf(o);
        if (!v || !v->Visible)
            continue;
        const int line = o->kind() == ObjectKind::LineDown ? 6 : (o->kind() == ObjectKind::LineUp ? 7 : -1);
        for (const QRect &h : handleRects(v->rect(), line))
            if (!h.isNull())
                p.fillRect(h, HandleColor);
    }
    // The rubber band, or the polygon being drawn.
    if (Drawing) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        const DrawTool tool = currentTool ? currentTool() : DrawTool::Select;
        const QRect band = QRect(DownPoint, m_bandEnd).normalized();
        switch (tool) {
        case DrawTool::Ellipse:
            p.drawEllipse(band);
            break;
        case DrawTool::RoundRect: {
            const int c = std::min(band.width(), band.height()) / 4;
            p.drawRoundedRect(band, c, c);
            break;
        }
        case DrawTool::Line:
            p.drawLine(DownPoint, m_bandEnd);
            break;
        case DrawTool::PolyLine: {
            QPolygonF poly(PolyPoints);
            poly << QPointF(m_bandEnd);
            p.drawPolyline(poly);
            break;
        }
        default:
            p.drawRect(band);
            break;
        }
    }
}

} // namespace vk
