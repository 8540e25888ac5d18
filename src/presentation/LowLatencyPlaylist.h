// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "presentation/Configuration.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/PartLayout.h"
#include "presentation/Timeline.h"

namespace Application
{
// Another rendition of the master playlist, for EXT-X-RENDITION-REPORT.
struct Rendition
{
    std::string Uri;
    PartLayout Layout;
    // Media time where its last segment ends: a live event's reports stop there.
    std::int64_t End = std::numeric_limits<std::int64_t>::max();
};

// The low-latency lines of one live media playlist (HLS, RFC 8216bis): the
// server's control and part target, the parts of the last segments and of
// the segment in progress, the hint of the next part, the reports of the
// other renditions and, for a delta update, which segments are skipped.
class LowLatencyPlaylist
{
public:
    // PartUriPrefix: the segment URI without its index ("...&index=").
    LowLatencyPlaylist(PartLayout Layout, std::int64_t TargetDuration, std::int64_t Elapsed, std::string PartUriPrefix, PlaylistSkip Skip);

    // The segment in progress (the first not complete) for List, and how
    // many of its parts are complete.
    void SetList(SegmentList const& List, bool EndList);

    // The version a delta update that leaves segments out declares, given
    // what the rest of it needs.
    int Version(int Other) const;
    // EXT-X-SERVER-CONTROL and EXT-X-PART-INF, after the target duration.
    std::vector<std::string> HeaderLines() const;
    // How many of the listed segments a delta update leaves out.
    std::size_t SkippedSegments(SegmentList const& List) const;
    std::string SkipLine(std::size_t Count) const;
    // The EXT-X-PART lines of a complete listed segment, none for a segment
    // that begins three target durations or more before the end of the playlist.
    std::vector<std::string> SegmentParts(std::uint32_t Segment, bool Gap) const;
    // After the last complete segment: the complete parts of the one in
    // progress and the hint of the next (none once the list has ended).
    std::vector<std::string> OpenSegmentParts() const;
    static std::string RenditionReport(Rendition const& Other, std::int64_t Elapsed);

    std::uint32_t OpenSegment() const noexcept { return m_OpenSegment; }
    std::uint32_t OpenParts() const noexcept { return m_OpenParts; }

    // Seconds with five decimals, rounded up, for the part target: no part may be longer.
    static std::string SecondsUp(std::int64_t Duration);
    // Seconds with five decimals, rounded to the nearest.
    static std::string Seconds(std::int64_t Duration);

private:
    std::string PartLine(std::uint32_t Segment, std::uint32_t Part, bool Gap) const;
    std::string PartUri(std::uint32_t Segment, std::uint32_t Part) const;
    // Media time of the end of what the playlist lists.
    std::int64_t End() const;

    PartLayout m_Layout;
    std::int64_t m_TargetDuration;
    std::int64_t m_Elapsed;
    std::string m_PartUriPrefix;
    PlaylistSkip m_Skip;
    std::uint32_t m_OpenSegment = 0;
    std::uint32_t m_OpenParts = 0;
    bool m_EndList = false;
};
} // namespace Application
