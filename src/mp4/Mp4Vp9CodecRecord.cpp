// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Vp9CodecRecord.h"

#include <algorithm>
#include <cstdio>

#include "base/Check.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
struct Level
{
    std::uint8_t m_Value;
    std::uint64_t m_LumaSampleRate;
    std::uint64_t m_LumaPictureSize;
    std::uint32_t m_Breadth; // the longest side
};

constexpr Level Levels[] = {
    {10, 829'440, 36'864, 512},
    {11, 2'764'800, 73'728, 768},
    {20, 4'608'000, 122'880, 960},
    {21, 9'216'000, 245'760, 1'344},
    {30, 20'736'000, 552'960, 2'048},
    {31, 36'864'000, 983'040, 2'752},
    {40, 83'558'400, 2'228'224, 4'160},
    {41, 160'432'128, 2'228'224, 4'160},
    {50, 311'951'360, 8'912'896, 8'384},
    {51, 588'251'136, 8'912'896, 8'384},
    {52, 1'176'502'272, 8'912'896, 8'384},
    {60, 1'176'502'272, 35'651'584, 16'832},
    {61, 2'353'004'544, 35'651'584, 16'832},
    {62, 4'706'009'088, 35'651'584, 16'832},
};

// ISO/IEC 23091-2 code points.
constexpr std::uint8_t Unspecified = 2;
constexpr std::uint8_t Bt709 = 1;
constexpr std::uint8_t Bt470BgMatrix = 5; // BT.601 (625 lines)
constexpr std::uint8_t Smpte170Matrix = 6; // BT.601 (525 lines): the same matrix
constexpr std::uint8_t Smpte240Matrix = 7;
constexpr std::uint8_t Bt2020Matrix = 9;  // non-constant luminance
constexpr std::uint8_t IdentityMatrix = 0; // RGB

// A VP9 frame names only its matrix (color_space).
std::uint8_t MatrixOf(std::uint8_t ColorSpace)
{
    constexpr std::uint8_t Matrices[] = {Unspecified, Bt470BgMatrix, Bt709, Smpte170Matrix, Smpte240Matrix, Bt2020Matrix, Unspecified, IdentityMatrix};
    return Matrices[ColorSpace & 0x07];
}

// vpcC's chromaSubsampling. 4:2:0 is taken as sited left, as H.264 and
// HEVC assume when nothing says otherwise; the frame cannot say.
std::uint8_t ChromaSubsamplingOf(Vp9FrameHeader const& Header)
{
    if(Header.m_SubsamplingX && Header.m_SubsamplingY)
        return 0;
    if(Header.m_SubsamplingX)
        return 2;
    CHECK_ARGUMENT(!Header.m_SubsamplingY); // 4:4:0 has no value
    return 3;
}
} // namespace

void Vp9CodecRecord::CollectKeyFrame(std::span<std::uint8_t const> Sample, VideoFormat const& Format)
{
    m_KeyFrame.reset();
    auto const Header = Vp9FrameHeader::Read(Sample);
    CHECK_ARGUMENT(Header.m_KeyFrame);
    CHECK_ARGUMENT(Format.m_FrameRateNumerator > 0 && Format.m_FrameRateDenominator > 0);
    m_KeyFrame = Header;
    m_RateNumerator = Format.m_FrameRateNumerator;
    m_RateDenominator = Format.m_FrameRateDenominator;
}

std::uint8_t Vp9CodecRecord::GetLevel(std::uint32_t Width, std::uint32_t Height, std::uint32_t RateNumerator, std::uint32_t RateDenominator)
{
    std::uint64_t const PictureSize = std::uint64_t{Width} * Height;
    for(auto const& Each : Levels)
        if(PictureSize <= Each.m_LumaPictureSize && std::max(Width, Height) <= Each.m_Breadth &&
           PictureSize * RateNumerator <= Each.m_LumaSampleRate * RateDenominator)
            return Each.m_Value;
    return std::end(Levels)[-1].m_Value;
}

void Vp9CodecRecord::FillConfiguration(VpccBox& Box) const
{
    CHECK_LINE(m_KeyFrame.has_value());
    auto const& Header = *m_KeyFrame;
    Box.m_Profile = Header.m_Profile;
    Box.m_Level = GetLevel(Header.m_Width, Header.m_Height, m_RateNumerator, m_RateDenominator);
    Box.m_BitDepth = Header.m_BitDepth;
    Box.m_ChromaSubsampling = ChromaSubsamplingOf(Header);
    Box.m_FullRange = Header.m_FullRange;
    Box.m_MatrixCoefficients = MatrixOf(Header.m_ColorSpace);
    // Primaries and transfer are not in the frame. Where it names a matrix,
    // they are those of the pictures this server draws (sRGB, as the H.264
    // and HEVC streams signal them: BT.709).
    bool const Known = Box.m_MatrixCoefficients != Unspecified;
    Box.m_ColourPrimaries = Known ? Bt709 : Unspecified;
    Box.m_TransferCharacteristics = Known ? Bt709 : Unspecified;
}

void Vp9CodecRecord::InitializeSampleEntry(StsdBox& Stsd, VideoFormat const& Format) const
{
    CHECK_LINE(m_KeyFrame.has_value());
    Vp09Box& Entry = Stsd.m_Vp09Box;
    TrackBuilder::InitializeVisualSampleEntry(Entry, Format, "VPC Coding");
    Entry.m_VpccBox.SetPresent();
    FillConfiguration(Entry.m_VpccBox);
}

std::string Vp9CodecRecord::GetCodecsString() const
{
    if(!m_KeyFrame)
        return {};
    VpccBox Box;
    FillConfiguration(Box);
    char Text[40];
    int const Length = std::snprintf(Text, sizeof Text, "vp09.%02u.%02u.%02u.%02u.%02u.%02u.%02u.%02u", Box.m_Profile, Box.m_Level, Box.m_BitDepth,
                                     Box.m_ChromaSubsampling, Box.m_ColourPrimaries, Box.m_TransferCharacteristics, Box.m_MatrixCoefficients,
                                     Box.m_FullRange ? 1u : 0u);
    return {Text, static_cast<std::size_t>(Length)};
}
} // namespace Mp4
