// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace MF
{
// A 16-byte identifier in the platform's layout (Data1, Data2, Data3 in host
// order, Data4 as bytes). Media type identifiers, protection system
// identifiers and key identifiers travel as Guid; Bytes() gives the
// big-endian wire form that boxes and headers carry.
struct Guid
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend constexpr bool operator==(Guid const&, Guid const&) = default;
    friend constexpr auto operator<=>(Guid const&, Guid const&) = default;

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string ToString() const;
    // Accepts the text with or without braces; nothing on a malformed text.
    static std::optional<Guid> Parse(std::string_view Text);
    // The 16 bytes in network order (Data1, Data2 and Data3 big-endian).
    std::array<std::uint8_t, 16> Bytes() const;

    // The platform's media subtypes built from a four-character code or a
    // format tag: XXXXXXXX-0000-0010-8000-00AA00389B71.
    static constexpr Guid FromFourCC(std::uint32_t Code)
    {
        return Guid{Code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    }
    static constexpr std::uint32_t FourCC(char A, char B, char C, char D)
    {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(A)) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(B)) << 8 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(C)) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(D)) << 24;
    }
    // True for a GUID of the FromFourCC family whose code is four printable characters.
    bool IsPrintableFourCC() const;
};
} // namespace MF
