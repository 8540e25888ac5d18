// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4MediaSinkStreamSink.h"
#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
// What audio streams share: one fragment per encoded frame on the
// sample-rate timescale, the whole frame encrypted when protected.
class Mp4MediaSink::AudioStreamSink : public Mp4MediaSink::StreamSink
{
public:
    using StreamSink::StreamSink;

    TrackKind GetTrackKind() const noexcept final { return TrackKind::Audio; }

protected:
    AudioFormat GetAudioFormat() const;
    std::uint32_t GetTimescale() final { return GetMediaType()->GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND); }
    // Time and Duration in 100 ns units, Time on the media timeline (the
    // fragment carries it less the sink's time origin). RollGroup: the
    // sample belongs to the roll group of the track's sample table.
    void WriteFragment(Mp4MediaSink& Sink, std::int64_t Time, std::int64_t Duration, bool Sync, std::span<std::uint8_t> Payload, bool RollGroup = false);
};
} // namespace Mp4
