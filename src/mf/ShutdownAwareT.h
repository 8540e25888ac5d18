// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <shared_mutex>

#include "base/Check.h"
#include "mf/MediaStatus.h"

namespace MF
{
// The lifecycle state and the lock of a component. The state is zero or
// positive while the component lives (a component may keep its own state
// here, such as started or stopped) and MF_E_SHUTDOWN once shut down; every
// public method but Shutdown starts with NotShutdownNeeded. The component
// guards its members with GetLock(): shared for queries, exclusive for
// changes and shutdown.
//
//   void MySink::Shutdown()
//   {
//       std::unique_lock Lock(GetLock());
//       MarkShutdown();          // MF_E_SHUTDOWN the second time
//       ShutdownEventQueue();    // MediaEventGeneratorT
//       m_ByteStream.reset();
//   }
template <typename T>
class ShutdownAwareT
{
public:
    HRESULT GetState() const noexcept { return m_ShutdownState.load(); }
    bool IsShutdown() const noexcept { return Failed(GetState()); }
    // Raises the state when it is a failure.
    void NotShutdownNeeded() const
    {
        if(Failed(GetState()))
            throw HResultError(GetState());
    }
    std::shared_mutex& GetLock() const noexcept { return m_Lock; }

protected:
    void SetState(HRESULT State) noexcept { m_ShutdownState.store(State); }
    // Call under the exclusive lock: sets the state to MF_E_SHUTDOWN, or
    // raises MF_E_SHUTDOWN when it already is shut down.
    void MarkShutdown()
    {
        NotShutdownNeeded();
        m_ShutdownState.store(MF_E_SHUTDOWN);
    }

    mutable std::shared_mutex m_Lock;
    std::atomic<HRESULT> m_ShutdownState{S_OK};
};
} // namespace MF
