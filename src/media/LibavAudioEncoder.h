// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "media/AudioSampleGrid.h"
#include "media/EncodedSample.h"
#include "media/LibavAudioCodec.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace Application
{
// One of libavcodec's native audio encoders (AAC-LC, AC-3, E-AC-3), for one
// run that makes the frames of a window of absolute sample indices
// [WindowStart, WindowEnd).
//
// Segments are made by separate runs yet played back to back by one decoder,
// so every run puts its frames on one global grid of the codec's frames and
// keeps only those that start inside its window: frames then tile the
// timeline without gaps, overlaps or priming silence at segment starts. To
// make the first kept frame as a continuous encoder would, a run starts the
// codec's pre-roll before it (InputStart) and, for the last one, goes on its
// post-roll after the window (InputEnd); the signal source can always make
// those samples. Where the pre-roll would begin before the presentation
// (sample 0), the run begins at 0 and the encoder hears silence before it.
class LibavAudioEncoder
{
public:
    static constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max();

    LibavAudioEncoder(LibavAudioCodec const& Codec, std::uint32_t SampleRate, std::uint32_t Channels, std::uint32_t Bitrate, std::int64_t WindowStart = 0,
                      std::int64_t WindowEnd = Unbounded);
    ~LibavAudioEncoder();
    LibavAudioEncoder(LibavAudioEncoder const&) = delete;
    LibavAudioEncoder& operator=(LibavAudioEncoder const&) = delete;

    // The samples a run for a window takes: from InputStart (never before 0,
    // where the presentation starts) to InputEnd.
    static std::int64_t InputStart(LibavAudioCodec const& Codec, std::int64_t WindowStart);
    static std::int64_t InputEnd(LibavAudioCodec const& Codec, std::int64_t WindowEnd);

    // The codec's global header (AAC: the AudioSpecificConfig); empty for
    // codecs whose frames carry their own (AC-3, E-AC-3).
    std::vector<std::uint8_t> const& Extradata() const noexcept { return m_Extradata; }

    // Takes Count interleaved 16-bit sample frames whose first has the
    // absolute index FirstSample; consecutive calls continue each other.
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output);
    // Encodes what is left and appends the last frames of the window.
    void Drain(std::vector<EncodedSample>& Output);

private:
    struct CodecDeleter
    {
        void operator()(AVCodecContext* Context) const noexcept;
        void operator()(AVFrame* Frame) const noexcept;
        void operator()(AVPacket* Packet) const noexcept;
    };

    void Begin(std::int64_t FirstSample);
    void Fill(std::int16_t const* Samples, std::uint32_t Count);
    void SendFrame(std::vector<EncodedSample>& Output);
    void ReceivePackets(std::vector<EncodedSample>& Output);

    LibavAudioCodec const& m_Codec;
    AudioSampleGrid m_Grid;
    std::uint32_t m_Channels;
    std::int64_t m_WindowStart;
    std::int64_t m_WindowEnd;
    std::unique_ptr<AVCodecContext, CodecDeleter> m_Context;
    std::unique_ptr<AVFrame, CodecDeleter> m_Frame;
    std::unique_ptr<AVPacket, CodecDeleter> m_Packet;
    std::vector<std::uint8_t> m_Extradata;
    // Absolute index of the next sample expected, and of the first sample
    // of the frame being filled; absent before the first call.
    std::int64_t m_NextSample = -1;
    std::int64_t m_FrameStart = -1;
    std::int64_t m_FirstFrame = 0;
    std::uint32_t m_FrameFill = 0;
    bool m_Drained = false;
};
} // namespace Application
