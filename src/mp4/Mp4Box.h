// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Mp4
{
class BoxWriter;

// A four-character code as the 32-bit big-endian value written into files.
constexpr std::uint32_t MakeFourCc(char const (&Text)[5]) noexcept
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(Text[0])) << 24 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(Text[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(Text[2])) << 8 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(Text[3]));
}

using Bytes16 = std::array<std::uint8_t, 16>;

// Header sizes of the boxes whose size is computed ahead of writing (never
// "uuid", never past 32 bits).
constexpr std::size_t BoxHeaderSize = 8;
constexpr std::size_t FullBoxHeaderSize = 12;

// The common part of every box object. A box is written only when present;
// constructors set the type and leave the box absent, so that the code that
// builds a tree decides what goes into the file.
struct Box
{
    explicit Box(std::uint32_t Type) noexcept : m_Type(Type) { }

    bool IsPresent() const noexcept { return m_Present; }
    void SetPresent(bool Present = true) noexcept { m_Present = Present; }

    bool m_Present = false;
    std::uint32_t m_Type;
    Bytes16 m_UserType{}; // written only for "uuid"
};

// A box with version and 24-bit flags, written as one 32-bit word.
struct FullBox : Box
{
    explicit FullBox(std::uint32_t Type, std::uint8_t Version = 0, std::uint32_t Flags = 0) noexcept : Box(Type), m_Version(Version), m_Flags(Flags) { }

    std::uint8_t m_Version;
    std::uint32_t m_Flags;
};
} // namespace Mp4
