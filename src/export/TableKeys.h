#pragma once

#include "common/DbKind.h"
#include "edit/DescriptionStatements.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class CMySqlClient;
class COdbcConnection;
class COdbcRecordset;

struct TableIndex {
    QString name;
    QStringList columns; // in the index's order
    bool unique = false;
    bool primary = false;
};

// A yes in an index's "unique" or "primary" cell, as the lists show it.
inline QString YesMark(bool yes) { return yes ? QStringLiteral("√") : QString(); }

struct ForeignKey {
    QString name;
    QStringList columns;
    QString referencedTable; // schema.table when it is in another schema or database
    QStringList referencedColumns;
    QString onDelete; // as the server words it ("CASCADE", "NO ACTION"); empty when it says nothing
    QString onUpdate;
};

struct TableKeys {
    std::vector<TableIndex> indexes;
    std::vector<ForeignKey> foreignKeys;
};

// The indexes and foreign keys of the tables of one export, by the table's
// name as the table list shows it. A table read without any has an empty
// entry; a table missing from `tables` was not read, and `unread` says why.
struct KeyCatalog {
    QHash<QString, TableKeys> tables;
    QString unread;

    const TableKeys* Find(const QString& table) const
    {
        const auto found = tables.constFind(table);
        return found == tables.cend() ? nullptr : &*found;
    }
};

// Reads the indexes and foreign keys, `chunk` tables a statement (MySQL:
// three statements a chunk, or three for the whole database when more than
// a chunk is asked for; SQL Server: two a chunk). A failed statement leaves
// its tables out, with its message in `errors`; after a lost link no
// statement is sent.
KeyCatalog ReadMySqlKeys(CMySqlClient& client, const QString& database, const QStringList& tables, qsizetype chunk,
                         QStringList& errors);
// SQL Server 2000 (kind 0) keeps its keys in tables this does not read: the
// catalog says so in `unread` without a statement.
KeyCatalog ReadSqlServerKeys(COdbcRecordset& recordset, COdbcConnection& connection, DbKind kind,
                             const QStringList& tables, const std::vector<SqlServerTable>& sources, qsizetype chunk,
                             QStringList& errors);
