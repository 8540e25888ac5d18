// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace Application
{
// The DASH presentation is always three periods of 6 s. Each starts its media
// timeline in the middle of a segment (offset 1 s, 7 s, 13 s), so players must
// honour the presentation time offset.
struct DashPeriod
{
    std::int64_t Start;
    std::int64_t Duration;
    std::int64_t Offset; // media time at the period's start

    // The segments of a track with segment duration D that overlap the period.
    struct SegmentRange
    {
        std::int64_t First;
        std::int64_t Last;
        std::uint32_t RepeatCount; // Last - First
        std::int32_t BaseIndex;    // 1 - First: template number n asks for segment First + n - 1
    };
    SegmentRange Segments(std::uint32_t PeriodIndex, std::int64_t SegmentDuration) const;
};

constexpr std::array<DashPeriod, 3> DashPeriods{{
    {0, 60'000'000, 10'000'000},
    {60'000'000, 60'000'000, 70'000'000},
    {120'000'000, 60'000'000, 130'000'000},
}};
} // namespace Application
