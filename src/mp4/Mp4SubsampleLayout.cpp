// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4SubsampleLayout.h"

#include <algorithm>
#include <optional>

#include "base/Check.h"
#include "mp4/Mp4NalUnit.h"
#include "mp4/Mp4Vp9FrameHeader.h"

namespace Mp4
{
namespace
{
constexpr std::size_t LengthPrefixSize = 4;
constexpr std::size_t BlockSize = 16;
// cenc protects at least two blocks of a slice, cbcs at least one.
constexpr std::size_t CencMinimalProtectedSize = 2 * BlockSize;
constexpr std::size_t CbcsMinimalProtectedSize = BlockSize;
// HEVC under cenc keeps the head of the sample clear and protects the rest as one range.
constexpr std::size_t HevcCencClearHead = 128;
constexpr std::uint8_t KeyNalUnitType = 5;
constexpr std::size_t ShortClearLeader = 4;
constexpr std::size_t LongClearLeader = 15;

bool IsSlice(VideoCodec Codec, std::uint8_t Type) noexcept
{
    return Codec == VideoCodec::H264 ? Type >= 1 && Type <= 5 : Type >= 1 && Type <= 31;
}

std::uint8_t GetNalUnitType(VideoCodec Codec, NalUnitSpan NalUnit) noexcept
{
    return Codec == VideoCodec::H264 ? GetH264NalUnitType(NalUnit) : GetHevcNalUnitType(NalUnit);
}

std::size_t ReadLength(std::span<std::uint8_t const> Sample, std::size_t Position)
{
    CHECK_LINE(Sample.size() - Position >= LengthPrefixSize);
    std::size_t const Length = static_cast<std::size_t>(Sample[Position]) << 24 | static_cast<std::size_t>(Sample[Position + 1]) << 16 |
                               static_cast<std::size_t>(Sample[Position + 2]) << 8 | Sample[Position + 3];
    CHECK_LINE(Length <= Sample.size() - Position - LengthPrefixSize);
    return Length;
}

// The clear head of an HEVC sample under cenc: at least HevcCencClearHead,
// and every NAL unit before the first slice whole (parameter sets, SEI such
// as caption data, which readers take from the sample without decrypting).
std::size_t HevcCencClearHeadOf(std::span<std::uint8_t const> Sample)
{
    std::size_t Head = HevcCencClearHead;
    std::size_t Position = 0;
    while(Position < Sample.size())
    {
        std::size_t const Length = ReadLength(Sample, Position);
        std::size_t const Offset = Position + LengthPrefixSize;
        if(GetHevcNalUnitType(Sample.subspan(Offset, Length)) < 32)
            break;
        Position = Offset + Length;
        Head = std::max(Head, Position);
    }
    return Head;
}

// The protected range of one slice whose payload starts at Offset, if it qualifies.
std::optional<ProtectedRange> FindSliceRange(ProtectionScheme Scheme, std::uint8_t Type, std::size_t Offset, std::size_t Length) noexcept
{
    std::size_t const Leader = Type == KeyNalUnitType ? ShortClearLeader : LongClearLeader;
    if(Scheme == ProtectionScheme::Cbcs)
    {
        if(Length < Leader + CbcsMinimalProtectedSize)
            return std::nullopt;
        return ProtectedRange{Offset + Leader, Length - Leader};
    }
    if(Length < Leader + CencMinimalProtectedSize)
        return std::nullopt;
    // Whole blocks only: the remainder joins the clear leader.
    std::size_t const Remainder = (Length - Leader) % BlockSize;
    return ProtectedRange{Offset + Leader + Remainder, Length - Leader - Remainder};
}

// Each tile of an AV1 frame is a range of its own. cbcs protects it whole
// (the pattern leaves a partial last block clear); cenc protects its whole
// blocks, the bytes that do not fill one staying clear in front of them, and
// a tile shorter than a block stays clear.
std::vector<ProtectedRange> FindAv1Ranges(ProtectionScheme Scheme, std::span<ProtectedRange const> Tiles)
{
    if(Scheme == ProtectionScheme::Cbcs)
        return {Tiles.begin(), Tiles.end()};
    std::vector<ProtectedRange> Ranges;
    for(auto const& Tile : Tiles)
    {
        std::size_t const Length = Tile.m_Length / BlockSize * BlockSize;
        if(Length)
            Ranges.push_back({Tile.m_Offset + Tile.m_Length - Length, Length});
    }
    return Ranges;
}

std::vector<ProtectedRange> FindVp9Ranges(std::span<std::uint8_t const> Sample, std::uint32_t FrameWidth)
{
    auto const Header = Vp9FrameHeader::Read(Sample, FrameWidth ? std::optional(FrameWidth) : std::nullopt);
    std::size_t const Length = (Sample.size() - Header.m_UncompressedHeaderSize) / BlockSize * BlockSize;
    if(Length == 0)
        return {};
    return {ProtectedRange{Sample.size() - Length, Length}};
}
} // namespace

std::vector<ProtectedRange> SubsampleLayout::FindProtectedRanges(VideoCodec Codec, ProtectionScheme Scheme, std::span<std::uint8_t const> Sample,
                                                                std::uint32_t FrameWidth, std::span<ProtectedRange const> Av1Tiles)
{
    if(Codec == VideoCodec::Av1)
        return FindAv1Ranges(Scheme, Av1Tiles);
    if(Codec == VideoCodec::Vp9)
        return FindVp9Ranges(Sample, FrameWidth);
    if(Codec == VideoCodec::Hevc && Scheme == ProtectionScheme::Cenc)
    {
        std::size_t const Head = HevcCencClearHeadOf(Sample);
        if(Sample.size() < Head + BlockSize)
            return {};
        std::size_t const Length = (Sample.size() - Head) / BlockSize * BlockSize;
        return {ProtectedRange{Sample.size() - Length, Length}};
    }
    std::vector<ProtectedRange> Ranges;
    std::size_t Position = 0;
    while(Position < Sample.size())
    {
        std::size_t const Length = ReadLength(Sample, Position);
        std::size_t const Offset = Position + LengthPrefixSize;
        auto const Type = GetNalUnitType(Codec, Sample.subspan(Offset, Length));
        if(IsSlice(Codec, Type))
            if(auto const Range = FindSliceRange(Scheme, Type, Offset, Length))
                Ranges.push_back(*Range);
        Position = Offset + Length;
    }
    return Ranges;
}

std::vector<SencBox::Subsample> SubsampleLayout::MakeSubsamples(std::vector<ProtectedRange> const& Ranges, std::size_t SampleSize)
{
    constexpr std::size_t MaximalClear = 0xFFFF;
    std::vector<SencBox::Subsample> Subsamples;
    auto const AddClear = [&](std::size_t Clear, std::size_t Protected) {
        for(; Clear > MaximalClear; Clear -= MaximalClear)
            Subsamples.push_back({static_cast<std::uint16_t>(MaximalClear), 0});
        CHECK_LINE(Protected <= 0xFFFFFFFFu);
        Subsamples.push_back({static_cast<std::uint16_t>(Clear), static_cast<std::uint32_t>(Protected)});
    };
    std::size_t Position = 0;
    for(auto const& Range : Ranges)
    {
        ASSERT(Range.m_Offset >= Position && Range.m_Offset + Range.m_Length <= SampleSize);
        AddClear(Range.m_Offset - Position, Range.m_Length);
        Position = Range.m_Offset + Range.m_Length;
    }
    if(Position < SampleSize)
        AddClear(SampleSize - Position, 0);
    return Subsamples;
}
} // namespace Mp4
