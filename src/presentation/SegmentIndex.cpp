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
    // A live window keeps sliding past its end point: what it lists may be asked for.
    if(Asset.Live)
        return MaximalLiveSegmentCount;
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
    auto const Index = Digits(Query, "index");
    if(!Index)
        return std::nullopt;
    std::int64_t const Segment = *Index - Digits(Query, "baseIndex").value_or(0);
    auto const Extra = Track == SegmentTrack::Video ? ExtraVideoSegmentsFromQuery(Query) : 0;
    std::int64_t const Limit = SegmentLimit(Asset, Track, SegmentDurationOf(Asset, Track, Variant), Extra);
    if(Segment < 0 || Segment >= Limit)
    {
        std::string const Name = Track == SegmentTrack::Video ? StringFormat("video variant %u", Variant) : std::string("the audio track");
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

std::optional<std::uint32_t> ResponseFileSegmentNumber(QueryVector const& Query)
{
    auto const* Pair = FindOption(Query, "index");
    if(!Pair)
        return std::nullopt;
    auto const Index = static_cast<std::uint32_t>(ParseDecimal(Pair->Value, std::numeric_limits<std::uint32_t>::max()).value_or(0));
    if(QueryFlag(Query, "baseIndex"))
        return Index;
    return Index + 1;
}
} // namespace Application
