// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "app/routing/RouteGroup.h"

namespace Application
{
// "metrics": the server's figures in the Prometheus text format (version
// 0.0.4), for operators to scrape and tests to read: answers by route and
// status, media made and how long it took, the cache, joined requests, open
// connections and the media task queues, all as the server's parts pushed
// them into its ServerMetrics.
class MetricsRoutes : public RouteGroup
{
public:
    MetricsRoutes(ServerContext& Context, RouteTable& Table);

    std::string Format() const;

private:
    ServerContext& m_Context;
};
} // namespace Application
