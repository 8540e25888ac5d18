// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mf/WorkQueue.h"

namespace MF
{
// The platform's multithreaded work queue: a fixed set of worker threads
// taking tasks from one queue. A task that throws is traced and forgotten,
// so that a worker never dies.
class ThreadPool final : public WorkQueue
{
public:
    explicit ThreadPool(std::size_t ThreadCount);
    ~ThreadPool() override;

    bool Put(std::function<void()> Task) override;
    // Refuses new tasks, lets the queued ones run and joins the workers
    // (all but the calling one, when a task shuts the pool down).
    void Shutdown() override;

private:
    // What the workers use; each holds it, so that a worker that drops the
    // last reference to the pool from inside a task still finds it.
    struct Shared
    {
        std::mutex Mutex;
        std::condition_variable Condition;
        std::deque<std::function<void()>> Tasks;
        bool Stopping = false;
    };

    static void Work(std::shared_ptr<Shared> State);

    std::shared_ptr<Shared> const m_Shared;
    std::vector<std::thread> m_Threads;
};
} // namespace MF
