// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4Av1CodecRecord.h"
#include "mp4/Mp4Av1TileLocator.h"
#include "mp4/Mp4MediaSinkVideoStreamSink.h"

namespace Mp4
{
// An AV1 stream: each sample is the OBUs of one temporal unit, carried as
// they are but for temporal delimiters, which MP4 samples leave out; the
// first sample's sequence header describes the track. Encrypted runs follow
// the frame headers from the run's first key frame to find the tiles.
class Mp4MediaSink::Av1StreamSink final : public Mp4MediaSink::VideoStreamSink
{
public:
    Av1StreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type);

    std::string GetCodecsString() override { return m_Record.GetCodecsString(); }

private:
    std::vector<std::uint8_t> PrepareSample(std::span<std::uint8_t const> Payload, bool Describe) override;
    std::vector<ProtectedRange> FindTiles(std::span<std::uint8_t const> Prepared) override { return m_TileLocator.FindTiles(Prepared); }
    void InitializeSampleEntry(StsdBox& Stsd) override { m_Record.InitializeSampleEntry(Stsd, GetVideoFormat()); }
    void OnStart() override;

    Av1CodecRecord m_Record;
    Av1TileLocator m_TileLocator;
};
} // namespace Mp4
