// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>

#include "mf/AsyncResult.h"
#include "mf/IAsyncCallback.h"
#include "mf/WorkQueue.h"

namespace MF
{
// An IAsyncCallback over a function, optionally bound to a work queue:
//
//   auto Callback = std::make_shared<MF::AsyncCallback>(
//       [Weak = weak_from_this()](std::shared_ptr<MF::AsyncResult> const& Result) { ... }, m_WorkQueue);
//   EventQueue->BeginGetEvent(Callback, nullptr);
//
// Capture the owner weakly (or Clear the callback at shutdown) so that a
// pending request does not keep its owner alive.
class AsyncCallback final : public IAsyncCallback, public std::enable_shared_from_this<AsyncCallback>
{
public:
    using Handler = std::function<void(std::shared_ptr<AsyncResult> const& Result)>;

    explicit AsyncCallback(Handler Value);
    // Asserts "Handler && Queue".
    AsyncCallback(Handler Value, std::shared_ptr<WorkQueue> Queue, std::uint32_t Flags = 0);

    HRESULT GetParameters(std::uint32_t& Flags, std::shared_ptr<WorkQueue>& Queue) override;
    // E_INVALIDARG without a result; S_FALSE, doing nothing, once the handler
    // was cleared; otherwise the handler's failure status (also stored in
    // the result) or S_OK.
    HRESULT Invoke(std::shared_ptr<AsyncResult> const& Result) override;
    // Drops the handler (and what it captured); later invocations do nothing.
    void Clear();

    // A result that invokes this callback.
    std::shared_ptr<AsyncResult> CreateAsyncResult(std::shared_ptr<Object> Produced, std::shared_ptr<Object> State);

private:
    std::shared_mutex m_Mutex;
    Handler m_Handler;
    std::shared_ptr<WorkQueue> m_Queue;
    std::uint32_t m_Flags = 0;
};
} // namespace MF
