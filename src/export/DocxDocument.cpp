// The data dictionary as a Word document (WordprocessingML in a zip made
// with libzip). Built-in heading styles carry the sections, so Word's
// navigation pane and its contents field find them; the contents field is
// written with its entries already in and marked for Word to refresh.

#include "export/DocumentSink.h"

#include "catalog/LengthDisplay.h"
#include "common/CompleteWrite.h"

#include <QFile>
#include <QIODevice>
#include <QXmlStreamWriter>

#include <zip.h>

#include <cstring>
#include <memory>

namespace {

const char* const kNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const kRelNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

const char* const kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
    "wordprocessingml.document.main+xml\"/>"
    "<Override PartName=\"/word/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
    "wordprocessingml.styles+xml\"/>"
    "<Override PartName=\"/word/settings.xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
    "wordprocessingml.settings+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
    "</Types>";

const char* const kPackageRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"word/document.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
    "core-properties\" Target=\"docProps/core.xml\"/>"
    "</Relationships>";

const char* const kDocumentRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings\" "
    "Target=\"settings.xml\"/>"
    "</Relationships>";

// Word asks to refresh the fields (the contents) when the file opens.
const char* const kSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<w:settings xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:updateFields w:val=\"true\"/><w:defaultTabStop w:val=\"420\"/>"
    "<w:compat><w:compatSetting w:name=\"compatibilityMode\" w:uri=\"http://schemas.microsoft.com/office/word\" "
    "w:val=\"15\"/></w:compat></w:settings>";

// SimSun and SimHei for Chinese text (Word on a Chinese system has both;
// elsewhere the reader substitutes its own CJK font), Calibri for Latin.
const char* const kStyles =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:docDefaults><w:rPrDefault><w:rPr>"
    "<w:rFonts w:ascii=\"Calibri\" w:hAnsi=\"Calibri\" w:eastAsia=\"SimSun\" w:cs=\"Calibri\"/>"
    "<w:sz w:val=\"21\"/><w:szCs w:val=\"21\"/><w:lang w:val=\"en-US\" w:eastAsia=\"zh-CN\"/>"
    "</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"80\" w:line=\"264\" w:lineRule=\"auto\"/>"
    "</w:pPr></w:pPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/><w:qFormat/></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Title\"><w:name w:val=\"Title\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:next w:val=\"Normal\"/><w:qFormat/><w:pPr><w:spacing w:before=\"2400\" w:after=\"240\"/><w:jc w:val=\"center\"/>"
    "</w:pPr><w:rPr><w:rFonts w:eastAsia=\"SimHei\"/><w:b/><w:sz w:val=\"52\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Subtitle\"><w:name w:val=\"Subtitle\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:qFormat/><w:pPr><w:jc w:val=\"center\"/><w:spacing w:after=\"480\"/></w:pPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:next w:val=\"Normal\"/><w:qFormat/><w:pPr><w:keepNext/><w:pageBreakBefore/>"
    "<w:spacing w:before=\"120\" w:after=\"200\"/><w:outlineLvl w:val=\"0\"/></w:pPr>"
    "<w:rPr><w:rFonts w:eastAsia=\"SimHei\"/><w:b/><w:sz w:val=\"30\"/><w:color w:val=\"1F3864\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Heading2\"><w:name w:val=\"heading 2\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:next w:val=\"Normal\"/><w:qFormat/><w:pPr><w:keepNext/><w:spacing w:before=\"240\" w:after=\"80\"/>"
    "<w:outlineLvl w:val=\"1\"/></w:pPr><w:rPr><w:rFonts w:eastAsia=\"SimHei\"/><w:b/><w:sz w:val=\"23\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"TOCHeading\"><w:name w:val=\"TOC Heading\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:next w:val=\"Normal\"/><w:qFormat/><w:pPr><w:keepNext/><w:spacing w:before=\"240\" w:after=\"200\"/></w:pPr>"
    "<w:rPr><w:rFonts w:eastAsia=\"SimHei\"/><w:b/><w:sz w:val=\"30\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"TOC1\"><w:name w:val=\"toc 1\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:next w:val=\"Normal\"/><w:pPr><w:tabs><w:tab w:val=\"right\" w:leader=\"dot\" w:pos=\"9628\"/></w:tabs>"
    "<w:spacing w:after=\"40\"/></w:pPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Note\"><w:name w:val=\"Note\"/><w:basedOn w:val=\"Normal\"/>"
    "<w:rPr><w:color w:val=\"666666\"/></w:rPr></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Hyperlink\"><w:name w:val=\"Hyperlink\"/>"
    "<w:rPr><w:color w:val=\"0563C1\"/></w:rPr></w:style>"
    "<w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\"><w:name w:val=\"Normal Table\"/>"
    "<w:tblPr><w:tblInd w:w=\"0\" w:type=\"dxa\"/><w:tblCellMar><w:top w:w=\"0\" w:type=\"dxa\"/>"
    "<w:left w:w=\"108\" w:type=\"dxa\"/><w:bottom w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/>"
    "</w:tblCellMar></w:tblPr></w:style>"
    "<w:style w:type=\"table\" w:styleId=\"DictionaryTable\"><w:name w:val=\"Dictionary Table\"/>"
    "<w:basedOn w:val=\"TableNormal\"/><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/></w:pPr>"
    "<w:rPr><w:sz w:val=\"18\"/><w:szCs w:val=\"18\"/></w:rPr>"
    "<w:tblPr><w:tblBorders><w:top w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"808080\"/>"
    "<w:left w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"808080\"/>"
    "<w:bottom w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"808080\"/>"
    "<w:right w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"808080\"/>"
    "<w:insideH w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"808080\"/>"
    "<w:insideV w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"808080\"/></w:tblBorders>"
    "<w:tblCellMar><w:top w:w=\"40\" w:type=\"dxa\"/><w:left w:w=\"80\" w:type=\"dxa\"/>"
    "<w:bottom w:w=\"40\" w:type=\"dxa\"/><w:right w:w=\"80\" w:type=\"dxa\"/></w:tblCellMar></w:tblPr>"
    "<w:tblStylePr w:type=\"firstRow\"><w:rPr><w:b/></w:rPr><w:tcPr><w:shd w:val=\"clear\" w:color=\"auto\" "
    "w:fill=\"DFE7F2\"/></w:tcPr></w:tblStylePr></w:style>"
    "</w:styles>";

// The text width of an A4 page less its margins, in twentieths of a point.
constexpr int kTextWidth = 9638;

// XML keeps spaces at the ends of a text, and runs of them, only when told.
bool NeedsPreserve(const QString& text)
{
    return text.startsWith(u' ') || text.endsWith(u' ') || text.contains(QLatin1String("  "));
}

// Writes into a text that goes to the file in one piece: the writer on the
// file itself made a device write of every tag, most of the time spent.
class CBodyWriter
{
public:
    CBodyWriter() : m_xml(&m_text) {}

