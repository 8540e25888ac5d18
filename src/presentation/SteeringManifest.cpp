// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SteeringManifest.h"

#include <algorithm>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/JsonText.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// The largest throughput taken: what a double holds exactly, far beyond any link.
constexpr std::uint64_t MaximalThroughput = 9'007'199'254'740'992;

[[noreturn]] void Refuse(std::string_view Key, std::string_view Value, char const* Reason)
{
    ThrowCheckFailure(FailureCode::SteeringInvalid, TRACE_CONTEXT(), "SteeringManifest::ReportOf",
                      StringFormat("Invalid \"%.*s\" \"%.*s\": %s", static_cast<int>(Key.size()), Key.data(),
                                   static_cast<int>(std::min<std::size_t>(Value.size(), QueryOption::QuotedCharacters)), Value.data(), Reason));
}

std::vector<std::string_view> Split(std::string_view Text)
{
    std::vector<std::string_view> Items;
    for(std::string_view Rest = Text;;)
    {
        auto const Comma = Rest.find(',');
        Items.push_back(Rest.substr(0, Comma));
        if(Comma == std::string_view::npos)
            return Items;
        Rest.remove_prefix(Comma + 1);
    }
}

std::string const& KnownPathway(Configuration const& Asset, std::string_view Key, std::string_view Name)
{
    if(!SteeringSettings::IsName(Name))
        Refuse(Key, Name, "a pathway is named by letters and digits");
    auto const& Pathways = Asset.Steering->Pathways;
    auto const Found = std::find(Pathways.begin(), Pathways.end(), Name);
    if(Found == Pathways.end())
        ThrowCheckFailure(FailureCode::PathwayUnknown, TRACE_CONTEXT(), "SteeringManifest::ReportOf",
                          StringFormat("Invalid \"%.*s\": asset %u has no pathway \"%.*s\"", static_cast<int>(Key.size()), Key.data(), Asset.Asset,
                                       static_cast<int>(Name.size()), Name.data()));
    return *Found;
}

std::optional<std::uint64_t> Throughput(std::string_view Key, std::string_view Text)
{
    if(Text.empty())
        return std::nullopt;
    auto const Value = ParseDecimal(Text, MaximalThroughput);
    if(!Value)
        Refuse(Key, Text, "a throughput is decimal digits, bits per second");
    return Value;
}

// "_DASH_pathway": the locations used since the last manifest, quoted as
// one list, and their throughputs in the same order.
SteeringManifest::Report DashReport(Configuration const& Asset, std::string_view Locations, QueryStringNameValue const* Throughputs)
{
    constexpr std::string_view Key = "_DASH_pathway";
    std::string_view List = Locations;
    if(List.size() >= 2 && List.front() == '"' && List.back() == '"')
        List = List.substr(1, List.size() - 2);
    auto const Names = Split(List);
    if(Names.size() > SteeringSettings::MaximalPathways)
        Refuse(Key, Locations, "more locations than the asset has pathways");
    SteeringManifest::Report Result;
    for(auto const Name : Names)
        Result.Pathway = KnownPathway(Asset, Key, Name);
    if(Throughputs)
    {
        auto const Values = Split(Throughputs->Value);
        if(Values.size() != Names.size())
            Refuse("_DASH_throughput", Throughputs->Value, "one throughput (or none) for each location of \"_DASH_pathway\"");
        for(auto const Value : Values)
            Result.Throughput = Throughput("_DASH_throughput", Value);
    }
    return Result;
}
} // namespace

std::optional<SteeringManifest::Report> SteeringManifest::ReportOf(QueryVector const& Query, Configuration const& Asset)
{
    CHECK_CONDITION(Asset.Steering.has_value(), FailureCode::PathwayUnknown);
    if(auto const* Locations = FindOption(Query, "_DASH_pathway"))
        return DashReport(Asset, Locations->Value, FindOption(Query, "_DASH_throughput"));
    auto const* Pathway = FindOption(Query, "_HLS_pathway");
    if(!Pathway)
        return std::nullopt;
    Report Result{KnownPathway(Asset, "_HLS_pathway", Pathway->Value), std::nullopt};
    if(auto const Measured = QueryInteger(Query, "_HLS_throughput"))
        Result.Throughput = static_cast<std::uint64_t>(*Measured);
    return Result;
}

std::string SteeringManifest::Write(Configuration const& Asset, std::int64_t Now, std::optional<std::string_view> Prefer, std::string const& Address)
{
    CHECK_CONDITION(Asset.Steering.has_value(), FailureCode::PathwayUnknown);
    auto const& Settings = *Asset.Steering;
    // Names are letters and digits: quoted as they are.
    std::string Priority = "[";
    for(auto const& Name : Settings.Priority(Now - Asset.BaseLiveTime))
        ((Priority += Priority.size() > 1 ? ",\"" : "\"") += Name) += "\"";
    Priority += "]";
    // A client that was told what to prefer keeps saying so; one that
    // cleared the preference does not clear it again at every reload.
    std::string Reload = StringFormat("%s?asset=%u", Address.c_str(), Asset.Asset);
    if(Prefer && !Prefer->empty())
        Reload += "&prefer=" + std::string(*Prefer);
    std::string Text = StringFormat("{\"VERSION\":1,\"TTL\":%lld,\"RELOAD-URI\":%s,\"PATHWAY-PRIORITY\":%s", static_cast<long long>(Settings.TimeToLive),
                                    JsonString(Reload).c_str(), Priority.c_str());
    if(Settings.Dash)
        Text += ",\"SERVICE-LOCATION-PRIORITY\":" + Priority;
    return Text + "}\n";
}
} // namespace Application
