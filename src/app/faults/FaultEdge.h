// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/steady_timer.hpp>

#include "http/Connection.h"
#include "http/SendEdge.h"
#include "presentation/FaultRule.h"

namespace Application
{
// What the faults that fired for one request do to its answer on the way
// out to this client, whoever made the bytes.
struct FaultEffects
{
    // The names of the faults, for the "X-Quorvel-Fault" header.
    std::string Names;
    std::uint32_t DelayMilliseconds = 0;
    std::uint32_t BytesPerSecond = 0; // 0: as fast as the client takes it
    bool Hang = false;
    std::optional<FaultRule> Truncate;
    bool Corrupt = false;
    bool LengthPrefixedUnits = false; // video samples, for Corrupt
    // A media segment: an edited one always goes out chunked, as a segment
    // that is made goes out, whether this one was made or came whole from
    // the cache, so that a truncated segment ends the same way either way.
    bool Segment = false;
    // Receives the whole body of a 200 answer (a playlist, for "stale").
    std::function<void(std::string Body)> RecordBody;

    bool EditsBody() const noexcept { return Truncate || Corrupt || RecordBody; }
    // The answer is held back on purpose: it takes longer than its bytes need.
    bool Holds() const noexcept { return DelayMilliseconds > 0 || BytesPerSecond > 0 || Hang; }
};

// Applies FaultEffects to one answer between its response and the socket,
// on the answer as values: the head's fields are changed as fields, body
// pieces are cut as ranges of the shared bytes they name. Everything happens
// on the I/O thread and nothing waits: the first byte is held back by a
// timer until the delay has passed; a throttled answer goes out one slice
// per timer tick, cut from what is pending when the tick comes, so its state
// is an offset and a timer whatever the rate; a hung one keeps its
// connection open without sending until the client leaves, the server stops
// or the connection's longest hold ends it. An answer whose body is
// truncated, corrupted or recorded is gathered whole first, as its length or
// its boxes must be known. A truncated segment ends with its last chunk, so
// it looks complete; any other keeps the length it declared and the
// connection closes after the bytes that are sent.
class FaultEdge final : public HttpServer::SendEdge, public std::enable_shared_from_this<FaultEdge>
{
public:
    explicit FaultEdge(FaultEffects Effects);

    void Write(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target) override;
    void Stop(HttpServer::Connection& Target) override;
    void Close() noexcept override;

private:
    using Clock = std::chrono::steady_clock;

    void EditHead(HttpServer::ResponseHead& Head);
    void Gather(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target);
    void Accept(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target);
    void Pump(HttpServer::Connection& Target);
    // The next slice of the pending batches that the rate lets out now.
    std::shared_ptr<HttpServer::WriteBatch> NextSlice();

    FaultEffects m_Effects;
    Clock::time_point m_NextRelease;
    std::optional<boost::asio::steady_timer> m_Timer;
    bool m_TimerArmed = false;
    // Batches not yet out, and how much of the first one's body has gone.
    std::deque<std::shared_ptr<HttpServer::WriteBatch>> m_Pending;
    std::size_t m_SentOfFirst = 0;
    // The body of an edited answer, gathered whole.
    std::optional<HttpServer::ResponseHead> m_Head;
    std::vector<HttpServer::BodyPiece> m_Body;
    bool m_HeadSeen = false;
    bool m_Editing = false;
    bool m_CloseWhenSent = false;
    bool m_Hung = false;
    bool m_Closed = false;
};
} // namespace Application
