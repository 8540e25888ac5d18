// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "presentation/AdBreak.h"
#include "presentation/Configuration.h"

namespace Application
{
// The tags of an asset's breaks in one media playlist, segment by segment:
// - EXT-X-DATERANGE "break-N" with SCTE35-OUT and PLANNED-DURATION before the
//   segment the break starts in, and again with SCTE35-IN and DURATION before
//   the one it ends in ("daterange");
// - EXT-X-CUE-OUT, EXT-X-CUE-OUT-CONT and EXT-X-CUE-IN on the break's
//   segments ("cue"), in playlists whose segments meet every break boundary;
// - with "ads", the interstitial EXT-X-DATERANGE "ad-N" whose asset list
//   names the break's ads; the main content goes on under it.
// A window that opens inside a break repeats its opening tags before the
// first segment listed.
class HlsBreakTags
{
public:
    // The playlist lists segments of SegmentDuration, First to Last.
    HlsBreakTags(Configuration const& Asset, std::int64_t SegmentDuration, std::uint32_t First, std::uint32_t Last);

    // The lines before segment Index; the date-range ones only, or the cue
    // ones only.
    std::vector<std::string> DateRanges(std::uint32_t Index) const;
    std::vector<std::string> Cues(std::uint32_t Index) const;

private:
    std::string Date(std::int64_t MediaTime) const;

    Configuration const& m_Asset;
    BreakSettings const* m_Settings;
    std::int64_t m_SegmentDuration;
    std::uint32_t m_First;
    bool m_Cues;
    std::vector<AdBreak> m_Breaks;
};
} // namespace Application
