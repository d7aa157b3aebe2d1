#include "edit/ColumnCarryOver.h"

#include "catalog/SqlQuote.h"
#include "edit/SqlTokens.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

QString Quoted(const QString& text)
{
    return u'\'' + EscapeMySqlLiteral(text) + u'\'';
}

struct Replacement {
    TextSpan span;
    QString text;
};

} // namespace

PrintedDefault FindPrintedDefault(const QString& definition)
{
    static const QRegularExpression number(QStringLiteral("[-+]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][-+]?[0-9]+)?"));
    const std::vector<SqlToken> tokens = TokenizeSql(definition, {});
    int depth = 0;
    for (size_t k = 1; k + 1 < tokens.size(); ++k) {
        if (IsSqlPunct(definition, tokens[k], u'('))
            ++depth;
        else if (IsSqlPunct(definition, tokens[k], u')'))
            --depth;
        if (depth != 0 || !IsSqlWord(definition, tokens[k], u"DEFAULT"))
            continue;
        const SqlToken& next = tokens[k + 1];
        if (next.kind == SqlTokenKind::String)
            return {PrintedDefault::String, {next.begin, next.end}};
        const QRegularExpressionMatch match =
            number.match(definition, next.begin, QRegularExpression::NormalMatch,
                         QRegularExpression::AnchorAtOffsetMatchOption);
        const bool whole = match.hasMatch()
            && (match.capturedEnd() == definition.size() || definition[match.capturedEnd()].isSpace());
        if (whole && (next.kind != SqlTokenKind::Word || definition[next.begin].isDigit()))
            return {PrintedDefault::Number, {match.capturedStart(), match.capturedEnd()}};
        return {};
    }
    return {};
}

std::vector<TextSpan> TypeMembers(const QString& definition)
{
    const std::vector<SqlToken> tokens = TokenizeSql(definition, {});
    std::vector<TextSpan> members;
    if (tokens.size() < 3 || !(IsSqlWord(definition, tokens[1], u"enum") || IsSqlWord(definition, tokens[1], u"set"))
        || !IsSqlPunct(definition, tokens[2], u'('))
        return members;
    for (size_t k = 3; k < tokens.size() && !IsSqlPunct(definition, tokens[k], u')'); ++k)
        if (tokens[k].kind == SqlTokenKind::String)
            members.push_back({tokens[k].begin, tokens[k].end});
    return members;
}

QString UnquoteMySqlString(QStringView literal)
{
    if (literal.size() < 2)
        return literal.toString();
    const QChar quote = literal.front();
    const QStringView body = literal.sliced(1, literal.size() - 2);
    QString text;
    text.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c == quote && i + 1 < body.size() && body[i + 1] == quote) {
            text += c;
            ++i;
        } else if (c == u'\\' && i + 1 < body.size()) {
            const QChar e = body[++i];
            switch (e.unicode()) {
            case '0': text += QChar(0); break;
            case 'b': text += u'\b'; break;
            case 'n': text += u'\n'; break;
            case 'r': text += u'\r'; break;
            case 't': text += u'\t'; break;
            case 'Z': text += QChar(0x1A); break;
            case '%': case '_': text += u'\\'; text += e; break;
            default: text += e;
            }
        } else {
            text += c;
        }
    }
    return text;
}

std::optional<QString> CarryOverExact(const QString& definition, const ExactColumn& exact)
{
    std::vector<Replacement> replacements;
    const PrintedDefault printed = FindPrintedDefault(definition);
    const QStringView literal = QStringView(definition).sliced(printed.span.begin, printed.span.end - printed.span.begin);
    if (!exact.defaultValue.isNull() && printed.kind == PrintedDefault::String) {
        if (exact.binary)
            replacements.push_back({printed.span, QStringLiteral("x'%1'").arg(exact.defaultValue)});
        else if (UnquoteMySqlString(literal) != exact.defaultValue)
            replacements.push_back({printed.span, Quoted(exact.defaultValue)});
    } else if (!exact.defaultValue.isNull() && printed.kind == PrintedDefault::Number && exact.floating) {
        bool ok = false;
        const double value = exact.defaultValue.toDouble(&ok);
        const double shown = literal.toDouble();
        const bool same = exact.singleFloat ? float(value) == float(shown) : value == shown;
        if (!ok)
            return std::nullopt;
        if (!same)
            replacements.push_back({printed.span, exact.defaultValue});
    }

    const std::vector<TextSpan> members = TypeMembers(definition);
    if (exact.members && exact.members->size() == qsizetype(members.size())) {
        for (size_t k = 0; k < members.size(); ++k) {
            const TextSpan span = members[k];
            const QString value = exact.members->at(qsizetype(k));
            if (UnquoteMySqlString(QStringView(definition).sliced(span.begin, span.end - span.begin)) != value)
                replacements.push_back({span, Quoted(value)});
        }
    } else if (!members.empty()) {
        // Unread: only a '?' can stand for a character that was lost.
        for (const TextSpan span : members)
            if (QStringView(definition).sliced(span.begin, span.end - span.begin).contains(u'?'))
                return std::nullopt;
    }

    QString restated = definition;
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.span.begin > b.span.begin; });
    for (const Replacement& r : replacements)
        restated.replace(r.span.begin, r.span.end - r.span.begin, r.text);
    if (!exact.srid.isEmpty() && exact.srid != u"0") {
        // Right after the type, where MariaDB's grammar takes it.
        const std::vector<SqlToken> tokens = TokenizeSql(restated, {});
        if (tokens.size() < 2)
            return std::nullopt;
        restated.insert(tokens[1].end, QStringLiteral(" REF_SYSTEM_ID=") + exact.srid);
    }
    return restated;
}
