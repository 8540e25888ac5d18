#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace HttpServer
{
// The bounds one client can push the server to. Every request that crosses
// one gets a clear HTTP error or a closed connection; the others go on.
struct Limits
{
    // Request line and header fields of one request; more is answered with
    // 431 and the connection is closed.
    std::uint32_t MaximalHeaderBytes = 16 * 1024;
    // A request body is read and kept with the request; a longer one is
    // answered with 413.
    std::uint64_t MaximalBodyBytes = 64 * 1024;
    // Time a client has to deliver one whole request, counted from the
    // connection or from the end of the previous answer: it bounds idle
    // keep-alive connections and clients that send slowly.
    std::chrono::milliseconds ReceiveTime{30'000};
    // Time one write to a client may take before the connection is dropped,
    // so that a client that stops reading cannot hold a worker forever.
    std::chrono::milliseconds SendTime{60'000};
    // Open connections; one more is answered with 503 and closed.
    std::size_t MaximalConnections = 512;
};
} // namespace HttpServer
