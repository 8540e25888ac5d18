// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include <boost/asio/steady_timer.hpp>

#include "app/live/FragmentSchedule.h"
#include "http/Connection.h"
#include "http/SendEdge.h"
#include "presentation/Clock.h"

namespace Application
{
// Sends a live segment (or a run of its fragments) no faster than the live
// timeline makes it: the head at once, then every movie fragment once the
// schedule says it is due, so that a player that asks for a segment while
// it is made gets each picture when a live encoder would have it. The body
// pieces of a media answer are its fragments, one piece each, as the sink
// wrote them; they may come from anywhere and at any pace: a production
// that runs ahead, or a whole body from the cache (which then goes out as a
// body that follows its head, in chunks). The edge holds the pieces that
// are not due yet (shared, not copied) and releases them from a timer on
// the connection's executor, never by waiting. An answer other than 200
// passes unchanged.
//
// Next, when set, is the edge that was on the answer before (faults): what
// this one releases goes through it.
class PacedEdge final : public HttpServer::SendEdge, public std::enable_shared_from_this<PacedEdge>
{
public:
    PacedEdge(FragmentSchedule Schedule, Clock Now = SystemAbsoluteTime, std::shared_ptr<HttpServer::SendEdge> Next = nullptr);

    void Write(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target) override;
    void Stop(HttpServer::Connection& Target) override;
    void Close() noexcept override;

private:
    // Sends every fragment that is due, the end once all are, and waits
    // for the next one otherwise.
    void Release(HttpServer::Connection& Target);
    void Arm(std::int64_t Wait, HttpServer::Connection& Target);
    void Pass(std::shared_ptr<HttpServer::WriteBatch> Batch, HttpServer::Connection& Target);

    FragmentSchedule m_Schedule;
    Clock m_Clock;
    std::shared_ptr<HttpServer::SendEdge> m_Next;
    std::deque<HttpServer::BodyPiece> m_Held; // whole fragments not yet due
    std::size_t m_Released = 0;               // fragments sent so far
    std::optional<boost::asio::steady_timer> m_Timer;
    bool m_TimerArmed = false;
    bool m_HeadSeen = false;
    bool m_Pacing = false; // a 200 answer: its body is paced
    bool m_Final = false;  // the producer has sent everything
    bool m_Ended = false;
    bool m_Stopping = false; // the server stops: nothing waits any more
    bool m_Closed = false;
};
} // namespace Application
