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

// Needs the application object for its name and version.
CommandLine ParseCommandLine(const QStringList& arguments);
