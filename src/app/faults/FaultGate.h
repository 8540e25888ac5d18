// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "app/context/RouteContext.h"
#include "presentation/FaultRule.h"

namespace Application
{
// Applies an asset's fault rules (FaultPlan) to one request, told by the
// route what the request is once the route has read it: a media segment
// (by track, variant and segment number after "baseIndex") or an HLS media
// playlist (by the ordinal of the asset's playlist request). A "fail" or
// "gap" that fires is answered here with its status; a "stale" one repeats
// the remembered playlist. The others change the answer the route makes on
// its way out (FaultEdge); one that holds it back (delay, throttle, hang)
// counts as a held answer of its client (HttpServer::Response::Hold), which
// is refused with 503 beyond the client's share. Every fault that fires is
// traced and named in the answer's "X-Quorvel-Fault" header.
class FaultGate
{
public:
    static constexpr char const* HeaderName = "X-Quorvel-Fault";

    // A media segment of Track (Variant: the video row's index, 0 for
    // audio). True when the request was answered here.
    static bool Segment(RouteContext& Context, FaultTrack Track, std::uint32_t Variant, std::uint32_t Number);
    // An HLS media playlist; PlaylistKey names which ("video.m3u8?variant=0"),
    // for "stale". True when the request was answered here.
    static bool Playlist(RouteContext& Context, std::string PlaylistKey);
};
} // namespace Application
