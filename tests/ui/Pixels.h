#pragma once

#include "settings/Colour.h"

#include <QImage>
#include <QTest>
#include <QWidget>

#include <tuple>
#include <utility>

inline constexpr ColorRef kBlack = 0, kRed = MakeColorRef(255, 0, 0), kGreen = MakeColorRef(0, 255, 0),
                          kBlue = MakeColorRef(0, 0, 255), kYellow = MakeColorRef(255, 255, 0);

inline QRgb Rgb(ColorRef colour) { return ToQColor(colour).rgb(); }
inline QImage Grab(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline int CountPixels(const QImage& image, const QRect& area, ColorRef colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.valid(x, y) && image.pixel(x, y) == Rgb(colour);
    return count;
}
