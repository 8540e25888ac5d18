// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/RouteGroup.h"
#include "presentation/AssetRegistry.h"
#include "presentation/Clock.h"

namespace Application
{
// The manifests and what they refer to besides media: "master.m3u8" and
// "manifest.mpd" create assets, "video.m3u8", "audio.m3u8" and "key" read
// them. The group owns the asset registry and finds the asset of every asset
// route. Each request reads the clock once, or takes its "now" instead;
// "time" tells that reading (ISO 8601, UTC, milliseconds), so that players
// of a dynamic manifest keep the server's clock.
class PresentationRoutes : public RouteGroup
{
public:
    static constexpr char const* TimePath = "time";

    PresentationRoutes(ServerContext& Context, RouteTable& Table, AudioCodecsProbe Probe = {}, Clock Now = SystemAbsoluteTime);

    AssetRegistry& Assets() noexcept { return m_Assets; }

private:
    void MasterPlaylist(RouteContext& Context);
    void DashManifest(RouteContext& Context);
    void VideoPlaylist(RouteContext& Context);
    void AudioPlaylist(RouteContext& Context);
    void Key(RouteContext& Context);
    void Time(RouteContext& Context);
    // The request's "now", or the clock.
    std::int64_t ClockReading(RouteContext const& Context) const;

    ServerContext& m_Context;
    Clock m_Clock;
    AssetRegistry m_Assets;
};
} // namespace Application
