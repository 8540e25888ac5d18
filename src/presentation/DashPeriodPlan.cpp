// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DashPeriodPlan.h"

#include "base/Check.h"

namespace Application
{
std::vector<DashPeriodPlan> DashPeriodPlan::ForAsset(Configuration const& Asset)
{
    std::vector<DashPeriodPlan> Plans;
    if(!Asset.Breaks)
    {
        for(auto const& Period : DashPeriods)
            Plans.push_back({Period, true});
        return Plans;
    }
    CHECK_LINE(Asset.Duration.has_value());
    std::int64_t const End = *Asset.Duration;
    std::int64_t Position = 0;
    auto const Content = [&](std::int64_t Until) {
        if(Until > Position)
            Plans.push_back({{Position, Until - Position, Position}});
        Position = Until;
    };
    for(auto const& Break : Asset.Breaks->Schedule.Overlapping(0, End))
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
} // namespace Application
