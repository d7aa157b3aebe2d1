#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The byte level of the settings file: which encoding it has, where its lines
// end, and the conversion of single lines. Lines keep their bytes exactly as
// read so that untouched lines are written back unchanged, whatever they hold.
namespace IniText {

// Gbk is a file that is not valid UTF-8 as a whole; its lines are read one
// by one (LineEncodings).
enum class Encoding { Utf8, Utf8Bom, Utf16Le, Gbk };

// A UTF-16LE or UTF-8 byte-order mark decides; otherwise UTF-8 when the
// bytes are valid UTF-8, else GBK.
Encoding Detect(QByteArrayView bytes);

bool IsValidUtf8(QByteArrayView bytes);

QByteArray Bom(Encoding encoding);

struct RawLine {
    QByteArray bytes; // without the line end
    QByteArray end;   // "\r\n", "\n", "\r" (or their UTF-16 units), empty on a last unterminated line
};

// Splits the bytes after the byte-order mark at CR LF, LF and lone CR.
// Concatenating bytes + end of every line gives the input back.
QList<RawLine> SplitLines(QByteArrayView body, Encoding encoding);

// The encoding of each line. In a GBK file that holds UTF-8 lines (a
// UTF-8 file with a stray byte), the valid UTF-8 lines are UTF-8 and the
// others GBK. What tells such a file from a GBK one is a line of UTF-8
// beyond two-byte sequences: short GBK text is often valid two-byte UTF-8
// by chance, but Chinese in UTF-8 takes three bytes a character.
QList<Encoding> LineEncodings(const QList<RawLine>& lines, Encoding encoding);

QStringList DecodeLines(const QList<RawLine>& lines, const QList<Encoding>& encodings);
QString Decode(QByteArrayView bytes, Encoding encoding);
QByteArray Encode(const QString& text, Encoding encoding);
// Whether Encode keeps every character of the text.
bool CanHold(const QString& text, Encoding encoding);

// Offset in a key line's bytes just past the first '=' and the spaces and
// tabs after it, where the value starts; -1 without '='.
qsizetype ValueStart(QByteArrayView bytes, Encoding encoding);

} // namespace IniText
