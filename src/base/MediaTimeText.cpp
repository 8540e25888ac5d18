// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/MediaTimeText.h"

#include "base/MediaTime.h"
#include "base/StringFormat.h"

std::string MediaTimeText(std::int64_t Time)
{
    // The magnitude is formatted unsigned: -INT64_MIN does not exist.
    std::uint64_t const Magnitude = Time < 0 ? 0 - static_cast<std::uint64_t>(Time) : static_cast<std::uint64_t>(Time);
    std::uint64_t const Seconds = Magnitude / TimeUnitsPerSecond;
    std::uint64_t const Remainder = Magnitude % TimeUnitsPerSecond;
    return StringFormat("%s%02llu:%02llu:%02llu.%03llu %04llu", Time < 0 ? "-" : "", static_cast<unsigned long long>(Seconds / 3600),
                        static_cast<unsigned long long>(Seconds / 60 % 60), static_cast<unsigned long long>(Seconds % 60),
                        static_cast<unsigned long long>(Remainder / 10000), static_cast<unsigned long long>(Remainder % 10000));
}
