// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/ThreadPool.h"

#include <exception>

#include "base/Check.h"

namespace MF
{
ThreadPool::ThreadPool(std::size_t ThreadCount) : m_Shared(std::make_shared<Shared>())
{
    m_Threads.reserve(ThreadCount);
    for(std::size_t Index = 0; Index < ThreadCount; ++Index)
        m_Threads.emplace_back(Work, m_Shared);
}

ThreadPool::~ThreadPool()
{
    Shutdown();
}

bool ThreadPool::Put(std::function<void()> Task)
{
    {
        std::lock_guard Lock(m_Shared->Mutex);
        if(m_Shared->Stopping)
            return false;
        m_Shared->Tasks.push_back(std::move(Task));
    }
    m_Shared->Condition.notify_one();
    return true;
}

void ThreadPool::Shutdown()
{
    {
        std::lock_guard Lock(m_Shared->Mutex);
        m_Shared->Stopping = true;
    }
    m_Shared->Condition.notify_all();
    for(auto& Thread : m_Threads)
    {
        if(!Thread.joinable())
            continue;
        if(Thread.get_id() == std::this_thread::get_id())
            Thread.detach();
        else
            Thread.join();
    }
}

void ThreadPool::Work(std::shared_ptr<Shared> State)
{
    for(;;)
    {
        std::function<void()> Task;
        {
            std::unique_lock Lock(State->Mutex);
            State->Condition.wait(Lock, [&] { return State->Stopping || !State->Tasks.empty(); });
            if(State->Tasks.empty())
                return;
            Task = std::move(State->Tasks.front());
            State->Tasks.pop_front();
        }
        try
        {
            Task();
        }
        catch(std::exception const& Exception)
        {
            TRACE("Work item failed: %s\n", Exception.what());
        }
        catch(...)
        {
            TRACE("Work item failed\n");
        }
    }
}
} // namespace MF
