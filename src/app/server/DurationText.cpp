// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/DurationText.h"

#include "base/StringFormat.h"

namespace Application
{
std::string FormatDuration(std::int64_t Duration)
{
    constexpr std::uint64_t UnitsPerSecond = 10'000'000;
    // Unsigned so that the most negative value has a magnitude too.
    std::uint64_t const Magnitude = Duration < 0 ? 0 - static_cast<std::uint64_t>(Duration) : static_cast<std::uint64_t>(Duration);
    std::uint64_t const Seconds = Magnitude / UnitsPerSecond;
    std::uint64_t const Fraction = Magnitude % UnitsPerSecond;
    return StringFormat("%s%02llu:%02llu:%02llu.%03llu %04llu", Duration < 0 ? "-" : "", static_cast<unsigned long long>(Seconds / 3600),
                        static_cast<unsigned long long>(Seconds / 60 % 60), static_cast<unsigned long long>(Seconds % 60),
                        static_cast<unsigned long long>(Fraction / 10000), static_cast<unsigned long long>(Fraction % 10000));
}
} // namespace Application
