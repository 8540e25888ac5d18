// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/WaitingWorkItems.h"

#include <poll.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "base/Check.h"
#include "mf/Platform.h"

namespace MF
{
WaitingWorkItems::WaitingWorkItems() : m_Thread([this] { Work(); })
{
}

WaitingWorkItems::~WaitingWorkItems()
{
    Stop();
}

std::optional<std::uint64_t> WaitingWorkItems::Put(std::shared_ptr<MF::Event> Event, std::shared_ptr<AsyncResult> Result)
{
    CHECK_ARGUMENT(Event && Result);
    std::uint64_t Key;
    {
        std::lock_guard Lock(m_Mutex);
        if(m_Stopping)
            return std::nullopt;
        CHECK_CONDITION(m_Items.size() < MaximalItemCount, E_OUTOFMEMORY);
        Key = m_NextKey++;
        m_Items.emplace(Key, Item{std::move(Event), std::move(Result)});
    }
    m_Wake.Set();
    return Key;
}

bool WaitingWorkItems::Cancel(std::uint64_t Key)
{
    Item Cancelled;
    {
        std::lock_guard Lock(m_Mutex);
        auto const Iterator = m_Items.find(Key);
        if(Iterator == m_Items.end())
            return false;
        Cancelled = std::move(Iterator->second);
        m_Items.erase(Iterator);
    }
    m_Wake.Set();
    return true;
}

void WaitingWorkItems::Stop()
{
    std::map<std::uint64_t, Item> Dropped;
    {
        std::lock_guard Lock(m_Mutex);
        m_Stopping = true;
        Dropped.swap(m_Items);
    }
    m_Wake.Set();
    if(m_Thread.joinable() && m_Thread.get_id() != std::this_thread::get_id())
        m_Thread.join();
}

void WaitingWorkItems::Release(std::uint64_t Key)
{
    Item Released;
    {
        std::lock_guard Lock(m_Mutex);
        auto const Iterator = m_Items.find(Key);
        // Cancelled meanwhile, or another waiter took the automatic event's signal.
        if(Iterator == m_Items.end() || !Iterator->second.Signal->TryAcquire())
            return;
        Released = std::move(Iterator->second);
        m_Items.erase(Iterator);
    }
    // Invoked from this thread only through a queue; a platform shutting
    // down meanwhile drops the item.
    StatusBoundary([&] { InvokeCallback(Released.Result); });
}

void WaitingWorkItems::Work()
{
    std::vector<pollfd> Descriptors;
    std::vector<std::uint64_t> Keys;
    // Holding the events keeps their descriptors open while polling, even
    // when an item is cancelled meanwhile.
    std::vector<std::shared_ptr<Event>> Events;
    for(;;)
    {
        Descriptors.assign(1, pollfd{m_Wake.GetHandle(), POLLIN, 0});
        Keys.clear();
        Events.clear();
        {
            std::lock_guard Lock(m_Mutex);
            if(m_Stopping)
                return;
            for(auto const& [Key, Value] : m_Items)
            {
                Descriptors.push_back(pollfd{Value.Signal->GetHandle(), POLLIN, 0});
                Keys.push_back(Key);
                Events.push_back(Value.Signal);
            }
        }
        if(poll(Descriptors.data(), Descriptors.size(), -1) < 0)
        {
            if(errno != EINTR)
                TRACE("poll failed, errno %d\n", errno);
            continue;
        }
        if(Descriptors[0].revents & POLLIN)
            m_Wake.TryAcquire();
        for(std::size_t Index = 1; Index < Descriptors.size(); ++Index)
            if(Descriptors[Index].revents & POLLIN)
                Release(Keys[Index - 1]);
    }
}
} // namespace MF
