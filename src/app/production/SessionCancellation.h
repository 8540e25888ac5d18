// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <mutex>

namespace Application
{
class SegmentSession;

// The one session a worker runs for an answer, and its cancellation from
// another thread (the I/O thread, when the clients leave). Cancel may come
// before the run (the session then starts cancelled), during it, or after.
class SessionCancellation
{
public:
    // Runs Session on this thread until it ends.
    void Run(SegmentSession& Session);
    // Cancels the running session and every later Run.
    void Cancel();
    bool IsCancelled();

private:
    std::mutex m_Mutex;
    SegmentSession* m_Running = nullptr;
    bool m_Cancelled = false;
};
} // namespace Application
