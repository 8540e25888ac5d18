// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/metrics/ServerMetrics.h"

namespace Application
{
// Worker threads for media tasks, which run whole pipelines and would hold
// up every other request on the I/O thread. At most WorkerCount asked-for
// tasks run at once, which bounds the pipelines (and so memory and processor
// use) at any load; later tasks wait their turn in order of submission,
// urgent ones before the others. The queue itself is bounded by the
// connection limit, since a connection has one request in answer at a time.
// A task hands its bytes to its connection and never waits for the client.
//
// Read-ahead tasks (media nobody has asked for yet) run on workers of their
// own at a lower scheduling priority, and only start while no asked-for
// task waits and fewer than WorkerCount tasks of either kind run: an
// asked-for task never waits for one, and the processors it needs are its
// own. A read-ahead task that a request comes to wait for before it starts
// is promoted among the asked-for ones.
//
// The destructor lets every task still queued finish; DropWaiting comes
// first at shutdown.
class SegmentTaskGroup
{
public:
    // One pipeline per processor, at least two so that one long task (a
    // progressive file) does not hold up every segment.
    static std::size_t DefaultWorkerCount() noexcept;
    // Read-ahead tasks waiting beyond this many are not taken.
    static constexpr std::size_t MaximalAheadWaiting = 64;
    // The nice value of read-ahead workers: an asked-for thread weighs
    // about ten times as much.
    static constexpr int AheadNiceness = 10;
    // How long the group stays idle before it gives the memory its
    // pipelines freed back to the system: long enough for the answers'
    // last references, released on other threads, to go too.
    static constexpr std::chrono::milliseconds IdleTrimDelay{1000};

    // Where the group counts its waiting and running tasks, if anywhere.
    struct Gauges
    {
        std::shared_ptr<ServerMetrics> Metrics;
        ServerMetrics::Gauge Waiting;
        ServerMetrics::Gauge Running;
    };
    // Who a read-ahead task is for, so that it can be promoted.
    using AheadOwner = void const*;

    explicit SegmentTaskGroup(std::size_t WorkerCount = DefaultWorkerCount(), Gauges Counting = {});
    ~SegmentTaskGroup();
    SegmentTaskGroup(SegmentTaskGroup const&) = delete;
    SegmentTaskGroup& operator=(SegmentTaskGroup const&) = delete;

    // The task answers its own failures; anything that escapes it is traced.
    // An urgent task (short work a client waits for before anything else,
    // such as an initialisation segment) goes before every waiting task.
    void Submit(std::function<void()> Task, bool Urgent = false);
    // Whether a read-ahead task would be taken now (fewer than
    // MaximalAheadWaiting wait).
    bool HasAheadRoom() const;
    // A read-ahead task, run when the workers have room no asked-for task
    // wants. Submitted from one thread, after HasAheadRoom.
    void SubmitAhead(AheadOwner Owner, std::function<void()> Task);
    // Owner's read-ahead task, if it still waits, joins the asked-for
    // ones (at the end of their queue).
    void Promote(AheadOwner Owner);
    // Drops the tasks that have not started; each releases what it holds
    // (its response, whose connection then closes). Returns how many.
    std::size_t DropWaiting();

private:
    struct AheadTask
    {
        AheadOwner Owner;
        std::function<void()> Run;
    };
    void Work();
    void WorkAhead();
    void Execute(std::function<void()>& Task);
    bool AheadMayStart() const;
    bool Idle() const;
    bool WaitForTask(std::unique_lock<std::mutex>& Lock);
    void ReleaseIdleMemory(std::unique_lock<std::mutex>& Lock);
    void Count(ServerMetrics::Gauge Which, std::int64_t Delta) const noexcept;

    Gauges const m_Gauges;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Condition;
    std::deque<std::function<void()>> m_Tasks;
    // The urgent tasks at the front of m_Tasks.
    std::size_t m_UrgentCount = 0;
    std::deque<AheadTask> m_Ahead;
    std::size_t const m_WorkerCount;
    std::size_t m_Running = 0;
    std::size_t m_AheadRunning = 0;
    bool m_Stopping = false;
    // A task ended since the memory was last given back.
    bool m_TrimOwed = false;
    std::vector<std::thread> m_Workers;
};
} // namespace Application
