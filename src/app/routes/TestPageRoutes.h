// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/production/MediaWork.h"
#include "app/production/SegmentTaskGroup.h"
#include "app/routing/RouteGroup.h"
#include "presentation/VariantSet.h"

namespace Application
{
// Browser pages that exercise the media directly: "audio.mp4.html" and
// "video.mp4.html" play the progressive files through Media Source
// Extensions; "webcodecs-videodecoder-A.html" encodes one segment's
// pictures and has the browser's VideoDecoder decode them one by one from
// "webcodecs-videodecoder-A?frame=N". Pages are encoded one at a time by a
// worker of their own, so that a page neither waits behind segments nor
// holds one of their workers, and the memory pages take is that of one: an
// encoder at 3840x2160 holds about 800 MiB of pictures while it works. The
// frames of the most recently made page are kept here (about 45 MB for the
// largest) for whichever client asks.
class TestPageRoutes : public RouteGroup
{
public:
    // One page request encodes a segment and keeps its frames in memory:
    // its picture size and frame count are bounded.
    static constexpr std::uint32_t MaximalFrameWidth = 3840;
    static constexpr std::uint32_t MaximalFrameHeight = 2160;
    static constexpr std::int64_t MaximalFrameCount = 1500;
    // Pages being made at once.
    static constexpr std::size_t PageWorkerCount = 1;

    TestPageRoutes(ServerContext& Context, RouteTable& Table, MediaWork& Work);
    void Stop() override;

private:
    void AudioPage(RouteContext& Context);
    void VideoPage(RouteContext& Context);
    void WebCodecsPage(RouteContext& Context);
    void WebCodecsFrame(RouteContext& Context);
    VideoVariant WebCodecsVariant(QueryVector const& Query) const;

    using FrameList = std::vector<SharedBytes>;

    ServerContext& m_Context;
    MediaWork& m_Work;
    // Replaced whole by a worker, read by the request loop.
    std::mutex m_FramesMutex;
    std::shared_ptr<FrameList const> m_Frames = std::make_shared<FrameList const>();
    // Declared last: its destructor waits for the page in progress.
    SegmentTaskGroup m_PageTasks{PageWorkerCount};
};
} // namespace Application
