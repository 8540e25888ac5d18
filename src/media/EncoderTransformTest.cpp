// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "media/AudioMediaSource.h"
#include "media/FlacEncoderTransform.h"
#include "media/MediaTestTools.h"
#include "media/VideoEncoderTransform.h"
#include "media/VideoMediaSource.h"
#include "media/VideoProcessorTransform.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/MfTestTools.h"
#include "mf/Platform.h"

using namespace Application;

using namespace MediaTestTools;

namespace
{
constexpr std::uint32_t Rate = 48000;

struct VideoRow
{
    MF::Guid Subtype;
    std::uint32_t Width, Height, RateN;
    bool KeyFrameOnly;
};

std::shared_ptr<MF::MediaType> SourceVideoType(VideoRow const& Row)
{
    return VideoType(Row.Width, Row.Height, Row.RateN, 1);
}

// Source → converter → encoder, set up as a video segment run does.
struct VideoPipeline
{
    std::shared_ptr<VideoMediaSource> Source = VideoMediaSource::Create();
    std::shared_ptr<VideoProcessorTransform> Converter = VideoProcessorTransform::Create();
    std::shared_ptr<VideoEncoderTransform> Encoder = VideoEncoderTransform::Create();

    explicit VideoPipeline(VideoRow const& Row)
    {
        auto const Type = SourceVideoType(Row);
        Source->SetMediaType(Type);
        auto ConverterType = Type->Clone();
        ConverterType->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_NV12);
        Converter->SetOutputType(ConverterType);
        Converter->SetInputType(Type);
        Encoder->SetValue(MF::CODECAPI_AVEncCommonRateControlMode, MF::PropVariant(std::uint32_t{3}));
        Encoder->SetValue(MF::CODECAPI_AVEncCommonQuality, MF::PropVariant(std::uint32_t{70}));
        Encoder->SetValue(MF::CODECAPI_AVEncMPVGOPSize, MF::PropVariant(std::uint32_t{Row.KeyFrameOnly ? 1u : 25u}));
        if(!Row.KeyFrameOnly && Row.Subtype == MF::MFVideoFormat_H264)
            Encoder->SetValue(MF::CODECAPI_AVEncMPVDefaultBPictureCount, MF::PropVariant(std::uint32_t{4}));
        auto EncoderType = Type->Clone();
        EncoderType->SetGUID(MF::MF_MT_SUBTYPE, Row.Subtype);
        EncoderType->SetUINT32(MF::MF_MT_AVG_BITRATE, 2400000);
        Encoder->SetOutputType(EncoderType);
        Encoder->SetInputType(Converter->GetOutputCurrentType());
    }

    PipelineResult Run(std::int64_t Start, std::int64_t End) { return RunPipeline(Source, {Converter, Encoder}, Start, End); }
};

std::shared_ptr<MF::MediaType> PcmType()
{
    return AudioType(MF::MFAudioFormat_PCM, 16);
}

// The FLAC encoder with the output type a segment run gives it.
std::shared_ptr<FlacEncoderTransform> MakeFlacEncoder()
{
    auto Encoder = FlacEncoderTransform::Create();
    auto Type = PcmType();
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFAudioFormat_FLAC);
    Type->DeleteItem(MF::MF_MT_AUDIO_BLOCK_ALIGNMENT);
    Type->DeleteItem(MF::MF_MT_ALL_SAMPLES_INDEPENDENT);
    Type->DeleteItem(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND);
    Encoder->SetOutputType(Type);
    Encoder->SetInputType(PcmType());
    return Encoder;
}

std::shared_ptr<AudioMediaSource> AudioSource()
{
    auto Source = AudioMediaSource::Create();
    Source->SetMediaType(PcmType());
    return Source;
}

class EncoderTransformTest : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
};
} // namespace

