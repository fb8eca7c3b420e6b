// The property text of slide objects (Spec_Property2): the attributes that have no column of
// their own — font, colours, transparency, pen and brush, arrow heads, polyline points and the
// disabled mark — as a list of lines. The design surface, the authoring window, the timeline
// table and the player all read and write it through these functions, which work on a plain
// record of the attributes and touch no database.
//
// Writing ends every line with CR LF. Reading splits at CR, LF or CR LF and is positional: a
// line's value is the line less the length of its key and "=", whatever the key says; only
// "WithTouch" and "Arrow" of the shapes are found by name.
#pragma once

#include "ColorText.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

namespace vk {

// Spec_Property2 is varchar(2504); the older Spec_Property, which receives the same text at
// insert, is char(345).
constexpr qsizetype PropertyTextSize = 2504;
constexpr qsizetype ShortPropertyTextSize = 345;

// A polygon is cut back to 120 vertices when it is drawn.
constexpr int MaxPolylinePoints = 120;
constexpr qsizetype MaxFontNameLength = 255;
// Largest Font_Size value that is read (in reference units, before DesignScale).
constexpr double MaxFontSizeText = 4096;
constexpr int MaxPenWidth = 9999;
constexpr int MaxPenStyle = 6;   // 0 solid ... 6 inside frame
constexpr int MaxBrushStyle = 7; // 0 solid ... 7 diagonal cross
// Polyline coordinates in reference units. Vertices lie inside their box with a margin of 16,
// so they are never far below 0; with this range a text of 120 points always fits the column.
constexpr double MinPolylineCoordinate = -999.999;
constexpr double MaxPolylineCoordinate = 9999.999;

// The attributes the property text carries, as the object's visual holds them. Sizes and
// points are in held units (reference units × DesignScale).
struct ObjectProperties
{
    bool Disabled = false;

    // Text, button and memo.
    QString FontName;
    float FontSize = 0;
    ColorValue FontColor = clBlack;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    bool Transparent = false;   // text only
    ColorValue Color = clWhite; // background of a text or memo

    // Shapes (451-456).
    ColorValue PenColor = clBlack;
    ColorValue BrushColor = clWhite;
    quint8 PenStyle = 0;
    quint8 BrushStyle = 0;
    int PenWidth = 1;
    quint8 Arrow = 0; // 0 none, 1 head at the end point, 2 at the start point, 3 both
    bool WithTouch = false;
    QList<QPointF> Points; // polyline vertices

    bool operator==(const ObjectProperties &) const = default;
};

// The state a new object's visual starts in, as far as it does not depend on the workspace:
// a transparent label, a white memo, a black solid pen of width 1 with a white solid brush
// for shapes, and for a polyline a black pen of width 1 with a clear black brush. The font
// (the workspace window's, at size 18) is the caller's to fill in.
ObjectProperties newObjectProperties(int kind);

// The text for an object of the given kind; empty for a polyline without points and for kinds
// that carry no text. The text always fits Spec_Property2: a font name ends at its first line
// break and after 255 characters, at most 120 polyline points are written, their coordinates
// are kept within MinPolylineCoordinate..MaxPolylineCoordinate and the pen width within
// 0..MaxPenWidth.
QString WritePropertyText(int kind, const ObjectProperties &props, double designScale);

// Applies the text to props. A value that cannot be read (no number where one is expected, a
// number out of its range, an unknown colour) leaves its attribute as it was. Reading the
// disabled line goes through SetDisabled, so that line comes back in its written form.
// Answers false, changing nothing, for an empty text, a text longer than Spec_Property2
// holds, a kind that carries no text, and a polyline text whose point count is not 0-120.
bool ReadPropertyText(int kind, ObjectProperties &props, QString &text, double designScale);

// Disabled := flag, and the disabled line of the text rewritten: line 0 for media, 6 for a
// text, 4 for a button, 5 for a memo and for shapes 451-455 ("DisableFlag=True" or
// "DisableFlag=False"), 2N+1 for a polyline ("True" or "False"). Only that line changes; the
// others and their line breaks stay as stored. A text that ends just before the disabled line
// (an older text without one, or a media object's empty text) gets it appended. Answers
// whether the text now holds the flag; when it cannot (the text is shorter still, a polyline
// text without a valid point count, a kind without a disabled line, or a result longer than
// the column) the text is left unchanged.
bool SetDisabled(int kind, ObjectProperties &props, QString &text, bool flag);

// The text for the older Spec_Property column: the whole text when it fits, otherwise as
// many whole lines as fit.
QString shortPropertyText(const QString &text);

// The lines of a text as the reader sees them: split at CR, LF or CR LF; a break at the end
// starts no further line.
QStringList propertyTextLines(const QString &text);

} // namespace vk
