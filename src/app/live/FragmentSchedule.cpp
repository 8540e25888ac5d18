// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/live/FragmentSchedule.h"

#include <algorithm>

#include "base/MulDiv.h"
#include "media/SegmentWindow.h"

namespace Application
{
FragmentSchedule::FragmentSchedule(std::int64_t BaseLiveTime, std::int64_t Start, std::int64_t End, std::int64_t FirstUnit, std::int64_t UnitScale,
                                   std::int64_t UnitDivisor) noexcept :
    m_BaseLiveTime(BaseLiveTime), m_Start(Start), m_End(End), m_FirstUnit(FirstUnit), m_UnitScale(UnitScale), m_UnitDivisor(UnitDivisor)
{
}

FragmentSchedule FragmentSchedule::ForVideo(VideoVariant const& Variant, std::uint32_t Index, std::int64_t BaseLiveTime)
{
    auto const Window = SegmentWindow::ForVideo(Variant, Index);
    // The window numbers its first fragment by its frame's index on the grid, plus 1.
    return FragmentSchedule(BaseLiveTime, BaseLiveTime + Window.Start, BaseLiveTime + Window.End, std::int64_t{Window.FirstSequenceNumber} - 1,
                            static_cast<std::int64_t>(Variant.FrameRateD) * TimeUnitsPerSecond, Variant.FrameRateN);
}

FragmentSchedule FragmentSchedule::ForAudio(AudioVariant const& Variant, std::uint32_t Index, std::int64_t BaseLiveTime)
{
    auto const Window = SegmentWindow::ForAudio(Variant, Index);
    std::int64_t const FrameLength = AudioFrameLength(Variant.Subtype);
    return FragmentSchedule(BaseLiveTime, BaseLiveTime + Window.Start, BaseLiveTime + Window.End, std::int64_t{Window.FirstSequenceNumber} - 1,
                            FrameLength * TimeUnitsPerSecond, AudioSampleRate);
}

std::int64_t FragmentSchedule::DueTime(std::size_t Fragment) const noexcept
{
    std::int64_t const UnitEnd = MulDivFloor(m_FirstUnit + static_cast<std::int64_t>(Fragment) + 1, m_UnitScale, m_UnitDivisor);
    return std::min(m_BaseLiveTime + UnitEnd, m_End);
}

FragmentSchedule FragmentSchedule::From(std::size_t First) const noexcept
{
    FragmentSchedule Run = *this;
    Run.m_FirstUnit += static_cast<std::int64_t>(First);
    Run.m_Start = std::min(m_BaseLiveTime + MulDivFloor(Run.m_FirstUnit, m_UnitScale, m_UnitDivisor), m_End);
    return Run;
}
} // namespace Application
