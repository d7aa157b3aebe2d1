#pragma once

#include <QString>

class CMySqlClient;
class COdbcConnection;

// What became of one description update; `error` is the text to show when
// it failed, the server's or driver's own words included.
struct UpdateResult {
    enum Outcome { Done, NoSuchColumn, Failed };
    Outcome outcome = Done;
    QString error;
};

// The first character of `text` the MySQL connection cannot carry, or empty.
// The connection speaks GBK; the server stores what it cannot read as '?'.
QString FirstCharacterGbkLacks(const QString& text);

// On an open MySQL connection, which is closed again on every path.
UpdateResult UpdateMySqlTableComment(CMySqlClient& client, const QString& table, const QString& description);
// Restates the column as the server defines it, so that only its comment
// changes; a table or column the server no longer has gives NoSuchColumn.
UpdateResult UpdateMySqlColumnComment(CMySqlClient& client, const QString& table, const QString& column,
                                      const QString& description);

// Runs the statement on the open connection, then closes it.
UpdateResult RunSqlServerStatement(COdbcConnection& connection, const QString& statement);
