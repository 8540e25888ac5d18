// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp4/Mp4TextCue.h"

namespace Mp4
{
// Cuts a segment's interval into the samples of WebVTT in MP4: a sample ends
// wherever a cue starts or ends, so every cue is shown for the whole of the
// samples that carry it, and a cue longer than one sample is repeated in each.
class WebVttSampleSplitter
{
public:
    struct Piece
    {
        std::int64_t m_Start = 0;
        std::int64_t m_End = 0;
        std::vector<std::size_t> m_CueIndexVector; // active cues in the order given, none for an empty sample
    };

    // Pieces covering [Start, End) in order, without gaps. Cues outside the
    // interval take no part; those across its edges are clipped to it.
    static std::vector<Piece> Split(std::int64_t Start, std::int64_t End, std::vector<TextCue> const& Cues);
};
} // namespace Mp4
