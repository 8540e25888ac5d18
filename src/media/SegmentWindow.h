// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "media/AudioVariant.h"
#include "media/VideoVariant.h"

namespace Application
{
// The stretch of the timeline one segment run covers, and how it is run.
//
// Segments are made by separate runs yet appended one after the other into
// one decoder, so everything here comes from grids of the whole timeline:
// the frames of video segment i are exactly those presented in [i×D, (i+1)×D);
// audio frames lie on the codec's frame grid of absolute sample indices.
// Movie fragments are numbered by the absolute index of their frame on that
// grid (plus 1), so that numbers grow from one segment to the next without a
// collision whatever the number of fragments in a segment.
struct SegmentWindow
{
    // The presentation time the segment covers, [Start, End).
    std::int64_t Start = 0;
    std::int64_t End = 0;
    // Where the source starts and the presentation duration it ends at; wider
    // than the window when the encoder needs samples before or after it.
    std::int64_t SourceStart = 0;
    std::int64_t SourceEnd = 0;
    // The sequence number of the segment's first movie fragment (modulo 2^32).
    std::uint32_t FirstSequenceNumber = 1;

    // A header run is short: enough for the sink to write the
    // initialisation segment.
    static constexpr std::int64_t VideoHeaderDuration = 500'000;
    static constexpr std::int64_t AudioHeaderDuration = 1'000'000;
    // Index absent: the header run.
    static SegmentWindow ForVideo(VideoVariant const& Variant, std::optional<std::uint32_t> Index);
    // A body ends at (i+1)×D, or at the variant's Duration when that lies
    // inside the segment.
    static SegmentWindow ForAudio(AudioVariant const& Variant, std::optional<std::uint32_t> Index);
};
} // namespace Application
