// SPDX-License-Identifier: GPL-2.0-or-later
// The life cycle both packaging sinks share: finalising, changing clocks and
// shutting down, run against each sink.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "mf/AsyncCallback.h"
#include "mf/Guids.h"
#include "mf/MfTestTools.h"
#include "mf/Platform.h"
#include "mp4/Mp4MediaSink.h"
#include "mp4/Mp4SinkTestTools.h"
#include "mp4/Mp4TestBytes.h"
#include "mp4/RawMediaSink.h"

using MF::Testing::Raised;
using Mp4::Test::TakeEvents;

namespace
{
struct SinkUnderTest
{
    std::shared_ptr<MF::IFinalizableMediaSink> m_Sink;
    std::shared_ptr<MF::IStreamSink> m_Stream;
    // A sample the stream takes, the Index-th of the run.
    std::function<std::shared_ptr<MF::Sample>(int Index)> m_MakeSample;
};

SinkUnderTest MakeRawSink()
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Audio);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFAudioFormat_AAC);
    auto const Sink = Mp4::RawMediaSink::Create(Type, nullptr, std::make_shared<Mp4::Test::RecordingByteStream>());
    return {Sink, Sink->GetStreamSinkByIndex(0), [](int Index) {
                auto Sample = MF::Sample::Create();
                Sample->AddBuffer(MF::MediaBuffer::CreateFrom(std::vector<std::uint8_t>{static_cast<std::uint8_t>(Index)}));
                return Sample;
            }};
}

SinkUnderTest MakeMp4Sink()
{
    auto const Sink = Mp4::Mp4MediaSink::Create(std::make_shared<Mp4::Test::RecordingByteStream>());
    auto const Stream = Sink->AddStreamSink(1, Mp4::Test::MakeVideoType(MF::MFVideoFormat_H264, {320, 240, 25, 1}));
    return {Sink, Stream, [](int Index) {
                Mp4::Test::EncodedFrame Frame;
                // An IDR picture with its parameter sets, every one a key frame.
                Frame.m_Data = Mp4::Test::Hex("00000001 6764001fae 00000001 68ebe3cb 00000001 65888400");
                Frame.m_Time = Index * 400'000;
                Frame.m_Duration = 400'000;
                Frame.m_KeyFrame = true;
                return Mp4::Test::MakeSample(Frame);
            }};
}

enum class SinkKind
{
    Raw,
    Mp4,
};

std::string Name(SinkKind Kind) { return Kind == SinkKind::Raw ? "Raw" : "Mp4"; }

void PrintTo(SinkKind Kind, std::ostream* Stream) { *Stream << Name(Kind); }

class MediaSinkLifeCycleTest : public testing::TestWithParam<SinkKind>
{
protected:
    MF::PlatformScope m_Platform;
    SinkUnderTest m_Under = GetParam() == SinkKind::Raw ? MakeRawSink() : MakeMp4Sink();
    std::shared_ptr<MF::PresentationClock> m_Clock = MF::PresentationClock::Create();
};

using Events = std::vector<std::uint32_t>;
Events const StartedAndAsking{MF::MEStreamSinkStarted, MF::MEStreamSinkRequestSample};
Events const Asking{MF::MEStreamSinkRequestSample};
} // namespace

TEST_P(MediaSinkLifeCycleTest, ARunAsksSampleAfterSamplePassesMarkersOnAndStops)
{
    auto const& [Sink, Stream, MakeSample] = m_Under;
    Sink->SetPresentationClock(m_Clock);
    m_Clock->Start(0);
    EXPECT_EQ(TakeEvents(*Stream), StartedAndAsking);
    Stream->ProcessSample(MakeSample(0));
    Stream->ProcessSample(MakeSample(1));
    EXPECT_EQ(TakeEvents(*Stream), (Events{MF::MEStreamSinkRequestSample, MF::MEStreamSinkRequestSample}));
    EXPECT_EQ(Raised([&] { Stream->ProcessSample(nullptr); }), E_INVALIDARG);
    Stream->PlaceMarker(MF::MFSTREAMSINK_MARKER_ENDOFSEGMENT, {}, MF::PropVariant(std::uint64_t{9}));
    auto const Marker = Stream->GetEvent(MF::MF_EVENT_FLAG_NO_WAIT);
    EXPECT_EQ(Marker->GetType(), MF::MEStreamSinkMarker);
    EXPECT_EQ(Marker->GetValue(), MF::PropVariant(std::uint64_t{9}));
    EXPECT_EQ(Raised([&] { Stream->PlaceMarker(MF::MFSTREAMSINK_MARKER_TICK, MF::PropVariant(std::uint32_t{1}), {}); }), E_INVALIDARG);
    m_Clock->Stop();
    EXPECT_EQ(TakeEvents(*Stream), Events{MF::MEStreamSinkStopped});
    Sink->Shutdown();
    EXPECT_EQ(Raised([&] { Stream->ProcessSample(MakeSample(2)); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Sink->Shutdown(); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Sink->GetStreamSinkCount(); }), MF_E_SHUTDOWN);
}

