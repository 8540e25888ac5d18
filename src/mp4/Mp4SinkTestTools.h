// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mf/IByteStream.h"
#include "mf/IStreamSink.h"
#include "mf/MediaType.h"
#include "mf/Sample.h"
#include "mp4/Mp4MediaSink.h"

// Running the MP4 sink in tests on samples they make.
namespace Mp4::Test
{
struct EncodedFrame
{
    std::vector<std::uint8_t> m_Data; // Annex B for video
    std::int64_t m_Time = 0;          // 100 ns units
    std::int64_t m_Duration = 0;
    bool m_KeyFrame = false;
    std::uint64_t m_Position = 0; // FLAC: first audio sample
    std::uint32_t m_SampleCount = 0;
};

struct VideoSettings
{
    std::uint32_t m_Width = 320;
    std::uint32_t m_Height = 240;
    std::uint32_t m_FrameRateNumerator = 25;
    std::uint32_t m_FrameRateDenominator = 1;
};

// Keeps every write, in order.
class RecordingByteStream final : public MF::IByteStream
{
public:
    std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) override;

    std::vector<std::vector<std::uint8_t>> m_WriteVector;
};

std::shared_ptr<MF::MediaType> MakeVideoType(MF::Guid const& Subtype, VideoSettings const& Settings);
std::shared_ptr<MF::MediaType> MakeAudioType(MF::Guid const& Subtype, std::vector<std::uint8_t> UserData);
std::shared_ptr<MF::Sample> MakeSample(EncodedFrame const& Frame);
// The types of the events queued so far, taken off the queue.
std::vector<std::uint32_t> TakeEvents(MF::IMediaEventGenerator& Generator);

struct SinkRun
{
    std::shared_ptr<RecordingByteStream> m_ByteStream = std::make_shared<RecordingByteStream>();
    std::shared_ptr<Mp4MediaSink> m_Sink = Mp4MediaSink::Create(m_ByteStream);
    std::shared_ptr<MF::IStreamSink> m_StreamSink;
    std::shared_ptr<MF::PresentationClock> m_Clock = MF::PresentationClock::Create();

    // Adds the stream and starts the clock at StartOffset.
    void Start(std::shared_ptr<MF::MediaType> const& Type, std::int64_t StartOffset = 0);
};
} // namespace Mp4::Test
