// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "app/production/MediaWork.h"
#include "app/routing/RouteGroup.h"

namespace Application
{
// Every route group of the server, in order, its routes added to Table.
std::vector<std::unique_ptr<RouteGroup>> CreateRouteGroups(ServerContext& Context, RouteTable& Table, MediaWork& Work);
} // namespace Application
