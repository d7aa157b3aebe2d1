#include "cli/Cli.h"

#include "cli/CliCommon.h"
#include "export/Coverage.h"
#include "export/ExportTarget.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <csignal>

namespace {

struct Subcommand {
    QString name;
    QString summary;
};

const QList<Subcommand> kSubcommands = {
    {QStringLiteral("export"), QStringLiteral("Writes a database's table structure as TSV, Markdown, xlsx, HTML or "
                                              "Word.")},
    {QStringLiteral("coverage"), QStringLiteral("Tells how many tables and columns have a description.")},
    {QStringLiteral("apply"), QStringLiteral("Writes the descriptions of an edited export back to the database.")},
};

} // namespace

int ExportCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    ServerOptions server;
    server.AddTo(parser);
    const QCommandLineOption table(QStringLiteral("table"), QStringLiteral("A table to export (repeatable); "
                                   "all tables by default."), QStringLiteral("NAME"));
    const QCommandLineOption output(QStringLiteral("o"), QStringLiteral("The file to write; Markdown goes to "
                                    "standard output without it."), QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("tsv, md, xlsx, html or docx; else by the "
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
    if (kind == u"htm")
        kind = QStringLiteral("html");
    if (kind != u"tsv" && kind != u"md" && kind != u"xlsx" && kind != u"html" && kind != u"docx")
        throw UsageError{QStringLiteral("unknown format '%1': give --format tsv, md, xlsx, html or docx").arg(kind)};
    if (path.isEmpty() && kind != u"md")
        throw UsageError{QStringLiteral("%1 needs a file: give -o FILE").arg(kind)};
    const ServerAddress address = server.Address(parser);

    ReadRun run;
    // The structure file holds no table descriptions.
    if (!Connect(run, address, parser.value(server.database), kind != u"tsv"))
        return kFailureStatus;
    run.asked = parser.values(table);
    run.asked.removeDuplicates();
    if (run.asked.isEmpty())
        for (const DocumentedTable& listed : run.listed)
            run.asked.append(listed.name);

    // Markdown without -o goes to standard output, checked as a file is.
    const QString shown = path.isEmpty() ? QStringLiteral("standard output") : path;
    CExportTarget target(path);
    if (!target.Open()) {
        Complain(QStringLiteral("cannot open %1: %2").arg(shown, target.ErrorString()));
        return kFailureStatus;
    }
    ExportOutcome outcome;
    // With no table read the file stays as it was.
    bool write = false;
    bool written = false;
    // The structure file has no place for indexes and keys.
    KeyCatalog keys;
    if (kind == u"html" || kind == u"docx") {
        QHash<QString, QString> descriptions;
        QSet<QString> views;
        for (const DocumentedTable& listed : run.listed) {
            descriptions.insert(listed.name, listed.description);
            if (listed.view)
                views.insert(listed.name);
        }
        CDocumentSink sink(kind == u"html" ? DocumentFormat::Html : DocumentFormat::Docx,
                           {address.host, parser.value(server.database), QDate::currentDate()},
                           std::move(descriptions));
        sink.SetViews(std::move(views));
        outcome = ReadWithKeys(run, address, parser.value(server.database), sink, keys);
        sink.SetKeys(std::move(keys));
        write = outcome.writeError.isEmpty() && (sink.Started() || outcome.notWritten.isEmpty());
        written = write && sink.Commit(target.Output());
        if (write && !written)
            outcome.writeError = sink.ErrorString();
    } else if (kind == u"tsv") {
        // The window's file, written as the window writes it.
        outcome = Read(run, target);
        write = outcome.writeError.isEmpty() && (target.Started() || outcome.notWritten.isEmpty());
        written = write && target.Commit();
    } else {
        CTableCollector collector;
        outcome = ReadWithKeys(run, address, parser.value(server.database), collector, keys);
        Describe(run, collector.Tables());
        COutputFile& document = target.Output();
        write = !collector.Tables().empty() || outcome.notWritten.isEmpty();
        if (write && kind == u"xlsx") {
            written = WriteWorkbook(document, collector.Tables(), run.link.Kind(), outcome.writeError, &keys);
        } else if (write) {
            written = document.Write(
                MarkdownDocument(parser.value(server.database), collector.Tables(), run.link.Kind(), &keys).toUtf8());
        }
        written = written && document.Commit();
    }
    if (!written) {
        if (write && outcome.writeError.isEmpty())
            outcome.writeError = target.ErrorString();
        target.Cancel();
    }
    ReportNotWritten(outcome, shown);
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
    if (!numeric || !std::isfinite(least) || least < 0 || least > 100)
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
QString SubcommandSummary()
{
    QString text = QStringLiteral("\nCommands (each with its own --help):\n");
    for (const Subcommand& command : kSubcommands)
        text += QStringLiteral("  %1  %2\n").arg(command.name, -9).arg(command.summary);
    return text + QStringLiteral("Without a command the window opens.\n");
}

std::optional<int> RunSubcommand(int& argc, char** argv, const QStringList& arguments)
{
    // The window's options may come before the command's name; the command
    // takes the one it knows too.
    qsizetype at = 1;
    while (at < arguments.size() && arguments[at].startsWith(u'-'))
        ++at;
    const QString name = arguments.value(at);
    if (name != u"export" && name != u"coverage" && name != u"apply")
        return std::nullopt;
    const QStringList before = arguments.mid(1, at - 1);
    for (const QString& option : before) {
        if (option != u"--user-settings") {
            Print(stderr, QStringLiteral("velmora: '%1' goes after the command: velmora %2 %1 ...\n")
                              .arg(option, name));
            return kUsageErrorStatus;
        }
    }
    const QStringList rest = QStringList{QStringLiteral("velmora ") + name} + arguments.mid(at + 1) + before;
    QCoreApplication app(argc, argv);
    // A reader that leaves ends the output with a reported error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    int status = kUsageErrorStatus;
    try {
        if (name == u"apply")
            status = ApplyCommand(rest);
        else
            status = name == u"export" ? ExportCommand(rest) : CoverageCommand(rest);
    } catch (const UsageError& error) {
        Print(stderr, QStringLiteral("velmora %1: %2\nTry 'velmora %1 --help' for more information.\n")
                          .arg(name, error.text));
    }
    if (const auto lost = StandardOutputError()) {
        Complain(QStringLiteral("cannot write standard output: %1").arg(*lost));
        if (status == 0)
            status = kFailureStatus;
    }
    return status;
}
