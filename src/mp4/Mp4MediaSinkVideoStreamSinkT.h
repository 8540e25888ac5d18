// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4MediaSinkVideoStreamSink.h"

// A video stream sink whose codec record (H264CodecRecord, HevcCodecRecord)
// keeps the first sample's parameter sets and describes the track.
template <typename RecordT, Mp4::VideoCodec CodecValue>
class Mp4MediaSink::VideoStreamSinkT final : public Mp4MediaSink::VideoStreamSink
{
public:
    VideoStreamSinkT(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) :
        VideoStreamSink(std::move(MediaSink), Identifier, Type, CodecValue)
    {
    }

    std::string GetCodecsString() override { return m_Record.GetCodecsString(); }

private:
    void CollectParameterSets(std::vector<Mp4::NalUnitSpan> const& NalUnits) override
    {
        m_Record = {};
        m_Record.CollectParameterSets(NalUnits);
    }
    void InitializeSampleEntry(Mp4::StsdBox& Stsd) override { m_Record.InitializeSampleEntry(Stsd, GetVideoFormat()); }

    RecordT m_Record;
};
