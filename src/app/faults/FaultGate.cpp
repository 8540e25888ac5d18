// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/faults/FaultGate.h"

#include <algorithm>

#include <boost/beast/http/status.hpp>

#include "app/answers/CrossOriginHeaders.h"
#include "app/answers/ErrorAnswer.h"
#include "app/faults/FaultEdge.h"
#include "app/answers/WholeAnswer.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "presentation/Clock.h"
#include "presentation/Configuration.h"
#include "presentation/FaultParser.h"

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
    Result.Segment = Target.Track == FaultTrack::Video || Target.Track == FaultTrack::Audio || Target.Track == FaultTrack::Text;
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

// Fires the rules for Target; true when the request was answered here.
bool Apply(RouteContext& Context, FaultPlan& Plan, FaultTarget const& Target)
{
    auto Fired = Plan.Fire(Target.Track, Target.Variant, Target.Number, Context.Pathway);
    std::optional<std::string> Repeated;
    std::int64_t const Now = Context.GivenTime.value_or(SystemAbsoluteTime());
    if(Target.Track == FaultTrack::Playlist)
        if(auto const Stale = Plan.StaleRule(Target.Number, Context.Pathway))
            if((Repeated = Plan.RepeatedPlaylist(Target.PlaylistKey, Now, std::int64_t{Stale->Value} * TimeUnitsPerMillisecond)))
                Fired.push_back(*Stale);
    auto Effects = EffectsOf(Fired, Target);
    // Every fresh playlist is remembered, so that a stale one can repeat it.
    if(Target.Track == FaultTrack::Playlist && !Repeated && Plan.HasStaleRules())
        Effects.RecordBody = [Plan = Context.Asset->Faults, Key = Target.PlaylistKey, Now](std::string Body) { Plan->RememberPlaylist(Key, Now, std::move(Body)); };
    if(Fired.empty() && !Effects.RecordBody)
        return false;
    // The log names the fault that decides the answer: a status one, else the first.
    if(Context.Record && !Fired.empty())
    {
        auto const Deciding = std::find_if(Fired.begin(), Fired.end(), [](FaultRule const& Rule) { return Rule.Kind == FaultKind::Fail || Rule.Kind == FaultKind::Gap; });
        Context.Record->Fault = FaultParser::KeyOf((Deciding != Fired.end() ? *Deciding : Fired.front()).Kind);
    }
    for(auto const& Rule : Fired)
        TRACE("Fault %s on %.*s, number %u%s%s\n", Rule.Text.c_str(), static_cast<int>(Context.Path.size()), Context.Path.data(), Target.Number,
              Context.Pathway.empty() ? "" : ", pathway ", Context.Pathway.c_str());
    // A client holds only its share of answers held back on purpose.
    if(Effects.Holds() && !Context.Response->Hold(true))
    {
        AnswerUnavailable(*Context.Response, "Too many answers are held back for this client");
        return true;
    }
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
} // namespace

bool FaultGate::Segment(RouteContext& Context, FaultTrack Track, std::uint32_t Variant, std::uint32_t Number)
{
    auto const Plan = Context.Asset->Faults;
    return Plan && Apply(Context, *Plan, {Track, Variant, Number, {}});
}

bool FaultGate::Playlist(RouteContext& Context, std::string PlaylistKey)
{
    auto const Plan = Context.Asset->Faults;
    // Each pathway's playlists name its own addresses: a stale one repeats its own.
    if(!Context.Pathway.empty())
        PlaylistKey += "&pathway=" + Context.Pathway;
    return Plan && Apply(Context, *Plan, {FaultTrack::Playlist, 0, Plan->NextPlaylistRequest(), std::move(PlaylistKey)});
}
} // namespace Application
