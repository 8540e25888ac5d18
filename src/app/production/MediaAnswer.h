// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/context/ServerContext.h"
#include "app/production/SessionCancellation.h"
#include "app/answers/WholeAnswer.h"
#include "http/Response.h"

namespace Application
{
class SegmentSession;

// How a media task answers from its worker thread, where only the response
// is left of the request. The task hands what it makes to the connection
// and never waits for the client: a slow reader holds bytes in its own
// connection's bounded queue, not a worker. A client that leaves cancels
// the session running for it, so no worker encodes for no one.
class MediaAnswer : public std::enable_shared_from_this<MediaAnswer>
{
public:
    // Created on the I/O thread, where the client-gone callback is set.
    static std::shared_ptr<MediaAnswer> Create(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, std::string FileName);

    // Runs Task, which answers through this object; nothing runs for a
    // client that has already left. A failure before anything was sent is
    // answered 400 with the error body; after that it drops the
    // connection, so a client never takes a cut-off body for a whole one.
    void Run(std::function<void(MediaAnswer& Answer)> const& Task) noexcept;

    // Runs a session to its end; E_ABORT when the client leaves meanwhile.
    void RunSession(SegmentSession& Session);
    // One whole body as Answer describes it (FileName when it names none).
    void SendWhole(WholeAnswer Answer, std::vector<std::uint8_t> Body);
    void SendWhole(WholeAnswer Answer, std::string Body);

private:
    MediaAnswer(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, std::string FileName);

    ServerContext& m_Server;
    std::shared_ptr<HttpServer::Response> m_Response;
    std::string m_FileName;
    SessionCancellation m_Cancellation;
};
} // namespace Application
