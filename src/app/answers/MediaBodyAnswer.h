// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "app/answers/MediaBody.h"
#include "app/context/ServerContext.h"
#include "http/Request.h"
#include "http/Response.h"

namespace Application
{
// How a piece of media (segment, initialisation segment, progressive file)
// is answered with HTTP caching: its type, its strong entity tag and how
// long caches may keep it; and what the request asks of it (conditions and
// range), taken on the I/O thread since a task only has the response.
struct MediaBodyAnswer
{
    // Segments never change: players and proxies may keep them for a year
    // without asking again (RFC 8246).
    static constexpr char const* Immutable = "public, max-age=31536000, immutable";

    std::string ContentType;
    std::string EntityTag;
    std::string CacheControl = Immutable;
    // The response-body copy with -WriteResponseBody.
    std::string FileName;
    // The request's "If-None-Match", "Range" and "If-Range" fields.
    std::string IfNoneMatch;
    std::string Range;
    std::string IfRange;

    void TakeConditions(HttpServer::Request const& Request);
    // The client holds the current body already ("If-None-Match").
    bool IsNotModified() const;
    // A range was asked for, which only a whole body can serve.
    bool WantsRange() const { return !Range.empty(); }

    // 304 "Not Modified" with the validators and no body.
    void SendNotModified(HttpServer::Response& Response) const;
    // The whole body, or the part the range asks for (206, or 416 when it
    // lies beyond the body).
    void SendBody(ServerContext& Server, HttpServer::Response& Response, SharedMediaBody const& Body) const;
    // The head of a 200 answer whose body follows as it is made.
    void StartStream(HttpServer::Response& Response) const;
    // The head alone, for HEAD of media that is not made yet: what a GET
    // would begin with, without making it.
    void SendHead(HttpServer::Response& Response) const;

private:
    void AddHeaders(HttpServer::Response& Response) const;
};
} // namespace Application
