// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "app/context/RouteContext.h"

namespace Application
{
// The absolute address of another route of this server as the request of
// Context reached it (its Host field and location). Players resolve some
// addresses a manifest gives (a licence, a clock) against their page, not
// against the manifest, so those must be absolute.
std::string RouteAddress(RouteContext const& Context, std::string_view RoutePath);
} // namespace Application
