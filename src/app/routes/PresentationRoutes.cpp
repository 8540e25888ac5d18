// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/PresentationRoutes.h"

#include <algorithm>
#include <exception>
#include <optional>

#include <boost/asio/post.hpp>

#include "app/routes/ClearKeyRoutes.h"
#include "app/routes/SteeringRoutes.h"
#include "app/answers/ErrorAnswer.h"
#include "app/faults/FaultGate.h"
#include "app/routing/RouteAddress.h"
#include "app/answers/WholeAnswer.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/BlockingReload.h"
#include "presentation/ContentKeys.h"
#include "presentation/OptionTable.h"
#include "presentation/DashManifestWriter.h"
#include "presentation/AdAssets.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/HlsPlaylistWriter.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/SubtitleTrack.h"
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

bool IsLowLatencyLive(Configuration const& Asset)
{
    return Asset.Live && Asset.LowLatency;
}

// The video row a playlist request of Route names, noted in its record;
// nothing when a fault rule has answered the request.
std::optional<VideoVariant> VideoPlaylistRow(RouteContext& Context, char const* Route)
{
    VideoVariant Variant;
    CheckCondition(Context.Asset->VariantSet.ParseVideoVariant(Context.QueryVector, Variant), TRACE_CONTEXT(), FailureCode::VideoPlaylistVariant,
                   "CurrentAsset->VariantSet.ParseVideoVariant(QueryVector, Variant)");
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Playlist;
        Record->Variant = Variant.Index;
    }
    if(FaultGate::Playlist(Context, StringFormat("%s?variant=%u", Route, Variant.Index)))
        return std::nullopt;
    return Variant;
}
} // namespace

PresentationRoutes::PresentationRoutes(ServerContext& Context, RouteTable& Table, AudioCodecsProbe Probe, Clock Now) :
    m_Context(Context),
    m_Clock(std::move(Now)),
    m_Assets(Context.Settings.DefaultVariants, std::move(Probe)),
    m_HeldPlaylists(m_Clock, Context.Metrics, ServerMetrics::Gauge::HeldPlaylists),
    m_Store(Context.Assets ? std::make_unique<AssetStoreThread>(Context.Assets) : nullptr)
{
    Table.SetAssetFinder([this](RouteContext& Request, RouteTable::AssetFound Found) { FindAsset(Request, std::move(Found)); });
    Table.AddRoute("master.m3u8", [this](RouteContext& Request) { MasterPlaylist(Request); });
    Table.AddRoute("manifest.mpd", [this](RouteContext& Request) { DashManifest(Request); });
    Table.AddRoute(TimePath, [this](RouteContext& Request) { Time(Request); });
    Table.AddAssetRoute("key", [this](RouteContext& Request) { Key(Request); });
    Table.AddAssetRoute("video.m3u8", [this](RouteContext& Request) { VideoPlaylist(Request); });
    Table.AddAssetRoute("iframes.m3u8", [this](RouteContext& Request) { IFramePlaylist(Request); });
    Table.AddAssetRoute("audio.m3u8", [this](RouteContext& Request) { AudioPlaylist(Request); });
    Table.AddAssetRoute("subtitles.m3u8", [this](RouteContext& Request) { SubtitlePlaylist(Request); });
    Table.AddAssetRoute("thumbs.m3u8", [this](RouteContext& Request) { ThumbnailPlaylist(Request); });
    Table.AddAssetRoute("adlist.json", [this](RouteContext& Request) { AdList(Request); });
    Table.AddAssetRoute("ad.m3u8", [this](RouteContext& Request) { AdPlaylist(Request); });
}

template <typename AskT, typename ThenT>
void PresentationRoutes::CallStore(RouteContext& Context, AskT Ask, ThenT Then)
{
    auto Request = Context.shared_from_this();
    auto Call = [Request, Ask = std::move(Ask), Then = std::move(Then)](AssetStore& Store, AssetStore::Deadline Until) mutable {
        using Answer = decltype(Ask(Store, Until));
        std::optional<Answer> Result;
        std::exception_ptr Failure;
        try
        {
            Result.emplace(Ask(Store, Until));
        }
        catch(...)
        {
            Failure = std::current_exception();
        }
        auto const Executor = Request->Response->GetExecutor();
        boost::asio::post(Executor, [Request = std::move(Request), Then = std::move(Then), Result = std::move(Result), Failure]() mutable {
            auto& Response = *Request->Response;
            try
            {
                if(Failure)
                    std::rethrow_exception(Failure);
            }
            catch(HResultError const& Error)
            {
                AnswerUnavailable(Response, Error, AssetStore::RetryAfter);
                return;
            }
            catch(std::exception const& Error)
            {
                AnswerUnavailable(Response, HResultError(FailureCode::AssetStoreUnavailable, Error.what()), AssetStore::RetryAfter);
                return;
            }
            try
            {
                Then(*Request, std::move(*Result));
            }
            catch(std::exception const& Error)
            {
                AnswerFailure(Response, Error);
            }
        });
    };
    if(!m_Store->Submit(std::move(Call)))
        AnswerUnavailable(*Context.Response,
                          HResultError(FailureCode::AssetStoreUnavailable,
                                       StringFormat("Asset store: %zu calls are waiting already", AssetStoreThread::MaximalQueuedCalls)),
                          AssetStore::RetryAfter);
}

