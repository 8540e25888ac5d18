// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>

namespace Application
{
// Absolute times count 100-ns units since 1601-01-01 UTC.
constexpr std::int64_t UnixEpochAbsoluteTime = 116'444'736'000'000'000;

// The source of the current absolute time. Request handlers read it once per
// request, so everything one answer says about time agrees; tests give a
// fixed one.
using Clock = std::function<std::int64_t()>;

std::int64_t SystemAbsoluteTime();

// Live timelines begin this long before the clock reading that starts them,
// so that a player finds segments at once: 10 s.
constexpr std::int64_t BaseLiveTimeLead = 100'000'000;
} // namespace Application
