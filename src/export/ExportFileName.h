#pragma once

#include <QString>

// The name the export writes to once the save dialog has answered. With the
// text filter chosen, a name without a suffix of its own gets ".txt". The
// dialog's own rule takes any dot for a suffix, and the default name
// "host-database" often holds dots ("127.0.0.1-shop"); here a suffix is the
// file name's last ".xxx" of 1 to 5 letters or digits, not all digits, so
// "report.csv" stays as typed and "127.0.0.1-shop" or "db.2023" get ".txt".
QString ExportFileName(const QString& chosen, bool textFilter);

// The workbook filter's counterpart: a name not ending in ".xlsx" gets it.
QString WorkbookFileName(const QString& chosen);

// Whether the export writes a workbook (the name ends in ".xlsx") rather
// than the structure text file.
bool IsWorkbookName(const QString& path);
