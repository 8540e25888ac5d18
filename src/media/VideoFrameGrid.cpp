// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoFrameGrid.h"

#include "base/Check.h"
#include "base/MulDiv.h"

namespace Application
{
VideoFrameGrid::VideoFrameGrid(std::uint32_t RateN, std::uint32_t RateD) : m_RateN(RateN), m_RateD(RateD)
{
    CHECK_LINE(RateN > 0 && RateD > 0);
}

std::int64_t VideoFrameGrid::FrameTime(std::int64_t Index) const noexcept
{
    return MulDivFloor(Index, static_cast<std::int64_t>(m_RateD) * TimeUnitsPerSecond, m_RateN);
}

std::int64_t VideoFrameGrid::FrameDuration(std::int64_t Index) const noexcept
{
    return FrameTime(Index + 1) - FrameTime(Index);
}

std::int64_t VideoFrameGrid::StartIndex(std::int64_t Time) const noexcept
{
    return MulDivRound(Time, m_RateN, static_cast<std::int64_t>(m_RateD) * TimeUnitsPerSecond);
}

std::int64_t VideoFrameGrid::FrameAt(std::int64_t Time) const noexcept
{
    // Frame times are rounded down, so the next frame may begin exactly at
    // Time although the exact quotient lies below it.
    std::int64_t Index = MulDivFloor(Time, m_RateN, static_cast<std::int64_t>(m_RateD) * TimeUnitsPerSecond);
    while(FrameTime(Index + 1) <= Time)
        ++Index;
    return Index;
}

std::int64_t VideoFrameGrid::FrameCount(std::int64_t Duration) const noexcept
{
    return MulDivFloor(Duration, m_RateN, static_cast<std::int64_t>(m_RateD) * TimeUnitsPerSecond);
}
} // namespace Application
