// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/live/HeldRequests.h"
#include "app/production/PlaylistCache.h"
#include "app/routing/RouteGroup.h"
#include "app/answers/WholeAnswer.h"
#include "presentation/AssetRegistry.h"
#include "presentation/AssetStoreThread.h"
#include "presentation/Clock.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/PartLayout.h"

namespace Application
{
// The manifests and what they refer to besides media: "master.m3u8" and
// "manifest.mpd" create assets, "video.m3u8", "audio.m3u8", "thumbs.m3u8" and "key" read
// them. The group owns the asset registry and finds the asset of every asset
// route. Each request reads the clock once, or takes its "now" instead;
// "time" tells that reading (ISO 8601, UTC, milliseconds), so that players
// of a dynamic manifest keep the server's clock. The media playlists of a
// live "ll" asset answer blocking reloads: held on a timer until the part
// they name exists.
//
// With a shared asset store (-AssetStore) the store is asked on the group's
// store thread, never on the I/O thread: a manifest parses its query first
// (a bad one fails at once, spending no number), then waits for its number;
// a request naming an asset this instance does not hold waits for the store
// to load it. Both go on on the I/O thread when the store answers; a store
// that fails or takes longer than AssetStore::CallTime is answered 503 with
// "Retry-After". Assets this instance holds never wait for the store.
class PresentationRoutes : public RouteGroup
{
public:
    static constexpr char const* TimePath = "time";

    PresentationRoutes(ServerContext& Context, RouteTable& Table, AudioCodecsProbe Probe = {}, Clock Now = SystemAbsoluteTime);

    AssetRegistry& Assets() noexcept { return m_Assets; }
    void Stop() override;

private:
    using AssetAnswer = std::function<void(RouteContext& Context, Configuration& Asset)>;
    // Drops the assets whose numbers a store that forgot them may have
    // given again (AssetStore::Check).
    void ForgetSuspects();
    // The asset of an asset route: held here, or loaded from the store.
    void FindAsset(RouteContext& Context, RouteTable::AssetFound Found);
    // A new asset of a manifest request, numbered and saved, then Answer.
    void MakeAsset(RouteContext& Context, ManifestKind Kind, std::int64_t Now, AssetAnswer Answer);
    // Runs Ask on the store thread and Then with its answer on the I/O
    // thread, the context kept until then; a store that fails is answered 503.
    template <typename AskT, typename ThenT>
    void CallStore(RouteContext& Context, AskT Ask, ThenT Then);
    void MasterPlaylist(RouteContext& Context);
    void DashManifest(RouteContext& Context);
    void VideoPlaylist(RouteContext& Context);
    void IFramePlaylist(RouteContext& Context);
    void AudioPlaylist(RouteContext& Context);
    void SubtitlePlaylist(RouteContext& Context);
    // "thumbs.m3u8?asset=N": the image playlist of an asset with "thumbs".
    void ThumbnailPlaylist(RouteContext& Context);
    // "adlist.json?asset=N&break=K": the ads of a break, as HLS interstitials
    // name their assets; "ad.m3u8?asset=N&break=K&ad=I": an ad's master playlist.
    void AdList(RouteContext& Context);
    void AdPlaylist(RouteContext& Context);
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
    // With a shared asset store; its calls may post to responses held by
    // the I/O loop, so it ends with the group.
    std::unique_ptr<AssetStoreThread> m_Store;
};
} // namespace Application
