#pragma once

#include "export/DocumentedTable.h"
#include "export/ExportProblem.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class CMySqlClient;

// The column rows of one table as the column query gives them: the nine
// values, decoded from GBK, NULL as empty, in the server's order.
struct TableColumns {
    std::vector<QStringList> columns;
    bool failed = false;
};

// The names of the database's views; nothing when the server cannot say.
std::optional<QSet<QString>> MySqlViewNames(CMySqlClient& client, const QString& database);

// Marks the views among the tables and drops the "VIEW" MySQL gives as
// their comment; false, with the tables as they were, when the server
// cannot say which they are.
bool MarkMySqlViews(CMySqlClient& client, const QString& database, std::vector<DocumentedTable>& tables);

struct ColumnReading {
    std::vector<TableColumns> tables;    // one per table asked for, same order
    std::vector<ExportProblem> problems; // once per failed statement or missing table
    bool linkLost = false;               // no later statement on this connection can work
};

// Reads the columns of the given tables of one database over an open
// connection, a chunk of tables at a time. Chunk > 0: one statement for the
// chunk's tables; a table the result holds no row of exactly its name (the
// server matches names by a case- and accent-blind collation) is read again
// with the per-table statement, so both ways give the same rows. Chunk 0:
// the per-table column statement for each table. After a lost link the
// tables not yet read are failed without another statement.
class CMySqlColumnChunks
{
public:
    CMySqlColumnChunks(CMySqlClient& client, QString database, QStringList tables, qsizetype chunk);

    bool AtEnd() const { return m_first >= m_tables.size(); }
    // The tables the next Read gives, in order.
    QStringList NextTables() const { return m_tables.mid(m_first, qMax<qsizetype>(m_chunk, 1)); }
    QStringList Remaining() const { return m_tables.mid(m_first); }
    // Reads the next chunk. The statement of the chunk after it is already
    // running on the server when this returns, so the caller's work on this
    // chunk and the server's on the next overlap.
    ColumnReading Read();

private:
    bool SendChunk(qsizetype first);

    CMySqlClient& m_client;
    QString m_database;
    QStringList m_tables;
    qsizetype m_chunk;
    qsizetype m_first = 0;
    bool m_sent = false; // the statement of the chunk at m_first is running
    bool m_linkLost = false;
};
