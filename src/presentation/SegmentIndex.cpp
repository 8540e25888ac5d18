// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SegmentIndex.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/DashPeriod.h"
#include "presentation/QueryNumbers.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
constexpr std::uint64_t MaximalIndex = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t MaximalBaseIndex = std::numeric_limits<std::int32_t>::max();
// A refusal quotes at most this much of the value it refuses.
constexpr int QuotedCharacters = 40;

[[noreturn]] void RaiseMalformed(HRESULT Code, std::string_view Name, std::string_view Value, char const* Expected)
{
    ThrowCheckFailure(Code, TRACE_CONTEXT(), "ParseDecimal(Value)",
                      StringFormat("Invalid \"%.*s\" \"%.*s\": expected %s", static_cast<int>(Name.size()), Name.data(),
                                   std::min(QuotedCharacters, static_cast<int>(Value.size())), Value.data(), Expected));
}

// The value of Name as strict decimal digits within Maximal; nothing when absent.
std::optional<std::uint64_t> Digits(QueryVector const& Query, std::string_view Name, std::uint64_t Maximal, HRESULT Code)
{
    auto const* Pair = FindQueryValue(Query, Name);
    if(!Pair)
        return std::nullopt;
    auto const Value = ParseDecimal(Pair->Value, Maximal);
    if(!Value)
        RaiseMalformed(Code, Name, Pair->Value, StringFormat("decimal digits up to %llu", static_cast<unsigned long long>(Maximal)).c_str());
    return Value;
}

// "baseIndex": digits with an optional leading '-', within 32 bits signed.
std::int64_t BaseIndex(QueryVector const& Query)
{
    auto const* Pair = FindQueryValue(Query, "baseIndex");
    if(!Pair)
        return 0;
    std::string_view Text = Pair->Value;
    bool const Negative = Text.starts_with('-');
    if(Negative)
        Text.remove_prefix(1);
    auto const Magnitude = ParseDecimal(Text, MaximalBaseIndex + (Negative ? 1 : 0));
    if(!Magnitude)
        RaiseMalformed(FailureCode::SegmentNumberMalformed, "baseIndex", Pair->Value, "decimal digits within 32 bits, optionally after '-'");
    return Negative ? -static_cast<std::int64_t>(*Magnitude) : static_cast<std::int64_t>(*Magnitude);
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
    auto const Index = Digits(Query, "index", MaximalIndex, FailureCode::SegmentNumberMalformed);
    if(!Index)
        return std::nullopt;
    std::int64_t const Segment = static_cast<std::int64_t>(*Index) - BaseIndex(Query);
    auto const Extra = Track == SegmentTrack::Video ? Digits(Query, ExtraVideoSegmentsKey, MaximalListedSegmentCount, FailureCode::SegmentNumberMalformed)
                                                    : std::nullopt;
    std::int64_t const Limit = SegmentLimit(Asset, Track, SegmentDurationOf(Asset, Track, Variant), static_cast<std::int32_t>(Extra.value_or(0)));
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
    auto const Part = Digits(Query, "part", std::numeric_limits<std::int32_t>::max(), FailureCode::PartInvalid);
    return Part ? static_cast<std::int32_t>(*Part) : -1;
}

std::uint32_t PeriodNumberFromQuery(QueryVector const& Query)
{
    auto const Period = Digits(Query, "period", DashPeriods.size() - 1, FailureCode::PeriodInvalid);
    return static_cast<std::uint32_t>(Period.value_or(0));
}

std::optional<std::uint32_t> ResponseFileSegmentNumber(QueryVector const& Query)
{
    auto const* Pair = FindQueryValue(Query, "index");
    if(!Pair)
        return std::nullopt;
    auto const Index = static_cast<std::uint32_t>(ParseDecimal(Pair->Value, MaximalIndex).value_or(0));
    if(QueryFlag(Query, "baseIndex"))
        return Index;
    return Index + 1;
}
} // namespace Application
