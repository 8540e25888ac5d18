// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>

#include "mf/StreamSinkT.h"
#include "mp4/Mp4MediaSink.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
// One stream of the MP4 sink (Mp4MediaSink::StreamSink). The codec classes
// derived from it provide the sample entry, the timescale, the codecs
// string and the packaging of a sample, which runs under the media sink's
// exclusive lock, so that fragments reach the byte stream in sample order.
class Mp4MediaSinkStreamSink : public MF::StreamSinkT<Mp4MediaSink>
{
public:
    using StreamSinkT::StreamSinkT;

    // Fills the track boxes of the initialisation segment (protected sample
    // entry when the settings are active) and returns the media timescale.
    std::uint32_t InitializeHeaderBox(std::uint32_t TrackId, TrakBox& Trak, TrexBox& Trex, ProtectionSettings const& Protection);
    virtual TrackKind GetTrackKind() const noexcept = 0;
    virtual std::string GetCodecsString() = 0;

protected:
    virtual void InitializeSampleEntry(StsdBox& Stsd) = 0;
    // What a codec adds to its track beyond the sample entry (Opus: the edit
    // list and the roll group); nothing by default.
    virtual void CompleteTrack(TrakBox&) { }
    virtual std::uint32_t GetTimescale() = 0;
    virtual void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) = 0;

    std::uint32_t m_TrackId = 1;

private:
    void WriteSample(std::shared_ptr<MF::Sample> const& Sample, Mp4MediaSink& Sink) final;
};
} // namespace Mp4