    QByteArray Utf8() const { return m_text.toUtf8(); }

    void Start(const QString& name) { m_xml.writeStartElement(name); }
    void End() { m_xml.writeEndElement(); }
    void Empty(const QString& name, const QString& attribute = {}, const QString& value = {})
    {
        m_xml.writeEmptyElement(name);
        if (!attribute.isEmpty())
            m_xml.writeAttribute(attribute, value);
    }

    // Runs of the text: a line break (CR LF, CR or LF) as a break, a TAB as
    // a tab, every other character as it is.
    void Runs(const QString& text, bool bold = false)
    {
        const QString shown = DocumentText(text);
        Start(QStringLiteral("w:r"));
        if (bold) {
            Start(QStringLiteral("w:rPr"));
            Empty(QStringLiteral("w:b"));
            End();
        }
        qsizetype from = 0;
        const auto flush = [&](qsizetype to) {
            if (to > from) {
                const QString piece = from == 0 && to == shown.size() ? shown : shown.mid(from, to - from);
                if (NeedsPreserve(piece)) {
                    Start(QStringLiteral("w:t"));
                    m_xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
                    m_xml.writeCharacters(piece);
                    End();
                } else {
                    m_xml.writeTextElement(QStringLiteral("w:t"), piece);
                }
            }
        };
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const QChar c = shown[i];
            if (c != u'\r' && c != u'\n' && c != u'\t')
                continue;
            flush(i);
            if (c == u'\t') {
                Empty(QStringLiteral("w:tab"));
            } else {
                if (c == u'\r' && i + 1 < shown.size() && shown[i + 1] == u'\n')
                    ++i;
                Empty(QStringLiteral("w:br"));
            }
            from = i + 1;
        }
        flush(shown.size());
        End();
    }

