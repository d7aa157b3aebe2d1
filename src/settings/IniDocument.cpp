#include "settings/IniDocument.h"

#include "settings/IniLine.h"

namespace {

bool SameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

CIniDocument CIniDocument::FromBytes(const QByteArray& bytes)
{
    CIniDocument document;
    document.m_encoding = IniText::Detect(bytes);
    const qsizetype bomSize = IniText::Bom(document.m_encoding).size();
    const QList<IniText::RawLine> raw = IniText::SplitLines(QByteArrayView(bytes).sliced(bomSize),
                                                           document.m_encoding);
    const QList<IniText::Encoding> encodings = IniText::LineEncodings(raw, document.m_encoding);
    const QStringList texts = IniText::DecodeLines(raw, encodings);
    document.m_newEncoding = encodings.contains(IniText::Encoding::Utf8) ? IniText::Encoding::Utf8
                                                                          : document.m_encoding;
    document.m_lines.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i)
        document.m_lines.append({raw[i].bytes, raw[i].end, texts[i], encodings[i]});
    // New lines end the way the file's first line does.
    if (!raw.isEmpty() && !raw.front().end.isEmpty())
        document.m_lineEnd = raw.front().end;
    else
        document.m_lineEnd = IniText::Encode(QStringLiteral("\n"), document.m_encoding);
    return document;
}

QByteArray CIniDocument::ToBytes() const
{
    QByteArray bytes = IniText::Bom(m_encoding);
    for (const Line& line : m_lines) {
        bytes += line.bytes;
        bytes += line.end;
    }
    return bytes;
}

qsizetype CIniDocument::FindSection(const QString& rawSection, qsizetype from) const
{
    const QString section = IniLine::NormalName(rawSection);
    for (qsizetype i = from; i < m_lines.size(); ++i) {
        const auto name = IniLine::SectionName(m_lines[i].text);
        if (name && SameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype CIniDocument::FindKey(const QString& section, const QString& rawKey, qsizetype* lastKey) const
{
    const QString key = IniLine::NormalName(rawKey);
    qsizetype header = FindSection(section);
    if (lastKey)
        *lastKey = header;
    for (bool first = true; header >= 0; first = false, header = FindSection(section, header + 1)) {
        for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
            if (IniLine::SectionName(m_lines[i].text))
                break;
            const auto entry = IniLine::SplitKey(m_lines[i].text);
            if (!entry)
                continue;
            if (SameName(entry->key, key))
                return i;
            if (first && lastKey)
                *lastKey = i;
        }
    }
    return -1;
}

std::optional<QString> CIniDocument::Value(const QString& section, const QString& key) const
{
    const qsizetype line = FindKey(section, key);
    if (line < 0)
        return std::nullopt;
    return IniLine::SplitKey(m_lines[line].text)->value.toString();
}

void CIniDocument::WriteAsUtf8()
{
    for (Line& line : m_lines) {
        if (line.encoding == IniText::Encoding::Gbk) {
            line.bytes = line.text.toUtf8();
            line.encoding = IniText::Encoding::Utf8;
        }
    }
    m_encoding = m_newEncoding = IniText::Encoding::Utf8;
}

void CIniDocument::InsertLine(qsizetype index, const QString& text)
{
    if (!IniText::CanHold(text, m_newEncoding))
        WriteAsUtf8();
    // The line before may be the file's last, unterminated one; in UTF-16 it
    // may even end in half a unit, which would shift every unit after it.
    if (index > 0 && m_lines[index - 1].end.isEmpty()) {
        Line& last = m_lines[index - 1];
        if (m_encoding == IniText::Encoding::Utf16Le && last.bytes.size() % 2 != 0)
            last.bytes += '\0';
        last.end = m_lineEnd;
    }
    m_lines.insert(index, {IniText::Encode(text, m_newEncoding), m_lineEnd, text, m_newEncoding});
}

bool CIniDocument::SetValue(const QString& section, const QString& rawKey, const QString& value)
{
    const QString key = IniLine::NormalName(rawKey);
    if (!IniLine::IsStorableKey(key))
        return false;
    qsizetype lastKey = -1;
    const qsizetype index = FindKey(section, key, &lastKey);
    if (index >= 0) {
        if (!IniText::CanHold(value, m_lines[index].encoding))
            WriteAsUtf8();
        // Keep the key as spelt and the spacing around '=' as they were.
        Line& line = m_lines[index];
        const qsizetype valueStart = IniText::ValueStart(line.bytes, line.encoding);
        if (valueStart < 0)
            return false;
        line.bytes = line.bytes.first(valueStart) + IniText::Encode(value, line.encoding);
        line.text = IniText::Decode(line.bytes, line.encoding);
        return true;
    }
    if (lastKey < 0) {
        InsertLine(m_lines.size(), u'[' + IniLine::NormalName(section) + u']');
        InsertLine(m_lines.size(), key + u'=' + value);
        return true;
    }
    InsertLine(lastKey + 1, key + u'=' + value);
    return true;
}
