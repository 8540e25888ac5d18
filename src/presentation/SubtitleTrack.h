// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <optional>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "presentation/Configuration.h"
#include "presentation/PartLayout.h"
#include "presentation/SubtitleCues.h"

namespace Application
{
// What the presentation knows of an asset's generated subtitle tracks: they
// follow the video's first row (segment duration and numbering, live
// window), one per language of "subs", and their segments' texts.
class SubtitleTrack
{
public:
    // The video row whose segments the text lines up with.
    static VideoVariant const& VideoRow(Configuration const& Asset);
    // "lang" of a subtitle request: one of the asset's languages, else
    // FailureCode::SubtitleLanguageUnknown (also for an asset without
    // subtitles). With Mp4, the asset's tracks must be carried in MP4
    // (stpp, wvtt), and as WebVTT files without.
    static std::string const& LanguageFromQuery(QueryVector const& Query, Configuration const& Asset, std::optional<bool> Mp4);
    // The position of a language among the asset's (the fault rules' variant).
    static std::uint32_t Position(Configuration const& Asset, std::string const& Language);
    // The cues of a language of the asset, on its timeline.
    static SubtitleCues Cues(Configuration const& Asset, std::string const& Language);
    // The RFC 6381 text of a track in MP4 ("stpp.ttml.im1t", "wvtt"); empty
    // for WebVTT files.
    static std::string_view Codecs(SubtitleFormat Format) noexcept;

    // Segment Index's cues and bounds on its decode timeline: the media's
    // less the origin where the asset's changes last restarted it ("disc").
    struct Segment
    {
        std::vector<SubtitleCue> Cues;
        std::int64_t Start = 0;
        std::int64_t End = 0;
    };
    // With Part, that part of the segment on the video row's part layout
    // (low-latency HLS): the segment's cues, the part's bounds. Part must be
    // below the layout's PartCount(Index).
    static Segment SegmentOf(Configuration const& Asset, std::string const& Language, std::uint32_t Index,
                             std::optional<std::uint32_t> Part = std::nullopt);
    // The parts of a low-latency asset's subtitle playlists: the video row's.
    static PartLayout Parts(Configuration const& Asset);

    // Segment Index (or its part) as a WebVTT file, and as the IMSC1
    // document of its 'stpp' sample.
    static std::string WebVttSegment(Configuration const& Asset, std::string const& Language, std::uint32_t Index,
                                     std::optional<std::uint32_t> Part = std::nullopt);
    static std::string ImscSegment(Configuration const& Asset, std::string const& Language, std::uint32_t Index,
                                   std::optional<std::uint32_t> Part = std::nullopt);
};
} // namespace Application
