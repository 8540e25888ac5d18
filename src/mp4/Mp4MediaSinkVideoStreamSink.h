// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4FragmentTiming.h"
#include "mp4/Mp4MediaSinkStreamSink.h"
#include "mp4/Mp4StreamFormat.h"

namespace Mp4
{
// What video streams share: each sample becomes a fragment on the
// frame-rate timescale, and the run's first sample describes the track.
class Mp4MediaSink::VideoStreamSink : public Mp4MediaSink::StreamSink
{
public:
    VideoStreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type, VideoCodec Codec);

    TrackKind GetTrackKind() const noexcept final { return TrackKind::Video; }

protected:
    // The sample as the fragment carries it. With Describe (the run's first
    // sample) the codec configuration is kept from it first.
    virtual std::vector<std::uint8_t> PrepareSample(std::span<std::uint8_t const> Payload, bool Describe) = 0;
    // The tiles of a prepared sample, where the codec's encryption protects
    // tiles (AV1); asked of every sample of an encrypted run, in order.
    virtual std::vector<ProtectedRange> FindTiles(std::span<std::uint8_t const> /*Prepared*/) { return {}; }
    VideoFormat GetVideoFormat() const;
    // Known from the run's first sample, which comes before the initialisation segment.
    std::uint32_t GetTimescale() final;
    void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) final;
    void OnStart() override { m_Timing.reset(); }

private:
    VideoCodec const m_Codec;
    // Set up by the run's first sample.
    std::optional<VideoFragmentTiming> m_Timing;
};
} // namespace Mp4
