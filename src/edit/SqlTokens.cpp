#include "edit/SqlTokens.h"

namespace {

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80;
}

// Index just past a quoted run that started at `begin`; `quote` doubled
// stands for itself, and a backslash escapes the next character when
// `backslash` is set.
qsizetype SkipQuoted(const QString& text, qsizetype begin, QChar quote, bool backslash)
{
    qsizetype i = begin + 1;
    while (i < text.size()) {
        const QChar c = text[i];
        if (backslash && c == u'\\') {
            i += 2;
        } else if (c == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote)
                i += 2;
            else
                return i + 1;
        } else {
            ++i;
        }
    }
    return text.size();
}

} // namespace

std::vector<SqlToken> TokenizeSql(const QString& text, SqlDialect dialect)
{
    std::vector<SqlToken> tokens;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        SqlToken token{SqlTokenKind::Other, i, i + 1};
        if (c == u'`') {
            token = {SqlTokenKind::QuotedIdentifier, i, SkipQuoted(text, i, c, false)};
        } else if (c == u'"' && dialect.ansiQuotes) {
            token = {SqlTokenKind::QuotedIdentifier, i, SkipQuoted(text, i, c, false)};
        } else if (c == u'\'' || c == u'"') {
            token = {SqlTokenKind::String, i, SkipQuoted(text, i, c, !dialect.noBackslashEscapes)};
        } else if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
            const qsizetype close = text.indexOf(QStringLiteral("*/"), i + 2);
            token = {SqlTokenKind::Comment, i, close < 0 ? text.size() : close + 2};
        } else if (c == u'(' || c == u')' || c == u',') {
            token.kind = SqlTokenKind::Punct;
        } else if (IsWordChar(c)) {
            token.kind = SqlTokenKind::Word;
            while (token.end < text.size() && IsWordChar(text[token.end]))
                ++token.end;
        }
        tokens.push_back(token);
        i = token.end;
    }
    return tokens;
}

QString IdentifierName(const QString& text, const SqlToken& token)
{
    const QString raw = text.sliced(token.begin, token.end - token.begin);
    if (token.kind != SqlTokenKind::QuotedIdentifier || raw.size() < 2)
        return raw;
    const QChar quote = raw[0];
    QString name = raw.sliced(1, raw.size() - 2);
    name.replace(QString(2, quote), QString(quote));
    return name;
}

bool IsSqlWord(const QString& text, const SqlToken& token, QStringView word)
{
    return token.kind == SqlTokenKind::Word
        && QStringView(text).sliced(token.begin, token.end - token.begin).compare(word, Qt::CaseInsensitive) == 0;
}

bool IsSqlPunct(const QString& text, const SqlToken& token, QChar c)
{
    return token.kind == SqlTokenKind::Punct && text[token.begin] == c;
}
