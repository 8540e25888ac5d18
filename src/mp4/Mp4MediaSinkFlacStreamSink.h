// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4FlacCodecRecord.h"
#include "mp4/Mp4MediaSinkAudioStreamSink.h"

namespace Mp4
{
// FLAC frames carry their position in audio samples; payloads without audio
// samples are the stream header, collected for the sample entry.
class Mp4MediaSink::FlacStreamSink final : public Mp4MediaSink::AudioStreamSink
{
public:
    using AudioStreamSink::AudioStreamSink;

    std::string GetCodecsString() override { return FlacCodecRecord::GetCodecsString(); }

private:
    void InitializeSampleEntry(StsdBox& Stsd) override { m_Record.InitializeSampleEntry(Stsd, GetAudioFormat()); }
    void ProcessCodecSample(MF::Sample& Sample, std::span<std::uint8_t> Payload, Mp4MediaSink& Sink) override;
    void OnStart() override { m_PendingHeader.clear(); }

    FlacCodecRecord m_Record;
    std::vector<std::uint8_t> m_PendingHeader;
};
} // namespace Mp4
