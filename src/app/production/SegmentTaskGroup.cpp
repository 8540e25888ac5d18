// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/SegmentTaskGroup.h"

#include <algorithm>
#include <exception>

#include <malloc.h>

#include "base/Trace.h"

namespace Application
{
std::size_t SegmentTaskGroup::DefaultWorkerCount() noexcept
{
    return std::max(2u, std::thread::hardware_concurrency());
}

std::uint32_t SegmentTaskGroup::ProcessorShare(std::size_t WorkerCount) noexcept
{
    std::size_t const Processors = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<std::uint32_t>(std::max<std::size_t>(1, Processors / std::max<std::size_t>(WorkerCount, 1)));
}

SegmentTaskGroup::SegmentTaskGroup(std::size_t WorkerCount, Gauges Counting) : m_Gauges(std::move(Counting))
{
    m_Workers.reserve(WorkerCount);
    for(std::size_t Index = 0; Index < std::max<std::size_t>(WorkerCount, 1); ++Index)
        m_Workers.emplace_back([this] { Work(); });
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
    m_Condition.notify_one();
}

std::size_t SegmentTaskGroup::DropWaiting()
{
    std::deque<std::function<void()>> Dropped;
    {
        std::lock_guard Lock(m_Mutex);
        Dropped.swap(m_Tasks);
        m_UrgentCount = 0;
    }
    // Released outside the lock: what a task holds may take a while to end.
    std::size_t const DroppedCount = Dropped.size();
    Count(m_Gauges.Waiting, -static_cast<std::int64_t>(DroppedCount));
    Dropped.clear();
    return DroppedCount;
}

void SegmentTaskGroup::Count(ServerMetrics::Gauge Which, std::int64_t Delta) const noexcept
{
    if(m_Gauges.Metrics)
        m_Gauges.Metrics->Add(Which, Delta);
}

void SegmentTaskGroup::ReleaseIdleMemory()
{
    {
        std::lock_guard Lock(m_Mutex);
        if(!m_Tasks.empty())
            return;
    }
    // A pipeline allocates and frees hundreds of megabytes over the threads
    // of its encoders; the allocator would keep them for good in its
    // per-thread arenas. Once the queue is empty they go back.
    malloc_trim(0);
}

void SegmentTaskGroup::Work()
{
    for(;;)
    {
        std::function<void()> Task;
        {
            std::unique_lock Lock(m_Mutex);
            m_Condition.wait(Lock, [this] { return m_Stopping || !m_Tasks.empty(); });
            // Stopping still runs what was submitted: each holds a response
            // that must be completed.
            if(m_Tasks.empty())
                return;
            Task = std::move(m_Tasks.front());
            m_Tasks.pop_front();
            if(m_UrgentCount > 0)
                --m_UrgentCount;
        }
        Count(m_Gauges.Waiting, -1);
        Count(m_Gauges.Running, 1);
        try
        {
            Task();
        }
        catch(std::exception const& Exception)
        {
            TRACE("Exception %s\n", Exception.what());
        }
        Task = nullptr; // what it holds goes before it counts as done
        Count(m_Gauges.Running, -1);
        ReleaseIdleMemory();
    }
}
} // namespace Application
