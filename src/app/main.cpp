#include "app/CommandLine.h"
#include "app/SchemaApp.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    CSchemaApp app(argc, argv);
    const CommandLine line = ParseCommandLine(CSchemaApp::arguments());
    switch (line.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(qPrintable(line.text), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fputs(qPrintable(line.text), stderr);
        return kUsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }
    app.InitInstance(line.userSettings ? PrepareUserSettingsFile() : QStringLiteral("Pell.ini"));
    return 0;
}
