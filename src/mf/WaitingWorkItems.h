// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "mf/AsyncResult.h"
#include "mf/Event.h"

namespace MF
{
// Work items that run when an event is signalled: one thread polls every
// registered event and hands the result of a signalled one to
// InvokeCallback. An automatic event's signal is consumed by the item it
// releases, so one signal releases one item.
class WaitingWorkItems
{
public:
    // The most items waiting at once; more are refused with E_OUTOFMEMORY.
    static constexpr std::size_t MaximalItemCount = 4096;

    WaitingWorkItems();
    ~WaitingWorkItems();
    WaitingWorkItems(WaitingWorkItems const&) = delete;
    WaitingWorkItems& operator=(WaitingWorkItems const&) = delete;

    // The key that cancels the item; nothing once stopped.
    std::optional<std::uint64_t> Put(std::shared_ptr<Event> Event, std::shared_ptr<AsyncResult> Result);
    // True when the item was still waiting; its callback is then never invoked.
    bool Cancel(std::uint64_t Key);
    // Drops every waiting item and ends the thread.
    void Stop();

private:
    struct Item
    {
        std::shared_ptr<MF::Event> Signal;
        std::shared_ptr<AsyncResult> Result;
    };

    void Work();
    void Release(std::uint64_t Key);

    std::mutex m_Mutex;
    std::map<std::uint64_t, Item> m_Items;
    std::uint64_t m_NextKey = 1;
    bool m_Stopping = false;
    Event m_Wake{EventReset::Automatic};
    std::thread m_Thread;
};
} // namespace MF
