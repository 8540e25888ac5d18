// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

// Every time value of the server (durations, media times, absolute times)
// counts 100-nanosecond units; absolute times count them from
// 1601-01-01 UTC.
constexpr std::int64_t TimeUnitsPerSecond = 10'000'000;
constexpr std::int64_t UnixEpochAbsoluteTime = 116'444'736'000'000'000;
