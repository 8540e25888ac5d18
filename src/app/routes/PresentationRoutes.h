// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <string>

#include "app/live/HeldRequests.h"
#include "app/production/PlaylistCache.h"
#include "app/routing/RouteGroup.h"
#include "app/answers/WholeAnswer.h"
#include "presentation/AssetRegistry.h"
#include "presentation/Clock.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/PartLayout.h"

namespace Application
{
// The manifests and what they refer to besides media: "master.m3u8" and
// "manifest.mpd" create assets, "video.m3u8", "audio.m3u8" and "key" read
// them. The group owns the asset registry and finds the asset of every asset
// route. Each request reads the clock once, or takes its "now" instead;
// "time" tells that reading (ISO 8601, UTC, milliseconds), so that players
// of a dynamic manifest keep the server's clock. The media playlists of a
// live "ll" asset answer blocking reloads: held on a timer until the part
// they name exists.
class PresentationRoutes : public RouteGroup
{
public:
    static constexpr char const* TimePath = "time";

    PresentationRoutes(ServerContext& Context, RouteTable& Table, AudioCodecsProbe Probe = {}, Clock Now = SystemAbsoluteTime);

    AssetRegistry& Assets() noexcept { return m_Assets; }
    void Stop() override;

private:
    void MasterPlaylist(RouteContext& Context);
    void DashManifest(RouteContext& Context);
    void VideoPlaylist(RouteContext& Context);
    void AudioPlaylist(RouteContext& Context);
    void Key(RouteContext& Context);
    void Time(RouteContext& Context);
    // A media playlist of a live "ll" asset, as of a time.
    using PlaylistText = std::function<std::string(Configuration const& Asset, std::int64_t Now, PlaylistSkip Skip)>;
    // A media playlist made once for every request that wants it as of the
    // same time (PlaylistCache); Name says which.
    void AnswerShared(RouteContext& Context, std::string const& Name, WholeAnswer const& Answer, PlaylistText const& Write);
    // Answers at once, or with "_HLS_msn" once the playlist holds what it names.
    void AnswerLowLatency(RouteContext& Context, PartLayout const& Layout, std::int64_t TargetDuration, std::string const& Name, WholeAnswer Answer,
                          PlaylistText const& Write);
    // The request's "now", or the clock.
    std::int64_t ClockReading(RouteContext const& Context) const;

    ServerContext& m_Context;
    Clock m_Clock;
    AssetRegistry m_Assets;
    PlaylistCache m_Playlists;
    HeldRequests m_HeldPlaylists;
};
} // namespace Application
