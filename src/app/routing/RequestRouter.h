// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/routing/RouteTable.h"
#include "app/context/ServerContext.h"
#include "http/Request.h"
#include "http/Response.h"

namespace Application
{
// What the request loop does with one received request, on the I/O thread:
// prints "Request: <full URL>", answers OPTIONS with the cross-origin
// headers, removes the base path of a GET (or of a POST to a route that
// takes one) and dispatches it through the route table; every other method,
// and every failure, becomes a 400 answer.
class RequestRouter
{
public:
    RequestRouter(std::vector<std::string> BasePaths, RouteTable const& Routes, ServerContext& Context);

    void Answer(std::shared_ptr<HttpServer::Request> const& Request, std::shared_ptr<HttpServer::Response> const& Response) const;

private:
    void Route(std::shared_ptr<HttpServer::Request> const& Request, std::shared_ptr<HttpServer::Response> const& Response) const;
    bool TakesPost(HttpServer::Request const& Request) const;
    // Begins the request log's record of the request (RequestRecord).
    void BeginRecord(RouteContext& Context) const;
    void CountAnswer(HttpServer::Request const& Request, HttpServer::Response& Response) const;
    static void AnswerOptions(HttpServer::Response& Response);

    std::vector<std::string> const m_BasePaths;
    RouteTable const& m_Routes;
    ServerContext& m_Context;
};
} // namespace Application
