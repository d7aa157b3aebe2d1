#pragma once

#include <QString>

#include <cstdint>

// Scrambles a password into capital letters for the settings file.
class CPasswordCodec
{
public:
    static constexpr std::uint16_t kSeed = 0xA7C3;

    QString Encode(const QString& text, std::uint16_t seed) const;
    QString Decode(const QString& letters, std::uint16_t seed) const;
};
