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

// What a sane structure file stays under, so that a small archive naming
// far cells or inflating to a huge part is refused before it takes the
// memory or the time: the inflated size of a part, the cells, rows and
// other elements of the sheets read, the shared strings and the UTF-16
// units of text kept.
// An export's sheet takes about 500 bytes a column: 32 MiB hold some
// 60,000 columns, and a single text of that size still fits the memory a
// small file may take.
constexpr qint64 kMaxPartSize = qint64{32} << 20;
constexpr qint64 kMaxElements = 1'000'000;
constexpr qint64 kMaxSharedStrings = 250'000;
constexpr qint64 kMaxTextUnits = qint64{16} << 20;
// The grid limits of the format; past them a reference is damaged.
constexpr qint64 kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

struct Budget {
    qint64 elements = 0;
    qint64 units = 0;

    bool Take(qint64 elementCount, qint64 unitCount, QString& error)
    {
        elements += elementCount;
        units += unitCount;
        if (elements > kMaxElements)
            error = QStringLiteral("more than %L1 cells and rows").arg(kMaxElements);
        else if (units > kMaxTextUnits)
            error = QStringLiteral("more than %L1 characters of text").arg(kMaxTextUnits);
        else
            return true;
        return false;
    }
};

struct ZipDiscard {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// One part of the archive, inflated as the XML reader asks for it, so no
// part sits whole in memory; past the size limit it fails.
class CPart : public QIODevice
{
public:
    CPart(zip_t* zip, const QString& name) : m_name(name)
    {
        // Entry names in an xlsx are case-insensitive.
        const zip_int64_t index = zip_name_locate(zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
        m_missing = index < 0;
        if (m_missing) {
            m_error = QStringLiteral("%1 is missing").arg(name);
            return;
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
            m_error = QStringLiteral("%1: %2").arg(name, QString::fromUtf8(zip_strerror(zip)));
            return;
        }
        if (stat.size > zip_uint64_t(kMaxPartSize)) {
            m_error = QStringLiteral("%1 is larger than %2 MiB").arg(name).arg(kMaxPartSize >> 20);
            return;
        }
        m_size = qint64(stat.size);
        m_file.reset(zip_fopen_index(zip, zip_uint64_t(index), 0));
        if (!m_file) {
            m_error = QStringLiteral("%1: %2").arg(name, QString::fromUtf8(zip_strerror(zip)));
            return;
        }
        open(QIODevice::ReadOnly);
    }

    bool Missing() const { return m_missing; }
    bool isSequential() const override { return true; }

    // After the XML: the rest inflated too, so that a part of another size
    // than the directory says, or failing its checksum, is damaged.
    bool Finished(QString& error)
    {
        char rest[4096];
        while (m_error.isEmpty() && readData(rest, sizeof rest) > 0) {
        }
        if (m_error.isEmpty() && m_done != m_size)
            m_error = QStringLiteral("%1 is damaged: it is not the size the archive says").arg(m_name);
        error = m_error;
        return m_error.isEmpty();
    }
    QString Error() const { return m_error; }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        if (!m_file || !m_error.isEmpty())
            return -1;
        const zip_int64_t got = zip_fread(m_file.get(), data, zip_uint64_t(std::min(size, m_size + 1 - m_done)));
        if (got < 0) {
            m_error = QStringLiteral("%1 is damaged: %2").arg(m_name, QString::fromUtf8(zip_file_strerror(m_file.get())));
            return -1;
        }
        m_done += got;
        if (m_done > m_size) {
            m_error = QStringLiteral("%1 is damaged: it is not the size the archive says").arg(m_name);
            return -1;
        }
        return got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QString m_name;
    std::unique_ptr<zip_file_t, ZipFileClose> m_file;
    QString m_error;
    qint64 m_size = 0;
    qint64 m_done = 0;
    bool m_missing = false;
};

// The reader's fault, or the part's when it could not be inflated.
bool XmlFailed(const QXmlStreamReader& xml, CPart& part, const QString& entry, QString& error)
{
    if (!part.Error().isEmpty()) {
        error = part.Error();
        return true;
    }
    if (!xml.hasError())
        return !part.Finished(error);
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
    // The common case, a plain integer, needs no pattern.
    if (!stored.isEmpty() && stored.front() != u'0' &&
        std::all_of(stored.begin(), stored.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return stored;
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
    qsizetype first = 0;
    while (first < integer.size() && integer[first] == u'0')
        ++first;
    if (first == integer.size())
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

// Reads the <c> the reader is at into `value`, or says in `fault` why it
// holds no usable text.
bool ReadCell(QXmlStreamReader& xml, const std::vector<QString>& shared, QString& value, QString& fault,
              QString& error)
{
    const QString type = xml.attributes().value(QLatin1StringView("t")).toString();
    QString stored;
    bool inlineText = false;
    bool formula = false;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"v") {
            stored = xml.readElementText();
        } else if (xml.name() == u"is") {
            stored = RichText(xml);
            inlineText = true;
        } else {
            formula = formula || xml.name() == u"f";
            xml.skipCurrentElement();
        }
    }
    value.clear();
    fault.clear();
    if (xml.hasError())
        return true;
    // A program that writes formulas without computing them leaves the
    // value out: what the cell shows is unknown.
    if (formula && stored.isEmpty() && !inlineText) {
        fault = QStringLiteral("a formula without a computed value");
    } else if (type == u"e") {
        fault = QStringLiteral("the error %1").arg(stored);
    } else if (stored.isEmpty()) {
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
        // "d": the ISO date.
        value = stored;
    }
    return true;
}

// Only rows and cells holding anything are kept, and of each row only its
// first `columns` cells: a far cell address costs nothing.
bool ReadSheet(CPart& part, const QString& entry, const std::vector<QString>& shared, int columns,
               Budget& budget, std::vector<WorkbookRow>& rows, QString& error)
{
    QXmlStreamReader xml(&part);
    bool inData = false;
    qint64 row = 0;
    int column = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == u"sheetData")
            inData = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        // Every element counts, a cell as one: reading them takes the time.
        if (!budget.Take(1, 0, error)) {
            error = QStringLiteral("%1: %2").arg(entry, error);
            return false;
        }
        if (xml.name() == u"sheetData") {
            inData = true;
        } else if (inData && xml.name() == u"row") {
            const QStringView number = xml.attributes().value(QLatin1StringView("r"));
            bool ok = true;
            row = number.isEmpty() ? row + 1 : number.toLongLong(&ok);
            if (!ok || row < 1 || row > kMaxRows || (!rows.empty() && row < rows.back().number)) {
                error = QStringLiteral("%1: bad row number \"%2\"").arg(entry, number);
                return false;
            }
            column = -1;
        } else if (inData && xml.name() == u"c") {
            const QStringView reference = xml.attributes().value(QLatin1StringView("r"));
            column = reference.isEmpty() ? column + 1 : ColumnIndex(reference);
            if (row < 1 || column < 0 || column >= kMaxColumns) {
                error = QStringLiteral("%1: bad cell \"%2\"").arg(entry, reference);
                return false;
            }
            QString value;
            QString fault;
            if (!ReadCell(xml, shared, value, fault, error)) {
                error = QStringLiteral("%1: %2").arg(entry, error);
                return false;
            }
            const bool kept = column < columns;
            if (!budget.Take(0, kept ? value.size() : 0, error)) {
                error = QStringLiteral("%1: %2").arg(entry, error);
                return false;
            }
            if (value.isEmpty() && fault.isEmpty())
                continue;
            if (rows.empty() || rows.back().number != row)
                rows.push_back({row, {}, {}, 0});
            WorkbookRow& cells = rows.back();
            cells.width = std::max(cells.width, column + 1);
            if (!kept)
                continue;
            if (cells.cells.size() <= column)
                cells.cells.resize(column + 1);
            cells.cells[column] = value;
            if (!fault.isEmpty() || !cells.faults.isEmpty()) {
                if (cells.faults.size() <= column)
                    cells.faults.resize(column + 1);
                cells.faults[column] = fault;
            }
        }
    }
    return !XmlFailed(xml, part, entry, error);
}

struct Relationship {
    QString entry;
    bool worksheet = false;
};

bool Opened(const CPart& part, QString& error)
{
    error = part.Error();
    return error.isEmpty();
}

bool ReadRelationships(zip_t* zip, QHash<QString, Relationship>& relationships, QString& error)
{
    const QString entry = QStringLiteral("xl/_rels/workbook.xml.rels");
    CPart part(zip, entry);
    if (!Opened(part, error))
        return false;
    QXmlStreamReader xml(&part);
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
    return !XmlFailed(xml, part, entry, error);
}

// The sheets as the workbook lists them: name and relationship id.
bool ReadSheetList(zip_t* zip, std::vector<std::pair<QString, QString>>& listed, QString& error)
{
    const QString entry = QStringLiteral("xl/workbook.xml");
    CPart part(zip, entry);
    if (!Opened(part, error))
        return false;
    QXmlStreamReader xml(&part);
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
    return !XmlFailed(xml, part, entry, error);
}

bool ReadSharedStrings(zip_t* zip, std::vector<QString>& shared, Budget& budget, QString& error)
{
    const QString entry = QStringLiteral("xl/sharedStrings.xml");
    CPart part(zip, entry);
    if (part.Missing())
        return true;
    if (!Opened(part, error))
        return false;
    QXmlStreamReader xml(&part);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"si")
            continue;
        shared.push_back(RichText(xml));
        if (qint64(shared.size()) > kMaxSharedStrings || !budget.Take(0, shared.back().size(), error)) {
            if (error.isEmpty())
                error = QStringLiteral("more than %L1 shared strings").arg(kMaxSharedStrings);
            error = QStringLiteral("%1: %2").arg(entry, error);
            return false;
        }
    }
    return !XmlFailed(xml, part, entry, error);
}

} // namespace

bool ReadWorkbook(const QString& path, std::vector<WorkbookSheet>& sheets, QString& error, int columns,
                  const std::function<bool(qsizetype index, const QString& name)>& wanted)
{
    sheets.clear();
    error.clear();
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
    Budget budget;
    if (!ReadSheetList(zip.get(), listed, error) || !ReadRelationships(zip.get(), relationships, error) ||
        !ReadSharedStrings(zip.get(), shared, budget, error))
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
        WorkbookSheet sheet{name, {}};
        if (!wanted || wanted(qsizetype(read.size()), name)) {
            CPart part(zip.get(), found->entry);
            if (!Opened(part, error) || !ReadSheet(part, found->entry, shared, columns, budget, sheet.rows, error))
                return false;
        }
        read.push_back(std::move(sheet));
    }
    sheets = std::move(read);
    return true;
}
