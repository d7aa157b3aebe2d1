#pragma once

#include "common/DbKind.h"
#include "edit/DescriptionStatements.h"
#include "export/ExportProblem.h"
#include "export/TableSink.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class CMySqlClient;
class COdbcConnection;
class COdbcRecordset;

// How an export run went, for its caller to tell.
struct ExportOutcome {
    QStringList notWritten; // in table order
    QString writeError;     // the sink's reason; ends the export
};

// What an export run reports while it goes; either may be empty.
struct ExportReports {
    std::function<void(const ExportProblem&)> warning;
    // The column count of each table just written, a batch at a time.
    std::function<void(const std::vector<qsizetype>&)> progress;
};

// Reads the columns of the tables over an open connection and hands each
// table read to the sink, in the order given. A table that cannot be read
// is named in notWritten and the run goes on; a lost link fails the rest
// without another statement; a sink that fails ends the run.
void ExportMySqlTables(CMySqlClient& client, const QString& database, const QStringList& tables, qsizetype chunk,
                       CTableSink& sink, ExportOutcome& outcome, const ExportReports& reports);
void ExportSqlServerTables(COdbcRecordset& recordset, COdbcConnection& connection, DbKind kind,
                           const QStringList& tables, const std::vector<SqlServerTable>& sources, CTableSink& sink,
                           ExportOutcome& outcome, const ExportReports& reports);
