// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "media/AudioSampleGrid.h"
#include "media/EncodedSample.h"

// libopus's multistream encoder state, in the global namespace.
struct OpusMSEncoder;

namespace Application
{
// Opus over libopus for one run that makes the frames of a window of
// absolute sample indices [WindowStart, WindowEnd), at 48000 Hz.
//
// Frame f is the packet libopus makes of the input samples [f × 960,
// (f + 1) × 960) and is dated f × 960: a decoder gives those samples PreSkip
// samples later, which the track's edit list takes off once, at the start
// of the presentation (segments are played back to back by one decoder). As
// with AAC, a run puts its frames on that one grid and keeps those that begin
// inside its window, and it starts PreRollFrames (80 ms) early so that the
// first frame it keeps comes out as a continuous encoder would make it.
//
// Mono and stereo are one stream (channel mapping family 0); 5.1 is the
// Vorbis layout of family 1, several streams in each packet, its channels
// taken in the order SurroundSpeakers gives and handed over in Vorbis order.
class OpusAudioEncoder
{
public:
    static constexpr std::uint32_t SampleRate = 48000;
    static constexpr std::uint32_t FrameLength = 960;
    static constexpr std::int64_t PreRollFrames = 4;
    static constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max();

    OpusAudioEncoder(std::uint32_t Channels, std::uint32_t Bitrate, std::int64_t WindowStart = 0, std::int64_t WindowEnd = Unbounded);
    ~OpusAudioEncoder();
    OpusAudioEncoder(OpusAudioEncoder const&) = delete;
    OpusAudioEncoder& operator=(OpusAudioEncoder const&) = delete;

    // The samples a run for a window takes, from 0 at the earliest.
    static std::int64_t InputStart(std::int64_t WindowStart);
    static std::int64_t InputEnd(std::int64_t WindowEnd);

    // The samples a decoder gives before the first input sample (the
    // encoder's look-ahead): the same for every run.
    std::uint32_t PreSkip() const noexcept { return m_PreSkip; }
    // The identification header of an Opus stream (RFC 7845 5.1, "OpusHead"):
    // channels, pre-skip, input rate, no gain, the channel mapping family
    // and, for family 1, the streams and the mapping of channels to them.
    std::vector<std::uint8_t> IdentificationHeader() const;

    // Takes Count interleaved 16-bit sample frames whose first has the
    // absolute index FirstSample; consecutive calls continue each other.
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output);
    // Encodes the last frame, completed with silence.
    void Drain(std::vector<EncodedSample>& Output);

private:
    struct EncoderDeleter
    {
        void operator()(::OpusMSEncoder* Encoder) const noexcept;
    };

    void EncodeFrame(std::vector<EncodedSample>& Output);

    AudioSampleGrid m_Grid;
    std::uint32_t m_Channels;
    std::int64_t m_WindowStart;
    std::int64_t m_WindowEnd;
    // Reorders the frame's 5.1 samples from SurroundSpeakers' order to Vorbis's.
    void ToVorbisOrder();

    std::unique_ptr<::OpusMSEncoder, EncoderDeleter> m_Encoder;
    int m_MappingFamily = 0;
    int m_Streams = 0;
    int m_CoupledStreams = 0;
    std::vector<std::uint8_t> m_Mapping;
    std::uint32_t m_PreSkip = 0;
    std::vector<std::int16_t> m_Frame;
    std::vector<std::uint8_t> m_Packet;
    std::int64_t m_NextSample = -1;
    std::int64_t m_FrameStart = -1;
    std::uint32_t m_FrameFill = 0;
    bool m_Drained = false;
};
} // namespace Application
