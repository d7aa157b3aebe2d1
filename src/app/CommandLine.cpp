#include "app/CommandLine.h"

#include "cli/Cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

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
                       "Settings are kept in \"Pell.ini\" in the current folder."));
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

QString UserSettingsFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/velmora"));
}

QString PrepareUserSettingsFile()
{
    const QString folder = UserSettingsFolder();
    // Folders made here are the owner's alone: the file holds passwords.
    QStringList missing;
    for (QString at = folder; !QFileInfo::exists(at) && !QDir(at).isRoot(); at = QFileInfo(at).path())
        missing.prepend(at);
    for (const QString& path : missing)
        QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(folder).isDir())
        std::fprintf(stderr, "velmora: cannot create the settings folder %s\n", qPrintable(folder));
    // A path with a folder part is used as it is by the settings file.
    return folder + QStringLiteral("/Pell.ini");
}
