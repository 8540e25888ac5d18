#pragma once

#include <memory>
#include <optional>

#include "media/FlacEncoder.h"
#include "media/SynchronousTransform.h"

// The FLAC encoder transform over FlacEncoder. The input type is 16-bit
// PCM; the output type has the same rate and channels and subtype
// MFAudioFormat_FLAC. The first outputs of a run are the stream header
// ("fLaC" and the metadata blocks, also in the output type's
// MF_MT_USER_DATA) with MFSampleExtension_FlacSampleCount 0; then one output
// per frame with its sample count and MFSampleExtension_FlacSamplePosition,
// the place of its first sample counted from the run's first input sample.
class FlacEncoderTransform final : public SynchronousTransform
{
public:
    static std::shared_ptr<FlacEncoderTransform> Create();

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void CheckInputType(MF::MediaType const& Type) override;
    void Configure() override;
    void StartStream() override;
    void Process(MF::Sample& Input) override;
    void Drain() override;

private:
    void EmitAll(std::vector<EncodedSample>& Encoded);

    std::optional<AudioSampleGrid> m_Grid;
    std::uint32_t m_Channels = 0;
    std::unique_ptr<FlacEncoder> m_Encoder;
    std::optional<std::int64_t> m_RunStart;
    bool m_HeaderEmitted = false;
};
