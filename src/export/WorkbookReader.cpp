#include "export/WorkbookReader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

#include <zip.h>

#include <algorithm>
#include <memory>

namespace {

// Larger entries are refused before inflating: a small archive can hold a
// huge one.
constexpr zip_uint64_t kMaxEntrySize = zip_uint64_t{512} << 20;
// The grid limits of the format; past them a reference is damaged.
constexpr qint64 kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

struct ZipDiscard {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// Reads one entry whole; with `missing` given, an absent entry sets it
// instead of being an error.
bool ReadEntry(zip_t* zip, const QString& name, QByteArray& bytes, QString& error, bool* missing = nullptr)
{
    // Entry names in an xlsx are case-insensitive.
    const zip_int64_t index = zip_name_locate(zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        if (missing) {
            *missing = true;
            return false;
        }
        error = QStringLiteral("%1 is missing").arg(name);
        return false;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
        error = QStringLiteral("%1: %2").arg(name, QString::fromUtf8(zip_strerror(zip)));
        return false;
    }
    if (stat.size > kMaxEntrySize) {
        error = QStringLiteral("%1 is larger than 512 MiB").arg(name);
        return false;
    }
    std::unique_ptr<zip_file_t, ZipFileClose> file(zip_fopen_index(zip, zip_uint64_t(index), 0));
    if (!file) {
        error = QStringLiteral("%1: %2").arg(name, QString::fromUtf8(zip_strerror(zip)));
        return false;
    }
    bytes.resize(qsizetype(stat.size));
    zip_uint64_t done = 0;
    while (done < stat.size) {
        const zip_int64_t got = zip_fread(file.get(), bytes.data() + done, stat.size - done);
        if (got <= 0)
            break;
        done += got;
    }
    // The size checked above is the directory's word; an entry that inflates
    // to another size, or fails its checksum, is damaged, not cut short.
    char more = 0;
    if (done != stat.size || zip_fread(file.get(), &more, 1) != 0) {
        error = QStringLiteral("%1 is damaged: %2").arg(name, QString::fromUtf8(zip_file_strerror(file.get())));
        return false;
    }
    return true;
}

bool XmlFailed(const QXmlStreamReader& xml, const QString& entry, QString& error)
{
    if (!xml.hasError())
        return false;
    error = QStringLiteral("%1: %2 (line %3)").arg(entry, xml.errorString()).arg(xml.lineNumber());
    return true;
}

bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Excel writes characters XML cannot carry (CR among them) as "_xHHHH_",
// and "_x005F_" for an underscore that would otherwise start one.
QString Unescape(const QString& text)
{
    if (!text.contains(u"_x"))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_' &&
            std::all_of(text.begin() + i + 2, text.begin() + i + 6, IsHexDigit)) {
            out += QChar(QStringView(text).mid(i + 2, 4).toUShort(nullptr, 16));
            i += 6;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Integral numbers as a person typed them ("1E+3" is 1000, "7.0" is 7),
// worked on the digits so no binary round trip adds or loses any; other
// numbers stay as stored.
QString NumberText(const QString& stored)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^([+-]?)(\d*)(?:\.(\d*))?(?:[eE]([+-]?\d{1,3}))?$)"));
    const QRegularExpressionMatch match = pattern.match(stored);
    const QString whole = match.captured(2);
    const QString digits = whole + match.captured(3);
    if (!match.hasMatch() || digits.isEmpty())
        return stored;
    const qsizetype point = whole.size() + match.captured(4).toInt();
    for (qsizetype i = std::max<qsizetype>(point, 0); i < digits.size(); ++i) {
        if (digits[i] != u'0')
            return stored;
    }
    QString integer = digits.left(std::max<qsizetype>(point, 0)).leftJustified(point, u'0');
    const qsizetype first = integer.indexOf(QRegularExpression(QStringLiteral("[^0]")));
    if (first < 0)
        return QStringLiteral("0");
    integer.remove(0, first);
    return match.captured(1) == u"-" ? QStringLiteral("-") + integer : integer;
}

// The text of an <si> or <is>: its <t>, or the <t> of each run. Phonetic
// runs (<rPh>) are readings shown above the text, not its text.
QString RichText(QXmlStreamReader& xml)
{
    QString text;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"t") {
            text += xml.readElementText();
        } else if (xml.name() == u"r") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"t")
                    text += xml.readElementText();
                else
                    xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return Unescape(text);
}

// 0 for "A3", 27 for "AB3"; -1 when there are no letters or they pass XFD.
int ColumnIndex(QStringView reference)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size(); ++i) {
        const QChar c = reference[i].toUpper();
        if (c < u'A' || c > u'Z')
            break;
        column = column * 26 + (c.unicode() - u'A' + 1);
        if (column > kMaxColumns)
            return -1;
    }
    return i == 0 ? -1 : column - 1;
}

// Reads the <c> the reader is at into `value`.
bool ReadCell(QXmlStreamReader& xml, const std::vector<QString>& shared, QString& value, QString& error)
{
    const QString type = xml.attributes().value(QLatin1StringView("t")).toString();
    QString stored;
    bool inlineText = false;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"v") {
            stored = xml.readElementText();
        } else if (xml.name() == u"is") {
            stored = RichText(xml);
            inlineText = true;
        } else {
            xml.skipCurrentElement();
        }
    }
    if (stored.isEmpty() || xml.hasError()) {
        value.clear();
    } else if (type == u"s") {
        bool ok = false;
        const qulonglong index = stored.trimmed().toULongLong(&ok);
        if (!ok || index >= shared.size()) {
            error = QStringLiteral("shared string %1 does not exist").arg(stored);
            return false;
        }
        value = shared[index];
    } else if (type == u"inlineStr" || type == u"str") {
        value = inlineText ? stored : Unescape(stored);
    } else if (type == u"b") {
        if (stored != u"0" && stored != u"1") {
            error = QStringLiteral("boolean cell holds \"%1\"").arg(stored);
            return false;
        }
        value = stored == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    } else if (type.isEmpty() || type == u"n") {
        value = NumberText(stored.trimmed());
    } else {
        // "e": the error's text such as "#DIV/0!"; "d": the ISO date.
        value = stored;
    }
    return true;
}

