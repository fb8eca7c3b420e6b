// Slide object kinds (Obj_TypeId): the media type code for image, audio and video objects,
// fixed codes for the others.
#pragma once

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

} // namespace vk
