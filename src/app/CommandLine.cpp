#include "app/CommandLine.h"

#include "cli/Cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QString kUserSettingsOption = QStringLiteral("user-settings");

QString ProgramName(const QStringList& arguments)
{
    const QString name = arguments.isEmpty() ? QString() : QFileInfo(arguments.constFirst()).fileName();
    return name.isEmpty() ? QStringLiteral("velmora") : name;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Documents database schemas on MySQL/MariaDB and SQL Server.\n"
                       "Settings are kept in \"Pell.ini\" in the current folder.\n"
                       "A password stored there is obscured, not encrypted: anyone who can read\n"
                       "the file can recover it, which is why the file is kept readable by its\n"
                       "owner alone. The subcommands can take the password from VELMORA_PASSWORD\n"
                       "instead (with --kind), and never store it."));
    // Not addHelpOption(): its --help-all would have to end the process itself.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption userSettings(
        kUserSettingsOption,
        QStringLiteral("Keep \"Pell.ini\" in $XDG_CONFIG_HOME/velmora (else ~/.config/velmora) "
                       "instead of the current folder."));
    parser.addOption(userSettings);

    CommandLine line;
    const QString program = ProgramName(arguments);
    const auto usageError = [&](const QString& what) {
        line.action = CommandLine::Action::Error;
        line.text = QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, what);
        return line;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unknown command '%1'.").arg(parser.positionalArguments().constFirst()));

    if (parser.isSet(help)) {
        line.action = CommandLine::Action::Help;
        // Read before the application object exists, the parser cannot
        // name the program itself.
        line.text = parser.helpText().replace(QStringLiteral("<executable_name>"), program) + SubcommandSummary();
    } else if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
        line.text = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                 QCoreApplication::applicationVersion());
    }
    line.userSettings = parser.isSet(userSettings);
    return line;
}
