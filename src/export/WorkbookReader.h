#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// One row of a worksheet that holds anything: its number (the first is 1),
// its first cells in column order (gaps as empty strings), and why a cell
// among them holds no usable text (by column, as `cells`; empty when none).
struct WorkbookRow {
    qint64 number = 0;
    QStringList cells;
    QStringList faults;
    int width = 0; // one past the last column holding anything, also past the cells kept
};

struct WorkbookSheet {
    QString name;
    std::vector<WorkbookRow> rows;
};

// Reads the xlsx workbook at `path`: every worksheet's name in workbook
// order, and the rows of those `wanted` (all when not given), each with its
// first `columns` cells. Numbers come as the text stored, integral ones
// without fraction or exponent; booleans as "TRUE" or "FALSE"; a formula as
// its computed value. An error cell, or a formula without a computed value,
// is a fault. False with `error` (a short English reason) when the file is
// not a readable xlsx or holds more than a structure file can sanely hold;
// memory follows the text read, not the cell addresses the file names.
bool ReadWorkbook(const QString& path, std::vector<WorkbookSheet>& sheets, QString& error, int columns,
                  const std::function<bool(qsizetype index, const QString& name)>& wanted = {});