    void Paragraph(const QString& style, const QString& text)
    {
        Start(QStringLiteral("w:p"));
        if (!style.isEmpty()) {
            Start(QStringLiteral("w:pPr"));
            Empty(QStringLiteral("w:pStyle"), QStringLiteral("w:val"), style);
            End();
        }
        Runs(text);
        End();
    }

    void TableStart(const std::vector<int>& widths, const QStringList& headings)
    {
        Start(QStringLiteral("w:tbl"));
        Start(QStringLiteral("w:tblPr"));
        Empty(QStringLiteral("w:tblStyle"), QStringLiteral("w:val"), QStringLiteral("DictionaryTable"));
        Start(QStringLiteral("w:tblW"));
        m_xml.writeAttribute(QStringLiteral("w:w"), QStringLiteral("5000"));
        m_xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("pct"));
        End();
        Start(QStringLiteral("w:tblLook"));
        m_xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("0020"));
        m_xml.writeAttribute(QStringLiteral("w:firstRow"), QStringLiteral("1"));
        m_xml.writeAttribute(QStringLiteral("w:lastRow"), QStringLiteral("0"));
        m_xml.writeAttribute(QStringLiteral("w:firstColumn"), QStringLiteral("0"));
        m_xml.writeAttribute(QStringLiteral("w:lastColumn"), QStringLiteral("0"));
        m_xml.writeAttribute(QStringLiteral("w:noHBand"), QStringLiteral("1"));
        m_xml.writeAttribute(QStringLiteral("w:noVBand"), QStringLiteral("1"));
        End();
        End();
        Start(QStringLiteral("w:tblGrid"));
        for (const int width : widths)
            Empty(QStringLiteral("w:gridCol"), QStringLiteral("w:w"), QString::number(width));
        End();
        // The heading row repeats on every page the table runs over; its
        // look is set here too, as not every reader applies a style's
        // first-row part.
        Start(QStringLiteral("w:tr"));
        Start(QStringLiteral("w:trPr"));
        Empty(QStringLiteral("w:tblHeader"));
        End();
        for (const QString& heading : headings) {
            Start(QStringLiteral("w:tc"));
            Start(QStringLiteral("w:tcPr"));
            Start(QStringLiteral("w:shd"));
            m_xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("clear"));
            m_xml.writeAttribute(QStringLiteral("w:color"), QStringLiteral("auto"));
            m_xml.writeAttribute(QStringLiteral("w:fill"), QStringLiteral("DFE7F2"));
            End();
            End();
            Start(QStringLiteral("w:p"));
            Runs(heading, true);
            End();
            End();
        }
        End();
    }

    // The column rows, most of a document, go in as text made here: the
    // writer of Qt 6.4 makes a string of every '<' and '>' it writes, which
    // took two thirds of a large export's time. Same markup, same escaping.
    void FastRows(const std::vector<QStringList>& rows, DbKind kind)
    {
        m_xml.writeCharacters(QString()); // closes the start tag the writer holds open
        for (const QStringList& values : rows) {
            m_text += QLatin1String("<w:tr>");
            for (qsizetype i = 0; i < 9; ++i) {
                const QString cell = i == 2 ? DisplayLength(values.value(1), values.value(2), kind) : values.value(i);
                if (cell.isEmpty()) {
                    m_text += QLatin1String("<w:tc><w:p/></w:tc>");
                } else {
                    m_text += QLatin1String("<w:tc><w:p><w:r>");
                    AppendRuns(cell);
                    m_text += QLatin1String("</w:r></w:p></w:tc>");
                }
            }
            m_text += QLatin1String("</w:tr>");
        }
    }

    // The least markup a cell can have.
    void Row(const QStringList& cells)
    {
        Start(QStringLiteral("w:tr"));
        for (const QString& cell : cells) {
            Start(QStringLiteral("w:tc"));
            if (cell.isEmpty()) {
                Empty(QStringLiteral("w:p"));
            } else {
                Start(QStringLiteral("w:p"));
                Runs(cell);
                End();
            }
            End();
        }
        End();
    }

    void Heading(qsizetype number, const QString& text)
    {
        Start(QStringLiteral("w:p"));
        Start(QStringLiteral("w:pPr"));
        Empty(QStringLiteral("w:pStyle"), QStringLiteral("w:val"), QStringLiteral("Heading1"));
        End();
        Start(QStringLiteral("w:bookmarkStart"));
        m_xml.writeAttribute(QStringLiteral("w:id"), QString::number(number));
        m_xml.writeAttribute(QStringLiteral("w:name"), Bookmark(number));
        End();
        Runs(text);
        Empty(QStringLiteral("w:bookmarkEnd"), QStringLiteral("w:id"), QString::number(number));
        End();
    }

    static QString Bookmark(qsizetype number) { return QStringLiteral("_Toc_t%1").arg(number + 1); }

    QXmlStreamWriter& Xml() { return m_xml; }

