// Slide object kinds (Obj_TypeId): the media type code for image, audio and video objects,
// fixed codes for the others.
#pragma once

#include <QString>

namespace vk {

namespace ObjectKind {
constexpr int Text = 410;
constexpr int Button = 420;
constexpr int Memo = 430;
constexpr int Rectangle = 451;
constexpr int RoundRectangle = 452;
constexpr int Ellipse = 453;
constexpr int LineDown = 454; // from top-left to bottom-right
constexpr int LineUp = 455;   // from bottom-left to top-right
constexpr int Polyline = 456;
} // namespace ObjectKind

inline bool isImageKind(int kind)
{
    return kind >= 0 && kind <= 98;
}
inline bool isAudioKind(int kind)
{
    return kind >= 100 && kind <= 199;
}
inline bool isVideoKind(int kind)
{
    return kind >= 200 && kind <= 299;
}
inline bool isMediaKind(int kind)
{
    return isImageKind(kind) || isAudioKind(kind) || isVideoKind(kind);
}
// Any drawn shape, polylines included.
inline bool isShapeKind(int kind)
{
    return kind >= 450 && kind <= 460;
}
// The shapes whose property text is a list of "key=value" lines.
inline bool isKeyedShapeKind(int kind)
{
    return kind >= 451 && kind <= 455;
}
// Text, button and memo: the kinds whose text starts with the four font lines.
inline bool isFontKind(int kind)
{
    return kind == ObjectKind::Text || kind == ObjectKind::Button || kind == ObjectKind::Memo;
}

// Any kind a slide object may have.
inline bool isObjectKind(int kind)
{
    return isMediaKind(kind) || isFontKind(kind) ||
           (kind >= ObjectKind::Rectangle && kind <= ObjectKind::Polyline);
}

// The type name of a kind, as the authoring windows show it; empty for no object kind.
inline QString objectTypeName(int kind)
{
    if (isImageKind(kind))
        return QStringLiteral("Image");
    if (isAudioKind(kind))
        return QStringLiteral("Audio");
    if (isVideoKind(kind))
        return QStringLiteral("Video");
    switch (kind) {
    case ObjectKind::Text:
        return QStringLiteral("Text");
    case ObjectKind::Button:
        return QStringLiteral("Button");
    case ObjectKind::Memo:
        return QStringLiteral("Memo");
    case ObjectKind::Rectangle:
        return QStringLiteral("Rectangle");
    case ObjectKind::RoundRectangle:
        return QStringLiteral("Round Rectangle");
    case ObjectKind::Ellipse:
        return QStringLiteral("Ellipse");
    case ObjectKind::LineDown:
    case ObjectKind::LineUp:
        return QStringLiteral("Line");
    case ObjectKind::Polyline:
        return QStringLiteral("Polygon");
    default:
        return QString();
    }
}

} // namespace vk
