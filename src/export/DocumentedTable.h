#pragma once

#include "common/DbKind.h"
#include "export/TableKeys.h"
#include "export/TableSink.h"

class COutputFile;

#include <QString>
#include <QStringList>

#include <vector>

// A table as the documents beside the structure file show it: its name as
// the table list shows it, its description and its column rows (the nine
// values of the column query). A view has no description of its own
// (MySQL reports "VIEW" as its comment).
struct DocumentedTable {
    QString name;
    QString description;
    std::vector<QStringList> columns;
    bool view = false;
};

// Keeps what the export loop reads, for a document written once it is all in.
class CTableCollector : public CTableSink
{
public:
    bool WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind) override
    {
        m_kind = kind;
        m_tables.push_back({table, {}, columns});
        return true;
    }
    QString ErrorString() const override { return {}; }

    std::vector<DocumentedTable>& Tables() { return m_tables; }
    DbKind Kind() const { return m_kind; }

private:
    std::vector<DocumentedTable> m_tables;
    DbKind m_kind = 2;
};

// The Markdown document of the tables: a contents list, then a heading per
// table with its description and a table of its columns. Texts are escaped
// so that what the server holds shows as it is on GitHub and GitLab. With
// keys, each table also lists its indexes and foreign keys.
QString MarkdownDocument(const QString& database, const std::vector<DocumentedTable>& tables, DbKind kind,
                         const KeyCatalog* keys = nullptr);

// The anchor GitHub and GitLab give a heading of this text; `used` keeps the
// anchors taken so far, as a repeated heading gets "-1", "-2", ...
QString HeadingAnchor(const QString& heading, QStringList& used);

// Escapes text for a Markdown table cell or paragraph.
QString MarkdownText(const QString& text);

// The workbook: the structure file's rows on the first sheet, the tables
// and their descriptions on the second, the views' names (if any) on a third,
// every cell a text; with keys, the indexes and the foreign keys on two
// more. Written to the opened output, which the caller commits; false with
// `error` otherwise.
bool WriteWorkbook(COutputFile& output, const std::vector<DocumentedTable>& tables, DbKind kind, QString& error,
                   const KeyCatalog* keys = nullptr);
// The same, replacing the file at path whole.
bool WriteWorkbook(const QString& path, const std::vector<DocumentedTable>& tables, DbKind kind, QString& error,
                   const KeyCatalog* keys = nullptr);
