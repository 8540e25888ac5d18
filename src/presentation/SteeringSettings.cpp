// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/SteeringSettings.h"

#include <algorithm>
#include <cctype>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/Configuration.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
[[noreturn]] void Refuse(std::string_view Text, std::string const& Reason)
{
    ThrowCheckFailure(FailureCode::SteeringInvalid, TRACE_CONTEXT(), "SteeringSettings::ParseNames",
                      StringFormat("Invalid \"steer\" \"%.*s\": %s", static_cast<int>(std::min<std::size_t>(Text.size(), 80)), Text.data(), Reason.c_str()));
}
} // namespace

bool SteeringSettings::IsName(std::string_view Text) noexcept
{
    return !Text.empty() && Text.size() <= MaximalNameLength &&
           std::all_of(Text.begin(), Text.end(), [](char Character) { return std::isalnum(static_cast<unsigned char>(Character)) != 0; });
}

std::vector<std::string> SteeringSettings::ParseNames(std::string_view Text)
{
    std::vector<std::string> Names;
    for(std::string_view Rest = Text;;)
    {
        auto const Comma = Rest.find(',');
        auto const Name = Rest.substr(0, Comma);
        if(!IsName(Name))
            Refuse(Text, StringFormat("a pathway is named by 1 to %zu letters and digits", MaximalNameLength));
        if(std::find(Names.begin(), Names.end(), Name) != Names.end())
            Refuse(Text, "the pathway \"" + std::string(Name) + "\" is given twice");
        if(Names.size() == MaximalPathways)
            Refuse(Text, StringFormat("at most %zu pathways", MaximalPathways));
        Names.emplace_back(Name);
        if(Comma == std::string_view::npos)
            return Names;
        Rest.remove_prefix(Comma + 1);
    }
}

bool SteeringSettings::Has(std::string_view Name) const noexcept
{
    return std::find(Pathways.begin(), Pathways.end(), Name) != Pathways.end();
}

void SteeringSettings::Prefer(std::string_view Name)
{
    if(!Name.empty() && !Has(Name))
        ThrowCheckFailure(FailureCode::PathwayUnknown, TRACE_CONTEXT(), "SteeringSettings::Prefer",
                          StringFormat("Invalid \"prefer\" \"%.*s\": the pathways are %s", static_cast<int>(std::min<std::size_t>(Name.size(), 40)), Name.data(),
                                       Join(Pathways, ",").c_str()));
    Preferred = Name;
}

std::vector<std::string> SteeringSettings::Priority(std::int64_t Elapsed) const
{
    auto Order = Pathways;
    // The others keep their order behind the preferred one.
    if(auto const Found = std::find(Order.begin(), Order.end(), Preferred); !Preferred.empty() && Found != Order.end())
    {
        std::rotate(Order.begin(), Found, Found + 1);
        return Order;
    }
    if(RotatePeriod && !Order.empty())
    {
        // Turns counted down before the clock's origin too (a "now" before
        // the asset began), so the schedule never jumps at its origin.
        std::int64_t Turn = Elapsed / *RotatePeriod;
        if(Elapsed % *RotatePeriod < 0)
            --Turn;
        auto const Count = static_cast<std::int64_t>(Order.size());
        std::rotate(Order.begin(), Order.begin() + ((Turn % Count) + Count) % Count, Order.end());
    }
    return Order;
}

std::string RequestPathway(QueryVector const& Query, Configuration const& Asset)
{
    auto const* Pair = FindOption(Query, "pathway");
    if(!Pair)
        return {};
    if(!Asset.Steering || !Asset.Steering->Has(Pair->Value))
        ThrowCheckFailure(FailureCode::PathwayUnknown, TRACE_CONTEXT(), "Asset.Steering->Has(pathway)",
                          StringFormat("Asset %u has no pathway \"%.*s\"%s", Asset.Asset, static_cast<int>(std::min<std::size_t>(Pair->Value.size(), 40)),
                                       Pair->Value.data(), Asset.Steering ? ("; its pathways are " + Join(Asset.Steering->Pathways, ",")).c_str() : " (no \"steer\")"));
    return Pair->Value;
}
} // namespace Application
