#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// One worksheet as text: its name and its rows, each row's cells in column
// order (gaps as empty strings, trailing empties dropped; empty rows between
// kept as empty lists).
struct WorkbookSheet {
    QString name;
    std::vector<QStringList> rows;
};

// Reads every worksheet of the xlsx workbook at `path` in workbook order.
// Numbers come as the text stored, integral ones without fraction or
// exponent; booleans as "TRUE" or "FALSE". False with `error` (a short
// English reason) when the file is not a readable xlsx.
bool ReadWorkbook(const QString& path, std::vector<WorkbookSheet>& sheets, QString& error);
