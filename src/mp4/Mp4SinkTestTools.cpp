// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4SinkTestTools.h"

#include "mf/Guids.h"

namespace Mp4::Test
{
std::uint32_t RecordingByteStream::Write(std::uint8_t const* Buffer, std::uint32_t Count)
{
    m_WriteVector.emplace_back(Buffer, Buffer + Count);
    return Count;
}

std::shared_ptr<MF::MediaType> MakeVideoType(MF::Guid const& Subtype, VideoSettings const& Settings)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Subtype);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, Settings.m_Width, Settings.m_Height);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, Settings.m_FrameRateNumerator, Settings.m_FrameRateDenominator);
    return Type;
}

std::shared_ptr<MF::MediaType> MakeAudioType(MF::Guid const& Subtype, std::vector<std::uint8_t> UserData)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Audio);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Subtype);
    Type->SetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND, 48000);
    Type->SetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS, 2);
    Type->SetUINT32(MF::MF_MT_AVG_BITRATE, 128000);
    if(!UserData.empty())
        Type->SetBlob(MF::MF_MT_USER_DATA, std::move(UserData));
    return Type;
}

std::shared_ptr<MF::Sample> MakeSample(EncodedFrame const& Frame)
{
    auto Sample = MF::Sample::Create();
    Sample->AddBuffer(MF::MediaBuffer::CreateFrom(Frame.m_Data));
    Sample->SetSampleTime(Frame.m_Time);
    Sample->SetSampleDuration(Frame.m_Duration);
    Sample->SetUINT32(MF::MFSampleExtension_CleanPoint, Frame.m_KeyFrame ? 1 : 0);
    if(Frame.m_SampleCount || Frame.m_Position)
    {
        Sample->SetUINT32(MF::MFSampleExtension_FlacSampleCount, Frame.m_SampleCount);
        Sample->SetUINT64(MF::MFSampleExtension_FlacSamplePosition, Frame.m_Position);
    }
    return Sample;
}

void SinkRun::Start(std::shared_ptr<MF::MediaType> const& Type, std::int64_t StartOffset)
{
    m_StreamSink = m_Sink->AddStreamSink(1, Type);
    m_Sink->SetPresentationClock(m_Clock);
    m_Clock->Start(StartOffset);
}

std::vector<std::uint32_t> TakeEvents(MF::IMediaEventGenerator& Generator)
{
    std::vector<std::uint32_t> Types;
    for(;;)
    {
        try
        {
            Types.push_back(Generator.GetEvent(MF::MF_EVENT_FLAG_NO_WAIT)->GetType());
        }
        catch(HResultError const&)
        {
            return Types;
        }
    }
}
} // namespace Mp4::Test
