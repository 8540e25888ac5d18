// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4MediaSinkAudioStreamSink.h"

namespace Mp4
{
// AC-3 and E-AC-3 sync frames: each frame says the stream's bit stream
// information, so the sample entry is made from the first one of the run
// (RecordT::ParseFrame); every frame is a sync sample.
template <typename RecordT>
class Mp4MediaSink::SyncFrameStreamSinkT final : public Mp4MediaSink::AudioStreamSink
{
public:
    using AudioStreamSink::AudioStreamSink;

    std::string GetCodecsString() override { return RecordT::GetCodecsString(); }

private:
    void InitializeSampleEntry(StsdBox& Stsd) override { m_Record.InitializeSampleEntry(Stsd, GetAudioFormat()); }
    void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) override
    {
        if(Sink.IsInitializationSegmentDue())
        {
            m_Record.ParseFrame(Payload);
            Sink.WriteInitializationSegment();
        }
        WriteFragment(Sink, Sample.GetSampleTime(), Sample.GetSampleDuration(), true, Payload);
    }

    RecordT m_Record;
};
} // namespace Mp4
