// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "media/MediaTestTools.h"
#include "mp4/Mp4Vp9FrameHeader.h"

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
    Value.Format = VideoEncoderSettings::Codec::Vp9;
    Value.Width = Width;
    Value.Height = Height;
    Value.RateN = RateN;
    Value.RateD = 1;
    Value.GopSize = GopSize;
    // Two threads, as the server runs its encoders: two tile columns.
    Value.Threads = 2;
    Value.InputFormat = VideoPicture::Layout::Nv12;
    return Value;
}

EncodedRun Encode(VideoEncoderSettings const& Value, std::int64_t First, std::int64_t Count)
{
    auto Result = EncodeFrames(Value, First, Count);
    EXPECT_EQ(Result.ReorderDelay, 0u) << "no lag: nothing to reorder";
    EXPECT_TRUE(Result.SequenceHeader.empty()) << "key frames describe the stream";
    for(std::size_t Index = 0; Index < Result.SamplesAfter.size(); ++Index)
        EXPECT_EQ(Result.SamplesAfter[Index], Index + 1) << "each picture comes out at once";
    return Result;
}

} // namespace

TEST(Vp9Encoder, EachPictureIsOneShownFrameWithKeyFramesOnTheGop)
{
    // Frames 75 to 134: a segment that does not start at 0.
    auto const Encoded = Encode(Settings(25, 25), 75, 60);
    ASSERT_EQ(Encoded.Samples.size(), 60u);
    for(std::size_t Index = 0; Index < Encoded.Samples.size(); ++Index)
    {
        auto const& Sample = Encoded.Samples[Index];
        EXPECT_EQ(Sample.Time, Encoded.Times[Index]);
        EXPECT_EQ(Sample.DecodeTime, Sample.Time);
        EXPECT_EQ(Sample.Duration, FrameDuration);
        bool const Key = Index % 25 == 0;
        EXPECT_EQ(Sample.KeyFrame, Key) << Index;
        EXPECT_EQ(Sample.PictureType, Key ? 0u : 1u) << Index;
        EXPECT_FALSE(Mp4::Vp9FrameHeader::HasSuperframeIndex(Sample.Data)) << Index;
        auto const Header = Mp4::Vp9FrameHeader::Read(Sample.Data, Width);
        EXPECT_EQ(Header.m_KeyFrame, Key) << Index;
        EXPECT_TRUE(Header.m_ShowFrame && !Header.m_ShowExistingFrame) << Index;
        EXPECT_EQ(Header.m_TileColumnsLog2, 1u) << Index;
        EXPECT_EQ(Header.FindTiles(Sample.Data).size(), 2u) << Index;
        // Profile 0, 8 bits, 4:2:0, SMPTE 170M at limited range (how a
        // decoder reads the colours is test_vp9.py's).
        if(Key)
        {
            EXPECT_EQ(std::tuple(Header.m_Profile, Header.m_BitDepth, Header.m_ColorSpace, Header.m_FullRange, Header.m_SubsamplingX + Header.m_SubsamplingY,
                                 Header.m_Width, Header.m_Height),
                      std::tuple(0u, 8u, 3u, false, 2, Width, Height));
        }
    }
}

TEST(Vp9Encoder, KeyFrameOnlyRunsMakeEveryPictureAKeyFrameAndCaptionsAreRefused)
{
    auto const Encoded = Encode(Settings(1, 1), 6, 3);
    ASSERT_EQ(Encoded.Samples.size(), 3u);
    for(std::size_t Index = 0; Index < 3; ++Index)
    {
        EXPECT_TRUE(Encoded.Samples[Index].KeyFrame);
        EXPECT_TRUE(Mp4::Vp9FrameHeader::Read(Encoded.Samples[Index].Data).m_KeyFrame);
        EXPECT_EQ(Encoded.Samples[Index].Time, static_cast<std::int64_t>(6 + Index) * 10000000);
    }
    auto WithCaptions = Settings(25, 25);
    WithCaptions.Captions = VideoEncoderSettings::CaptionServices::Cea608;
    EXPECT_THROW(VideoEncoder::Create(WithCaptions), HResultError);
}
