#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

// A colour as the settings file writes it: red in the lowest byte, then
// green, then blue (0xFF is red, 0xFF00 green).
using ColorRef = std::uint32_t;

// The settings file's colour notation: white space and a sign skipped, an
// optional 0x/0X, hexadecimal digits up to the first other character;
// no digits gives 0 (black).
ColorRef ParseColour(const QString& text);

QColor ToQColor(ColorRef colour);
constexpr ColorRef MakeColorRef(int red, int green, int blue)
{
    return static_cast<ColorRef>(red & 0xFF) | (static_cast<ColorRef>(green & 0xFF) << 8)
        | (static_cast<ColorRef>(blue & 0xFF) << 16);
}
