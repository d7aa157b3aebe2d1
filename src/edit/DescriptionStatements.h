#pragma once

#include <QString>

// Statement texts of the description updates. Names and descriptions are
// quoted so that the server stores exactly the text given.

// SQL Server keeps a description as the MS_Description extended property:
// it is added when the server holds none yet, else updated. `stored` is the
// description the server is known to hold (the list's text), not the text
// last typed: a failed attempt must not turn the next one into an update.
QString ExtendedPropertyProcedure(const QString& stored);

QString SqlServerTableDescription(const QString& procedure, const QString& description, const QString& table);
QString SqlServerColumnDescription(const QString& procedure, const QString& description, const QString& table,
                                   const QString& column);

// `name` as a MySQL identifier in backticks (a backtick doubled).
QString MySqlIdentifier(const QString& name);

// COMMENT '<description>' for a session with or without NO_BACKSLASH_ESCAPES.
QString MySqlCommentClause(const QString& description, bool noBackslashEscapes);

QString MySqlTableComment(const QString& table, const QString& description, bool noBackslashEscapes);
QString MySqlShowCreateTable(const QString& table);
QString MySqlModifyColumn(const QString& table, const QString& definition);

// SHOW CREATE TABLE writes string literals with backslash escapes whatever
// the session's mode, so the column is read back in a session without
// NO_BACKSLASH_ESCAPES; nothing else of the mode changes.
QString MySqlSessionWithBackslashEscapes();
QString MySqlSessionMode();
