#include "catalog/SqlQuote.h"

QString EscapeSqlServerLiteral(const QString& text)
{
    QString out = text;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

QString EscapeMySqlLiteral(const QString& text, bool noBackslashEscapes)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        out += c;
        if (c == u'\'' || (c == u'\\' && !noBackslashEscapes))
            out += c;
    }
    return out;
}
