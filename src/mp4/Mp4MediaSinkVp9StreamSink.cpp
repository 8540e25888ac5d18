// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4MediaSinkVp9StreamSink.h"

#include "base/Check.h"

namespace Mp4
{
Mp4MediaSink::Vp9StreamSink::Vp9StreamSink(std::weak_ptr<Mp4MediaSink> MediaSink, std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) :
    VideoStreamSink(std::move(MediaSink), Identifier, Type, VideoCodec::Vp9)
{
}

std::vector<std::uint8_t> Mp4MediaSink::Vp9StreamSink::PrepareSample(std::span<std::uint8_t const> Payload, bool Describe)
{
    CHECK_CONDITION(!Vp9FrameHeader::HasSuperframeIndex(Payload), E_NOTIMPL);
    if(Describe)
        m_Record.CollectKeyFrame(Payload, GetVideoFormat());
    return {Payload.begin(), Payload.end()};
}
} // namespace Mp4
