// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "app/routing/RouteTable.h"
#include "app/context/ServerContext.h"

namespace Application
{
// A set of routes in a file of its own, with the state they share. A group
// adds its routes to the table in its constructor and lives as long as the
// server serves; its destructor runs after the last response is complete
// (a group with tasks waits for them there).
class RouteGroup
{
public:
    virtual ~RouteGroup() = default;
    // The server stops (on the I/O thread, after the locations closed): work
    // that has not started is dropped, closing its connections.
    virtual void Stop() {}
};
} // namespace Application
