// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/live/FragmentSchedule.h"
#include "app/context/RouteContext.h"
#include "presentation/Clock.h"
#include "presentation/Configuration.h"

namespace Application
{
// How a media segment of a low-latency live asset ("ll") goes out, by
// where it lies on the live timeline at the request's time:
//   - before the manifest offers it (its end less the availability time
//     offset, DashManifestWriter::AvailabilityTimeOffset) by more than the
//     longest segment: refused with 404, as a segment that is not
//     available yet is. The leeway is for players that round their live
//     edge up to the next segment (Shaka asks for the segment after the
//     one its edge falls in) and for clocks slightly ahead;
//   - offered and not complete (being made, or about to begin): sent
//     through a PacedEdge, each fragment when due;
//   - complete: sent as any segment is.
// A segment of a regular dynamic asset ("dynamic") is refused with 404
// until it is complete, then sent as any segment is.
// A request with "now" is answered as of that time and at once: refused
// or sent whole, so that a URL always gives the same bytes. Any other asset
// passes unchanged.
class LiveSegmentGate
{
public:
    // false: the request was refused here.
    static bool Admit(RouteContext& Context, Configuration const& Asset, FragmentSchedule const& Schedule, Clock const& Now = SystemAbsoluteTime);
    // Media of any live asset that is only offered whole (a thumbnail tile):
    // refused with 404 until End (absolute), at the request's time.
    static bool AdmitComplete(RouteContext& Context, Configuration const& Asset, std::int64_t End, Clock const& Now = SystemAbsoluteTime);
};
} // namespace Application
