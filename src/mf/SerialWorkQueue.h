// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "mf/WorkQueue.h"

namespace MF
{
// A queue that runs its tasks one at a time, in the order put, on the
// threads of a parent queue: what a component uses when the order of its
// operations matters.
class SerialWorkQueue final : public WorkQueue, public std::enable_shared_from_this<SerialWorkQueue>
{
public:
    explicit SerialWorkQueue(std::shared_ptr<WorkQueue> Parent);

    bool Put(std::function<void()> Task) override;
    void Shutdown() override;

private:
    // Runs the oldest task, then hands the rest back to the parent so that
    // one busy serial queue does not hold a worker for all its tasks.
    void RunNext();
    // False when the parent refused: the platform has shut down.
    bool Schedule();

    std::shared_ptr<WorkQueue> const m_Parent;
    std::mutex m_Mutex;
    std::deque<std::function<void()>> m_Tasks;
    bool m_Scheduled = false;
    bool m_Shutdown = false;
};
} // namespace MF
