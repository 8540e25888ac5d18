// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <optional>

#include "media/FlacEncoder.h"
#include "media/PcmEncoderTransform.h"

namespace Application
{
// The FLAC encoder transform over FlacEncoder. The input type is 16-bit
// PCM; the output type has the same rate and channels and subtype
// MFAudioFormat_FLAC. The first output of a run is the stream header
// ("fLaC" and the metadata blocks, also in the output type's
// MF_MT_USER_DATA) with MFSampleExtension_FlacSampleCount 0; then one output
// per frame with its sample count and MFSampleExtension_FlacSamplePosition,
// the place of its first sample counted from the run's first input sample.
class FlacEncoderTransform final : public PcmEncoderTransform
{
public:
    static std::shared_ptr<FlacEncoderTransform> Create();
    FlacEncoderTransform();

protected:
    void ConfigureCodec() override;
    void StartStream() override;
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded) override;
    void DrainCodec(std::vector<EncodedSample>& Encoded) override;
    std::shared_ptr<MF::Sample> ToOutput(EncodedSample&& Encoded) override;

private:
    std::unique_ptr<FlacEncoder> m_Encoder;
    // The absolute index of the run's first sample, once known.
    std::optional<std::int64_t> m_RunStart;
};
} // namespace Application
