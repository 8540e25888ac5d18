// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DecimalText.h"

#include <charconv>

#include "base/Check.h"
#include "base/MediaTime.h"

namespace Application
{
std::string FormatDecimal(double Value, int Digits)
{
    char Text[64];
    auto const Result = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::fixed, Digits);
    CHECK_LINE(Result.ec == std::errc());
    return std::string(Text, Result.ptr);
}

std::string FormatSeconds(std::int64_t Duration)
{
    return FormatDecimal(static_cast<double>(Duration) / static_cast<double>(TimeUnitsPerSecond), 3);
}
} // namespace Application
