// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "presentation/SubtitleCue.h"

namespace Application
{
// The WebVTT texts of a subtitle track: one file per segment, whose
// X-TIMESTAMP-MAP puts the file's time 0 on the segment's start (MPEG-2
// time, 90 kHz, 33 bits, wrapping as it does in a transport stream), so
// that cue times are relative to the segment and never negative however
// long a live timeline runs. Lines end with LF.
class WebVttWriter
{
public:
    static constexpr std::int64_t MpegTimescale = 90'000;
    static constexpr std::int64_t MpegTimeModulus = std::int64_t{1} << 33;

    // The cues that start in [SegmentStart, SegmentEnd), whole (a player
    // shows a cue of one segment past its end), each with its settings.
    static std::string Segment(std::vector<SubtitleCue> const& Cues, std::int64_t SegmentStart, std::int64_t SegmentEnd, bool Top);
    // The cue settings of the track's region: "line:0" at the top, none at
    // the bottom (where WebVTT puts a cue by default).
    static std::string CueSettings(bool Top);
    // A cue's identifier: the whole second of media time it starts at.
    static std::string CueIdentifier(SubtitleCue const& Cue);
    // MPEGTS of the X-TIMESTAMP-MAP of a segment starting at media time Time.
    static std::int64_t MpegTime(std::int64_t Time) noexcept;
};
} // namespace Application