private:
    // As Runs writes them, inside a run already open.
    void AppendRuns(const QString& text)
    {
        const QString shown = DocumentText(text);
        const QChar* characters = shown.constData();
        qsizetype from = 0;
        const auto piece = [&](qsizetype to) {
            if (to <= from)
                return;
            const QString part = shown.mid(from, to - from);
            m_text += NeedsPreserve(part) ? QLatin1String("<w:t xml:space=\"preserve\">") : QLatin1String("<w:t>");
            qsizetype plain = 0;
            for (qsizetype i = 0; i < part.size(); ++i) {
                const char16_t c = part[i].unicode();
                if (c != u'&' && c != u'<' && c != u'>')
                    continue;
                m_text.append(part.constData() + plain, i - plain);
                m_text += c == u'&' ? QLatin1String("&amp;") : c == u'<' ? QLatin1String("&lt;") : QLatin1String("&gt;");
                plain = i + 1;
            }
            m_text.append(part.constData() + plain, part.size() - plain);
            m_text += QLatin1String("</w:t>");
        };
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const char16_t c = characters[i].unicode();
            if (c != u'\r' && c != u'\n' && c != u'\t')
                continue;
            piece(i);
            if (c == u'\t') {
                m_text += QLatin1String("<w:tab/>");
            } else {
                if (c == u'\r' && i + 1 < shown.size() && characters[i + 1] == u'\n')
                    ++i;
                m_text += QLatin1String("<w:br/>");
            }
            from = i + 1;
        }
        piece(shown.size());
    }

    QString m_text;
    QXmlStreamWriter m_xml;
};

