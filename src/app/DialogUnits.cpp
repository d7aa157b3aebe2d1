#include "app/DialogUnits.h"

#include <QFontMetrics>

CDialogUnits::CDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    m_charWidth = metrics.averageCharWidth();
    m_charHeight = metrics.height();
}

// Rounded to the nearest pixel, as the platform's MulDiv does.
int CDialogUnits::X(int units) const
{
    return (units * m_charWidth + 2) / 4;
}

int CDialogUnits::Y(int units) const
{
    return (units * m_charHeight + 4) / 8;
}

QRect CDialogUnits::Rect(int x, int y, int width, int height) const
{
    return QRect(X(x), Y(y), X(width), Y(height));
}
