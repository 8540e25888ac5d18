// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Timeline.h"

#include <algorithm>
#include <ctime>

#include "base/Check.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"
#include "presentation/Clock.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
SegmentList OnDemandSegments(std::int64_t Count, auto DurationOf)
{
    CHECK_ARGUMENT(Count <= MaximalListedSegmentCount);
    SegmentList List;
    List.EndList = true;
    for(std::int64_t Index = 0; Index < Count; ++Index)
        List.Segments.push_back({static_cast<std::uint32_t>(Index), DurationOf(Index), {}});
    return List;
}
} // namespace

Timeline::Timeline(Configuration const& Asset, std::int64_t Now) : m_Asset(Asset), m_Elapsed(Now - Asset.BaseLiveTime)
{
}

SegmentList Timeline::AudioSegments() const
{
    CHECK_LINE(!m_Asset.VariantSet.AudioVariants.empty());
    std::int64_t const D = m_Asset.VariantSet.AudioVariants.front().SegmentDuration;
    CHECK_LINE(D > 0);
    if(m_Asset.Live)
        return LiveSegments(D, LiveSegmentCount(m_Asset, D, std::nullopt));
    std::int64_t const Duration = m_Asset.Duration.value();
    return DateOnDemand(OnDemandSegments(AudioSegmentCount(Duration, D), [&](std::int64_t Index) { return std::min(D, Duration - Index * D); }));
}

SegmentList Timeline::VideoSegments(VideoVariant const& Variant, std::int32_t ExtraSegments) const
{
    std::int64_t const D = Variant.SegmentDuration;
    CHECK_LINE(D > 0);
    if(m_Asset.Live)
        return LiveSegments(D, LiveSegmentCount(m_Asset, D, ExtraSegments));
    return DateOnDemand(OnDemandSegments(VideoSegmentCount(m_Asset.Duration.value(), D, ExtraSegments), [&](std::int64_t) { return D; }));
}

SegmentList Timeline::ImageSegments(std::int64_t TileDuration) const
{
    CHECK_LINE(TileDuration > 0);
    if(m_Asset.Live)
        return LiveSegments(TileDuration, LiveSegmentCount(m_Asset, TileDuration, std::nullopt));
    std::int64_t const Duration = m_Asset.Duration.value();
    return DateOnDemand(OnDemandSegments(AudioSegmentCount(Duration, TileDuration),
                                         [&](std::int64_t Index) { return std::min(TileDuration, Duration - Index * TileDuration); }));
}

SegmentList Timeline::DateOnDemand(SegmentList List) const
{
    // The dates of an on-demand asset's breaks need a program date-time to
    // place them; the asset's base time dates its first segment.
    if(m_Asset.Breaks && m_Asset.Breaks->Dated() && !List.Segments.empty())
        List.Segments.front().ProgramDateTime = FormatProgramDateTime(m_Asset.BaseLiveTime);
    return List;
}

SegmentList Timeline::LiveSegments(std::int64_t SegmentDuration, std::optional<std::int64_t> Stop) const
{
    // Once the end point has passed, the window keeps sliding and every
    // playlist ends with the end-of-list tag.
    std::int64_t Available = std::max<std::int64_t>(FloorDivide(m_Elapsed, SegmentDuration), 0);
    // An event's window stops with its last segment.
    if(m_Asset.EventEnd)
        Available = std::clamp<std::int64_t>(Available, 0, *Stop);
    std::int64_t const Window = CeilDivide(m_Asset.LiveWindow.value_or(0), SegmentDuration);
    std::int64_t const First = std::max<std::int64_t>(Available - Window, 0);
    CHECK_ARGUMENT(Available - First <= MaximalListedSegmentCount);
    // A clock reading far from the timeline's start (a "now" centuries
    // ahead) would need segment numbers beyond 32 bits.
    CHECK_ARGUMENT(Available <= MaximalLiveSegmentCount);
    SegmentList List;
    List.MediaSequence = static_cast<std::uint32_t>(First);
    for(std::int64_t Index = First; Index < Available; ++Index)
        List.Segments.push_back({static_cast<std::uint32_t>(Index), SegmentDuration, ProgramDateTimeOf(Index, SegmentDuration)});
    List.EndList = Stop && Available >= *Stop;
    // Segments are never removed where the window holds every one of them.
    List.Event = m_Asset.EventEnd && Window >= *Stop;
    return List;
}

