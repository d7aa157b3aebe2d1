#include "settings/IniText.h"

#include "common/AnsiCodePage.h"

#include <QStringDecoder>

#include <algorithm>

namespace IniText {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";

qsizetype UnitSize(Encoding encoding)
{
    return encoding == Encoding::Utf16Le ? 2 : 1;
}

// The code unit at offset; for UTF-16 a trailing odd byte is no unit (-1).
int UnitAt(QByteArrayView bytes, qsizetype offset, Encoding encoding)
{
    if (encoding != Encoding::Utf16Le)
        return static_cast<unsigned char>(bytes[offset]);
    if (offset + 1 >= bytes.size())
        return -1;
    return static_cast<unsigned char>(bytes[offset])
        | (static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

} // namespace

bool IsValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

Encoding Detect(QByteArrayView bytes)
{
    if (bytes.startsWith(QByteArrayView(kUtf16LeBom, 2)))
        return Encoding::Utf16Le;
    if (bytes.startsWith(QByteArrayView(kUtf8Bom, 3)))
        return Encoding::Utf8Bom;
    return IsValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Gbk;
}

QByteArray Bom(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8Bom:
        return QByteArray(kUtf8Bom, 3);
    case Encoding::Utf16Le:
        return QByteArray(kUtf16LeBom, 2);
    case Encoding::Utf8:
    case Encoding::Gbk:
        break;
    }
    return {};
}

QList<RawLine> SplitLines(QByteArrayView body, Encoding encoding)
{
    QList<RawLine> lines;
    const qsizetype unit = UnitSize(encoding);
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < body.size()) {
        const int c = UnitAt(body, i, encoding);
        if (c != '\n' && c != '\r') {
            i += unit;
            continue;
        }
        qsizetype endLength = unit;
        if (c == '\r' && i + unit < body.size() && UnitAt(body, i + unit, encoding) == '\n')
            endLength += unit;
        lines.append({body.sliced(start, i - start).toByteArray(),
                      body.sliced(i, endLength).toByteArray()});
        i += endLength;
        start = i;
    }
    if (start < body.size())
        lines.append({body.sliced(start).toByteArray(), {}});
    return lines;
}

QString Decode(QByteArrayView bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        return QString::fromUtf8(bytes);
    case Encoding::Utf16Le: {
        // Unit by unit, so that even lone surrogates survive as they are.
        QString text(bytes.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(static_cast<char16_t>(UnitAt(bytes, 2 * i, encoding)));
        return text;
    }
    case Encoding::Gbk:
        return AnsiCodePage::ToUnicode(std::string_view(bytes.data(), static_cast<size_t>(bytes.size())));
    }
    return {};
}

QList<Encoding> LineEncodings(const QList<RawLine>& lines, Encoding encoding)
{
    QList<Encoding> encodings(lines.size(), encoding);
    if (encoding != Encoding::Gbk)
        return encodings;
    QList<bool> valid(lines.size());
    bool utf8Lines = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        valid[i] = IsValidUtf8(lines[i].bytes);
        utf8Lines = utf8Lines
            || (valid[i] && std::any_of(lines[i].bytes.begin(), lines[i].bytes.end(),
                                        [](char c) { return static_cast<unsigned char>(c) >= 0xE0; }));
    }
    if (utf8Lines) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (valid[i])
                encodings[i] = Encoding::Utf8;
    }
    return encodings;
}

QStringList DecodeLines(const QList<RawLine>& lines, const QList<Encoding>& encodings)
{
    QStringList texts;
    texts.reserve(lines.size());
    if (!lines.isEmpty() && encodings.count(Encoding::Gbk) == lines.size()) {
        // One conversion for the whole file instead of one per line; CR and LF
        // never occur inside a GBK character, so the line breaks come back
        // where they were. Checked anyway, falling back to line by line.
        QByteArray joined;
        for (const RawLine& line : lines) {
            joined += line.bytes;
            joined += '\n';
        }
        joined.chop(1);
        texts = Decode(joined, Encoding::Gbk).split(u'\n');
        if (texts.size() == lines.size())
            return texts;
        texts.clear();
    }
    for (qsizetype i = 0; i < lines.size(); ++i)
        texts.append(Decode(lines[i].bytes, encodings[i]));
    return texts;
}

QByteArray Encode(const QString& text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        return text.toUtf8();
    case Encoding::Utf16Le: {
        QByteArray bytes(text.size() * 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            bytes[2 * i] = static_cast<char>(c & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(c >> 8);
        }
        return bytes;
    }
    case Encoding::Gbk: {
        const std::string bytes = AnsiCodePage::FromUnicode(text);
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    }
    return {};
}

bool CanHold(const QString& text, Encoding encoding)
{
    // A character GBK lacks comes back as '?'.
    return encoding != Encoding::Gbk || Decode(Encode(text, encoding), encoding) == text;
}

qsizetype ValueStart(QByteArrayView bytes, Encoding encoding)
{
    const qsizetype unit = UnitSize(encoding);
    qsizetype offset = 0;
    while (offset < bytes.size() && UnitAt(bytes, offset, encoding) != '=')
        offset += unit;
    if (offset >= bytes.size())
        return -1;
    offset += unit;
    while (offset < bytes.size()) {
        const int c = UnitAt(bytes, offset, encoding);
        if (c != ' ' && c != '\t')
            break;
        offset += unit;
    }
    return offset;
}

} // namespace IniText
