// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "mf/AsyncResult.h"
#include "mf/Event.h"
#include "mf/IAsyncCallback.h"
#include "mf/WorkQueue.h"

// The media platform's threads: the multithreaded work queue, serial work
// queues on it, and waiting work items. Start it once per process (the
// server at start-up, each test with a PlatformScope):
//
//   MF::PlatformScope Platform;
//   auto Queue = MF::AllocateSerialWorkQueue();
//   MF::PutWorkItem(Queue, Callback, State);
//
// Start-ups are counted; the last ShutdownPlatform stops accepting work,
// runs what is queued, drops waiting items and joins every thread.
namespace MF
{
// Worker threads of the multithreaded queue: at least this many, more on
// machines with more cores.
inline constexpr std::size_t MinimalPlatformWorkerCount = 4;

void StartupPlatform();
void ShutdownPlatform();

struct PlatformScope
{
    PlatformScope() { StartupPlatform(); }
    ~PlatformScope() { ShutdownPlatform(); }
    PlatformScope(PlatformScope const&) = delete;
    PlatformScope& operator=(PlatformScope const&) = delete;
};

// The multithreaded queue (the platform's MFASYNC_CALLBACK_QUEUE_MULTITHREADED).
// Raises MF_E_PLATFORM_NOT_INITIALIZED before StartupPlatform.
std::shared_ptr<WorkQueue> GetMultithreadedWorkQueue();
// A new serial queue on the multithreaded one; Shutdown it when done.
std::shared_ptr<WorkQueue> AllocateSerialWorkQueue();
// Invokes Callback with a new result carrying State on Queue (the
// multithreaded queue when Queue is null). False when the queue is shut down.
bool PutWorkItem(std::shared_ptr<WorkQueue> const& Queue, std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State);
// Invokes the result's callback on the callback's own queue (GetParameters),
// else on the multithreaded queue. False when that queue is shut down.
bool InvokeCallback(std::shared_ptr<AsyncResult> const& Result);
// Invokes the result's callback once Event is signalled. The key cancels
// it; nothing when the platform is shut down.
std::optional<std::uint64_t> PutWaitingWorkItem(std::shared_ptr<Event> Event, std::shared_ptr<AsyncResult> Result);
// True when the item was still waiting; its callback is then never invoked.
bool CancelWorkItem(std::uint64_t Key);
} // namespace MF
