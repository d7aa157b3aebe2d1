#pragma once

#include <QString>

#include <cstdint>

// Scrambles a password into capital letters for the settings file: two
// letters a byte. This obscures, it does not encrypt: the scramble needs no
// key, so anyone who can read the file can recover the password.
//
// A password of Latin-1 characters is scrambled byte for byte in Latin-1,
// as it always was; any other in UTF-8. So the bytes read back are UTF-8
// when they are valid UTF-8 and spell a character beyond Latin-1, else
// Latin-1, and every password stored before reads as it did.
class CPasswordCodec
{
public:
    static constexpr std::uint16_t kSeed = 0xA7C3;

    QString Encode(const QString& text, std::uint16_t seed) const;
    QString Decode(const QString& letters, std::uint16_t seed) const;
};
