// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mf/IByteStream.h"
#include "mf/IClockStateSink.h"
#include "mf/IFinalizableMediaSink.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/ShutdownAwareT.h"
#include "mp4/Mp4FragmentBuilder.h"
#include "mp4/Mp4ProtectionSettings.h"
#include "mp4/Mp4SampleEncryptor.h"

namespace Mp4
{
class H264CodecRecord;
class HevcCodecRecord;

// A media sink that turns the encoded samples of one stream into fragmented
// MP4 on a byte stream: the initialisation segment (ftyp and moov) as the
// first write of a run, then for every sample a moof write and an mdat
// write. It is rateless: it asks for the next sample as soon as one is
// written, so a session renders a segment as fast as the encoder allows.
//
//   auto Sink = Mp4MediaSink::Create(ByteStream);
//   Sink->SetFirstSequenceNumber(76);            // before the clock starts
//   Sink->SetProtection(Settings);               // optional, before the stream is added
//   Sink->AddStreamSink(1, EncodedType);         // H.264, HEVC, AAC or FLAC
//   ... the session sets the clock, starts it and feeds the stream sink ...
class Mp4MediaSink final : public MF::IFinalizableMediaSink,
                           public MF::IClockStateSink,
                           public MF::MediaEventGeneratorT<Mp4MediaSink>,
                           public MF::ShutdownAwareT<Mp4MediaSink>,
                           public std::enable_shared_from_this<Mp4MediaSink>
{
public:
    class StreamSink;
    class VideoStreamSink;
    template <typename RecordT, VideoCodec CodecValue>
    class VideoStreamSinkT;
    using H264StreamSink = VideoStreamSinkT<H264CodecRecord, VideoCodec::H264>;
    using HevcStreamSink = VideoStreamSinkT<HevcCodecRecord, VideoCodec::Hevc>;
    class AudioStreamSink;
    class AacStreamSink;
    class FlacStreamSink;

    explicit Mp4MediaSink(std::shared_ptr<MF::IByteStream> ByteStream);
    ~Mp4MediaSink() override;
    static std::shared_ptr<Mp4MediaSink> Create(std::shared_ptr<MF::IByteStream> ByteStream);

    // The sequence number of the run's first moof (1 unless set).
    void SetFirstSequenceNumber(std::uint32_t Value);
    // Protection applies when the settings are active; otherwise the stream is clear.
    void SetProtection(ProtectionSettings Settings);
    // The codecs string of the first stream (empty before its codec state is known).
    std::string GetCodecsString();

    // IMediaSink
    std::uint32_t GetCharacteristics() override;
    std::shared_ptr<MF::IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) override;
    void RemoveStreamSink(std::uint32_t Identifier) override;
    std::size_t GetStreamSinkCount() override;
    std::shared_ptr<MF::IStreamSink> GetStreamSinkByIndex(std::size_t Index) override;
    std::shared_ptr<MF::IStreamSink> GetStreamSinkById(std::uint32_t Identifier) override;
    void SetPresentationClock(std::shared_ptr<MF::PresentationClock> const& Clock) override;
    std::shared_ptr<MF::PresentationClock> GetPresentationClock() override;
    void Shutdown() override;

    // IFinalizableMediaSink: every fragment is on the byte stream already,
    // so finalisation completes at once.
    void BeginFinalize(std::shared_ptr<MF::IAsyncCallback> Callback, std::shared_ptr<MF::Object> State) override;
    void EndFinalize(std::shared_ptr<MF::AsyncResult> const& Result) override;

    // IClockStateSink
    void OnClockStart(std::int64_t SystemTime, std::int64_t StartOffset) override;
    void OnClockStop(std::int64_t SystemTime) override;
    void OnClockSetRate(std::int64_t SystemTime, float Rate) override;

private:
    friend class StreamSink;
    friend class VideoStreamSink;
    friend class AudioStreamSink;
    friend class FlacStreamSink;

    struct StreamSinkData
    {
        std::shared_ptr<StreamSink> m_StreamSink;
        std::uint32_t m_Identifier = 0;
        MF::Guid m_MajorType;
    };

    // The stream sink of a supported subtype, else nullptr.
    std::shared_ptr<StreamSink> CreateStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type);
    std::vector<StreamSinkData>::iterator FindStreamSink(std::uint32_t Identifier);
    std::vector<std::shared_ptr<StreamSink>> GetStreamSinks();

    // For the stream sinks, under the exclusive lock while a sample is processed.
    bool IsInitializationSegmentDue() const noexcept { return m_InitializationSegmentDue; }
    void WriteInitializationSegment();
    std::uint32_t TakeSequenceNumber() noexcept { return m_NextSequenceNumber++; }
    void WriteFragment(FragmentBuilder::Fragment const& Fragment);
    SampleEncryptor const* GetEncryptor() const noexcept { return m_Encryptor ? &*m_Encryptor : nullptr; }
    bool IsFinalizing() const noexcept { return m_Finalizing; }
    void Write(std::vector<std::uint8_t> const& Bytes);

    std::shared_ptr<MF::IByteStream> m_ByteStream;
    std::uint32_t m_FirstSequenceNumber = 1;
    ProtectionSettings m_Protection;
    std::optional<SampleEncryptor> m_Encryptor;
    std::vector<StreamSinkData> m_StreamSinkDataVector;
    std::shared_ptr<MF::PresentationClock> m_PresentationClock;
    bool m_Finalizing = false;
    bool m_InitializationSegmentDue = true;
    std::uint32_t m_NextSequenceNumber = 1;
};
} // namespace Mp4
