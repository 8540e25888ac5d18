// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

#include "mf/Object.h"

namespace MF
{
// Notifications of a presentation clock, with system times in 100-ns units.
class IClockStateSink : public virtual Object
{
public:
    // StartOffset is the presentation time the clock starts at.
    virtual void OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset) = 0;
    virtual void OnClockStop(std::int64_t SystemTime) = 0;
};
} // namespace MF
