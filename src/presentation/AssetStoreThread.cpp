// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AssetStoreThread.h"

#include <algorithm>

namespace Application
{
AssetStoreThread::AssetStoreThread(std::shared_ptr<AssetStore> Store) : m_Store(std::move(Store)), m_Thread([this] { Run(); })
{
}

AssetStoreThread::~AssetStoreThread()
{
    {
        std::lock_guard Lock(m_Mutex);
        m_Stopping = true;
    }
    m_Wake.notify_one();
    m_Thread.join();
}

bool AssetStoreThread::Submit(Call Work)
{
    {
        std::lock_guard Lock(m_Mutex);
        if(m_Stopping || m_Calls.size() >= MaximalQueuedCalls)
            return false;
        m_Calls.push_back({std::chrono::steady_clock::now() + AssetStore::CallTime, std::move(Work)});
    }
    m_Wake.notify_one();
    return true;
}

void AssetStoreThread::Run()
{
    auto NextCheck = std::chrono::steady_clock::now() + AssetStore::CheckInterval;
    std::unique_lock Lock(m_Mutex);
    while(true)
    {
        m_Wake.wait_until(Lock, NextCheck, [this] { return m_Stopping || !m_Calls.empty(); });
        if(m_Calls.empty() && m_Stopping)
            return;
        if(!m_Calls.empty())
        {
            auto Next = std::move(m_Calls.front());
            m_Calls.pop_front();
            // Once stopping, nothing waits for the store any more.
            auto const Until = m_Stopping ? AssetStore::Deadline::min() : Next.Until;
            Lock.unlock();
            try
            {
                Next.Work(*m_Store, Until);
            }
            catch(...)
            {
                // A call answers its own failures; the thread goes on.
            }
            Lock.lock();
        }
        if(!m_Stopping && std::chrono::steady_clock::now() >= NextCheck)
        {
            Lock.unlock();
            RunCheck();
            Lock.lock();
            NextCheck = std::chrono::steady_clock::now() + AssetStore::CheckInterval;
        }
    }
}

void AssetStoreThread::RunCheck() noexcept
{
    try
    {
        auto const Suspect = m_Store->Check(std::chrono::steady_clock::now() + AssetStore::CallTime);
        auto Known = m_Suspect.load();
        while(Suspect > Known && !m_Suspect.compare_exchange_weak(Known, Suspect))
        {
        }
    }
    catch(...)
    {
        // A store out of reach is checked again next time.
    }
}
} // namespace Application
