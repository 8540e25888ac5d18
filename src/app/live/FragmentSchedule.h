// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "presentation/VariantSet.h"

namespace Application
{
// When each movie fragment of one live segment falls due on the live
// timeline. A segment holds one fragment per picture (video) or per coded
// audio frame, in order; a live encoder could hand fragment k over only
// once its picture or frame has ended, so that is when it is due: the end
// of grid unit First + k, at most the segment's end. Times are absolute
// (100-ns units since 1601).
class FragmentSchedule
{
public:
    static FragmentSchedule ForVideo(VideoVariant const& Variant, std::uint32_t Index, std::int64_t BaseLiveTime);
    static FragmentSchedule ForAudio(AudioVariant const& Variant, std::uint32_t Index, std::int64_t BaseLiveTime);

    // When the segment's first picture begins and when its last one ends.
    std::int64_t Start() const noexcept { return m_Start; }
    std::int64_t End() const noexcept { return m_End; }
    std::int64_t DueTime(std::size_t Fragment) const noexcept;
    // The schedule of the run of fragments that begins with fragment First
    // (a part of the segment): its fragment 0 is this one's First.
    FragmentSchedule From(std::size_t First) const noexcept;

private:
    // Grid unit u begins at floor(u × UnitScale / UnitDivisor) on the timeline.
    FragmentSchedule(std::int64_t BaseLiveTime, std::int64_t Start, std::int64_t End, std::int64_t FirstUnit, std::int64_t UnitScale,
                     std::int64_t UnitDivisor) noexcept;

    std::int64_t m_BaseLiveTime;
    std::int64_t m_Start;
    std::int64_t m_End;
    std::int64_t m_FirstUnit;
    std::int64_t m_UnitScale;
    std::int64_t m_UnitDivisor;
};
} // namespace Application
