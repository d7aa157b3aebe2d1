#pragma once

#include <QFont>
#include <QRect>

// Converts the design's dialog units to pixels the way the desktop platform
// does: horizontal units are quarters of the font's average character width,
// vertical units eighths of its height.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;

private:
    int m_charWidth;
    int m_charHeight;
};
