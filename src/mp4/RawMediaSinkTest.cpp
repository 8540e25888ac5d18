// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/RawMediaSink.h"

#include <gtest/gtest.h>

#include "mf/AsyncCallback.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MfTestTools.h"
#include "mf/Platform.h"
#include "mp4/MemorySinkByteStream.h"

using MF::Testing::Raised;
using Mp4::MemorySinkByteStream;
using Mp4::RawMediaSink;

namespace
{
std::shared_ptr<MF::MediaType> MakeType()
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_H264);
    return Type;
}

std::shared_ptr<MF::Sample> MakeSample(std::initializer_list<std::uint8_t> First, std::initializer_list<std::uint8_t> Second)
{
    auto Sample = MF::Sample::Create();
    Sample->AddBuffer(MF::MediaBuffer::CreateFrom(std::vector<std::uint8_t>(First)));
    Sample->AddBuffer(MF::MediaBuffer::CreateFrom(std::vector<std::uint8_t>(Second)));
    return Sample;
}

std::vector<MF::MediaEventType> DrainEvents(MF::IStreamSink& Stream)
{
    std::vector<MF::MediaEventType> Types;
    for(;;)
    {
        std::shared_ptr<MF::MediaEvent> Event;
        if(Failed(StatusBoundary([&] { Event = Stream.GetEvent(MF::MF_EVENT_FLAG_NO_WAIT); })))
            return Types;
        Types.push_back(Event->GetType());
    }
}

class RawMediaSinkTest : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
};
} // namespace

TEST_F(RawMediaSinkTest, WritesEachSamplePayloadAsOneWriteAndAsksForTheNext)
{
    auto const ByteStream = MemorySinkByteStream::Create();
    auto const Sink = RawMediaSink::Create(MakeType(), nullptr, ByteStream);
    auto const Stream = Sink->GetStreamSinkByIndex(0);
    EXPECT_EQ(Sink->GetCharacteristics(), 5u);
    EXPECT_EQ(Stream->GetMediaSink(), Sink);
    auto const Clock = MF::PresentationClock::Create();
    Sink->SetPresentationClock(Clock);
    Clock->Start(60000000);
    EXPECT_EQ(DrainEvents(*Stream), (std::vector{MF::MEStreamSinkStarted, MF::MEStreamSinkRequestSample}));

    Stream->ProcessSample(MakeSample({1, 2, 3}, {4, 5}));
    Stream->ProcessSample(MakeSample({6}, {}));
    Stream->PlaceMarker(MF::MFSTREAMSINK_MARKER_ENDOFSEGMENT, {}, MF::PropVariant(std::uint64_t{9}));
    auto const Marker = [&] {
        EXPECT_EQ(Stream->GetEvent(0)->GetType(), MF::MEStreamSinkRequestSample);
        EXPECT_EQ(Stream->GetEvent(0)->GetType(), MF::MEStreamSinkRequestSample);
        return Stream->GetEvent(0);
    }();
    EXPECT_EQ(Marker->GetType(), MF::MEStreamSinkMarker);
    EXPECT_EQ(Marker->GetValue(), MF::PropVariant(std::uint64_t{9}));
    auto const Writes = ByteStream->TakeWrites();
    ASSERT_EQ(Writes.size(), 2u);
    EXPECT_EQ(*Writes[0], (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(*Writes[1], (std::vector<std::uint8_t>{6}));

    Clock->Stop();
    EXPECT_EQ(DrainEvents(*Stream), std::vector{MF::MEStreamSinkStopped});
    Sink->Shutdown();
    EXPECT_EQ(Raised([&] { Stream->ProcessSample(MakeSample({1}, {})); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Sink->Shutdown(); }), MF_E_SHUTDOWN);
}

TEST_F(RawMediaSinkTest, WithoutAByteStreamDiscardsSamplesAndKeepsAsking)
{
    auto const Sink = RawMediaSink::Create(MakeType(), nullptr, nullptr);
    auto const Stream = Sink->GetStreamSinkById(RawMediaSink::StreamIdentifier);
    for(int Index = 0; Index < 3; ++Index)
        Stream->ProcessSample(MakeSample({1}, {2}));
    EXPECT_EQ(DrainEvents(*Stream), std::vector<MF::MediaEventType>(3, MF::MEStreamSinkRequestSample));
    EXPECT_EQ(Raised([&] { Stream->ProcessSample(nullptr); }), E_INVALIDARG);
    Sink->Shutdown();
}

TEST_F(RawMediaSinkTest, HasOneFixedStreamAndFinalizesAtOnce)
{
    auto const Sink = RawMediaSink::Create(MakeType(), nullptr, nullptr);
    EXPECT_EQ(Raised([&] { Sink->AddStreamSink(1, MakeType()); }), MF_E_STREAMSINKS_FIXED);
    EXPECT_EQ(Raised([&] { Sink->RemoveStreamSink(0); }), MF_E_STREAMSINKS_FIXED);
    EXPECT_EQ(Sink->GetStreamSinkCount(), 1u);
    EXPECT_EQ(Raised([&] { Sink->GetStreamSinkByIndex(1); }), MF_E_INVALIDINDEX);
    EXPECT_EQ(Raised([&] { Sink->GetStreamSinkById(1); }), MF_E_INVALIDSTREAMNUMBER);
    EXPECT_EQ(Raised([&] { Sink->GetPresentationClock(); }), MF_E_NO_CLOCK);
    EXPECT_EQ(Raised([] { RawMediaSink::Create(nullptr, nullptr, nullptr); }), E_INVALIDARG);

    auto const Finished = MF::Event::Create(MF::EventReset::Manual);
    HRESULT Status = E_FAIL;
    auto const Callback = std::make_shared<MF::AsyncCallback>([&](std::shared_ptr<MF::AsyncResult> const& Result) {
        Status = StatusBoundary([&] { Sink->EndFinalize(Result); });
        Finished->Set();
    });
    Sink->BeginFinalize(Callback, nullptr);
    ASSERT_TRUE(Finished->Wait(std::chrono::seconds(5)));
    EXPECT_EQ(Status, S_OK);
    Sink->Shutdown();
}
