#include "SurfaceGeometry.h"

#include "ObjectKinds.h"
#include "PropertyText.h"

#include <QHash>
#include <QLineF>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace vk {

double linearZoom(double surfaceZoom)
{
    return std::sqrt(std::max(surfaceZoom, 1.0) / 100.0);
}

SurfacePlacement fitPlacement(QSize client, QSize screen)
{
    SurfacePlacement s;
    const double aspect = double(screen.width()) / std::max(1, screen.height());
    int width, height;
    const bool wide = client.width() >= client.height() * aspect;
    if (wide) {
        height = client.height() - 20;
        width = int(height * aspect);
    } else {
        width = client.width() - 20;
        height = int(width / aspect);
    }
    const double ratio = double(width) / std::max(1, screen.width());
    s.zoom = int(ratio * ratio * 100);
    if (s.zoom >= 10 && width > 0 && height > 0) {
        s.surface = wide ? QRect((client.width() - width) / 2, 10, width, height)
                         : QRect(10, (client.height() - height) / 2, width, height);
        return s;
    }
    s.zoom = 10;
    width = int(screen.width() * std::sqrt(0.1));
    height = int(screen.height() * std::sqrt(0.1));
    s.surface = QRect(std::max(0, (client.width() - width) / 2), std::max(0, (client.height() - height) / 2),
                      width, height);
    s.horizontalBar = s.verticalBar = true;
    return s;
}

SurfacePlacement showPlacement(QSize area, QSize screen)
{
    SurfacePlacement place;
    if (screen.isEmpty() || area.isEmpty())
        return place;
    const double f = std::min(double(area.width()) / screen.width(), double(area.height()) / screen.height());
    // The zoom is a whole area percentage; the surface is as large as that zoom makes it.
    place.zoom = std::max(1, int(std::lround(100 * f * f)));
    const double z = linearZoom(place.zoom);
    const QSize size(std::clamp(int(std::lround(screen.width() * z)), 1, area.width()),
                     std::clamp(int(std::lround(screen.height() * z)), 1, area.height()));
    place.surface = QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
    return place;
}

SurfacePlacement fixedPlacement(QSize client, QSize screen, int zoom, QPoint scroll)
{
    SurfacePlacement s;
    s.zoom = std::clamp(zoom, 10, 1000);
    const double z = linearZoom(s.zoom);
    const int width = int(screen.width() * z), height = int(screen.height() * z);
    s.horizontalBar = client.width() < width;
    s.verticalBar = client.height() < height;
    const int left = std::max((client.width() - width) / 2, 0) - (s.horizontalBar ? scroll.x() : 0);
    const int top = std::max((client.height() - height) / 2, 0) - (s.verticalBar ? scroll.y() : 0);
    s.surface = QRect(left, top, width, height);
    return s;
}

int shapeCodeOfKind(int kind)
{
    switch (kind) {
    case ObjectKind::Rectangle:
        return 0;
    case ObjectKind::RoundRectangle:
        return 2;
    case ObjectKind::Ellipse:
        return 4;
    case ObjectKind::LineDown:
        return 6;
    case ObjectKind::LineUp:
        return 7;
    case ObjectKind::Polyline:
        return 8;
    default:
        return 0;
    }
}

double hitTolerance(int penWidth)
{
    return std::max(5.0, penWidth / 2.0);
}

namespace {

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    double t = len2 > 0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF c = a + t * d;
    return std::hypot(p.x() - c.x(), p.y() - c.y());
}

} // namespace

bool hitShape(const ShapeHit &s, QPointF p)
{
    const double tol = hitTolerance(s.penWidth);
    const QRectF r(s.rect);
    const bool inside = s.filled || s.withTouch;
    switch (s.code) {
    case 6:
        return distanceToSegment(p, r.topLeft(), r.bottomRight()) <= tol;
    case 7:
        return distanceToSegment(p, r.bottomLeft(), r.topRight()) <= tol;
    case 8: {
        if (s.points.size() < 2)
            return false;
        QPolygonF poly;
        for (const QPointF &v : s.points)
            poly << v + r.topLeft();
        for (qsizetype i = 0; i + 1 < poly.size(); ++i)
            if (distanceToSegment(p, poly[i], poly[i + 1]) <= tol)
                return true;
        return inside && poly.containsPoint(p, Qt::OddEvenFill);
    }
    case 4: {
        const double a = r.width() / 2, b = r.height() / 2;
        if (a <= 0 || b <= 0)
            return distanceToSegment(p, r.topLeft(), r.bottomRight()) <= tol;
        const QPointF c = r.center();
        const double v = std::hypot((p.x() - c.x()) / a, (p.y() - c.y()) / b);
        if (inside)
            return v <= 1 + tol / std::min(a, b);
        // The outline: within the tolerance of the ellipse's edge, on either side.
        return std::abs(v - 1) * std::min(a, b) <= tol;
    }
    default: {
        const QRectF outer = r.adjusted(-tol, -tol, tol, tol);
        if (!outer.contains(p))
            return false;
        if (inside)
            return true;
        const QRectF inner = r.adjusted(tol, tol, -tol, -tol);
        return !inner.isValid() || !inner.contains(p);
    }
    }
}

