// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4FragmentTiming.h"

#include <algorithm>

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

VideoFragmentTiming::VideoFragmentTiming(std::uint32_t FrameRateNumerator, std::uint32_t FrameRateDenominator, std::int64_t FirstSampleTime,
                                         std::optional<std::int64_t> FirstDecodeTimestamp)
{
    CHECK_LINE(FrameRateNumerator != 0 && FrameRateDenominator != 0);
    std::int64_t const Lag =
        FirstDecodeTimestamp ? FragmentTiming::Scale(FirstSampleTime, FrameRateNumerator) - FragmentTiming::Scale(*FirstDecodeTimestamp, FrameRateNumerator) : 0;
    std::int64_t const Delay = Lag > 0 ? (Lag + FrameRateDenominator - 1) / FrameRateDenominator : 0;
    CHECK_LINE(Delay <= MaximalReorderDelay);
    // The lag is made up in Delay steps of at least one tick within one frame.
    std::int64_t const Multiplier = std::max<std::int64_t>(1, (Delay + FrameRateDenominator) / FrameRateDenominator);
    std::int64_t const Timescale = FrameRateNumerator * Multiplier;
    std::int64_t const FrameDuration = FrameRateDenominator * Multiplier;
    CHECK_LINE(Timescale <= 0xFFFFFFFF && FrameDuration <= 0xFFFFFFFF);
    m_Timescale = static_cast<std::uint32_t>(Timescale);
    m_FrameDuration = static_cast<std::uint32_t>(FrameDuration);
    m_CatchUpStep = FrameDuration / (Delay + 1);
}

VideoFragmentTiming::Result VideoFragmentTiming::Next(std::int64_t SampleTime, std::optional<std::int64_t> DecodeTimestamp)
{
    std::int64_t const PresentationTime = FragmentTiming::Scale(SampleTime, m_Timescale);
    std::int64_t const EncoderDecodeTime = DecodeTimestamp ? FragmentTiming::Scale(*DecodeTimestamp, m_Timescale) : PresentationTime;
    std::int64_t const DecodeTime = m_PreviousDecodeTime ? std::max(EncoderDecodeTime, *m_PreviousDecodeTime + m_CatchUpStep) : PresentationTime;
    CHECK_LINE(DecodeTime >= 0);
    m_PreviousDecodeTime = DecodeTime;
    // Negative only when an encoder decodes a picture after it presents;
    // trun version 1 still puts it at its time.
    return {static_cast<std::uint64_t>(DecodeTime), PresentationTime - DecodeTime};
}
} // namespace Mp4
