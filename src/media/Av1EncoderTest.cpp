// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "media/Av1Encoder.h"
#include "media/MediaTestTools.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4Av1TileLocator.h"

using namespace Application;
using namespace MediaTestTools;

namespace
{
constexpr std::uint32_t Width = 640;
constexpr std::uint32_t Height = 360;
constexpr std::int64_t FrameDuration = 400000;

VideoEncoderSettings Settings(std::uint32_t RateN, std::uint32_t GopSize)
{
    VideoEncoderSettings Value;
    Value.Format = VideoEncoderSettings::Codec::Av1;
    Value.Width = Width;
    Value.Height = Height;
    Value.RateN = RateN;
    Value.RateD = 1;
    Value.GopSize = GopSize;
    Value.Threads = 1;
    Value.InputFormat = VideoPicture::Layout::Nv12;
    return Value;
}

EncodedRun Encode(VideoEncoderSettings const& Value, std::int64_t First, std::int64_t Count)
{
    auto Result = EncodeFrames(Value, First, Count);
    EXPECT_EQ(Result.ReorderDelay, 0u) << "low delay: nothing to reorder";
    EXPECT_TRUE(Result.SequenceHeader.empty()) << "the samples carry it";
    return Result;
}

std::vector<int> ObuTypes(std::vector<std::uint8_t> const& Data)
{
    std::vector<int> Types;
    for(auto const& Obu : Mp4::Av1Obu::Split(Data))
        Types.push_back(Obu.m_Type);
    return Types;
}

} // namespace

TEST(Av1Encoder, PicturesComeOutInOrderWithKeyFramesLedByTheSequenceHeader)
{
    // Frames 75 to 134: a segment that does not start at 0.
    auto const Encoded = Encode(Settings(25, 25), 75, 60);
    ASSERT_EQ(Encoded.Samples.size(), 60u);
    for(std::size_t Index = 0; Index < Encoded.Samples.size(); ++Index)
    {
        auto const& Sample = Encoded.Samples[Index];
        // Low delay: decode order is presentation order, at the same times.
        EXPECT_EQ(Sample.Time, Encoded.Times[Index]);
        EXPECT_EQ(Sample.DecodeTime, Sample.Time);
        EXPECT_EQ(Sample.Duration, FrameDuration);
        bool const Key = Index % 25 == 0;
        EXPECT_EQ(Sample.KeyFrame, Key) << Index;
        EXPECT_EQ(Sample.PictureType, Key ? 0u : 1u) << Index;
        auto const Types = ObuTypes(Sample.Data);
        ASSERT_FALSE(Types.empty());
        // No temporal delimiter; the sequence header exactly in front of key frames.
        EXPECT_EQ(std::count(Types.begin(), Types.end(), Mp4::Av1Obu::TemporalDelimiterType), 0) << Index;
        EXPECT_EQ(std::count(Types.begin(), Types.end(), Mp4::Av1Obu::SequenceHeaderType), Key ? 1 : 0) << Index;
        if(Key)
        {
            EXPECT_EQ(Types.front(), Mp4::Av1Obu::SequenceHeaderType);
        }
    }
}

TEST(Av1Encoder, AHeaderRunCarriesTheSequenceHeaderOfEveryKeyFrame)
{
    // A header run of two pictures describes the segments with the same
    // sequence header as every key frame of every run carries. How the runs
    // decode (key frames, sizes, colours) is judged end to end by ffprobe
    // (test_av1.py).
    auto const Header = Encode(Settings(25, 25), 0, 2);
    auto const SequenceHeader = Mp4::Av1Obu::Split(Header.Samples[0].Data).front().m_Whole;
    for(std::int64_t First : {0, 75})
    {
        auto const Run = Encode(Settings(25, 25), First, 75);
        for(std::size_t Index = 0; Index < Run.Samples.size(); Index += 25)
        {
            auto const Obu = Mp4::Av1Obu::Split(Run.Samples[Index].Data).front().m_Whole;
            EXPECT_TRUE(std::equal(Obu.begin(), Obu.end(), SequenceHeader.begin(), SequenceHeader.end())) << First << " " << Index;
        }
    }
}

