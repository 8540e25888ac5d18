// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/AudioSampleGrid.h"

#include "base/Check.h"
#include "base/MulDiv.h"

namespace Application
{
AudioSampleGrid::AudioSampleGrid(std::uint32_t SampleRate) : m_SampleRate(SampleRate)
{
    CHECK_LINE(SampleRate > 0);
}

std::int64_t AudioSampleGrid::SampleTime(std::int64_t Index) const noexcept
{
    return MulDivFloor(Index, TimeUnitsPerSecond, m_SampleRate);
}

std::int64_t AudioSampleGrid::SampleIndex(std::int64_t Time, bool RoundUp) const noexcept
{
    std::int64_t Index = MulDivFloor(Time, m_SampleRate, TimeUnitsPerSecond);
    if(RoundUp && SampleTime(Index) < Time)
        ++Index;
    return Index;
}
} // namespace Application
