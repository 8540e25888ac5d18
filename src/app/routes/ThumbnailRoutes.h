// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/production/MediaWork.h"
#include "app/routing/RouteGroup.h"
#include "media/ThumbnailTilePainter.h"

namespace Application
{
// The thumbnail tiles of an asset made with "thumbs" (ThumbnailTrack):
// "thumbs.jpg?asset=N&index=K" ("baseIndex", "period" and "color" as the
// DASH templates write them, or "time") is tile K as one JPEG picture,
// each thumbnail the picture the asset's first video row shows at its
// instant, as its segments show it (box colour, live clock, frame code,
// break countdowns, changes, speakers). Made on request by a task of the
// video group, once for every request that wants it at the same time, and
// kept (MediaProductions), as segments are. A live asset's tile is refused
// with 404 until its end has passed (at the request's "now", if given),
// when all its thumbnails exist.
class ThumbnailRoutes : public RouteGroup
{
public:
    ThumbnailRoutes(ServerContext& Context, RouteTable& Table, MediaWork& Work);

    // The shots of tile Index of the asset: the picture settings of each
    // thumbnail's instant, one settings object for each stretch of the
    // timeline whose pictures are alike but for their frame (a change
    // mid-stream begins another).
    static std::vector<ThumbnailTilePainter::Shot> ShotsOf(Configuration const& Asset, std::uint32_t Index, std::uint32_t Colour);

private:
    void Tile(RouteContext& Context);

    MediaWork& m_Work;
};
} // namespace Application
