// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/BlockingReload.h"

#include "base/Check.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
std::uint32_t BlockingReload::AdvancePartLimit(std::int64_t PartTarget)
{
    // Three divided by the part target in seconds below a second, else three.
    if(PartTarget >= TimeUnitsPerSecond)
        return 3;
    return static_cast<std::uint32_t>(3 * TimeUnitsPerSecond / PartTarget);
}

BlockingReload BlockingReload::Decide(PartLayout const& Layout, std::int64_t TargetDuration, std::int64_t Elapsed, DeliveryDirectives const& Directives)
{
    CHECK_ARGUMENT(Directives.Msn.has_value());
    BlockingReload Decision;
    auto const Last = Layout.LastComplete(Elapsed);
    // The last segment the playlist shows: the one in progress once it has a part.
    std::int64_t const LastMsn = Last ? std::int64_t{Last->Segment} : -1;
    if(std::int64_t{*Directives.Msn} > LastMsn + 2)
    {
        Decision.Result = Outcome::TooFar;
        return Decision;
    }
    if(Directives.Part)
    {
        auto const Wanted = Layout.Normalise({*Directives.Msn, *Directives.Part});
        std::uint32_t const Limit = AdvancePartLimit(Layout.PartTarget());
        bool const Listed = Last && Wanted <= *Last;
        if(!Listed && Layout.Distance(Last.value_or(PartPosition{}), Wanted, Limit) > Limit)
        {
            Decision.Result = Outcome::TooFar;
            return Decision;
        }
        Decision.Ready = Layout.Part(Wanted.Segment, Wanted.Part).Available;
    }
    else
        Decision.Ready = (std::int64_t{*Directives.Msn} + 1) * Layout.SegmentDuration();
    if(Decision.Ready <= Elapsed)
        Decision.Result = Outcome::Now;
    else if(Decision.Ready - Elapsed > HoldTargets * TargetDuration)
        Decision.Result = Outcome::Unavailable;
    else
        Decision.Result = Outcome::Hold;
    return Decision;
}
} // namespace Application
