#pragma once

#include "settings/Colour.h"

#include <QImage>
#include <QWidget>

inline constexpr ColorRef kBlack = 0;
inline constexpr ColorRef kRed = MakeColorRef(255, 0, 0);
inline constexpr ColorRef kGreen = MakeColorRef(0, 255, 0);
inline constexpr ColorRef kBlue = MakeColorRef(0, 0, 255);
inline constexpr ColorRef kYellow = MakeColorRef(255, 255, 0);

inline QImage Grab(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline int CountPixels(const QImage& image, const QRect& area, ColorRef colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.valid(x, y) && image.pixel(x, y) == ToQColor(colour).rgb();
    return count;
}
