#pragma once

#include "common/DbKind.h"

#include <QString>

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

QString MySqlTableComment(const QString& table, const QString& description, bool noBackslashEscapes);
QString MySqlShowCreateTable(const QString& table);
QString MySqlModifyColumn(const QString& table, const QString& definition);

QString MySqlSessionMode();
// Sets the session's mode to the strictness of `sessionMode` alone, so that
// a column read back with SHOW CREATE TABLE is restated exactly.
QString MySqlRoundTripMode(const QString& sessionMode);

// What the server holds after an update, read on a connection opened on
// the table's database.
QString MySqlTableCommentReadBack(const QString& table, bool noBackslashEscapes);
QString MySqlColumnCommentReadBack(const QString& table, const QString& column, bool noBackslashEscapes);
