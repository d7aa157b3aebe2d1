#include "export/DocumentedTable.h"

#include "common/OutputFile.h"
#include "export/StructureFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <optional>

namespace {

// Characters as a spreadsheet column width: wide (CJK) ones count twice.
double TextWidth(const QString& text)
{
    double width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

// Text that reads as an "_xHHHH_" escape gets its underscore escaped as
// "_x005F_", as Excel does; the writer only escapes control characters, so
// a literal "_x000D_" would otherwise come back as a line break.
QString EscapeLookalikes(const QString& text)
{
    static const QRegularExpression lookalike(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    if (!text.contains(u"_x"))
        return text;
    return QString(text).replace(lookalike, QStringLiteral("_x005F_"));
}

class CSheet
{
public:
    CSheet(lxw_workbook* book, const char* name) : m_sheet(workbook_add_worksheet(book, name)) {}

    bool Row(lxw_row_t row, const QStringList& cells, lxw_format* format = nullptr)
    {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const auto column = lxw_col_t(i);
            if (m_widths.size() <= size_t(i))
                m_widths.resize(size_t(i) + 1, 8);
            m_widths[size_t(i)] = std::max(m_widths[size_t(i)], TextWidth(cells[i]) + 2);
            // Strings only: "00000007", "=1+1" and "TRUE" stay the texts they are.
            if (worksheet_write_string(m_sheet, row, column, EscapeLookalikes(cells[i]).toUtf8().constData(), format) != LXW_NO_ERROR)
                return false;
        }
        return true;
    }

    void Finish()
    {
        worksheet_freeze_panes(m_sheet, 1, 0);
        for (size_t i = 0; i < m_widths.size(); ++i)
            worksheet_set_column(m_sheet, lxw_col_t(i), lxw_col_t(i), std::min(m_widths[i], 100.0), nullptr);
    }

private:
    lxw_worksheet* m_sheet;
    std::vector<double> m_widths;
};

// The indexes and the foreign keys, a row each; a table whose keys were not
// read has one row saying so.
bool WriteKeySheets(lxw_workbook* book, lxw_format* bold, const std::vector<DocumentedTable>& tables,
                    const KeyCatalog& keys)
{
    CSheet indexes(book, "Indexes");
    CSheet foreign(book, "Foreign keys");
    bool written = indexes.Row(0, {QStringLiteral("Table"), QStringLiteral("Index"), QStringLiteral("Columns"),
                                   QStringLiteral("Unique"), QStringLiteral("Primary")}, bold)
        && foreign.Row(0, {QStringLiteral("Table"), QStringLiteral("Key"), QStringLiteral("Columns"),
                           QStringLiteral("References"), QStringLiteral("Referenced columns"),
                           QStringLiteral("On delete"), QStringLiteral("On update")}, bold);
    lxw_row_t indexRow = 1;
    lxw_row_t keyRow = 1;
    for (const DocumentedTable& table : tables) {
        const TableKeys* read = keys.Find(table.name);
        if (!read) {
            written = written && indexes.Row(indexRow++, {table.name, keys.unread})
                && foreign.Row(keyRow++, {table.name, keys.unread});
            continue;
        }
        for (const TableIndex& index : read->indexes)
            written = written && indexes.Row(indexRow++, {table.name, index.name, index.columns.join(u", "),
                                                          YesMark(index.unique), YesMark(index.primary)});
        for (const ForeignKey& key : read->foreignKeys)
            written = written && foreign.Row(keyRow++, {table.name, key.name, key.columns.join(u", "),
                                                        key.referencedTable, key.referencedColumns.join(u", "),
                                                        key.onDelete, key.onUpdate});
    }
    indexes.Finish();
    foreign.Finish();
    return written;
}

} // namespace

bool WriteWorkbook(COutputFile& output, const std::vector<DocumentedTable>& tables, DbKind kind, QString& error,
                   const KeyCatalog* keys)
{
    // The writer needs a file name; its file is then copied to the output,
    // which decides how the target is replaced or written.
    QTemporaryFile staging(QDir::tempPath() + QStringLiteral("/velmora-XXXXXX.xlsx"));
    if (!staging.open()) {
        error = QStringLiteral("%1: %2").arg(staging.fileName(), staging.errorString());
        return false;
    }
    const QByteArray stagingName = QFile::encodeName(staging.fileName());
    // Rows go out as they come, as inline strings: no table of shared
    // strings to build, which took most of the time.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(stagingName.constData(), &options);
    if (!book) {
        error = QStringLiteral("cannot create the workbook");
        return false;
    }
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    CSheet columns(book, "Columns");
    CSheet described(book, "Tables");
    // Only a database with views gets their sheet.
    const bool anyView = std::any_of(tables.begin(), tables.end(), [](const DocumentedTable& t) { return t.view; });
    std::optional<CSheet> views;
    if (anyView)
        views.emplace(book, "Views");
    bool written = columns.Row(0, StructureHeader(), bold) &&
        described.Row(0, {QStringLiteral("Table"), QStringLiteral("Description")}, bold) &&
        (!views || views->Row(0, {QStringLiteral("View")}, bold));
    lxw_row_t row = 1;
    lxw_row_t tableRow = 1;
    lxw_row_t viewRow = 1;
    for (const DocumentedTable& table : tables) {
        for (const QStringList& values : table.columns)
            written = written && columns.Row(row++, StructureFields(table.name, values, kind));
        // A view holds no description of its own: only tables are there to describe.
        if (table.view)
            written = written && views->Row(viewRow++, {table.name});
        else
            written = written && described.Row(tableRow++, {table.name, table.description});
    }
    columns.Finish();
    described.Finish();
    if (views)
        views->Finish();
    if (keys)
        written = written && WriteKeySheets(book, bold, tables, *keys);
    const lxw_error closed = workbook_close(book);
    if (!written || closed != LXW_NO_ERROR) {
        error = written ? QString::fromUtf8(lxw_strerror(closed)) : QStringLiteral("a cell could not be written");
        return false;
    }
    QFile made(staging.fileName());
    if (!made.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(made.fileName(), made.errorString());
        return false;
    }
    constexpr qint64 kPiece = 1 << 20;
    for (QByteArray piece = made.read(kPiece); !piece.isEmpty(); piece = made.read(kPiece)) {
        if (!output.Write(piece)) {
            error = output.ErrorString();
            return false;
        }
    }
    if (made.error() != QFileDevice::NoError) {
        error = QStringLiteral("%1: %2").arg(made.fileName(), made.errorString());
        return false;
    }
    return true;
}

bool WriteWorkbook(const QString& path, const std::vector<DocumentedTable>& tables, DbKind kind, QString& error,
                   const KeyCatalog* keys)
{
    COutputFile output(path);
    if (!output.Open() || !WriteWorkbook(output, tables, kind, error, keys) || !output.Commit()) {
        if (error.isEmpty())
            error = output.ErrorString();
        output.Cancel();
        return false;
    }
    return true;
}