QList<QRect> handleRects(const QRect &r, int lineCode)
{
    auto at = [](int x, int y) { return QRect(x - 2, y - 2, 5, 5); };
    const int l = r.left() + 2, t = r.top() + 2, rr = r.right() - 2, b = r.bottom() - 2;
    const int cx = (r.left() + r.right()) / 2, cy = (r.top() + r.bottom()) / 2;
    if (lineCode == 6)
        return {at(l, t), QRect(), QRect(), QRect(), at(rr, b), QRect(), QRect(), QRect()};
    if (lineCode == 7)
        return {QRect(), QRect(), at(rr, t), QRect(), QRect(), QRect(), at(l, b), QRect()};
    return {at(l, t), at(cx, t), at(rr, t), at(rr, cy), at(rr, b), at(cx, b), at(l, b), at(l, cy)};
}

Handle handleAt(const QRect &r, QPoint p, int lineCode)
{
    const QList<QRect> handles = handleRects(r, lineCode);
    for (int i = 0; i < handles.size(); ++i)
        if (!handles[i].isNull() && handles[i].adjusted(-2, -2, 2, 2).contains(p))
            return Handle(i);
    return HandleNone;
}

QRect resizedRect(const QRect &r, Handle h, QPoint d, bool *flippedX, bool *flippedY)
{
    int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    switch (h) {
    case HandleTopLeft:
        left += d.x();
        top += d.y();
        break;
    case HandleTop:
        top += d.y();
        break;
    case HandleTopRight:
        right += d.x();
        top += d.y();
        break;
    case HandleRight:
        right += d.x();
        break;
    case HandleBottomRight:
        right += d.x();
        bottom += d.y();
        break;
    case HandleBottom:
        bottom += d.y();
        break;
    case HandleBottomLeft:
        left += d.x();
        bottom += d.y();
        break;
    case HandleLeft:
        left += d.x();
        break;
    default:
        break;
    }
    const bool fx = right < left, fy = bottom < top;
    if (flippedX)
        *flippedX = fx;
    if (flippedY)
        *flippedY = fy;
    if (fx)
        std::swap(left, right);
    if (fy)
        std::swap(top, bottom);
    return QRect(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

DrawTool toolOfAction(const QString &name)
{
    static const QHash<QString, DrawTool> tools{
        {QStringLiteral("ReleaseBtn"), DrawTool::Select},
        {QStringLiteral("VideoObject"), DrawTool::Video},
        {QStringLiteral("AudioObject"), DrawTool::Audio},
        {QStringLiteral("ButtonObject"), DrawTool::Button},
        {QStringLiteral("TextObject"), DrawTool::Text},
        {QStringLiteral("ImageObject"), DrawTool::Image},
        {QStringLiteral("MemoObject"), DrawTool::Memo},
        {QStringLiteral("DrawRectangle"), DrawTool::Rectangle},
        {QStringLiteral("DrawEllipse"), DrawTool::Ellipse},
        {QStringLiteral("DrawRoundRect"), DrawTool::RoundRect},
        {QStringLiteral("DrawLine"), DrawTool::Line},
        {QStringLiteral("DrawPolyLine"), DrawTool::PolyLine},
    };
    return tools.value(name, DrawTool::Select);
}

std::optional<TsObject> prepareNewObject(const NewObjectInput &in)
{
    if (in.tool == DrawTool::Select)
        return std::nullopt;
    TsObject r;
    r.OID = NotStored;
    r.Obj_Flag = false;
    r.Bar_Left = in.cursorTime;
    r.Bar_Width = 1200;
    r.Tag = 0;
    r.Obj_Link_CBId = r.Obj_Link_SlideId = 0;
    const double z = linearZoom(in.zoom);
    QRect band = QRect(in.bandStart, in.bandEnd).normalized();
    const bool click = band.width() < 10 && band.height() < 10;
    QSize clickSize(80, 30);
    switch (in.tool) {
    case DrawTool::Video:
    case DrawTool::Audio:
    case DrawTool::Image:
        r.Obj_Media = in.mediaPath;
        r.Title = in.mediaPath.section(QLatin1Char('/'), -1);
        clickSize = QSize(100, 100);
        break;
    case DrawTool::Text:
        r.Obj_TypeId = ObjectKind::Text;
        r.Caption = r.Title = QStringLiteral("Text");
        break;
    case DrawTool::Button:
        r.Obj_TypeId = ObjectKind::Button;
        r.Caption = r.Title = QStringLiteral("Button");
        break;
    case DrawTool::Memo:
        r.Obj_TypeId = ObjectKind::Memo;
        r.Caption = r.Title = QStringLiteral("Memo");
        clickSize = QSize(150, 100);
        break;
    case DrawTool::Rectangle:
        r.Obj_TypeId = ObjectKind::Rectangle;
        r.Title = QStringLiteral("Rectangle");
        break;
    case DrawTool::Ellipse:
        r.Obj_TypeId = ObjectKind::Ellipse;
        r.Title = QStringLiteral("Ellipse");
        break;
    case DrawTool::RoundRect:
        r.Obj_TypeId = ObjectKind::RoundRectangle;
        r.Title = QStringLiteral("RoundRect");
        break;
    case DrawTool::Line: {
        // Down-right or up-left is the falling diagonal; the others the rising one.
        const QPoint d = in.bandEnd - in.bandStart;
        r.Obj_TypeId = (d.x() >= 0) == (d.y() >= 0) ? ObjectKind::LineDown : ObjectKind::LineUp;
        r.Title = QStringLiteral("Line");
        break;
    }
    case DrawTool::PolyLine:
        r.Obj_TypeId = ObjectKind::Polyline;
        r.Title = QStringLiteral("PolyLines");
        break;
    default:
        break;
    }
    if (in.tool == DrawTool::PolyLine) {
        QList<QPointF> vertices = in.polygon.mid(0, MaxPolygonVertices);
        if (vertices.size() < 2)
            return std::nullopt;
        QPolygonF poly(vertices);
        const QRectF box = poly.boundingRect();
        const double a = z * 16;
        const int margin = int(a);
        ObjectProperties props = newObjectProperties(ObjectKind::Polyline);
        props.Points.clear();
        // Vertices relative to the box less the margin, in held units.
        for (const QPointF &v : vertices)
            props.Points << (v - box.topLeft() + QPointF(margin, margin)) / z;
        r.Spec_Property2 = WritePropertyText(ObjectKind::Polyline, props, in.designScale);
        r.Left_S = (box.left() - a) / z;
        r.Top_S = (box.top() - a) / z;
        r.Width_S = (box.width() + 2 * a) / z;
        r.Height_S = (box.height() + 2 * a) / z;
        r.Left = int(box.left() - a);
        r.Top = int(box.top() - a);
        r.Width = int(box.width() + 2 * a);
        r.Height = int(box.height() + 2 * a);
        return r;
    }
    if (click)
        band = QRect(band.topLeft(), clickSize);
    if (in.tool == DrawTool::Line && !click) {
        const int m = int(z * 8);
        band = band.adjusted(-m, -m, m, m);
    }
    r.Left = band.left();
    r.Top = band.top();
    r.Width = band.width();
    r.Height = band.height();
    r.Left_S = r.Left / z;
    r.Top_S = r.Top / z;
    r.Width_S = r.Width / z;
    r.Height_S = r.Height / z;
    return r;
}

QStringList attributeItems(const QList<int> &kinds)
{
    if (kinds.isEmpty())
        return {};
    auto itemsOf = [](int kind) -> QStringList {
        if (isImageKind(kind))
            return {"LinkTo", "ActualSize", "FitBest", "FitToWidth", "FitToHeight", "Disable"};
        if (isAudioKind(kind))
            return {"Preview", "Stop", "Disable"};
        if (isVideoKind(kind))
            return {"LinkTo",      "ActualSize", "FitBest", "FitToWidth",
                    "FitToHeight", "Preview",    "Stop",    "Disable"};
        switch (kind) {
        case ObjectKind::Text:
            return {"LinkTo", "Font", "Color", "InsertLabelText", "Transparent", "Disable"};
        case ObjectKind::Button:
            return {"LinkTo", "Caption", "Font", "Disable"};
        case ObjectKind::Memo:
            return {"LinkTo", "Font", "Color", "InsertMemoText", "Disable"};
        default:
            return isShapeKind(kind) ? QStringList{"LinkTo", "GraphicAttribute", "Disable"} : QStringList{};
        }
    };
    QStringList items = itemsOf(kinds.first());
    for (int kind : kinds) {
        const QStringList own = itemsOf(kind);
        items.erase(
            std::remove_if(items.begin(), items.end(), [&own](const QString &i) { return !own.contains(i); }),
            items.end());
    }
    if (kinds.size() != 1)
        items.removeAll(QStringLiteral("Preview")), items.removeAll(QStringLiteral("Stop"));
    return items;
}

} // namespace vk
