// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "media/LibavAudioEncoder.h"
#include "media/PcmEncoderTransform.h"

namespace Application
{
// The encoder transform over LibavAudioEncoder, for one codec (AAC-LC, AC-3
// or E-AC-3). The input type is 16-bit PCM; the output type has the same
// rate and channels, the codec's subtype and its bitrate in
// MF_MT_AUDIO_AVG_BYTES_PER_SECOND. Once both are set, the output type
// carries MF_MT_AVG_BITRATE, and MF_MT_USER_DATA where the codec has a
// global header (AAC: the AudioSpecificConfig).
//
// A segment run gives the transform its window (SetOutputWindow) and runs
// its source over LibavAudioEncoder::InputStart to InputEnd of that window:
// the frames then lie on the one frame grid of the presentation and only
// those that start inside the window come out.
class LibavEncoderTransform final : public PcmEncoderTransform
{
public:
    static std::shared_ptr<LibavEncoderTransform> Create(LibavAudioCodec const& Codec);
    explicit LibavEncoderTransform(LibavAudioCodec const& Codec);

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void ConfigureCodec() override;
    void StartStream() override;
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded) override;
    void DrainCodec(std::vector<EncodedSample>& Encoded) override;

private:
    void CreateEncoder();

    LibavAudioCodec const& m_Codec;
    std::uint32_t m_Bitrate = 0;
    std::unique_ptr<LibavAudioEncoder> m_Encoder;
};
} // namespace Application
