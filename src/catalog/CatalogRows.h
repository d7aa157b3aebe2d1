#pragma once

#include "catalog/RowTexts.h"

#include <QString>
#include <QStringList>

#include <vector>

class CMySqlClient;
class COdbcConnection;
class COdbcRecordset;

// The rows of one catalog statement as texts, or the message that says why
// there are none. The window decides where the message goes.
struct CatalogRows {
    std::vector<QStringList> rows;
    CRowTexts texts;
    QString error;
    bool failed = false;
};

// Sends the statement and reads columns 0 to columns - 1 of every row, as
// the connection's UTF-8 text and not trimmed; NULL reads as empty. A failure gives
// "查询失败...\n%d : %s" with the client's error. The connection stays open.
CatalogRows QueryMySqlRows(CMySqlClient& client, const QString& statement, int columns);

// The same reading with the values packed (`texts`) instead of in `rows`.
CatalogRows QueryMySqlTexts(CMySqlClient& client, const QString& statement, int columns);

// Opens the recordset on the statement and reads the named fields of every
// row with trailing white space cut; the recordset is closed again, also on
// failure, and the connection stays open. A failure in any step gives the
// driver's and the server's text unchanged.
CatalogRows QuerySqlServerRows(COdbcRecordset& recordset, COdbcConnection& connection, const QString& statement,
                               const QStringList& fields);

// SQL Server texts lose their trailing white space (leading stays).
QString TrimTrailingSpace(const QString& text);

// "查询失败...\n%d : %s" for the client's last error.
QString MySqlQueryFailure(const CMySqlClient& client);
