// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DashPeriod.h"

#include "base/Check.h"

namespace Application
{
DashPeriod::SegmentRange DashPeriod::Segments(std::uint32_t PeriodIndex, std::int64_t SegmentDuration) const
{
    CHECK_LINE(SegmentDuration > 0);
    SegmentRange Range;
    Range.First = Offset / SegmentDuration;
    Range.Last = (Offset + Duration - 1) / SegmentDuration;
    Range.RepeatCount = static_cast<std::uint32_t>(Range.Last - Range.First);
    Range.BaseIndex = static_cast<std::int32_t>(1 - Range.First);
    TRACE("PeriodIndex %u, %u..%u, SegmentCount %u\n", PeriodIndex, static_cast<unsigned>(Range.First), static_cast<unsigned>(Range.Last),
          Range.RepeatCount + 1);
    return Range;
}
} // namespace Application
