#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// A structure file read back after a person or a spreadsheet edited it:
// the export's TSV (UTF-16 or UTF-8, with or without a byte-order mark,
// CR LF, CR or LF) or its workbook. Knows nothing of servers.

// One line of fields and where it stood: the line number in a text file
// (where a line holding quoted line breaks starts), the row number on a
// sheet (the header is 1).
struct StructureRow {
    qsizetype line = 0;
    QStringList fields;  // as meant: a spreadsheet's quotes undone
    QStringList written; // a text file's fields as they stand, quotes and all; empty when the same as `fields`
    QStringList faults;  // a sheet's: why a cell holds no usable text, by field; empty when none
    qsizetype width = 0; // how many fields the line has; on a sheet up to its last cell holding anything
};

struct StructureInput {
    std::vector<StructureRow> columns; // the lines after the header
    std::vector<StructureRow> tables;  // a workbook's tables sheet: name, description
    bool workbook = false;
    QStringList notes;                 // what of the file cannot be read, each named
};

// False with `error` when the file cannot be taken as a structure file at
// all: unreadable, not UTF-8 or UTF-16 text, its first line is not the
// export's header, or a workbook past what a structure file can hold.
// Lines are not checked here beyond that.
bool ReadStructureFile(const QString& path, StructureInput& input, QString& error);
