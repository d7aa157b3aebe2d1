#include "cli/Cli.h"

#include "app/CommandLine.h"
#include "cli/ServerLink.h"
#include "export/Coverage.h"
#include "export/DescriptionChanges.h"
#include "export/StructureFile.h"
#include "export/StructureFileReader.h"
#include "export/ExportTarget.h"
#include "settings/SettingsFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kFailureStatus = 1;

struct Subcommand {
    QString name;
    QString summary;
};

const QList<Subcommand> kSubcommands = {
    {QStringLiteral("export"), QStringLiteral("Writes a database's table structure as TSV, Markdown or xlsx.")},
    {QStringLiteral("coverage"), QStringLiteral("Tells how many tables and columns have a description.")},
    {QStringLiteral("apply"), QStringLiteral("Writes the descriptions of an edited export back to the database.")},
};

void Print(FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

void Complain(const QString& text)
{
    Print(stderr, QStringLiteral("velmora: %1\n").arg(text));
}

// Thrown for a command line the subcommand cannot run; status 2.
struct UsageError {
    QString text;
};

// Asks on the terminal with echo off, as passwords are asked for.
std::optional<QString> AskPassword()
{
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    std::fputs("Password: ", tty);
    std::fflush(tty);
    termios saved{};
    const bool quiet = tcgetattr(fileno(tty), &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fileno(tty), TCSAFLUSH, &silent);
    }
    QByteArray line;
    for (int c = std::fgetc(tty); c != EOF && c != '\n'; c = std::fgetc(tty))
        line.append(char(c));
    if (quiet)
        tcsetattr(fileno(tty), TCSAFLUSH, &saved);
    std::fputs("\n", tty);
    std::fclose(tty);
    return QString::fromLocal8Bit(line);
}

// The options both subcommands take to reach a database.
struct ServerOptions {
    QCommandLineOption server{QStringLiteral("server"), QStringLiteral("Server from the history in Pell.ini; "
                                                                       "with --kind, the host."), QStringLiteral("NAME")};
    QCommandLineOption kind{QStringLiteral("kind"), QStringLiteral("mysql or sqlserver: the server is given in full; "
                                                                   "the password comes from VELMORA_PASSWORD or is "
                                                                   "asked for."), QStringLiteral("KIND")};
    QCommandLineOption host{QStringLiteral("host"), QStringLiteral("Host of the server given in full."),
                            QStringLiteral("HOST")};
    QCommandLineOption port{QStringLiteral("port"), QStringLiteral("Port of the server given in full."),
                            QStringLiteral("PORT")};
    QCommandLineOption user{QStringLiteral("user"), QStringLiteral("User of the server given in full."),
                            QStringLiteral("USER")};
    QCommandLineOption database{QStringLiteral("database"), QStringLiteral("The database (required)."),
                                QStringLiteral("DB")};
    QCommandLineOption userSettings{QStringLiteral("user-settings"),
                                    QStringLiteral("Read Pell.ini from the user's configuration folder instead of "
                                                   "the current folder.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")};

    void AddTo(QCommandLineParser& parser) const
    {
        parser.addOptions({server, kind, host, port, user, database, userSettings, help});
    }

    ServerAddress Address(const QCommandLineParser& parser) const
    {
        const QString settings = parser.isSet(userSettings) ? UserSettingsFolder() + QStringLiteral("/Pell.ini")
                                                            : CSettingsFile().FullPath(QStringLiteral("Pell.ini"));
        if (!parser.isSet(kind)) {
            if (!parser.isSet(server))
                throw UsageError{QStringLiteral("give --server NAME, or --kind with the server in full")};
            if (auto known = ServerFromHistory(settings, parser.value(server)))
                return *known;
            throw UsageError{QStringLiteral("server '%1' is not in the history of %2; give --kind to name it in full")
                                 .arg(parser.value(server), settings)};
        }
        const QString kindText = parser.value(kind).toLower();
        if (kindText != u"mysql" && kindText != u"sqlserver")
            throw UsageError{QStringLiteral("--kind is mysql or sqlserver, not '%1'").arg(parser.value(kind))};
        ServerAddress address{kindText == u"mysql", parser.value(parser.isSet(host) ? host : server),
                              parser.value(port), parser.value(user), {}};
        if (address.host.isEmpty())
            throw UsageError{QStringLiteral("give the server's host by --host or --server")};
        if (qEnvironmentVariableIsSet("VELMORA_PASSWORD")) {
            address.password = qEnvironmentVariable("VELMORA_PASSWORD");
        } else if (auto typed = AskPassword()) {
            address.password = *typed;
        } else {
            throw UsageError{QStringLiteral("no terminal to ask for the password: set VELMORA_PASSWORD")};
        }
        return address;
    }
};

