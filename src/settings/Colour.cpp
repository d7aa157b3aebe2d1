#include "settings/Colour.h"

#include <cstdint>
#include <limits>

ColorRef ParseColour(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X'))
        i += 2;
    // Accumulate as the C library's unsigned long would, saturating on overflow,
    // then keep the 32 bits a colour holds.
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            break;
        if (value >> 60)
            overflow = true;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    if (overflow)
        value = std::numeric_limits<std::uint64_t>::max();
    return static_cast<ColorRef>(value);
}

QColor ToQColor(ColorRef colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}
