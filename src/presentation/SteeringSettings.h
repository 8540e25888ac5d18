// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/QueryStringNameValue.h"

namespace Application
{
// Content steering of an asset ("steer"): the pathways it is served by,
// each standing for a CDN, in the order given (the first the default), and
// how the steering route orders them over time. One server answers every
// pathway; a request names its pathway with "pathway" (HLS) or the path
// prefix "pathway/NAME/" (DASH, whose BaseURL cannot carry a query).
struct SteeringSettings
{
    static constexpr std::size_t MaximalPathways = 4;
    // Names go into every URL of their pathway and into the metrics' labels.
    static constexpr std::size_t MaximalNameLength = 16;
    static constexpr std::int64_t DefaultTimeToLive = 10;

    std::vector<std::string> Pathways;
    // "steerrotate": the preferred pathway moves on to the next every so
    // many 100 ns units of the asset's clock; nothing: the order given.
    std::optional<std::int64_t> RotatePeriod;
    // "steerttl": the seconds a player keeps a steering manifest.
    std::int64_t TimeToLive = DefaultTimeToLive;
    // The asset's manifest is DASH's: its steering manifest names the
    // priority by the DASH name as well.
    bool Dash = false;
    // The pathway the steering route was last told to put first ("prefer");
    // empty: none. Kept on the request loop with the asset.
    std::string Preferred;

    // "steer": 1 to MaximalPathways names of letters and digits, comma-
    // separated, each different; refused with FailureCode::SteeringInvalid.
    static std::vector<std::string> ParseNames(std::string_view Text);
    static bool IsName(std::string_view Text) noexcept;

    bool Has(std::string_view Name) const noexcept;
    // "prefer": puts Name first from now on; empty: the order of "steer" or
    // the rotation again. A name the asset does not have is refused with
    // FailureCode::PathwayUnknown.
    void Prefer(std::string_view Name);
    // The pathways in order of preference when Elapsed has passed on the
    // asset's clock: the preferred one first, else the rotation's.
    std::vector<std::string> Priority(std::int64_t Elapsed) const;
};

struct Configuration;

// The pathway a request of an asset names ("pathway"), empty when it names
// none; one the asset does not have is refused with FailureCode::PathwayUnknown.
std::string RequestPathway(QueryVector const& Query, Configuration const& Asset);
} // namespace Application
