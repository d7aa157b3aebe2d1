#pragma once

#include <QString>

// Text for the inside of a single-quoted string literal. Work on the
// UTF-16 text, before any code-page conversion: escaping GBK bytes would
// double the 0x5C that ends many two-byte characters.

// SQL Server: a quote is doubled.
QString EscapeSqlServerLiteral(const QString& text);

// MySQL: a quote is doubled, and so is a backslash unless the session runs
// with NO_BACKSLASH_ESCAPES, where a backslash is an ordinary character.
QString EscapeMySqlLiteral(const QString& text, bool noBackslashEscapes = false);
