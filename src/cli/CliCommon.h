#pragma once

// What the subcommands share: their messages, the options that name a
// server, and reading the tables of a database over one connection.

#include "cli/ServerLink.h"
#include "export/DocumentSink.h"
#include "export/DocumentedTable.h"
#include "export/StructureExport.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <vector>

constexpr int kFailureStatus = 1;

// Failures to write standard output are kept for StandardOutputError.
void Print(FILE* stream, const QString& text);
// Flushes standard output; the reason when anything written to it was lost.
std::optional<QString> StandardOutputError();
// "velmora: <text>" on standard error.
void Complain(const QString& text);

// Thrown for a command line the subcommand cannot run; status 2.
struct UsageError {
    QString text;
};

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

    // The server the options name; throws UsageError.
    ServerAddress Address(const QCommandLineParser& parser) const;
};

// Parses a subcommand's line with at most `positional` arguments; true when
// it asked for its help, now printed. Throws UsageError.
bool ParseSubcommand(QCommandLineParser& parser, const QStringList& arguments, const ServerOptions& server,
                     const QString& name, qsizetype positional = 0);

// The tables of the database asked for, read through the export loop.
struct ReadRun {
    CServerLink link;
    std::vector<DocumentedTable> listed;
    QStringList asked;
};


// Connects and lists; false (reported) when the server cannot be used.
bool Connect(ReadRun& run, const ServerAddress& address, const QString& database, bool descriptions = true);
// Runs the export loop over the asked tables; a name the database does not
// list fails without a statement.
ExportOutcome Read(ReadRun& run, CTableSink& sink);
// The descriptions of the listing go to the tables read.
void Describe(const ReadRun& run, std::vector<DocumentedTable>& tables);
// The loop's reason for tables it could not read, in English.
QString EnglishReason(const ExportProblem& problem);
// Names the tables not read, and the file (`path`) that could not be written.
void ReportNotWritten(const ExportOutcome& outcome, const QString& path = {});
// The indexes and foreign keys of the asked tables the database lists; a
// failed statement is complained of, and the documents say they are missing.
KeyCatalog ReadKeys(ReadRun& run);
// The export loop into the sink, and the keys of the same tables beside it.
ExportOutcome ReadWithKeys(ReadRun& run, const ServerAddress& address, const QString& database, CTableSink& sink,
                           KeyCatalog& keys);

int ExportCommand(const QStringList& arguments);
int CoverageCommand(const QStringList& arguments);
int ApplyCommand(const QStringList& arguments);
