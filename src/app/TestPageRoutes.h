#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/RouteGroup.h"
#include "media/CodecsProbe.h"
#include "media/VideoSessionContext.h"
#include "presentation/VariantSet.h"

namespace Application
{
// Browser pages that exercise the media directly: "audio.mp4.html" and
// "video.mp4.html" play the progressive files through Media Source
// Extensions; "webcodecs-videodecoder-A.html" encodes one segment's
// pictures and has the browser's VideoDecoder decode them one by one from
// "webcodecs-videodecoder-A?frame=N". The frames of the most recent page
// request are kept here, on the request loop, for whichever client asks.
class TestPageRoutes : public RouteGroup
{
public:
    // One page request encodes on the request loop and keeps its frames in
    // memory: its picture size and frame count are bounded.
    static constexpr std::uint32_t MaximalFrameWidth = 3840;
    static constexpr std::uint32_t MaximalFrameHeight = 2160;
    static constexpr std::int64_t MaximalFrameCount = 1500;

    TestPageRoutes(ServerContext& Context, RouteTable& Table, VideoSessionContext const& VideoContext, CodecsProbe& Codecs);

private:
    void AudioPage(RouteContext& Context);
    void VideoPage(RouteContext& Context);
    void WebCodecsPage(RouteContext& Context);
    void WebCodecsFrame(RouteContext& Context);
    VideoVariant WebCodecsVariant(HttpServer::QueryVector const& Query) const;

    ServerContext& m_Context;
    VideoSessionContext const& m_VideoContext;
    CodecsProbe& m_Codecs;
    std::vector<std::vector<std::uint8_t>> m_Frames;
};
} // namespace Application
