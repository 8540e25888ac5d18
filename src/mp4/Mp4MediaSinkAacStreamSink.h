// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4AacCodecRecord.h"
#include "mp4/Mp4MediaSinkAudioStreamSink.h"

namespace Mp4
{
class Mp4MediaSink::AacStreamSink final : public Mp4MediaSink::AudioStreamSink
{
public:
    using AudioStreamSink::AudioStreamSink;

    std::string GetCodecsString() override { return AacCodecRecord::GetCodecsString(GetAudioFormat()); }

private:
    void InitializeSampleEntry(StsdBox& Stsd) override { AacCodecRecord::InitializeSampleEntry(Stsd, GetAudioFormat()); }
    void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) override
    {
        if(Sink.IsInitializationSegmentDue())
            Sink.WriteInitializationSegment();
        bool const Sync = Sample.GetUINT32(MF::MFSampleExtension_CleanPoint, 1) != 0;
        WriteFragment(Sink, Sample.GetSampleTime(), Sample.GetSampleDuration(), Sync, Payload);
    }
};
} // namespace Mp4
