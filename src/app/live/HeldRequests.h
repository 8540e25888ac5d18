// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>

#include "app/metrics/ServerMetrics.h"
#include "http/Response.h"
#include "presentation/Clock.h"

namespace Application
{
// Requests that wait for their time: a blocking playlist reload until the
// part it names exists, a part until its last frame is due. A hold never
// occupies a thread: it waits on a timer of the I/O thread's executor; a
// client that leaves ends its hold at once; only so many are held at a
// time, and each client only its share (HttpServer::Response::Hold), so a
// held request may also be shed to make room for another client. How many
// are held is counted in the server's metrics. Used on the I/O thread only.
class HeldRequests
{
public:
    // Each hold costs a timer and an open answer; a player holds one
    // playlist and one part per rendition.
    static constexpr std::size_t MaximalHeldRequests = 4096;

    HeldRequests(Clock Now, std::shared_ptr<ServerMetrics> Metrics, ServerMetrics::Gauge Counted, std::size_t Limit = MaximalHeldRequests);
    ~HeldRequests();
    HeldRequests(HeldRequests const&) = delete;
    HeldRequests& operator=(HeldRequests const&) = delete;

    // Runs Answer once the clock reaches Due (an absolute time), unless the
    // client has left. False, and nothing held, when the limit or the
    // client's share is reached.
    bool Hold(std::shared_ptr<HttpServer::Response> Response, std::int64_t Due, std::function<void()> Answer);
    // The server stops: every held answer ends with its connection.
    void Stop();

    std::size_t Count() const noexcept { return m_Held.size(); }
    std::size_t Limit() const noexcept { return m_Limit; }

private:
    struct Held;
    void Arm(std::shared_ptr<Held> const& Entry);
    void Release(Held& Entry);

    Clock m_Clock;
    std::shared_ptr<ServerMetrics> const m_Metrics;
    ServerMetrics::Gauge const m_Counted;
    std::size_t const m_Limit;
    std::list<std::shared_ptr<Held>> m_Held;
    // Outlives this object in the timers' and callbacks' captures.
    std::shared_ptr<bool> m_Alive = std::make_shared<bool>(true);
};
} // namespace Application
