#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do on its command line.
struct CommandLine
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    // Keep the settings file in the user's configuration folder instead of
    // the current folder (the application menu starts us in the home folder).
    bool userSettings = false;
    // The help or version text for standard output, or the error for
    // standard error.
    QString text;
};

// Exit status for a command line the program does not understand.
constexpr int kUsageErrorStatus = 2;

// Needs the application object for its name and version.
CommandLine ParseCommandLine(const QStringList& arguments);

// "$XDG_CONFIG_HOME/velmora", else "~/.config/velmora"; a relative
// XDG_CONFIG_HOME is ignored, as the XDG rules ask.
QString UserSettingsFolder();

// The settings file in UserSettingsFolder(), whose folder is created when
// missing. A folder that cannot be created is reported on standard error;
// the program still runs, as with any settings file it cannot write.
QString PrepareUserSettingsFile();
