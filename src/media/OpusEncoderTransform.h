// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "media/OpusAudioEncoder.h"
#include "media/WindowedEncoderTransformT.h"

namespace Application
{
// The Opus encoder transform over OpusAudioEncoder. The input type is 16-bit
// PCM at 48000 Hz, one or two channels; the output type has the same rate
// and channels, subtype MFAudioFormat_Opus and its bitrate (6 to 510
// kbit/s) in MF_MT_AUDIO_AVG_BYTES_PER_SECOND; its global header is the
// "OpusHead" identification header, with the pre-skip. A segment run gives
// it its window and runs its source over OpusAudioEncoder::InputStart to
// InputEnd of that window.
class OpusEncoderTransform final : public WindowedEncoderTransformT<OpusAudioEncoder>
{
public:
    static std::shared_ptr<OpusEncoderTransform> Create();
    OpusEncoderTransform();

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    std::unique_ptr<OpusAudioEncoder> MakeEncoder(std::uint32_t Bitrate) override;
    std::vector<std::uint8_t> Header(OpusAudioEncoder const& Encoder) const override { return Encoder.IdentificationHeader(); }
};
} // namespace Application
