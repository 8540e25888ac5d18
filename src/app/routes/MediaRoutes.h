// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/live/HeldRequests.h"
#include "app/production/MediaAnswer.h"
#include "app/production/MediaProductions.h"
#include "app/routing/RouteGroup.h"
#include "app/production/SegmentTaskGroup.h"
#include "media/CodecsProbe.h"
#include "media/VideoSessionContext.h"
#include "presentation/PartLayout.h"

namespace Application
{
class SegmentSession;

// The media of the presentations: initialisation segments ("video-header.mp4",
// "audio-header.mp4"), media segments ("video-body.mp4", "audio-body.mp4"),
// streamed as they are made, and the progressive files "video.mp4" (default
// video variant 0, 18 s) and "audio.mp4" ("duration", "flac"). Every one is
// made by a task on a worker thread, never on the request loop: video and
// audio work run in task groups of their own, each bounded to one pipeline
// per processor, headers before waiting segments as they are short and a
// player needs them first. Each piece of media is made once for all the
// requests that want it at the same time, and kept (MediaProductions). Stop drops what has not started; the group's
// destructor waits for the rest. With "part" a segment request asks for one
// part of the segment (low-latency HLS): cut from the segment's making, and
// held until the part's last frame is due.
class MediaRoutes : public RouteGroup
{
public:
    // Pictures of "video.mp4".
    static constexpr std::int64_t VideoFileDuration = 180'000'000;
    // "audio.mp4" is made whole in memory: an hour is about 58 MB of AAC.
    static constexpr std::int32_t MaximalAudioFileSeconds = 3'600;

    MediaRoutes(ServerContext& Context, RouteTable& Table);
    ~MediaRoutes() override;
    void Stop() override;

    VideoSessionContext const& GetVideoContext() const noexcept { return m_VideoContext; }
    // The codecs texts of audio rows, for the manifests.
    CodecsProbe& GetCodecsProbe() noexcept { return m_CodecsProbe; }
    MediaProductions const& GetProductions() const noexcept { return m_Productions; }
    SegmentTaskGroup const& GetVideoTasks() const noexcept { return m_VideoTasks; }
    SegmentTaskGroup const& GetAudioTasks() const noexcept { return m_AudioTasks; }
    // Hands a task that answers through a MediaAnswer to Group.
    void Submit(SegmentTaskGroup& Group, RouteContext& Context, std::string FileName, std::function<void(MediaAnswer& Answer)> Task,
                bool Urgent = false);

private:
    void VideoHeader(RouteContext& Context);
    void VideoBody(RouteContext& Context);
    void AudioHeader(RouteContext& Context);
    void AudioBody(RouteContext& Context);
    void VideoFile(RouteContext& Context);
    void AudioFile(RouteContext& Context);
    // Media made once for every request with the same key (MediaProductions).
    void Serve(RouteContext& Context, SegmentKey const& Key, MediaBodyAnswer Answer, bool Streams, SegmentTaskGroup& Group,
               SegmentProduction::Producer Make, bool Urgent = false);
    // What names a media segment's bytes and what makes them.
    struct SegmentMaking
    {
        SegmentKey Key;
        SegmentProduction::Producer Make;
    };
    SegmentMaking VideoSegment(Configuration const& Asset, VideoVariant const& Variant, std::uint32_t Index, std::optional<std::int32_t> Color) const;
    SegmentMaking AudioSegment(Configuration const& Asset, std::uint32_t Index) const;
    // One part of a segment; Next is the segment after it, made ahead for a live asset.
    struct PartRequest
    {
        PartLayout Layout;
        std::uint32_t Segment;
        std::int64_t TargetDuration;
    };
    void ServePart(RouteContext& Context, PartRequest const& Request, SegmentMaking Segment, MediaBodyAnswer Answer, SegmentTaskGroup& Group,
                   SegmentMaking Next);

    ServerContext& m_Context;
    VideoSessionContext const m_VideoContext;
    CodecsProbe m_CodecsProbe{m_VideoContext};
    MediaProductions m_Productions;
    HeldRequests m_HeldParts;
    // Declared last: their destructors wait for the tasks, which use the above.
    SegmentTaskGroup m_VideoTasks;
    SegmentTaskGroup m_AudioTasks;
};
} // namespace Application
