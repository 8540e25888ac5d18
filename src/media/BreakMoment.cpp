// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/BreakMoment.h"

#include "base/MediaTime.h"

namespace Application
{
namespace
{
std::int64_t WholeSecondsUp(std::int64_t Duration)
{
    // Duration is positive here.
    return (Duration + TimeUnitsPerSecond - 1) / TimeUnitsPerSecond;
}
} // namespace

std::optional<BreakMoment> BreakMoment::At(std::span<BreakNotice const> Notices, std::int64_t Time)
{
    BreakNotice const* Inside = nullptr;
    BreakNotice const* Ahead = nullptr;
    for(auto const& Notice : Notices)
    {
        if(Notice.Duration <= 0)
            continue;
        // Differences, not sums: a notice far out on the timeline cannot overflow.
        if(Time >= Notice.Start && Time - Notice.Start < Notice.Duration)
        {
            if(!Inside || Notice.Start < Inside->Start)
                Inside = &Notice;
        }
        else if(Time < Notice.Start && Notice.Start - Time <= CountdownDuration)
        {
            if(!Ahead || Notice.Start < Ahead->Start)
                Ahead = &Notice;
        }
    }
    if(Inside)
        return BreakMoment{Inside->Number, true, (Time - Inside->Start) / TimeUnitsPerSecond + 1, WholeSecondsUp(Inside->Duration)};
    if(Ahead)
        return BreakMoment{Ahead->Number, false, WholeSecondsUp(Ahead->Start - Time), WholeSecondsUp(Ahead->Duration)};
    return std::nullopt;
}
} // namespace Application
