// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4WebVttSampleSplitter.h"

#include <algorithm>

#include "base/Check.h"

namespace Mp4
{
std::vector<WebVttSampleSplitter::Piece> WebVttSampleSplitter::Split(std::int64_t Start, std::int64_t End, std::vector<TextCue> const& Cues)
{
    CHECK_ARGUMENT(Start < End);
    std::vector<std::int64_t> EdgeVector{Start, End};
    EdgeVector.reserve(2 + 2 * Cues.size());
    for(auto const& Cue : Cues)
    {
        // A cue of no duration would cut a sample without showing anything.
        CHECK_ARGUMENT(Cue.Start < Cue.End);
        for(auto const Edge : {Cue.Start, Cue.End})
            if(Edge > Start && Edge < End)
                EdgeVector.push_back(Edge);
    }
    std::sort(EdgeVector.begin(), EdgeVector.end());
    EdgeVector.erase(std::unique(EdgeVector.begin(), EdgeVector.end()), EdgeVector.end());

    std::vector<Piece> Result;
    Result.reserve(EdgeVector.size() - 1);
    for(std::size_t Index = 1; Index < EdgeVector.size(); ++Index)
    {
        Piece& Value = Result.emplace_back();
        Value.m_Start = EdgeVector[Index - 1];
        Value.m_End = EdgeVector[Index];
        // No cue edge falls inside a piece, so a cue that overlaps it covers it.
        for(std::size_t CueIndex = 0; CueIndex < Cues.size(); ++CueIndex)
            if(Cues[CueIndex].Start < Value.m_End && Cues[CueIndex].End > Value.m_Start)
                Value.m_CueIndexVector.push_back(CueIndex);
    }
    return Result;
}
} // namespace Mp4
