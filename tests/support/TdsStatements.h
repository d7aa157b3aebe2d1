#pragma once

// The statements the peer answers, written out here on their own so that
// the program's statement builders are checked against an independent copy,
// character for character.

#include <QString>
#include <QStringList>

#include <optional>

namespace TdsStatements {

QString Probe();
QString Databases();
// kind 0: sysproperties catalog; kind 1: sys.extended_properties.
QString Tables(int kind);
// The column statement for a table name, quoted as a '...' literal.
QString Columns(int kind, const QString& table);

// What the statements of the description updates look like; each %s is the
// inside of an N'...' literal, filled in order: description, table[, column].
struct PropertyTemplates {
    QString addTable;
    QString updateTable;
    QString addColumn;
    QString updateColumn;

    static PropertyTemplates Default();
};

// The inside of a literal as a server reads it back: '' is one quote.
QString EscapeLiteral(const QString& text);

// The values of the %s slots when text has the template's shape and every
// slot holds a well-formed literal body (no lone quote); nullopt otherwise.
std::optional<QStringList> Match(const QString& text, const QString& templ);

} // namespace TdsStatements
