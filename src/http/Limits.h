// SPDX-License-Identifier: GPL-2.0-or-later
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
    // The head of one request: the request line, every header line and the
    // empty line that ends them, each with its line end. More is answered
    // with 431 and the connection is closed.
    std::uint32_t MaximalHeaderBytes = 16 * 1024;
    // A request body is read and kept with the request; a longer one is
    // answered with 413.
    std::uint64_t MaximalBodyBytes = 64 * 1024;
    // Time a client has to deliver one whole request, counted from the
    // connection or from the end of the previous answer: it bounds idle
    // keep-alive connections and clients that send slowly.
    std::chrono::milliseconds ReceiveTime{30'000};
    // Time one write to a client may take before the connection is dropped.
    std::chrono::milliseconds SendTime{60'000};
    // Bytes of answers queued for one connection and not yet written. A send
    // that finds more than this still queued closes the connection: the
    // client has fallen too far behind. A connection therefore holds at most
    // this much plus the one piece handed over last (a whole body is one
    // piece), whatever its producer makes.
    std::size_t MaximalQueuedBytes = 16 * 1024 * 1024;
    // Open connections. When all are taken, a new client closes the
    // connection that has been idle longest (between requests), or else a
    // held answer of the address that holds most; only when every
    // connection is answering at full speed is it told 503 and closed.
    std::size_t MaximalConnections = 512;
    // Open connections from one client address, with the same rule among
    // that address's connections, so that one client cannot take them all.
    std::size_t MaximalConnectionsPerAddress = 128;
    // Answers held back on purpose (a deliberate delay, throttle or hang, a
    // blocking playlist reload, a part waiting for its time) at once from
    // one client address: half the connections an address may have, so
    // that its short requests always find room. One more is refused (the
    // application answers 503).
    std::size_t MaximalHeldAnswersPerAddress = MaximalConnectionsPerAddress / 2;

    // Sets both connection limits, and the held answers' share of an
    // address with the per-address one.
    void SetConnectionLimits(std::size_t Overall, std::size_t PerAddress) noexcept
    {
        MaximalConnections = Overall;
        MaximalConnectionsPerAddress = PerAddress;
        MaximalHeldAnswersPerAddress = PerAddress / 2;
    }
    // A deliberate hold (delay, throttle, hang) ends after this long: the
    // connection is closed, whatever was left to send.
    std::chrono::milliseconds LongestHold{120'000};
    // Once the server stops, time a connection has to take the bytes queued
    // for it; a client that does not read then does not hold up the exit.
    std::chrono::milliseconds ShutdownSendTime{2'000};
    // A refused client (503 at the connection limit, or 400, 413, 431, 501,
    // 505 and the connection closed) may have sent bytes the server never
    // reads; closing such a socket makes the kernel answer with a reset that
    // can overtake the refusal. So the server stops sending after the
    // refusal and reads and drops what the client still sends until it
    // closes, this many bytes have come or this time has passed, and only
    // then closes (LingeringClose).
    std::chrono::milliseconds LingerTime{2'000};
    std::uint64_t MaximalLingerBytes = 1024 * 1024;
    // Refused sockets lingering so at once, apart from the connections.
    // Beyond this (a flood of refused clients) a refused socket is closed as
    // soon as its refusal is written, as it is once the server stops.
    std::size_t MaximalLingeringSockets = 64;
};
} // namespace HttpServer
