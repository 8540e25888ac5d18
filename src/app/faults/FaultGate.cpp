// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/faults/FaultGate.h"

#include <boost/beast/http/status.hpp>

#include "app/answers/CrossOriginHeaders.h"
#include "app/faults/FaultEdge.h"
#include "app/answers/WholeAnswer.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "presentation/Configuration.h"
#include "presentation/RequestTime.h"
#include "presentation/SegmentIndex.h"

namespace Application
{
namespace
{
constexpr std::int64_t TimeUnitsPerMillisecond = 10'000;

// What a request is, as far as fault rules are concerned.
struct FaultTarget
{
    FaultTrack Track = FaultTrack::Any;
    std::uint32_t Variant = 0;
    std::uint32_t Number = 0;
    std::string PlaylistKey; // playlists: the URL's playlist, for "stale"
};

std::optional<std::uint32_t> VideoVariantIndex(RouteContext const& Context)
{
    // A variant that does not parse is left to the route to report.
    try
    {
        VideoVariant Variant;
        if(Context.Asset->VariantSet.ParseVideoVariant(Context.QueryVector, Variant))
            return Variant.Index;
    }
    catch(std::exception const&)
    {
    }
    return std::nullopt;
}

std::optional<FaultTarget> Identify(RouteContext const& Context, FaultPlan& Plan)
{
    auto const& Path = Context.Path;
    if(Path == "video-body.mp4" || Path == "audio-body.mp4")
    {
        bool const Video = Path == "video-body.mp4";
        auto const Variant = Video ? VideoVariantIndex(Context) : std::optional<std::uint32_t>(0);
        auto const Index = Variant ? SegmentIndexFromQuery(Context.QueryVector, *Context.Asset, Video ? SegmentTrack::Video : SegmentTrack::Audio, *Variant) : std::nullopt;
        if(!Variant || !Index)
            return std::nullopt;
        return FaultTarget{Video ? FaultTrack::Video : FaultTrack::Audio, *Variant, *Index, {}};
    }
    if(Path == "video.m3u8" || Path == "audio.m3u8")
    {
        std::string Key(Path);
        if(Path == "video.m3u8")
        {
            auto const Variant = VideoVariantIndex(Context);
            if(!Variant)
                return std::nullopt;
            Key += StringFormat("?variant=%u", *Variant);
        }
        return FaultTarget{FaultTrack::Playlist, 0, Plan.NextPlaylistRequest(), std::move(Key)};
    }
    return std::nullopt;
}

std::string Names(std::vector<FaultRule> const& Rules)
{
    std::string Text;
    for(auto const& Rule : Rules)
        Text += (Text.empty() ? "" : ", ") + Rule.Text;
    return Text;
}

FaultEffects EffectsOf(std::vector<FaultRule> const& Fired, FaultTarget const& Target)
{
    FaultEffects Result;
    Result.Names = Names(Fired);
    Result.LengthPrefixedUnits = Target.Track == FaultTrack::Video;
    Result.Segment = Target.Track == FaultTrack::Video || Target.Track == FaultTrack::Audio;
    for(auto const& Rule : Fired)
        switch(Rule.Kind)
        {
        case FaultKind::Delay:
            Result.DelayMilliseconds = std::max(Result.DelayMilliseconds, Rule.Value);
            break;
        case FaultKind::Throttle:
            Result.BytesPerSecond = Result.BytesPerSecond == 0 ? Rule.Value : std::min(Result.BytesPerSecond, Rule.Value);
            break;
        case FaultKind::Hang:
            Result.Hang = true;
            break;
        case FaultKind::Truncate:
            Result.Truncate = Rule;
            break;
        case FaultKind::Corrupt:
            Result.Corrupt = true;
            break;
        case FaultKind::Fail:
        case FaultKind::Gap:
        case FaultKind::Stale:
            break;
        }
    return Result;
}

std::string ReasonPhrase(unsigned Status)
{
    auto const Reason = boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(Status));
    return Reason.starts_with('<') ? std::string("Deliberate Fault") : std::string(Reason.data(), Reason.size());
}

void AnswerStatus(RouteContext& Context, unsigned Status, FaultRule const& Rule)
{
    auto& Response = *Context.Response;
    Response.SetStatus(Status, ReasonPhrase(Status));
    Response.SetKnownHeader(HttpServer::KnownHeader::ContentType, "text/plain; charset=utf-8");
    // Players see the status itself only when the answer may be shown to their page.
    AddCrossOriginHeaders(Response);
    Response.AddEntityChunk(StringFormat("Deliberate fault %s\n", Rule.Text.c_str()));
    Response.Send();
}
} // namespace

bool FaultGate::Answer(RouteContext& Context)
{
    auto const Plan = Context.Asset->Faults;
    if(!Plan)
        return false;
    auto const Target = Identify(Context, *Plan);
    if(!Target)
        return false;
    auto Fired = Plan->Fire(Target->Track, Target->Variant, Target->Number);
    std::optional<std::string> Repeated;
    std::int64_t const Now = RequestTime::Read(Context.QueryVector, SystemAbsoluteTime);
    if(Target->Track == FaultTrack::Playlist)
        if(auto const Stale = Plan->StaleRule(Target->Number))
            if((Repeated = Plan->RepeatedPlaylist(Target->PlaylistKey, Now, std::int64_t{Stale->Value} * TimeUnitsPerMillisecond)))
                Fired.push_back(*Stale);
    auto Effects = EffectsOf(Fired, *Target);
    // Every fresh playlist is remembered, so that a stale one can repeat it.
    if(Target->Track == FaultTrack::Playlist && !Repeated && Plan->HasStaleRules())
        Effects.RecordBody = [Plan, Key = Target->PlaylistKey, Now](std::string Body) { Plan->RememberPlaylist(Key, Now, std::move(Body)); };
    if(Fired.empty() && !Effects.RecordBody)
        return false;
    for(auto const& Rule : Fired)
        TRACE("Fault %s on %.*s, number %u\n", Rule.Text.c_str(), static_cast<int>(Context.Path.size()), Context.Path.data(), Target->Number);
    Context.Response->SetEdge(std::make_shared<FaultEdge>(std::move(Effects)));
    for(auto const& Rule : Fired)
        if(Rule.Kind == FaultKind::Fail || Rule.Kind == FaultKind::Gap)
        {
            AnswerStatus(Context, Rule.Kind == FaultKind::Fail ? Rule.Value : 404, Rule);
            return true;
        }
    if(Repeated)
    {
        WholeAnswer{"application/vnd.apple.mpegURL", true}.Send(Context, std::move(*Repeated));
        return true;
    }
    return false;
}
} // namespace Application
