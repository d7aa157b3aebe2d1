#pragma once

#include "export/DocumentedTable.h"
#include "export/StructureFileReader.h"

#include <QString>

#include <vector>

// Which descriptions an edited structure file changes, against what the
// server holds now. Only the descriptions are taken from the file.

struct DescriptionChange {
    QString table;
    QString column; // empty for the table's own description
    QString stored; // what the server holds
    QString wanted; // what the file says
    QString place;  // where in the file: "line 7", "Tables row 3"
    QString refusal; // why the server cannot store `wanted`; empty when it can
};

struct DescriptionChanges {
    std::vector<DescriptionChange> changes;   // to write, in file order
    std::vector<DescriptionChange> conflicts; // changed on the server since the base
    QStringList unusable;                     // lines that name nothing certain, each with its place
    qsizetype unchanged = 0;
};

// `server`: every table of the database with its description and columns;
// the columns of the tables in `unread` could not be read.
// With `base` (the export the file was edited from), only what differs from
// the base is wanted, and a description changed on the server since is a
// conflict unless `force`. A description that differs from the server's
// only as the export writes line breaks and TABs, or in how a line break is
// made (CR LF, CR or LF), is unchanged.
DescriptionChanges CompareDescriptions(const StructureInput& file, const std::vector<DocumentedTable>& server,
                                       bool mysql, const StructureInput* base = nullptr, bool force = false,
                                       const QStringList& unread = {});

// Why `base` cannot be the untouched export `file` was edited from, empty
// when it can: most of its lines name tables the database (`tables`, all
// of its names) does not have, or it shares under half of the file's lines.
// Without that check every difference would count as an edit.
QString BaseMisfit(const StructureInput& file, const StructureInput& base, const QStringList& tables);
