#include "export/DocumentSink.h"

#include "common/CompleteWrite.h"

#include <QFileInfo>
#include <QSaveFile>

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

QString SectionHeading(const QString& table, const QString& description)
{
    return description.isEmpty() ? table : table + QStringLiteral(" — ") + description;
}

QString DocumentText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text[i];
            out += text[++i];
        } else if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') {
            out += QStringLiteral("\\x") + QStringLiteral("%1").arg(unsigned(c), 2, 16, QChar(u'0')).toUpper();
        } else if (QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            out += QStringLiteral("\\u") + QStringLiteral("%1").arg(unsigned(c), 4, 16, QChar(u'0')).toUpper();
        } else {
            out += QChar(c);
        }
    }
    return out;
}

CDocumentSink::CDocumentSink(DocumentFormat format, DocumentTitle title, QHash<QString, QString> descriptions,
                             KeyCatalog keys)
    : m_writer(format == DocumentFormat::Html ? MakeHtmlWriter() : MakeDocxWriter()), m_title(std::move(title)),
      m_descriptions(std::move(descriptions)), m_keys(std::move(keys))
{
}

CDocumentSink::~CDocumentSink() = default;

bool CDocumentSink::WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind)
{
    if (!m_body.isOpen() && !m_body.open()) {
        m_error = m_body.errorString();
        return false;
    }
    const QString description = m_descriptions.value(table);
    const DocumentedTable section{table, description, columns};
    if (!m_writer->Section(m_body, qsizetype(m_contents.size()), section, m_keys.Find(table), m_keys.unread, kind)) {
        m_error = m_body.errorString();
        return false;
    }
    m_contents.push_back({SectionHeading(table, description), qsizetype(m_contents.size())});
    return true;
}

bool CDocumentSink::Commit(const QString& path)
{
    if (!m_body.isOpen() && !m_body.open()) {
        m_error = m_body.errorString();
        return false;
    }
    if (!m_body.flush() || !m_body.seek(0)) {
        m_error = m_body.errorString();
        return false;
    }
    QSaveFile file(path);
    if (!OpenReplacement(file)) {
        m_error = file.errorString();
        return false;
    }
    if (!m_writer->Finish(file, m_title, m_contents, m_body, m_error)) {
        if (m_error.isEmpty())
            m_error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}
