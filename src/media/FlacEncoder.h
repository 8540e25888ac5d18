// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "media/AudioSampleGrid.h"
#include "media/EncodedSample.h"

#include <FLAC/stream_encoder.h>

namespace Application
{
// FLAC over libFLAC for one run: 16-bit samples in blocks of 4096, which
// 6.4-second segments hold exactly (75 blocks at 48000 Hz). A run that starts
// on the block grid numbers its frames by their place on that grid, so that
// the frames of consecutive segments make one well-formed stream.
class FlacEncoder
{
public:
    static constexpr std::uint32_t BlockSize = 4096;
    static constexpr std::uint32_t BitsPerSample = 16;
    // libFLAC's default: well over a hundred times real time already.
    static constexpr std::uint32_t CompressionLevel = 5;

    FlacEncoder(std::uint32_t SampleRate, std::uint32_t Channels);
    ~FlacEncoder();
    FlacEncoder(FlacEncoder const&) = delete;
    FlacEncoder& operator=(FlacEncoder const&) = delete;

    // "fLaC" and the metadata blocks, STREAMINFO first: the same for every run
    // (the stream length and checksum are left unknown).
    std::vector<std::uint8_t> const& StreamHeader() const noexcept { return m_StreamHeader; }

    // Takes Count interleaved sample frames whose first has the absolute index
    // FirstSample; consecutive calls continue each other.
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Output);
    // Encodes the last, possibly short, block.
    void Drain(std::vector<EncodedSample>& Output);

private:
    static FLAC__StreamEncoderWriteStatus Write(FLAC__StreamEncoder const* Encoder, FLAC__byte const* Data, std::size_t Size,
                                                std::uint32_t Samples, std::uint32_t Frame, void* Context);
    void Deliver(std::uint8_t const* Data, std::size_t Size, std::uint32_t Samples, std::uint32_t Frame);

    AudioSampleGrid m_Grid;
    std::uint32_t m_Channels;
    FLAC__StreamEncoder* m_Encoder = nullptr;
    std::vector<std::uint8_t> m_StreamHeader;
    std::vector<std::int32_t> m_Widened;
    std::vector<EncodedSample>* m_Output = nullptr;
    std::int64_t m_RunStart = -1;
    std::int64_t m_NextSample = -1;
    bool m_Drained = false;
};
} // namespace Application
