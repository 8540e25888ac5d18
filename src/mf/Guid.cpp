// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Guid.h"

#include <cctype>
#include <cstdio>

namespace MF
{
std::string Guid::ToString() const
{
    char Text[40];
    std::snprintf(Text, sizeof Text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Data1, Data2, Data3, Data4[0], Data4[1], Data4[2],
                  Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
    return Text;
}

namespace
{
std::optional<std::uint64_t> ParseHex(std::string_view Text)
{
    if(Text.empty())
        return std::nullopt;
    std::uint64_t Value = 0;
    for(char Character : Text)
    {
        int Digit;
        if(Character >= '0' && Character <= '9')
            Digit = Character - '0';
        else if(Character >= 'a' && Character <= 'f')
            Digit = Character - 'a' + 10;
        else if(Character >= 'A' && Character <= 'F')
            Digit = Character - 'A' + 10;
        else
            return std::nullopt;
        Value = Value << 4 | static_cast<std::uint64_t>(Digit);
    }
    return Value;
}
} // namespace

std::optional<Guid> Guid::Parse(std::string_view Text)
{
    if(Text.size() == 38 && Text.front() == '{' && Text.back() == '}')
        Text = Text.substr(1, 36);
    if(Text.size() != 36 || Text[8] != '-' || Text[13] != '-' || Text[18] != '-' || Text[23] != '-')
        return std::nullopt;
    auto const A = ParseHex(Text.substr(0, 8));
    auto const B = ParseHex(Text.substr(9, 4));
    auto const C = ParseHex(Text.substr(14, 4));
    auto const D = ParseHex(Text.substr(19, 4));
    auto const E = ParseHex(Text.substr(24, 12));
    if(!A || !B || !C || !D || !E)
        return std::nullopt;
    Guid Value{static_cast<std::uint32_t>(*A), static_cast<std::uint16_t>(*B), static_cast<std::uint16_t>(*C), {}};
    Value.Data4[0] = static_cast<std::uint8_t>(*D >> 8);
    Value.Data4[1] = static_cast<std::uint8_t>(*D);
    for(int Index = 0; Index < 6; ++Index)
        Value.Data4[2 + Index] = static_cast<std::uint8_t>(*E >> (8 * (5 - Index)));
    return Value;
}

std::array<std::uint8_t, 16> Guid::Bytes() const
{
    std::array<std::uint8_t, 16> Value{};
    for(int Index = 0; Index < 4; ++Index)
        Value[Index] = static_cast<std::uint8_t>(Data1 >> (8 * (3 - Index)));
    Value[4] = static_cast<std::uint8_t>(Data2 >> 8);
    Value[5] = static_cast<std::uint8_t>(Data2);
    Value[6] = static_cast<std::uint8_t>(Data3 >> 8);
    Value[7] = static_cast<std::uint8_t>(Data3);
    for(int Index = 0; Index < 8; ++Index)
        Value[8 + Index] = Data4[Index];
    return Value;
}

bool Guid::IsPrintableFourCC() const
{
    if(FromFourCC(Data1) != *this)
        return false;
    for(int Index = 0; Index < 4; ++Index)
        if(!std::isprint(static_cast<unsigned char>(Data1 >> (8 * Index))))
            return false;
    return true;
}
} // namespace MF
