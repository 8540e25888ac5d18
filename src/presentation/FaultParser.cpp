// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/FaultParser.h"

#include <array>
#include <charconv>
#include <optional>
#include <utility>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/SteeringSettings.h"

namespace Application
{
namespace
{
constexpr std::array<std::pair<std::string_view, FaultKind>, 8> Keys{{
    {"fail", FaultKind::Fail},
    {"delay", FaultKind::Delay},
    {"throttle", FaultKind::Throttle},
    {"hang", FaultKind::Hang},
    {"truncate", FaultKind::Truncate},
    {"corrupt", FaultKind::Corrupt},
    {"gap", FaultKind::Gap},
    {"stale", FaultKind::Stale},
}};

[[noreturn]] void Refuse(std::string_view Text, char const* Reason)
{
    ThrowCheckFailure(FailureCode::FaultRuleInvalid, TRACE_CONTEXT(), "FaultParser::ParseRule",
                      StringFormat("Malformed fault rule \"%.*s\": %s", static_cast<int>(Text.size()), Text.data(), Reason));
}

// Plain decimal digits only: a sign, blanks or trailing text are a typing
// error in a rule, never a number.
std::optional<std::uint32_t> Number(std::string_view Text)
{
    std::uint32_t Value = 0;
    auto const Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if(Text.empty() || Result.ec != std::errc() || Result.ptr != Text.data() + Text.size())
        return std::nullopt;
    return Value;
}

std::optional<FaultTrack> Track(std::string_view Text)
{
    if(Text == "video")
        return FaultTrack::Video;
    if(Text == "audio")
        return FaultTrack::Audio;
    if(Text == "any")
        return FaultTrack::Any;
    if(Text == "playlist")
        return FaultTrack::Playlist;
    if(Text == "text")
        return FaultTrack::Text;
    return std::nullopt;
}

std::optional<FaultSelection> Selection(std::string_view Text)
{
    using Form = FaultSelection::Form;
    if(Text == "*")
        return FaultSelection{Form::All};
    if(Text.starts_with('%'))
    {
        auto const Divisor = Number(Text.substr(1));
        if(!Divisor || *Divisor == 0)
            return std::nullopt;
        return FaultSelection{Form::Every, *Divisor};
    }
    if(auto const Dash = Text.find('-'); Dash != std::string_view::npos)
    {
        auto const First = Number(Text.substr(0, Dash));
        auto const Last = Number(Text.substr(Dash + 1));
        if(!First || !Last || *First > *Last)
            return std::nullopt;
        return FaultSelection{Form::Range, *First, *Last};
    }
    auto const Index = Number(Text);
    if(!Index)
        return std::nullopt;
    return FaultSelection{Form::Index, *Index};
}

void ParseFailArgument(FaultRule& Rule, std::string_view Argument)
{
    std::string_view Status = Argument;
    if(auto const Times = Argument.find('x'); Times != std::string_view::npos)
    {
        auto const Count = Number(Argument.substr(Times + 1));
        if(!Count || *Count == 0 || *Count > FaultParser::MaximalCount)
            Refuse(Rule.Text, "the count after \"x\" must be a number from 1 to 1000000");
        Rule.Count = *Count;
        Status = Argument.substr(0, Times);
    }
    auto const Code = Number(Status);
    if(!Code || *Code < 400 || *Code > 599)
        Refuse(Rule.Text, "the status must be a number from 400 to 599");
    Rule.Value = *Code;
}

void ParseArgument(FaultRule& Rule, std::string_view Argument)
{
    switch(Rule.Kind)
    {
    case FaultKind::Fail:
        ParseFailArgument(Rule, Argument);
        return;
    case FaultKind::Delay:
    case FaultKind::Stale:
    {
        auto const Milliseconds = Number(Argument);
        if(!Milliseconds || *Milliseconds > FaultParser::MaximalMilliseconds || (Rule.Kind == FaultKind::Stale && *Milliseconds == 0))
            Refuse(Rule.Text, "the time must be a number of milliseconds up to 600000");
        Rule.Value = *Milliseconds;
        return;
    }
    case FaultKind::Throttle:
    {
        auto const Rate = Number(Argument);
        if(!Rate || *Rate == 0)
            Refuse(Rule.Text, "the rate must be a number of bytes per second from 1");
        Rule.Value = *Rate;
        return;
    }
    case FaultKind::Truncate:
    {
        Rule.Percent = Argument.ends_with('%');
        auto const Amount = Number(Rule.Percent ? Argument.substr(0, Argument.size() - 1) : Argument);
        if(!Amount || (Rule.Percent && *Amount >= 100))
            Refuse(Rule.Text, "the length must be a number of bytes or a percentage below 100");
        Rule.Value = *Amount;
        return;
    }
    case FaultKind::Hang:
    case FaultKind::Corrupt:
    case FaultKind::Gap:
        if(!Argument.empty())
            Refuse(Rule.Text, "this kind takes no argument before \"@\"");
        return;
    }
}

// Kinds that only make sense for one sort of request.
void CheckTrack(FaultRule const& Rule)
{
    bool const Playlist = Rule.Track == FaultTrack::Playlist;
    if(Rule.Kind == FaultKind::Stale && !Playlist)
        Refuse(Rule.Text, "stale applies to playlists only");
    if((Rule.Kind == FaultKind::Corrupt || Rule.Kind == FaultKind::Gap) && Playlist)
        Refuse(Rule.Text, "this kind applies to media segments only");
}
} // namespace

FaultRule FaultParser::ParseRule(FaultKind Kind, std::string_view Key, std::string_view Text)
{
    FaultRule Rule;
    Rule.Kind = Kind;
    Rule.Text = std::string(Key) + "=" + std::string(Text);
    auto const At = Text.rfind('@');
    if(At == std::string_view::npos)
        Refuse(Rule.Text, "the form is KIND=ARG@TRACK:SELECTION or KIND=ARG@TRACK:SELECTION:PATHWAY");
    std::string_view const Target = Text.substr(At + 1);
    auto const Colon = Target.find(':');
    if(Colon == std::string_view::npos)
        Refuse(Rule.Text, "the form is KIND=ARG@TRACK:SELECTION or KIND=ARG@TRACK:SELECTION:PATHWAY");
    auto const RuleTrack = Track(Target.substr(0, Colon));
    if(!RuleTrack)
        Refuse(Rule.Text, "the track must be video, audio, text, any or playlist");
    Rule.Track = *RuleTrack;
    // A third field limits the rule to one pathway of content steering.
    std::string_view Selected = Target.substr(Colon + 1);
    if(auto const Second = Selected.find(':'); Second != std::string_view::npos)
    {
        Rule.Pathway = Selected.substr(Second + 1);
        if(!SteeringSettings::IsName(Rule.Pathway))
            Refuse(Rule.Text, "the pathway after the selection is a name of letters and digits");
        Selected = Selected.substr(0, Second);
    }
    auto const RuleSelection = Selection(Selected);
    if(!RuleSelection)
        Refuse(Rule.Text, "the selection must be a number, a range N-M, * or %K");
    Rule.Selection = *RuleSelection;
    ParseArgument(Rule, Text.substr(0, At));
    CheckTrack(Rule);
    return Rule;
}

std::vector<FaultRule> FaultParser::Parse(QueryVector const& Query)
{
    std::vector<FaultRule> Rules;
    for(auto const& Pair : Query)
        for(auto const& [Key, Kind] : Keys)
        {
            if(Pair.Name != Key)
                continue;
            std::string_view Rest = Pair.Value;
            while(true)
            {
                auto const Comma = Rest.find(',');
                Rules.push_back(ParseRule(Kind, Key, Rest.substr(0, Comma)));
                if(Rules.size() > MaximalRuleCount)
                    Refuse(Rules.back().Text, "an asset takes at most 32 fault rules");
                if(Comma == std::string_view::npos)
                    break;
                Rest.remove_prefix(Comma + 1);
            }
        }
    return Rules;
}

std::vector<FaultRule> FaultParser::Parse(QueryReads& Query)
{
    for(auto const& Key : Keys)
        Query.NoteEvery(Key.first);
    return Parse(Query.All());
}
std::string_view FaultParser::KeyOf(FaultKind Kind) noexcept
{
    for(auto const& [Key, Named] : Keys)
        if(Named == Kind)
            return Key;
    return {};
}
} // namespace Application
