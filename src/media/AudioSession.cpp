// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/AudioSession.h"

#include "base/Check.h"
#include "media/AudioMediaSource.h"
#include "media/FlacEncoderTransform.h"
#include "media/LibavEncoderTransform.h"
#include "media/OpusEncoderTransform.h"
#include "media/SpokenNames.h"
#include "mf/Guids.h"

namespace Application
{
namespace
{
constexpr std::uint32_t BitsPerSample = 16;

std::shared_ptr<MF::MediaType> SourceType(std::uint32_t Channels)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Audio);
    Type->SetGUID(MF::MF_MT_SUBTYPE, MF::MFAudioFormat_PCM);
    Type->SetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS, Channels);
    Type->SetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND, AudioSampleRate);
    Type->SetUINT32(MF::MF_MT_AUDIO_BLOCK_ALIGNMENT, Channels * BitsPerSample / 8);
    Type->SetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND, AudioSampleRate * Channels * BitsPerSample / 8);
    Type->SetUINT32(MF::MF_MT_AUDIO_BITS_PER_SAMPLE, BitsPerSample);
    Type->SetUINT32(MF::MF_MT_ALL_SAMPLES_INDEPENDENT, 1);
    return Type;
}

MF::Guid const& EncodedSubtype(AudioSubtype Subtype)
{
    switch(Subtype)
    {
    case AudioSubtype::Aac: return MF::MFAudioFormat_AAC;
    case AudioSubtype::Flac: return MF::MFAudioFormat_FLAC;
    case AudioSubtype::Opus: return MF::MFAudioFormat_Opus;
    case AudioSubtype::Ac3: return MF::MFAudioFormat_Dolby_AC3;
    case AudioSubtype::Ec3: return MF::MFAudioFormat_Dolby_DDPlus;
    }
    CHECK_LINE(false);
    return MF::GUID_NULL;
}

std::shared_ptr<MF::MediaType> EncodedType(MF::MediaType const& Source, AudioVariant const& Variant)
{
    auto const Subtype = Variant.Subtype;
    auto Type = Source.Clone();
    Type->DeleteItem(MF::MF_MT_AUDIO_BLOCK_ALIGNMENT);
    Type->DeleteItem(MF::MF_MT_ALL_SAMPLES_INDEPENDENT);
    Type->SetGUID(MF::MF_MT_SUBTYPE, EncodedSubtype(Subtype));
    // FLAC is lossless: it takes what it needs.
    if(Subtype == AudioSubtype::Flac)
        Type->DeleteItem(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND);
    else
        Type->SetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND, Variant.Bitrate() / 8);
    return Type;
}

std::shared_ptr<PcmEncoderTransform> CreateEncoder(AudioSubtype Subtype, SegmentWindow const& Window)
{
    std::shared_ptr<PcmEncoderTransform> Encoder;
    switch(Subtype)
    {
    case AudioSubtype::Flac: return FlacEncoderTransform::Create();
    case AudioSubtype::Aac: Encoder = LibavEncoderTransform::Create(LibavAudioCodec::Aac()); break;
    case AudioSubtype::Ac3: Encoder = LibavEncoderTransform::Create(LibavAudioCodec::Ac3()); break;
    case AudioSubtype::Ec3: Encoder = LibavEncoderTransform::Create(LibavAudioCodec::Ec3()); break;
    case AudioSubtype::Opus: Encoder = OpusEncoderTransform::Create(); break;
    }
    CHECK_POINTER(Encoder);
    Encoder->SetOutputWindow(Window.Start, Window.End);
    return Encoder;
}
} // namespace

AudioSession::AudioSession(AudioVariant Variant, std::optional<std::uint32_t> Index) :
    SegmentSession(Index.has_value()), m_Variant(std::move(Variant)), m_Index(Index)
{
}

void AudioSession::SetAdvert(std::uint32_t Number)
{
    CHECK_ARGUMENT(Number >= 1);
    m_Advert = Number;
}

SegmentSession::Chain AudioSession::BuildChain(MediaSessionHelper& Helper)
{
    auto const Window = SegmentWindow::ForAudio(m_Variant, m_Index);
    auto const Type = SourceType(m_Variant.Channels);
    auto const Source = AudioMediaSource::Create();
    Source->SetMediaType(Type);
    Source->SetMarkerTone(m_MarkerTone);
    if(m_Advert)
        Source->SetAdvertTone(m_Advert);
    else if(m_Variant.Voice)
        Source->SetVoice({m_Variant.Voice->Slot, SpokenNames::Of(m_Variant.Language, m_Variant.Voice->Name, AudioSampleRate)});
    auto const SourceNode = AddSourceNode(Helper, Source, Window.SourceEnd);
    auto const Encoder = CreateEncoder(m_Variant.Subtype, Window);
    Encoder->SetOutputType(EncodedType(*Type, m_Variant));
    Encoder->SetInputType(Type);
    Helper.SetStartPosition(Window.SourceStart);
    return {AddTransformNode(Helper, SourceNode, Encoder), Encoder->GetOutputCurrentType(), Window};
}
} // namespace Application
