#include "app/CommandLine.h"
#include "app/SchemaApp.h"
#include "cli/Cli.h"
#include "settings/SettingsFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Read before anything graphical starts: help, version and usage errors
    // work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CSchemaApp::SetIdentity();
    if (const auto status = RunSubcommand(argc, argv, arguments))
        return *status;
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(qPrintable(line.text), stdout);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "velmora: cannot write standard output: %s\n", std::strerror(errno));
            return 1;
        }
        return 0;
    case CommandLine::Action::Error:
        std::fputs(qPrintable(line.text), stderr);
        return kUsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }
    CSchemaApp app(argc, argv);
    app.InitInstance(line.userSettings ? PrepareUserSettingsFile() : QStringLiteral("Pell.ini"));
    return 0;
}
