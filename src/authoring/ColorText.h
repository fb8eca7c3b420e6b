// The colour text of slide objects and slide backgrounds: a colour that has a name is written
// as the name, any other as "$" and eight upper-case hexadecimal digits of its 32-bit value.
#pragma once

#include <QString>

#include <optional>

namespace vk {

// A colour as the program keeps it: 0x00BBGGRR; 0x80000000 + n stands for the desktop's
// system colour n and is resolved when drawn; clNone for no colour.
using ColorValue = qint32;

constexpr ColorValue clBlack = 0x000000;
constexpr ColorValue clWhite = 0xFFFFFF;
constexpr ColorValue clNone = 0x1FFFFFFF;

QString colorToText(ColorValue color);
// A name, letter case ignored, or an integer as integerFromText reads it; nothing for any
// other text. Surrounding blanks are ignored.
std::optional<ColorValue> colorFromText(const QString &text);

// An integer of the property text: decimal with an optional sign within 32 bits, or
// hexadecimal after "$" with up to 32 bits (so "$FFFFFFFF" is -1). Surrounding blanks are
// ignored; anything else is no integer.
std::optional<qint32> integerFromText(const QString &text);

} // namespace vk
