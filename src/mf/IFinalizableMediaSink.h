// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "mf/AsyncResult.h"
#include "mf/IAsyncCallback.h"
#include "mf/IMediaSink.h"

namespace MF
{
// A sink that completes its output when the session closes: BeginFinalize
// invokes the callback when done, and EndFinalize raises the status of the
// finalisation.
class IFinalizableMediaSink : public virtual IMediaSink
{
public:
    virtual void BeginFinalize(std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State) = 0;
    virtual void EndFinalize(std::shared_ptr<AsyncResult> const& Result) = 0;
};
} // namespace MF
