#pragma once

#include "common/DbKind.h"

#include <QString>
#include <QStringList>

// Query kinds of BuildCatalogQuery.
enum CatalogQueryKind : int { kQueryDatabases = 0, kQueryTables = 1, kQueryColumns = 2 };

// The SQL Server column query's field names, in the order of the values.
inline const QStringList kColumnFields = {"name", "type", "length", "dec", "null", "key", "auto", "default", "desc"};

// Yields one row when the server keeps descriptions in sysproperties
// (kind 0); otherwise the sys.extended_properties forms apply (kind 1).
inline const QString kCatalogProbe = QStringLiteral("select 1 from sysobjects where [name] = 'sysproperties'");

// The catalog statement for a query kind and server kind; the empty text
// for a query kind or server kind it does not know. The table name is used
// by the column query, the database name by the MySQL table and column
// queries. noBackslashEscapes tells whether the MySQL session has
// NO_BACKSLASH_ESCAPES in its sql_mode, which changes how names are quoted.
//
// Result columns: databases "name" (MySQL: column 0); tables "name",
// "extpro", "schema" (MySQL: 0, 1); columns "name", "type", "length", "dec", "null",
// "key", "auto", "default", "desc" (MySQL: 0 to 8). "null", "key" and
// "auto" hold "√" for yes and the empty text for no.
// A SQL Server column query with a schema (SQL Server 2000: an owner)
// reads the table of that schema only.
QString BuildCatalogQuery(int queryKind, const QString& table, const QString& database, DbKind kind,
                          bool noBackslashEscapes = false, const QString& schema = {});

// The MySQL column query for several tables of one database at once: the
// nine columns of the column query, then the table's name as column 9. The
// server compares the names by its own collation, so a caller keeps only
// the rows of exactly the names it asked for. An empty list selects nothing
// and is not valid SQL: callers pass at least one name.
QString BuildMySqlColumnsOfTables(const QStringList& tables, const QString& database, bool noBackslashEscapes);

// The MySQL table query without the comments: the server then need not open
// each table's definition, which is most of the table query's time.
QString BuildMySqlTableNames(const QString& database, bool noBackslashEscapes);
// The names of the database's views, which MySQL lists among its tables.
QString BuildMySqlViewNames(const QString& database, bool noBackslashEscapes);
