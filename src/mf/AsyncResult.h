// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <memory>

#include "base/Status.h"
#include "mf/IAsyncCallback.h"
#include "mf/Object.h"

namespace MF
{
// The record of one asynchronous operation: the callback to invoke, the
// caller's state, the object produced (an event, a write count) and the
// status of the operation.
class AsyncResult : public virtual Object
{
public:
    AsyncResult(std::shared_ptr<MF::Object> Produced, std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<MF::Object> State);

    HRESULT GetStatus() const noexcept { return m_Status.load(); }
    void SetStatus(HRESULT Status) noexcept { m_Status.store(Status); }
    std::shared_ptr<MF::Object> const& GetObject() const noexcept { return m_Object; }
    std::shared_ptr<MF::Object> const& GetState() const noexcept { return m_State; }
    std::shared_ptr<IAsyncCallback> const& GetCallback() const noexcept { return m_Callback; }

private:
    std::shared_ptr<MF::Object> const m_Object;
    std::shared_ptr<IAsyncCallback> const m_Callback;
    std::shared_ptr<MF::Object> const m_State;
    std::atomic<HRESULT> m_Status{S_OK};
};

inline std::shared_ptr<AsyncResult> CreateAsyncResult(std::shared_ptr<MF::Object> Produced, std::shared_ptr<IAsyncCallback> Callback,
                                                      std::shared_ptr<MF::Object> State)
{
    return std::make_shared<AsyncResult>(std::move(Produced), std::move(Callback), std::move(State));
}
} // namespace MF
