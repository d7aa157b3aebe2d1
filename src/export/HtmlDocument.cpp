// The data dictionary as one HTML page: inline CSS, no script, no outside
// resource. It is also well-formed XML (void elements closed, only the
// entities XML knows), so a plain XML reader can check it.

#include "export/DocumentSink.h"

#include "catalog/LengthDisplay.h"
#include "common/CompleteWrite.h"

#include <QIODevice>

namespace {

const char* const kStyle =
    "body{font-family:\"Noto Sans CJK SC\",\"Microsoft YaHei\",\"PingFang SC\",sans-serif;font-size:14px;"
    "margin:2em;color:#222}"
    "h1{font-size:1.8em}h2{font-size:1.35em;border-bottom:2px solid #4a6fa5;padding-bottom:.2em;margin-top:2em}"
    "h3{font-size:1.05em;margin:1.2em 0 .4em}"
    "h1,h2,h3,td,th,li{white-space:pre-wrap;overflow-wrap:anywhere}"
    "table{border-collapse:collapse;width:100%;margin-bottom:.5em}"
    "th,td{border:1px solid #999;padding:.25em .5em;text-align:left;vertical-align:top}"
    "th{background:#dfe7f2}tr:nth-child(even) td{background:#f6f8fb}"
    "td.mark{text-align:center}p.none{color:#666}"
    "@media print{body{margin:0}nav,section{break-before:page}h2{break-after:avoid}"
    "thead{display:table-header-group}tr{break-inside:avoid}a{color:inherit;text-decoration:none}}";

// Escaped for an element's content: line breaks kept (the CSS shows them),
// CR LF and CR as LF, as a parser would read them anyway.
void Text(QString& out, const QString& text)
{
    const QString shown = DocumentText(text);
    const QChar* characters = shown.constData();
    qsizetype from = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = characters[i].unicode();
        if (c != u'&' && c != u'<' && c != u'>' && c != u'"' && c != u'\r')
            continue;
        out.append(characters + from, i - from);
        from = i + 1;
        switch (c) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        default: // CR LF or CR
            if (i + 1 < shown.size() && characters[i + 1] == u'\n')
                ++i, ++from;
            out += u'\n';
        }
    }
    out.append(characters + from, shown.size() - from);
}

void Element(QString& out, const char* tag, const QString& text, const char* attributes = "")
{
    out += u'<';
    out += QLatin1String(tag);
    out += QLatin1String(attributes);
    out += u'>';
    Text(out, text);
    out += QLatin1String("</");
    out += QLatin1String(tag);
    out += u'>';
}

void TableStart(QString& out, const QStringList& headings)
{
    out += QStringLiteral("<table><thead><tr>");
    for (const QString& heading : headings)
        Element(out, "th", heading);
    out += QStringLiteral("</tr></thead><tbody>\n");
}

void Cells(QString& out, const QStringList& cells, qsizetype markFrom = -1, qsizetype markTo = -1)
{
    out += QStringLiteral("<tr>");
    for (qsizetype i = 0; i < cells.size(); ++i)
        Element(out, "td", cells[i], i >= markFrom && i <= markTo ? " class=\"mark\"" : "");
    out += QStringLiteral("</tr>\n");
}

class CHtmlWriter : public CDocumentWriter
{
public:
    bool Section(QIODevice& body, qsizetype number, const DocumentedTable& table, DbKind kind) override
    {
        QString out;
        out.reserve(qsizetype(table.columns.size()) * 200 + 1024);
        out += QStringLiteral("<section id=\"t%1\">").arg(number + 1);
        Element(out, "h2", SectionHeading(table.name, table.description, table.view));
        out += u'\n';
        TableStart(out, DocumentColumnHeadings());
        for (const QStringList& values : table.columns) {
            QStringList cells = values.mid(0, 9);
            while (cells.size() < 9)
                cells.append(QString());
            cells[2] = DisplayLength(values.value(1), values.value(2), kind);
            Cells(out, cells, 4, 6);
        }
        out += QStringLiteral("</tbody></table>\n");
        return WriteAll(body, out.toUtf8());
    }

    QByteArray SectionEnd(const TableKeys* keys, const QString& unread, bool view) override
    {
        if (view)
            return QByteArrayLiteral("</section>\n");
        QString out;
        Element(out, "h3", QStringLiteral("索引"));
        if (!keys) {
            Element(out, "p", unread, " class=\"none\"");
        } else if (keys->indexes.empty()) {
            Element(out, "p", QStringLiteral("无"), " class=\"none\"");
        } else {
            TableStart(out, {QStringLiteral("名称"), QStringLiteral("字段"), QStringLiteral("唯一"),
                             QStringLiteral("主键")});
            for (const TableIndex& index : keys->indexes)
                Cells(out, {index.name, index.columns.join(QStringLiteral(", ")), YesMark(index.unique),
                            YesMark(index.primary)}, 2, 3);
            out += QStringLiteral("</tbody></table>\n");
        }
        Element(out, "h3", QStringLiteral("外键"));
        if (!keys) {
            Element(out, "p", unread, " class=\"none\"");
        } else if (keys->foreignKeys.empty()) {
            Element(out, "p", QStringLiteral("无"), " class=\"none\"");
        } else {
            TableStart(out, {QStringLiteral("名称"), QStringLiteral("字段"), QStringLiteral("引用表"),
                             QStringLiteral("引用字段"), QStringLiteral("删除时"), QStringLiteral("更新时")});
            for (const ForeignKey& key : keys->foreignKeys)
                Cells(out, {key.name, key.columns.join(QStringLiteral(", ")), key.referencedTable,
                            key.referencedColumns.join(QStringLiteral(", ")), key.onDelete, key.onUpdate});
            out += QStringLiteral("</tbody></table>\n");
        }
        out += QStringLiteral("</section>\n");
        return out.toUtf8();
    }

    bool Finish(QIODevice& out, const DocumentTitle& title, const std::vector<DocumentEntry>& contents,
                const DocumentBody& body, QString&) override
    {
        QString head = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"/>"
                                      "<meta name=\"viewport\" content=\"width=device-width\"/>");
        Element(head, "title", title.database + QStringLiteral(" — 数据库设计文档"));
        head += QStringLiteral("<style>") + QLatin1String(kStyle) + QStringLiteral("</style></head>\n<body>\n<header>");
        Element(head, "h1", title.database);
        Element(head, "p", QStringLiteral("服务器: %1　数据库: %2　日期: %3")
                               .arg(title.server, title.database, title.date.toString(Qt::ISODate)));
        head += QStringLiteral("</header>\n<nav>");
        Element(head, "h2", QStringLiteral("目录"));
        head += QStringLiteral("<ol>\n");
        for (const DocumentEntry& entry : contents) {
            head += QStringLiteral("<li><a href=\"#t%1\">").arg(entry.section + 1);
            Text(head, entry.heading);
            head += QStringLiteral("</a></li>\n");
        }
        head += QStringLiteral("</ol></nav>\n");
        return WriteAll(out, head.toUtf8()) && WriteBody(out, body) && WriteAll(out, "</body>\n</html>\n");
    }
};

} // namespace

std::unique_ptr<CDocumentWriter> MakeHtmlWriter()
{
    return std::make_unique<CHtmlWriter>();
}
