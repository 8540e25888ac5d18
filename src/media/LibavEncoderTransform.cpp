// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/AacEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
constexpr std::uint32_t MaximalRate = 96000;
constexpr std::uint32_t MaximalChannels = 2;
// 8 to 512 kbit/s.
constexpr std::uint32_t MinimalBytesPerSecond = 1000;
constexpr std::uint32_t MaximalBytesPerSecond = 64000;
} // namespace

std::shared_ptr<AacEncoderTransform> AacEncoderTransform::Create()
{
    return std::make_shared<AacEncoderTransform>();
}

AacEncoderTransform::AacEncoderTransform() : PcmEncoderTransform(MF::MFAudioFormat_AAC, MaximalRate, MaximalChannels)
{
}

std::int64_t AacEncoderTransform::InputStartTime(std::int64_t WindowStart, std::uint32_t SampleRate)
{
    AudioSampleGrid const Grid(SampleRate);
    return Grid.SampleTime(AacEncoder::InputStart(Grid.SampleIndex(WindowStart, true)));
}

std::int64_t AacEncoderTransform::InputEndTime(std::int64_t WindowEnd, std::uint32_t SampleRate)
{
    if(WindowEnd == Unbounded)
        return Unbounded;
    AudioSampleGrid const Grid(SampleRate);
    return Grid.SampleTime(AacEncoder::InputEnd(Grid.SampleIndex(WindowEnd, true)));
}

void AacEncoderTransform::SetOutputWindow(std::int64_t Start, std::int64_t End)
{
    CHECK_ARGUMENT(Start >= 0 && Start < End);
    m_WindowStart = Start;
    m_WindowEnd = End;
}

void AacEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    PcmEncoderTransform::CheckOutputType(Type);
    std::uint32_t const BytesPerSecond = Type.GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND);
    CHECK_CONDITION(BytesPerSecond >= MinimalBytesPerSecond && BytesPerSecond <= MaximalBytesPerSecond, MF_E_INVALIDMEDIATYPE);
}

void AacEncoderTransform::ConfigureCodec()
{
    m_Bitrate = OutputType().GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND) * 8;
    CreateEncoder();
    OutputType().SetBlob(MF::MF_MT_USER_DATA, m_Encoder->AudioSpecificConfig());
    OutputType().SetUINT32(MF::MF_MT_AVG_BITRATE, m_Bitrate);
}

void AacEncoderTransform::CreateEncoder()
{
    std::int64_t const First = Grid().SampleIndex(m_WindowStart, true);
    std::int64_t const End = m_WindowEnd == Unbounded ? AacEncoder::Unbounded : Grid().SampleIndex(m_WindowEnd, true);
    m_Encoder = std::make_unique<AacEncoder>(Grid().SampleRate(), Channels(), m_Bitrate, First, End);
}

void AacEncoderTransform::StartStream()
{
    // Each run has an encoder of its own (the window may also have been set
    // after the types).
    CreateEncoder();
}

void AacEncoderTransform::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded)
{
    if(Count)
        m_Encoder->Encode(Samples, Count, FirstSample, Encoded);
}

void AacEncoderTransform::DrainCodec(std::vector<EncodedSample>& Encoded)
{
    m_Encoder->Drain(Encoded);
}
} // namespace Application
