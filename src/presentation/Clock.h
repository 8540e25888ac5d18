// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include "base/MediaTime.h"

namespace Application
{
// The source of the current absolute time. Request handlers read it once per
// request, so everything one answer says about time agrees; tests give a
// fixed one.
using Clock = std::function<std::int64_t()>;

std::int64_t SystemAbsoluteTime();

// Live timelines begin this long before the clock reading that starts them,
// so that a player finds segments at once: 10 s.
constexpr std::int64_t BaseLiveTimeLead = 100'000'000;
} // namespace Application
