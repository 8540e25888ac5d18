// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/live/FragmentSchedule.h"
#include "app/live/HeldRequests.h"
#include "app/live/PartAnswer.h"
#include "app/production/MediaWork.h"
#include "app/routing/RouteGroup.h"
#include "presentation/FaultRule.h"
#include "presentation/PartLayout.h"

namespace Application
{
// The media of the presentations: initialisation segments ("video-header.mp4",
// "audio-header.mp4"), media segments ("video-body.mp4", "audio-body.mp4"),
// streamed as they are made, and the progressive files "video.mp4" (default
// video variant 0, 18 s) and "audio.mp4" ("duration", "flac"). Every one is
// made by a task of the shared MediaWork, never on the request loop, headers
// before waiting segments as they are short and a player needs them first,
// and made once for all the requests that want it at the same time, and
// kept (MediaProductions). A segment request is read once into one value
// (SegmentRequest) that names its bytes, its schedule on the live timeline
// and what fault rules see. With "part" a segment request asks for one part
// of the segment (low-latency HLS): taken from the segment's making, and
// held until the part's last frame is due. With "iframe" a video segment
// request asks for the key picture the segment begins with, its first
// fragment (an entry of an I-frame playlist), taken so too.
class MediaRoutes : public RouteGroup
{
public:
    // Pictures of "video.mp4".
    static constexpr std::int64_t VideoFileDuration = 180'000'000;
    // "audio.mp4" is made whole in memory: an hour is about 58 MB of AAC.
    static constexpr std::int32_t MaximalAudioFileSeconds = 3'600;
    // Read-ahead makes the next segment of a track, and the one after it
    // when segments are shorter than this: a player asks for the next one
    // before it has played this one out.
    static constexpr std::int64_t ShortSegmentDuration = 40'000'000;

    MediaRoutes(ServerContext& Context, RouteTable& Table, MediaWork& Work);
    void Stop() override;

private:
    // What determines a segment's bytes and what makes them.
    struct SegmentMaking
    {
        SegmentKey Key;
        SegmentProduction::Producer Make;
    };
    // One request for a media segment, as its URL says.
    struct SegmentRequest
    {
        FaultTrack Track;
        std::uint32_t Variant; // the video row's index, 0 for audio
        std::uint32_t Index;
        std::optional<std::int32_t> Part; // as given: checked when served
        SegmentMaking Segment;
        FragmentSchedule Schedule;
        PartLayout Layout;
        std::int64_t TargetDuration;
        MediaBodyAnswer Answer;
        // The segment's duration, and what makes another segment of the
        // track, for read-ahead.
        std::int64_t SegmentDuration;
        std::function<SegmentMaking(std::uint32_t Index)> MakingOf;
        bool KeyPicture = false;
    };

    void VideoHeader(RouteContext& Context);
    void VideoBody(RouteContext& Context);
    void AudioHeader(RouteContext& Context);
    void AudioBody(RouteContext& Context);
    void VideoFile(RouteContext& Context);
    void AudioFile(RouteContext& Context);
    SegmentMaking VideoSegment(Configuration const& Asset, VideoVariant const& Variant, std::uint32_t Index, std::optional<std::int32_t> Color) const;
    SegmentMaking AudioSegment(Configuration const& Asset, AudioVariant const& Variant, std::uint32_t Index) const;
    // Faults first, then the part, the live gate and the production.
    void ServeSegment(RouteContext& Context, SegmentRequest Request, SegmentTaskGroup& Group);
    void ServePart(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group);
    void ServeKeyPicture(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group);
    // The answer of a run of the segment's fragments (Span), with Key's
    // entity tag and the segment's file name ending in FileSuffix; null when
    // the client's copy is current, which is answered 304 here.
    std::shared_ptr<PartAnswer> FragmentsAnswer(RouteContext& Context, SegmentRequest const& Request, SegmentKey const& Key, PartSpan const& Span,
                                                std::string const& FileSuffix);
    // Hands the segment's fragments to Answerer as it is made (or kept).
    void ObserveSegment(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group, PartAnswer& Answerer);
    // The segments a player of this track asks for next, made while it
    // plays this one.
    void ReadAhead(RouteContext& Context, SegmentRequest const& Request, SegmentTaskGroup& Group);
    void Serve(RouteContext& Context, SegmentKey const& Key, MediaBodyAnswer Answer, bool Streams, SegmentTaskGroup& Group,
               SegmentProduction::Producer Make, bool Urgent = false);

    ServerContext& m_Context;
    MediaWork& m_Work;
    HeldRequests m_HeldParts;
};
} // namespace Application
