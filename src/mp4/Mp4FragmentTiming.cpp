#include "mp4/Mp4FragmentTiming.h"

#include "base/Check.h"

namespace Mp4
{
std::int64_t FragmentTiming::Scale(std::int64_t Time, std::uint32_t Timescale) noexcept
{
    // floor((2 × Time × Timescale + 10^7) / (2 × 10^7))
    __int128 const Numerator = static_cast<__int128>(Time) * Timescale * 2 + UnitsPerSecond;
    __int128 const Denominator = 2 * UnitsPerSecond;
    __int128 Quotient = Numerator / Denominator;
    if(Numerator % Denominator < 0)
        --Quotient;
    return static_cast<std::int64_t>(Quotient);
}

VideoFragmentTiming::Result VideoFragmentTiming::Next(std::int64_t SampleTime, std::optional<std::int64_t> DecodeTimestamp)
{
    std::int64_t const PresentationTime = FragmentTiming::Scale(SampleTime, m_Timescale);
    std::int64_t const DecodeTime = DecodeTimestamp ? FragmentTiming::Scale(*DecodeTimestamp, m_Timescale) : PresentationTime;
    std::int64_t const Offset = PresentationTime - DecodeTime;
    if(!m_FirstOffset)
        m_FirstOffset = Offset;
    std::int64_t const ShiftedDecodeTime = DecodeTime + *m_FirstOffset;
    // Decode order never goes back before the run's first sample.
    CHECK_LINE(ShiftedDecodeTime >= 0);
    return {static_cast<std::uint64_t>(ShiftedDecodeTime), Offset - *m_FirstOffset};
}
} // namespace Mp4
