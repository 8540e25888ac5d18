// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SegmentIndex.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/DashPeriod.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
// The strict number of a row of the addressing group ("part" names two rows).
std::optional<std::int64_t> Digits(QueryVector const& Query, std::string_view Name)
{
    return QueryInteger(Query, OptionTable::Get(Name, OptionKind::Integer));
}

// One more than the highest segment number the asset has on a track whose
// segments last SegmentDuration (see SegmentIndexFromQuery).
std::int64_t SegmentLimit(Configuration const& Asset, SegmentTrack Track, std::int64_t SegmentDuration, std::int32_t ExtraVideoSegments)
{
    CHECK_LINE(SegmentDuration > 0);
    auto const Video = Track == SegmentTrack::Video ? std::optional<std::int32_t>(ExtraVideoSegments) : std::nullopt;
    // A live window keeps sliding past its end point: what it lists may be
    // asked for, and an event's ends with it. Tiles are long: their times
    // stay within the query's times.
    if(Asset.Live && Track == SegmentTrack::Image && !Asset.EventEnd)
        return std::min<std::int64_t>(MaximalLiveSegmentCount, static_cast<std::int64_t>(MaximalTimeSeconds) * TimeUnitsPerSecond / SegmentDuration);
    if(Asset.Live)
        return Asset.EventEnd ? *Timeline::LiveSegmentCount(Asset, SegmentDuration, Video) : MaximalLiveSegmentCount;
    std::int64_t const Duration = Asset.Duration.value();
    std::int64_t const Listed =
        Video ? Timeline::VideoSegmentCount(Duration, SegmentDuration, *Video) : Timeline::AudioSegmentCount(Duration, SegmentDuration);
    // The DASH manifest is its fixed periods whatever the duration.
    auto const PeriodIndex = static_cast<std::uint32_t>(DashPeriods.size() - 1);
    std::int64_t const Covered = DashPeriods[PeriodIndex].Segments(PeriodIndex, SegmentDuration).Last + 1;
    return std::max(Listed, Covered);
}

std::int64_t SegmentDurationOf(Configuration const& Asset, SegmentTrack Track, std::uint32_t Variant)
{
    auto const& Rows = Asset.VariantSet;
    if(Track == SegmentTrack::Image)
    {
        CHECK_LINE(Asset.Thumbnails.has_value());
        return Asset.Thumbnails->TileDuration();
    }
    if(Track == SegmentTrack::Audio)
    {
        CHECK_LINE(!Rows.AudioVariants.empty());
        return Rows.AudioVariants.front().SegmentDuration;
    }
    CHECK_LINE(Variant < Rows.VideoVariants.size());
    return Rows.VideoVariants[Variant].SegmentDuration;
}
} // namespace

std::optional<std::uint32_t> SegmentIndexFromQuery(QueryVector const& Query, Configuration const& Asset, SegmentTrack Track, std::uint32_t Variant)
{
    std::int64_t const SegmentDuration = SegmentDurationOf(Asset, Track, Variant);
    auto const Index = Digits(Query, "index");
    auto const Time = Digits(Query, "time");
    if(!Index && !Time)
        return std::nullopt;
    if(Index && Time)
        ThrowCheckFailure(FailureCode::SegmentNumberMalformed, TRACE_CONTEXT(), "index || time",
                          "\"index\" and \"time\" each name the segment: give one of them");
    // A timeline's $Time$ is a segment's start on the track's time scale,
    // which is ours (TimeUnitsPerSecond), from the live timeline's start.
    if(Time && *Time % SegmentDuration != 0)
        ThrowCheckFailure(FailureCode::SegmentNumberMalformed, TRACE_CONTEXT(), "time % SegmentDuration == 0",
                          StringFormat("Invalid \"time\" \"%lld\": no segment begins then, they begin every %lld units of 100 ns",
                                       static_cast<long long>(*Time), static_cast<long long>(SegmentDuration)));
    std::int64_t const Segment = Time ? *Time / SegmentDuration : *Index - Digits(Query, "baseIndex").value_or(0);
    auto const Extra = Track == SegmentTrack::Video ? ExtraVideoSegmentsFromQuery(Query) : 0;
    std::int64_t const Limit = SegmentLimit(Asset, Track, SegmentDuration, Extra);
    if(Segment < 0 || Segment >= Limit)
    {
        std::string const Name = Track == SegmentTrack::Video   ? StringFormat("video variant %u", Variant)
                                 : Track == SegmentTrack::Audio ? std::string("the audio track")
                                                                : std::string("the thumbnail track");
        ThrowCheckFailure(FailureCode::SegmentOutsideAsset, TRACE_CONTEXT(), "index - baseIndex below the track's segment count",
                          StringFormat("Segment %lld is not within asset %u: %s has %lld segments, numbered from 0", static_cast<long long>(Segment),
                                       Asset.Asset, Name.c_str(), static_cast<long long>(Limit)));
    }
    return static_cast<std::uint32_t>(Segment);
}

bool AssetHasSegment(Configuration const& Asset, SegmentTrack Track, std::uint32_t Variant, std::uint32_t Index)
{
    std::int64_t const SegmentDuration = SegmentDurationOf(Asset, Track, Variant);
    if(Asset.Live)
        return Index < SegmentLimit(Asset, Track, SegmentDuration, 0);
    std::int64_t const Duration = Asset.Duration.value();
    return Index < (Track == SegmentTrack::Video ? Timeline::VideoSegmentCount(Duration, SegmentDuration, 0)
                                                 : Timeline::AudioSegmentCount(Duration, SegmentDuration));
}

std::int32_t PartNumberFromQuery(QueryVector const& Query)
{
    auto const Part = Digits(Query, "part");
    return Part ? static_cast<std::int32_t>(*Part) : -1;
}

std::uint32_t PeriodNumberFromQuery(QueryVector const& Query)
{
    auto const Period = Digits(Query, "period");
    return static_cast<std::uint32_t>(Period.value_or(0));
}

std::int32_t ExtraVideoSegmentsFromQuery(QueryVector const& Query)
{
    return static_cast<std::int32_t>(Digits(Query, ExtraVideoSegmentsKey).value_or(0));
}

std::uint32_t ResponseFileSegmentNumber(QueryVector const& Query, std::uint32_t Segment)
{
    // "index" itself where a base is given; a template of times numbers
    // its segments from 1 as the number templates do (startNumber).
    return static_cast<std::uint32_t>(Segment + Digits(Query, "baseIndex").value_or(1));
}
} // namespace Application
