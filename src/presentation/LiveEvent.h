// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/MediaTime.h"

namespace Application
{
// The times of a live event ("start" and "stop" of a live manifest). Each
// is a UTC time in the form "now" takes (2026-12-08T22:00:00Z, a fraction
// allowed), or decimal seconds ("90", "-600", "12.5", at most 7 fraction
// digits) from the asset's start: the clock reading of the manifest request
// that makes the asset, "now" when it gives one. Either lies within
// MaximalDistance of the asset's start, so that an event's segment numbers
// and the timeline's sums stay small whatever the text says.
class LiveEvent
{
public:
    static constexpr std::int64_t MaximalDistance = std::int64_t{86'400} * TimeUnitsPerSecond;

    // The absolute time Text names, or nothing for any other text or a time
    // further than MaximalDistance from AssetStart.
    static std::optional<std::int64_t> ParseTime(std::string_view Text, std::int64_t AssetStart);
};
} // namespace Application
