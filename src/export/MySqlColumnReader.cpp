#include "export/MySqlColumnReader.h"

#include "catalog/CatalogQuery.h"
#include "catalog/CatalogRows.h"
#include "common/AnsiCodePage.h"
#include "db/MySqlClient.h"

#include <errmsg.h>

#include <QHash>

namespace {

constexpr int kColumnValues = 9;

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
            reading.errors.append(rows.error);
            reading.linkLost = LinkLost(client);
        } else {
            table.columns = std::move(rows.rows);
        }
    }
}

} // namespace

ColumnReading ReadMySqlColumns(CMySqlClient& client, const QString& database, const QStringList& tables, bool bulk)
{
    ColumnReading reading;
    reading.tables.resize(size_t(tables.size()));
    std::vector<qsizetype> pending;
    if (!bulk || tables.isEmpty()) {
        for (qsizetype i = 0; i < tables.size(); ++i)
            pending.push_back(i);
        ReadEach(client, database, tables, pending, reading);
        return reading;
    }

    const QString statement = BuildMySqlColumnsOfTables(tables, database, client.NoBackslashEscapes());
    if (!client.Query(AnsiCodePage::FromUnicode(statement))) {
        reading.errors.append(MySqlQueryFailure(client));
        reading.linkLost = LinkLost(client);
        for (TableColumns& table : reading.tables)
            table.failed = true;
        return reading;
    }
    QHash<QString, qsizetype> indexOf;
    indexOf.reserve(tables.size());
    for (qsizetype i = 0; i < tables.size(); ++i)
        if (!indexOf.contains(tables[i])) // a name given twice reads as its first
            indexOf.insert(tables[i], i);
    const int rows = client.RowCount();
    for (int row = 0; row < rows; ++row) {
        const auto found = indexOf.constFind(AnsiCodePage::ToUnicode(client.GetValue(row, kColumnValues)));
        if (found == indexOf.cend())
            continue;
        QStringList values;
        values.reserve(kColumnValues);
        for (int column = 0; column < kColumnValues; ++column)
            values.append(AnsiCodePage::ToUnicode(client.GetValue(row, column)));
        reading.tables[size_t(*found)].columns.push_back(std::move(values));
    }
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (reading.tables[size_t(i)].columns.empty())
            pending.push_back(i);
    }
    ReadEach(client, database, tables, pending, reading);
    return reading;
}
