#pragma once

#include <QString>

// "$XDG_CONFIG_HOME/velmora", else "~/.config/velmora"; a relative
// XDG_CONFIG_HOME is ignored, as the XDG rules ask.
QString UserSettingsFolder();

// The settings file in UserSettingsFolder(), without creating anything.
QString UserSettingsFile();

// UserSettingsFile(), whose folder is created when missing. A folder that
// cannot be created is reported on standard error; the program still runs,
// as with any settings file it cannot write.
QString PrepareUserSettingsFile();
