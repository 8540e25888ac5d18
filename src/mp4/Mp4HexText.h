// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Mp4
{
// "0A1B2C": bytes as uppercase hexadecimal digits, for traces of codec data.
inline std::string FormatHexText(std::span<std::uint8_t const> Bytes)
{
    static char const Digits[] = "0123456789ABCDEF";
    std::string Text;
    Text.reserve(Bytes.size() * 2);
    for(auto const Byte : Bytes)
    {
        Text.push_back(Digits[Byte >> 4]);
        Text.push_back(Digits[Byte & 0x0F]);
    }
    return Text;
}
} // namespace Mp4
