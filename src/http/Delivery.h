// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

namespace HttpServer
{
// What the producer of one answer and the connection that sends it share
// across threads: whether the client is still there to take the bytes, and
// how many bytes wait to be written. A producer never waits for a client:
// it hands its bytes over and learns here when no one takes them any more.
class Delivery
{
public:
    // Whether the connection is gone: the client left, fell too far behind,
    // was dropped after a failure, or the server stopped waiting for it.
    bool IsClientGone() const noexcept { return m_ClientGone.load(); }
    // Callback runs once when the client goes: on the I/O thread, or at once
    // on the calling thread when the client is already gone. It must not
    // block; cancelling the production is what it is for.
    void OnClientGone(std::function<void()> Callback);
    // Called by the connection when it closes, on the I/O thread.
    void MarkClientGone();

    // Returns the bytes queued before these.
    std::size_t AddQueued(std::size_t Size) noexcept { return m_QueuedBytes.fetch_add(Size); }
    void RemoveQueued(std::size_t Size) noexcept { m_QueuedBytes.fetch_sub(Size); }

private:
    std::atomic<bool> m_ClientGone{false};
    std::atomic<std::size_t> m_QueuedBytes{0};
    std::mutex m_Mutex;
    std::function<void()> m_Callback;
};
} // namespace HttpServer
