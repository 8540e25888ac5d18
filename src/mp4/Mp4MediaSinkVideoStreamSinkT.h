// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4MediaSinkVideoStreamSink.h"
#include "mp4/Mp4NalUnit.h"

namespace Mp4
{
// A video stream sink of Annex B samples, which become length-prefixed NAL
// units; its codec record (H264CodecRecord, HevcCodecRecord) keeps the
// first sample's parameter sets and describes the track.
template <typename RecordT, VideoCodec CodecValue>
class Mp4MediaSink::VideoStreamSinkT final : public Mp4MediaSink::VideoStreamSink
{
public:
    VideoStreamSinkT(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) :
        VideoStreamSink(std::move(MediaSink), Identifier, Type, CodecValue)
    {
    }

    std::string GetCodecsString() override { return m_Record.GetCodecsString(); }

private:
    std::vector<std::uint8_t> PrepareSample(std::span<std::uint8_t const> Payload, bool Describe) override
    {
        auto const NalUnits = SplitAnnexB(Payload);
        if(Describe)
        {
            m_Record = {};
            m_Record.CollectParameterSets(NalUnits);
        }
        return ToLengthPrefixed(NalUnits);
    }
    void InitializeSampleEntry(StsdBox& Stsd) override { m_Record.InitializeSampleEntry(Stsd, GetVideoFormat()); }

    RecordT m_Record;
};
} // namespace Mp4
