#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/RouteGroup.h"
#include "presentation/VariantSet.h"

namespace Application
{
class MediaRoutes;

// Browser pages that exercise the media directly: "audio.mp4.html" and
// "video.mp4.html" play the progressive files through Media Source
// Extensions; "webcodecs-videodecoder-A.html" encodes one segment's
// pictures and has the browser's VideoDecoder decode them one by one from
// "webcodecs-videodecoder-A?frame=N". The page is encoded by a task of the
// video group; the frames of the most recently made page are kept here for
// whichever client asks.
class TestPageRoutes : public RouteGroup
{
public:
    // One page request encodes a segment and keeps its frames in memory:
    // its picture size and frame count are bounded.
    static constexpr std::uint32_t MaximalFrameWidth = 3840;
    static constexpr std::uint32_t MaximalFrameHeight = 2160;
    static constexpr std::int64_t MaximalFrameCount = 1500;

    TestPageRoutes(ServerContext& Context, RouteTable& Table, MediaRoutes& Media);

private:
    void AudioPage(RouteContext& Context);
    void VideoPage(RouteContext& Context);
    void WebCodecsPage(RouteContext& Context);
    void WebCodecsFrame(RouteContext& Context);
    VideoVariant WebCodecsVariant(HttpServer::QueryVector const& Query) const;

    using FrameList = std::vector<std::vector<std::uint8_t>>;

    ServerContext& m_Context;
    MediaRoutes& m_Media;
    // Replaced whole by a worker, read by the request loop.
    std::mutex m_FramesMutex;
    std::shared_ptr<FrameList const> m_Frames = std::make_shared<FrameList const>();
};
} // namespace Application
