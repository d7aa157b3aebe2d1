#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The statements that read the indexes and foreign keys of several tables
// of one database at once. The MySQL ones read every table of the database
// for an empty list; SQL Server needs at least one table.

// MySQL, one row per index column: "table", "index", "column", "nonunique"
// (0 or 1), "seq" (the column's place in the index, from 1). The server
// compares names by its collation, so a caller keeps only exact names.
QString BuildMySqlIndexesOfTables(const QStringList& tables, const QString& database, bool noBackslashEscapes);

// MySQL, one row per foreign key column: "table", "key", "column",
// "refschema", "reftable", "refcolumn", "seq". The rules come apart, one
// row per key: "table", "key", "ondelete", "onupdate"; joined by the server,
// the two took ten times as long as both alone.
QString BuildMySqlForeignKeysOfTables(const QStringList& tables, const QString& database, bool noBackslashEscapes);
QString BuildMySqlForeignKeyRules(const QStringList& tables, const QString& database, bool noBackslashEscapes);

// A SQL Server table by its schema (empty: the user's default) and name.
using SqlServerName = std::pair<QString, QString>;

// SQL Server 2005 and later, one row per index key column, in key order:
// "schema", "table", "index", "column", "unique", "primary" (1 or 0).
// Heaps, hypothetical indexes and included columns are left out.
inline const QStringList kSqlServerIndexFields = {"schema", "table", "index", "column", "unique", "primary"};
QString BuildSqlServerIndexesOfTables(const std::vector<SqlServerName>& tables);

// SQL Server 2005 and later, one row per foreign key column, in key order:
// "schema", "table", "key", "column", "refschema", "reftable", "refcolumn",
// "ondelete", "onupdate" (NO_ACTION, CASCADE, SET_NULL, SET_DEFAULT).
inline const QStringList kSqlServerForeignKeyFields = {"schema",    "table",     "key",      "column",  "refschema",
                                                       "reftable",  "refcolumn", "ondelete", "onupdate"};
QString BuildSqlServerForeignKeysOfTables(const std::vector<SqlServerName>& tables);
