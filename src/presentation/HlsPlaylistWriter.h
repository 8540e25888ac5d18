// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "presentation/ChangeSchedule.h"
#include "presentation/Configuration.h"
#include "presentation/ContentKeys.h"
#include "presentation/DeliveryDirectives.h"

namespace Application
{
// The HLS texts of an asset: the master playlist and the video and audio media
// playlists. Every line ends with CR LF, the last one included. An asset of
// several audio rows ("audio") has an audio group a row, and lists every
// video variant once with each.
//
// With content steering ("steer") the master playlist names the steering
// route and lists every variant and rendition once per pathway: each
// variant with its PATHWAY-ID, each pathway with rendition groups of its
// own ("audio-a"), every address with "pathway=a". A media playlist asked
// for by a pathway (Pathway) names that pathway in every address it holds.
class HlsPlaylistWriter
{
public:
    // Also fixes the end of a live asset that has a duration, at Now.
    static std::string Master(Configuration& Asset, std::int64_t Now);
    // A live asset with "ll" lists parts too (LowLatencyPlaylist); Skip asks
    // such a playlist for a delta update.
    static std::string Video(Configuration const& Asset, VideoVariant const& Variant, std::int32_t ExtraSegments, std::int64_t Now,
                             PlaylistSkip Skip = PlaylistSkip::None, std::string const& Pathway = {});
    // The I-frame playlist of a video row ("iframes"): the row's playlist
    // (window, numbers, date-times, discontinuities, maps and keys) with
    // each segment's key picture for the segment, "iframe" in its URL.
    static std::string IFrames(Configuration const& Asset, VideoVariant const& Variant, std::int64_t Now, std::string const& Pathway = {});
    // The playlist of one of the asset's audio rows.
    static std::string Audio(Configuration const& Asset, AudioVariant const& Variant, std::int64_t Now, PlaylistSkip Skip = PlaylistSkip::None,
                             std::string const& Pathway = {});
    // The subtitle playlist of one of the asset's languages: the video's
    // segments (numbers, durations, live window), as WebVTT files or as MP4
    // with its initialisation segment, never with key tags. A low-latency
    // asset's has the video row's parts, as its media playlists do: a player
    // at low latency plays the open segment before a whole one is listed.
    static std::string Subtitles(Configuration const& Asset, std::string const& Language, std::int64_t Now, PlaylistSkip Skip = PlaylistSkip::None,
                                 std::string const& Pathway = {});
    // The image playlist of an asset with "thumbs" (ThumbnailTrack): its
    // tiles, each with the layout it holds (EXT-X-TILES), never with key tags.
    static std::string Thumbnails(Configuration const& Asset, std::int64_t Now);

    // The EXT-X-KEY lines of an encrypted asset's Track in State: the
    // key-URI tag with "c" in "keyformat", the PlayReady tag unless "p" is
    // in it; none within a clear lead.
    static std::vector<std::string> KeyTags(Configuration const& Asset, KeyTrack Track = KeyTrack::Video, ChangeState const& State = {},
                                            std::string const& Pathway = {});
};
} // namespace Application
