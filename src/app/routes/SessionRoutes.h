// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "app/routing/RouteGroup.h"
#include "app/sessions/RequestLog.h"

namespace Application
{
// "session?asset=N[&from=S][&format=csv]": what the players of an asset
// did, from the RequestLog: its requests (manifests, playlists, segments,
// keys) with their times, statuses, bytes, cache outcomes, faults and the
// CMCD keys they carried, as JSON or CSV. Its own requests are not logged,
// so that a page that polls it sees only the player's.
class SessionRoutes : public RouteGroup
{
public:
    SessionRoutes(ServerContext& Context, RouteTable& Table);

    static std::string FormatJson(std::uint32_t Asset, RequestLog::Excerpt const& Excerpt);
    static std::string FormatCsv(RequestLog::Excerpt const& Excerpt);

private:
    void Session(RouteContext& Context);

    ServerContext& m_Context;
};
} // namespace Application
