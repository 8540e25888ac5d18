// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentTaskGroup.h"

#include <algorithm>
#include <exception>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include "base/Trace.h"

namespace Application
{
std::size_t SegmentTaskGroup::DefaultWorkerCount() noexcept
{
    return std::max(2u, std::thread::hardware_concurrency());
}

SegmentTaskGroup::SegmentTaskGroup(std::size_t WorkerCount, Gauges Counting) :
    m_Gauges(std::move(Counting)), m_WorkerCount(std::max<std::size_t>(WorkerCount, 1))
{
    m_Workers.reserve(2 * m_WorkerCount);
    for(std::size_t Index = 0; Index < m_WorkerCount; ++Index)
        m_Workers.emplace_back([this] { Work(); });
    for(std::size_t Index = 0; Index < m_WorkerCount; ++Index)
        m_Workers.emplace_back([this] { WorkAhead(); });
}

SegmentTaskGroup::~SegmentTaskGroup()
{
    {
        std::lock_guard Lock(m_Mutex);
        m_Stopping = true;
    }
    m_Condition.notify_all();
    for(auto& Worker : m_Workers)
        Worker.join();
}

void SegmentTaskGroup::Submit(std::function<void()> Task, bool Urgent)
{
    {
        std::lock_guard Lock(m_Mutex);
        if(Urgent)
            m_Tasks.insert(m_Tasks.begin() + static_cast<std::ptrdiff_t>(m_UrgentCount++), std::move(Task));
        else
            m_Tasks.push_back(std::move(Task));
    }
    Count(m_Gauges.Waiting, 1);
    // Every worker: the one that takes it may be of either kind's waiters.
    m_Condition.notify_all();
}

bool SegmentTaskGroup::HasAheadRoom() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Ahead.size() < MaximalAheadWaiting;
}

void SegmentTaskGroup::SubmitAhead(AheadOwner Owner, std::function<void()> Task)
{
    {
        std::lock_guard Lock(m_Mutex);
        m_Ahead.push_back({Owner, std::move(Task)});
    }
    m_Condition.notify_all();
}

void SegmentTaskGroup::Promote(AheadOwner Owner)
{
    {
        std::lock_guard Lock(m_Mutex);
        auto const Found = std::find_if(m_Ahead.begin(), m_Ahead.end(), [Owner](AheadTask const& Task) { return Task.Owner == Owner; });
        if(Found == m_Ahead.end())
            return;
        m_Tasks.push_back(std::move(Found->Run));
        m_Ahead.erase(Found);
    }
    Count(m_Gauges.Waiting, 1);
    m_Condition.notify_all();
}

std::size_t SegmentTaskGroup::DropWaiting()
{
    std::deque<std::function<void()>> Dropped;
    std::deque<AheadTask> DroppedAhead;
    {
        std::lock_guard Lock(m_Mutex);
        Dropped.swap(m_Tasks);
        m_UrgentCount = 0;
        DroppedAhead.swap(m_Ahead);
    }
    // Released outside the lock: what a task holds may take a while to end.
    std::size_t const DroppedCount = Dropped.size();
    Count(m_Gauges.Waiting, -static_cast<std::int64_t>(DroppedCount));
    Dropped.clear();
    DroppedAhead.clear();
    return DroppedCount;
}

void SegmentTaskGroup::Count(ServerMetrics::Gauge Which, std::int64_t Delta) const noexcept
{
    if(m_Gauges.Metrics)
        m_Gauges.Metrics->Add(Which, Delta);
}

bool SegmentTaskGroup::Idle() const
{
    return m_Tasks.empty() && m_Ahead.empty() && m_Running + m_AheadRunning == 0;
}

bool SegmentTaskGroup::WaitForTask(std::unique_lock<std::mutex>& Lock)
{
    auto const Ready = [this] { return m_Stopping || !m_Tasks.empty(); };
    while(!Ready())
    {
        if(m_TrimOwed && Idle())
        {
            if(!m_Condition.wait_for(Lock, IdleTrimDelay, Ready) && m_TrimOwed && Idle())
                ReleaseIdleMemory(Lock);
        }
        else
            m_Condition.wait(Lock);
    }
    return !m_Tasks.empty();
}

void SegmentTaskGroup::ReleaseIdleMemory(std::unique_lock<std::mutex>& Lock)
{
    // A pipeline allocates and frees hundreds of megabytes over the threads
    // of its encoders; the allocator would keep them for good in its
    // per-thread arenas. Once the group has been idle a while they go back.
    m_TrimOwed = false;
    Lock.unlock();
    malloc_trim(0);
    Lock.lock();
}

bool SegmentTaskGroup::AheadMayStart() const
{
    return !m_Ahead.empty() && m_Tasks.empty() && m_Running + m_AheadRunning < m_WorkerCount;
}

void SegmentTaskGroup::Execute(std::function<void()>& Task)
{
    try
    {
        Task();
    }
    catch(std::exception const& Exception)
    {
        TRACE("Exception %s\n", Exception.what());
    }
    Task = nullptr; // what it holds goes before it counts as done
}

void SegmentTaskGroup::Work()
{
    for(;;)
    {
        std::function<void()> Task;
        {
            std::unique_lock Lock(m_Mutex);
            // Stopping still runs what was submitted: each holds a response
            // that must be completed.
            if(!WaitForTask(Lock))
                return;
            Task = std::move(m_Tasks.front());
            m_Tasks.pop_front();
            if(m_UrgentCount > 0)
                --m_UrgentCount;
            ++m_Running;
        }
        Count(m_Gauges.Waiting, -1);
        Count(m_Gauges.Running, 1);
        Execute(Task);
        {
            std::lock_guard Lock(m_Mutex);
            --m_Running;
            m_TrimOwed = true;
        }
        // A worker is free: read-ahead may take it.
        m_Condition.notify_all();
        Count(m_Gauges.Running, -1);
    }
}

void SegmentTaskGroup::WorkAhead()
{
    // A lower priority for this thread and the encoder threads it starts:
    // read-ahead yields the processors to the asked-for tasks that start
    // while it runs. Not the lowest: a request may come to wait for it,
    // and the priority cannot be raised again without privileges.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), AheadNiceness);
    for(;;)
    {
        std::function<void()> Task;
        {
            std::unique_lock Lock(m_Mutex);
            m_Condition.wait(Lock, [this] { return m_Stopping || AheadMayStart(); });
            // At shutdown read-ahead is dropped: nobody waits for it.
            if(m_Stopping)
                return;
            Task = std::move(m_Ahead.front().Run);
            m_Ahead.pop_front();
            ++m_AheadRunning;
        }
        Execute(Task);
        {
            std::lock_guard Lock(m_Mutex);
            --m_AheadRunning;
            m_TrimOwed = true;
        }
        m_Condition.notify_all();
    }
}
} // namespace Application
