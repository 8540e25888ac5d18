// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/TraceSink.h"

std::atomic<bool> TraceSink::s_Enabled{false};
std::mutex TraceSink::s_Mutex;
TraceSink::Forwarder TraceSink::s_Forwarder;

void TraceSink::SetForwarder(Forwarder Value)
{
    std::lock_guard Lock(s_Mutex);
    s_Forwarder = std::move(Value);
    s_Enabled.store(static_cast<bool>(s_Forwarder), std::memory_order_relaxed);
}

void TraceSink::Write(std::string_view Line) noexcept
{
    std::lock_guard Lock(s_Mutex);
    if(!s_Forwarder)
        return;
    try
    {
        s_Forwarder(Line);
    }
    catch(...)
    {
        // A trace never throws.
    }
}
