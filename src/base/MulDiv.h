// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

#include "base/MediaTime.h"

// Scaled integer arithmetic for media times: A × B / C computed in 128 bits so
// that sample indices of long live presentations times 10^7 never overflow.
// C must be positive.

// Rounded toward negative infinity, so that a grid stays regular before 0.
constexpr std::int64_t MulDivFloor(std::int64_t A, std::int64_t B, std::int64_t C)
{
    __int128 const Product = static_cast<__int128>(A) * B;
    __int128 Quotient = Product / C;
    if(Product % C != 0 && Product < 0)
        --Quotient;
    return static_cast<std::int64_t>(Quotient);
}

// Rounded to the nearest integer, halves away from zero.
constexpr std::int64_t MulDivRound(std::int64_t A, std::int64_t B, std::int64_t C)
{
    __int128 const Product = static_cast<__int128>(A) * B;
    __int128 const Half = C / 2;
    return static_cast<std::int64_t>(Product >= 0 ? (Product + Half) / C : -((-Product + Half) / C));
}

// Rounded toward positive infinity.
constexpr std::int64_t MulDivCeiling(std::int64_t A, std::int64_t B, std::int64_t C)
{
    return -MulDivFloor(-A, B, C);
}

// Rounds toward positive infinity (CeilDivide) or negative infinity
// (FloorDivide) for a positive divisor, whatever the sign of the dividend.
constexpr std::int64_t CeilDivide(std::int64_t Value, std::int64_t Divisor)
{
    return Value / Divisor + ((Value % Divisor) > 0 ? 1 : 0);
}

constexpr std::int64_t FloorDivide(std::int64_t Value, std::int64_t Divisor)
{
    return Value / Divisor - ((Value % Divisor) < 0 ? 1 : 0);
}
