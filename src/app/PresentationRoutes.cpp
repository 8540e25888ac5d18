// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/PresentationRoutes.h"

#include "app/ClearKeyRoutes.h"
#include "app/RouteAddress.h"
#include "app/WholeAnswer.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/QueryNumbers.h"
#include "presentation/RequestTime.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
constexpr char const* PlaylistType = "application/vnd.apple.mpegURL";
// Every manifest request makes a new asset: no cache may answer one for it.
constexpr char const* NoStore = "no-store";

// A live playlist changes every segment duration D: caches may keep it for
// at most half of that, so a player is never a whole segment late. An
// on-demand one never changes, but its asset number means another asset
// after a restart: caches ask again, and its entity tag makes that cheap.
WholeAnswer MediaPlaylistAnswer(char const* FileName, Configuration const& Asset, std::int64_t SegmentDuration)
{
    WholeAnswer Answer{PlaylistType, true, FileName};
    if(Asset.Live)
        Answer.CacheControl = StringFormat("max-age=%lld", static_cast<long long>(SegmentDuration / 2 / TimeUnitsPerSecond));
    else
    {
        Answer.CacheControl = "no-cache";
        Answer.Tagged = true;
    }
    return Answer;
}
} // namespace

PresentationRoutes::PresentationRoutes(ServerContext& Context, RouteTable& Table, AudioCodecsProbe Probe, Clock Now) :
    m_Context(Context), m_Clock(std::move(Now)), m_Assets(Context.Settings.DefaultVariants, std::move(Probe), AssetRegistry::MaximalAssetCount, Context.Assets)
{
    Table.SetAssetFinder([this](RouteContext& Request) -> Configuration& { return m_Assets.Find(Request.QueryVector); });
    Table.AddRoute("master.m3u8", [this](RouteContext& Request) { MasterPlaylist(Request); });
    Table.AddRoute("manifest.mpd", [this](RouteContext& Request) { DashManifest(Request); });
    Table.AddRoute(TimePath, [this](RouteContext& Request) { Time(Request); });
    Table.AddAssetRoute("key", [this](RouteContext& Request) { Key(Request); });
    Table.AddAssetRoute("video.m3u8", [this](RouteContext& Request) { VideoPlaylist(Request); });
    Table.AddAssetRoute("audio.m3u8", [this](RouteContext& Request) { AudioPlaylist(Request); });
}

void PresentationRoutes::MasterPlaylist(RouteContext& Context)
{
    std::int64_t const Now = ClockReading(Context);
    auto& Asset = m_Assets.Create(ManifestKind::Hls, Context.QueryVector, m_Context.BaseLiveTime, Now);
    WholeAnswer{PlaylistType, true, "master.m3u8", true, NoStore}.Send(Context, HlsPlaylistWriter::Master(Asset, Now));
}

void PresentationRoutes::DashManifest(RouteContext& Context)
{
    std::int64_t const Now = ClockReading(Context);
    auto const& Asset = m_Assets.Create(ManifestKind::Dash, Context.QueryVector, m_Context.BaseLiveTime, Now);
    DashManifestWriter Writer(Asset, QueryFlag(Context.QueryVector, "trickplay"), m_Context.Settings.WriteResponseBody,
                              ClearKeyRoutes::LicenceUrl(Context, Asset.Asset));
    if(Asset.Live && Asset.LowLatency)
        Writer.SetDynamic(Now, RouteAddress(Context, TimePath));
    WholeAnswer{"application/dash+xml", true, "manifest.mpd.xml", true, NoStore}.Send(Context, Writer.Write());
}

void PresentationRoutes::VideoPlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    VideoVariant Variant;
    CheckCondition(Asset.VariantSet.ParseVideoVariant(Context.QueryVector, Variant), TRACE_CONTEXT(), FailureCode::VideoPlaylistVariant,
                   "CurrentAsset->VariantSet.ParseVideoVariant(QueryVector, Variant)");
    std::int32_t const ExtraSegments = QueryInteger(Context.QueryVector, "extra-video-segments").value_or(0);
    MediaPlaylistAnswer("video.m3u8", Asset, Variant.SegmentDuration)
        .Send(Context, HlsPlaylistWriter::Video(Asset, Variant, ExtraSegments, ClockReading(Context)));
}

void PresentationRoutes::AudioPlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& AudioVariants = Asset.VariantSet.AudioVariants;
    std::int64_t const SegmentDuration = AudioVariants.empty() ? 0 : AudioVariants.front().SegmentDuration;
    MediaPlaylistAnswer("audio.m3u8", Asset, SegmentDuration).Send(Context, HlsPlaylistWriter::Audio(Asset, ClockReading(Context)));
}

std::int64_t PresentationRoutes::ClockReading(RouteContext const& Context) const
{
    return RequestTime::Read(Context.QueryVector, m_Clock);
}

void PresentationRoutes::Time(RouteContext& Context)
{
    // A clock read afresh each time: nothing may keep the answer.
    WholeAnswer{"text/plain; charset=utf-8", true, {}, false, NoStore}.Send(Context, Timeline::FormatProgramDateTime(ClockReading(Context)));
}

void PresentationRoutes::Key(RouteContext& Context)
{
    auto const& Key = Context.Asset->Key;
    CHECK_CONDITION(!Key.empty(), FailureCode::AssetWithoutKey);
    WholeAnswer{"application/octet-stream", true, "key"}.Send(Context, Key);
}
} // namespace Application
