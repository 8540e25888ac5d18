// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/SerialWorkQueue.h"

namespace MF
{
SerialWorkQueue::SerialWorkQueue(std::shared_ptr<WorkQueue> Parent) : m_Parent(std::move(Parent))
{
}

bool SerialWorkQueue::Put(std::function<void()> Task)
{
    {
        std::lock_guard Lock(m_Mutex);
        if(m_Shutdown)
            return false;
        m_Tasks.push_back(std::move(Task));
        if(m_Scheduled)
            return true;
        m_Scheduled = true;
    }
    return Schedule();
}

void SerialWorkQueue::Shutdown()
{
    std::lock_guard Lock(m_Mutex);
    m_Shutdown = true;
}

bool SerialWorkQueue::Schedule()
{
    if(m_Parent->Put([Self = shared_from_this()] { Self->RunNext(); }))
        return true;
    // The platform has shut down: nothing queued here can run any more.
    std::deque<std::function<void()>> Dropped;
    std::lock_guard Lock(m_Mutex);
    Dropped.swap(m_Tasks);
    m_Scheduled = false;
    return false;
}

void SerialWorkQueue::RunNext()
{
    std::function<void()> Task;
    {
        std::lock_guard Lock(m_Mutex);
        Task = std::move(m_Tasks.front());
        m_Tasks.pop_front();
    }
    struct Continuation
    {
        SerialWorkQueue& Queue;
        ~Continuation()
        {
            std::unique_lock Lock(Queue.m_Mutex);
            if(Queue.m_Tasks.empty())
            {
                Queue.m_Scheduled = false;
                return;
            }
            Lock.unlock();
            Queue.Schedule();
        }
    } const Next{*this};
    Task();
}
} // namespace MF
