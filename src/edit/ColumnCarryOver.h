#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The pieces of a column definition, as SHOW CREATE TABLE prints it, that
// the server prints inexactly: a literal default (characters outside the
// BMP as '?', a binary value as raw bytes, a FLOAT to six digits) and ENUM
// or SET values (outside the BMP as '?'); a spatial column's SRID it does
// not print at all. Expressions it prints exactly.

struct TextSpan {
    qsizetype begin = 0;
    qsizetype end = 0;
};

// The literal after DEFAULT: a quoted string or a number; anything else
// (NULL, an expression, b'1') is None.
struct PrintedDefault {
    enum Kind { None, String, Number };
    Kind kind = None;
    TextSpan span;
};
PrintedDefault FindPrintedDefault(const QString& definition);

// The quoted values of an ENUM or SET type, in order; none for other types.
std::vector<TextSpan> TypeMembers(const QString& definition);

// The text a quoted MySQL string literal stands for (backslash escapes and
// doubled quotes undone).
QString UnquoteMySqlString(QStringView literal);

// What the server really holds, read from sources that keep it.
struct ExactColumn {
    bool binary = false;   // a binary type: the default as hex digits
    bool floating = false; // FLOAT or DOUBLE: the default as a DOUBLE's text
    bool singleFloat = false;
    QString defaultValue;  // hex digits, text or number; null when not read
    QString srid;          // MariaDB's SRID of a spatial column; null when none
    std::optional<QStringList> members; // ENUM/SET values; nullopt when unread
};

// The definition with every inexact piece replaced by what `exact` holds,
// or nullopt when a piece cannot be carried over (its values print with '?'
// but could not be read).
std::optional<QString> CarryOverExact(const QString& definition, const ExactColumn& exact);
