// SPDX-License-Identifier: GPL-2.0-or-later
// What a sample becomes in the raw sink, and its one fixed stream; the run
// life cycle both sinks share is MediaSinkLifeCycleTest's.
#include "mp4/RawMediaSink.h"

#include <gtest/gtest.h>

#include "mf/AttributeKeys.h"
#include "mf/Guids.h"
#include "mf/MfTestTools.h"
#include "mf/Platform.h"
#include "mp4/MemorySinkByteStream.h"
#include "mp4/Mp4SinkTestTools.h"

using MF::Testing::Raised;
using Mp4::MemorySinkByteStream;
using Mp4::RawMediaSink;
using Mp4::Test::TakeEvents;

namespace
{
std::shared_ptr<MF::MediaType> MakeType()
{
    return Mp4::Test::MakeVideoType(MF::MFVideoFormat_H264, {});
}

std::shared_ptr<MF::Sample> MakeSample(std::initializer_list<std::uint8_t> First, std::initializer_list<std::uint8_t> Second)
{
    auto Sample = MF::Sample::Create();
    Sample->AddBuffer(MF::MediaBuffer::CreateFrom(std::vector<std::uint8_t>(First)));
    Sample->AddBuffer(MF::MediaBuffer::CreateFrom(std::vector<std::uint8_t>(Second)));
    return Sample;
}

class RawMediaSinkTest : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
};
} // namespace

TEST_F(RawMediaSinkTest, WritesEachSamplePayloadAsOneWrite)
{
    auto const ByteStream = MemorySinkByteStream::Create();
    auto const Sink = RawMediaSink::Create(MakeType(), nullptr, ByteStream);
    auto const Stream = Sink->GetStreamSinkByIndex(0);
    Stream->ProcessSample(MakeSample({1, 2, 3}, {4, 5}));
    Stream->ProcessSample(MakeSample({6}, {}));
    auto const Writes = ByteStream->TakeWrites();
    ASSERT_EQ(Writes.size(), 2u);
    EXPECT_EQ(*Writes[0], (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(*Writes[1], (std::vector<std::uint8_t>{6}));
    Sink->Shutdown();
}

TEST_F(RawMediaSinkTest, HasOneFixedStream)
{
    auto const Sink = RawMediaSink::Create(MakeType(), nullptr, nullptr);
    EXPECT_EQ(Raised([&] { Sink->AddStreamSink(1, MakeType()); }), MF_E_STREAMSINKS_FIXED);
    EXPECT_EQ(Raised([&] { Sink->RemoveStreamSink(0); }), MF_E_STREAMSINKS_FIXED);
    EXPECT_EQ(Sink->GetStreamSinkCount(), 1u);
    EXPECT_EQ(Raised([&] { Sink->GetStreamSinkByIndex(1); }), MF_E_INVALIDINDEX);
    EXPECT_EQ(Raised([&] { Sink->GetStreamSinkById(1); }), MF_E_INVALIDSTREAMNUMBER);
    EXPECT_EQ(Raised([&] { Sink->GetPresentationClock(); }), MF_E_NO_CLOCK);
    EXPECT_EQ(Raised([] { RawMediaSink::Create(nullptr, nullptr, nullptr); }), E_INVALIDARG);
    Sink->Shutdown();
}
