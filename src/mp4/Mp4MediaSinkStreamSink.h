// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>

#include "mf/IStreamSink.h"
#include "mf/MediaTypeHandler.h"
#include "mp4/Mp4MediaSink.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
// One stream of the MP4 sink. It owns its event queue and state; sample
// processing runs under the media sink's exclusive lock, so that fragments
// reach the byte stream in sample order. The codec classes derived from it
// provide the sample entry, the timescale, the codecs string and the
// packaging of a sample.
class Mp4MediaSink::StreamSink : public MF::IStreamSink,
                                 public MF::MediaEventGeneratorT<Mp4MediaSink::StreamSink>,
                                 public MF::ShutdownAwareT<Mp4MediaSink::StreamSink>,
                                 public std::enable_shared_from_this<Mp4MediaSink::StreamSink>
{
public:
    StreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type);
    ~StreamSink() override;

    // IStreamSink
    std::shared_ptr<MF::IMediaSink> GetMediaSink() override;
    std::uint32_t GetIdentifier() override { return m_Identifier; }
    std::shared_ptr<MF::IMediaTypeHandler> GetMediaTypeHandler() override { return m_MediaTypeHandler; }
    void ProcessSample(std::shared_ptr<MF::Sample> const& Sample) override;
    void PlaceMarker(MF::MFSTREAMSINK_MARKER_TYPE Type, MF::PropVariant const& MarkerValue, MF::PropVariant const& ContextValue) override;
    void Flush() override;

    // Life cycle, driven by the media sink.
    void Shutdown();
    void MarkRemoved() noexcept { m_Removed = true; }
    void Start(std::int64_t StartOffset);
    void Stop() { InternalQueueEvent(MF::MEStreamSinkStopped); }

    // Fills the track boxes of the initialisation segment (protected sample
    // entry when the settings are active) and returns the media timescale.
    std::uint32_t InitializeHeaderBox(std::uint32_t TrackId, TrakBox& Trak, TrexBox& Trex, ProtectionSettings const& Protection);
    virtual TrackKind GetTrackKind() const noexcept = 0;
    virtual std::string GetCodecsString() = 0;

protected:
    virtual void InitializeSampleEntry(StsdBox& Stsd) = 0;
    virtual std::uint32_t GetTimescale() = 0;
    virtual void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) = 0;
    // A new run begins: the codec forgets what the previous one left.
    virtual void OnStart() { }

    std::shared_ptr<MF::MediaType> GetMediaType() const { return m_MediaTypeHandler->GetCurrentMediaType(); }

    std::uint32_t m_TrackId = 1;
    std::int64_t m_StartOffset = 0;

private:
    std::shared_ptr<Mp4MediaSink> LockMediaSink() const;

    std::weak_ptr<Mp4MediaSink> const m_MediaSink;
    std::uint32_t const m_Identifier;
    std::shared_ptr<MF::MediaTypeHandler> const m_MediaTypeHandler;
    bool m_Removed = false;
    std::optional<std::int64_t> m_TickTime;
};
} // namespace Mp4
