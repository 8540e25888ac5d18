// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string_view>

// Where trace lines go. Silent by default, and then a trace costs one atomic
// load; a forwarder (the console with -Debug, or a test) makes it live.
class TraceSink
{
public:
    using Forwarder = std::function<void(std::string_view Line)>;

    static bool IsEnabled() noexcept { return s_Enabled.load(std::memory_order_relaxed); }
    // Replaces the forwarder; an empty one silences tracing again.
    static void SetForwarder(Forwarder Value);
    static void Write(std::string_view Line) noexcept;

private:
    static std::atomic<bool> s_Enabled;
    static std::mutex s_Mutex;
    static Forwarder s_Forwarder;
};
