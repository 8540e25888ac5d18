// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/LowLatencyPlaylist.h"

#include <algorithm>

#include "base/StringFormat.h"
#include "presentation/DecimalText.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// Players hold back at least this many part targets from the live edge
// (the RFC asks for at least three).
constexpr std::int64_t PartHoldBackTargets = 3;
// Delta updates may leave out what lies this many target durations before
// the end (the RFC's least is six).
constexpr std::int64_t SkipUntilTargets = 6;
// Parts stay listed on the segments this many target durations from the end.
constexpr std::int64_t ListedPartTargets = 3;
// Written with five decimals: 10 µs.
constexpr std::int64_t PartTimeStep = 100;

// Six target durations, up to whole seconds: readers that multiply the
// target in floating point (6 × 6.4) must not find the limit a hair short.
std::int64_t SkipUntil(std::int64_t TargetDuration)
{
    std::int64_t const Least = SkipUntilTargets * TargetDuration;
    return (Least + TimeUnitsPerSecond - 1) / TimeUnitsPerSecond * TimeUnitsPerSecond;
}
} // namespace

LowLatencyPlaylist::LowLatencyPlaylist(PartLayout Layout, std::int64_t TargetDuration, std::int64_t Elapsed, std::string PartUriPrefix,
                                       PlaylistSkip Skip) :
    m_Layout(Layout), m_TargetDuration(TargetDuration), m_Elapsed(Elapsed), m_PartUriPrefix(std::move(PartUriPrefix)), m_Skip(Skip)
{
}

std::string LowLatencyPlaylist::SecondsUp(std::int64_t Duration)
{
    std::int64_t const Rounded = (Duration + PartTimeStep - 1) / PartTimeStep * PartTimeStep;
    return FormatDecimal(static_cast<double>(Rounded) / static_cast<double>(TimeUnitsPerSecond), 5);
}

std::string LowLatencyPlaylist::Seconds(std::int64_t Duration)
{
    return FormatDecimal(static_cast<double>(Duration) / static_cast<double>(TimeUnitsPerSecond), 5);
}

void LowLatencyPlaylist::SetList(SegmentList const& List, bool EndList)
{
    m_OpenSegment = List.MediaSequence + static_cast<std::uint32_t>(List.Segments.size());
    m_EndList = EndList;
    m_OpenParts = EndList ? 0 : m_Layout.CompleteParts(m_OpenSegment, m_Elapsed);
}

int LowLatencyPlaylist::Version(int Other) const
{
    // A delta update needs version 9, one that may also leave out date
    // ranges version 10 (RFC 8216bis section 8).
    switch(m_Skip)
    {
    case PlaylistSkip::None:
        return Other;
    case PlaylistSkip::Segments:
        return std::max(Other, 9);
    case PlaylistSkip::SegmentsAndDateRanges:
        return std::max(Other, 10);
    }
    return Other;
}

std::vector<std::string> LowLatencyPlaylist::HeaderLines() const
{
    std::int64_t const PartTarget = (m_Layout.PartTarget() + PartTimeStep - 1) / PartTimeStep * PartTimeStep;
    std::vector<std::string> Items{"CAN-BLOCK-RELOAD=YES", "CAN-SKIP-UNTIL=" + FormatDecimal(static_cast<double>(SkipUntil(m_TargetDuration)) / TimeUnitsPerSecond, 3),
                                   // No date ranges are ever listed, so leaving them out is free.
                                   "CAN-SKIP-DATERANGES=YES", "PART-HOLD-BACK=" + SecondsUp(PartHoldBackTargets * PartTarget)};
    return {"#EXT-X-SERVER-CONTROL:" + Join(Items, ","), "#EXT-X-PART-INF:PART-TARGET=" + SecondsUp(PartTarget)};
}

std::int64_t LowLatencyPlaylist::End() const
{
    std::int64_t const SegmentEnd = std::int64_t{m_OpenSegment} * m_Layout.SegmentDuration();
    if(m_OpenParts == 0)
        return SegmentEnd;
    auto const Last = m_Layout.Part(m_OpenSegment, m_OpenParts - 1);
    return Last.Start + Last.Duration;
}

std::size_t LowLatencyPlaylist::SkippedSegments(SegmentList const& List) const
{
    if(m_Skip == PlaylistSkip::None)
        return 0;
    std::int64_t const Boundary = End() - SkipUntil(m_TargetDuration);
    std::int64_t const D = m_Layout.SegmentDuration();
    std::size_t Count = 0;
    while(Count < List.Segments.size() && (std::int64_t{List.Segments[Count].Index} + 1) * D <= Boundary)
        ++Count;
    return Count;
}

std::string LowLatencyPlaylist::SkipLine(std::size_t Count) const
{
    std::string Line = StringFormat("#EXT-X-SKIP:SKIPPED-SEGMENTS=%zu", Count);
    // Asked to leave out date ranges too: none was removed, as none is listed.
    if(m_Skip == PlaylistSkip::SegmentsAndDateRanges)
        Line += ",RECENTLY-REMOVED-DATERANGES=\"\"";
    return Line;
}

std::string LowLatencyPlaylist::PartUri(std::uint32_t Segment, std::uint32_t Part) const
{
    return StringFormat("%s%u&part=%u", m_PartUriPrefix.c_str(), Segment, Part);
}

std::string LowLatencyPlaylist::PartLine(std::uint32_t Segment, std::uint32_t Part, bool Gap) const
{
    auto const Span = m_Layout.Part(Segment, Part);
    std::string Line = "#EXT-X-PART:DURATION=" + Seconds(Span.Duration) + ",URI=\"" + PartUri(Segment, Part) + "\"";
    if(Span.Independent)
        Line += ",INDEPENDENT=YES";
    if(Gap)
        Line += ",GAP=YES";
    return Line;
}

std::vector<std::string> LowLatencyPlaylist::SegmentParts(std::uint32_t Segment, bool Gap) const
{
    std::vector<std::string> Lines;
    // A segment that begins three target durations or more before the end
    // has its parts removed (the RFC's rule).
    std::int64_t const SegmentStart = std::int64_t{Segment} * m_Layout.SegmentDuration();
    if(SegmentStart <= End() - ListedPartTargets * m_TargetDuration)
        return Lines;
    for(std::uint32_t Part = 0; Part < m_Layout.PartCount(Segment); ++Part)
        Lines.push_back(PartLine(Segment, Part, Gap));
    return Lines;
}

std::vector<std::string> LowLatencyPlaylist::OpenSegmentParts() const
{
    std::vector<std::string> Lines;
    if(m_EndList)
        return Lines;
    for(std::uint32_t Part = 0; Part < m_OpenParts; ++Part)
        Lines.push_back(PartLine(m_OpenSegment, Part, false));
    Lines.push_back("#EXT-X-PRELOAD-HINT:TYPE=PART,URI=\"" + PartUri(m_OpenSegment, m_OpenParts) + "\"");
    return Lines;
}

std::string LowLatencyPlaylist::RenditionReport(Rendition const& Other, std::int64_t Elapsed)
{
    std::string Line = "#EXT-X-RENDITION-REPORT:URI=\"" + Other.Uri + "\"";
    auto const Last = Other.Layout.LastComplete(std::min(Elapsed, Other.End));
    if(!Last)
        return Line;
    return Line + StringFormat(",LAST-MSN=%u,LAST-PART=%u", Last->Segment, Last->Part);
}
} // namespace Application
