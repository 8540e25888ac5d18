// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mp4/Mp4BoxWriter.h"

// Helpers of the unit tests: bytes from readable hexadecimal text.
namespace Mp4::Test
{
// "00 0a FF" or "000aff": spaces are ignored.
inline std::vector<std::uint8_t> Hex(std::string_view Text)
{
    std::vector<std::uint8_t> Bytes;
    std::string Digits;
    for(char const Character : Text)
        if(Character != ' ' && Character != '\n')
            Digits.push_back(Character);
    for(std::size_t Index = 0; Index + 1 < Digits.size(); Index += 2)
        Bytes.push_back(static_cast<std::uint8_t>(std::stoul(Digits.substr(Index, 2), nullptr, 16)));
    return Bytes;
}

// The bytes one box object serialises to on its own.
template <typename BoxT>
std::vector<std::uint8_t> Serialise(BoxT const& Value)
{
    BoxWriter Writer;
    Value.Write(Writer);
    return Writer.TakeData();
}

// The moof and the mdat of a fragment, apart.
template <typename FragmentT>
std::vector<std::uint8_t> MoofOf(FragmentT const& Fragment)
{
    return {Fragment.Moof().begin(), Fragment.Moof().end()};
}
template <typename FragmentT>
std::vector<std::uint8_t> MdatOf(FragmentT const& Fragment)
{
    return {Fragment.Mdat().begin(), Fragment.Mdat().end()};
}

inline std::uint32_t ReadU32(std::vector<std::uint8_t> const& Bytes, std::size_t Offset)
{
    return static_cast<std::uint32_t>(Bytes.at(Offset)) << 24 | static_cast<std::uint32_t>(Bytes.at(Offset + 1)) << 16 |
           static_cast<std::uint32_t>(Bytes.at(Offset + 2)) << 8 | Bytes.at(Offset + 3);
}
} // namespace Mp4::Test
