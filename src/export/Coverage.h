#pragma once

#include "export/DocumentedTable.h"

#include <QString>

#include <vector>

// How much of a database is described: tables with a description and
// columns with one, overall and per table. A description of white space
// alone counts as none. Views are listed but hold nothing to describe.
struct TableCoverage {
    QString table;
    bool view = false;
    bool described = false;
    qsizetype columns = 0;
    qsizetype describedColumns = 0;
    QStringList undescribedColumns;
};

struct Coverage {
    std::vector<TableCoverage> tables; // views among them
    qsizetype views = 0;
    qsizetype describedTables = 0;
    qsizetype columns = 0;
    qsizetype describedColumns = 0;

    // Shares in percent; 100 for nothing to describe.
    double TablePercent() const;
    double ColumnPercent() const;
};

Coverage MeasureCoverage(const std::vector<DocumentedTable>& tables);
QString CoverageText(const Coverage& coverage);
QString CoverageJson(const Coverage& coverage);
