// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/PcmEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
constexpr std::uint32_t MinimalRate = 8000;
constexpr std::uint32_t InputBitsPerSample = 16;
} // namespace

PcmEncoderTransform::PcmEncoderTransform(MF::Guid const& Subtype, std::uint32_t MaximalRate, std::uint32_t MaximalChannels)
    : m_Subtype(Subtype), m_MaximalRate(MaximalRate), m_MaximalChannels(MaximalChannels)
{
}

void PcmEncoderTransform::SetOutputWindow(std::int64_t Start, std::int64_t End)
{
    CHECK_ARGUMENT(Start >= 0 && Start < End);
    m_WindowStart = Start;
    m_WindowEnd = End;
}

std::int64_t PcmEncoderTransform::WindowFirstSample() const
{
    return Grid().SampleIndex(m_WindowStart, true);
}

std::int64_t PcmEncoderTransform::WindowEndSample() const
{
    return m_WindowEnd == Unbounded ? Unbounded : Grid().SampleIndex(m_WindowEnd, true);
}

void PcmEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Audio && Type.GetSubtype() == m_Subtype, MF_E_INVALIDMEDIATYPE);
    std::uint32_t const Rate = Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND);
    std::uint32_t const Channels = Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    CHECK_CONDITION(Rate >= MinimalRate && Rate <= m_MaximalRate && Channels >= 1 && Channels <= m_MaximalChannels, MF_E_INVALIDMEDIATYPE);
}

void PcmEncoderTransform::CheckInputType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Audio && Type.GetSubtype() == MF::MFAudioFormat_PCM, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_AUDIO_BITS_PER_SAMPLE) == InputBitsPerSample, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) == OutputType().GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) &&
                        Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS) == OutputType().GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS),
                    MF_E_INVALIDMEDIATYPE);
}

void PcmEncoderTransform::Configure()
{
    m_Grid.emplace(OutputType().GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND));
    m_Channels = OutputType().GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    ConfigureCodec();
}

void PcmEncoderTransform::Process(MF::Sample& Input)
{
    auto const Buffer = Input.ConvertToContiguousBuffer();
    CHECK_POINTER(Buffer);
    std::size_t const FrameSize = sizeof(std::int16_t) * m_Channels;
    CHECK_CONDITION(Buffer->GetCurrentLength() % FrameSize == 0, MF_E_INVALIDMEDIATYPE);
    auto const Count = static_cast<std::uint32_t>(Buffer->GetCurrentLength() / FrameSize);
    std::vector<EncodedSample> Encoded;
    // Media buffers are allocated with new[], aligned for any sample type.
    Encode(reinterpret_cast<std::int16_t const*>(Buffer->GetData()), Count, m_Grid->SampleIndex(Input.GetSampleTime(), true), Encoded);
    EmitAll(Encoded);
}

void PcmEncoderTransform::Drain()
{
    std::vector<EncodedSample> Encoded;
    DrainCodec(Encoded);
    EmitAll(Encoded);
}

void PcmEncoderTransform::EmitAll(std::vector<EncodedSample>& Encoded)
{
    for(auto& Frame : Encoded)
        Emit(ToOutput(std::move(Frame)));
}
} // namespace Application
