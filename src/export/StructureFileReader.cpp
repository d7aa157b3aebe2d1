#include "export/StructureFileReader.h"

#include "export/StructureFile.h"
#include "export/WorkbookReader.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

constexpr int kColumnFields = 10;

bool IsLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// Where the line end at `at` ends: CR LF, CR and LF are each one.
qsizetype PastLineEnd(QStringView text, qsizetype at)
{
    if (at < text.size() && text[at] == u'\r')
        ++at;
    else if (at < text.size() && text[at] == u'\n')
        return at + 1;
    else
        return at;
    return at < text.size() && text[at] == u'\n' ? at + 1 : at;
}

// Whether a quoted field's text holds what can only be lines of the file:
// a line with the TABs of a whole line of fields.
bool HoldsLines(QStringView text)
{
    qsizetype tabs = 0;
    for (const QChar c : text) {
        if (IsLineEnd(c))
            tabs = 0;
        else if (c == u'\t' && ++tabs >= kColumnFields - 1)
            return true;
    }
    return false;
}

// A field as spreadsheets quote it, starting at `at`: its text and where
// it ends. Only a closing quote right before a TAB, a line end or the end
// of the file closes it, so the export's own field that merely starts with
// a quote is no quoted field; nor is one that would take in whole lines of
// the export after it.
std::optional<std::pair<QString, qsizetype>> QuotedField(QStringView text, qsizetype at)
{
    if (at >= text.size() || text[at] != u'"')
        return std::nullopt;
    QString meant;
    for (qsizetype i = at + 1;;) {
        const qsizetype quote = text.indexOf(u'"', i);
        if (quote < 0)
            return std::nullopt;
        meant += text.sliced(i, quote - i);
        if (quote + 1 < text.size() && text[quote + 1] == u'"') {
            meant += u'"';
            i = quote + 2;
            continue;
        }
        const qsizetype end = quote + 1;
        if ((end < text.size() && text[end] != u'\t' && !IsLineEnd(text[end])) || HoldsLines(meant))
            return std::nullopt;
        return std::pair(meant, end);
    }
}

qsizetype LineEnds(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (IsLineEnd(text[i])) {
            ++count;
            i = PastLineEnd(text, i);
        } else {
            ++i;
        }
    }
    return count;
}

// The record at `at` into `row`, and `at` past its line end.
void ReadRecord(QStringView text, qsizetype& at, StructureRow& row)
{
    for (;;) {
        if (const auto quoted = QuotedField(text, at)) {
            if (row.written.isEmpty())
                row.written = row.fields;
            row.fields.append(quoted->first);
            row.written.append(text.sliced(at, quoted->second - at).toString());
            at = quoted->second;
        } else {
            qsizetype end = at;
            while (end < text.size() && text[end] != u'\t' && !IsLineEnd(text[end]))
                ++end;
            row.fields.append(text.sliced(at, end - at).toString());
            if (!row.written.isEmpty())
                row.written.append(row.fields.constLast());
            at = end;
        }
        if (at >= text.size() || text[at] != u'\t')
            break;
        ++at;
    }
    row.width = row.fields.size();
    at = PastLineEnd(text, at);
}

// The lines after the header when `encoding` decodes the file without a
// fault and its first line is the header (quoted or not).
bool ReadText(const QByteArray& bytes, QStringConverter::Encoding encoding, StructureInput& input)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return false;
    qsizetype at = text.startsWith(QChar::ByteOrderMark) ? 1 : 0;
    StructureRow header;
    ReadRecord(text, at, header);
    if (header.fields != StructureHeader())
        return false;
    qsizetype line = 1 + LineEnds(QStringView(text).first(at));
    while (at < text.size()) {
        const qsizetype start = at;
        StructureRow row{line, {}, {}, {}, 0};
        ReadRecord(text, at, row);
        line += std::max<qsizetype>(1, LineEnds(QStringView(text).sliced(start, at - start)));
        if (row.width > 1 || !row.fields.constFirst().isEmpty() || !row.written.isEmpty())
            input.columns.push_back(std::move(row));
    }
    return true;
}

bool ReadBook(const QString& path, StructureInput& input, QString& error)
{
    // Only the first sheet and the tables sheet are read, and only as many
    // cells of a row as a line has fields.
    const QString tablesSheet = QStringLiteral("Tables");
    std::vector<WorkbookSheet> sheets;
    if (!ReadWorkbook(path, sheets, error, kColumnFields,
                      [&](qsizetype index, const QString& name) { return index == 0 || name == tablesSheet; }))
        return false;
    const auto header = [](const WorkbookSheet& sheet, const QStringList& fields) {
        return !sheet.rows.empty() && sheet.rows.front().number == 1 && sheet.rows.front().cells == fields &&
            sheet.rows.front().faults.isEmpty();
    };
    if (sheets.empty() || !header(sheets.front(), StructureHeader())) {
        error = QStringLiteral("the first sheet does not start with the export's header");
        return false;
    }
    input.workbook = true;
    const auto take = [](const WorkbookSheet& sheet, std::vector<StructureRow>& rows) {
        for (size_t i = 1; i < sheet.rows.size(); ++i) {
            const WorkbookRow& row = sheet.rows[i];
            rows.push_back({row.number, row.cells, {}, row.faults, row.width});
        }
    };
    take(sheets.front(), input.columns);
    const auto tables = std::find_if(sheets.begin() + 1, sheets.end(),
                                     [&](const WorkbookSheet& sheet) { return sheet.name == tablesSheet; });
    if (tables == sheets.end()) {
        input.notes.append(QStringLiteral("no Tables sheet: table descriptions not read"));
        return true;
    }
    if (!header(*tables, {QStringLiteral("Table"), QStringLiteral("Description")})) {
        error = QStringLiteral("the Tables sheet does not start with Table and Description");
        return false;
    }
    take(*tables, input.tables);
    return true;
}

} // namespace

bool ReadStructureFile(const QString& path, StructureInput& input, QString& error)
{
    input = {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    // A workbook is a zip archive, whatever its name.
    if (file.peek(4) == "PK\x03\x04") {
        file.close();
        return ReadBook(path, input, error);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    // A byte-order mark says which; without one the header tells, since
    // it is known text.
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        if (ReadText(bytes, encoding, input))
            return true;
        input.columns.clear();
    }
    error = QStringLiteral("the first line is not the export's header (or the file is not UTF-8 or UTF-16 text)");
    return false;
}
