// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Platform.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "base/Check.h"
#include "mf/MediaStatus.h"
#include "mf/SerialWorkQueue.h"
#include "mf/ThreadPool.h"
#include "mf/WaitingWorkItems.h"

namespace MF
{
namespace
{
struct PlatformState
{
    std::mutex Mutex;
    unsigned StartupCount = 0;
    std::shared_ptr<ThreadPool> Pool;
    std::shared_ptr<WaitingWorkItems> Waiting;
};

PlatformState& GetState()
{
    static PlatformState State;
    return State;
}

std::shared_ptr<WaitingWorkItems> GetWaitingWorkItems()
{
    auto& State = GetState();
    std::lock_guard Lock(State.Mutex);
    return State.Waiting;
}
} // namespace

void StartupPlatform()
{
    auto& State = GetState();
    std::lock_guard Lock(State.Mutex);
    if(State.StartupCount++ > 0)
        return;
    State.Pool = std::make_shared<ThreadPool>(std::max<std::size_t>(MinimalPlatformWorkerCount, std::thread::hardware_concurrency()));
    State.Waiting = std::make_shared<WaitingWorkItems>();
}

void ShutdownPlatform()
{
    std::shared_ptr<ThreadPool> Pool;
    std::shared_ptr<WaitingWorkItems> Waiting;
    {
        auto& State = GetState();
        std::lock_guard Lock(State.Mutex);
        if(State.StartupCount == 0 || --State.StartupCount > 0)
            return;
        Pool = std::move(State.Pool);
        Waiting = std::move(State.Waiting);
    }
    Waiting->Stop();
    Pool->Shutdown();
}

std::shared_ptr<WorkQueue> GetMultithreadedWorkQueue()
{
    auto& State = GetState();
    std::lock_guard Lock(State.Mutex);
    CHECK_CONDITION(State.Pool, MF_E_PLATFORM_NOT_INITIALIZED);
    return State.Pool;
}

std::shared_ptr<WorkQueue> AllocateSerialWorkQueue()
{
    return std::make_shared<SerialWorkQueue>(GetMultithreadedWorkQueue());
}

bool PutWorkItem(std::shared_ptr<WorkQueue> const& Queue, std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<Object> State)
{
    CHECK_ARGUMENT(Callback);
    auto Result = CreateAsyncResult(nullptr, std::move(Callback), std::move(State));
    auto const Target = Queue ? Queue : GetMultithreadedWorkQueue();
    return Target->Put([Result] { Result->GetCallback()->Invoke(Result); });
}

bool InvokeCallback(std::shared_ptr<AsyncResult> const& Result)
{
    CHECK_ARGUMENT(Result && Result->GetCallback());
    std::uint32_t Flags = 0;
    std::shared_ptr<WorkQueue> Queue;
    if(Failed(Result->GetCallback()->GetParameters(Flags, Queue)) || !Queue)
        Queue = GetMultithreadedWorkQueue();
    return Queue->Put([Result] { Result->GetCallback()->Invoke(Result); });
}

std::optional<std::uint64_t> PutWaitingWorkItem(std::shared_ptr<Event> Event, std::shared_ptr<AsyncResult> Result)
{
    auto const Waiting = GetWaitingWorkItems();
    if(!Waiting)
        return std::nullopt;
    return Waiting->Put(std::move(Event), std::move(Result));
}

bool CancelWorkItem(std::uint64_t Key)
{
    auto const Waiting = GetWaitingWorkItems();
    return Waiting && Waiting->Cancel(Key);
}
} // namespace MF