std::string Timeline::ProgramDateTimeOf(std::int64_t Index, std::int64_t SegmentDuration) const
{
    // Low-latency players place every part by the program date-time, so an
    // "ll" asset without "pdt" tags every segment.
    if(!m_Asset.ProgramDateTimePeriod && !m_Asset.LowLatency)
        return {};
    std::int64_t const Period = m_Asset.ProgramDateTimePeriod.value_or(0);
    // A period of zero (or one shorter than 100 ns) tags every segment, as
    // any period shorter than the segment duration does.
    bool const Crossed = Index == 0 || Period == 0 || ((Index - 1) * SegmentDuration) / Period != (Index * SegmentDuration) / Period;
    if(!Crossed)
        return {};
    return FormatProgramDateTime(m_Asset.BaseLiveTime + Index * SegmentDuration);
}

void Timeline::SetLiveEndTime(Configuration& Asset, std::int64_t Now)
{
    if(Asset.Live && Asset.Duration)
        Asset.LiveEndTime = (Now - Asset.BaseLiveTime) + *Asset.Duration;
}

std::int64_t Timeline::VideoSegmentCount(std::int64_t Duration, std::int64_t SegmentDuration, std::int32_t ExtraSegments) noexcept
{
    return Duration / SegmentDuration + ExtraSegments;
}

std::int64_t Timeline::AudioSegmentCount(std::int64_t Duration, std::int64_t SegmentDuration) noexcept
{
    return CeilDivide(Duration, SegmentDuration);
}

std::optional<std::int64_t> Timeline::LiveSegmentCount(Configuration const& Asset, std::int64_t SegmentDuration,
                                                       std::optional<std::int32_t> ExtraVideoSegments) noexcept
{
    if(Asset.EventEnd)
    {
        std::int64_t const Count = CeilDivide(*Asset.EventEnd, SegmentDuration);
        return ExtraVideoSegments ? Count + *ExtraVideoSegments : Count;
    }
    // An asset with a duration ends; one whose end the master playlist did
    // not set (a DASH manifest made it) ends at its start.
    if(!Asset.Duration)
        return std::nullopt;
    std::int64_t const End = Asset.LiveEndTime.value_or(0);
    return ExtraVideoSegments ? VideoSegmentCount(End, SegmentDuration, *ExtraVideoSegments) : AudioSegmentCount(End, SegmentDuration);
}

std::optional<std::int64_t> Timeline::EventTrackEnd(Configuration const& Asset, std::int64_t SegmentDuration) noexcept
{
    if(!Asset.EventEnd)
        return std::nullopt;
    return CeilDivide(*Asset.EventEnd, SegmentDuration) * SegmentDuration;
}

std::int64_t Timeline::TargetDuration(std::optional<std::int64_t> Override, std::int64_t SegmentDuration) noexcept
{
    return Override.value_or(SegmentDuration);
}

std::string Timeline::FormatProgramDateTime(std::int64_t AbsoluteTime)
{
    std::int64_t const SinceUnixEpoch = AbsoluteTime - UnixEpochAbsoluteTime;
    std::time_t const Seconds = static_cast<std::time_t>(FloorDivide(SinceUnixEpoch, TimeUnitsPerSecond));
    std::int64_t const Remainder = SinceUnixEpoch - std::int64_t{Seconds} * TimeUnitsPerSecond;
    std::tm Calendar{};
    CHECK_POINTER(gmtime_r(&Seconds, &Calendar));
    return StringFormat("%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", static_cast<unsigned>(Calendar.tm_year + 1900), static_cast<unsigned>(Calendar.tm_mon + 1),
                        static_cast<unsigned>(Calendar.tm_mday), static_cast<unsigned>(Calendar.tm_hour), static_cast<unsigned>(Calendar.tm_min),
                        static_cast<unsigned>(Calendar.tm_sec), static_cast<unsigned>(Remainder / 10'000));
}
} // namespace Application
