// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

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

// Where the frames and audio samples of a run sit is the grids' and the
// segment window's (MediaGridTest, SegmentSessionTest), what they show the
// composer's and the signal's; end to end, the frame codes and the audio
// markers (test_clock_and_frame_code.py) read them back. Here: what the
// sources refuse, and where audio runs end and start.
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

TEST_F(MediaSourceTest, AudioEndsAtTheDurationAndStartsAtTheNextSampleInstant)
{
    // A duration that is not a multiple of 10 ms cuts the last buffer, and
    // a start between two instants begins with the later one.
    auto const Result = RunPipeline(AudioSource(AudioType(MF::MFAudioFormat_PCM, 16)), {}, 1, 250000);
    ASSERT_EQ(Result.Status, S_OK);
    ASSERT_EQ(Result.Samples.size(), 3u);
    EXPECT_EQ(Result.Samples[0]->GetSampleTime(), 208);
    EXPECT_EQ(Payload(*Result.Samples[0]).size(), 480u * 2 * 2);
    EXPECT_EQ(Payload(*Result.Samples[2]).size(), 239u * 2 * 2);
    // 12-bit samples are not made.
    EXPECT_EQ(RunPipeline(AudioSource(AudioType(MF::MFAudioFormat_PCM, 12)), {}, 0, 100000).Status, MF_E_INVALIDMEDIATYPE);
}
