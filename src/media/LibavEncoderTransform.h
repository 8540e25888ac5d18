// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "media/LibavAudioEncoder.h"
#include "media/WindowedEncoderTransformT.h"

namespace Application
{
// The encoder transform over LibavAudioEncoder, for one codec (AAC-LC, AC-3
// or E-AC-3). The input type is 16-bit PCM; the output type has the same
// rate and channels, the codec's subtype and its bitrate (8 to 512 kbit/s)
// in MF_MT_AUDIO_AVG_BYTES_PER_SECOND; AAC's global header is its
// AudioSpecificConfig.
//
// A segment run gives the transform its window (SetOutputWindow) and runs
// its source over LibavAudioEncoder::InputStart to InputEnd of that window:
// the frames then lie on the one frame grid of the presentation and only
// those that start inside the window come out.
class LibavEncoderTransform final : public WindowedEncoderTransformT<LibavAudioEncoder>
{
public:
    static std::shared_ptr<LibavEncoderTransform> Create(LibavAudioCodec const& Codec);
    explicit LibavEncoderTransform(LibavAudioCodec const& Codec);

protected:
    std::unique_ptr<LibavAudioEncoder> MakeEncoder(std::uint32_t Bitrate) override;
    std::vector<std::uint8_t> Header(LibavAudioEncoder const& Encoder) const override { return Encoder.Extradata(); }

private:
    LibavAudioCodec const& m_Codec;
};
} // namespace Application
