// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace Application
{
// An event that stays set once set: the process-wide termination request
// (set by the signal handler) and a service's stop request.
class ManualResetEvent
{
public:
    using Listener = std::function<void()>;

    // Unsubscribes on destruction; after that the listener is not running
    // and will not be called.
    class Subscription
    {
    public:
        Subscription(ManualResetEvent& Event, std::uint64_t Identifier) : m_Event(&Event), m_Identifier(Identifier) {}
        ~Subscription();
        Subscription(Subscription const&) = delete;
        Subscription& operator=(Subscription const&) = delete;

    private:
        ManualResetEvent* m_Event;
        std::uint64_t m_Identifier;
    };

    void Set();
    bool IsSet() const;
    void Wait() const;
    // Calls the listener once when the event is set, at once when it is set
    // already. Listeners run on the setting thread and must be short.
    [[nodiscard]] Subscription Subscribe(Listener Callback);

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Condition;
    bool m_Set = false;
    std::uint64_t m_NextIdentifier = 1;
    std::map<std::uint64_t, Listener> m_Listeners;
};
} // namespace Application
