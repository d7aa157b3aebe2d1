#include "settings/PasswordCodec.h"

#include "settings/IniText.h"

#include <QByteArray>

#include <algorithm>

namespace {

constexpr std::uint16_t kMultiplier = 0x3B27;
constexpr std::uint16_t kAddend = 0x5E91;

constexpr std::uint16_t LowByte(std::uint16_t value)
{
    return static_cast<std::uint16_t>(value & 0xFFu);
}

constexpr std::uint16_t HighByte(std::uint16_t value)
{
    return static_cast<std::uint16_t>(value >> 8);
}

// The key stream advances with the low byte of the scrambled character.
constexpr std::uint16_t NextKey(std::uint16_t key, std::uint16_t scrambled)
{
    const std::uint32_t sum = static_cast<std::uint32_t>(LowByte(scrambled)) + key;
    return static_cast<std::uint16_t>(sum * kMultiplier + kAddend);
}

} // namespace

namespace {

bool IsLatin1(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

} // namespace

QString CPasswordCodec::Encode(const QString& text, std::uint16_t seed) const
{
    const QByteArray bytes = IsLatin1(text) ? text.toLatin1() : text.toUtf8();
    QString letters;
    letters.reserve(bytes.size() * 2);
    std::uint16_t key = seed;
    for (const char byte : bytes) {
        const auto scrambled = static_cast<std::uint16_t>(static_cast<unsigned char>(byte) ^ HighByte(key));
        key = NextKey(key, scrambled);
        const std::uint16_t low = LowByte(scrambled);
        letters += QChar(static_cast<char16_t>(u'A' + low / 26));
        letters += QChar(static_cast<char16_t>(u'A' + low % 26));
    }
    return letters;
}

QString CPasswordCodec::Decode(const QString& letters, std::uint16_t seed) const
{
    QByteArray bytes;
    bytes.reserve(letters.size() / 2);
    std::uint16_t key = seed;
    // A single letter left at the end is ignored.
    for (qsizetype i = 0; i + 1 < letters.size(); i += 2) {
        const int first = LowByte(letters[i].unicode()) - 'A';
        const int second = LowByte(letters[i + 1].unicode()) - 'A';
        const auto value = static_cast<std::uint16_t>(first * 26 + second);
        bytes += static_cast<char>(LowByte(value) ^ HighByte(key));
        key = NextKey(key, value);
    }
    // Latin-1 text whose bytes happen to form UTF-8 of Latin-1 characters
    // ("Ã©") was stored before UTF-8 was: it stays Latin-1.
    if (IniText::IsValidUtf8(bytes)) {
        const QString text = QString::fromUtf8(bytes);
        if (!IsLatin1(text))
            return text;
    }
    return QString::fromLatin1(bytes);
}
