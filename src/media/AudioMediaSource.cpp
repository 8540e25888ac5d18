// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/AudioMediaSource.h"

#include <algorithm>

#include "base/MulDiv.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
std::shared_ptr<AudioMediaSource> AudioMediaSource::Create()
{
    return std::make_shared<AudioMediaSource>();
}

void AudioMediaSource::SetMarkerTone(bool Value)
{
    ASSERT(!HasWorkQueue());
    SourceAttributes()->SetUINT32(MarkerTone, Value ? 1 : 0);
}

void AudioMediaSource::SetAdvertTone(std::uint32_t Number)
{
    ASSERT(!HasWorkQueue());
    SourceAttributes()->SetUINT32(AdvertTone, Number);
}

void AudioMediaSource::SetVoice(ToneBurstSignal::Voice Value)
{
    ASSERT(!HasWorkQueue());
    SourceAttributes()->SetObject(LanguageVoice, std::make_shared<VoiceObject>(std::move(Value)));
}

std::shared_ptr<SyntheticMediaStream> AudioMediaSource::CreateStream(std::shared_ptr<MF::StreamDescriptor> Descriptor)
{
    return std::make_shared<Stream>(weak_from_this(), std::move(Descriptor), SourceAttributes());
}

void AudioMediaSource::Stream::OnActivate(MF::MediaType const& Type)
{
    CHECK_LINE(Type.GetMajorType() == MF::MFMediaType_Audio);
    std::uint32_t const Rate = Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND);
    m_Channels = Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    std::uint32_t const Bits = Type.GetUINT32(MF::MF_MT_AUDIO_BITS_PER_SAMPLE);
    CHECK_CONDITION(Rate > 0 && Rate <= 384000 && m_Channels > 0 && m_Channels <= 8, MF_E_INVALIDMEDIATYPE);
    if(Type.GetSubtype() == MF::MFAudioFormat_Float)
    {
        CHECK_CONDITION(Bits == 32, MF_E_INVALIDMEDIATYPE);
        m_Format = ToneBurstSignal::SampleFormat::Float32;
    }
    else
    {
        CHECK_CONDITION(Type.GetSubtype() == MF::MFAudioFormat_PCM, MF_E_INVALIDMEDIATYPE);
        CHECK_CONDITION(Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32, MF_E_INVALIDMEDIATYPE);
        m_Format = Bits == 8    ? ToneBurstSignal::SampleFormat::Pcm8
                   : Bits == 16 ? ToneBurstSignal::SampleFormat::Pcm16
                   : Bits == 24 ? ToneBurstSignal::SampleFormat::Pcm24
                                : ToneBurstSignal::SampleFormat::Pcm32;
    }
    m_Grid.emplace(Rate);
    m_Signal.emplace(Rate, m_SourceAttributes->GetUINT32(MarkerTone, 0) != 0, m_SourceAttributes->GetUINT32(AdvertTone, 0));
    if(m_SourceAttributes->HasItem(LanguageVoice))
        m_Signal->SetVoice(m_SourceAttributes->GetObject<VoiceObject>(LanguageVoice)->Voice);
    m_SamplesPerBuffer = static_cast<std::uint32_t>(MulDivFloor(BufferDuration, Rate, TimeUnitsPerSecond));
    CHECK_LINE(m_SamplesPerBuffer > 0);
}

void AudioMediaSource::Stream::OnStart(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration)
{
    m_EndLimit = Duration ? std::optional(m_Grid->SampleIndex(*Duration, true)) : std::nullopt;
    if(Position)
        m_NextSampleIndex = m_Grid->SampleIndex(*Position, true);
}

void AudioMediaSource::Stream::PrepareOperation(ComposeSampleOperation& Operation)
{
    std::int64_t const First = m_NextSampleIndex;
    std::int64_t Count = m_SamplesPerBuffer;
    if(m_EndLimit && First + Count > *m_EndLimit)
        Count = std::max<std::int64_t>(0, *m_EndLimit - First);
    m_NextSampleIndex = First + Count;
    Operation.m_SampleIndex = First;
    Operation.m_SampleCount = static_cast<std::uint32_t>(Count);
    Operation.m_SampleTime = m_Grid->SampleTime(First);
    Operation.m_SampleDuration = m_Grid->SampleTime(First + Count) - Operation.m_SampleTime;
}

void AudioMediaSource::Stream::Compose(ComposeSampleOperation& Operation)
{
    if(m_EndLimit && Operation.m_SampleCount == 0)
    {
        Operation.m_EndOfStream = true;
        return;
    }
    std::size_t const Size = static_cast<std::size_t>(ToneBurstSignal::BytesPerSample(m_Format)) * m_Channels * Operation.m_SampleCount;
    auto const Buffer = MF::MediaBuffer::Create(Size);
    m_Signal->Write(Operation.m_SampleIndex, Operation.m_SampleCount, m_Channels, m_Format, {Buffer->GetData(), Size});
    Buffer->SetCurrentLength(Size);
    Operation.m_Sample = MF::Sample::Create();
    SetSampleAttributes(*Operation.m_Sample, Operation);
    Operation.m_Sample->AddBuffer(Buffer);
}
} // namespace Application
