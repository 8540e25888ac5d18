// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/routing/RouteContext.h"

namespace Application
{
// Applies an asset's fault rules (FaultPlan) to one request, before its
// route runs: media segments ("video-body.mp4", "audio-body.mp4", by
// segment number after "baseIndex") and HLS media playlists ("video.m3u8",
// "audio.m3u8", by the ordinal of the asset's playlist request). A "fail"
// or "gap" that fires is answered here with its status; a "stale" one
// repeats the remembered playlist. The others change the answer the route
// makes on its way out (FaultEdge). Every fault that fires is traced and
// named in the answer's "X-Quorvel-Fault" header.
class FaultGate
{
public:
    static constexpr char const* HeaderName = "X-Quorvel-Fault";

    // True when the request was answered here.
    static bool Answer(RouteContext& Context);
};
} // namespace Application
