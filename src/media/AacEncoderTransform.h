#pragma once

#include <limits>
#include <memory>
#include <optional>

#include "media/AacEncoder.h"
#include "media/SynchronousTransform.h"

// The AAC-LC encoder transform over AacEncoder. The input type is 16-bit
// PCM; the output type has the same rate and channels, subtype
// MFAudioFormat_AAC and its bitrate in MF_MT_AUDIO_AVG_BYTES_PER_SECOND.
// Once both are set, the output type carries MF_MT_USER_DATA (the 12 bytes
// of wave-format extension fields, then the AudioSpecificConfig) and
// MF_MT_AVG_BITRATE.
//
// A segment run gives the transform its window (SetOutputWindow) and starts
// its source at InputStartTime and ends it at InputEndTime of that window:
// the frames then lie on the one 1024-sample grid of the presentation and
// only those that start inside the window come out.
class AacEncoderTransform final : public SynchronousTransform
{
public:
    static constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max();

    static std::shared_ptr<AacEncoderTransform> Create();

    // Times in 100-ns units at the given sample rate.
    static std::int64_t InputStartTime(std::int64_t WindowStart, std::uint32_t SampleRate);
    static std::int64_t InputEndTime(std::int64_t WindowEnd, std::uint32_t SampleRate);
    // The window of presentation times whose frames come out; the whole
    // timeline without one.
    void SetOutputWindow(std::int64_t Start, std::int64_t End);

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void CheckInputType(MF::MediaType const& Type) override;
    void Configure() override;
    void StartStream() override;
    void Process(MF::Sample& Input) override;
    void Drain() override;

private:
    void CreateEncoder();
    void EmitAll(std::vector<EncodedSample>& Encoded);

    std::int64_t m_WindowStart = 0;
    std::int64_t m_WindowEnd = Unbounded;
    std::optional<AudioSampleGrid> m_Grid;
    std::uint32_t m_Channels = 0;
    std::uint32_t m_Bitrate = 0;
    std::unique_ptr<AacEncoder> m_Encoder;
};
