// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// The value of one hexadecimal digit of a percent escape, or -1.
constexpr int HexadecimalDigitValue(char Character) noexcept
{
    if(Character >= '0' && Character <= '9')
        return Character - '0';
    if(Character >= 'a' && Character <= 'f')
        return Character - 'a' + 10;
    if(Character >= 'A' && Character <= 'F')
        return Character - 'A' + 10;
    return -1;
}
