#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/ServerContext.h"
#include "http/Response.h"

namespace Application
{
class SegmentSession;

// How a media task answers from its worker thread, where only the response
// is left of the request. Every answer is 200 "OK" with the cross-origin
// headers; with -WriteResponseBody the body is also written to FileName.
class MediaAnswer
{
public:
    MediaAnswer(ServerContext& Server, std::shared_ptr<HttpServer::Response> Response, std::string FileName);

    // Runs Task, which answers through this object. A failure drops the
    // connection: a client never takes a cut-off body for a whole one, and
    // the server goes on.
    void Run(std::function<void(MediaAnswer& Answer)> const& Task) noexcept;

    // Runs a media segment's session and sends what it makes. Streaming
    // (without response-body files): "Transfer-Encoding: chunked", one
    // chunk for every hand-over of the session as its pipeline writes, so
    // the first fragments leave long before the segment is complete. With
    // files: the whole segment, written to its file and sent unchunked.
    void SendSegment(SegmentSession& Session, std::string ContentType);
    void SendWhole(std::string ContentType, std::vector<std::uint8_t> Body);

private:
    void StartHead(std::string ContentType);
    bool SendChunk(std::span<std::uint8_t const> Data);

    ServerContext& m_Server;
    std::shared_ptr<HttpServer::Response> m_Response;
    std::string m_FileName;
    bool m_HeadSent = false;
};
} // namespace Application
