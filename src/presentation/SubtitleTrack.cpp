// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SubtitleTrack.h"

#include <algorithm>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "presentation/ImscWriter.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"
#include "presentation/WebVttWriter.h"

namespace Application
{
VideoVariant const& SubtitleTrack::VideoRow(Configuration const& Asset)
{
    auto const& Variants = Asset.VariantSet.VideoVariants;
    for(auto const& Variant : Variants)
        if(!Variant.TrickPlay)
            return Variant;
    CHECK_LINE(!Variants.empty());
    return Variants.front();
}

std::uint32_t SubtitleTrack::Position(Configuration const& Asset, std::string const& Language)
{
    auto const& Languages = Asset.SubtitleLanguages;
    return static_cast<std::uint32_t>(std::find(Languages.begin(), Languages.end(), Language) - Languages.begin());
}

std::string const& SubtitleTrack::LanguageFromQuery(QueryVector const& Query, Configuration const& Asset, std::optional<bool> Mp4)
{
    auto const* Pair = FindOption(Query, OptionTable::Addressing("lang"));
    CheckCondition(Pair != nullptr, TRACE_CONTEXT(), FailureCode::SubtitleLanguageUnknown, "lang given");
    for(auto const& Language : Asset.SubtitleLanguages)
        if(Language == Pair->Value)
        {
            // An asset from the registry has its carriage set.
            auto const Carriage = Asset.SubtitleCarriage.value_or(SubtitleFormat::Vtt);
            if(Mp4 && *Mp4 == (Carriage == SubtitleFormat::Vtt))
                ThrowCheckFailure(FailureCode::SubtitleLanguageUnknown, TRACE_CONTEXT(), "subsformat of the asset",
                                  "The asset's subtitle tracks are carried as \"" + std::string(SubtitleFormatName(Carriage)) + "\"");
            return Language;
        }
    ThrowCheckFailure(FailureCode::SubtitleLanguageUnknown, TRACE_CONTEXT(), "Asset.HasSubtitle(lang)",
                      "Invalid \"lang\" \"" + Pair->Value.substr(0, QueryOption::QuotedCharacters) + "\": the asset has no subtitle track of that language");
}

SubtitleCues SubtitleTrack::Cues(Configuration const& Asset, std::string const& Language)
{
    return SubtitleCues(Language, Asset.SubtitleCueDuration, VideoRow(Asset).SegmentDuration,
                        Asset.Live ? std::optional<std::int64_t>(Asset.BaseLiveTime) : std::nullopt);
}

std::string_view SubtitleTrack::Codecs(SubtitleFormat Format) noexcept
{
    switch(Format)
    {
    case SubtitleFormat::Stpp:
        return "stpp.ttml.im1t";
    case SubtitleFormat::Wvtt:
        return "wvtt";
    case SubtitleFormat::Vtt:
        break;
    }
    return "";
}

PartLayout SubtitleTrack::Parts(Configuration const& Asset)
{
    return PartLayout::ForVideo(VideoRow(Asset), Asset.PartDuration);
}

SubtitleTrack::Segment SubtitleTrack::SegmentOf(Configuration const& Asset, std::string const& Language, std::uint32_t Index,
                                                std::optional<std::uint32_t> Part)
{
    auto const Track = Cues(Asset, Language);
    Segment Result{Track.OfSegment(Index), Track.SegmentStart(Index), Track.SegmentEnd(Index)};
    if(Part)
    {
        // The segment's first part begins with it and its last ends with it,
        // so that the parts tile the segment whatever the frame grid.
        auto const Layout = Parts(Asset);
        auto const Span = Layout.Part(Index, *Part);
        if(*Part > 0)
            Result.Start = Span.Start;
        if(*Part + 1 < Layout.PartCount(Index))
            Result.End = Span.Start + Span.Duration;
    }
    // The texts keep naming the media's time, as the pictures do.
    std::int64_t const Origin = Asset.Changes.At(Track.SegmentStart(Index)).Origin;
    for(auto& Cue : Result.Cues)
    {
        Cue.Start -= Origin;
        Cue.End -= Origin;
    }
    Result.Start -= Origin;
    Result.End -= Origin;
    return Result;
}

std::string SubtitleTrack::WebVttSegment(Configuration const& Asset, std::string const& Language, std::uint32_t Index, std::optional<std::uint32_t> Part)
{
    auto const Made = SegmentOf(Asset, Language, Index, Part);
    return WebVttWriter::Segment(Made.Cues, Made.Start, Made.End, Asset.SubtitlesAtTop);
}

std::string SubtitleTrack::ImscSegment(Configuration const& Asset, std::string const& Language, std::uint32_t Index, std::optional<std::uint32_t> Part)
{
    auto const Made = SegmentOf(Asset, Language, Index, Part);
    return ImscWriter::Document(Made.Cues, Made.Start, Made.End, Language, Asset.SubtitlesAtTop);
}
} // namespace Application
