// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4MediaSinkAudioStreamSink.h"
#include "mp4/Mp4OpusCodecRecord.h"

namespace Mp4
{
// Opus packets, each a sync sample in the track's roll group; the sample
// entry comes from the identification header in the media type's user data.
class Mp4MediaSink::OpusStreamSink final : public Mp4MediaSink::AudioStreamSink
{
public:
    using AudioStreamSink::AudioStreamSink;

    std::string GetCodecsString() override { return OpusCodecRecord::GetCodecsString(); }

private:
    void InitializeSampleEntry(StsdBox& Stsd) override
    {
        auto const Format = GetAudioFormat();
        m_Record.ParseIdentificationHeader(Format.m_UserData);
        m_Record.InitializeSampleEntry(Stsd, Format);
    }
    void CompleteTrack(TrakBox& Trak) override { m_Record.CompleteTrack(Trak); }
    void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) override
    {
        if(Sink.IsInitializationSegmentDue())
            Sink.WriteInitializationSegment();
        WriteFragment(Sink, Sample.GetSampleTime(), Sample.GetSampleDuration(), true, Payload, true);
    }

    OpusCodecRecord m_Record;
};
} // namespace Mp4