void PresentationRoutes::ForgetSuspects()
{
    if(auto const Suspect = m_Store->TakeSuspectNumbers())
        m_Assets.Forget(Suspect);
}

void PresentationRoutes::FindAsset(RouteContext& Context, RouteTable::AssetFound Found)
{
    if(!m_Store)
    {
        Found(m_Assets.Find(Context.QueryVector));
        return;
    }
    ForgetSuspects();
    auto const Number = AssetRegistry::AssetNumber(Context.QueryVector);
    if(auto* Asset = m_Assets.Held(Number))
    {
        // Used: it stays in the store, without this request waiting for it.
        if(m_Assets.RefreshDue(Number, std::chrono::steady_clock::now()))
            m_Store->Submit([Number](AssetStore& Store, AssetStore::Deadline Until) { Store.Refresh(Number, Until); });
        Found(*Asset);
        return;
    }
    CallStore(
        Context, [Number](AssetStore& Store, AssetStore::Deadline Until) { return Store.Load(Number, Until); },
        [this, Found = std::move(Found)](RouteContext&, std::optional<StoredAsset> const& Stored) {
            CHECK_CONDITION(Stored.has_value(), FailureCode::AssetUnknown);
            Found(m_Assets.Adopt(*Stored));
        });
}

void PresentationRoutes::MakeAsset(RouteContext& Context, ManifestKind Kind, std::int64_t Now, AssetAnswer Answer)
{
    // The manifest request that makes an asset is its first record.
    auto Made = [Answer = std::move(Answer)](RouteContext& Request, Configuration& Asset) {
        if(auto* Record = Request.Record.get())
        {
            Record->Asset = Asset.Asset;
            Record->Track = RequestTrack::Manifest;
        }
        Answer(Request, Asset);
    };
    if(!m_Store)
    {
        Made(Context, m_Assets.Create(Kind, Context.QueryVector, m_Context.BaseLiveTime, Now));
        return;
    }
    auto Parsed = std::make_shared<AssetRegistry::Parsed>(m_Assets.Parse(Kind, Context.QueryVector, m_Context.BaseLiveTime, Now));
    CallStore(
        Context, [Stored = Parsed->Stored](AssetStore& Store, AssetStore::Deadline Until) { return Store.Add(Stored, Until); },
        [this, Parsed, Made = std::move(Made)](RouteContext& Request, std::uint32_t Number) {
            ForgetSuspects();
            Parsed->Asset.Asset = Number;
            Made(Request, m_Assets.Keep(std::move(Parsed->Asset)));
        });
}

void PresentationRoutes::MasterPlaylist(RouteContext& Context)
{
    std::int64_t const Now = ClockReading(Context);
    MakeAsset(Context, ManifestKind::Hls, Now, [Now](RouteContext& Request, Configuration& Asset) {
        WholeAnswer{PlaylistType, true, "master.m3u8", true, NoStore}.Send(Request, HlsPlaylistWriter::Master(Asset, Now));
    });
}

void PresentationRoutes::DashManifest(RouteContext& Context)
{
    std::int64_t const Now = ClockReading(Context);
    MakeAsset(Context, ManifestKind::Dash, Now, [this, Now](RouteContext& Request, Configuration& Asset) {
        DashManifestWriter Writer(Asset, QueryFlag(Request.QueryVector, "trickplay"), m_Context.Settings.WriteResponseBody,
                                  ClearKeyRoutes::LicenceUrl(Request, Asset.Asset));
        if(IsLowLatencyLive(Asset) || Asset.Dynamic)
            Writer.SetDynamic(Now, RouteAddress(Request, TimePath));
        if(Asset.Steering)
            Writer.SetSteering(SteeringRoutes::ServerUrl(Request, Asset.Asset), RouteAddress(Request, ""));
        WholeAnswer{"application/dash+xml", true, "manifest.mpd.xml", true, NoStore}.Send(Request, Writer.Write());
    });
}

