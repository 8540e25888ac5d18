// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4BoxHeader.h"

#include <algorithm>

namespace Mp4
{
bool BoxHeader::Is(char const (&Name)[5]) const noexcept
{
    return std::equal(Type, Type + 4, Name, [](std::uint8_t Byte, char Letter) { return Byte == static_cast<std::uint8_t>(Letter); });
}

std::optional<BoxHeader> ReadBoxHeader(std::span<std::uint8_t const> Bytes) noexcept
{
    if(Bytes.size() < 8)
        return std::nullopt;
    BoxHeader Header;
    Header.Size = ReadBigEndian(Bytes.first(4));
    Header.HeaderSize = 8;
    std::copy_n(Bytes.begin() + 4, 4, Header.Type);
    if(Header.Size == 1)
    {
        if(Bytes.size() < 16)
            return std::nullopt;
        Header.Size = ReadBigEndian(Bytes.subspan(8, 8));
        Header.HeaderSize = 16;
    }
    return Header;
}

std::uint64_t ReadBigEndian(std::span<std::uint8_t const> Bytes) noexcept
{
    std::uint64_t Value = 0;
    for(std::uint8_t Byte : Bytes.first(std::min<std::size_t>(Bytes.size(), 8)))
        Value = (Value << 8) | Byte;
    return Value;
}
} // namespace Mp4
