// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "base/Status.h"
#include "mf/Object.h"

namespace MF
{
class AsyncResult;
class WorkQueue;

// The receiver of an asynchronous completion (an event request, a finished
// write or finalisation, a queued operation).
class IAsyncCallback : public virtual Object
{
public:
    // The queue to be invoked on: S_OK with the queue, or E_NOTIMPL when the
    // callback does not care (the multithreaded queue is used then).
    virtual HRESULT GetParameters(std::uint32_t& Flags, std::shared_ptr<WorkQueue>& Queue) = 0;
    // Runs the completion. A failure is also stored in the result's status.
    virtual HRESULT Invoke(std::shared_ptr<AsyncResult> const& Result) = 0;
};
} // namespace MF