void PresentationRoutes::VideoPlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const Row = VideoPlaylistRow(Context, "video.m3u8");
    if(!Row)
        return;
    auto const& Variant = *Row;
    std::int32_t const ExtraSegments = ExtraVideoSegmentsFromQuery(Context.QueryVector);
    if(auto const Ad = AdAssets::Of(Asset, Context.QueryVector))
    {
        auto const Name = StringFormat("%s video.m3u8 %u", Ad->AssetQuery().c_str(), Variant.Index);
        AnswerShared(Context, Name, MediaPlaylistAnswer("video.m3u8", *Ad, Variant.SegmentDuration),
                     [Identity = *Ad->Advert, Variant](Configuration const& Held, std::int64_t Now, PlaylistSkip) {
                         return HlsPlaylistWriter::Video(AdAssets::Make(Held, Identity.Break, Identity.Number), Variant, 0, Now);
                     });
        return;
    }
    auto const Answer = MediaPlaylistAnswer("video.m3u8", Asset, Variant.SegmentDuration);
    auto const Name = StringFormat("%u video.m3u8 %u %d %s", Asset.Asset, Variant.Index, ExtraSegments, Context.Pathway.c_str());
    PlaylistText const Write = [Variant, ExtraSegments, Pathway = Context.Pathway](Configuration const& Held, std::int64_t Now, PlaylistSkip Skip) {
        return HlsPlaylistWriter::Video(Held, Variant, ExtraSegments, Now, Skip, Pathway);
    };
    if(!IsLowLatencyLive(Asset))
        AnswerShared(Context, Name, Answer, Write);
    else
        AnswerLowLatency(Context, PartLayout::ForVideo(Variant, Asset.PartDuration),
                         Timeline::TargetDuration(Asset.VideoTargetDuration, Variant.SegmentDuration), Name, Answer, Write);
}

void PresentationRoutes::IFramePlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    if(!Asset.IFrames)
        ThrowCheckFailure(FailureCode::IFramesAbsent, TRACE_CONTEXT(), "Asset.IFrames",
                          StringFormat("Asset %u has no I-frame playlists: its master playlist was asked for without \"iframes\"", Asset.Asset));
    auto const Row = VideoPlaylistRow(Context, "iframes.m3u8");
    if(!Row)
        return;
    AnswerShared(Context, StringFormat("%u iframes.m3u8 %u %s", Asset.Asset, Row->Index, Context.Pathway.c_str()),
                 MediaPlaylistAnswer("iframes.m3u8", Asset, Row->SegmentDuration),
                 [Variant = *Row, Pathway = Context.Pathway](Configuration const& Held, std::int64_t Now, PlaylistSkip) {
                     return HlsPlaylistWriter::IFrames(Held, Variant, Now, Pathway);
                 });
}

void PresentationRoutes::AudioPlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    std::size_t const Row = Asset.VariantSet.AudioRowOf(Context.QueryVector);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Playlist;
        // The row, where there is more than one to tell apart.
        if(Asset.VariantSet.AudioVariants.size() > 1)
            Record->Variant = static_cast<std::uint32_t>(Row);
    }
    if(FaultGate::Playlist(Context, "audio.m3u8"))
        return;
    auto const& Variant = Asset.VariantSet.AudioVariants[Row];
    std::int64_t const SegmentDuration = Variant.SegmentDuration;
    if(auto const Ad = AdAssets::Of(Asset, Context.QueryVector))
    {
        AnswerShared(Context, StringFormat("%s audio.m3u8 %zu", Ad->AssetQuery().c_str(), Row), MediaPlaylistAnswer("audio.m3u8", *Ad, SegmentDuration),
                     [Identity = *Ad->Advert, Row](Configuration const& Held, std::int64_t Now, PlaylistSkip) {
                         auto const Made = AdAssets::Make(Held, Identity.Break, Identity.Number);
                         return HlsPlaylistWriter::Audio(Made, Made.VariantSet.AudioVariants[Row], Now);
                     });
        return;
    }
    auto const Answer = MediaPlaylistAnswer("audio.m3u8", Asset, SegmentDuration);
    auto const Name = StringFormat("%u audio.m3u8 %zu %s", Asset.Asset, Row, Context.Pathway.c_str());
    PlaylistText const Write = [Row, Pathway = Context.Pathway](Configuration const& Held, std::int64_t Now, PlaylistSkip Skip) {
        return HlsPlaylistWriter::Audio(Held, Held.VariantSet.AudioVariants[Row], Now, Skip, Pathway);
    };
    if(!IsLowLatencyLive(Asset))
        AnswerShared(Context, Name, Answer, Write);
    else
        AnswerLowLatency(Context, PartLayout::ForAudio(Variant, Asset.PartDuration), Timeline::TargetDuration(Asset.AudioTargetDuration, SegmentDuration),
                         Name, Answer, Write);
}

