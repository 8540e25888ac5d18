// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/EventQueue.h"

#include "base/Check.h"
#include "mf/MediaStatus.h"
#include "mf/Platform.h"

namespace MF
{
std::shared_ptr<MediaEvent> EventQueue::GetEvent(std::uint32_t Flags)
{
    std::unique_lock Lock(m_Mutex);
    CHECK_CONDITION(!m_Shutdown, MF_E_SHUTDOWN);
    CHECK_CONDITION(!m_Callback, MF_E_MULTIPLE_SUBSCRIBERS);
    if(m_Events.empty())
    {
        CHECK_CONDITION(!(Flags & MF_EVENT_FLAG_NO_WAIT), MF_E_NO_EVENTS_AVAILABLE);
        ++m_Waiters;
        m_Condition.wait(Lock, [this] { return m_Shutdown || !m_Events.empty(); });
        --m_Waiters;
        CHECK_CONDITION(!m_Shutdown, MF_E_SHUTDOWN);
    }
    auto Event = std::move(m_Events.front());
    m_Events.pop_front();
    return Event;
}

void EventQueue::BeginGetEvent(std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State)
{
    CHECK_ARGUMENT(Callback);
    std::unique_lock Lock(m_Mutex);
    CHECK_CONDITION(!m_Shutdown, MF_E_SHUTDOWN);
    CHECK_CONDITION(!m_Callback, MF_E_MULTIPLE_BEGIN);
    CHECK_CONDITION(!m_Waiters, MF_E_MULTIPLE_SUBSCRIBERS);
    m_Callback = std::move(Callback);
    m_State = std::move(State);
    Dispatch(Lock);
}

std::shared_ptr<MediaEvent> EventQueue::EndGetEvent(std::shared_ptr<AsyncResult> const& Result)
{
    CHECK_ARGUMENT(Result);
    CHECK(Result->GetStatus());
    auto Event = std::dynamic_pointer_cast<MediaEvent>(Result->GetObject());
    CHECK_ARGUMENT(Event);
    return Event;
}

void EventQueue::QueueEvent(std::shared_ptr<MediaEvent> Event)
{
    CHECK_ARGUMENT(Event);
    std::unique_lock Lock(m_Mutex);
    CHECK_CONDITION(!m_Shutdown, MF_E_SHUTDOWN);
    m_Events.push_back(std::move(Event));
    if(m_Waiters)
        m_Condition.notify_one();
    Dispatch(Lock);
}

void EventQueue::QueueEventParamVar(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant Value)
{
    QueueEvent(MediaEvent::Create(Type, ExtendedType, Status, std::move(Value)));
}

void EventQueue::Shutdown()
{
    std::deque<std::shared_ptr<MediaEvent>> Events;
    std::shared_ptr<IAsyncCallback> Callback;
    std::shared_ptr<Object> State;
    {
        std::lock_guard Lock(m_Mutex);
        m_Shutdown = true;
        Events.swap(m_Events);
        Callback.swap(m_Callback);
        State.swap(m_State);
    }
    m_Condition.notify_all();
}

bool EventQueue::IsShutdown() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Shutdown;
}

void EventQueue::Dispatch(std::unique_lock<std::mutex>& Lock)
{
    if(!m_Callback || m_Events.empty() || m_Waiters)
        return;
    auto Result = CreateAsyncResult(std::move(m_Events.front()), std::move(m_Callback), std::move(m_State));
    m_Events.pop_front();
    m_Callback.reset();
    m_State.reset();
    Lock.unlock();
    if(!InvokeCallback(Result))
        TRACE("Event dropped: the callback's queue is shut down\n");
}
} // namespace MF
