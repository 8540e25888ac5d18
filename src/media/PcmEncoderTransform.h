// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <limits>
#include <optional>
#include <vector>

#include "media/AudioSampleGrid.h"
#include "media/SynchronousTransform.h"
#include "mf/Guid.h"

namespace Application
{
// What the audio encoder transforms share: 16-bit PCM in, at the sample rate
// and channel count of the output type, whose subtype names the codec. Each
// input is handed to the codec with the absolute index of its first sample,
// and every frame the codec makes comes out as one sample.
//
// A segment run gives a transform whose codec keeps the frames of a window
// (all but FLAC) its window, and starts its source where the codec wants
// its input to begin for that window (SegmentWindow).
class PcmEncoderTransform : public SynchronousTransform
{
public:
    static constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max();

    // The window of presentation times whose frames come out; the whole
    // timeline without one. Before the run starts.
    void SetOutputWindow(std::int64_t Start, std::int64_t End);

protected:
    PcmEncoderTransform(MF::Guid const& Subtype, std::uint32_t MaximalRate, std::uint32_t MaximalChannels);

    void CheckOutputType(MF::MediaType const& Type) override;
    void CheckInputType(MF::MediaType const& Type) final;
    void Configure() final;
    void Process(MF::Sample& Input) final;
    void Drain() final;

    // Both types are set: make the codec, put its private data into the output type.
    virtual void ConfigureCodec() = 0;
    virtual void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded) = 0;
    virtual void DrainCodec(std::vector<EncodedSample>& Encoded) = 0;
    // The output sample of a frame: by default payload, times and clean point.
    virtual std::shared_ptr<MF::Sample> ToOutput(EncodedSample&& Encoded) { return ToSample(std::move(Encoded)); }

    AudioSampleGrid const& Grid() const { return *m_Grid; }
    // The window as absolute sample indices at the output rate, the end
    // Unbounded without one.
    std::int64_t WindowFirstSample() const;
    std::int64_t WindowEndSample() const;
    std::uint32_t Channels() const noexcept { return m_Channels; }

private:
    void EmitAll(std::vector<EncodedSample>& Encoded);

    MF::Guid const m_Subtype;
    std::uint32_t const m_MaximalRate;
    std::uint32_t const m_MaximalChannels;
    std::optional<AudioSampleGrid> m_Grid;
    std::uint32_t m_Channels = 0;
    std::int64_t m_WindowStart = 0;
    std::int64_t m_WindowEnd = Unbounded;
};
} // namespace Application
