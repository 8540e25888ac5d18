// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/ManualResetEvent.h"

namespace Application
{
ManualResetEvent::Subscription::~Subscription()
{
    std::lock_guard Lock(m_Event->m_Mutex);
    m_Event->m_Listeners.erase(m_Identifier);
}

void ManualResetEvent::Set()
{
    // Listeners are called under the lock so that an unsubscribing owner
    // never goes away while its listener runs.
    std::lock_guard Lock(m_Mutex);
    if(m_Set)
        return;
    m_Set = true;
    m_Condition.notify_all();
    for(auto const& [Identifier, Callback] : m_Listeners)
        Callback();
    m_Listeners.clear();
}

bool ManualResetEvent::IsSet() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Set;
}

void ManualResetEvent::Wait() const
{
    std::unique_lock Lock(m_Mutex);
    m_Condition.wait(Lock, [this] { return m_Set; });
}

ManualResetEvent::Subscription ManualResetEvent::Subscribe(Listener Callback)
{
    std::lock_guard Lock(m_Mutex);
    std::uint64_t const Identifier = m_NextIdentifier++;
    if(m_Set)
        Callback();
    else
        m_Listeners.emplace(Identifier, std::move(Callback));
    return Subscription(*this, Identifier);
}
} // namespace Application
