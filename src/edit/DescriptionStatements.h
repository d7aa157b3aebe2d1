#pragma once

#include "common/DbKind.h"

#include <QString>
#include <QStringList>

// Statement texts of the description updates. Names and descriptions are
// quoted so that the server stores exactly the text given.

// SQL Server keeps a description as the MS_Description extended property:
// it is added when the server holds none yet, else updated. `stored` is the
// description the server is known to hold (the list's text), not the text
// last typed: a failed attempt must not turn the next one into an update.
QString ExtendedPropertyProcedure(const QString& stored);

// A SQL Server table by its schema (SQL Server 2000: its owner) and name;
// an empty schema is dbo.
struct SqlServerTable {
    DbKind kind = 1;
    QString schema;
    QString name;
};

QString SqlServerTableDescription(const QString& procedure, const QString& description, const SqlServerTable& table);
QString SqlServerColumnDescription(const QString& procedure, const QString& description, const SqlServerTable& table,
                                   const QString& column);
// The table's description, or with a column the column's, as one row of
// one column named "value"; no row when there is none.
QString SqlServerDescriptionReadBack(const SqlServerTable& table, const QString& column = {});

// How many MS_Description properties the table, or with a column the
// column, has (0 or 1), as one row of one column named "found". The
// listings show an empty property as none.
QString SqlServerDescriptionCount(const SqlServerTable& table, const QString& column = {});

// `name` as a MySQL identifier in backticks (a backtick doubled).
QString MySqlIdentifier(const QString& name);

// COMMENT '<description>' for a session with or without NO_BACKSLASH_ESCAPES.
QString MySqlCommentClause(const QString& description, bool noBackslashEscapes);

// `restated`: further clauses ("modify column …") of the same statement.
QString MySqlTableComment(const QString& table, const QString& description, bool noBackslashEscapes,
                          const QStringList& restated = {});
// The names of the table's FLOAT columns with a default.
QString MySqlFloatDefaults(const QString& table);
// One row: "=" and each column's default as a DOUBLE (see MySqlExactValues).
QString MySqlFloatDefaultValues(const QString& table, const QStringList& columns);
QString MySqlShowCreateTable(const QString& table);
// A comment-only restatement that the server must do on the table's
// definition alone (see DescriptionUpdate.cpp for the clause).
QString MySqlModifyColumn(const QString& table, const QString& definition, const QString& algorithm);

// The write's session: strict, so that the server refuses where it would
// convert a value (a date it would accept invalid stays accepted), names
// quoted by SHOW CREATE TABLE whatever the server's setting, and a
// system-versioned table's history kept (MariaDB 10.3.4 and later).
QString MySqlWriteSession(bool versionedTables);
// TABLE_TYPE of the table in the connection's database; no row without it.
QString MySqlTableType(const QString& table);
QString MySqlLockTable(const QString& table);
QString MySqlUnlockTables();

// Facts of a column that come from the catalog, not from the printing of
// SHOW CREATE TABLE: COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, EXTRA,
// CHARACTER_SET_NAME, COLLATION_NAME, GENERATION_EXPRESSION, DATA_TYPE,
// then COLUMN_COMMENT.
QString MySqlColumnFacts(const QString& table, const QString& column);
inline constexpr int kColumnFactCount = 8;
// One row: "=" and the default a new row would get, as hex digits of its
// bytes (`binary`), as utf8mb4 hex digits (text) or as a DOUBLE
// (`floating`), when `withDefault`; then MariaDB's SRID of the column, when
// `srid`. DEFAULT() needs a row of the table: with none, the default of a
// NOT NULL column reads as NULL.
QString MySqlExactValues(const QString& table, const QString& column, bool withDefault, bool binary, bool floating,
                         bool srid);
// The same default from a row of an empty copy of the table's definition,
// for a table without rows.
QString MySqlDefaultsTable(const QString& table);
QString MySqlDefaultsRow();
QString MySqlDefaultsRead(const QString& column, bool binary, bool floating);
QString MySqlDefaultsDrop();
// ENUM or SET values: a temporary table with the column's type, one row per
// value (by index, SET by bit), read as utf8mb4 hex digits in order.
QString MySqlMembersTable(const QString& table, const QString& column);
QString MySqlMembersInsert(const QString& column, qsizetype count, bool set);
QString MySqlMembersRead(const QString& column);
QString MySqlMembersDrop();

// What the server holds after an update, read on a connection opened on
// the table's database.
QString MySqlTableCommentReadBack(const QString& table, bool noBackslashEscapes);
