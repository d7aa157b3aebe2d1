#pragma once

#include <QStringList>

#include <optional>

// Exit status for a command line the program does not understand.
constexpr int kUsageErrorStatus = 2;

// The subcommands ("velmora export ...", "velmora coverage ..."): run
// without a window. nullopt when arguments name no subcommand, so the
// window starts as before; otherwise the exit status.
std::optional<int> RunSubcommand(int& argc, char** argv, const QStringList& arguments);

// The lines the main help adds for the subcommands.
QString SubcommandSummary();
