// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Application
{
// Fixed-point text with exactly Digits fractional digits and a full stop,
// whatever the process locale ("%.3f" in the "C" locale).
std::string FormatDecimal(double Value, int Digits);
// A duration in 100-ns units as seconds with three fractional digits, as
// playlists and asset lists write them ("3.000").
std::string FormatSeconds(std::int64_t Duration);
} // namespace Application
