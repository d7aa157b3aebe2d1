#include "export/StructureExport.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "db/OdbcConnection.h"
#include "export/MySqlColumnReader.h"

namespace {

void Warn(const ExportReports& reports, const ExportProblem& problem)
{
    if (reports.warning)
        reports.warning(problem);
}

void Progress(const ExportReports& reports, const std::vector<qsizetype>& written)
{
    if (reports.progress && !written.empty())
        reports.progress(written);
}

// False when the column statement failed (its message reported).
bool ExportSqlServerTable(COdbcRecordset& recordset, COdbcConnection& connection, DbKind kind, const QString& table,
                          const SqlServerTable& source, CTableSink& sink, ExportOutcome& outcome,
                          const ExportReports& reports)
{
    const CatalogRows result = QuerySqlServerRows(
        recordset, connection, BuildCatalogQuery(kQueryColumns, source.name, QString(), kind, false, source.schema),
        kColumnFields);
    if (result.failed || result.rows.empty()) {
        Warn(reports, {result.failed ? ExportProblem::QueryFailed : ExportProblem::NoColumns, table, false, 0,
                       result.error});
        outcome.notWritten.append(table);
        return false;
    }
    if (!sink.WriteTable(table, result.rows, kind)) {
        outcome.writeError = sink.ErrorString();
        return true;
    }
    Progress(reports, {qsizetype(result.rows.size())});
    return true;
}

} // namespace

QString WindowMessage(const ExportProblem& problem)
{
    if (problem.kind == ExportProblem::NoColumns)
        return QStringLiteral("未查询到表 %1 的字段，该表可能已被删除。").arg(problem.table);
    return problem.mysql ? QStringLiteral("查询失败...\n%1 : %2").arg(problem.code).arg(problem.text) : problem.text;
}

void ExportMySqlTables(CMySqlClient& client, const QString& database, const QStringList& tables, qsizetype chunk,
                       CTableSink& sink, ExportOutcome& outcome, const ExportReports& reports)
{
    // Chunks keep the client's memory bounded whatever the database's size.
    CMySqlColumnChunks chunks(client, database, tables, chunk);
    while (!chunks.AtEnd()) {
        const QStringList part = chunks.NextTables();
        const ColumnReading reading = chunks.Read();
        for (const ExportProblem& problem : reading.problems)
            Warn(reports, problem);
        // A chunk's progress goes out together: a round trip to the window
        // for each table cost as much as writing it.
        std::vector<qsizetype> written;
        for (qsizetype i = 0; i < part.size(); ++i) {
            const TableColumns& read = reading.tables[size_t(i)];
            if (read.failed) {
                outcome.notWritten.append(part[i]);
                continue;
            }
            if (!sink.WriteTable(part[i], read.columns, 2)) {
                outcome.writeError = sink.ErrorString();
                Progress(reports, written);
                return;
            }
            written.push_back(qsizetype(read.columns.size()));
        }
        Progress(reports, written);
        if (reading.linkLost) {
            outcome.notWritten.append(chunks.Remaining());
            return;
        }
    }
}

void ExportSqlServerTables(COdbcRecordset& recordset, COdbcConnection& connection, DbKind kind,
                           const QStringList& tables, const std::vector<SqlServerTable>& sources, CTableSink& sink,
                           ExportOutcome& outcome, const ExportReports& reports)
{
    for (qsizetype i = 0; i < tables.size(); ++i) {
        const bool read =
            ExportSqlServerTable(recordset, connection, kind, tables[i], sources[size_t(i)], sink, outcome, reports);
        if (!outcome.writeError.isEmpty())
            return;
        // One message for a lost link, not one for every table left.
        if (!read && connection.LinkLost()) {
            outcome.notWritten.append(tables.mid(i + 1));
            return;
        }
    }
}
