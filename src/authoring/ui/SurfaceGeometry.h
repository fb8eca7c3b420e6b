// The arithmetic of the slide surface, apart from any widget: the zoom and where the surface
// lies in the authoring window, the hit tests of drawn shapes, the selection handles, moving
// and resizing (flips included), and the record of an object drawn with a tool.
#pragma once

#include "AT_DbClearbook.h"

#include <QList>
#include <QPointF>
#include <QRect>
#include <QSize>

namespace vk {

// --- Zoom: SurfaceZoom is an area percentage; the linear factor is √(zoom / 100).
double linearZoom(double surfaceZoom);

struct SurfacePlacement
{
    QRect surface;  // in the window's client area
    int zoom = 100; // SurfaceZoom
    bool horizontalBar = false, verticalBar = false;
};
// Fit: the largest surface of the screen's aspect inside the client, 20 pixels to spare; below
// a zoom of 10 the surface stays at 10 and the scroll bars show.
SurfacePlacement fitPlacement(QSize client, QSize screen);
// A slide shown in an area (the player, a rendered picture): the screen's aspect, as large as
// fits, centred; its zoom 100 when the area is the screen the slides are designed for.
SurfacePlacement showPlacement(QSize area, QSize screen);
// A typed zoom (10-1000): the surface centred, scroll bars where it is larger than the client.
SurfacePlacement fixedPlacement(QSize client, QSize screen, int zoom, QPoint scroll = QPoint());

// --- Shapes
// TDrawObject's shape codes: 0 rectangle, 2 round rectangle, 4 ellipse, 6 line from top-left
// to bottom-right, 7 line from bottom-left to top-right, 8 polyline.
int shapeCodeOfKind(int kind);

struct ShapeHit
{
    int code = 0;
    QRect rect; // display pixels
    int penWidth = 1;
    bool filled = false; // a brush that is not clear
    bool withTouch = false;
    QList<QPointF> points; // polyline vertices relative to rect's top-left, display pixels
};
// Whether a press at `p` (surface pixels) is on the shape: within max(5, pen ÷ 2) of its
// outline, or inside it when it is filled or reacts to touches inside.
bool hitShape(const ShapeHit &shape, QPointF p);
double hitTolerance(int penWidth);

// --- Handles: eight 5 × 5 handles at the corners and edge middles, 2 pixels in; a line has
// the two at its ends.
enum Handle : int
{
    HandleNone = -1,
    HandleTopLeft,
    HandleTop,
    HandleTopRight,
    HandleRight,
    HandleBottomRight,
    HandleBottom,
    HandleBottomLeft,
    HandleLeft,
};
QList<QRect> handleRects(const QRect &r, int lineCode = -1);
Handle handleAt(const QRect &r, QPoint p, int lineCode = -1);

// Resizing by a handle dragged by (dx, dy): the rectangle as dragged, turned the right way round
// when it was pulled past its opposite edge. *flippedX / *flippedY tell which way it turned
// (a line then runs the other diagonal).
QRect resizedRect(const QRect &r, Handle h, QPoint delta, bool *flippedX = nullptr, bool *flippedY = nullptr);

// --- New objects drawn with a tool
enum class DrawTool
{
    Select,
    Video,
    Audio,
    Button,
    Text,
    Image,
    Memo,
    Rectangle,
    Ellipse,
    RoundRect,
    Line,
    PolyLine
};
// The tool of a toolbar action's name ("ReleaseBtn", "VideoObject", "DrawRectangle", ...).
DrawTool toolOfAction(const QString &name);

inline constexpr int MaxPolygonVertices = 120;
inline constexpr int PolygonWarnAt = 114;

struct NewObjectInput
{
    DrawTool tool = DrawTool::Select;
    QPoint bandStart, bandEnd; // surface pixels
    double zoom = 100;         // SurfaceZoom
    double designScale = 1.0;
    int cursorTime = 0;     // the timeline cursor, 1/100 s
    QString mediaPath;      // the file chosen for a media tool
    QList<QPointF> polygon; // the vertices drawn (surface pixels)
};
// The record of an object drawn with a tool; nothing for the select tool. A band smaller than
// 10 × 10 is a click, which gives the tool's default size.
std::optional<TsObject> prepareNewObject(const NewObjectInput &in);

// The items of the Object menu's Attributes that apply to every one of the selected kinds:
// "LinkTo", "ActualSize", "FitBest", "FitToWidth", "FitToHeight", "Preview", "Stop", "Disable",
// "Font", "Color", "InsertLabelText", "Transparent", "Caption", "InsertMemoText",
// "GraphicAttribute". Preview and Stop only for one object.
QStringList attributeItems(const QList<int> &kinds);

} // namespace vk
