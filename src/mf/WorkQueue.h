// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>

namespace MF
{
// A queue that runs tasks on the platform's worker threads: the
// multithreaded queue runs them in parallel, a serial queue one after the
// other in the order put. Tasks must not block: they run on a small, fixed
// set of threads shared by every pipeline of the process.
class WorkQueue
{
public:
    virtual ~WorkQueue() = default;
    // Queues the task; false, with nothing queued, once the queue is shut
    // down. Callers treat false as "dropped", not as an error.
    virtual bool Put(std::function<void()> Task) = 0;
    // Refuses further tasks; tasks already queued still run.
    virtual void Shutdown() = 0;
};
} // namespace MF
