#pragma once

#include "edit/SqlTokens.h"

#include <QString>

#include <optional>

// The definition of one column as the server states it in the text of
// SHOW CREATE TABLE, with its COMMENT clause replaced by `comment` (the
// complete clause text, e.g. COMMENT 'x'). A new clause goes where the
// server's grammar allows it: in place of the old one, else before a
// column CHECK constraint, else at the end. Column names match without
// regard to letter case, as MySQL compares them. An empty `comment` leaves
// the definition without its clause. Empty when the text defines no such
// column.
std::optional<QString> RestateColumn(const QString& createTable, const QString& column, const QString& comment,
                                     SqlDialect dialect);

// The definition of the column as the text states it, untouched.
std::optional<QString> ColumnElement(const QString& createTable, const QString& column, SqlDialect dialect);