// word/document.xml as libzip reads it: what comes before the sections,
// the sections from the sink's file, the end; never whole in memory.
class CDocumentStream
{
public:
    CDocumentStream(QByteArray head, const DocumentBody& body, QByteArray tail)
        : m_head(std::move(head)), m_tail(std::move(tail)), m_file(body.file)
    {
        zip_error_init(&m_error);
        m_pieces.push_back({&m_head, 0, 0});
        qint64 from = 0;
        for (size_t i = 0; i < body.ends.size(); ++i) {
            m_pieces.push_back({nullptr, from, body.ends[i]});
            m_pieces.push_back({&body.rest[i], 0, 0});
            from = body.ends[i];
        }
        m_pieces.push_back({&m_tail, 0, 0});
        for (const Piece& piece : m_pieces)
            m_size += piece.Size();
    }
    ~CDocumentStream() { zip_error_fini(&m_error); }

    static zip_int64_t Read(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto& stream = *static_cast<CDocumentStream*>(self);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            stream.m_piece = 0;
            stream.m_offset = 0;
            return 0;
        case ZIP_SOURCE_READ:
            return stream.Fill(static_cast<char*>(data), qint64(length));
        case ZIP_SOURCE_STAT: {
            auto* stat = static_cast<zip_stat_t*>(data);
            zip_stat_init(stat);
            stat->size = zip_uint64_t(stream.m_size);
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&stream.m_error, data, length);
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default: // close, free: the stream belongs to its caller
            return 0;
        }
    }

private:
    // Bytes in memory, or the range [from, to) of the sink's file.
    struct Piece {
        const QByteArray* bytes;
        qint64 from;
        qint64 to;
        qint64 Size() const { return bytes ? bytes->size() : to - from; }
    };

    zip_int64_t Fill(char* data, qint64 length)
    {
        qint64 filled = 0;
        while (filled < length && m_piece < m_pieces.size()) {
            const Piece& piece = m_pieces[m_piece];
            const qint64 count = qMin(length - filled, piece.Size() - m_offset);
            if (piece.bytes) {
                std::memcpy(data + filled, piece.bytes->constData() + m_offset, size_t(count));
            } else if (count > 0
                       && ((m_file.pos() != piece.from + m_offset && !m_file.seek(piece.from + m_offset))
                           || m_file.read(data + filled, count) != count)) {
                zip_error_set(&m_error, ZIP_ER_READ, 0);
                return -1;
            }
            filled += count;
            m_offset += count;
            if (m_offset >= piece.Size()) {
                ++m_piece;
                m_offset = 0;
            }
        }
        return filled;
    }

    QByteArray m_head;
    QByteArray m_tail;
    QIODevice& m_file;
    std::vector<Piece> m_pieces;
    qint64 m_size = 0;
    size_t m_piece = 0;
    qint64 m_offset = 0;
    zip_error_t m_error;
};

class CDocxWriter : public CDocumentWriter
{
public:
    bool Section(QIODevice& body, qsizetype number, const DocumentedTable& table, DbKind kind) override
    {
        CBodyWriter w;
        w.Heading(number, SectionHeading(table.name, table.description, table.view));
        w.TableStart({1450, 1000, 620, 620, 620, 620, 620, 1150, 2938}, DocumentColumnHeadings());
        w.FastRows(table.columns, kind);
        w.End();
        return WriteAll(body, w.Utf8());
    }

