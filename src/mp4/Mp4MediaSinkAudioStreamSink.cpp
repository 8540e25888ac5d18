// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkAudioStreamSink.h"

#include "mp4/Mp4FragmentTiming.h"

namespace Mp4
{
AudioFormat Mp4MediaSink::AudioStreamSink::GetAudioFormat() const
{
    auto const Type = GetMediaType();
    AudioFormat Format;
    Format.m_SampleRate = Type->GetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND);
    Format.m_ChannelCount = Type->GetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS);
    Format.m_AverageBitrate = Type->GetUINT32(MF::MF_MT_AVG_BITRATE, 0);
    if(auto const UserData = Type->FindItem(MF::MF_MT_USER_DATA))
        Format.m_UserData = UserData->GetBlob();
    return Format;
}

void Mp4MediaSink::AudioStreamSink::WriteFragment(Mp4MediaSink& Sink, std::int64_t Time, std::int64_t Duration, bool Sync, std::span<std::uint8_t> Payload,
                                                  bool RollGroup)
{
    std::uint32_t const Timescale = GetTimescale();
    std::int64_t const DecodeTime = FragmentTiming::Scale(Time - Sink.GetTimeOrigin(), Timescale);
    std::int64_t const ScaledDuration = FragmentTiming::Scale(Duration, Timescale);
    CHECK_LINE(DecodeTime >= 0);
    CHECK_LINE(ScaledDuration >= 0 && ScaledDuration <= 0xFFFFFFFF);
    FragmentBuilder::Sample const Description{Sink.TakeSequenceNumber(),
                                              m_TrackId,
                                              static_cast<std::uint64_t>(DecodeTime),
                                              static_cast<std::uint32_t>(ScaledDuration),
                                              0,
                                              Sync ? 0 : FragmentBuilder::NonSyncAudioFlags,
                                              RollGroup};
    Sink.WriteFragment(FragmentBuilder::BuildAudio(Description, Payload, Sink.GetEncryptor()));
}
} // namespace Mp4
