// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/OpusEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
constexpr std::uint32_t MaximalChannels = 2;
// 6 to 510 kbit/s: what libopus takes.
constexpr std::uint32_t MinimalBytesPerSecond = 750;
constexpr std::uint32_t MaximalBytesPerSecond = 63750;
} // namespace

std::shared_ptr<OpusEncoderTransform> OpusEncoderTransform::Create()
{
    return std::make_shared<OpusEncoderTransform>();
}

OpusEncoderTransform::OpusEncoderTransform() : PcmEncoderTransform(MF::MFAudioFormat_Opus, OpusAudioEncoder::SampleRate, MaximalChannels)
{
}

void OpusEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    PcmEncoderTransform::CheckOutputType(Type);
    // The frame grid and the pre-skip are counted at 48000 Hz.
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) == OpusAudioEncoder::SampleRate, MF_E_INVALIDMEDIATYPE);
    std::uint32_t const BytesPerSecond = Type.GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND);
    CHECK_CONDITION(BytesPerSecond >= MinimalBytesPerSecond && BytesPerSecond <= MaximalBytesPerSecond, MF_E_INVALIDMEDIATYPE);
}

void OpusEncoderTransform::ConfigureCodec()
{
    m_Bitrate = OutputType().GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND) * 8;
    CreateEncoder();
    OutputType().SetBlob(MF::MF_MT_USER_DATA, m_Encoder->IdentificationHeader());
    OutputType().SetUINT32(MF::MF_MT_AVG_BITRATE, m_Bitrate);
}

void OpusEncoderTransform::CreateEncoder()
{
    m_Encoder = std::make_unique<OpusAudioEncoder>(Channels(), m_Bitrate, WindowFirstSample(), WindowEndSample());
}

void OpusEncoderTransform::StartStream()
{
    // Each run has an encoder of its own, for the window it was given.
    CreateEncoder();
}

void OpusEncoderTransform::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded)
{
    if(Count)
        m_Encoder->Encode(Samples, Count, FirstSample, Encoded);
}

void OpusEncoderTransform::DrainCodec(std::vector<EncodedSample>& Encoded)
{
    m_Encoder->Drain(Encoded);
}
} // namespace Application
