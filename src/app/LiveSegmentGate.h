// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/FragmentSchedule.h"
#include "app/RouteContext.h"
#include "presentation/Clock.h"
#include "presentation/Configuration.h"

namespace Application
{
// How a media segment of a low-latency live asset ("ll") goes out, by
// where it lies on the live timeline at the request's time:
//   - not begun yet: refused with 404, as a segment that is not available
//     yet is. The manifest offers a segment once its first part is made
//     (availabilityTimeOffset); from its very start it is accepted, a
//     part's leeway for a player whose clock runs slightly ahead;
//   - being made: sent through a PacedEdge, each fragment when due;
//   - complete: sent as any segment is.
// A request with "now" is answered as of that time and at once: refused
// or sent whole, so that a URL always gives the same bytes. Any other asset
// passes unchanged.
class LiveSegmentGate
{
public:
    // false: the request was refused here.
    static bool Admit(RouteContext& Context, Configuration const& Asset, FragmentSchedule const& Schedule, Clock const& Now = SystemAbsoluteTime);
};
} // namespace Application
