// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/AsyncCallback.h"

#include <mutex>

#include "base/Check.h"

namespace MF
{
AsyncCallback::AsyncCallback(Handler Value) : m_Handler(std::move(Value))
{
}

AsyncCallback::AsyncCallback(Handler Value, std::shared_ptr<WorkQueue> Queue, std::uint32_t Flags) :
    m_Handler(std::move(Value)), m_Queue(std::move(Queue)), m_Flags(Flags)
{
    ASSERT(m_Handler && m_Queue);
}

HRESULT AsyncCallback::GetParameters(std::uint32_t& Flags, std::shared_ptr<WorkQueue>& Queue)
{
    std::shared_lock Lock(m_Mutex);
    if(!m_Queue)
        return E_NOTIMPL;
    Flags = m_Flags;
    Queue = m_Queue;
    return S_OK;
}

HRESULT AsyncCallback::Invoke(std::shared_ptr<AsyncResult> const& Result)
{
    if(!Result)
        return E_INVALIDARG;
    Handler Value;
    {
        std::shared_lock Lock(m_Mutex);
        Value = m_Handler;
    }
    if(!Value)
        return S_FALSE;
    HRESULT const Status = StatusBoundary([&] { Value(Result); });
    if(Failed(Status))
        Result->SetStatus(Status);
    return Status;
}

void AsyncCallback::Clear()
{
    Handler Dropped;
    std::unique_lock Lock(m_Mutex);
    Dropped.swap(m_Handler);
    m_Queue.reset();
    Lock.unlock();
}

std::shared_ptr<AsyncResult> AsyncCallback::CreateAsyncResult(std::shared_ptr<Object> Produced, std::shared_ptr<Object> State)
{
    return MF::CreateAsyncResult(std::move(Produced), shared_from_this(), std::move(State));
}
} // namespace MF
