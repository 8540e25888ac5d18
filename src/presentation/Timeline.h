// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "presentation/Configuration.h"

namespace Application
{
// A playlist never lists more segments than this; longer lists are refused
// rather than built (an hour-long window is a few thousand entries).
constexpr std::int64_t MaximalListedSegmentCount = 100'000;
// Live segment numbers are 32-bit: a live timeline counts at most this many
// segments, so that the number after the last one (the segment made ahead
// for a part) is a segment number too.
constexpr std::int64_t MaximalLiveSegmentCount = std::numeric_limits<std::uint32_t>::max();

struct SegmentEntry
{
    std::uint32_t Index = 0;
    std::int64_t Duration = 0;
    std::string ProgramDateTime; // empty: no program-date-time tag before it
};

struct SegmentList
{
    std::uint32_t MediaSequence = 0; // number of the first listed segment
    std::vector<SegmentEntry> Segments;
    bool EndList = false;
    // A live event's list that holds all its segments from the first: it
    // will only ever grow (an HLS playlist of type EVENT).
    bool Event = false;
};

// Which segments one playlist request lists: on-demand, every segment of the
// presentation; live, the window that ends at the last complete segment at
// the request's clock reading; past the end point it keeps sliding. A live
// event ("stop") holds the segments that begin before its end: its list
// ends with the last of them, and once that is complete the window stays
// where it is, on the event's last segments.
// Segment i of a track covers [i * D, (i + 1) * D) of its timeline, D the
// track's segment duration.
class Timeline
{
public:
    Timeline(Configuration const& Asset, std::int64_t Now);

    // Time since the live timeline's segment 0 began.
    std::int64_t Elapsed() const noexcept { return m_Elapsed; }

    SegmentList AudioSegments() const;
    SegmentList VideoSegments(VideoVariant const& Variant, std::int32_t ExtraSegments) const;
    // The thumbnail tiles of TileDuration: as the audio's segments, the
    // last one of an on-demand asset short, a live window's complete ones.
    SegmentList ImageSegments(std::int64_t TileDuration) const;

    // The master playlist fixes the end of a live asset that has a duration.
    static void SetLiveEndTime(Configuration& Asset, std::int64_t Now);
    // How many segments of SegmentDuration a span of Duration holds: video
    // lists whole segments only (plus ExtraSegments, "extra-video-segments"
    // of the playlist request), audio rounds up, its last segment may be short.
    static std::int64_t VideoSegmentCount(std::int64_t Duration, std::int64_t SegmentDuration, std::int32_t ExtraSegments) noexcept;
    static std::int64_t AudioSegmentCount(std::int64_t Duration, std::int64_t SegmentDuration) noexcept;
    // The segments of a live asset's track up to its end point (video with
    // ExtraVideoSegments, audio without); nothing for an asset without a
    // duration or an event's end. An event holds every segment that begins
    // before its end, on every track.
    static std::optional<std::int64_t> LiveSegmentCount(Configuration const& Asset, std::int64_t SegmentDuration,
                                                        std::optional<std::int32_t> ExtraVideoSegments) noexcept;
    // Where the last segment of an event's track ends (its end, up to the
    // track's next segment boundary); nothing for an asset that is no event.
    static std::optional<std::int64_t> EventTrackEnd(Configuration const& Asset, std::int64_t SegmentDuration) noexcept;
    // The override when present, else the segment duration.
    static std::int64_t TargetDuration(std::optional<std::int64_t> Override, std::int64_t SegmentDuration) noexcept;
    // "2024-05-01T12:00:03.000Z" for an absolute time.
    static std::string FormatProgramDateTime(std::int64_t AbsoluteTime);

    // The program-date-time text of segment Index, empty where none is written.
    std::string ProgramDateTimeOf(std::int64_t Index, std::int64_t SegmentDuration) const;

private:
    SegmentList LiveSegments(std::int64_t SegmentDuration, std::optional<std::int64_t> Stop) const;
    SegmentList DateOnDemand(SegmentList List) const;

    Configuration const& m_Asset;
    std::int64_t m_Elapsed;
};
} // namespace Application
