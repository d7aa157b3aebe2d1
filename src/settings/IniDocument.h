#pragma once

#include "settings/IniText.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The settings file as a list of lines. Section and key names match without
// regard to letter case; the first matching section and, within it, the
// first matching key count. A change touches only the line it concerns, so
// every other line is written back byte for byte.
class CIniDocument
{
public:
    // An empty document as a new file gets it: UTF-8 without BOM, LF line ends.
    CIniDocument() = default;
    static CIniDocument FromBytes(const QByteArray& bytes);
    QByteArray ToBytes() const;

    // The text after '=' with white space trimmed; nullopt when the section
    // or the key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;

    // Replaces the value of an existing key in place, else adds the key after
    // the last key of its section, else adds the section at the end. Names
    // are taken in their normal form (IniLine::NormalName); a key no line
    // can hold is not written. False when nothing changed.
    bool SetValue(const QString& section, const QString& key, const QString& value);

private:
    struct Line {
        QByteArray bytes;
        QByteArray end;
        QString text;
    };

    qsizetype FindSection(const QString& section) const;
    void InsertLine(qsizetype index, const QString& text);

    IniText::Encoding m_encoding = IniText::Encoding::Utf8;
    QByteArray m_lineEnd = "\n";
    QList<Line> m_lines;
};
