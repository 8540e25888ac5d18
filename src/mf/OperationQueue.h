// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "base/Check.h"
#include "mf/AsyncCallback.h"
#include "mf/Event.h"
#include "mf/MediaEventType.h"
#include "mf/Operation.h"
#include "mf/Platform.h"

namespace MF
{
// Runs a component's operations on work queues. A concrete operation
// derives from OperationQueue<T>::BaseOperation, which keeps the component
// alive until the operation has run and turns a failure into an MEError
// event of the component (when T has InternalQueueEvent):
//
//   class MySource::StartOperation final : public MF::OperationQueue<MySource>::BaseOperation
//   {
//       using BaseOperation::BaseOperation;
//       void Run(MySource& Source) override { Source.DoStart(); }
//   };
//   QueueOperation(m_WorkQueue, std::make_shared<StartOperation>(shared_from_this()));
//
// Use a serial work queue where the order of operations matters.
template <typename T>
class OperationQueue
{
public:
    class BaseOperation : public Operation
    {
    public:
        explicit BaseOperation(std::shared_ptr<T> Owner) : m_Owner(std::move(Owner)) { ASSERT(m_Owner); }
        void Invoke() final { Run(*m_Owner); }
        void OnFailure(HResultError const& Error) override
        {
            TRACE("Operation failed, 0x%08X\n", static_cast<unsigned>(Error.Code()));
            if constexpr(requires(T& Owner) { Owner.InternalQueueEvent(MEError, HRESULT{}); })
                m_Owner->InternalQueueEvent(MEError, Error.Code());
        }

    protected:
        virtual void Run(T& Owner) = 0;
        std::shared_ptr<T> const m_Owner;
    };

    // True when queued; false, with the operation dropped, when the queue is
    // shut down. Other failures raise.
    bool QueueOperation(std::shared_ptr<WorkQueue> const& Queue, std::shared_ptr<Operation> Value)
    {
        ASSERT(Value);
        return PutWorkItem(Queue, m_AsyncCallback, std::move(Value));
    }
    // Runs the operation once Event is signalled, on Queue (a serial queue
    // keeps it in order with the component's other operations), or on the
    // multithreaded queue without one. The key cancels it (CancelWorkItem);
    // nothing when the platform is shut down.
    std::optional<std::uint64_t> QueueWaitingOperation(std::shared_ptr<Event> const& Event, std::shared_ptr<Operation> Value,
                                                       std::shared_ptr<WorkQueue> const& Queue = nullptr)
    {
        ASSERT(Event);
        ASSERT(Value);
        auto const Callback = Queue ? std::make_shared<AsyncCallback>(&OperationInvoke, Queue) : m_AsyncCallback;
        return PutWaitingWorkItem(Event, Callback->CreateAsyncResult(nullptr, std::move(Value)));
    }

protected:
    static void OperationInvoke(std::shared_ptr<AsyncResult> const& Result)
    {
        ASSERT(Result);
        auto const Value = std::dynamic_pointer_cast<Operation>(Result->GetState());
        ASSERT(Value);
        try
        {
            Value->Invoke();
        }
        catch(HResultError const& Error)
        {
            Value->OnFailure(Error);
            throw;
        }
    }

    // The handler takes everything from the result, so the callback holds
    // no reference to the component.
    std::shared_ptr<AsyncCallback> const m_AsyncCallback = std::make_shared<AsyncCallback>(&OperationInvoke);
};
} // namespace MF
