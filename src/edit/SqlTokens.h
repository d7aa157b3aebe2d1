#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// How the session reads quotes: ANSI_QUOTES makes "..." an identifier,
// NO_BACKSLASH_ESCAPES makes a backslash an ordinary character.
struct SqlDialect {
    bool ansiQuotes = false;
    bool noBackslashEscapes = false;
};

enum class SqlTokenKind { Word, QuotedIdentifier, String, Comment, Punct, Other };

// A token as a range [begin, end) of the text it came from.
struct SqlToken {
    SqlTokenKind kind;
    qsizetype begin;
    qsizetype end;
};

// Splits MySQL text into words, quoted identifiers, string literals,
// /* */ comments, the punctuation ( ) , and single other characters;
// white space separates tokens. An unterminated quote runs to the end.
std::vector<SqlToken> TokenizeSql(const QString& text, SqlDialect dialect);

// The name a Word or QuotedIdentifier token stands for, quotes removed and
// doubled quote characters made single.
QString IdentifierName(const QString& text, const SqlToken& token);

// Whether the token is the word `word`, in any case.
bool IsSqlWord(const QString& text, const SqlToken& token, QStringView word);

// Whether the token is the punctuation character `c`.
bool IsSqlPunct(const QString& text, const SqlToken& token, QChar c);
