// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace MF
{
enum class EventReset
{
    Manual,    // stays signalled until Reset
    Automatic, // a successful wait clears it; several Sets before a wait count once
};

// A waitable event over a Linux eventfd, so that one thread can wait for any
// of several events (the session runner), and the platform's waiter thread
// can watch many of them for waiting work items. Share it by std::shared_ptr.
class Event
{
public:
    // What WaitForAny returns when the timeout passes first.
    static constexpr std::uint32_t WaitTimedOut = 258;
    // The most events one WaitForAny takes: one poll over a fixed array.
    static constexpr std::size_t MaximalWaitCount = 64;

    explicit Event(EventReset Reset, bool InitialState = false);
    ~Event();
    Event(Event const&) = delete;
    Event& operator=(Event const&) = delete;

    static std::shared_ptr<Event> Create(EventReset Reset, bool InitialState = false)
    {
        return std::make_shared<Event>(Reset, InitialState);
    }

    void Set() noexcept;
    void Reset() noexcept;
    // Whether signalled, without consuming an automatic event's signal.
    bool IsSet() const noexcept;
    bool IsManualReset() const noexcept { return m_Reset == EventReset::Manual; }
    // Waits until signalled (consuming an automatic event's signal) or until
    // the timeout passes; nothing is no timeout. True when signalled.
    bool Wait(std::optional<std::chrono::milliseconds> Timeout = std::nullopt) noexcept;
    // For a signalled automatic event: takes the signal if no other waiter
    // took it first. For a manual event: whether it is signalled.
    bool TryAcquire() noexcept;
    // The file descriptor that polls readable while the event is signalled.
    int GetHandle() const noexcept { return m_Handle; }

    // Waits for any of the events (at most MaximalWaitCount, else
    // E_INVALIDARG is raised): the index of the first signalled one, whose
    // signal it takes, or WaitTimedOut.
    static std::uint32_t WaitForAny(std::span<Event* const> Events, std::optional<std::chrono::milliseconds> Timeout = std::nullopt);

private:
    int m_Handle;
    EventReset m_Reset;
};
} // namespace MF
