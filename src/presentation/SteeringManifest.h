// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "presentation/Configuration.h"

namespace Application
{
// The steering manifest of an asset with "steer" (the "steering" route):
// JSON with VERSION 1, the TTL a player keeps it, the RELOAD-URI it asks
// next (absolute, keeping the asset and any "prefer" of the request) and
// the pathways in order of preference, PATHWAY-PRIORITY as HLS names it and
// the players read it for DASH too, and for a DASH asset as well
// SERVICE-LOCATION-PRIORITY, the DASH content steering guidelines' name.
class SteeringManifest
{
public:
    // What a player reports of itself when it asks: the pathway it is on
    // ("_HLS_pathway"; "_DASH_pathway", a quoted list of the service
    // locations used since the last steering manifest, the latest last) and
    // its throughput in bits per second ("_HLS_throughput"; "_DASH_throughput"
    // one per location, empty where unknown). Refused with
    // FailureCode::SteeringInvalid when malformed, FailureCode::PathwayUnknown
    // when naming none of the asset's pathways.
    struct Report
    {
        std::string Pathway;
        std::optional<std::uint64_t> Throughput;
    };
    static std::optional<Report> ReportOf(QueryVector const& Query, Configuration const& Asset);

    // The manifest as of Now (absolute time: the rotation's clock), for a
    // request whose "prefer" was Prefer (already applied to the asset) to
    // Address, the steering route's absolute address: Shaka takes a
    // RELOAD-URI as it stands, and a relative one fails it.
    static std::string Write(Configuration const& Asset, std::int64_t Now, std::optional<std::string_view> Prefer, std::string const& Address);
};
} // namespace Application
