// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "presentation/BreakSchedule.h"

namespace Application
{
// The SCTE-35 command that signals a break ("scte").
enum class SpliceCommand : std::uint32_t
{
    Insert,     // splice_insert, out of network and back
    TimeSignal, // time_signal with placement opportunity segmentation descriptors
};

// The carriages of the break signals ("signal"), as bits.
enum class BreakSignal : std::uint32_t
{
    DateRange = 1,   // HLS EXT-X-DATERANGE with SCTE35-OUT/IN
    Cue = 2,         // HLS EXT-X-CUE-OUT, -CUE-OUT-CONT, -CUE-IN
    EventStream = 4, // DASH MPD EventStream
    Emsg = 8,        // DASH emsg boxes in the video segments
};

// One generated ad of a break: its number (from 1), where it starts in the
// break and how long it lasts; its media has a timeline of its own from 0.
struct AdSlot
{
    std::uint32_t Number = 0;
    std::int64_t Offset = 0;
    std::int64_t Duration = 0;
};

// An asset's ad breaks: when ("breaks"), how they are signalled, how long
// before a break its first inband signal comes ("lead"), and how many
// generated ads fill each one ("ads", none: the breaks only signal).
struct BreakSettings
{
    static constexpr std::uint32_t AllSignals = 15;
    static constexpr std::int64_t DefaultLead = 40'000'000;
    static constexpr std::int64_t MaximalLead = 600'000'000;
    static constexpr std::uint32_t MaximalAds = 8;

    BreakSchedule Schedule;
    std::uint32_t Signals = AllSignals;
    std::int64_t Lead = DefaultLead;
    SpliceCommand Command = SpliceCommand::Insert;
    std::uint32_t Ads = 0;

    // The ads that fill Break: "ads" of them in whole segments, as even as
    // the segments allow (fewer when the break has fewer segments).
    std::vector<AdSlot> AdsOf(AdBreak const& Break) const;

    bool Has(BreakSignal Which) const noexcept { return (Signals & static_cast<std::uint32_t>(Which)) != 0; }
    // HLS playlists date the breaks (and so carry program date-times).
    bool Dated() const noexcept { return Has(BreakSignal::DateRange) || Ads > 0; }
};
} // namespace Application
