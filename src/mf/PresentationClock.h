// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "mf/IClockStateSink.h"
#include "mf/Object.h"

namespace MF
{
// A start position that means "continue where it is".
inline constexpr std::int64_t PRESENTATION_CURRENT_POSITION = 0x7FFFFFFFFFFFFFFF;

// The session's clock: it tells its state sinks (the media sinks) when the
// presentation starts and stops. It holds its sinks weakly, so a
// sink that forgets to remove itself is not kept alive. Notifications are
// made without the clock's lock; a sink's failure propagates to the caller.
class PresentationClock : public virtual Object
{
public:
    static std::shared_ptr<PresentationClock> Create() { return std::make_shared<PresentationClock>(); }
    // The monotonic system time in 100-ns units.
    static std::int64_t GetSystemTime() noexcept;

    void AddClockStateSink(std::shared_ptr<IClockStateSink> const& Sink);
    void RemoveClockStateSink(std::shared_ptr<IClockStateSink> const& Sink);
    // Starts at StartOffset (PRESENTATION_CURRENT_POSITION continues from
    // the current time).
    void Start(std::int64_t StartOffset);
    void Stop();

private:
    std::vector<std::shared_ptr<IClockStateSink>> GetSinks();

    mutable std::mutex m_Mutex;
    std::vector<std::weak_ptr<IClockStateSink>> m_Sinks;
    std::int64_t m_StartOffset = 0;
};
} // namespace MF
