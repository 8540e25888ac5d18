// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <sstream>

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

void AppendLittleEndian(std::vector<std::uint8_t>& Data, std::uint64_t Value, unsigned Bytes)
{
    for(unsigned Index = 0; Index < Bytes; ++Index)
        Data.push_back(static_cast<std::uint8_t>(Value >> (8 * Index)));
}

// The samples as an IVF file, the plain container of VP9 frames.
std::vector<std::uint8_t> Ivf(std::vector<EncodedSample> const& Samples)
{
    std::vector<std::uint8_t> File{'D', 'K', 'I', 'F'};
    AppendLittleEndian(File, 0, 2);  // version
    AppendLittleEndian(File, 32, 2); // header size
    File.insert(File.end(), {'V', 'P', '9', '0'});
    AppendLittleEndian(File, Width, 2);
    AppendLittleEndian(File, Height, 2);
    AppendLittleEndian(File, 25, 4); // time base: 1/25 s
    AppendLittleEndian(File, 1, 4);
    AppendLittleEndian(File, Samples.size(), 4);
    AppendLittleEndian(File, 0, 4);
    for(std::size_t Index = 0; Index < Samples.size(); ++Index)
    {
        AppendLittleEndian(File, Samples[Index].Data.size(), 4);
        AppendLittleEndian(File, Index, 8);
        File.insert(File.end(), Samples[Index].Data.begin(), Samples[Index].Data.end());
    }
    return File;
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
        if(Key)
        {
            // Profile 0, 8 bits, 4:2:0, SMPTE 170M at limited range.
            EXPECT_EQ(Header.m_Profile, 0u);
            EXPECT_EQ(Header.m_BitDepth, 8u);
            EXPECT_EQ(Header.m_ColorSpace, 3u);
            EXPECT_FALSE(Header.m_FullRange);
            EXPECT_EQ(Header.m_SubsamplingX + Header.m_SubsamplingY, 2);
            EXPECT_EQ(Header.m_Width, Width);
            EXPECT_EQ(Header.m_Height, Height);
        }
    }
}

TEST(Vp9Encoder, TwoRunsDecodeAsOneStreamWithKeyFramesOnTheGopAndColourSignalling)
{
    auto Samples = Encode(Settings(25, 25), 0, 75).Samples;
    auto const Second = Encode(Settings(25, 25), 75, 75).Samples;
    Samples.insert(Samples.end(), Second.begin(), Second.end());
    auto const Path = ScratchDirectory() / "segments.ivf";
    WriteFile(Path, Ivf(Samples));

    auto const Result = RunCommand("ffprobe -v error -select_streams v:0 -show_entries frame=key_frame,width,height,color_space,color_range -of csv=p=0 " +
                                   Path.string());
    ASSERT_EQ(Result.ExitCode, 0) << Result.Errors;
    EXPECT_EQ(Result.Errors, "");
    std::istringstream Lines(Text(Result.Output));
    std::vector<std::string> Frames;
    for(std::string Line; std::getline(Lines, Line);)
        Frames.push_back(Line);
    ASSERT_EQ(Frames.size(), 150u);
    for(std::size_t Index = 0; Index < Frames.size(); ++Index)
        EXPECT_EQ(Frames[Index], std::string(Index % 25 == 0 ? "1" : "0") + ",640,360,tv,smpte170m") << Index;
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
