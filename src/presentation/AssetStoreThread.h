// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "presentation/AssetStore.h"

namespace Application
{
// The one thread that talks to the asset store, so that the request loop
// never waits for it. Calls run in the order submitted, each with a
// deadline of AssetStore::CallTime from its submission: a call still queued
// at its deadline fails at once, one in progress fails when it is reached.
// A call delivers its own answer (it posts it to the request loop). Between
// calls the thread runs AssetStore::Check every CheckInterval.
class AssetStoreThread
{
public:
    // Calls waiting at once: while a store hangs, more are refused at once.
    static constexpr std::size_t MaximalQueuedCalls = 1024;

    // Runs on the store thread. What it raises is dropped: a call whose
    // failure is an answer catches it itself.
    using Call = std::function<void(AssetStore& Store, AssetStore::Deadline Until)>;

    explicit AssetStoreThread(std::shared_ptr<AssetStore> Store);
    // Calls still queued run with their deadline passed (so they fail
    // without asking the store), then the thread ends.
    ~AssetStoreThread();
    AssetStoreThread(AssetStoreThread const&) = delete;
    AssetStoreThread& operator=(AssetStoreThread const&) = delete;

    // False, and Work dropped, when MaximalQueuedCalls are waiting.
    bool Submit(Call Work);
    // On the request loop: what the last checks returned (0 for nothing),
    // once; see AssetStore::Check.
    std::uint32_t TakeSuspectNumbers() noexcept { return m_Suspect.exchange(0); }

private:
    struct Queued
    {
        AssetStore::Deadline Until;
        Call Work;
    };

    void Run();
    void RunCheck() noexcept;

    std::shared_ptr<AssetStore> const m_Store;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<Queued> m_Calls;
    bool m_Stopping = false;
    std::atomic<std::uint32_t> m_Suspect{0};
    // Last: starts once everything it uses is there.
    std::thread m_Thread;
};
} // namespace Application
