// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "media/AudioSampleGrid.h"
#include "media/SyntheticMediaSource.h"
#include "media/SyntheticMediaStream.h"
#include "media/ToneBurstSignal.h"
#include "mf/Object.h"

namespace Application
{
// The synthetic audio source: the tone-burst signal in 10 ms buffers on the
// grid of absolute sample indices, from the first sample at or after the
// start position up to the one before the duration (the last buffer is cut
// there). The type is PCM (8, 16, 24 or 32 bits) or 32-bit float.
class AudioMediaSource final : public SyntheticMediaSource
{
public:
    class Stream;
    struct VoiceObject;

    // A source attribute (UINT32, 0 or 1): the signal carries the marker at
    // every whole second (ToneBurstSignal).
    static constexpr MF::AttributeKey MarkerTone{"AudioMediaSource_MarkerTone"};
    // A source attribute (UINT32): the number of the ad whose tone the
    // signal carries (ToneBurstSignal); absent or 0, the programme's.
    static constexpr MF::AttributeKey AdvertTone{"AudioMediaSource_AdvertTone"};

    // A source attribute (object): the voice of a language rendition
    // (ToneBurstSignal::Voice); absent, the programme's tone.
    static constexpr MF::AttributeKey LanguageVoice{"AudioMediaSource_LanguageVoice"};

    static std::shared_ptr<AudioMediaSource> Create();

    // Owner setting, before the first Start.
    void SetMarkerTone(bool Value);
    void SetAdvertTone(std::uint32_t Number);
    void SetVoice(ToneBurstSignal::Voice Value);

protected:
    std::shared_ptr<SyntheticMediaStream> CreateStream(std::shared_ptr<MF::StreamDescriptor> Descriptor) override;
};

// The voice as an attribute value: it lives as long as the source.
struct AudioMediaSource::VoiceObject final : MF::Object
{
    explicit VoiceObject(ToneBurstSignal::Voice Value) : Voice(std::move(Value)) {}
    ToneBurstSignal::Voice const Voice;
};

class AudioMediaSource::Stream final : public SyntheticMediaStream
{
public:
    // 10 ms of samples a buffer.
    static constexpr std::int64_t BufferDuration = 100000;

    Stream(std::weak_ptr<SyntheticMediaSource> Source, std::shared_ptr<MF::StreamDescriptor> Descriptor, std::shared_ptr<MF::Attributes const> SourceAttributes)
        : SyntheticMediaStream(std::move(Source), std::move(Descriptor)), m_SourceAttributes(std::move(SourceAttributes))
    {
    }

protected:
    void OnActivate(MF::MediaType const& Type) override;
    void OnStart(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration) override;
    void PrepareOperation(ComposeSampleOperation& Operation) override;
    void Compose(ComposeSampleOperation& Operation) override;

private:
    std::shared_ptr<MF::Attributes const> const m_SourceAttributes;
    std::optional<AudioSampleGrid> m_Grid;
    std::optional<ToneBurstSignal> m_Signal;
    ToneBurstSignal::SampleFormat m_Format = ToneBurstSignal::SampleFormat::Pcm16;
    std::uint32_t m_Channels = 0;
    std::uint32_t m_SamplesPerBuffer = 0;
    std::optional<std::int64_t> m_EndLimit;
    std::int64_t m_NextSampleIndex = 0;
};
} // namespace Application
