// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mf/IByteStream.h"
#include "mf/IStreamSink.h"
#include "mf/MediaType.h"
#include "mf/Sample.h"
#include "mp4/Mp4MediaSink.h"
#include "mp4/Mp4TestEncoders.h"

// Running the MP4 sink in tests and judging what it wrote with ffprobe and
// ffmpeg.
namespace Mp4::Test
{
// Keeps every write, in order.
class RecordingByteStream final : public MF::IByteStream
{
public:
    std::uint32_t Write(std::uint8_t const* Buffer, std::uint32_t Count) override;

    std::vector<std::vector<std::uint8_t>> m_WriteVector;
};

std::shared_ptr<MF::MediaType> MakeVideoType(MF::Guid const& Subtype, VideoSettings const& Settings);
std::shared_ptr<MF::MediaType> MakeAudioType(MF::Guid const& Subtype, std::vector<std::uint8_t> UserData);
std::shared_ptr<MF::Sample> MakeSample(EncodedFrame const& Frame, bool WithDecodeTime = true);
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
    // Every write joined: what a player gets as initialisation segment plus media segment.
    std::vector<std::uint8_t> GetFile() const;
    // The event types queued on the stream sink so far.
    std::vector<std::uint32_t> TakeStreamEvents();
};

// Packages the frames (decode order) with a fresh sink and returns the file.
std::vector<std::uint8_t> Package(std::shared_ptr<MF::MediaType> const& Type, std::vector<std::shared_ptr<MF::Sample>> const& Samples,
                                  ProtectionSettings const& Protection = {}, std::uint32_t FirstSequenceNumber = 1, std::int64_t StartOffset = 0);

// A file in a temporary folder, removed with the object.
class TemporaryFile
{
public:
    explicit TemporaryFile(std::vector<std::uint8_t> const& Bytes);
    ~TemporaryFile();
    std::string const& GetPath() const noexcept { return m_Path; }

private:
    std::string m_Path;
};

// ffmpeg's MD5 of every decoded frame, with a decryption key when given.
std::string DecodedFrameDigests(std::string const& Path, std::string const& KeyHex = {});
// The sample payloads as ffmpeg reads them (decrypted when a key is given),
// one fragment at a time: ffmpeg 5.1 applies a fragment's encryption
// information to the samples of the fragment it read last, which breaks
// files with several fragments; each fragment with the initialisation
// segment on its own is read right.
std::string ReadPayloads(std::vector<std::uint8_t> const& File, std::string const& KeyHex = {});
std::string RunCommand(std::string const& Command);
} // namespace Mp4::Test
