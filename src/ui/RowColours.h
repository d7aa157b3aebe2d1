#pragma once

#include "settings/Colour.h"

#include <QString>

class CSettingsFile;

// Row colours of the three lists, read from the "Config" section of the
// settings file. The file is read again only when its modification time or
// size changed, so a repaint does not cost two file reads per cell.
// prefix is "DB", "TB" or "ST".
struct RowColours {
    ColorRef text;
    ColorRef background;
};

// The colours of an unselected row of the given index.
RowColours ReadRowColours(const CSettingsFile& settings, const QString& settingsPath,
                          const QString& prefix, int row);

// Fixed colours of the selected row: white on blue.
inline constexpr ColorRef kSelectedText = MakeColorRef(255, 255, 255);
inline constexpr ColorRef kSelectedBack = MakeColorRef(49, 106, 197);
