// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/LibavEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
namespace
{
// 8 to 512 kbit/s, within what every one of the codecs takes at 48 kHz stereo.
constexpr std::uint32_t MinimalBytesPerSecond = 1000;
constexpr std::uint32_t MaximalBytesPerSecond = 64000;
} // namespace

std::shared_ptr<LibavEncoderTransform> LibavEncoderTransform::Create(LibavAudioCodec const& Codec)
{
    return std::make_shared<LibavEncoderTransform>(Codec);
}

LibavEncoderTransform::LibavEncoderTransform(LibavAudioCodec const& Codec)
    : PcmEncoderTransform(Codec.Subtype, Codec.MaximalRate, Codec.MaximalChannels), m_Codec(Codec)
{
}

void LibavEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    PcmEncoderTransform::CheckOutputType(Type);
    std::uint32_t const BytesPerSecond = Type.GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND);
    CHECK_CONDITION(BytesPerSecond >= MinimalBytesPerSecond && BytesPerSecond <= MaximalBytesPerSecond, MF_E_INVALIDMEDIATYPE);
}

void LibavEncoderTransform::ConfigureCodec()
{
    m_Bitrate = OutputType().GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND) * 8;
    CreateEncoder();
    if(!m_Encoder->Extradata().empty())
        OutputType().SetBlob(MF::MF_MT_USER_DATA, m_Encoder->Extradata());
    OutputType().SetUINT32(MF::MF_MT_AVG_BITRATE, m_Bitrate);
}

void LibavEncoderTransform::CreateEncoder()
{
    m_Encoder = std::make_unique<LibavAudioEncoder>(m_Codec, Grid().SampleRate(), Channels(), m_Bitrate, WindowFirstSample(), WindowEndSample());
}

void LibavEncoderTransform::StartStream()
{
    // Each run has an encoder of its own (the window may also have been set
    // after the types).
    CreateEncoder();
}

void LibavEncoderTransform::Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded)
{
    if(Count)
        m_Encoder->Encode(Samples, Count, FirstSample, Encoded);
}

void LibavEncoderTransform::DrainCodec(std::vector<EncodedSample>& Encoded)
{
    m_Encoder->Drain(Encoded);
}
} // namespace Application
