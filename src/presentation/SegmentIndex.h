// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/QueryStringNameValue.h"
#include "presentation/Configuration.h"

namespace Application
{
// The track a media segment request is about.
enum class SegmentTrack
{
    Video,
    Audio,
    Image, // the thumbnail tiles ("thumbs"): segments of the tile duration, the last one may be short
};

// The query key of a video playlist request that lists extra segments past
// the end (a test aid); the playlist repeats it in the URLs of its segments,
// which are then within the asset.
constexpr std::string_view ExtraVideoSegmentsKey = "extra-video-segments";

// The segment a media request asks for: "index" − "baseIndex" (0 when
// absent), or "time" (a timeline's $Time$) over the track's segment
// duration, which must divide it; nothing when both are absent, refused
// when both are given. "index" is decimal digits only
// (no sign, blank or exponent) within 32 bits, "baseIndex" the same with an
// optional leading '-' (DASH periods that begin past segment 0 write
// negative ones) within 32 bits signed; anything else raises
// FailureCode::SegmentNumberMalformed. The segment must be one the asset has
// on the track (of video variant Variant), else FailureCode::SegmentOutsideAsset:
//   - on-demand, below the count its playlists list (video: whole segments,
//     plus the "extra-video-segments" the playlist wrote into the URL; audio:
//     the last one may be short) or the DASH periods cover, whichever is more;
//   - live, below MaximalLiveSegmentCount (the window keeps sliding past an
//     end point); a live event's, below the count of segments that begin
//     before its end (plus the extra video segments).
std::optional<std::uint32_t> SegmentIndexFromQuery(QueryVector const& Query, Configuration const& Asset, SegmentTrack Track, std::uint32_t Variant = 0);

// Whether the asset's playlists list segment Index on the track (of video
// variant Variant): on-demand, below the playlists' count (without extra
// segments, and without what only the DASH periods cover); live, within
// the limit SegmentIndexFromQuery admits.
bool AssetHasSegment(Configuration const& Asset, SegmentTrack Track, std::uint32_t Variant, std::uint32_t Index);

// "part" of a part request: decimal digits only within 31 bits, else
// FailureCode::PartInvalid; -1 when absent. Whether the segment has that
// part is for its part layout to say.
std::int32_t PartNumberFromQuery(QueryVector const& Query);

// "period" of a DASH segment request (its number in saved file names): the
// number of one of the DASH periods, 0 when absent, else
// FailureCode::PeriodInvalid.
std::uint32_t PeriodNumberFromQuery(QueryVector const& Query);

// "extra-video-segments" (video playlists and segments): digits only, up to
// MaximalListedSegmentCount, else FailureCode::SegmentNumberMalformed; 0
// when absent.
std::int32_t ExtraVideoSegmentsFromQuery(QueryVector const& Query);

// The number in the file name a saved media segment gets, for Segment,
// which SegmentIndexFromQuery took. HLS requests carry no "baseIndex" and
// their files are numbered from 1 (Segment + 1); DASH requests are numbered
// by their template number ("index" itself, or Segment + 1 in a template of
// times), which is what the manifest's "__media" pattern says, so the two
// always agree.
std::uint32_t ResponseFileSegmentNumber(QueryVector const& Query, std::uint32_t Segment);
} // namespace Application