void PresentationRoutes::AdList(RouteContext& Context)
{
    auto const Break = QueryInteger(Context.QueryVector, "break");
    CHECK_CONDITION(Break.has_value(), FailureCode::BreakUnknown);
    WholeAnswer Answer{"application/json", true, "adlist.json"};
    Answer.CacheControl = "no-cache";
    Answer.Tagged = true;
    // Absolute: players load an asset the list names against their page, not against the list.
    Answer.Send(Context, AdAssets::AssetList(*Context.Asset, static_cast<std::uint32_t>(*Break), RouteAddress(Context, "ad.m3u8")));
}

void PresentationRoutes::AdPlaylist(RouteContext& Context)
{
    // The master playlist of one ad: its own variants and audio, on-demand.
    auto Ad = AdAssets::Of(*Context.Asset, Context.QueryVector);
    CHECK_CONDITION(Ad.has_value(), FailureCode::BreakUnknown);
    auto Answer = MediaPlaylistAnswer("ad.m3u8", *Ad, 0);
    Answer.Send(Context, HlsPlaylistWriter::Master(*Ad, ClockReading(Context)));
}

void PresentationRoutes::SubtitlePlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    auto const& Language = SubtitleTrack::LanguageFromQuery(Context.QueryVector, Asset, std::nullopt);
    if(auto* Record = Context.Record.get())
    {
        Record->Track = RequestTrack::Playlist;
        Record->Variant = SubtitleTrack::Position(Asset, Language);
    }
    if(FaultGate::Playlist(Context, "subtitles.m3u8?lang=" + Language))
        return;
    auto const& Row = SubtitleTrack::VideoRow(Asset);
    auto const Answer = MediaPlaylistAnswer("subtitles.m3u8", Asset, Row.SegmentDuration);
    auto const Name = StringFormat("%u subtitles.m3u8 %s %s", Asset.Asset, Language.c_str(), Context.Pathway.c_str());
    PlaylistText const Write = [Language, Pathway = Context.Pathway](Configuration const& Held, std::int64_t Now, PlaylistSkip Skip) {
        return HlsPlaylistWriter::Subtitles(Held, Language, Now, Skip, Pathway);
    };
    // Low latency: the video row's parts, and blocking reloads as for the media.
    if(!IsLowLatencyLive(Asset))
        AnswerShared(Context, Name, Answer, Write);
    else
        AnswerLowLatency(Context, SubtitleTrack::Parts(Asset), Timeline::TargetDuration(Asset.VideoTargetDuration, Row.SegmentDuration),
                         Name, Answer, Write);
}

void PresentationRoutes::ThumbnailPlaylist(RouteContext& Context)
{
    auto const& Asset = *Context.Asset;
    if(!Asset.Thumbnails)
        ThrowCheckFailure(FailureCode::ThumbnailsAbsent, TRACE_CONTEXT(), "Asset.Thumbnails",
                          StringFormat("Asset %u has no thumbnails: its manifest was asked for without \"thumbs\"", Asset.Asset));
    if(auto* Record = Context.Record.get())
        Record->Track = RequestTrack::Playlist;
    // Whole tiles, low latency or not: they have no parts.
    AnswerShared(Context, StringFormat("%u thumbs.m3u8", Asset.Asset), MediaPlaylistAnswer("thumbs.m3u8", Asset, Asset.Thumbnails->TileDuration()),
                 [](Configuration const& Held, std::int64_t Now, PlaylistSkip) { return HlsPlaylistWriter::Thumbnails(Held, Now); });
}

void PresentationRoutes::AnswerShared(RouteContext& Context, std::string const& Name, WholeAnswer const& Answer, PlaylistText const& Write)
{
    auto const& Asset = *Context.Asset;
    // A live window moves with the clock: within one second, every request
    // gets the text made for the first. One that says what time it is gets
    // the text of that time; an on-demand one never changes.
    std::int64_t const Now = ClockReading(Context);
    std::int64_t const Time = !Asset.Live ? 0 : Context.GivenTime ? Now : Now - Now % TimeUnitsPerSecond;
    auto const Text = m_Playlists.Get(Name + (Context.GivenTime ? " given" : ""), Time, Answer.Tagged,
                                      [&] { return Write(Asset, Now, PlaylistSkip::None); });
    Answer.Send(Context, Text.Bytes, Text.EntityTag);
}

