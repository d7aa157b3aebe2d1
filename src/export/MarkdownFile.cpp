#include "export/DocumentedTable.h"

#include "catalog/LengthDisplay.h"

#include <QRegularExpression>

namespace {

const QStringList kColumnHeadings = {QStringLiteral("Column"),      QStringLiteral("Type"),
                                     QStringLiteral("Length"),      QStringLiteral("Scale"),
                                     QStringLiteral("Nullable"),    QStringLiteral("Primary key"),
                                     QStringLiteral("Auto increment"), QStringLiteral("Default"),
                                     QStringLiteral("Description")};

QString Row(const QStringList& cells)
{
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
}

} // namespace

QString MarkdownText(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            [[fallthrough]];
        case u'\n':
            out += QStringLiteral("<br>");
            break;
        case u'<':
            out += QStringLiteral("&lt;");
            break;
        case u'>':
            out += QStringLiteral("&gt;");
            break;
        case u'&':
            out += QStringLiteral("&amp;");
            break;
        case u'\\': case u'|': case u'*': case u'_': case u'`': case u'[': case u']': case u'#': case u'~':
            out += u'\\';
            out += c;
            break;
        default:
            out += c;
        }
    }
    // A paragraph starting so would turn into a list, a heading's rule or,
    // indented, code. Leading blanks as references keep their place in the
    // text but start no block.
    qsizetype blanks = 0;
    while (blanks < out.size() && (out[blanks] == u' ' || out[blanks] == u'\t'))
        ++blanks;
    QString lead;
    for (qsizetype i = 0; i < blanks; ++i)
        lead += out[i] == u' ' ? QStringLiteral("&#32;") : QStringLiteral("&#9;");
    out.replace(0, blanks, lead);
    static const QRegularExpression ordered(QStringLiteral("^\\d{1,9}(?=[.)](?:[ \t]|$))"));
    const QRegularExpressionMatch number = ordered.match(out);
    if (number.hasMatch())
        out.insert(number.capturedEnd(), u'\\');
    else if (out.startsWith(u'-') || out.startsWith(u'+') || out.startsWith(u'='))
        out.prepend(u'\\');
    return out;
}

QString HeadingAnchor(const QString& heading, QStringList& used)
{
    QString anchor;
    for (const QChar c : heading.toLower()) {
        if (c.isLetterOrNumber() || c == u'-' || c == u'_')
            anchor += c;
        else if (c == u' ')
            anchor += u'-';
    }
    const QString base = anchor;
    for (int n = 1; used.contains(anchor); ++n)
        anchor = base + u'-' + QString::number(n);
    used.append(anchor);
    return anchor;
}

// A table's indexes and foreign keys, as bold-titled tables: headings would
// take anchors a table's name may need.
QString KeySections(const TableKeys* keys, const QString& unread)
{
    QString text = QStringLiteral("\n**Indexes**\n\n");
    const auto none = [&] { return (keys ? QStringLiteral("None.") : MarkdownText(unread)) + u'\n'; };
    const auto list = [](const QStringList& names) {
        QStringList escaped;
        for (const QString& name : names)
            escaped.append(MarkdownText(name));
        return escaped.join(QStringLiteral(", "));
    };
    if (!keys || keys->indexes.empty()) {
        text += none();
    } else {
        text += Row({QStringLiteral("Name"), QStringLiteral("Columns"), QStringLiteral("Unique"), QStringLiteral("Primary")})
            + QStringLiteral("| --- | --- | --- | --- |\n");
        for (const TableIndex& index : keys->indexes)
            text += Row({MarkdownText(index.name), list(index.columns), YesMark(index.unique), YesMark(index.primary)});
    }
    text += QStringLiteral("\n**Foreign keys**\n\n");
    if (!keys || keys->foreignKeys.empty()) {
        text += none();
    } else {
        text += Row({QStringLiteral("Name"), QStringLiteral("Columns"), QStringLiteral("References"),
                     QStringLiteral("Referenced columns"), QStringLiteral("On delete"), QStringLiteral("On update")})
            + QStringLiteral("| --- | --- | --- | --- | --- | --- |\n");
        for (const ForeignKey& key : keys->foreignKeys)
            text += Row({MarkdownText(key.name), list(key.columns), MarkdownText(key.referencedTable),
                         list(key.referencedColumns), MarkdownText(key.onDelete), MarkdownText(key.onUpdate)});
    }
    return text;
}

QString MarkdownDocument(const QString& database, const std::vector<DocumentedTable>& tables, DbKind kind,
                         const KeyCatalog* keys)
{
    QString text = QStringLiteral("# ") + MarkdownText(database) + QStringLiteral("\n\n## Contents\n\n");
    QStringList used{QStringLiteral("contents")};
    used.append(HeadingAnchor(database, used));
    QStringList anchors;
    for (const DocumentedTable& table : tables) {
        anchors.append(HeadingAnchor(table.name, used));
        text += QStringLiteral("- [%1](#%2)%3\n")
                    .arg(MarkdownText(table.name), anchors.constLast(), table.view ? u" (view)" : u"");
    }
    QStringList rule;
    for (qsizetype i = 0; i < kColumnHeadings.size(); ++i)
        rule.append(QStringLiteral("---"));
    for (const DocumentedTable& table : tables) {
        text += QStringLiteral("\n## ") + MarkdownText(table.name) + QStringLiteral("\n\n");
        if (table.view)
            text += QStringLiteral("*View*\n\n");
        else if (!table.description.isEmpty())
            text += MarkdownText(table.description) + QStringLiteral("\n\n");
        text += Row(kColumnHeadings) + Row(rule);
        for (const QStringList& values : table.columns) {
            QStringList cells;
            for (qsizetype i = 0; i < kColumnHeadings.size(); ++i)
                cells.append(MarkdownText(i == 2 ? DisplayLength(values.value(1), values.value(2), kind)
                                                 : values.value(i)));
            text += Row(cells);
        }
        if (keys && !table.view) // a view has neither
            text += KeySections(keys->Find(table.name), keys->unread);
    }
    return text;
}
