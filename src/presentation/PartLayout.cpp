// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/PartLayout.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// A × B / C in 128 bits (live timelines of years times 10^7 and a rate).
std::int64_t ScaleFloor(std::int64_t A, std::int64_t B, std::int64_t C)
{
    __int128 const Product = static_cast<__int128>(A) * B;
    __int128 Quotient = Product / C;
    if(Product % C != 0 && Product < 0)
        --Quotient;
    return static_cast<std::int64_t>(Quotient);
}

std::int64_t ScaleCeiling(std::int64_t A, std::int64_t B, std::int64_t C)
{
    return -ScaleFloor(-A, B, C);
}
} // namespace

PartLayout::PartLayout(std::int64_t SegmentDuration, std::int64_t FrameNumerator, std::int64_t FrameDenominator, std::int64_t PartDuration,
                       std::uint32_t KeyFrameInterval) :
    m_SegmentDuration(SegmentDuration),
    m_FrameNumerator(FrameNumerator),
    m_FrameDenominator(FrameDenominator),
    m_KeyFrameInterval(std::max<std::uint32_t>(KeyFrameInterval, 1))
{
    CHECK_ARGUMENT(SegmentDuration > 0 && FrameNumerator > 0 && FrameDenominator > 0 && PartDuration > 0);
    // A part longer than the shortest segment would not be a part of it.
    std::int64_t const FramesInPart = ScaleFloor(PartDuration, FrameDenominator, FrameNumerator);
    std::int64_t const FramesInSegment = ScaleFloor(SegmentDuration, FrameDenominator, FrameNumerator);
    m_FramesPerPart = static_cast<std::uint32_t>(std::clamp<std::int64_t>(FramesInPart, 1, std::max<std::int64_t>(FramesInSegment, 1)));
}

PartLayout PartLayout::ForVideo(VideoVariant const& Variant, std::int64_t PartDuration)
{
    CHECK_ARGUMENT(Variant.FrameRateN > 0 && Variant.FrameRateD > 0);
    PartLayout Layout(Variant.SegmentDuration, std::int64_t{Variant.FrameRateD} * TimeUnitsPerSecond, Variant.FrameRateN, PartDuration, 1);
    Layout.m_KeyFrameInterval = Variant.TrickPlay ? 1 : Layout.m_FramesPerPart;
    return Layout;
}

std::optional<std::uint32_t> PartLayout::KeyFrameIntervalOf(Configuration const& Asset, VideoVariant const& Variant)
{
    if(!Asset.Live || !Asset.LowLatency || Variant.TrickPlay)
        return std::nullopt;
    return ForVideo(Variant, Asset.PartDuration).FramesPerPart();
}

PartLayout PartLayout::ForAudio(AudioVariant const& Variant, std::int64_t PartDuration)
{
    std::int64_t const FrameLength = AudioFrameLength(Variant.Subtype);
    return PartLayout(Variant.SegmentDuration, FrameLength * TimeUnitsPerSecond, AudioSampleRate, PartDuration, 1);
}

std::int64_t PartLayout::FrameTime(std::int64_t Frame) const
{
    return ScaleFloor(Frame, m_FrameNumerator, m_FrameDenominator);
}

std::int64_t PartLayout::FirstFrameOf(std::int64_t Segment) const
{
    return ScaleCeiling(Segment * m_SegmentDuration, m_FrameDenominator, m_FrameNumerator);
}

std::int64_t PartLayout::PartTarget() const
{
    return ScaleCeiling(m_FramesPerPart, m_FrameNumerator, m_FrameDenominator);
}

std::uint32_t PartLayout::FrameCount(std::uint32_t Segment) const
{
    return static_cast<std::uint32_t>(FirstFrameOf(std::int64_t{Segment} + 1) - FirstFrameOf(Segment));
}

std::uint32_t PartLayout::PartCount(std::uint32_t Segment) const
{
    return (FrameCount(Segment) + m_FramesPerPart - 1) / m_FramesPerPart;
}

PartSpan PartLayout::Part(std::uint32_t Segment, std::uint32_t Part) const
{
    std::uint32_t const Frames = FrameCount(Segment);
    CHECK_ARGUMENT(Part < PartCount(Segment));
    std::int64_t const SegmentFirst = FirstFrameOf(Segment);
    PartSpan Span;
    Span.FirstFrame = Part * m_FramesPerPart;
    Span.FrameCount = std::min(m_FramesPerPart, Frames - Span.FirstFrame);
    Span.Start = FrameTime(SegmentFirst + Span.FirstFrame);
    std::int64_t const End = FrameTime(SegmentFirst + Span.FirstFrame + Span.FrameCount);
    Span.Duration = End - Span.Start;
    Span.Available = std::min(End, (std::int64_t{Segment} + 1) * m_SegmentDuration);
    Span.Independent = Span.FirstFrame % m_KeyFrameInterval == 0;
    return Span;
}

std::uint32_t PartLayout::CompleteParts(std::uint32_t Segment, std::int64_t Elapsed) const
{
    std::uint32_t const Count = PartCount(Segment);
    std::uint32_t Complete = 0;
    while(Complete < Count && Part(Segment, Complete).Available <= Elapsed)
        ++Complete;
    return Complete;
}

std::optional<PartPosition> PartLayout::LastComplete(std::int64_t Elapsed) const
{
    if(Elapsed <= 0)
        return std::nullopt;
    std::int64_t const Current = Elapsed / m_SegmentDuration;
    if(Current > std::int64_t{std::numeric_limits<std::uint32_t>::max()})
        return std::nullopt;
    auto const Segment = static_cast<std::uint32_t>(Current);
    if(std::uint32_t const Complete = CompleteParts(Segment, Elapsed); Complete > 0)
        return PartPosition{Segment, Complete - 1};
    if(Segment == 0)
        return std::nullopt;
    return PartPosition{Segment - 1, PartCount(Segment - 1) - 1};
}

PartPosition PartLayout::Next(PartPosition Position) const
{
    if(Position.Part + 1 < PartCount(Position.Segment))
        return {Position.Segment, Position.Part + 1};
    return {Position.Segment + 1, 0};
}

PartPosition PartLayout::Normalise(PartPosition Position) const
{
    if(Position.Part < PartCount(Position.Segment))
        return Position;
    return {Position.Segment + 1, 0};
}

std::uint32_t PartLayout::Distance(PartPosition From, PartPosition To, std::uint32_t Limit) const
{
    if(To < From)
        return Limit + 1;
    std::uint32_t Steps = 0;
    for(; Steps <= Limit && From < To; ++Steps)
        From = Next(From);
    return Steps;
}
} // namespace Application