QCommandLineParser& Parse(QCommandLineParser& parser, const QStringList& arguments, qsizetype positional)
{
    if (!parser.parse(arguments))
        throw UsageError{parser.errorText()};
    if (parser.positionalArguments().size() > positional)
        throw UsageError{QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().value(positional))};
    return parser;
}

QString Help(const QCommandLineParser& parser, const QString& name)
{
    // The parser would name the program by the path it was started by.
    const QString text = parser.helpText();
    const QString usage = text.left(text.indexOf(u'\n'));
    return QStringLiteral("Usage: velmora %1").arg(name) + usage.mid(usage.indexOf(u" [options]")) +
        text.mid(text.indexOf(u'\n'));
}

// Parses a subcommand's line; true when it asked for its help, now printed.
bool ParseSubcommand(QCommandLineParser& parser, const QStringList& arguments, const ServerOptions& server,
                     const QString& name, qsizetype positional = 0)
{
    Parse(parser, arguments, positional);
    if (parser.isSet(server.help)) {
        Print(stdout, Help(parser, name));
        return true;
    }
    if (parser.value(server.database).isEmpty())
        throw UsageError{QStringLiteral("--database is required")};
    if (parser.positionalArguments().size() < positional)
        throw UsageError{QStringLiteral("name the file to apply")};
    return false;
}

// Progress on a terminal only: a file or a pipe gets the messages alone.
class CProgress
{
public:
    explicit CProgress(qsizetype total) : m_total(total), m_shown(isatty(STDERR_FILENO) != 0) {}
    ~CProgress()
    {
        if (m_shown && m_done > 0)
            std::fputs("\n", stderr);
    }
    void Add(qsizetype tables)
    {
        m_done += tables;
        if (m_shown)
            std::fprintf(stderr, "\r%lld/%lld tables", static_cast<long long>(m_done), static_cast<long long>(m_total));
    }

private:
    qsizetype m_total;
    qsizetype m_done = 0;
    bool m_shown;
};

// The tables of the database asked for, read through the export loop.
struct ReadRun {
    CServerLink link;
    std::vector<DocumentedTable> listed;
    QStringList asked;
    QStringList notWritten;
};

// Connects and lists; false (reported) when the server cannot be used.
bool Connect(ReadRun& run, const ServerAddress& address, const QString& database, bool descriptions = true)
{
    if (!run.link.Open(address, database) || !run.link.ListTables(run.listed, descriptions)) {
        Complain(QStringLiteral("cannot read database '%1' on %2: %3").arg(database, address.host, run.link.Error()));
        return false;
    }
    return true;
}

// Runs the export loop over the asked tables; a name the database does not
// list fails without a statement.
ExportOutcome Read(ReadRun& run, CTableSink& sink)
{
    QHash<QString, qsizetype> listed;
    for (qsizetype i = 0; i < qsizetype(run.listed.size()); ++i)
        listed.insert(run.listed[size_t(i)].name, i);
    QStringList known;
    ExportOutcome outcome;
    for (const QString& table : run.asked)
        (listed.contains(table) ? known : outcome.notWritten).append(table);
    CProgress progress(known.size());
    run.link.Export(known, sink, outcome,
                    {{}, [&](const std::vector<qsizetype>& written) { progress.Add(qsizetype(written.size())); }});
    return outcome;
}