bool ReadSheet(const QByteArray& bytes, const QString& entry, const std::vector<QString>& shared,
               std::vector<QStringList>& rows, QString& error)
{
    QXmlStreamReader xml(bytes);
    bool inData = false;
    qint64 row = -1;
    int column = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"sheetData")
            inData = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"sheetData") {
            inData = true;
        } else if (inData && xml.name() == u"row") {
            const QStringView number = xml.attributes().value(QLatin1StringView("r"));
            bool ok = true;
            row = number.isEmpty() ? row + 1 : number.toLongLong(&ok) - 1;
            if (!ok || row < 0 || row >= kMaxRows) {
                error = QStringLiteral("%1: bad row number \"%2\"").arg(entry, number);
                return false;
            }
            column = -1;
            if (rows.size() <= size_t(row))
                rows.resize(size_t(row) + 1);
        } else if (inData && xml.name() == u"c") {
            const QStringView reference = xml.attributes().value(QLatin1StringView("r"));
            column = reference.isEmpty() ? column + 1 : ColumnIndex(reference);
            if (row < 0 || column < 0 || column >= kMaxColumns) {
                error = QStringLiteral("%1: bad cell \"%2\"").arg(entry, reference);
                return false;
            }
            QString value;
            if (!ReadCell(xml, shared, value, error)) {
                error = QStringLiteral("%1: %2").arg(entry, error);
                return false;
            }
            QStringList& cells = rows[size_t(row)];
            if (!value.isEmpty()) {
                if (cells.size() <= column)
                    cells.resize(column + 1);
                cells[column] = value;
            }
        }
    }
    if (XmlFailed(xml, entry, error))
        return false;
    // Rows that only carry a format past the last text are no rows of text.
    while (!rows.empty() && rows.back().isEmpty())
        rows.pop_back();
    return true;
}

struct Relationship {
    QString entry;
    bool worksheet = false;
};

bool ReadRelationships(zip_t* zip, QHash<QString, Relationship>& relationships, QString& error)
{
    const QString entry = QStringLiteral("xl/_rels/workbook.xml.rels");
    QByteArray bytes;
    if (!ReadEntry(zip, entry, bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1StringView("TargetMode")) == u"External")
            continue;
        // Targets are URIs: relative to xl/ or absolute in the package.
        QString target = QUrl::fromPercentEncoding(attributes.value(QLatin1StringView("Target")).toUtf8());
        target = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
        const QStringView type = attributes.value(QLatin1StringView("Type"));
        relationships.insert(attributes.value(QLatin1StringView("Id")).toString(),
                             {QDir::cleanPath(target), type.isEmpty() || type.endsWith(u"/worksheet")});
    }
    return !XmlFailed(xml, entry, error);
}

// The sheets as the workbook lists them: name and relationship id.
bool ReadSheetList(zip_t* zip, std::vector<std::pair<QString, QString>>& listed, QString& error)
{
    const QString entry = QStringLiteral("xl/workbook.xml");
    QByteArray bytes;
    if (!ReadEntry(zip, entry, bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"sheet")
            continue;
        QString id;
        for (const QXmlStreamAttribute& attribute : xml.attributes()) {
            if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
                id = attribute.value().toString();
        }
        listed.emplace_back(xml.attributes().value(QLatin1StringView("name")).toString(), id);
    }
    return !XmlFailed(xml, entry, error);
}

bool ReadSharedStrings(zip_t* zip, std::vector<QString>& shared, QString& error)
{
    const QString entry = QStringLiteral("xl/sharedStrings.xml");
    QByteArray bytes;
    bool missing = false;
    if (!ReadEntry(zip, entry, bytes, error, &missing))
        return missing;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si")
            shared.push_back(RichText(xml));
    }
    return !XmlFailed(xml, entry, error);
}

} // namespace

bool ReadWorkbook(const QString& path, std::vector<WorkbookSheet>& sheets, QString& error)
{
    sheets.clear();
    int code = 0;
    std::unique_ptr<zip_t, ZipDiscard> zip(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (!zip) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = code == ZIP_ER_NOZIP ? QStringLiteral("not an xlsx workbook")
                                     : QString::fromUtf8(zip_error_strerror(&zipError));
        zip_error_fini(&zipError);
        return false;
    }
    std::vector<std::pair<QString, QString>> listed;
    QHash<QString, Relationship> relationships;
    std::vector<QString> shared;
    if (!ReadSheetList(zip.get(), listed, error) || !ReadRelationships(zip.get(), relationships, error) ||
        !ReadSharedStrings(zip.get(), shared, error))
        return false;
    // Filled aside so a failure midway leaves no half workbook behind.
    std::vector<WorkbookSheet> read;
    for (const auto& [name, id] : listed) {
        const auto found = relationships.constFind(id);
        if (found == relationships.cend()) {
            error = QStringLiteral("sheet \"%1\" is not in the workbook relationships").arg(name);
            return false;
        }
        if (!found->worksheet)
            continue;
        QByteArray bytes;
        WorkbookSheet sheet{name, {}};
        if (!ReadEntry(zip.get(), found->entry, bytes, error) ||
            !ReadSheet(bytes, found->entry, shared, sheet.rows, error))
            return false;
        read.push_back(std::move(sheet));
    }
    sheets = std::move(read);
    return true;
}
