// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "media/OpusAudioEncoder.h"
#include "media/PcmEncoderTransform.h"

namespace Application
{
// The Opus encoder transform over OpusAudioEncoder. The input type is 16-bit PCM
// at 48000 Hz, one or two channels; the output type has the same rate and
// channels, subtype MFAudioFormat_Opus and its bitrate in
// MF_MT_AUDIO_AVG_BYTES_PER_SECOND. Once both are set, the output type
// carries MF_MT_USER_DATA (the "OpusHead" identification header, with the
// pre-skip) and MF_MT_AVG_BITRATE. A segment run gives it its window and runs
// its source over OpusAudioEncoder::InputStart to InputEnd of that window.
class OpusEncoderTransform final : public PcmEncoderTransform
{
public:
    static std::shared_ptr<OpusEncoderTransform> Create();
    OpusEncoderTransform();

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void ConfigureCodec() override;
    void StartStream() override;
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded) override;
    void DrainCodec(std::vector<EncodedSample>& Encoded) override;

private:
    void CreateEncoder();

    std::uint32_t m_Bitrate = 0;
    std::unique_ptr<OpusAudioEncoder> m_Encoder;
};
} // namespace Application
