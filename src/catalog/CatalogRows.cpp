#include "catalog/CatalogRows.h"

#include "db/MySqlText.h"
#include "db/MySqlClient.h"
#include "db/OdbcRecordset.h"

QString MySqlQueryFailure(const CMySqlClient& client)
{
    return QStringLiteral("查询失败...\n%1 : %2")
        .arg(client.m_errorCode)
        .arg(FromMySql(client.m_errorText));
}

namespace {

// False, with the failure in `result`, when the statement did not run.
bool RunMySql(CMySqlClient& client, const QString& statement, CatalogRows& result)
{
    if (client.Query(ToMySql(statement)))
        return true;
    result.failed = true;
    result.error = MySqlQueryFailure(client);
    return false;
}

} // namespace

CatalogRows QueryMySqlRows(CMySqlClient& client, const QString& statement, int columns)
{
    CatalogRows result;
    if (!RunMySql(client, statement, result))
        return result;
    const int count = client.RowCount();
    result.rows.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        QStringList values;
        values.reserve(columns);
        for (int column = 0; column < columns; ++column)
            values.append(FromMySql(client.GetValue(row, column)));
        result.rows.push_back(std::move(values));
    }
    return result;
}

CatalogRows QueryMySqlTexts(CMySqlClient& client, const QString& statement, int columns)
{
    CatalogRows result;
    if (!RunMySql(client, statement, result))
        return result;
    const int count = client.RowCount();
    result.texts = CRowTexts(columns);
    result.texts.Reserve(qsizetype(count) * columns, qsizetype(client.ValueBytes()));
    client.ReadValues(unsigned(columns), [&](std::string_view value) { result.texts.AppendUtf8(value); });
    return result;
}

QString TrimTrailingSpace(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    return text.first(end);
}

CatalogRows QuerySqlServerRows(COdbcRecordset& recordset, COdbcConnection& connection, const QString& statement,
                               const QStringList& fields)
{
    CatalogRows result;
    try {
        recordset.Open(statement, connection);
        result.rows.reserve(static_cast<size_t>(recordset.RecordCount()));
        while (!recordset.IsEOF()) {
            QStringList values;
            values.reserve(fields.size());
            for (const QString& field : fields)
                values.append(TrimTrailingSpace(recordset.Collect(field)));
            result.rows.push_back(std::move(values));
            recordset.MoveNext();
        }
        recordset.Close();
    } catch (const COdbcError& error) {
        recordset.Close();
        result.rows.clear();
        result.failed = true;
        result.error = error.Description();
    }
    return result;
}
