// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "app/routing/RouteGroup.h"
#include "presentation/Clock.h"

namespace Application
{
// The segments of the generated subtitle tracks ("subs"): WebVTT files
// ("subtitles.vtt") and, for text in MP4, the initialisation segment
// ("subtitles-header.mp4") and media segments ("subtitles-body.mp4"), each
// named by the asset, "lang" and the video's segment number. A text segment
// is a few hundred bytes made from the asset's options alone in a few
// microseconds (bench/SubtitleBench.cpp): it is made on the request loop for
// each request, never queued behind encoders nor kept in the segment cache,
// with a strong entity tag from its bytes. Text is never encrypted. Fault
// rules see it as the track "text" (the variant: the language's position).
// A live low-latency segment is offered, refused (404) and paced on the
// video segment's schedule (LiveSegmentGate). With "part" a request names
// one part of the segment, on the video row's part layout: the cues that
// begin in it (WebVTT) or the part of the track (MP4), on that part's schedule.
class SubtitleRoutes : public RouteGroup
{
public:
    SubtitleRoutes(ServerContext& Context, RouteTable& Table, Clock Now = SystemAbsoluteTime);

    // The track's time scale in MP4: the server's time unit (100 ns), so
    // the templates and tfdt of text name the same times as the video's.
    static constexpr std::uint32_t Mp4Timescale = 10'000'000;

private:
    void WebVttSegment(RouteContext& Context);
    void Header(RouteContext& Context);
    void Body(RouteContext& Context);
    // The segment number and part, told to the fault rules and the request
    // log; nothing when the request was answered here (a fault, a segment
    // not begun).
    struct Piece
    {
        std::uint32_t Index = 0;
        std::optional<std::uint32_t> Part;
    };
    std::optional<Piece> Admit(RouteContext& Context, std::string const& Language);

    Clock m_Clock;
};
} // namespace Application
