// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/MediaSessionHelper.h"

#include <gtest/gtest.h>

#include "base/FailureCodes.h"

#include "media/MediaTestTools.h"
#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MfTestTools.h"
#include "mf/PassThroughTransform.h"
#include "mf/Platform.h"
#include "mf/TestMediaSource.h"
#include "mp4/MemorySinkByteStream.h"
#include "mp4/RawMediaSink.h"

using namespace Application;

using MF::Testing::Raised;

namespace
{
constexpr std::int64_t SampleDuration = 400000; // 25 per second

std::shared_ptr<MF::MediaType> MakeType()
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFVideoFormat_H264);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, 25, 1);
    return Type;
}

// The payload the test source writes for sample Index.
std::vector<std::uint8_t> Payload(std::uint32_t Index, std::size_t Size)
{
    std::vector<std::uint8_t> Value(Size);
    for(std::size_t Position = 0; Position < Size; ++Position)
        Value[Position] = static_cast<std::uint8_t>(Index + Position);
    return Value;
}

// source → pass-through transform → raw sink → memory byte stream, run by
// the session runner.
struct Pipeline
{
    explicit Pipeline(MF::TestMediaSource::Settings SourceSettings, MF::PassThroughTransform::Settings TransformSettings = {},
                      std::int64_t Start = 0, std::optional<std::int64_t> Duration = std::nullopt, bool SetInputType = true)
    {
        SourceSettings.Type = MakeType();
        SourceSettings.SampleDuration = SampleDuration;
        Source = MF::TestMediaSource::Create(SourceSettings);
        auto const PresentationDescriptor = Source->CreatePresentationDescriptor();
        if(Duration)
            PresentationDescriptor->SetUINT64(MF::MF_PD_DURATION, static_cast<std::uint64_t>(*Duration));
        auto const Type = PresentationDescriptor->GetStreamDescriptorByIndex(0)->GetMediaTypeHandler()->GetCurrentMediaType();
        Transform = std::make_shared<MF::PassThroughTransform>(TransformSettings);
        Transform->SetOutputType(Type);
        if(SetInputType)
            Transform->SetInputType(Type);
        Sink = Mp4::RawMediaSink::Create(Type, nullptr, ByteStream);
        MediaTestTools::ConnectChain(*Helper->GetTopology(), Source, PresentationDescriptor, {Transform}, Sink->GetStreamSinkByIndex(0));
        Helper->SetStartPosition(Start);
        Helper->SetWaitPeriod(std::chrono::milliseconds(50));
    }

    // Everything written since the last take.
    std::vector<std::vector<std::uint8_t>> TakeWrites()
    {
        std::vector<std::vector<std::uint8_t>> Writes;
        for(auto const& Write : ByteStream->TakeWrites())
            Writes.push_back(*Write);
        return Writes;
    }

    std::shared_ptr<Application::MediaSessionHelper> Helper = Application::MediaSessionHelper::Create();
    std::shared_ptr<Mp4::MemorySinkByteStream> ByteStream = Mp4::MemorySinkByteStream::Create();
    std::shared_ptr<MF::TestMediaSource> Source;
    std::shared_ptr<MF::PassThroughTransform> Transform;
    std::shared_ptr<Mp4::RawMediaSink> Sink;
};

// Whether the pipeline's components were shut down.
void ExpectShutDown(Pipeline& Value)
{
    EXPECT_EQ(Raised([&] { Value.Source->CreatePresentationDescriptor(); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Value.Transform->GetShutdownStatus(), MF::ShutdownStatus::Completed);
    EXPECT_EQ(Raised([&] { Value.Sink->GetStreamSinkCount(); }), MF_E_SHUTDOWN);
}

class MediaSessionHelperTest : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
};
} // namespace

