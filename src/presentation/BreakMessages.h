// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "presentation/Configuration.h"

namespace Application
{
// The emsg boxes of an asset's breaks that a video segment carries ahead of
// its first movie fragment ("emsg"): the cue-out of each break that starts
// in the segment, and of each whose start is "lead" ahead of it. Both name
// the break by number, so a player that reads the second drops it as a
// repeat. Version 1: the time is the break's on the media timeline.
class BreakMessages
{
public:
    static constexpr char const* Scheme = "urn:scte:scte35:2013:bin";
    static constexpr char const* Value = "1";
    // The 90 kHz clock of the sections: an hour-long break fits the
    // 32-bit duration of the box (100-ns units would not).
    static constexpr std::int64_t EventTimescale = 90'000;

    // The boxes, empty when the segment [Start, Start + Duration) carries none.
    static std::vector<std::uint8_t> ForSegment(Configuration const& Asset, std::int64_t Start, std::int64_t Duration);
};
} // namespace Application
