// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "presentation/Configuration.h"

namespace Application
{
// The thumbnails of an asset with "thumbs", as its playlists and manifests
// describe them: tiles of its first video row's pictures (the row players
// start with, never the trick-play one), one thumbnail every interval of
// its layout, tile i at "thumbs.jpg?asset=N&index=i". The HLS image
// playlist "thumbs.m3u8?asset=N" lists the tiles as the media playlists
// list segments (all of them on-demand, the last one short; live, the
// complete ones of the window).
class ThumbnailTrack
{
public:
    // JPEG quality of the tiles.
    static constexpr int Quality = 75;
    // What a thumbnail of the synthetic picture takes at that quality at
    // most, as measured (3 kB plain, 5 kB with a frame code, a live clock
    // and 5.1): the bandwidth the manifests state.
    static constexpr std::uint32_t ThumbnailBytes = 6'000;

    static VideoVariant const& SourceRow(Configuration const& Asset);
    static std::uint32_t ThumbnailWidth(Configuration const& Asset);
    static std::uint32_t ThumbnailHeight(Configuration const& Asset);
    static std::uint32_t TileWidth(Configuration const& Asset);
    static std::uint32_t TileHeight(Configuration const& Asset);
    // Bits per second of the tiles.
    static std::uint32_t Bandwidth(Configuration const& Asset);
    static std::string PlaylistUri(Configuration const& Asset);
};
} // namespace Application
