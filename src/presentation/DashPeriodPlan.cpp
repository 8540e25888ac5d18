// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DashPeriodPlan.h"

#include "base/Check.h"
#include "base/MediaTime.h"
#include "base/StringFormat.h"

#include <algorithm>

namespace Application
{
std::vector<DashPeriodPlan> DashPeriodPlan::ForAsset(Configuration const& Asset)
{
    std::vector<DashPeriodPlan> Plans;
    if(!Asset.Breaks || Asset.Live)
    {
        for(auto const& Period : DashPeriods)
            Plans.push_back({Period, true});
        return Plans;
    }
    CHECK_LINE(Asset.Duration.has_value());
    return Cut(Asset, 0, *Asset.Duration);
}

std::vector<DashPeriodPlan> DashPeriodPlan::ForLive(Configuration const& Asset, std::int64_t From, std::int64_t To)
{
    CHECK_LINE(Asset.Breaks.has_value());
    auto const Breaks = Asset.Breaks->Schedule.Overlapping(std::max<std::int64_t>(From, 0), To);
    // The content before the first break listed began where the break before it ended.
    std::int64_t Start = 0;
    if(!Breaks.empty() && Breaks.front().Number > 1)
        Start = Asset.Breaks->Schedule.Numbered(Breaks.front().Number - 1)->End();
    else if(Breaks.empty())
        if(auto const Last = Asset.Breaks->Schedule.Overlapping(0, std::max<std::int64_t>(From, 0)); !Last.empty())
            Start = Last.back().End();
    return Cut(Asset, Start, std::max(To, Start + Asset.BreakGrid()));
}

std::vector<DashPeriodPlan> DashPeriodPlan::Cut(Configuration const& Asset, std::int64_t Start, std::int64_t End)
{
    std::vector<DashPeriodPlan> Plans;
    std::int64_t Position = Start;
    auto const Content = [&](std::int64_t Until) {
        if(Until > Position)
            Plans.push_back({{Position, Until - Position, Position}});
        Position = Until;
    };
    for(auto const& Break : Asset.Breaks->Schedule.Overlapping(Start, End))
    {
        Content(Break.Start);
        auto const Ads = Asset.Breaks->AdsOf(Break);
        if(Ads.empty())
            Plans.push_back({{Break.Start, Break.Duration, Break.Start}, false, Break});
        for(auto const& Ad : Ads)
            Plans.push_back({{Break.Start + Ad.Offset, Ad.Duration, 0}, false, Ad.Number == 1 ? std::optional(Break) : std::nullopt, Break.Number, Ad.Number});
        Position = Break.End();
    }
    Content(End);
    return Plans;
}

std::string DashPeriodPlan::Id() const
{
    if(Ad != 0)
        return StringFormat("break-%u-ad-%u", Break, Ad);
    return StringFormat("content-%lld", static_cast<long long>(Period.Start / TimeUnitsPerSecond));
}
} // namespace Application
