// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "media/AudioMediaSource.h"
#include "media/MediaTestTools.h"
#include "media/VideoMediaSource.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/MfTestTools.h"
#include "mf/Platform.h"

using namespace Application;

using namespace MediaTestTools;

namespace
{
std::shared_ptr<VideoMediaSource> VideoSource(std::shared_ptr<MF::MediaType> Type)
{
    auto Source = VideoMediaSource::Create();
    Source->SetMediaType(std::move(Type));
    return Source;
}

std::shared_ptr<AudioMediaSource> AudioSource(std::shared_ptr<MF::MediaType> Type)
{
    auto Source = AudioMediaSource::Create();
    Source->SetMediaType(std::move(Type));
    return Source;
}

class MediaSourceTest : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
};
} // namespace

TEST_F(MediaSourceTest, VideoFramesSitOnTheGridFromTheStartToTheDuration)
{
    std::int64_t const Objects = MF::Object::GetLiveCount();
    {
        // Segment 2 of a 3 s, 25/1 fps variant.
        auto const Source = VideoSource(VideoType(320, 180, 25, 1));
        Source->SetBackgroundColor(0x006400);
        auto const Result = RunPipeline(Source, {}, 60000000, 90000000);
        ASSERT_EQ(Result.Status, S_OK);
        ASSERT_EQ(Result.Samples.size(), 75u);
        for(std::size_t Index = 0; Index < Result.Samples.size(); ++Index)
        {
            auto& Sample = *Result.Samples[Index];
            EXPECT_EQ(Sample.GetSampleTime(), 60000000 + static_cast<std::int64_t>(Index) * 400000);
            EXPECT_EQ(Sample.GetSampleDuration(), 400000);
            EXPECT_EQ(Sample.GetUINT32(MF::MFSampleExtension_CleanPoint), 1u);
            EXPECT_FALSE(Sample.HasItem(MF::MFSampleExtension_Discontinuity));
            ASSERT_EQ(Sample.GetTotalLength(), 320u * 180 * 4);
        }
        // Top-down: the box (dark green here) starts an eighth of the height down.
        auto const Frame = Payload(*Result.Samples[0]);
        std::uint8_t const* Black = Frame.data() + (180 / 16) * 320 * 4 + 160 * 4;
        std::uint8_t const* Green = Frame.data() + (180 / 8 + 3) * 320 * 4 + 100 * 4;
        EXPECT_EQ(std::vector<std::uint8_t>(Black, Black + 4), (std::vector<std::uint8_t>{0, 0, 0, 255}));
        EXPECT_EQ(std::vector<std::uint8_t>(Green, Green + 4), (std::vector<std::uint8_t>{0, 0x64, 0, 255}));
    }
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return MF::Object::GetLiveCount() == Objects; })) << MF::Object::GetLiveCount() - Objects;
}

TEST_F(MediaSourceTest, TheFirstFrameOfAllIsADiscontinuityAndAStartBetweenFramesTakesTheNearest)
{
    // The grid itself, fractional rates included, is MediaGridTest's.
    auto const Result = RunPipeline(VideoSource(VideoType(64, 36, 30000, 1001)), {}, 0, 10000000);
    ASSERT_EQ(Result.Status, S_OK);
    ASSERT_EQ(Result.Samples.size(), 30u);
    EXPECT_EQ(Result.Samples[0]->GetUINT32(MF::MFSampleExtension_Discontinuity), 1u);
    auto const Nearest = RunPipeline(VideoSource(VideoType(64, 36, 25, 1)), {}, 60210000, 61000000);
    ASSERT_EQ(Nearest.Status, S_OK);
    ASSERT_EQ(Nearest.Samples.size(), 2u);
    EXPECT_EQ(Nearest.Samples[0]->GetSampleTime(), 60400000);
}

TEST_F(MediaSourceTest, VideoSourceRefusesTypesItCannotMakeAndLateSettings)
{
    auto Nv12 = VideoType(64, 36, 25, 1);
    Nv12->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_NV12);
    EXPECT_EQ(RunPipeline(VideoSource(Nv12), {}, 0, 10000000).Status, E_NOTIMPL);
    auto NoRate = VideoType(64, 36, 0, 1);
    EXPECT_EQ(static_cast<std::uint32_t>(RunPipeline(VideoSource(NoRate), {}, 0, 10000000).Status) & 0xFFFF0000u, 0x80FF0000u);
    auto BottomUp = VideoType(64, 36, 25, 1);
    BottomUp->SetUINT32(MF::MF_MT_DEFAULT_STRIDE, static_cast<std::uint32_t>(-64 * 4));
    EXPECT_EQ(RunPipeline(VideoSource(BottomUp), {}, 0, 10000000).Status, MF_E_INVALIDMEDIATYPE);

    auto const Source = VideoSource(VideoType(64, 36, 25, 1));
    ASSERT_EQ(RunPipeline(Source, {}, 0, 800000).Status, S_OK);
    // The frames are shaped at the start: a base live time comes too late.
    EXPECT_EQ(MF::Testing::Raised([&] { Source->SetBaseLiveTime(0); }), E_UNEXPECTED);
    EXPECT_EQ(MF::Testing::Raised([&] { Source->GetCharacteristics(); }), MF_E_SHUTDOWN);
}