// The descriptions of the listing go to the tables read.
void Describe(const ReadRun& run, std::vector<DocumentedTable>& tables)
{
    QHash<QString, QString> descriptions;
    for (const DocumentedTable& listed : run.listed)
        descriptions.insert(listed.name, listed.description);
    for (DocumentedTable& read : tables)
        read.description = descriptions.value(read.name);
}

void ReportNotWritten(const ExportOutcome& outcome)
{
    for (const QString& table : outcome.notWritten)
        Complain(QStringLiteral("table '%1' could not be read").arg(table));
    if (!outcome.writeError.isEmpty())
        Complain(QStringLiteral("cannot write: %1").arg(outcome.writeError));
}

int Export(const QStringList& arguments)
{
    QCommandLineParser parser;
    ServerOptions server;
    server.AddTo(parser);
    const QCommandLineOption table(QStringLiteral("table"), QStringLiteral("A table to export (repeatable); "
                                   "all tables by default."), QStringLiteral("NAME"));
    const QCommandLineOption output(QStringLiteral("o"), QStringLiteral("The file to write; Markdown goes to "
                                    "standard output without it."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("tsv, md or xlsx; else by the "
                                    "suffix of -o."), QStringLiteral("FORMAT"));
    parser.addOptions({table, output, format});
    parser.setApplicationDescription(QStringLiteral("Writes the table structure of a database. Exit status: 0 "
                                                    "when every table was written, 1 when any failed, 2 for a "
                                                    "usage error."));
    if (ParseSubcommand(parser, arguments, server, QStringLiteral("export")))
        return 0;
    const QString path = parser.value(output);
    QString kind = parser.value(format).toLower();
    if (kind.isEmpty())
        kind = path.isEmpty() ? QStringLiteral("md") : QFileInfo(path).suffix().toLower();
    if (kind == u"txt")
        kind = QStringLiteral("tsv");
    if (kind != u"tsv" && kind != u"md" && kind != u"xlsx")
        throw UsageError{QStringLiteral("unknown format '%1': give --format tsv, md or xlsx").arg(kind)};
    if (path.isEmpty() && kind != u"md")
        throw UsageError{QStringLiteral("%1 needs a file: give -o FILE").arg(kind)};
    const ServerAddress address = server.Address(parser);

    ReadRun run;
    // The structure file holds no table descriptions.
    if (!Connect(run, address, parser.value(server.database), kind != u"tsv"))
        return kFailureStatus;
    run.asked = parser.values(table);
    if (run.asked.isEmpty())
        for (const DocumentedTable& listed : run.listed)
            run.asked.append(listed.name);

    ExportOutcome outcome;
    if (kind == u"tsv") {
        // The window's file, written as the window writes it.
        CExportTarget target(path);
        if (!target.Open()) {
            Complain(QStringLiteral("cannot open %1: %2").arg(path, target.ErrorString()));
            return kFailureStatus;
        }
        outcome = Read(run, target);
        if (outcome.writeError.isEmpty() && (target.Started() || outcome.notWritten.isEmpty())) {
            if (!target.Commit())
                outcome.writeError = target.ErrorString();
        } else {
            target.Cancel();
        }
    } else {
        CTableCollector collector;
        outcome = Read(run, collector);
        Describe(run, collector.Tables());
        const bool any = !collector.Tables().empty() || outcome.notWritten.isEmpty();
        if (kind == u"xlsx" && any) {
            QString error;
            if (!WriteWorkbook(path, collector.Tables(), run.link.Kind(), error))
                outcome.writeError = error;
        } else if (any) {
            const QByteArray text =
                MarkdownDocument(parser.value(server.database), collector.Tables(), run.link.Kind()).toUtf8();
            if (path.isEmpty()) {
                std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
            } else {
                QSaveFile file(path);
                if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
                    outcome.writeError = file.errorString();
            }
        }
    }
    ReportNotWritten(outcome);
    return outcome.notWritten.isEmpty() && outcome.writeError.isEmpty() ? 0 : kFailureStatus;
}

int CoverageCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    ServerOptions server;
    server.AddTo(parser);
    const QCommandLineOption minimum(QStringLiteral("min"), QStringLiteral("Exit 1 when the share of described "
                                     "tables or of described columns is below this."), QStringLiteral("PERCENT"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("text (default) or json."),
                                    QStringLiteral("FORMAT"));
    parser.addOptions({minimum, format});
    parser.setApplicationDescription(QStringLiteral("Tells how many tables and columns have a description, "
                                                    "and which lack one."));
    if (ParseSubcommand(parser, arguments, server, QStringLiteral("coverage")))
        return 0;
    const QString kind = parser.isSet(format) ? parser.value(format).toLower() : QStringLiteral("text");
    if (kind != u"text" && kind != u"json")
        throw UsageError{QStringLiteral("unknown format '%1': give --format text or json").arg(kind)};
    bool numeric = true;
    const double least = parser.isSet(minimum) ? parser.value(minimum).toDouble(&numeric) : 0.0;
    if (!numeric || least < 0 || least > 100)
        throw UsageError{QStringLiteral("--min is a percentage from 0 to 100")};
    const ServerAddress address = server.Address(parser);

    ReadRun run;
    if (!Connect(run, address, parser.value(server.database)))
        return kFailureStatus;
    for (const DocumentedTable& listed : run.listed)
        run.asked.append(listed.name);
    CTableCollector collector;
    const ExportOutcome outcome = Read(run, collector);
    Describe(run, collector.Tables());
    const Coverage coverage = MeasureCoverage(collector.Tables());
    Print(stdout, kind == u"json" ? CoverageJson(coverage) : CoverageText(coverage));
    ReportNotWritten(outcome);
    const bool enough = coverage.TablePercent() >= least && coverage.ColumnPercent() >= least;
    if (!enough)
        Complain(QStringLiteral("coverage is below %1%").arg(least));
    return enough && outcome.notWritten.isEmpty() ? 0 : kFailureStatus;
}

// A description on one line, as the file shows it.
QString Shown(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("(none)") : StructureField(text);
}

QString Named(const DescriptionChange& change)
{
    return change.column.isEmpty() ? change.table : change.table + u'.' + change.column;
}

StructureInput ReadInput(const QString& path)
{
    StructureInput input;
    QString error;
    if (!ReadStructureFile(path, input, error))
        throw UsageError{QStringLiteral("cannot use %1: %2").arg(path, error)};
    return input;
}

int ApplyCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    ServerOptions server;
    server.AddTo(parser);
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Print the changes; write nothing."));
    const QCommandLineOption baseFile(QStringLiteral("base"), QStringLiteral("The untouched export FILE was edited "
                                      "from: only what differs from it is written, and a description changed on the "
                                      "server since is kept."), QStringLiteral("ORIGINAL"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("With --base, write also over "
                                   "descriptions changed on the server since."));
    parser.addOptions({dryRun, baseFile, force});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An export as TSV or xlsx, its "
                                 "descriptions edited."));
    parser.setApplicationDescription(QStringLiteral("Writes the descriptions of an edited export that differ from "
                                                    "the server's. Exit status: 0 when every wanted change landed, "
                                                    "1 when any did not, 2 for a usage or file error."));
    if (ParseSubcommand(parser, arguments, server, QStringLiteral("apply"), 1))
        return 0;
    const StructureInput file = ReadInput(parser.positionalArguments().constFirst());
    const std::optional<StructureInput> base =
        parser.isSet(baseFile) ? std::optional(ReadInput(parser.value(baseFile))) : std::nullopt;
    const ServerAddress address = server.Address(parser);

    ReadRun run;
    if (!Connect(run, address, parser.value(server.database)))
        return kFailureStatus;
    QSet<QString> named;
    for (const auto* rows : {&file.columns, &file.tables})
        for (const StructureRow& row : *rows)
            named.insert(UnquotedField(row.fields.value(0)).value_or(row.fields.value(0)));
    for (const DocumentedTable& listed : run.listed)
        if (named.contains(listed.name))
            run.asked.append(listed.name);
    CTableCollector collector;
    const ExportOutcome outcome = Read(run, collector);
    std::vector<DocumentedTable> tables = collector.Tables();
    Describe(run, tables);
    for (const QString& table : outcome.notWritten)
        tables.push_back({table, {}, {}});
    const bool mysql = run.link.Kind() == 2;
    const DescriptionChanges found = CompareDescriptions(file, tables, mysql, base ? &*base : nullptr,
                                                         parser.isSet(force), outcome.notWritten);

    for (const QString& line : found.unusable)
        Complain(line);
    for (const DescriptionChange& change : found.conflicts)
        Complain(QStringLiteral("%1: %2 changed on the server since the base, kept: %3 (the file has %4)")
                     .arg(change.place, Named(change), Shown(change.stored), Shown(change.wanted)));
    const bool preview = parser.isSet(dryRun);
    if (preview && !base)
        Print(stdout, QStringLiteral("Without --base every description that differs from the server's is written.\n"));
    qsizetype changed = 0;
    qsizetype refused = 0;
    qsizetype failed = 0;
    for (const DescriptionChange& change : found.changes) {
        const QString line = QStringLiteral("%1: %2 \u2192 %3").arg(Named(change), Shown(change.stored),
                                                                    Shown(change.wanted));
        if (!change.refusal.isEmpty()) {
            ++refused;
            Complain(QStringLiteral("%1: refused, %2: %3").arg(change.place, change.refusal, line));
        } else if (preview) {
            ++changed;
            Print(stdout, line + u'\n');
        } else {
            const UpdateResult result = run.link.WriteDescription(change.table, change.column, change.wanted,
                                                                  change.stored);
            if (result.outcome == UpdateResult::Done) {
                ++changed;
                Print(stdout, line + u'\n');
                continue;
            }
            ++failed;
            const QString why = result.outcome == UpdateResult::Mismatch
                ? QStringLiteral("the server holds %1").arg(Shown(result.stored))
                : result.outcome == UpdateResult::NoSuchColumn ? QStringLiteral("the server no longer has it")
                                                               : StructureField(result.error);
            Complain(QStringLiteral("%1: %2 failed: %3").arg(change.place, Named(change), why));
        }
    }
    Print(stdout, QStringLiteral("%1 %2, unchanged %3, refused %4, failed %5, conflicts %6, unusable lines %7\n")
                      .arg(preview ? u"would change" : u"changed").arg(changed).arg(found.unchanged).arg(refused)
                      .arg(failed).arg(found.conflicts.size()).arg(found.unusable.size()));
    const bool clean = refused == 0 && failed == 0 && found.conflicts.empty() && found.unusable.isEmpty();
    return clean ? 0 : kFailureStatus;
}

} // namespace

QString SubcommandSummary()
{
    QString text = QStringLiteral("\nCommands (each with its own --help):\n");
    for (const Subcommand& command : kSubcommands)
        text += QStringLiteral("  %1  %2\n").arg(command.name, -9).arg(command.summary);
    return text + QStringLiteral("Without a command the window opens.\n");
}

std::optional<int> RunSubcommand(int& argc, char** argv, const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments[1].startsWith(u'-'))
        return std::nullopt;
    const QString name = arguments[1];
    const QStringList rest = QStringList{QStringLiteral("velmora ") + name} + arguments.mid(2);
    if (name != u"export" && name != u"coverage" && name != u"apply")
        return std::nullopt;
    QCoreApplication app(argc, argv);
    try {
        if (name == u"apply")
            return ApplyCommand(rest);
        return name == u"export" ? Export(rest) : CoverageCommand(rest);
    } catch (const UsageError& error) {
        Print(stderr, QStringLiteral("velmora %1: %2\nTry 'velmora %1 --help' for more information.\n")
                          .arg(name, error.text));
        return kUsageErrorStatus;
    }
}
