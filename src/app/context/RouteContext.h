// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/context/ServerContext.h"
#include "app/sessions/RequestRecord.h"
#include "base/QueryStringNameValue.h"
#include "http/Request.h"
#include "http/Response.h"

namespace Application
{
struct Configuration;

// One request on its way through the route table, on the I/O thread. A
// handler answers through Response before it returns, or hands the response
// (it is shared) and copies of what it needs to a task. The context owns
// what it refers to and is itself shared (shared_from_this), so that a
// request can be continued on the I/O thread later: once the asset store
// answered (RouteTable::AssetFinder, the manifests). What every route may
// read of the query is read once, on the way in.
struct RouteContext : std::enable_shared_from_this<RouteContext>
{
    // Path is a part of Request's absolute path.
    RouteContext(std::shared_ptr<HttpServer::Request const> Owned, std::shared_ptr<HttpServer::Response> Answer, std::string_view Path, ::QueryVector Query,
                 ServerContext& Server) :
        OwnedRequest(std::move(Owned)), Request(*OwnedRequest), Response(std::move(Answer)), Path(Path), QueryVector(std::move(Query)), Server(Server)
    {
    }
    RouteContext(RouteContext const&) = delete;
    RouteContext& operator=(RouteContext const&) = delete;

    std::shared_ptr<HttpServer::Request const> const OwnedRequest;
    HttpServer::Request const& Request;
    std::shared_ptr<HttpServer::Response> const Response;
    // The absolute path with the location's base path removed.
    std::string_view const Path;
    ::QueryVector const QueryVector;
    ServerContext& Server;
    // The asset named by the query; set for asset routes only.
    Configuration* Asset = nullptr;
    // The request's "now", when it says what time it is: it is then
    // answered as of that time, whatever the clock says.
    std::optional<std::int64_t> GivenTime;
    // The pathway of content steering the request came by ("pathway", or
    // the path's "pathway/NAME/"), one of its asset's; empty: none. Set for
    // asset routes only.
    std::string Pathway;
    // What the request log learns of this request; null when nothing is logged.
    std::shared_ptr<RequestRecord> Record;

    // A HEAD request: answered with the head a GET would get, no body.
    bool IsHead() const noexcept { return Request.GetVerb() == HttpServer::Verb::Head; }
};
} // namespace Application
