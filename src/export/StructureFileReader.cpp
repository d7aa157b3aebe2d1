#include "export/StructureFileReader.h"

#include "export/StructureFile.h"
#include "export/WorkbookReader.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// The whole file as text when `encoding` decodes it without a fault and
// its first line is the header; the byte-order mark is dropped.
std::optional<QString> Decoded(const QByteArray& bytes, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    if (text.startsWith(QChar::ByteOrderMark))
        text.remove(0, 1);
    const qsizetype end = text.indexOf(u'\n');
    QString first = text.left(end);
    if (first.endsWith(u'\r'))
        first.chop(1);
    if (first.split(u'\t') != StructureHeader())
        return std::nullopt;
    return text;
}

bool ReadText(const QByteArray& bytes, StructureInput& input, QString& error)
{
    // A byte-order mark says which; without one the header tells, since
    // it is known text.
    std::optional<QString> text;
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        if ((text = Decoded(bytes, encoding)))
            break;
    }
    if (!text) {
        error = QStringLiteral("the first line is not the export's header (or the file is not UTF-8 or UTF-16 text)");
        return false;
    }
    const QStringList lines = text->split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            input.columns.push_back({i + 1, line.split(u'\t')});
    }
    return true;
}

bool IsBlank(const QStringList& fields)
{
    for (const QString& field : fields)
        if (!field.isEmpty())
            return false;
    return true;
}

bool ReadBook(const QString& path, StructureInput& input, QString& error)
{
    std::vector<WorkbookSheet> sheets;
    if (!ReadWorkbook(path, sheets, error))
        return false;
    if (sheets.empty() || sheets.front().rows.empty() || sheets.front().rows.front() != StructureHeader()) {
        error = QStringLiteral("the first sheet does not start with the export's header");
        return false;
    }
    input.workbook = true;
    const auto take = [](const WorkbookSheet& sheet, std::vector<StructureRow>& rows) {
        for (size_t i = 1; i < sheet.rows.size(); ++i)
            if (!IsBlank(sheet.rows[i]))
                rows.push_back({qsizetype(i) + 1, sheet.rows[i]});
    };
    take(sheets.front(), input.columns);
    for (size_t i = 1; i < sheets.size(); ++i) {
        if (sheets[i].name == u"Tables") {
            const QStringList header{QStringLiteral("Table"), QStringLiteral("Description")};
            if (sheets[i].rows.empty() || sheets[i].rows.front() != header) {
                error = QStringLiteral("the Tables sheet does not start with Table and Description");
                return false;
            }
            take(sheets[i], input.tables);
        }
    }
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
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    // A workbook is a zip archive, whatever its name.
    if (bytes.startsWith("PK\x03\x04"))
        return ReadBook(path, input, error);
    return ReadText(bytes, input, error);
}

std::optional<QString> UnquotedField(const QString& field)
{
    if (field.size() < 2 || !field.startsWith(u'"') || !field.endsWith(u'"'))
        return std::nullopt;
    QString text;
    for (qsizetype i = 1; i < field.size() - 1; ++i) {
        if (field[i] == u'"') {
            if (i + 1 >= field.size() - 1 || field[i + 1] != u'"')
                return std::nullopt;
            ++i;
        }
        text += field[i];
    }
    return text;
}
