// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "app/routing/RouteGroup.h"

namespace Application
{
// Content steering: "steering?asset=N" answers the steering manifest of an
// asset with "steer" (SteeringManifest), never kept by anyone, as of the
// request's clock ("now" steps "steerrotate"). "prefer=NAME" puts a pathway
// first for every later request of the asset until another "prefer" ("prefer="
// goes back to the order of "steer"): a test moves the players so. What a
// player reports of itself ("_HLS_pathway", "_DASH_pathway" and their
// throughputs) is checked, traced and logged as the request's pathway.
class SteeringRoutes : public RouteGroup
{
public:
    static constexpr char const* Path = "steering";

    SteeringRoutes(ServerContext& Context, RouteTable& Table);

    // The absolute address of the asset's steering manifest as this request
    // reached the server: DASH players load it against their page.
    static std::string ServerUrl(RouteContext const& Context, std::uint32_t Asset);

private:
    static void Steering(RouteContext& Context);
};
} // namespace Application
