// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/FlacEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"

namespace Application
{
namespace
{
constexpr std::uint32_t MaximalRate = 192000;
constexpr std::uint32_t MaximalChannels = 8;
} // namespace

std::shared_ptr<FlacEncoderTransform> FlacEncoderTransform::Create()
{
    return std::make_shared<FlacEncoderTransform>();
}

FlacEncoderTransform::FlacEncoderTransform() : PcmEncoderTransform(MF::MFAudioFormat_FLAC, MaximalRate, MaximalChannels)
{
}

void FlacEncoderTransform::ConfigureCodec()
{
    m_Encoder = std::make_unique<FlacEncoder>(Grid().SampleRate(), Channels());
    m_RunStart.reset();
    OutputType().SetBlob(MF::MF_MT_USER_DATA, m_Encoder->StreamHeader());
}

void FlacEncoderTransform::StartStream()
{
    if(m_RunStart)
        ConfigureCodec();
}

void FlacEncoderTransform::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded)
{
    if(!m_RunStart)
    {
        // The header leads the run, with no audio samples of its own.
        m_RunStart = FirstSample;
        EncodedSample Header;
        Header.Data = m_Encoder->StreamHeader();
        Header.Time = Grid().SampleTime(FirstSample);
        Header.FirstSample = FirstSample;
        Encoded.push_back(std::move(Header));
    }
    if(Count)
        m_Encoder->Encode(Samples, Count, FirstSample, Encoded);
}

void FlacEncoderTransform::DrainCodec(std::vector<EncodedSample>& Encoded)
{
    m_Encoder->Drain(Encoded);
}

std::shared_ptr<MF::Sample> FlacEncoderTransform::ToOutput(EncodedSample&& Encoded)
{
    std::uint32_t const Count = Encoded.SampleCount;
    auto const Position = static_cast<std::uint64_t>(Encoded.FirstSample - m_RunStart.value_or(Encoded.FirstSample));
    auto Output = ToSample(std::move(Encoded));
    Output->SetUINT32(MF::MFSampleExtension_FlacSampleCount, Count);
    Output->SetUINT64(MF::MFSampleExtension_FlacSamplePosition, Position);
    return Output;
}
} // namespace Application