TEST_F(MediaSessionHelperTest, RunsTheSegmentWindowThroughADelayingTransformToAnOrderlyClose)
{
    auto const ThreadsBefore = MF::Testing::CountThreads();
    auto const ObjectsBefore = MF::Object::GetLiveCount();
    {
        // Samples 50 to 74: [2 s, 3 s); the transform holds 3 back until the drain.
        Pipeline Value({.PayloadSize = 12}, {.Delay = 3}, 20000000, 30000000);
        int Ended = 0;
        Value.Helper->SetEndedCallback([&] { ++Ended; });
        EXPECT_TRUE(Value.Helper->Run());
        EXPECT_EQ(Value.Helper->GetLastWaitEnd(), Application::MediaSessionHelper::WaitEnd::Closed);
        EXPECT_FALSE(Value.Helper->GetError());
        EXPECT_EQ(Ended, 1);

        auto const Writes = Value.TakeWrites();
        ASSERT_EQ(Writes.size(), 25u);
        for(std::uint32_t Index = 0; Index < 25; ++Index)
            EXPECT_EQ(Writes[Index], Payload(50 + Index, 12)) << "write " << Index;
        EXPECT_EQ(Value.Transform->GetInputCount(), 25u);
        for(auto const Message : {MF::MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, MF::MFT_MESSAGE_NOTIFY_END_OF_STREAM, MF::MFT_MESSAGE_COMMAND_DRAIN,
                                  MF::MFT_MESSAGE_NOTIFY_END_STREAMING})
            EXPECT_EQ(Value.Transform->GetMessageCount(Message), 1u) << std::hex << Message;
        ExpectShutDown(Value);
    }
    // Work items that completed the run may still be letting go of their results on the platform's threads.
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return MF::Object::GetLiveCount() == ObjectsBefore; }))
        << MF::Object::GetLiveCount() - ObjectsBefore << " objects outlived the run";
    // Threads of earlier tests (encoder pools) may still be ending: none may be left over from this run.
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return MF::Testing::CountThreads() <= ThreadsBefore; })) << MF::Testing::CountThreads() << " " << ThreadsBefore;
}

TEST_F(MediaSessionHelperTest, SourceThatEndsAtOnceStillEndsStopsAndCloses)
{
    Pipeline Value({}, {}, 20000000, 20000000);
    int Ended = 0;
    Value.Helper->SetEndedCallback([&] { ++Ended; });
    EXPECT_TRUE(Value.Helper->Run());
    EXPECT_EQ(Ended, 1);
    EXPECT_TRUE(Value.TakeWrites().empty());
    ExpectShutDown(Value);
}

TEST_F(MediaSessionHelperTest, AFailureAnywhereEndsTheRunWithItsStatusAfterClosing)
{
    struct Case
    {
        char const* Name;
        MF::TestMediaSource::Settings Source;
        MF::PassThroughTransform::Settings Transform;
        bool SetInputType;
        HRESULT Status;
        std::size_t Delivered; // what came before the failure
    };
    for(auto const& Row : {Case{"transform", {}, {.FailingInputIndex = 5}, true, E_FAIL, 5},
                           Case{"source, on its own queue", {.FailingSampleIndex = 3}, {}, true, E_FAIL, 3},
                           Case{"a topology that cannot connect", {}, {}, false, MF_E_TRANSFORM_TYPE_NOT_SET, 0}})
    {
        Pipeline Value(Row.Source, Row.Transform, 0, 40000000, Row.SetInputType);
        EXPECT_FALSE(Value.Helper->Run()) << Row.Name;
        EXPECT_EQ(Value.Helper->GetLastWaitEnd(), Application::MediaSessionHelper::WaitEnd::Error) << Row.Name;
        EXPECT_EQ(Value.Helper->GetError(), Row.Status) << Row.Name;
        EXPECT_EQ(Value.TakeWrites().size(), Row.Delivered) << Row.Name;
        ExpectShutDown(Value);
    }
}

TEST_F(MediaSessionHelperTest, StalledPipelineIsClosedInAnOrderlyWay)
{
    // The runner's own check, as the segment runs use it, with a short stall time.
    Pipeline Value({.StallingSampleIndex = 4}, {}, 0, 40000000);
    Value.Helper->SetStallTimeout(std::chrono::milliseconds(300));
    EXPECT_FALSE(Value.Helper->Run());
    EXPECT_EQ(Value.Helper->GetLastWaitEnd(), Application::MediaSessionHelper::WaitEnd::Quiet);
    EXPECT_FALSE(Value.Helper->GetError());
    EXPECT_EQ(Value.TakeWrites().size(), 4u);
    ExpectShutDown(Value);
}

TEST_F(MediaSessionHelperTest, CloseThatDoesNotCompleteRaisesClosureStall)
{
    Pipeline Value({.StallingSampleIndex = 1}, {.EndStreamingTime = std::chrono::milliseconds(600)}, 0, 40000000);
    Value.Helper->SetStallCheck([] { return false; });
    Value.Helper->SetCloseTimeout(std::chrono::milliseconds(100));
    try
    {
        Value.Helper->Run();
        ADD_FAILURE() << "nothing raised";
    }
    catch(HResultError const& Error)
    {
        EXPECT_EQ(Error.Code(), FailureCode::PipelineClosureStall);
        EXPECT_EQ(Error.Message(), "Pipeline closure stall suspicion");
    }
}
