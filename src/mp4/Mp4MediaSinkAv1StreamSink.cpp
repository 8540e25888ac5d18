// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkAv1StreamSink.h"

#include "mp4/Mp4Av1Obu.h"

namespace Mp4
{
Mp4MediaSink::Av1StreamSink::Av1StreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) :
    VideoStreamSink(std::move(MediaSink), Identifier, Type, VideoCodec::Av1)
{
}

std::vector<std::uint8_t> Mp4MediaSink::Av1StreamSink::PrepareSample(std::span<std::uint8_t const> Payload, bool Describe)
{
    if(Describe)
        m_Record.CollectSequenceHeader(Payload);
    return Av1Obu::WithoutDelimiters(Payload);
}

void Mp4MediaSink::Av1StreamSink::OnStart()
{
    VideoStreamSink::OnStart();
    m_TileLocator = {};
}
} // namespace Mp4
