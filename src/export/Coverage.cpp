#include "export/Coverage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qsizetype kDescription = 8;

double Percent(qsizetype part, qsizetype whole)
{
    return whole == 0 ? 100.0 : 100.0 * double(part) / double(whole);
}

QString Share(qsizetype part, qsizetype whole)
{
    return QStringLiteral("%1/%2 (%3%)").arg(part).arg(whole).arg(Percent(part, whole), 0, 'f', 1);
}

} // namespace

double Coverage::TablePercent() const
{
    return Percent(describedTables, qsizetype(tables.size()) - views);
}

double Coverage::ColumnPercent() const
{
    return Percent(describedColumns, columns);
}

Coverage MeasureCoverage(const std::vector<DocumentedTable>& tables)
{
    Coverage coverage;
    for (const DocumentedTable& table : tables) {
        TableCoverage entry{table.name, table.view, !table.description.trimmed().isEmpty(),
                            qsizetype(table.columns.size()), 0, {}};
        if (table.view) {
            ++coverage.views;
            coverage.tables.push_back(std::move(entry));
            continue;
        }
        for (const QStringList& values : table.columns) {
            if (values.value(kDescription).trimmed().isEmpty())
                entry.undescribedColumns.append(values.value(0));
            else
                ++entry.describedColumns;
        }
        coverage.describedTables += entry.described ? 1 : 0;
        coverage.columns += entry.columns;
        coverage.describedColumns += entry.describedColumns;
        coverage.tables.push_back(std::move(entry));
    }
    return coverage;
}

QString CoverageText(const Coverage& coverage)
{
    QString text = QStringLiteral("Tables described:  %1\nColumns described: %2\n\n")
                       .arg(Share(coverage.describedTables, qsizetype(coverage.tables.size()) - coverage.views),
                            Share(coverage.describedColumns, coverage.columns));
    QString lacking;
    for (const TableCoverage& table : coverage.tables) {
        if (table.view) {
            text += QStringLiteral("%1\tview\n").arg(table.table);
            continue;
        }
        text += QStringLiteral("%1\t%2\tcolumns %3\n")
                    .arg(table.table, table.described ? QStringLiteral("described") : QStringLiteral("undescribed"),
                         Share(table.describedColumns, table.columns));
        if (!table.described)
            lacking += QStringLiteral("table %1\n").arg(table.table);
        for (const QString& column : table.undescribedColumns)
            lacking += QStringLiteral("column %1.%2\n").arg(table.table, column);
    }
    if (!lacking.isEmpty())
        text += QStringLiteral("\nLacking a description:\n") + lacking;
    return text;
}

QString CoverageJson(const Coverage& coverage)
{
    QJsonArray tables;
    for (const TableCoverage& table : coverage.tables) {
        if (table.view) {
            tables.append(QJsonObject{{QStringLiteral("table"), table.table}, {QStringLiteral("view"), true}});
            continue;
        }
        tables.append(QJsonObject{{QStringLiteral("table"), table.table},
                                  {QStringLiteral("view"), false},
                                  {QStringLiteral("described"), table.described},
                                  {QStringLiteral("columns"), double(table.columns)},
                                  {QStringLiteral("describedColumns"), double(table.describedColumns)},
                                  {QStringLiteral("columnPercent"), Percent(table.describedColumns, table.columns)},
                                  {QStringLiteral("undescribedColumns"),
                                   QJsonArray::fromStringList(table.undescribedColumns)}});
    }
    const QJsonObject root{{QStringLiteral("tables"), double(qsizetype(coverage.tables.size()) - coverage.views)},
                           {QStringLiteral("views"), double(coverage.views)},
                           {QStringLiteral("describedTables"), double(coverage.describedTables)},
                           {QStringLiteral("tablePercent"), coverage.TablePercent()},
                           {QStringLiteral("columns"), double(coverage.columns)},
                           {QStringLiteral("describedColumns"), double(coverage.describedColumns)},
                           {QStringLiteral("columnPercent"), coverage.ColumnPercent()},
                           {QStringLiteral("perTable"), tables}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}