    QByteArray SectionEnd(const TableKeys* keys, const QString& unread, bool view) override
    {
        if (view)
            return {};
        CBodyWriter w;
        w.Paragraph(QStringLiteral("Heading2"), QStringLiteral("索引"));
        if (!keys) {
            w.Paragraph(QStringLiteral("Note"), unread);
        } else if (keys->indexes.empty()) {
            w.Paragraph(QStringLiteral("Note"), QStringLiteral("无"));
        } else {
            w.TableStart({2800, 4438, 1200, 1200},
                         {QStringLiteral("名称"), QStringLiteral("字段"), QStringLiteral("唯一"), QStringLiteral("主键")});
            for (const TableIndex& index : keys->indexes)
                w.Row({index.name, index.columns.join(QStringLiteral(", ")), YesMark(index.unique), YesMark(index.primary)});
            w.End();
        }
        w.Paragraph(QStringLiteral("Heading2"), QStringLiteral("外键"));
        if (!keys) {
            w.Paragraph(QStringLiteral("Note"), unread);
        } else if (keys->foreignKeys.empty()) {
            w.Paragraph(QStringLiteral("Note"), QStringLiteral("无"));
        } else {
            w.TableStart({2300, 1700, 1700, 1500, 1219, 1219},
                         {QStringLiteral("名称"), QStringLiteral("字段"), QStringLiteral("引用表"),
                          QStringLiteral("引用字段"), QStringLiteral("删除时"), QStringLiteral("更新时")});
            for (const ForeignKey& key : keys->foreignKeys)
                w.Row({key.name, key.columns.join(QStringLiteral(", ")), key.referencedTable,
                       key.referencedColumns.join(QStringLiteral(", ")), key.onDelete, key.onUpdate});
            w.End();
        }
        return w.Utf8();
    }

