// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SubtitleTrack.h"

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "presentation/ImscWriter.h"
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

std::string const& SubtitleTrack::LanguageFromQuery(QueryVector const& Query, Configuration const& Asset, SubtitleFormat Format, bool Hls)
{
    auto const* Pair = FindOption(Query, "lang");
    CheckCondition(Pair != nullptr, TRACE_CONTEXT(), FailureCode::SubtitleLanguageUnknown, "lang given");
    for(auto const& Language : Asset.SubtitleLanguages)
        if(Language == Pair->Value)
        {
            if(Asset.SubtitleFormatOf(Hls) != Format)
                ThrowCheckFailure(FailureCode::SubtitleLanguageUnknown, TRACE_CONTEXT(), "SubtitleFormatOf(Asset) == Format",
                                  "The asset's subtitle tracks are carried as \"" + std::string(SubtitleFormatName(Asset.SubtitleFormatOf(Hls))) + "\"");
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

std::string SubtitleTrack::WebVttSegment(Configuration const& Asset, std::string const& Language, std::uint32_t Index)
{
    auto const Track = Cues(Asset, Language);
    return WebVttWriter::Segment(Track.OfSegment(Index), Track.SegmentStart(Index), Track.SegmentEnd(Index), Asset.SubtitlesAtTop);
}

std::string SubtitleTrack::ImscSegment(Configuration const& Asset, std::string const& Language, std::uint32_t Index)
{
    auto const Track = Cues(Asset, Language);
    return ImscWriter::Document(Track.OfSegment(Index), Track.SegmentStart(Index), Track.SegmentEnd(Index), Language, Asset.SubtitlesAtTop);
}
} // namespace Application
