// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4MediaSinkVideoStreamSink.h"
#include "mp4/Mp4Vp9CodecRecord.h"

namespace Mp4
{
// A VP9 stream: each sample is one frame as the encoder gives it; the
// first sample, a key frame, describes the track. Superframes (several
// frames in one sample, a hidden one among them) are refused: every sample
// here is one picture that is shown.
class Mp4MediaSink::Vp9StreamSink final : public Mp4MediaSink::VideoStreamSink
{
public:
    Vp9StreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type);

    std::string GetCodecsString() override { return m_Record.GetCodecsString(); }

private:
    std::vector<std::uint8_t> PrepareSample(std::span<std::uint8_t const> Payload, bool Describe) override;
    void InitializeSampleEntry(StsdBox& Stsd) override { m_Record.InitializeSampleEntry(Stsd, GetVideoFormat()); }

    Vp9CodecRecord m_Record;
};
} // namespace Mp4
