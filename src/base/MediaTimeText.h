// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

// A media time or duration in 100-ns units as "hh:mm:ss.mmm uuuu": hours
// (at least two digits), minutes, seconds, milliseconds, then the remaining
// four digits after a blank; 6 s is "00:00:06.000 0000", a negative time has
// a leading "-".
std::string MediaTimeText(std::int64_t Time);
