#include "export/MySqlColumnReader.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "db/MySqlText.h"
#include "db/MySqlClient.h"

#include <errmsg.h>

#include <QHash>
#include <QSet>

#include <utility>

namespace {

constexpr int kColumnValues = 9;

ExportProblem QueryFailed(const CMySqlClient& client, const QString& table = {})
{
    return {ExportProblem::QueryFailed, table, true, client.m_errorCode, FromMySql(client.m_errorText)};
}

bool LinkLost(const CMySqlClient& client)
{
    const auto code = client.m_errorCode;
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == CR_SERVER_LOST_EXTENDED;
}

// Per-table statements for the tables at `pending`.
void ReadEach(CMySqlClient& client, const QString& database, const QStringList& tables,
              const std::vector<qsizetype>& pending, ColumnReading& reading)
{
    for (const qsizetype index : pending) {
        TableColumns& table = reading.tables[size_t(index)];
        if (reading.linkLost) {
            table.failed = true;
            continue;
        }
        const QString statement = BuildCatalogQuery(kQueryColumns, tables[index], database, 2,
                                                    client.NoBackslashEscapes());
        CatalogRows rows = QueryMySqlRows(client, statement, kColumnValues);
        if (rows.failed) {
            table.failed = true;
            reading.problems.push_back(QueryFailed(client, tables[index]));
            reading.linkLost = LinkLost(client);
        } else if (rows.rows.empty()) {
            table.failed = true;
            reading.problems.push_back({ExportProblem::NoColumns, tables[index], true, 0, {}});
        } else {
            table.columns = std::move(rows.rows);
        }
    }
}

} // namespace

std::optional<QSet<QString>> MySqlViewNames(CMySqlClient& client, const QString& database)
{
    const CatalogRows views = QueryMySqlRows(client, BuildMySqlViewNames(database, client.NoBackslashEscapes()), 1);
    if (views.failed)
        return std::nullopt;
    QSet<QString> names;
    for (const QStringList& row : views.rows)
        names.insert(row.value(0));
    return names;
}

bool MarkMySqlViews(CMySqlClient& client, const QString& database, std::vector<DocumentedTable>& tables)
{
    const std::optional<QSet<QString>> names = MySqlViewNames(client, database);
    if (!names)
        return false;
    for (DocumentedTable& table : tables) {
        table.view = names->contains(table.name);
        if (table.view)
            table.description.clear();
    }
    return true;
}

CMySqlColumnChunks::CMySqlColumnChunks(CMySqlClient& client, QString database, QStringList tables, qsizetype chunk)
    : m_client(client), m_database(std::move(database)), m_tables(std::move(tables)), m_chunk(chunk)
{
}

bool CMySqlColumnChunks::SendChunk(qsizetype first)
{
    const QStringList part = m_tables.mid(first, m_chunk);
    return m_client.Send(ToMySql(
        BuildMySqlColumnsOfTables(part, m_database, m_client.NoBackslashEscapes())));
}

ColumnReading CMySqlColumnChunks::Read()
{
    const QStringList tables = NextTables();
    const bool sent = std::exchange(m_sent, false);
    m_first += tables.size();
    ColumnReading reading;
    reading.linkLost = m_linkLost;
    reading.tables.resize(size_t(tables.size()));
    std::vector<qsizetype> pending;
    if (m_chunk <= 0 || m_linkLost) {
        for (qsizetype i = 0; i < tables.size(); ++i)
            pending.push_back(i);
        ReadEach(m_client, m_database, tables, pending, reading);
        m_linkLost = reading.linkLost;
        return reading;
    }

    if (!(sent || SendChunk(m_first - tables.size())) || !m_client.Receive()) {
        reading.problems.push_back(QueryFailed(m_client));
        reading.linkLost = m_linkLost = LinkLost(m_client);
        for (TableColumns& table : reading.tables)
            table.failed = true;
        return reading;
    }
    QHash<QString, qsizetype> indexOf;
    indexOf.reserve(tables.size());
    for (qsizetype i = 0; i < tables.size(); ++i)
        if (!indexOf.contains(tables[i])) // a name given twice reads as its first
            indexOf.insert(tables[i], i);
    const int rows = m_client.RowCount();
    std::vector<qsizetype> tableOfRow(size_t(rows), -1);
    std::vector<bool> found(size_t(tables.size()), false);
    for (int row = 0; row < rows; ++row) {
        const auto at = indexOf.constFind(FromMySql(m_client.GetValue(row, kColumnValues)));
        if (at != indexOf.cend())
            found[size_t(tableOfRow[size_t(row)] = *at)] = true;
    }
    for (qsizetype i = 0; i < tables.size(); ++i)
        if (!found[size_t(i)])
            pending.push_back(i);
    // The result stays readable while the server runs the next statement;
    // tables to read again need the connection first.
    if (pending.empty() && !AtEnd())
        m_sent = SendChunk(m_first);
    for (int row = 0; row < rows; ++row) {
        if (tableOfRow[size_t(row)] < 0)
            continue;
        QStringList values;
        values.reserve(kColumnValues);
        for (int column = 0; column < kColumnValues; ++column)
            values.append(FromMySql(m_client.GetValue(row, column)));
        reading.tables[size_t(tableOfRow[size_t(row)])].columns.push_back(std::move(values));
    }
    ReadEach(m_client, m_database, tables, pending, reading);
    m_linkLost = reading.linkLost;
    return reading;
}
