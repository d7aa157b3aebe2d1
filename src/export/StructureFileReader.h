#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A structure file read back after a person or a spreadsheet edited it:
// the export's TSV (UTF-16 or UTF-8, with or without a byte-order mark,
// CR LF or LF) or its workbook. Knows nothing of servers.

// One line of fields and where it stood: the line number in a text file,
// the row number on a sheet (the header is 1).
struct StructureRow {
    qsizetype line = 0;
    QStringList fields;
};

struct StructureInput {
    std::vector<StructureRow> columns; // the lines after the header
    std::vector<StructureRow> tables;  // a workbook's tables sheet: name, description
    bool workbook = false;
};

// False with `error` when the file cannot be taken as a structure file at
// all: unreadable, not UTF-8 or UTF-16 text, or its first line is not the
// export's header. Lines are not checked here beyond that.
bool ReadStructureFile(const QString& path, StructureInput& input, QString& error);

// The text of a field a spreadsheet quoted ("a ""b""" is a "b"); nullopt
// when the field is not quoted that way.
std::optional<QString> UnquotedField(const QString& field);
