// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace Application
{
// A duration in 100-ns units as "%02d:%02d:%02d" and the remaining units in
// seven digits, with a blank before the last four: 6 s is
// "00:00:06.000 0000"; a negative duration has a leading "-".
std::string FormatDuration(std::int64_t Duration);
} // namespace Application
