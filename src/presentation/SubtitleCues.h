// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "presentation/SubtitleCue.h"

namespace Application
{
// The cues of a generated subtitle track: one at every whole second of media
// time, lasting the asset's cue duration, saying the language by its own
// name, the media time, the segment it starts in and, for live, the UTC time
// it shows at. A cue depends on its language, second, duration, segment
// duration and live time base only, so every segment and every request that
// holds it writes it alike.
class SubtitleCues
{
public:
    // Subtitle segments line up with the video's: [Index × SegmentDuration,
    // (Index + 1) × SegmentDuration). BaseLiveTime: the absolute time of media
    // time 0 of a live asset.
    SubtitleCues(std::string Language, std::int64_t CueDuration, std::int64_t SegmentDuration, std::optional<std::int64_t> BaseLiveTime);

    // The cue that starts at whole second Second of media time.
    SubtitleCue At(std::int64_t Second) const;
    // Every cue that is shown during [Start, End), whole (not clipped), in
    // order.
    std::vector<SubtitleCue> Between(std::int64_t Start, std::int64_t End) const;
    // Those of segment Index.
    std::vector<SubtitleCue> OfSegment(std::uint32_t Index) const;

    std::int64_t SegmentStart(std::uint32_t Index) const noexcept { return static_cast<std::int64_t>(Index) * m_SegmentDuration; }
    std::int64_t SegmentEnd(std::uint32_t Index) const noexcept { return SegmentStart(Index) + m_SegmentDuration; }
    std::string const& Language() const noexcept { return m_Language; }

    // "hh:mm:ss.mmm" of a media time (hours at least two digits), as cues
    // and WebVTT timestamps write it.
    static std::string TimeText(std::int64_t Time);

private:
    std::string m_Language;
    std::string m_Name;
    std::int64_t m_CueDuration;
    std::int64_t m_SegmentDuration;
    std::optional<std::int64_t> m_BaseLiveTime;
};
} // namespace Application
