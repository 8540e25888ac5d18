// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "base/HResultError.h"
#include "media/Av1Encoder.h"
#include "media/MediaTestTools.h"
#include "media/VideoFrameComposer.h"
#include "media/VideoFrameConverter.h"
#include "media/VideoFrameGrid.h"
#include "mp4/Mp4Av1Obu.h"

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

struct EncodedRun
{
    std::vector<EncodedSample> Samples;
    std::vector<std::int64_t> Times;
};

EncodedRun Encode(VideoEncoderSettings const& Value, std::int64_t First, std::int64_t Count)
{
    VideoFrameComposer Composer({Value.Width, Value.Height, Value.RateN, Value.RateD});
    VideoFrameGrid const Grid(Value.RateN, Value.RateD);
    auto Encoder = VideoEncoder::Create(Value);
    EXPECT_EQ(Encoder->ReorderDelay(), 0u) << "low delay: nothing to reorder";
    EncodedRun Result;
    EXPECT_TRUE(Encoder->SequenceHeader().empty()) << "the samples carry it";
    std::vector<std::uint8_t> Argb(Value.Width * Value.Height * 4);
    std::vector<std::uint8_t> Planar(VideoPicture::ContiguousSize(Value.Width, Value.Height));
    for(std::int64_t Index = First; Index < First + Count; ++Index)
    {
        std::int64_t const Time = Grid.FrameTime(Index);
        Composer.Compose(Index, Time, Argb.data(), Value.Width * 4);
        VideoPicture const Picture = VideoPicture::Contiguous(Value.InputFormat, Value.Width, Value.Height, Planar.data());
        VideoFrameConverter::Convert(Argb.data(), static_cast<std::int32_t>(Value.Width * 4), Picture);
        Result.Times.push_back(Time);
        Encoder->Encode(Picture, Time, Grid.FrameDuration(Index), Result.Samples);
    }
    Encoder->Drain(Result.Samples);
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

TEST(Av1Encoder, QualityMapsToTheAv1QuantiserScale)
{
    struct Case
    {
        std::uint32_t Quality;
        std::uint32_t Quantizer;
    };
    for(auto const [Quality, Quantizer] : {Case{70, 30}, Case{50, 38}, Case{0, 63}, Case{100, 20}})
        EXPECT_EQ(Av1Encoder::QuantizerFromQuality(Quality), Quantizer) << Quality;
}

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
