// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <limits>
#include <memory>

#include "media/AacEncoder.h"
#include "media/PcmEncoderTransform.h"

namespace Application
{
// The AAC-LC encoder transform over AacEncoder. The input type is 16-bit
// PCM; the output type has the same rate and channels, subtype
// MFAudioFormat_AAC and its bitrate in MF_MT_AUDIO_AVG_BYTES_PER_SECOND.
// Once both are set, the output type carries MF_MT_USER_DATA (the
// AudioSpecificConfig) and MF_MT_AVG_BITRATE.
//
// A segment run gives the transform its window (SetOutputWindow) and starts
// its source at InputStartTime and ends it at InputEndTime of that window:
// the frames then lie on the one 1024-sample grid of the presentation and
// only those that start inside the window come out.
class AacEncoderTransform final : public PcmEncoderTransform
{
public:
    static constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max();

    static std::shared_ptr<AacEncoderTransform> Create();
    AacEncoderTransform();

    // Times in 100-ns units at the given sample rate.
    static std::int64_t InputStartTime(std::int64_t WindowStart, std::uint32_t SampleRate);
    static std::int64_t InputEndTime(std::int64_t WindowEnd, std::uint32_t SampleRate);
    // The window of presentation times whose frames come out; the whole
    // timeline without one. Before the run starts.
    void SetOutputWindow(std::int64_t Start, std::int64_t End);

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void ConfigureCodec() override;
    void StartStream() override;
    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded) override;
    void DrainCodec(std::vector<EncodedSample>& Encoded) override;

private:
    void CreateEncoder();

    std::int64_t m_WindowStart = 0;
    std::int64_t m_WindowEnd = Unbounded;
    std::uint32_t m_Bitrate = 0;
    std::unique_ptr<AacEncoder> m_Encoder;
};
} // namespace Application