void PresentationRoutes::AnswerLowLatency(RouteContext& Context, PartLayout const& Layout, std::int64_t TargetDuration, std::string const& Name,
                                          WholeAnswer Answer, PlaylistText const& Write)
{
    auto const& Asset = *Context.Asset;
    std::int64_t const Now = ClockReading(Context);
    auto const Directives = DeliveryDirectives::FromQuery(Context.QueryVector);
    if(!Directives.Msn)
    {
        // It changes with every part: caches must ask each time.
        Answer.CacheControl = "no-cache";
        Answer.Send(Context, Write(Asset, Now, Directives.Skip));
        return;
    }
    auto const Decision = BlockingReload::Decide(Layout, TargetDuration, Now - Asset.BaseLiveTime, Directives);
    std::int64_t const Ready = Asset.BaseLiveTime + Decision.Ready;
    switch(Decision.Result)
    {
    case BlockingReload::Outcome::Now:
        Answer.Send(Context, Write(Asset, Now, Directives.Skip));
        return;
    case BlockingReload::Outcome::TooFar:
        ThrowCheckFailure(FailureCode::DeliveryDirectiveTooFar, TRACE_CONTEXT(), "BlockingReload::Decide",
                          "The playlist will not hold that segment or part soon: it lies too far ahead of the live edge");
    case BlockingReload::Outcome::Unavailable:
        AnswerUnavailable(*Context.Response, "The playlist will not hold that segment or part within three target durations");
        return;
    case BlockingReload::Outcome::Hold:
        break;
    }
    // With "now" the answer is the playlist as of the moment the part
    // exists, at once: the same URL gives the same bytes.
    if(Context.GivenTime)
    {
        Answer.Send(Context, Write(Asset, Ready, Directives.Skip));
        return;
    }
    // The asset may be dropped from the registry meanwhile: the hold keeps a
    // copy. Every player waiting for the same part gets the one text of the
    // moment it exists.
    auto const Held = std::make_shared<Configuration const>(Asset);
    auto const Response = Context.Response;
    auto const Key = StringFormat("%s skip %d", Name.c_str(), static_cast<int>(Directives.Skip));
    bool const Holding = m_HeldPlaylists.Hold(Response, Ready, [this, Held, Response, Ready, Answer, Write, Key, Skip = Directives.Skip] {
        try
        {
            auto const Text = m_Playlists.Get(Key, Ready, false, [&] { return Write(*Held, Ready, Skip); });
            Answer.Send(m_Context, *Response, Text.Bytes);
        }
        catch(std::exception const& Failure)
        {
            AnswerFailure(*Response, Failure);
        }
    });
    if(!Holding)
        AnswerUnavailable(*Response, "Too many playlist requests are waiting");
}

void PresentationRoutes::Stop()
{
    m_HeldPlaylists.Stop();
}

std::int64_t PresentationRoutes::ClockReading(RouteContext const& Context) const
{
    return Context.GivenTime ? *Context.GivenTime : m_Clock();
}

void PresentationRoutes::Time(RouteContext& Context)
{
    // A clock read afresh each time: nothing may keep the answer.
    WholeAnswer{"text/plain; charset=utf-8", true, {}, false, NoStore}.Send(Context, Timeline::FormatProgramDateTime(ClockReading(Context)));
}

void PresentationRoutes::Key(RouteContext& Context)
{
    if(Context.Record)
        Context.Record->Track = RequestTrack::Key;
    auto const& Asset = *Context.Asset;
    CHECK_CONDITION(!Asset.Key.empty(), FailureCode::AssetWithoutKey);
    auto const KeyId = QueryHex(Context.QueryVector, OptionTable::Get("kid"));
    if(!KeyId)
    {
        WholeAnswer{"application/octet-stream", true, "key"}.Send(Context, Asset.Key);
        return;
    }
    auto const Found = ContentKeys::Find(Asset, *KeyId);
    if(!Found)
        ThrowCheckFailure(FailureCode::KeyUnknown, TRACE_CONTEXT(), "ContentKeys::Find", "Asset " + std::to_string(Asset.Asset) + " has no key with the ID " +
                                                                                               Configuration::FormatBase16(*KeyId));
    WholeAnswer{"application/octet-stream", true, "key"}.Send(Context, Found->Key);
}
} // namespace Application
