#include "media/AacEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace
{
// HEAACWAVEINFO after its WAVEFORMATEX: payload type 0 (raw access units),
// profile and level 0x29 (AAC profile, level 2), structure type and
// reserved fields 0; little-endian.
constexpr std::uint8_t RawPayloadType = 0;
constexpr std::uint8_t AacProfileLevel2 = 0x29;
constexpr std::size_t WaveFormatExtensionSize = 12;

void CheckAudioType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Audio, MF_E_INVALIDMEDIATYPE);
    std::uint32_t const Rate = Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND);
    std::uint32_t const Channels = Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    CHECK_CONDITION(Rate >= 8000 && Rate <= 96000 && Channels >= 1 && Channels <= 2, MF_E_INVALIDMEDIATYPE);
}
} // namespace

std::shared_ptr<AacEncoderTransform> AacEncoderTransform::Create()
{
    return std::make_shared<AacEncoderTransform>();
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
    CheckAudioType(Type);
    CHECK_CONDITION(Type.GetSubtype() == MF::MFAudioFormat_AAC, MF_E_INVALIDMEDIATYPE);
    std::uint32_t const BytesPerSecond = Type.GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND);
    CHECK_CONDITION(BytesPerSecond >= 1000 && BytesPerSecond <= 64000, MF_E_INVALIDMEDIATYPE);
}

void AacEncoderTransform::CheckInputType(MF::MediaType const& Type)
{
    CheckAudioType(Type);
    CHECK_CONDITION(Type.GetSubtype() == MF::MFAudioFormat_PCM && Type.GetUINT32(MF::MF_MT_AUDIO_BITS_PER_SAMPLE) == 16, MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) == OutputType().GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) &&
                        Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS) == OutputType().GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS),
                    MF_E_INVALIDMEDIATYPE);
}

void AacEncoderTransform::Configure()
{
    m_Grid.emplace(OutputType().GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND));
    m_Channels = OutputType().GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    m_Bitrate = OutputType().GetUINT32(MF::MF_MT_AUDIO_AVG_BYTES_PER_SECOND) * 8;
    CreateEncoder();
    std::vector<std::uint8_t> UserData(WaveFormatExtensionSize, 0);
    UserData[0] = RawPayloadType;
    UserData[2] = AacProfileLevel2;
    auto const& Config = m_Encoder->AudioSpecificConfig();
    UserData.insert(UserData.end(), Config.begin(), Config.end());
    OutputType().SetBlob(MF::MF_MT_USER_DATA, std::move(UserData));
    OutputType().SetUINT32(MF::MF_MT_AVG_BITRATE, m_Bitrate);
    OutputType().SetUINT32(MF::MF_MT_AAC_PAYLOAD_TYPE, RawPayloadType);
    OutputType().SetUINT32(MF::MF_MT_AAC_AUDIO_PROFILE_LEVEL_INDICATION, AacProfileLevel2);
}

void AacEncoderTransform::CreateEncoder()
{
    std::int64_t const First = m_Grid->SampleIndex(m_WindowStart, true);
    std::int64_t const End = m_WindowEnd == Unbounded ? AacEncoder::Unbounded : m_Grid->SampleIndex(m_WindowEnd, true);
    m_Encoder = std::make_unique<AacEncoder>(m_Grid->SampleRate(), m_Channels, m_Bitrate, First, End);
}

void AacEncoderTransform::StartStream()
{
    // Each run has an encoder of its own (the window may also have been set
    // after the types).
    CreateEncoder();
}

void AacEncoderTransform::Process(MF::Sample& Input)
{
    auto const Buffer = Input.ConvertToContiguousBuffer();
    CHECK_POINTER(Buffer);
    std::size_t const FrameSize = sizeof(std::int16_t) * m_Channels;
    CHECK_CONDITION(Buffer->GetCurrentLength() % FrameSize == 0, MF_E_INVALIDMEDIATYPE);
    auto const Count = static_cast<std::uint32_t>(Buffer->GetCurrentLength() / FrameSize);
    if(Count == 0)
        return;
    std::vector<EncodedSample> Encoded;
    m_Encoder->Encode(reinterpret_cast<std::int16_t const*>(Buffer->GetData()), Count, m_Grid->SampleIndex(Input.GetSampleTime(), true), Encoded);
    EmitAll(Encoded);
}

void AacEncoderTransform::Drain()
{
    std::vector<EncodedSample> Encoded;
    m_Encoder->Drain(Encoded);
    EmitAll(Encoded);
}

void AacEncoderTransform::EmitAll(std::vector<EncodedSample>& Encoded)
{
    for(auto& Sample : Encoded)
        Emit(ToSample(std::move(Sample)));
}
