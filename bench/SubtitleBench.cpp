// SPDX-License-Identifier: GPL-2.0-or-later
// The cost of a subtitle segment, which the server makes on the request loop
// for every request instead of keeping it: the cues of one 3 s segment
// written as a WebVTT file, as an IMSC1 document in an 'stpp' segment and as
// 'wvtt' samples, and the bytes of each.
//
//   quorvel_subtitle_bench [rounds]     (medians of rounds, 9 by default)

#include "BenchTiming.h"
#include <cstdio>
#include <cstdlib>

#include "mp4/Mp4TextSegments.h"
#include "presentation/ImscWriter.h"
#include "presentation/SubtitleCues.h"
#include "presentation/WebVttWriter.h"

using namespace Application;

namespace
{
constexpr int SegmentsPerRound = 10'000;
constexpr std::int64_t SegmentDuration = 30'000'000;
constexpr std::int64_t LiveBase = 17'000'000'000'000'000;

void Report(char const* Name, int Rounds, std::size_t const& Bytes, std::function<void(std::uint32_t)> const& Make)
{
    double const Seconds = BenchTiming::Median(Rounds, [&] {
        for(std::uint32_t Index = 0; Index < SegmentsPerRound; ++Index)
            Make(Index + 1000);
    });
    std::printf("%-28s %8.2f us per segment  %6zu bytes\n", Name, Seconds / SegmentsPerRound * 1e6, Bytes);
}
} // namespace

int main(int Count, char** Arguments)
{
    int const Rounds = Count > 1 ? std::atoi(Arguments[1]) : 9;
    SubtitleCues const Track("sv", 9'000'000, SegmentDuration, LiveBase);
    Mp4::TextTrackSettings Settings;
    Settings.Timescale = 10'000'000;
    Settings.Language = "sv";
    std::size_t Bytes = 0;
    Report("cues (bytes: their count)", Rounds, Bytes = Track.OfSegment(1000).size(), [&](std::uint32_t Index) { Bytes = Track.OfSegment(Index).size(); });
    Report("WebVTT file", Rounds, Bytes, [&](std::uint32_t Index) {
        Bytes = WebVttWriter::Segment(Track.OfSegment(Index), Track.SegmentStart(Index), Track.SegmentEnd(Index), false).size();
    });
    Report("stpp segment (IMSC1)", Rounds, Bytes, [&](std::uint32_t Index) {
        Settings.Format = Mp4::TextSampleFormat::Stpp;
        auto const Document = ImscWriter::Document(Track.OfSegment(Index), Track.SegmentStart(Index), Track.SegmentEnd(Index), "sv", false);
        Bytes = Mp4::WriteStppSegment(Settings, Index + 1, Track.SegmentStart(Index), Track.SegmentEnd(Index), Document).size();
    });
    Report("wvtt segment", Rounds, Bytes, [&](std::uint32_t Index) {
        Settings.Format = Mp4::TextSampleFormat::Wvtt;
        std::vector<Mp4::TextCue> Cues;
        for(auto const& Cue : Track.OfSegment(Index))
            Cues.push_back({Cue.Start, Cue.End, Cue.Text, {}, WebVttWriter::CueIdentifier(Cue)});
        Bytes = Mp4::WriteWvttSegment(Settings, Index + 1, Track.SegmentStart(Index), Track.SegmentEnd(Index), Cues).size();
    });
    return 0;
}
