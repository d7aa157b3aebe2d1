#include "export/DocumentSink.h"

#include "common/CompleteWrite.h"
#include "common/OutputFile.h"

#include <QFileInfo>

std::optional<DocumentFormat> DocumentFormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"html" || suffix == u"htm")
        return DocumentFormat::Html;
    if (suffix == u"docx")
        return DocumentFormat::Docx;
    return std::nullopt;
}

const QStringList& DocumentColumnHeadings()
{
    static const QStringList headings = {QStringLiteral("名称"), QStringLiteral("类型"), QStringLiteral("长度"),
                                         QStringLiteral("小数"), QStringLiteral("空值"), QStringLiteral("主键"),
                                         QStringLiteral("自增"), QStringLiteral("默认"), QStringLiteral("描述")};
    return headings;
}

QString SectionHeading(const QString& table, const QString& description, bool view)
{
    if (view)
        return table + QStringLiteral("（视图）");
    return description.isEmpty() ? table : table + QStringLiteral(" — ") + description;
}

namespace {

bool Unpaired(const QString& text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate())
        return i + 1 >= text.size() || !text[i + 1].isLowSurrogate();
    return c.isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate());
}

bool Shown(const QString& text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r';
    if (c >= 0xD800 && c <= 0xDFFF)
        return !Unpaired(text, i);
    return c != 0xFFFE && c != 0xFFFF;
}

} // namespace

QString DocumentText(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && Shown(text, first))
        ++first;
    if (first == text.size())
        return text; // the usual case: nothing to escape, nothing copied
    QString out = text.left(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        if (Shown(text, i)) {
            out += text[i];
            continue;
        }
        const unsigned code = text[i].unicode();
        out += (code < 0x20 ? QStringLiteral("\\x%1").arg(code, 2, 16, QChar(u'0'))
                            : QStringLiteral("\\u%1").arg(code, 4, 16, QChar(u'0')))
                   .toUpper()
                   .replace(1, 1, code < 0x20 ? u'x' : u'u');
    }
    return out;
}

CDocumentSink::CDocumentSink(DocumentFormat format, DocumentTitle title, QHash<QString, QString> descriptions)
    : m_writer(format == DocumentFormat::Html ? MakeHtmlWriter() : MakeDocxWriter()), m_title(std::move(title)),
      m_descriptions(std::move(descriptions))
{
}

CDocumentSink::~CDocumentSink() = default;

bool CDocumentSink::WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind)
{
    if (!m_body.isOpen() && !m_body.open()) {
        m_error = m_body.errorString();
        return false;
    }
    const bool view = m_views.contains(table);
    const QString description = view ? QString() : m_descriptions.value(table);
    if (!m_writer->Section(m_body, qsizetype(m_contents.size()), {table, description, columns, view}, kind)) {
        m_error = m_body.errorString();
        return false;
    }
    m_contents.push_back({SectionHeading(table, description, view), qsizetype(m_contents.size())});
    m_tables.append(table);
    m_sectionEnds.push_back(m_body.pos());
    return true;
}

qint64 DocumentBody::Size() const
{
    qint64 size = ends.empty() ? 0 : ends.back();
    for (const QByteArray& part : rest)
        size += part.size();
    return size;
}

bool WriteBody(QIODevice& out, const DocumentBody& body)
{
    if (!body.file.seek(0))
        return false;
    for (size_t i = 0; i < body.ends.size(); ++i) {
        for (qint64 left = body.ends[i] - body.file.pos(); left > 0;) {
            const QByteArray block = body.file.read(qMin<qint64>(left, 1 << 20));
            if (block.isEmpty() || !WriteAll(out, block))
                return false;
            left -= block.size();
        }
        if (!WriteAll(out, body.rest[i]))
            return false;
    }
    return true;
}

bool CDocumentSink::Commit(COutputFile& output)
{
    if ((!m_body.isOpen() && !m_body.open()) || !m_body.flush()) {
        m_error = m_body.errorString();
        return false;
    }
    DocumentBody body{m_body, m_sectionEnds, {}};
    for (const QString& table : m_tables)
        body.rest.push_back(m_writer->SectionEnd(m_keys.Find(table), m_keys.unread, m_views.contains(table)));
    if (!output.Begin() || !m_writer->Finish(output.Device(), m_title, m_contents, body, m_error)
        || !output.Commit()) {
        if (m_error.isEmpty())
            m_error = m_body.error() != QFileDevice::NoError ? m_body.errorString() : output.ErrorString();
        return false;
    }
    return true;
}
