// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <shared_mutex>

#include "base/Check.h"
#include "mf/EventQueue.h"
#include "mf/IMediaEventGenerator.h"
#include "mf/MediaStatus.h"

namespace MF
{
// IMediaEventGenerator for a component T that also derives from
// ShutdownAwareT<T>: the four methods run under T's lock (shared), fail
// with MF_E_SHUTDOWN after shutdown and forward to m_EventQueue; the
// blocking GetEvent waits without the lock.
//
//   class MySource : public MF::IMediaSource, public MF::MediaEventGeneratorT<MySource>,
//                    public MF::ShutdownAwareT<MySource>, public std::enable_shared_from_this<MySource>
//   {
//       MySource() { CreateEventQueue(); }
//       ... InternalQueueEvent(MF::MESourceStarted); ...
//   };
template <typename T>
class MediaEventGeneratorT : public virtual IMediaEventGenerator
{
public:
    std::shared_ptr<MediaEvent> GetEvent(std::uint32_t Flags) override
    {
        std::shared_ptr<EventQueue> Queue;
        {
            std::shared_lock Lock(Self().GetLock());
            Self().NotShutdownNeeded();
            ASSERT(m_EventQueue);
            Queue = m_EventQueue;
        }
        return Queue->GetEvent(Flags);
    }
    void BeginGetEvent(std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State) override
    {
        std::shared_lock Lock(Self().GetLock());
        Self().NotShutdownNeeded();
        ASSERT(m_EventQueue);
        m_EventQueue->BeginGetEvent(std::move(Callback), std::move(State));
    }
    std::shared_ptr<MediaEvent> EndGetEvent(std::shared_ptr<AsyncResult> const& Result) override
    {
        std::shared_lock Lock(Self().GetLock());
        Self().NotShutdownNeeded();
        ASSERT(m_EventQueue);
        return m_EventQueue->EndGetEvent(Result);
    }
    void QueueEvent(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant const& Value) override
    {
        TRACE("this %p, Type %s, ExtendedType %s, Status 0x%08X, Value %s\n", static_cast<void*>(this), MediaEventTypeName(Type),
              ExtendedType.ToString().c_str(), static_cast<unsigned>(Status), Value.GetTypeName());
        std::shared_lock Lock(Self().GetLock());
        Self().NotShutdownNeeded();
        ASSERT(m_EventQueue);
        m_EventQueue->QueueEventParamVar(Type, ExtendedType, Status, Value);
    }

    // Queues an event without taking the lock (callers may hold it). An
    // event queue that is shut down ignores the event.
    void InternalQueueEvent(MediaEventType Type, HRESULT Status = S_OK, PropVariant Value = {})
    {
        InternalQueueEvent(MediaEvent::Create(Type, {}, Status, std::move(Value)));
    }
    void InternalQueueEvent(std::shared_ptr<MediaEvent> Event)
    {
        ASSERT(m_EventQueue);
        try
        {
            m_EventQueue->QueueEvent(std::move(Event));
        }
        catch(HResultError const& Error)
        {
            if(Error.Code() != MF_E_SHUTDOWN)
                throw;
        }
    }

protected:
    void CreateEventQueue()
    {
        ASSERT(!m_EventQueue);
        m_EventQueue = EventQueue::Create();
    }
    // The queue object stays (shut down), so that racing callers find it.
    void ShutdownEventQueue()
    {
        if(m_EventQueue)
            m_EventQueue->Shutdown();
    }

    std::shared_ptr<EventQueue> m_EventQueue;

private:
    T& Self() noexcept { return static_cast<T&>(*this); }
};
} // namespace MF
