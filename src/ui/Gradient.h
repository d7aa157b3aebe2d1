#pragma once

#include "settings/Colour.h"

#include <QRect>

#include <vector>

// One vertical band of a horizontal gradient: it covers the columns from
// left up to, not including, right, over the full height of the rectangle.
struct GradientBand {
    int left;
    int right;
    ColorRef colour;
};

// Splits rect into at most steps bands from start (left edge) to end (right
// edge). The arithmetic is the label's historic one: channels in 8.8 fixed
// point, the per-band step truncated toward zero, equal band widths and the
// last band stretched to the right edge. A rect with no width gives none.
std::vector<GradientBand> GradientBands(const QRect& rect, ColorRef start, ColorRef end, int steps);
