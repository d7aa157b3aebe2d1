#pragma once

#include "settings/IniText.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The settings file as a list of lines. Section and key names match without
// regard to letter case; a section may be repeated, and the first matching
// key of all its parts counts. A change touches only the line it concerns,
// so every other line is written back byte for byte; only a value a GBK
// file cannot hold turns the whole file into UTF-8, every line's text kept.
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
    // the last key of the section's first part, else adds the section at the
    // end. Names
    // are taken in their normal form (IniLine::NormalName); a key no line
    // can hold is not written. False when nothing changed.
    bool SetValue(const QString& section, const QString& key, const QString& value);

private:
    struct Line {
        QByteArray bytes;
        QByteArray end;
        QString text;
        IniText::Encoding encoding;
    };

    qsizetype FindSection(const QString& section, qsizetype from = 0) const;
    // The key's line, else -1; `lastKey` gets the last key line of the
    // section's first part (its header without keys), -1 without the section.
    qsizetype FindKey(const QString& section, const QString& key, qsizetype* lastKey = nullptr) const;
    void InsertLine(qsizetype index, const QString& text);
    void WriteAsUtf8();

    IniText::Encoding m_encoding = IniText::Encoding::Utf8;
    // Of added lines: a GBK file with UTF-8 lines gets UTF-8 ones.
    IniText::Encoding m_newEncoding = IniText::Encoding::Utf8;
    QByteArray m_lineEnd = "\n";
    QList<Line> m_lines;
};
