#include "edit/ColumnRestatement.h"

#include <vector>

namespace {

// Where the COMMENT clause and a column CHECK of tokens [first, last) sit.
struct ElementParts {
    std::optional<size_t> comment;
    std::optional<size_t> check;
};

ElementParts FindParts(const QString& text, const std::vector<SqlToken>& tokens, size_t first, size_t last)
{
    ElementParts parts;
    int depth = 0;
    for (size_t k = first + 1; k < last; ++k) {
        const SqlToken& token = tokens[k];
        if (IsSqlPunct(text, token, u'('))
            ++depth;
        else if (IsSqlPunct(text, token, u')'))
            --depth;
        else if (depth == 0 && !parts.comment && k + 1 < last && IsSqlWord(text, token, u"COMMENT")
                 && tokens[k + 1].kind == SqlTokenKind::String)
            parts.comment = k;
        else if (depth == 0 && !parts.check && IsSqlWord(text, token, u"CHECK"))
            parts.check = k;
    }
    return parts;
}

// Tokens [first, last) are one element of the table body.
QString RewriteElement(const QString& text, const std::vector<SqlToken>& tokens, size_t first, size_t last,
                       const QString& comment)
{
    const ElementParts parts = FindParts(text, tokens, first, last);
    const qsizetype begin = tokens[first].begin;
    const qsizetype end = tokens[last - 1].end;
    // The clause goes in place of the old one, else before CHECK, else last.
    qsizetype cut = end;
    qsizetype resume = end;
    if (parts.comment) {
        cut = tokens[*parts.comment].begin;
        resume = tokens[*parts.comment + 1].end;
    } else if (parts.check) {
        cut = resume = tokens[*parts.check].begin;
    }
    QString element = text.sliced(begin, cut - begin).trimmed();
    if (!comment.isEmpty())
        element += u' ' + comment;
    const QString rest = text.sliced(resume, end - resume).trimmed();
    if (!rest.isEmpty())
        element += u' ' + rest;
    return element;
}

} // namespace

namespace {

// Tokens [first, last) of the column's element of the table body.
std::optional<std::pair<size_t, size_t>> FindElement(const QString& createTable, const std::vector<SqlToken>& tokens,
                                                     const QString& column)
{
    size_t open = 0;
    while (open < tokens.size() && !IsSqlPunct(createTable, tokens[open], u'('))
        ++open;
    // The body's elements are separated by commas outside any parentheses
    // of their own; the body ends with the parenthesis that closes it.
    int depth = 0;
    size_t first = open + 1;
    for (size_t k = open; k < tokens.size(); ++k) {
        const SqlToken& token = tokens[k];
        const bool close = IsSqlPunct(createTable, token, u')');
        if (IsSqlPunct(createTable, token, u'('))
            ++depth;
        else if (close)
            --depth;
        const bool separator = depth == 1 && IsSqlPunct(createTable, token, u',');
        if (!separator && !(close && depth == 0))
            continue;
        if (k > first) {
            const SqlToken& name = tokens[first];
            if ((name.kind == SqlTokenKind::QuotedIdentifier || name.kind == SqlTokenKind::Word)
                && IdentifierName(createTable, name).compare(column, Qt::CaseInsensitive) == 0)
                return std::pair{first, k};
        }
        if (depth == 0)
            break;
        first = k + 1;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> RestateColumn(const QString& createTable, const QString& column, const QString& comment,
                                     SqlDialect dialect)
{
    const std::vector<SqlToken> tokens = TokenizeSql(createTable, dialect);
    const auto element = FindElement(createTable, tokens, column);
    if (!element)
        return std::nullopt;
    return RewriteElement(createTable, tokens, element->first, element->second, comment);
}

std::optional<QString> ColumnElement(const QString& createTable, const QString& column, SqlDialect dialect)
{
    const std::vector<SqlToken> tokens = TokenizeSql(createTable, dialect);
    const auto element = FindElement(createTable, tokens, column);
    if (!element)
        return std::nullopt;
    const qsizetype begin = tokens[element->first].begin;
    return createTable.sliced(begin, tokens[element->second - 1].end - begin);
}
