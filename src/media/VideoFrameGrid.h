// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// The frame grid of a frame rate: frame n is shown at
// floor(n × RateD × 10^7 / RateN), whatever position a presentation starts at,
// so that segments made by separate runs line up frame for frame.
class VideoFrameGrid
{
public:
    VideoFrameGrid(std::uint32_t RateN, std::uint32_t RateD);

    std::uint32_t RateN() const noexcept { return m_RateN; }
    std::uint32_t RateD() const noexcept { return m_RateD; }
    std::int64_t FrameTime(std::int64_t Index) const noexcept;
    std::int64_t FrameDuration(std::int64_t Index) const noexcept;
    // The frame a start position begins with: the nearest one.
    std::int64_t StartIndex(std::int64_t Time) const noexcept;
    // The frame shown at Time (not negative): the last that begins at or before it.
    std::int64_t FrameAt(std::int64_t Time) const noexcept;
    // Whole frames in a duration (75 for 3 s at 25/1).
    std::int64_t FrameCount(std::int64_t Duration) const noexcept;

private:
    std::uint32_t m_RateN;
    std::uint32_t m_RateD;
};
} // namespace Application
