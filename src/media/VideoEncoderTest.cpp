// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <algorithm>

#include "media/MediaTestTools.h"
#include "media/VideoEncoder.h"

using namespace Application;

using namespace MediaTestTools;

namespace
{
constexpr std::uint32_t Width = 640;
constexpr std::uint32_t Height = 360;

VideoEncoderSettings Settings(VideoEncoderSettings::Codec Format, std::uint32_t RateN, std::uint32_t GopSize, std::optional<std::uint32_t> BPictures)
{
    VideoEncoderSettings Value;
    Value.Format = Format;
    Value.Width = Width;
    Value.Height = Height;
    Value.RateN = RateN;
    Value.RateD = 1;
    Value.Bitrate = 1000000;
    Value.GopSize = GopSize;
    Value.BPictureCount = BPictures;
    // NV12 into both: the HEVC encoder repacks it.
    Value.InputFormat = VideoPicture::Layout::Nv12;
    return Value;
}

class VideoEncoderTest : public testing::TestWithParam<VideoEncoderSettings::Codec>
{
};
} // namespace

TEST(VideoEncoderSettings, QualityMapsToTheQuantiser)
{
    EXPECT_EQ(VideoEncoderSettings::QuantizerFromQuality(70), 24u);
    EXPECT_EQ(VideoEncoderSettings::QuantizerFromQuality(50), 31u);
    EXPECT_EQ(VideoEncoderSettings::QuantizerFromQuality(0), 51u);
    EXPECT_EQ(VideoEncoderSettings::QuantizerFromQuality(100), 16u);
    struct Case
    {
        std::uint32_t Quality;
        std::uint32_t Quantizer;
    };
    for(auto const [Quality, Quantizer] : {Case{70, 30}, Case{50, 38}, Case{0, 63}, Case{100, 20}})
        EXPECT_EQ(VideoEncoderSettings::WideQuantizerFromQuality(Quality), Quantizer) << Quality;
}

TEST_P(VideoEncoderTest, EveryPictureComesOutOnceWithItsTimesAndKeyFramesOnTheGop)
{
    bool const Hevc = GetParam() == VideoEncoderSettings::Codec::Hevc;
    // Frames 75 to 134: a segment that does not start at 0.
    auto const Encoded = EncodeFrames(Settings(GetParam(), 25, 25, Hevc ? std::nullopt : std::optional<std::uint32_t>(4)), 75, 60);
    ASSERT_EQ(Encoded.Samples.size(), 60u);

    // Both libraries keep B-pictures as references: two pictures of delay.
    ASSERT_EQ(Encoded.ReorderDelay, 2u);
    std::vector<std::int64_t> Presented;
    for(std::size_t Index = 0; Index < Encoded.Samples.size(); ++Index)
    {
        auto const& Sample = Encoded.Samples[Index];
        Presented.push_back(Sample.Time);
        ASSERT_TRUE(Sample.DecodeTime.has_value());
        // Decode times are the presentation times in the order put in, two
        // frames earlier, and no picture is shown before it is decoded.
        EXPECT_EQ(*Sample.DecodeTime, Encoded.Times[Index] - 2 * 400000);
        EXPECT_LE(*Sample.DecodeTime, Sample.Time) << Index;
        EXPECT_EQ(Sample.Duration, 400000);
        std::int64_t const Position = (Sample.Time - Encoded.Times[0]) / 400000;
        EXPECT_EQ(Sample.KeyFrame, Position % 25 == 0) << Position;
    }
    EXPECT_EQ(Encoded.Samples[0].Time, 30000000);
    std::sort(Presented.begin(), Presented.end());
    EXPECT_EQ(Presented, Encoded.Times);
    if(!Hevc)
    {
        EXPECT_TRUE(std::any_of(Encoded.Samples.begin(), Encoded.Samples.end(), [](auto const& Sample) { return Sample.PictureType == 2; }));
    }

    // The parameter sets lead the first sample and appear nowhere else.
    std::vector<int> const Expected = Hevc ? std::vector<int>{32, 33, 34} : std::vector<int>{7, 8};
    auto const FirstTypes = NalUnitTypes(Encoded.Samples[0].Data, Hevc);
    ASSERT_GT(FirstTypes.size(), Expected.size());
    EXPECT_EQ(std::vector<int>(FirstTypes.begin(), FirstTypes.begin() + static_cast<std::ptrdiff_t>(Expected.size())), Expected);
    EXPECT_EQ(NalUnitTypes(Encoded.SequenceHeader, Hevc), Expected);
    for(std::size_t Index = 1; Index < Encoded.Samples.size(); ++Index)
        for(int Type : NalUnitTypes(Encoded.Samples[Index].Data, Hevc))
            ASSERT_TRUE(std::find(Expected.begin(), Expected.end(), Type) == Expected.end()) << Index;
}

TEST_P(VideoEncoderTest, KeyFrameOnlyRunsMakeEveryPictureAKeyFrame)
{
    auto const Encoded = EncodeFrames(Settings(GetParam(), 1, 1, std::nullopt), 6, 3);
    ASSERT_EQ(Encoded.Samples.size(), 3u);
    EXPECT_EQ(Encoded.ReorderDelay, 0u) << "nothing to reorder";
    for(std::size_t Index = 0; Index < 3; ++Index)
    {
        EXPECT_TRUE(Encoded.Samples[Index].KeyFrame);
        EXPECT_EQ(Encoded.Samples[Index].DecodeTime, Encoded.Samples[Index].Time);
        EXPECT_EQ(Encoded.Samples[Index].Time, static_cast<std::int64_t>(6 + Index) * 10000000);
        EXPECT_EQ(Encoded.Samples[Index].Duration, 10000000);
    }
    // That a decoder sees every picture as a key frame is read back end to
    // end by ffprobe (test_low_latency_hls.py, the trick-play row's parts), as
    // are the key frames and colour signalling of the other rows, in runs
    // played back to back (test_conformance.py).
}

INSTANTIATE_TEST_SUITE_P(Codecs, VideoEncoderTest, testing::Values(VideoEncoderSettings::Codec::H264, VideoEncoderSettings::Codec::Hevc),
                         [](auto const& Info) { return Info.param == VideoEncoderSettings::Codec::Hevc ? "Hevc" : "H264"; });
