// SPDX-License-Identifier: GPL-2.0-or-later
// The key frames, durations and decode times the encoder transforms hand
// the sink, and the FLAC stream header leading every run, are read back end
// to end from the segments (test_conformance.py, and the audio markers of
// test_clock_and_frame_code.py).
#include <gtest/gtest.h>

#include "media/MediaTestTools.h"
#include "media/VideoEncoderTransform.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"
#include "mf/MfTestTools.h"
#include "mf/Platform.h"

using namespace Application;

TEST(EncoderTransform, APictureShorterThanItsTypeFailsTheRunNotTheProcess)
{
    // The settings and types the segment runs give it are checked as they are
    // given; what no run gives is not tested here.
    MF::PlatformScope Platform;
    auto const Encoder = VideoEncoderTransform::Create();
    auto Type = MediaTestTools::VideoType(320, 180, 25, 1);
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