TEST_F(MediaSourceTest, LiveVideoSourceAnswersEachRequestInOrderWithEventsInTheirOrder)
{
    // Driven by hand, as the session would, without a duration: a live source.
    auto const Source = VideoSource(VideoType(64, 36, 25, 1));
    auto const Descriptor = Source->CreatePresentationDescriptor();
    EXPECT_FALSE(Descriptor->HasItem(MF::MF_PD_DURATION));
    EXPECT_EQ(Source->GetCharacteristics(), 0x81u);
    Source->Start(Descriptor, MF::GUID_NULL, MF::PropVariant(std::int64_t{1000 * 30000000LL}));
    auto Next = [](MF::IMediaEventGenerator& Generator) {
        std::shared_ptr<MF::MediaEvent> Event;
        EXPECT_TRUE(MF::Testing::WaitUntil([&] {
            return MF::Testing::Raised([&] { Event = Generator.GetEvent(MF::MF_EVENT_FLAG_NO_WAIT); }) == S_OK;
        }));
        return Event;
    };
    auto const NewStream = Next(*Source);
    ASSERT_EQ(NewStream->GetType(), MF::MENewStream);
    auto const Stream = NewStream->GetValue().GetObjectAs<MF::IMediaStream>();
    ASSERT_TRUE(Stream);
    EXPECT_EQ(Next(*Source)->GetType(), MF::MESourceStarted);
    EXPECT_EQ(Source->GetCharacteristics(), 0x81u);
    EXPECT_EQ(Next(*Stream)->GetType(), MF::MEStreamStarted);
    for(int Request = 0; Request < 6; ++Request)
        Stream->RequestSample(nullptr);
    for(std::int64_t Index = 0; Index < 6; ++Index)
    {
        auto const Event = Next(*Stream);
        ASSERT_EQ(Event->GetType(), MF::MEMediaSample);
        // Segment 1000 of a live asset: frame 75000 on.
        EXPECT_EQ(Event->GetValue().GetObjectAs<MF::Sample>()->GetSampleTime(), (75000 + Index) * 400000);
    }
    Source->Stop();
    EXPECT_EQ(Next(*Source)->GetType(), MF::MESourceStopped);
    EXPECT_EQ(Next(*Stream)->GetType(), MF::MEStreamStopped);
    // Stopped: requests are ignored.
    Stream->RequestSample(nullptr);
    Source->Shutdown();
    EXPECT_EQ(MF::Testing::Raised([&] { Stream->RequestSample(nullptr); }), MF_E_SHUTDOWN);
}

TEST_F(MediaSourceTest, AudioBuffersHoldTheSignalOnTheAbsoluteSampleGrid)
{
    // From 6 s to 6.4 s: 40 full buffers of 10 ms.
    auto const Result = RunPipeline(AudioSource(AudioType(MF::MFAudioFormat_PCM, 16)), {}, 60000000, 64000000);
    ASSERT_EQ(Result.Status, S_OK);
    ASSERT_EQ(Result.Samples.size(), 40u);
    ToneBurstSignal const Signal(48000);
    for(std::size_t Index = 0; Index < Result.Samples.size(); ++Index)
    {
        auto& Sample = *Result.Samples[Index];
        std::int64_t const First = 288000 + static_cast<std::int64_t>(Index) * 480;
        EXPECT_EQ(Sample.GetSampleTime(), First * 10000000 / 48000);
        EXPECT_EQ(Sample.GetSampleDuration(), 100000);
        auto const Data = Payload(Sample);
        ASSERT_EQ(Data.size(), 480u * 4);
        std::vector<std::uint8_t> Expected(Data.size());
        Signal.Write(First, 480, 2, ToneBurstSignal::SampleFormat::Pcm16, Expected);
        ASSERT_EQ(Data, Expected) << Index;
    }
}

TEST_F(MediaSourceTest, AudioEndsAtTheDurationAndStartsAtTheNextSampleInstant)
{
    // A duration that is not a multiple of 10 ms cuts the last buffer, and
    // a start between two instants begins with the later one.
    auto const Result = RunPipeline(AudioSource(AudioType(MF::MFAudioFormat_Float, 32)), {}, 1, 250000);
    ASSERT_EQ(Result.Status, S_OK);
    ASSERT_EQ(Result.Samples.size(), 3u);
    EXPECT_EQ(Result.Samples[0]->GetSampleTime(), 208);
    EXPECT_FALSE(Result.Samples[0]->HasItem(MF::MFSampleExtension_Discontinuity));
    EXPECT_EQ(Payload(*Result.Samples[0]).size(), 480u * 2 * 4);
    EXPECT_EQ(Payload(*Result.Samples[2]).size(), 239u * 2 * 4);
    // 32-bit float samples are the signal's values themselves.
    auto const Last = Payload(*Result.Samples[2]);
    float Value;
    std::memcpy(&Value, Last.data() + 8 * 100, 4);
    EXPECT_EQ(Value, ToneBurstSignal(48000).Value(961 + 100));
    // Sample 0 carries the discontinuity flag.
    auto const First = RunPipeline(AudioSource(AudioType(MF::MFAudioFormat_PCM, 8)), {}, 0, 100000);
    ASSERT_EQ(First.Samples.size(), 1u);
    EXPECT_EQ(First.Samples[0]->GetUINT32(MF::MFSampleExtension_Discontinuity), 1u);
    // 12-bit samples are not made.
    EXPECT_EQ(RunPipeline(AudioSource(AudioType(MF::MFAudioFormat_PCM, 12)), {}, 0, 100000).Status, MF_E_INVALIDMEDIATYPE);
}