TEST_F(EncoderTransformTest, H264SegmentsStartWithAKeyFrameAndCarryDecodeTimes)
{
    VideoRow const Row{MF::MFVideoFormat_H264, 320, 180, 25, false};
    VideoPipeline Pipeline(Row);
    auto const Header = Pipeline.Encoder->GetOutputCurrentType()->GetBlob(MF::MF_MT_MPEG_SEQUENCE_HEADER);
    EXPECT_EQ(NalUnitTypes(Header, false), (std::vector<int>{7, 8}));
    // Segment 1 of a 3 s variant.
    auto const Result = Pipeline.Run(30000000, 60000000);
    ASSERT_EQ(Result.Status, S_OK);
    ASSERT_EQ(Result.Samples.size(), 75u);
    auto const First = Payload(*Result.Samples[0]);
    ASSERT_GE(First.size(), Header.size());
    EXPECT_TRUE(std::equal(Header.begin(), Header.end(), First.begin()));
    // The encoder's key frames, durations and decode times (VideoEncoderTest's)
    // in the attributes the sink reads.
    for(auto const& Sample : Result.Samples)
    {
        EXPECT_EQ(Sample->GetUINT32(MF::MFSampleExtension_CleanPoint) == 1, (Sample->GetSampleTime() - 30000000) % 10000000 == 0);
        EXPECT_EQ(Sample->GetSampleDuration(), 400000);
        EXPECT_LE(Sample->GetINT64(MF::MFSampleExtension_DecodeTimestamp), Sample->GetSampleTime());
    }
    EXPECT_EQ(Result.Samples[0]->GetINT64(MF::MFSampleExtension_DecodeTimestamp), 30000000 - 2 * 400000);
}

// That the trick-play row (a GOP of one) makes every picture a key frame is
// read back end to end by ffprobe (test_low_latency_hls.py, its parts).

TEST_F(EncoderTransformTest, APictureShorterThanItsTypeFailsTheRunNotTheProcess)
{
    // The settings and types the segment runs give it are checked as they are
    // given; what no run gives is not tested here.
    auto const Encoder = VideoEncoderTransform::Create();
    auto Type = SourceVideoType({MF::MFVideoFormat_H264, 320, 180, 25, false});
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_H264);
    Encoder->SetOutputType(Type);
    auto Input = Type->Clone();
    Input->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_NV12);
    Encoder->SetInputType(Input);
    Encoder->ProcessMessage(MF::MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0);
    auto Short = MF::Sample::Create();
    Short->AddBuffer(MF::MediaBuffer::CreateFrom(std::vector<std::uint8_t>(100)));
    Short->SetSampleTime(0);
    Short->SetSampleDuration(400000);
    EXPECT_EQ(MF::Testing::Raised([&] { Encoder->ProcessInput(Short); }), MF_E_BUFFERTOOSMALL);
}

TEST_F(EncoderTransformTest, FlacSegmentsLeadWithTheStreamHeader)
{
    for(std::int64_t Segment = 0; Segment < 2; ++Segment)
    {
        auto const Encoder = MakeFlacEncoder();
        auto const HeaderInType = Encoder->GetOutputCurrentType()->GetBlob(MF::MF_MT_USER_DATA);
        auto const Result = RunPipeline(AudioSource(), {Encoder}, Segment * 64000000, (Segment + 1) * 64000000);
        ASSERT_EQ(Result.Status, S_OK);
        ASSERT_EQ(Result.Samples.size(), 76u);
        auto& Header = *Result.Samples[0];
        EXPECT_EQ(Header.GetUINT32(MF::MFSampleExtension_FlacSampleCount), 0u);
        EXPECT_EQ(Payload(Header), HeaderInType);
        for(std::size_t Index = 1; Index < Result.Samples.size(); ++Index)
        {
            auto& Frame = *Result.Samples[Index];
            EXPECT_EQ(Frame.GetUINT32(MF::MFSampleExtension_FlacSampleCount), 4096u);
            // Positions count from the run's first sample.
            EXPECT_EQ(Frame.GetUINT64(MF::MFSampleExtension_FlacSamplePosition), (Index - 1) * 4096);
            EXPECT_EQ(Frame.GetSampleTime(), (Segment * 307200 + static_cast<std::int64_t>(Index - 1) * 4096) * 10000000 / Rate);
        }
    }
}
