#include "media/FlacEncoderTransform.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace
{
void CheckAudioType(MF::MediaType const& Type)
{
    CHECK_CONDITION(Type.GetMajorType() == MF::MFMediaType_Audio, MF_E_INVALIDMEDIATYPE);
    std::uint32_t const Rate = Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND);
    std::uint32_t const Channels = Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    CHECK_CONDITION(Rate >= 8000 && Rate <= 192000 && Channels >= 1 && Channels <= 8, MF_E_INVALIDMEDIATYPE);
}
} // namespace

std::shared_ptr<FlacEncoderTransform> FlacEncoderTransform::Create()
{
    return std::make_shared<FlacEncoderTransform>();
}

void FlacEncoderTransform::CheckOutputType(MF::MediaType const& Type)
{
    CheckAudioType(Type);
    CHECK_CONDITION(Type.GetSubtype() == MF::MFAudioFormat_FLAC, MF_E_INVALIDMEDIATYPE);
}

void FlacEncoderTransform::CheckInputType(MF::MediaType const& Type)
{
    CheckAudioType(Type);
    CHECK_CONDITION(Type.GetSubtype() == MF::MFAudioFormat_PCM && Type.GetUINT32(MF::MF_MT_AUDIO_BITS_PER_SAMPLE) == FlacEncoder::BitsPerSample,
                    MF_E_INVALIDMEDIATYPE);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) == OutputType().GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND) &&
                        Type.GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS) == OutputType().GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS),
                    MF_E_INVALIDMEDIATYPE);
}

void FlacEncoderTransform::Configure()
{
    m_Grid.emplace(OutputType().GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND));
    m_Channels = OutputType().GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    m_Encoder = std::make_unique<FlacEncoder>(m_Grid->SampleRate(), m_Channels);
    OutputType().SetBlob(MF::MF_MT_USER_DATA, m_Encoder->StreamHeader());
}

void FlacEncoderTransform::StartStream()
{
    if(m_RunStart)
        m_Encoder = std::make_unique<FlacEncoder>(m_Grid->SampleRate(), m_Channels);
    m_RunStart.reset();
    m_HeaderEmitted = false;
}

void FlacEncoderTransform::Process(MF::Sample& Input)
{
    std::int64_t const First = m_Grid->SampleIndex(Input.GetSampleTime(), true);
    if(!m_HeaderEmitted)
    {
        // The header leads the run, with no audio samples of its own.
        EncodedSample Header;
        Header.Data = m_Encoder->StreamHeader();
        Header.Time = Input.GetSampleTime();
        Header.FirstSample = First;
        auto Output = ToSample(std::move(Header));
        Output->SetUINT32(MF::MFSampleExtension_FlacSampleCount, 0);
        Output->SetUINT64(MF::MFSampleExtension_FlacSamplePosition, 0);
        Emit(std::move(Output));
        m_HeaderEmitted = true;
        m_RunStart = First;
    }
    auto const Buffer = Input.ConvertToContiguousBuffer();
    CHECK_POINTER(Buffer);
    std::size_t const FrameSize = sizeof(std::int16_t) * m_Channels;
    CHECK_CONDITION(Buffer->GetCurrentLength() % FrameSize == 0, MF_E_INVALIDMEDIATYPE);
    auto const Count = static_cast<std::uint32_t>(Buffer->GetCurrentLength() / FrameSize);
    if(Count == 0)
        return;
    std::vector<EncodedSample> Encoded;
    m_Encoder->Encode(reinterpret_cast<std::int16_t const*>(Buffer->GetData()), Count, First, Encoded);
    EmitAll(Encoded);
}

void FlacEncoderTransform::Drain()
{
    std::vector<EncodedSample> Encoded;
    m_Encoder->Drain(Encoded);
    EmitAll(Encoded);
}

void FlacEncoderTransform::EmitAll(std::vector<EncodedSample>& Encoded)
{
    for(auto& Frame : Encoded)
    {
        std::uint32_t const Count = Frame.SampleCount;
        auto const Position = static_cast<std::uint64_t>(Frame.FirstSample - m_RunStart.value_or(Frame.FirstSample));
        auto Output = ToSample(std::move(Frame));
        Output->SetUINT32(MF::MFSampleExtension_FlacSampleCount, Count);
        Output->SetUINT64(MF::MFSampleExtension_FlacSamplePosition, Position);
        Emit(std::move(Output));
    }
}
