// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/context/RouteContext.h"

namespace Application
{
// How a route answers with one whole body: status 200 "OK", the content
// type, the cross-origin headers when asked, and with -WriteResponseBody a
// copy of the body in the Response folder under FileName (none when empty),
// after deleting earlier files when asked and -DeletePreviousResponseBodies
// is set.
struct WholeAnswer
{
    std::string ContentType;
    bool CrossOrigin = false;
    std::string FileName;
    bool DeletePreviousFiles = false;
    // "Cache-Control", when not empty.
    std::string CacheControl;
    // A strong entity tag from the body's digest, and 304 for a request
    // whose "If-None-Match" names it (from the request loop only).
    bool Tagged = false;

    void Send(RouteContext& Context, std::string Body) const;
    // A body made before and shared, with its entity tag when Tagged.
    void Send(RouteContext& Context, SharedBytes Body, std::string const& Tag) const;
    void Send(RouteContext& Context, std::vector<std::uint8_t> Body) const;
    // From a task on a worker thread, where only the response is left of the request.
    void Send(ServerContext& Server, HttpServer::Response& Response, std::vector<std::uint8_t> Body) const;
    void Send(ServerContext& Server, HttpServer::Response& Response, std::string Body) const;
    void Send(ServerContext& Server, HttpServer::Response& Response, SharedBytes Body) const;

private:
    // 304 when the request's "If-None-Match" names Tag.
    bool SendNotModified(RouteContext& Context, std::string const& Tag) const;
    void Prepare(ServerContext& Server, HttpServer::Response& Response, void const* Data, std::size_t Size) const;
    void AddFields(HttpServer::Response& Response) const;
};
} // namespace Application