    bool Finish(QIODevice& out, const DocumentTitle& title, const std::vector<DocumentEntry>& contents,
                const DocumentBody& body, QString& error) override
    {
        CDocumentStream document{Head(title, contents), body, Tail()};
        QByteArray archive;
        if (!Zip(document, CoreProperties(title), archive, error))
            return false;
        return WriteAll(out, archive);
    }

private:
    static QByteArray Head(const DocumentTitle& title, const std::vector<DocumentEntry>& contents)
    {
        QByteArray head = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document "
                                            "xmlns:w=\"") + kNamespace + "\" xmlns:r=\"" + kRelNamespace + "\"><w:body>";
        CBodyWriter w;
        w.Paragraph(QStringLiteral("Title"), title.database);
        w.Paragraph(QStringLiteral("Subtitle"), QStringLiteral("服务器: %1　数据库: %2　日期: %3")
                                    .arg(title.server, title.database, title.date.toString(Qt::ISODate)));
        w.Paragraph(QStringLiteral("TOCHeading"), QStringLiteral("目录"));
        // The contents field: its entries are written in, so a reader that
        // does not refresh fields shows them; Word refreshes it on opening.
        const auto fieldChar = [&](const char* type) {
            w.Start(QStringLiteral("w:r"));
            w.Start(QStringLiteral("w:fldChar"));
            w.Xml().writeAttribute(QStringLiteral("w:fldCharType"), QLatin1String(type));
            if (QLatin1String(type) == u"begin")
                w.Xml().writeAttribute(QStringLiteral("w:dirty"), QStringLiteral("true"));
            w.End();
            w.End();
        };
        const auto entryStart = [&] {
            w.Start(QStringLiteral("w:p"));
            w.Start(QStringLiteral("w:pPr"));
            w.Empty(QStringLiteral("w:pStyle"), QStringLiteral("w:val"), QStringLiteral("TOC1"));
            w.End();
        };
        entryStart();
        fieldChar("begin");
        w.Start(QStringLiteral("w:r"));
        w.Start(QStringLiteral("w:instrText"));
        w.Xml().writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        w.Xml().writeCharacters(QStringLiteral(" TOC \\o \"1-1\" \\h \\z \\u "));
        w.End();
        w.End();
        fieldChar("separate");
        for (size_t i = 0; i < contents.size(); ++i) {
            if (i > 0)
                entryStart();
            w.Start(QStringLiteral("w:hyperlink"));
            w.Xml().writeAttribute(QStringLiteral("w:anchor"), CBodyWriter::Bookmark(contents[i].section));
            w.Xml().writeAttribute(QStringLiteral("w:history"), QStringLiteral("1"));
            // A heading's line break reads as a space in the contents, as Word makes it.
            QString entry = contents[i].heading;
            w.Runs(entry.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' '));
            w.End();
            w.End();
        }
        if (!contents.empty())
            entryStart();
        fieldChar("end");
        w.End();
        return head + w.Utf8();
    }

    static QByteArray Tail()
    {
        return QByteArrayLiteral("<w:p/><w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1247\" "
                                 "w:right=\"1134\" w:bottom=\"1247\" w:left=\"1134\" w:header=\"720\" w:footer=\"720\" "
                                 "w:gutter=\"0\"/></w:sectPr></w:body></w:document>");
    }

    static QByteArray CoreProperties(const DocumentTitle& title)
    {
        QByteArray core;
        QXmlStreamWriter xml(&core);
        xml.writeStartDocument();
        xml.writeStartElement(QStringLiteral("cp:coreProperties"));
        xml.writeAttribute(QStringLiteral("xmlns:cp"),
                           QStringLiteral("http://schemas.openxmlformats.org/package/2006/metadata/core-properties"));
        xml.writeAttribute(QStringLiteral("xmlns:dc"), QStringLiteral("http://purl.org/dc/elements/1.1/"));
        xml.writeTextElement(QStringLiteral("dc:title"), DocumentText(title.database));
        xml.writeTextElement(QStringLiteral("dc:creator"), QStringLiteral("Velmora"));
        xml.writeEndDocument();
        return core;
    }

    static bool Zip(CDocumentStream& document, const QByteArray& core, QByteArray& archive, QString& error)
    {
        zip_error_t failure;
        zip_error_init(&failure);
        zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &failure);
        zip_t* zip = memory ? zip_open_from_source(memory, ZIP_TRUNCATE, &failure) : nullptr;
        if (!zip) {
            error = QString::fromUtf8(zip_error_strerror(&failure));
            zip_error_fini(&failure);
            if (memory)
                zip_source_free(memory);
            return false;
        }
        zip_error_fini(&failure);
        zip_source_keep(memory); // the archive's bytes are read from it after closing
        const std::unique_ptr<zip_source_t, decltype(&zip_source_free)> kept(memory, zip_source_free);
        const auto add = [&](const char* name, zip_source_t* source) {
            if (source && zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8) >= 0)
                return true;
            if (source)
                zip_source_free(source);
            return false;
        };
        const auto text = [&](const char* name, const char* bytes, size_t size) {
            return add(name, zip_source_buffer(zip, bytes, size, 0));
        };
        const bool added = text("[Content_Types].xml", kContentTypes, std::strlen(kContentTypes))
            && text("_rels/.rels", kPackageRelationships, std::strlen(kPackageRelationships))
            && text("word/_rels/document.xml.rels", kDocumentRelationships, std::strlen(kDocumentRelationships))
            && text("word/styles.xml", kStyles, std::strlen(kStyles))
            && text("word/settings.xml", kSettings, std::strlen(kSettings))
            && text("docProps/core.xml", core.constData(), size_t(core.size()))
            && add("word/document.xml", zip_source_function(zip, CDocumentStream::Read, &document));
        // The fastest deflate: the markup repeats so much that it still
        // shrinks about tenfold, at a third of the default level's time.
        if (added)
            for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
                zip_set_file_compression(zip, zip_uint64_t(i), ZIP_CM_DEFLATE, 1);
        if (!added || zip_close(zip) != 0) {
            error = QString::fromUtf8(zip_strerror(zip));
            zip_discard(zip);
            return false;
        }
        zip_stat_t stat;
        if (zip_source_stat(memory, &stat) != 0 || zip_source_open(memory) != 0) {
            error = QString::fromUtf8(zip_error_strerror(zip_source_error(memory)));
            return false;
        }
        archive.resize(qsizetype(stat.size));
        const zip_int64_t read = zip_source_read(memory, archive.data(), stat.size);
        zip_source_close(memory);
        if (read != zip_int64_t(stat.size)) {
            error = QStringLiteral("the archive could not be read back");
            return false;
        }
        return true;
    }
};

} // namespace

std::unique_ptr<CDocumentWriter> MakeDocxWriter()
{
    return std::make_unique<CDocxWriter>();
}
