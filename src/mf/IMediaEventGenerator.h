// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/AsyncResult.h"
#include "mf/IAsyncCallback.h"
#include "mf/MediaEvent.h"

namespace MF
{
// A component that reports events (sources, streams, sinks, stream sinks,
// the session). Components implement it with MediaEventGeneratorT. The
// methods raise HResultError on failure, MF_E_SHUTDOWN after shutdown.
class IMediaEventGenerator : public virtual Object
{
public:
    virtual std::shared_ptr<MediaEvent> GetEvent(std::uint32_t Flags) = 0;
    virtual void BeginGetEvent(std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State) = 0;
    virtual std::shared_ptr<MediaEvent> EndGetEvent(std::shared_ptr<AsyncResult> const& Result) = 0;
    virtual void QueueEvent(MediaEventType Type, Guid const& ExtendedType, HRESULT Status, PropVariant const& Value) = 0;
};
} // namespace MF
