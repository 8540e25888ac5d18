// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Clock.h"

#include <chrono>

namespace Application
{
std::int64_t SystemAbsoluteTime()
{
    auto const SinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
    using TimeUnits = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    return UnixEpochAbsoluteTime + std::chrono::duration_cast<TimeUnits>(SinceUnixEpoch).count();
}
} // namespace Application
