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
    if((!Asset.Breaks && Asset.Changes.Empty()) || Asset.Live)
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
    CHECK_LINE(Asset.Breaks.has_value() || !Asset.Changes.Empty());
    From = std::max<std::int64_t>(From, 0);
    // The content before the first break listed began where the break before it ended.
    std::int64_t Start = 0;
    if(Asset.Breaks)
    {
        auto const Breaks = Asset.Breaks->Schedule.Overlapping(From, To);
        if(!Breaks.empty() && Breaks.front().Number > 1)
            Start = Asset.Breaks->Schedule.Numbered(Breaks.front().Number - 1)->End();
        else if(Breaks.empty())
            if(auto const Last = Asset.Breaks->Schedule.Overlapping(0, From); !Last.empty())
                Start = Last.back().End();
    }
    // Or where the last change before it began.
    Start = std::max(Start, Asset.Changes.LastUpTo(From, Asset.PeriodChanges()));
    std::int64_t const Grid = Asset.Breaks ? Asset.BreakGrid() : Asset.Changes.Grid();
    return Cut(Asset, Start, std::max(To, Start + Grid));
}

std::vector<DashPeriodPlan> DashPeriodPlan::Cut(Configuration const& Asset, std::int64_t Start, std::int64_t End)
{
    std::vector<DashPeriodPlan> Plans;
    std::int64_t Position = Start;
    if(Asset.Breaks)
        for(auto const& Break : Asset.Breaks->Schedule.Overlapping(Start, End))
        {
            AddContent(Plans, Asset, Position, Break.Start, std::nullopt);
            auto const Ads = Asset.Breaks->AdsOf(Break);
            if(Ads.empty())
                AddContent(Plans, Asset, Break.Start, Break.End(), Break);
            for(auto const& Ad : Ads)
                Plans.push_back({{Break.Start + Ad.Offset, Ad.Duration, 0}, false, Ad.Number == 1 ? std::optional(Break) : std::nullopt, Break.Number, Ad.Number});
            Position = Break.End();
        }
    AddContent(Plans, Asset, Position, End, std::nullopt);
    return Plans;
}

void DashPeriodPlan::AddContent(std::vector<DashPeriodPlan>& Plans, Configuration const& Asset, std::int64_t Start, std::int64_t End,
                                std::optional<AdBreak> Opens)
{
    auto Times = Asset.Changes.Between(Start, End, Asset.PeriodChanges());
    Times.push_back(End);
    for(auto const Time : Times)
    {
        if(Time <= Start)
            continue;
        auto const State = Asset.Changes.At(Start);
        DashPeriodPlan Plan{{Start, Time - Start, Start - State.Origin}, false, Opens};
        Plan.Changes = State;
        Plans.push_back(std::move(Plan));
        Opens.reset();
        Start = Time;
    }
}

std::string DashPeriodPlan::Id() const
{
    if(Ad != 0)
        return StringFormat("break-%u-ad-%u", Break, Ad);
    return StringFormat("content-%lld", static_cast<long long>(Period.Start / TimeUnitsPerSecond));
}
} // namespace Application
