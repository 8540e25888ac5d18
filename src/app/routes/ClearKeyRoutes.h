// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "app/routing/RouteGroup.h"

namespace Application
{
// The W3C Clear Key licence of an encrypted asset: "clearkey?asset=N" takes
// the licence request as the body of a POST and answers the licence as JSON,
// with the cross-origin headers browser players need (they send the request
// from the page's origin, after a preflight). DASH manifests asked for with
// "cp" name this address, so players need no key configuration.
class ClearKeyRoutes : public RouteGroup
{
public:
    static constexpr char const* Path = "clearkey";

    ClearKeyRoutes(ServerContext& Context, RouteTable& Table);

    // The absolute address of the asset's licence as this request reached
    // the server (its Host field and location): players resolve a relative
    // licence address against their page, not against the manifest.
    static std::string LicenceUrl(RouteContext const& Context, std::uint32_t Asset);

private:
    static void Licence(RouteContext& Context);
};
} // namespace Application
