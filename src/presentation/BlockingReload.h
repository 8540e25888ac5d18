// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

#include "presentation/DeliveryDirectives.h"
#include "presentation/PartLayout.h"

namespace Application
{
// When a playlist request with "_HLS_msn" (and "_HLS_part") is answered
// (HLS, RFC 8216bis 6.2.5.2): at once when the playlist holds that segment
// (complete) or part already; else once it does, held at most three target
// durations; refused when it lies too far ahead of what the playlist holds
// (more than two segments, or more parts than the advance part limit).
struct BlockingReload
{
    enum class Outcome
    {
        Now,       // the playlist holds it
        Hold,      // answer at Ready
        TooFar,    // 400: asks beyond what the server will wait for
        Unavailable, // 503: would not exist within the hold limit
    };

    // How many target durations a request is held at most.
    static constexpr std::int64_t HoldTargets = 3;

    Outcome Result = Outcome::Now;
    // Elapsed time from which the playlist holds what was asked for.
    std::int64_t Ready = 0;

    // Elapsed is the request's time since the timeline's segment 0 began.
    static BlockingReload Decide(PartLayout const& Layout, std::int64_t TargetDuration, std::int64_t Elapsed, DeliveryDirectives const& Directives);
    // The advance part limit: three seconds of parts, at least three parts.
    static std::uint32_t AdvancePartLimit(std::int64_t PartTarget);
};
} // namespace Application
