// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "mf/AsyncResult.h"
#include "mf/IAsyncCallback.h"
#include "mf/MediaEvent.h"

namespace MF
{
// GetEvent flag: fail with MF_E_NO_EVENTS_AVAILABLE instead of waiting.
inline constexpr std::uint32_t MF_EVENT_FLAG_NO_WAIT = 1;

// The event queue behind every event generator. Events are delivered one
// request at a time: BeginGetEvent registers one callback, which is invoked
// (on its own work queue) with a result whose object is the next event;
// EndGetEvent takes the event out of that result. A second BeginGetEvent
// before the first completed fails with MF_E_MULTIPLE_BEGIN. After Shutdown
// every call fails with MF_E_SHUTDOWN and a pending request is dropped.
class EventQueue
{
public:
    static std::shared_ptr<EventQueue> Create() { return std::make_shared<EventQueue>(); }

    // Blocks until an event arrives (or fails at once with
    // MF_EVENT_FLAG_NO_WAIT); MF_E_MULTIPLE_SUBSCRIBERS while a
    // BeginGetEvent is pending.
    std::shared_ptr<MediaEvent> GetEvent(std::uint32_t Flags);
    void BeginGetEvent(std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State);
    std::shared_ptr<MediaEvent> EndGetEvent(std::shared_ptr<AsyncResult> const& Result);
    void QueueEvent(std::shared_ptr<MediaEvent> Event);
    void QueueEventParamVar(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant Value);
    void Shutdown();
    bool IsShutdown() const;

private:
    // Hands the oldest event to the pending request, if both exist.
    void Dispatch(std::unique_lock<std::mutex>& Lock);

    mutable std::mutex m_Mutex;
    std::condition_variable m_Condition;
    std::deque<std::shared_ptr<MediaEvent>> m_Events;
    std::shared_ptr<IAsyncCallback> m_Callback;
    std::shared_ptr<Object> m_State;
    unsigned m_Waiters = 0;
    bool m_Shutdown = false;
};
} // namespace MF
