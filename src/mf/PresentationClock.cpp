// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/PresentationClock.h"

#include <algorithm>
#include <chrono>

#include "base/Check.h"

namespace MF
{
std::int64_t PresentationClock::GetSystemTime() noexcept
{
    using Units = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void PresentationClock::AddClockStateSink(std::shared_ptr<IClockStateSink> const& Sink)
{
    CHECK_ARGUMENT(Sink);
    std::lock_guard Lock(m_Mutex);
    std::erase_if(m_Sinks, [](std::weak_ptr<IClockStateSink> const& Value) { return Value.expired(); });
    m_Sinks.push_back(Sink);
}

void PresentationClock::RemoveClockStateSink(std::shared_ptr<IClockStateSink> const& Sink)
{
    std::lock_guard Lock(m_Mutex);
    std::erase_if(m_Sinks, [&](std::weak_ptr<IClockStateSink> const& Value) {
        auto const Locked = Value.lock();
        return !Locked || Locked == Sink;
    });
}

std::vector<std::shared_ptr<IClockStateSink>> PresentationClock::GetSinks()
{
    std::vector<std::shared_ptr<IClockStateSink>> Sinks;
    std::lock_guard Lock(m_Mutex);
    for(auto const& Sink : m_Sinks)
        if(auto Locked = Sink.lock())
            Sinks.push_back(std::move(Locked));
    return Sinks;
}

void PresentationClock::Start(std::int64_t StartOffset)
{
    auto const SystemTime = GetSystemTime();
    {
        std::lock_guard Lock(m_Mutex);
        if(StartOffset == PRESENTATION_CURRENT_POSITION)
            StartOffset = m_StartOffset;
        m_StartOffset = StartOffset;
    }
    for(auto const& Sink : GetSinks())
        Sink->OnClockStart(SystemTime, StartOffset);
}

void PresentationClock::Stop()
{
    auto const SystemTime = GetSystemTime();
    for(auto const& Sink : GetSinks())
        Sink->OnClockStop(SystemTime);
}
} // namespace MF
