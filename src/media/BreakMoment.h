// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "media/BreakNotice.h"

namespace Application
{
// Where one picture stands against the ad breaks it is told of: counting
// down to a break in its last four seconds, or inside one.
struct BreakMoment
{
    // Pictures count down this long before a break.
    static constexpr std::int64_t CountdownDuration = 40'000'000;

    std::uint32_t Number = 0;
    // Inside the break; otherwise counting down to it.
    bool During = false;
    // During: the second of the break the picture is in, from 1; before it:
    // the whole seconds left, rounded up (4 to 1).
    std::int64_t Seconds = 0;
    // The break's duration in whole seconds, rounded up.
    std::int64_t DurationSeconds = 0;

    bool operator==(BreakMoment const&) const = default;

    // The moment of a picture presented at Time (100-ns units). Being inside
    // a break outweighs the countdown to the next one (breaks may follow one
    // another closer than the countdown); among breaks that overlap, the one
    // that starts first counts.
    static std::optional<BreakMoment> At(std::span<BreakNotice const> Notices, std::int64_t Time);
};
} // namespace Application
