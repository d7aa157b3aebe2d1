#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class CMySqlClient;

// The column rows of one table as the column query gives them: the nine
// values, decoded from GBK, NULL as empty, in the server's order.
struct TableColumns {
    std::vector<QStringList> columns;
    bool failed = false;
};

struct ColumnReading {
    std::vector<TableColumns> tables; // one per table asked for, same order
    QStringList errors;               // "查询失败..." once per failed statement
    bool linkLost = false;            // no later statement on this connection can work
};

// Reads the columns of the given tables of one database over an open
// connection. Bulk: one statement for all of them; a table the result
// holds no row of exactly its name (the server matches names by a
// case- and accent-blind collation) is read again with the per-table
// statement, so both ways give the same rows. Otherwise the per-table
// column statement for each table. After a lost link the tables not yet
// read are failed without another statement.
ColumnReading ReadMySqlColumns(CMySqlClient& client, const QString& database, const QStringList& tables, bool bulk);