TEST(Av1Encoder, KeyFrameOnlyRunsMakeEveryPictureAKeyFrameAndCaptionsAreRefused)
{
    auto const Encoded = Encode(Settings(1, 1), 6, 3);
    ASSERT_EQ(Encoded.Samples.size(), 3u);
    for(std::size_t Index = 0; Index < 3; ++Index)
    {
        EXPECT_TRUE(Encoded.Samples[Index].KeyFrame);
        EXPECT_EQ(Encoded.Samples[Index].Time, static_cast<std::int64_t>(6 + Index) * 10000000);
        EXPECT_EQ(ObuTypes(Encoded.Samples[Index].Data).front(), Mp4::Av1Obu::SequenceHeaderType);
    }
    auto WithCaptions = Settings(25, 25);
    WithCaptions.Captions = VideoEncoderSettings::CaptionServices::Cea608;
    EXPECT_THROW(VideoEncoder::Create(WithCaptions), HResultError);
}

// The encoder's frames, followed from a key frame through two groups: each
// has one tile, which runs from the end of the frame header to the end of
// the sample (its frame OBU is the last); cbcs protects it whole, cenc its
// whole blocks up to its end, the rest of the sample clear in front.
TEST(Av1TileLocator, EncoderFramesProtectTheirTileDataOnly)
{
    auto const Encoded = Encode(Settings(25, 25), 0, 30);
    Mp4::Av1TileLocator Locator;
    for(std::size_t Index = 0; Index < Encoded.Samples.size(); ++Index)
    {
        auto const& Data = Encoded.Samples[Index].Data;
        auto const Units = Mp4::Av1Obu::Split(Data);
        ASSERT_EQ(Units.back().m_Type, Mp4::Av1Obu::FrameType) << Index;
        auto const Tiles = Locator.FindTiles(Data);
        ASSERT_EQ(Tiles.size(), 1u) << Index;
        std::size_t const FrameStart = static_cast<std::size_t>(Units.back().m_Payload.data() - Data.data());
        // Key frames' headers are longer than inter frames' (no references),
        // and every header is at least its fixed fields.
        EXPECT_GT(Tiles[0].m_Offset, FrameStart + 4) << Index;
        EXPECT_EQ(Tiles[0].m_Offset + Tiles[0].m_Length, Data.size()) << Index;
        auto const Cbcs = Mp4::SubsampleLayout::FindProtectedRanges(Mp4::VideoCodec::Av1, Mp4::ProtectionScheme::Cbcs, Data, 0, Tiles);
        ASSERT_EQ(Cbcs.size(), 1u);
        EXPECT_EQ((std::pair{Cbcs[0].m_Offset, Cbcs[0].m_Length}), (std::pair{Tiles[0].m_Offset, Tiles[0].m_Length})) << Index;
        auto const Cenc = Mp4::SubsampleLayout::FindProtectedRanges(Mp4::VideoCodec::Av1, Mp4::ProtectionScheme::Cenc, Data, 0, Tiles);
        ASSERT_EQ(Cenc.size(), 1u);
        EXPECT_EQ(Cenc[0].m_Length % 16, 0u) << Index;
        EXPECT_EQ(Cenc[0].m_Offset + Cenc[0].m_Length, Data.size()) << Index;
        EXPECT_LT(Cenc[0].m_Offset - Tiles[0].m_Offset, 16u) << Index;
        auto const Subsamples = Mp4::SubsampleLayout::MakeSubsamples(Cenc, Data.size());
        ASSERT_EQ(Subsamples.size(), 1u);
        EXPECT_EQ(Subsamples[0].m_BytesOfClearData, Cenc[0].m_Offset) << Index;
    }
    // A frame that needs a sequence header not seen fails, and so does one cut short.
    Mp4::Av1TileLocator Fresh;
    EXPECT_THROW(Fresh.FindTiles(Encoded.Samples[1].Data), HResultError);
    auto Cut = Encoded.Samples[0].Data;
    Cut.resize(Cut.size() / 2);
    EXPECT_THROW(Fresh.FindTiles(Cut), HResultError);
}
