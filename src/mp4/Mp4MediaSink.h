// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mf/IByteStream.h"
#include "mf/MediaSinkT.h"
#include "mp4/Mp4FragmentBuilder.h"
#include "mp4/Mp4ProtectionSettings.h"
#include "mp4/Mp4SampleEncryptor.h"

namespace Mp4
{
class H264CodecRecord;
class HevcCodecRecord;
class Ac3CodecRecord;
class Ec3CodecRecord;
class Mp4MediaSinkStreamSink;

// A media sink that turns the encoded samples of one stream into fragmented
// MP4 on a byte stream: the initialisation segment (ftyp and moov) as the
// first write of a run, then for every sample a moof write and an mdat
// write. It is rateless: it asks for the next sample as soon as one is
// written, so a session renders a segment as fast as the encoder allows.
//
//   auto Sink = Mp4MediaSink::Create(ByteStream);
//   Sink->SetFirstSequenceNumber(76);            // before the clock starts
//   Sink->SetProtection(Settings);               // optional, before the stream is added
//   Sink->SetTimeOrigin(60'000'000);             // optional: the fragments' timeline starts at 6 s
//   Sink->AddStreamSink(1, EncodedType);         // H.264, HEVC, AV1, VP9, AAC, FLAC, Opus, AC-3 or E-AC-3
//   ... the session sets the clock, starts it and feeds the stream sink ...
class Mp4MediaSink final : public MF::MediaSinkT<Mp4MediaSink>
{
public:
    using StreamSink = Mp4MediaSinkStreamSink;
    class VideoStreamSink;
    template <typename RecordT, VideoCodec CodecValue>
    class VideoStreamSinkT;
    using H264StreamSink = VideoStreamSinkT<H264CodecRecord, VideoCodec::H264>;
    using HevcStreamSink = VideoStreamSinkT<HevcCodecRecord, VideoCodec::Hevc>;
    class Av1StreamSink;
    class Vp9StreamSink;
    class AudioStreamSink;
    class AacStreamSink;
    class FlacStreamSink;
    class OpusStreamSink;
    template <typename RecordT>
    class SyncFrameStreamSinkT;
    using Ac3StreamSink = SyncFrameStreamSinkT<Ac3CodecRecord>;
    using Ec3StreamSink = SyncFrameStreamSinkT<Ec3CodecRecord>;

    explicit Mp4MediaSink(std::shared_ptr<MF::IByteStream> ByteStream);
    ~Mp4MediaSink() override;
    static std::shared_ptr<Mp4MediaSink> Create(std::shared_ptr<MF::IByteStream> ByteStream);

    // The sequence number of the run's first moof (1 unless set).
    void SetFirstSequenceNumber(std::uint32_t Value);
    // Protection applies when the settings are active; otherwise the stream is
    // clear. A default key ID, when given, has 16 bytes.
    void SetProtection(ProtectionSettings Settings);
    // The media time (100-ns units, not negative) the fragments' timeline
    // starts from: every sample's decode and presentation time in the
    // fragments is its time less Origin (0 unless set), before it is scaled
    // to the track's timescale. A timeline that restarts there lets a
    // player begin a new period at Origin; the samples themselves are as
    // they were. A sample that presents before Origin fails the run.
    void SetTimeOrigin(std::int64_t Origin);
    // The codecs string of the first stream (empty before its codec state is known).
    std::string GetCodecsString();

    // IMediaSink
    std::uint32_t GetCharacteristics() override;
    std::shared_ptr<MF::IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) override;

private:
    friend class VideoStreamSink;
    friend class AudioStreamSink;
    friend class FlacStreamSink;

    // A run starts with the initialisation segment and the first sequence number.
    void OnStart() override;
    void OnShutdown() override;

    // The stream sink of a supported subtype, else nullptr.
    std::shared_ptr<StreamSink> CreateStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type);
    static StreamSink& GetStreamSink(MF::StreamSinkT<Mp4MediaSink>& Stream);

    // For the stream sinks, under the exclusive lock while a sample is processed.
    bool IsInitializationSegmentDue() const noexcept { return m_InitializationSegmentDue; }
    void WriteInitializationSegment();
    std::uint32_t TakeSequenceNumber() noexcept { return m_NextSequenceNumber++; }
    std::int64_t GetTimeOrigin() const noexcept { return m_TimeOrigin; }
    void WriteFragment(FragmentBuilder::Fragment Fragment);
    SampleEncryptor const* GetEncryptor() const noexcept { return m_Encryptor ? &*m_Encryptor : nullptr; }
    void Write(std::vector<std::uint8_t> Bytes);

    std::shared_ptr<MF::IByteStream> m_ByteStream;
    std::uint32_t m_FirstSequenceNumber = 1;
    std::int64_t m_TimeOrigin = 0;
    ProtectionSettings m_Protection;
    std::optional<SampleEncryptor> m_Encryptor;
    bool m_InitializationSegmentDue = true;
    std::uint32_t m_NextSequenceNumber = 1;
};
} // namespace Mp4
