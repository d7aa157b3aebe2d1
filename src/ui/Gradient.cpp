#include "ui/Gradient.h"

#include <array>

namespace {

int Channel(ColorRef colour, int shift)
{
    return static_cast<int>((colour >> shift) & 0xFF);
}

} // namespace

std::vector<GradientBand> GradientBands(const QRect& rect, ColorRef start, ColorRef end, int steps)
{
    // QRect's right() is inclusive; the arithmetic works on the exclusive edge.
    const int left = rect.left();
    const int right = rect.left() + rect.width();
    const int width = right - left;
    std::vector<GradientBand> bands;
    if (width <= 0)
        return bands;

    const int count = steps < width ? steps : width;
    const int divisor = count > 1 ? count : 1;
    constexpr std::array<int, 3> kShifts{0, 8, 16};
    std::array<int, 3> value{};
    std::array<int, 3> step{};
    for (std::size_t c = 0; c < kShifts.size(); ++c) {
        value[c] = Channel(start, kShifts[c]) * 256;
        // C++ division truncates toward zero, as the fixed-point step must.
        step[c] = (Channel(end, kShifts[c]) - Channel(start, kShifts[c])) * 256 / divisor;
    }

    const int bandWidth = width / divisor;
    int bandLeft = left;
    for (int i = 0; i < count; ++i) {
        const int bandRight = i == count - 1 ? right : bandLeft + bandWidth;
        bands.push_back({bandLeft, bandRight,
                         MakeColorRef(value[0] / 256, value[1] / 256, value[2] / 256)});
        bandLeft = bandRight;
        for (std::size_t c = 0; c < value.size(); ++c)
            value[c] += step[c];
    }
    return bands;
}