TEST_P(MediaSinkLifeCycleTest, FinalisingStopsTheRequestsUntilTheNextRun)
{
    auto const& [Sink, Stream, MakeSample] = m_Under;
    Sink->SetPresentationClock(m_Clock);
    m_Clock->Start(0);
    Stream->ProcessSample(MakeSample(0));
    EXPECT_EQ(TakeEvents(*Stream), (Events{MF::MEStreamSinkStarted, MF::MEStreamSinkRequestSample, MF::MEStreamSinkRequestSample}));

    auto const Finished = MF::Event::Create(MF::EventReset::Manual);
    std::shared_ptr<MF::AsyncResult> Finalized;
    Sink->BeginFinalize(std::make_shared<MF::AsyncCallback>([&](std::shared_ptr<MF::AsyncResult> const& Result) {
                            Finalized = Result;
                            Finished->Set();
                        }),
                        nullptr);
    ASSERT_TRUE(Finished->Wait(std::chrono::seconds(5)));
    // The last sample the session had asked for still arrives, and asks for nothing.
    Stream->ProcessSample(MakeSample(1));
    EXPECT_EQ(TakeEvents(*Stream), Events{});

    // A new run asks again, sample after sample.
    m_Clock->Start(0);
    EXPECT_EQ(TakeEvents(*Stream), StartedAndAsking);
    Stream->ProcessSample(MakeSample(0));
    EXPECT_EQ(TakeEvents(*Stream), Asking);
    Sink->EndFinalize(Finalized);

    // A finalisation refused for want of a callback leaves the sink asking.
    EXPECT_EQ(Raised([&] { Sink->BeginFinalize(nullptr, nullptr); }), E_INVALIDARG);
    Stream->ProcessSample(MakeSample(1));
    EXPECT_EQ(TakeEvents(*Stream), Asking);
    Sink->Shutdown();
}

TEST_P(MediaSinkLifeCycleTest, AClockThatWasReplacedOrOutlivedTheSinkNoLongerReachesIt)
{
    auto const& [Sink, Stream, MakeSample] = m_Under;
    auto const Other = MF::PresentationClock::Create();
    Sink->SetPresentationClock(Other);
    Sink->SetPresentationClock(m_Clock);
    EXPECT_EQ(Sink->GetPresentationClock(), m_Clock);
    Other->Start(0);
    EXPECT_EQ(TakeEvents(*Stream), Events{});
    m_Clock->Start(0);
    EXPECT_EQ(TakeEvents(*Stream), StartedAndAsking);

    Sink->Shutdown();
    // Were the sink still a state sink of the clock, it would raise MF_E_SHUTDOWN into the clock's caller.
    EXPECT_EQ(Raised([&] { m_Clock->Stop(); }), S_OK);
    EXPECT_EQ(Raised([&] { m_Clock->Start(0); }), S_OK);
    EXPECT_EQ(Raised([&] { Sink->SetPresentationClock(m_Clock); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Stream->GetIdentifier(); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Stream->GetEvent(MF::MF_EVENT_FLAG_NO_WAIT); }), MF_E_SHUTDOWN);
}

INSTANTIATE_TEST_SUITE_P(BothSinks, MediaSinkLifeCycleTest, testing::Values(SinkKind::Raw, SinkKind::Mp4),
                         [](testing::TestParamInfo<SinkKind> const& Info) { return Name(Info.param); });
