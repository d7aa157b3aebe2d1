#include "settings/PasswordCodec.h"

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

QString CPasswordCodec::Encode(const QString& text, std::uint16_t seed) const
{
    QString letters;
    letters.reserve(text.size() * 2);
    std::uint16_t key = seed;
    for (const QChar ch : text) {
        // Only the low byte is scrambled; the high byte is carried along and
        // then dropped from the letters.
        const auto scrambled = static_cast<std::uint16_t>(ch.unicode() ^ HighByte(key));
        key = NextKey(key, scrambled);
        const std::uint16_t low = LowByte(scrambled);
        letters += QChar(static_cast<char16_t>(u'A' + low / 26));
        letters += QChar(static_cast<char16_t>(u'A' + low % 26));
    }
    return letters;
}

QString CPasswordCodec::Decode(const QString& letters, std::uint16_t seed) const
{
    QString text;
    text.reserve(letters.size() / 2);
    std::uint16_t key = seed;
    // A single letter left at the end is ignored.
    for (qsizetype i = 0; i + 1 < letters.size(); i += 2) {
        const int first = LowByte(letters[i].unicode()) - 'A';
        const int second = LowByte(letters[i + 1].unicode()) - 'A';
        const auto value = static_cast<std::uint16_t>(first * 26 + second);
        text += QChar(static_cast<char16_t>(LowByte(value) ^ HighByte(key)));
        key = NextKey(key, value);
    }
    return text;
}
