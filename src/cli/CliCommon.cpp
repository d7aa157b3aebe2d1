#include "cli/CliCommon.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsFolder.h"

#include <QSet>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace {

// The terminal the prompt silenced, for a signal to give its echo back.
int g_silenced = -1;
termios g_echoing{};
constexpr std::array kPromptSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void EndPrompt(int signal)
{
    tcsetattr(g_silenced, TCSAFLUSH, &g_echoing);
    [[maybe_unused]] const auto written = write(g_silenced, "\n", 1);
    // Ended by the signal itself, so a shell sees Ctrl-C (status 130).
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Asks on the terminal with echo off, as passwords are asked for; nullopt
// without a terminal. Throws UsageError when the input ends (Ctrl-D).
std::optional<QString> AskPassword()
{
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    termios saved{};
    const bool quiet = tcgetattr(fileno(tty), &saved) == 0;
    std::array<struct sigaction, kPromptSignals.size()> before{};
    if (quiet) {
        g_silenced = fileno(tty);
        g_echoing = saved;
        struct sigaction restore{};
        restore.sa_handler = EndPrompt;
        for (size_t i = 0; i < kPromptSignals.size(); ++i)
            sigaction(kPromptSignals[i], &restore, &before[i]);
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fileno(tty), TCSAFLUSH, &silent);
    }
    // Asked only once the echo is off: what is typed at the prompt stays unseen.
    std::fputs("Password: ", tty);
    std::fflush(tty);
    QByteArray line;
    int c = std::fgetc(tty);
    for (; c != EOF && c != '\n'; c = std::fgetc(tty))
        line.append(char(c));
    if (quiet) {
        tcsetattr(fileno(tty), TCSAFLUSH, &saved);
        for (size_t i = 0; i < kPromptSignals.size(); ++i)
            sigaction(kPromptSignals[i], &before[i], nullptr);
    }
    std::fputs("\n", tty);
    std::fclose(tty);
    if (c == EOF)
        throw UsageError{QStringLiteral("no password given: the input ended")};
    return QString::fromLocal8Bit(line);
}

// A port as given on the command line: digits only, 1 to 65535.
QString CheckedPort(const QString& text)
{
    bool number = !text.isEmpty();
    for (const QChar c : text)
        number = number && c >= u'0' && c <= u'9';
    const uint port = number ? text.toUInt(&number) : 0;
    if (!number || port < 1 || port > 65535)
        throw UsageError{QStringLiteral("--port is a number from 1 to 65535, not '%1'").arg(text)};
    return QString::number(port);
}


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
    // A message on a line of its own, below the count.
    void Complain(const QString& text) const
    {
        if (m_shown && m_done > 0)
            std::fputs("\n", stderr);
        ::Complain(text);
    }

private:
    qsizetype m_total;
    qsizetype m_done = 0;
    bool m_shown;
};

// The first reason standard output could not be written.
int g_outputError = 0;

void NoteOutputError(FILE* stream)
{
    if (stream == stdout && g_outputError == 0)
        g_outputError = errno != 0 ? errno : EIO;
}

} // namespace

void Print(FILE* stream, const QString& text)
{
    errno = 0;
    if (std::fputs(text.toUtf8().constData(), stream) == EOF)
        NoteOutputError(stream);
}

std::optional<QString> StandardOutputError()
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        NoteOutputError(stdout);
    if (g_outputError == 0)
        return std::nullopt;
    return QString::fromLocal8Bit(std::strerror(g_outputError));
}

QString EnglishReason(const ExportProblem& problem)
{
    if (problem.kind == ExportProblem::NoColumns)
        return QStringLiteral("table '%1' has no columns; it may have been dropped").arg(problem.table);
    const QString what = problem.table.isEmpty() ? QStringLiteral("the column query failed")
                                                 : QStringLiteral("the column query of table '%1' failed")
                                                       .arg(problem.table);
    return problem.mysql ? QStringLiteral("%1: %2 : %3").arg(what).arg(problem.code).arg(problem.text)
                         : QStringLiteral("%1: %2").arg(what, problem.text);
}

void Complain(const QString& text)
{
    Print(stderr, QStringLiteral("velmora: %1\n").arg(text));
}


ServerAddress ServerOptions::Address(const QCommandLineParser& parser) const
{
    const QString settings = parser.isSet(userSettings) ? UserSettingsFile()
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
                          parser.isSet(port) ? CheckedPort(parser.value(port)) : QString(), parser.value(user), {}};
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

bool ParseSubcommand(QCommandLineParser& parser, const QStringList& arguments, const ServerOptions& server,
                     const QString& name, qsizetype positional)
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

bool Connect(ReadRun& run, const ServerAddress& address, const QString& database, bool descriptions)
{
    if (!run.link.Open(address, database) || !run.link.ListTables(run.listed, descriptions)) {
        Complain(QStringLiteral("cannot read database '%1' on %2: %3").arg(database, address.host, run.link.Error()));
        return false;
    }
    return true;
}

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
                    {[&](const ExportProblem& problem) { progress.Complain(EnglishReason(problem)); },
                     [&](const std::vector<qsizetype>& written) { progress.Add(qsizetype(written.size())); }});
    return outcome;
}

void Describe(const ReadRun& run, std::vector<DocumentedTable>& tables)
{
    QHash<QString, QString> descriptions;
    for (const DocumentedTable& listed : run.listed)
        descriptions.insert(listed.name, listed.description);
    QSet<QString> views;
    for (const DocumentedTable& listed : run.listed) {
        if (listed.view)
            views.insert(listed.name);
    }
    for (DocumentedTable& read : tables) {
        read.description = descriptions.value(read.name);
        read.view = views.contains(read.name);
    }
}

void ReportNotWritten(const ExportOutcome& outcome, const QString& path)
{
    for (const QString& table : outcome.notWritten)
        Complain(QStringLiteral("table '%1' could not be read").arg(table));
    if (!outcome.writeError.isEmpty())
        Complain(QStringLiteral("cannot write %1: %2").arg(path, outcome.writeError));
}
