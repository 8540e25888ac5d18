// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "base/Check.h"
#include "media/PcmEncoderTransform.h"
#include "mf/MediaStatus.h"

namespace Application
{
// What the transforms of the encoders that keep the frames of a window
// (LibavAudioEncoder, OpusAudioEncoder) share: the output type's bitrate in
// MF_MT_AUDIO_AVG_BYTES_PER_SECOND, within the codec's range, and repeated
// in MF_MT_AVG_BITRATE once both types are set, with the encoder's global
// header, if it has one, in MF_MT_USER_DATA; an encoder of its own for
// every run, made for the window the run gave (which may have been set after
// the types), that takes the input and is drained at the end.
template <typename EncoderT>
class WindowedEncoderTransformT : public PcmEncoderTransform
{
protected:
    WindowedEncoderTransformT(MF::Guid const& Subtype, std::uint32_t MaximalRate, std::uint32_t MaximalChannels, std::uint32_t MinimalBitrate,
                              std::uint32_t MaximalBitrate)
        : PcmEncoderTransform(Subtype, MaximalRate, MaximalChannels), m_MinimalBitrate(MinimalBitrate), m_MaximalBitrate(MaximalBitrate)
    {
    }

    // An encoder for the run: the window and the output type's bitrate.
    virtual std::unique_ptr<EncoderT> MakeEncoder(std::uint32_t Bitrate) = 0;
    // The encoder's global header; empty when its frames carry their own.
    virtual std::vector<std::uint8_t> Header(EncoderT const& Encoder) const = 0;

    void CheckOutputType(MF::MediaType const& Type) override
    {
        PcmEncoderTransform::CheckOutputType(Type);
        std::uint32_t const Bitrate = Type.GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND) * 8;
        CHECK_CONDITION(Bitrate >= m_MinimalBitrate && Bitrate <= m_MaximalBitrate, MF_E_INVALIDMEDIATYPE);
    }

    void ConfigureCodec() final
    {
        m_Bitrate = OutputType().GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND) * 8;
        m_Encoder = MakeEncoder(m_Bitrate);
        if(auto const Bytes = Header(*m_Encoder); !Bytes.empty())
            OutputType().SetBlob(MF::MF_MT_USER_DATA, Bytes);
        OutputType().SetUINT32(MF::MF_MT_AVG_BITRATE, m_Bitrate);
    }

    void StartStream() final { m_Encoder = MakeEncoder(m_Bitrate); }

    void Encode(std::int16_t const* Samples, std::uint32_t Count, std::int64_t FirstSample, std::vector<EncodedSample>& Encoded) final
    {
        if(Count)
            m_Encoder->Encode(Samples, Count, FirstSample, Encoded);
    }

    void DrainCodec(std::vector<EncodedSample>& Encoded) final { m_Encoder->Drain(Encoded); }

private:
    std::uint32_t const m_MinimalBitrate;
    std::uint32_t const m_MaximalBitrate;
    std::uint32_t m_Bitrate = 0;
    std::unique_ptr<EncoderT> m_Encoder;
};
} // namespace Application
